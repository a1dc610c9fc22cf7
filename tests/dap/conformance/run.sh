#!/usr/bin/env bash
# Runs the protocol conformance test: installs the locked npm packages when
# they are missing or older than the lock file, then Node's test runner.
# QUORVEL_CLI and QUORVEL_SDCC name the programs it uses (CTest sets them).
set -euo pipefail
cd "$(dirname "$0")"
if [ ! -f node_modules/.package-lock.json ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
  npm ci --ignore-scripts --no-audit --no-fund
fi
exec node --test --test-reporter=tap conformance.test.js
