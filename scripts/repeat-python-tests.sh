#!/usr/bin/env bash
# Runs the Python suite of the demonstrations and SDCC programs N times (default
# 100) in one process and N times under pytest-xdist with two workers, and
# fails unless every run gives the same verdict and the same recorded cycle
# counts for every test. Needs PYTHONPATH and QUORVEL_BUILD_DIR as `make
# python-repeat` sets them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-100}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3

# Each test's outcome and recorded properties, one line per test, sorted:
# the order xdist runs them in does not matter.
summary() {
    "$python" - "$1" <<'PY'
import sys
import xml.etree.ElementTree as tree
lines = []
for case in tree.parse(sys.argv[1]).iter("testcase"):
    verdict = "passed"
    for kind in ("failure", "error", "skipped"):
        if case.find(kind) is not None:
            verdict = kind
    properties = sorted((p.get("name"), p.get("value")) for p in case.iter("property"))
    lines.append("%s::%s %s %s" % (case.get("classname"), case.get("name"), verdict, properties))
print("\n".join(sorted(lines)))
PY
}

reference=""
for mode in "" "-n 2"; do
    for ((i = 1; i <= runs; i++)); do
        # shellcheck disable=SC2086 # the xdist options are words
        "$python" -m pytest -q -p no:cacheprovider $mode --junitxml="$work/run.xml" \
            "$root/tests/python/test_board.py" >"$work/out.txt" 2>&1 || true
        summary "$work/run.xml" >"$work/summary.txt"
        if [ -z "$reference" ]; then
            reference="$work/reference.txt"
            cp "$work/summary.txt" "$reference"
            echo "reference: $(grep -c passed "$reference") tests passed, $(grep -vc ' passed ' "$reference" || true) not"
        elif ! cmp -s "$reference" "$work/summary.txt"; then
            echo "run $i ${mode:-(one process)} differs from the first:"
            diff "$reference" "$work/summary.txt" || true
            exit 1
        fi
    done
    echo "${runs} runs ${mode:-in one process}: identical verdicts and cycle counts"
done
