# Two entry points: `make run` and `make test`. Both install what is missing,
# configure and build first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all bootstrap configure build run test python-repeat bench vsix asan tsan fuzz fuzz-long ci clean

all: build

bootstrap:
	@scripts/bootstrap.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

configure: bootstrap $(BUILD_DIR)/build.ninja

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/quorvel

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The Python suites 100 times, in one process and under pytest-xdist with
# two workers: every run must give the same verdicts and cycle counts.
python-repeat: build
	QUORVEL_BUILD_DIR=$(abspath $(BUILD_DIR)) PYTHONPATH=$(abspath $(BUILD_DIR))/python \
	  scripts/repeat-python-tests.sh $${REPEAT:-100}

bench: build
	$(BUILD_DIR)/quorvel_bench

# The VS Code extension as editors/vscode/quorvel-debug.vsix, packed by
# vsce from the extension folder's locked npm packages.
vsix: bootstrap
	cd editors/vscode && npm ci --ignore-scripts --no-audit --no-fund && npm run package

# Sanitizer builds: the in-process suites of the core and the debug layer
# under ASan and UBSan
# (with the assembler, which the save tests run).
asan: bootstrap
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=address -DQUORVEL_GUI=OFF -DQUORVEL_BENCH=OFF
	cmake --build build-asan -j $(JOBS) --target core_tests tools_tests modules_tests settings_tests debug_tests asm51
	ctest --test-dir build-asan --output-on-failure -j $(JOBS) -R '^(core|tools|modules|settings|debug)_tests$$'

# The run controller's threads, and the history's search backwards that
# looks over segments on every core.
tsan: bootstrap
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=thread -DQUORVEL_GUI=OFF -DQUORVEL_BENCH=OFF
	cmake --build build-tsan -j $(JOBS) --target core_tests demos_tests
	build-tsan/core_tests --gtest_filter='RunControl*:ExecutionTime*'
	build-tsan/demos_tests --gtest_filter='History*'

# libFuzzer targets of every parser of outside input: a fixed number of
# inputs from a fixed seed, so every run checks the same cases.
fuzz: bootstrap
	FUZZ_RUNS=$${FUZZ_RUNS:-20000} scripts/run-fuzzers.sh

# Ten million inputs for every target, one target at a time as two worker
# processes on one corpus (five million each): hours, not part of continuous
# integration.
fuzz-long: bootstrap
	FUZZ_RUNS=$${FUZZ_RUNS:-10000000} FUZZ_WORKERS=$${FUZZ_WORKERS:-2} FUZZ_JOBS=$${FUZZ_JOBS:-1} scripts/run-fuzzers.sh

# What continuous integration runs: the test suite, then the sanitizer
# builds and a short fuzzing pass.
ci: test asan tsan fuzz

clean:
	rm -rf $(BUILD_DIR) build-asan build-tsan build-fuzz editors/vscode/quorvel-debug.vsix
