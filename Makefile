# Front door: every target installs what it needs (as root), configures and builds.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: deps configure build run test asan gui bench fuzz clean

deps:
	@bash .ci/deps

configure: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

# Counts the bundled example log (a copy in the build folder) and prints its report.
run: build
	@mkdir -p $(BUILD)/run
	@cp examples/contest.ALL $(BUILD)/run/contest.ALL
	@$(BUILD)/hxchart $(BUILD)/run/contest.ALL
	@cat $(BUILD)/run/contest.hx

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DHX_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

gui: configure
	@cmake --build $(BUILD) -j $(JOBS) --target hxwin

bench: build
	@cmake --build $(BUILD) -j $(JOBS) --target hxbench_gen
	@bash bench/run_bench.sh $(BUILD)

# Runs every fuzz target for FUZZ_SECONDS seconds each.
fuzz: deps
	@CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DHX_FUZZ=ON -DHX_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	@bash fuzz/run_fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
