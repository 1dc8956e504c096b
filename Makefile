# The two everyday commands: `make demo` and `make test`. Both install what is missing, build what
# changed, and are quick when nothing did.
PRESET ?= default
BUILD  := build

.PHONY: all demo test bench fuzz deps configure build node clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	@cmake --preset $(PRESET) >/dev/null

configure: $(BUILD)/build.ninja

build: deps configure
	@cmake --build --preset $(PRESET)

demo: build
	@$(BUILD)/bin/nestkeep-sandbox --demo

# The end-to-end tests use a real RCON client and a real schema validator from npm.
node: deps
	@scripts/install-node-deps.sh

test: build node
	@ctest --preset $(PRESET)

# Per-call cost of the detours and of reading the config, and instructions per call (callgrind).
BENCH_ARGS ?=
bench: build
	@$(BUILD)/bin/detours_bench $(BENCH_ARGS)
	@$(BUILD)/bin/config_bench $(BENCH_ARGS)
	@bench/callgrind.sh $(BUILD)

# Each fuzzer for FUZZ_SECONDS, from its checked-in seeds, with clang, ASan and UBSan.
FUZZ_SECONDS ?= 60
fuzz: deps
	@scripts/install-deps.sh clang-14 libclang-rt-14-dev
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target fuzzers
	@scripts/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

clean:
	@rm -rf build build-asan build-tsan build-fuzz
