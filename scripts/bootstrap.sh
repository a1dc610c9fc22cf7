#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Idempotent: when
# everything is present it only checks and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev googletest libbenchmark-dev
  nlohmann-json3-dev libyaml-cpp-dev
  python3-dev pybind11-dev python3-pytest python3-pytest-xdist
  clang libclang-rt-14-dev
  sdcc sdcc-ucsim as31
  gtkwave
  breeze-icon-theme
  fonts-dejavu-core fonts-noto-mono
)

# Qt's SVG image and icon plugins (the icon theme is SVG): their own package
# from Debian 13 on, part of the SVG library before.
svg_plugins=qt6-svg-plugins
if ! dpkg-query -W -f='${Status}' qt6-svg-plugins 2>/dev/null | grep -q "install ok installed" &&
   ! apt-cache show qt6-svg-plugins >/dev/null 2>&1; then
  svg_plugins=libqt6svg6
fi
packages+=("$svg_plugins")

# Node and npm for the editor extension and its protocol tests. A machine
# whose Node came with its own npm keeps it (Debian's npm would clash).
if ! command -v npm >/dev/null 2>&1; then
  packages+=(nodejs npm)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
