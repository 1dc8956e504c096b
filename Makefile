# The two everyday commands: `make demo` and `make test`. Both install what is missing, build what
# changed, and are quick when nothing did.
PRESET ?= default
BUILD  := build
# What the demonstration runs: the sandbox with its host runtime and the module, and the checker.
PROGRAMS := nestkeep-sandbox nestkeep-check

.PHONY: all demo test bench fuzz configure build node windows test-windows package clean

all: build

# Configuring again each time is quick, and finds what an install just added (GoogleTest, Google
# Benchmark), whose parts of the build are left out while it is missing.
configure:
	@cmake --preset $(PRESET) >/dev/null

build:
	@scripts/install-deps.sh demo
	@$(MAKE) --no-print-directory configure
	@cmake --build --preset $(PRESET) --target $(PROGRAMS)

demo: build
	@$(BUILD)/bin/nestkeep-sandbox --demo

# The end-to-end tests use a real RCON client and a real schema validator from npm.
node:
	@scripts/install-node-deps.sh

test:
	@scripts/install-deps.sh test
	@scripts/install-node-deps.sh
	@$(MAKE) --no-print-directory configure
	@cmake --build --preset $(PRESET)
	@ctest --preset $(PRESET) --no-tests=error

# Per-call cost of the detours and of reading the config, and instructions per call (callgrind).
BENCH_ARGS ?=
bench:
	@scripts/install-deps.sh bench
	@$(MAKE) --no-print-directory configure
	@cmake --build --preset $(PRESET) --target detours_bench config_bench detour_calls
	@$(BUILD)/bin/detours_bench $(BENCH_ARGS)
	@$(BUILD)/bin/config_bench $(BENCH_ARGS)
	@bench/callgrind.sh $(BUILD)

# Each fuzzer for FUZZ_SECONDS, from its checked-in seeds, with clang, ASan and UBSan.
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps.sh demo clang-14 libclang-rt-14-dev
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target fuzzers
	@scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

# Windows x64: cross-built with MinGW-w64 into build-windows/, and the whole suite run under wine64.
windows:
	@scripts/install-deps.sh windows
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

# Under wine a program now and then fails before it starts: CI once saw a test fail in 0.02 s with no
# output, sooner than wine starts any program, and it passed 300 times running alone. So a failed
# test runs once more. The log keeps the failed try and its output; a fault that shows every time
# fails both tries, and the Linux stages run every test once, without retries.
test-windows: windows
	@scripts/install-node-deps.sh
	@scripts/wine-run.sh --start-session
	@status=0; ctest --preset windows --no-tests=error --repeat until-pass:2 || status=$$?; \
	  scripts/wine-run.sh --end-session; exit $$status

# The release archives in dist/, one per platform, each tested by unpacking it and running the
# demonstration from it (the Windows one under wine64).
package:
	@scripts/install-deps.sh windows unzip
	@scripts/package.sh

clean:
	@rm -rf build build-asan build-tsan build-fuzz build-windows dist
