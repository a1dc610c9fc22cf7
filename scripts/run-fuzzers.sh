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
#   FUZZ_TARGETS="fuzz_asm51 fuzz_cli_args" scripts/run-fuzzers.sh   # only these
#   FUZZ_JOBS=2 scripts/run-fuzzers.sh       # targets side by side
#   FUZZ_WORKERS=2 FUZZ_RUNS=10000000 FUZZ_TARGETS=fuzz_asm51 scripts/run-fuzzers.sh
#                  # one target as two processes on one corpus, seeds 1 and 2,
#                  # each running its share of the inputs
#   FUZZ_TIMEOUT=60 scripts/run-fuzzers.sh   # seconds one input may take (wall
#                  # time: raise it when the machine is shared)
#   FUZZ_SANITIZE=undefined scripts/run-fuzzers.sh
#                  # builds without AddressSanitizer (in build-fuzz-undefined),
#                  # several times faster; each target's corpus is then run
#                  # once more under the address build, so every input that
#                  # reached new code is also checked for memory errors
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sanitize="${FUZZ_SANITIZE:-address,undefined}"
asan_build="$root/build-fuzz"
build="$asan_build"
[ "$sanitize" = "address,undefined" ] || build="$root/build-fuzz-${sanitize//,/-}"
build="${FUZZ_BUILD_DIR:-$build}"
replay=0
[[ ",$sanitize," == *,address,* ]] || replay=1
seconds="${FUZZ_SECONDS:-20}"
runs="${FUZZ_RUNS:-}"
workers="${FUZZ_WORKERS:-1}"

configure() {
    CC=clang CXX=clang++ cmake -S "$root" -B "$1" -G Ninja -DQUORVEL_FUZZ=ON -DQUORVEL_GUI=OFF \
        -DQUORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ_SANITIZE="$2" >/dev/null
    # shellcheck disable=SC2086 # the target names are words
    cmake --build "$1" -j2 --target ${FUZZ_TARGETS:-fuzzers}
}
configure "$build" "$sanitize"
if [ "$replay" -eq 1 ]; then
    configure "$asan_build" address,undefined
fi

# AddressSanitizer holds freed memory back (its quarantine) to catch late
# uses; 32 MB is many times what one input allocates, and the default 256 MB
# makes every allocation touch fresh pages. Without its signal stack, each
# C++ exception (the assemblers report errors with them) no longer unpoisons
# that stack; a stack overflow then kills the fuzzer without a report, which
# still fails the run. Together they double the assembler's input rate.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=32:use_sigaltstack=0}"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

# Runs one target on a copy of its seeds (the committed corpus stays as it
# is); prints its figures, or its log's tail when it fails.
run_target() {
    local name="$1"
    local corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    if [ -d "$root/fuzz/corpus/$name" ]; then
        cp -n "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
    fi
    local dict=()
    if [ -f "$root/fuzz/$name.dict" ]; then
        dict=(-dict="$root/fuzz/$name.dict")
    fi
    local started=$SECONDS
    # Each worker runs its share of the inputs from a seed of its own; they
    # share the corpus, so what one finds the others take up.
    local worker pids=() failed=0 total=0
    for ((worker = 1; worker <= workers; worker++)); do
        local limit=(-max_total_time="$seconds")
        if [ -n "$runs" ]; then
            limit=(-runs="$(( (runs + workers - worker) / workers ))" -seed="$worker")
        fi
        local log="$build/$name.log"
        [ "$workers" -gt 1 ] && log="$build/$name-$worker.log"
        "$build/$name" "$corpus" "${limit[@]}" "${dict[@]}" -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 \
            -artifact_prefix="$artifacts/$name-" -print_final_stats=1 >"$log" 2>&1 &
        pids+=($!)
    done
    for ((worker = 1; worker <= workers; worker++)); do
        local log="$build/$name.log"
        [ "$workers" -gt 1 ] && log="$build/$name-$worker.log"
        if ! wait "${pids[worker - 1]}"; then
            echo "!! $name failed; see $log and $artifacts" >&2
            tail -n 40 "$log" >&2
            failed=1
        fi
        total=$((total + $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || echo 0)))
    done
    [ "$failed" -eq 0 ] || return 1
    local asked="$seconds s per worker"
    if [ -n "$runs" ]; then
        asked="$runs inputs from seed 1"
        [ "$workers" -gt 1 ] && asked="$runs inputs from seeds 1-$workers"
    fi
    local replayed=""
    if [ "$replay" -eq 1 ]; then
        # -runs=0 runs every corpus input once and mutates none.
        local replay_log="$build/$name-replay.log"
        if ! "$asan_build/$name" "$corpus" -runs=0 -timeout="${FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 \
            -artifact_prefix="$artifacts/$name-" >"$replay_log" 2>&1; then
            echo "!! $name failed its corpus replay under AddressSanitizer; see $replay_log" >&2
            tail -n 40 "$replay_log" >&2
            return 1
        fi
        replayed="; $(find "$corpus" -type f | wc -l) corpus inputs replayed under AddressSanitizer"
    fi
    echo "== $name ($sanitize): $asked: $total inputs in $((SECONDS - started)) s, no finding$replayed"
}

targets="${FUZZ_TARGETS:-}"
if [ -z "$targets" ]; then
    for source in "$root"/fuzz/fuzz_*.cpp; do targets+=" $(basename "$source" .cpp)"; done
fi
jobs="${FUZZ_JOBS:-1}"
status=0
running=0
for name in $targets; do
    run_target "$name" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || status=1
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || status=1
    running=$((running - 1))
done
exit $status
