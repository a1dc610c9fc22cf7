#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang in a build folder
# of their own and runs each for a bounded time. Fails when a target does not
# build or a fuzzer finds a crash, a sanitizer report or a timeout.
#
#   scripts/run-fuzzers.sh            # about 20 seconds per target
#   FUZZ_SECONDS=120 scripts/run-fuzzers.sh
#   FUZZ_BUILD_DIR=/tmp/fz scripts/run-fuzzers.sh
#   FUZZ_RUNS=20000 scripts/run-fuzzers.sh   # a fixed number of inputs from a
#                                            # fixed seed: the same pass every time
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${FUZZ_SECONDS:-20}"
runs="${FUZZ_RUNS:-}"
if [ -n "$runs" ]; then
    limit=(-runs="$runs" -seed=1)
else
    limit=(-max_total_time="$seconds")
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DQUORVEL_FUZZ=ON -DQUORVEL_GUI=OFF -DQUORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzzers

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
status=0
for source in "$root"/fuzz/fuzz_*.cpp; do
    name="$(basename "$source" .cpp)"
    # Work on a copy of the seeds so the committed corpus stays as it is.
    corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -n "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    fi
    echo "== $name: ${limit[*]}"
    if ! "$build/$name" "$corpus" "${limit[@]}" -timeout=10 -rss_limit_mb=2048 \
            -artifact_prefix="$artifacts/$name-" -print_final_stats=1 2>"$build/$name.log"; then
        echo "!! $name failed; see $build/$name.log and $artifacts" >&2
        tail -n 40 "$build/$name.log" >&2
        status=1
    else
        grep -E '^stat::number_of_executed_units|^Done' "$build/$name.log" || true
    fi
done
exit $status
