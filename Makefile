# Kalvex: `make run` starts the program, `make test` runs every test.
# Both install missing Debian packages first and build what changed.

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_RUNS  ?= 200000
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps build build-asan run test test-release test-asan fuzz bench clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

$(ASAN_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKALVEX_SANITIZE=ON -DKALVEX_BENCH=OFF

build-asan: deps $(ASAN_BUILD)/CMakeCache.txt
	cmake --build $(ASAN_BUILD) -j $(JOBS)

run: build
	@./scripts/run.sh $(BUILD)

# Every test, in the normal build and again under AddressSanitizer/UBSan.
test: test-release test-asan

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

# The libFuzzer harnesses (clang, AddressSanitizer) for FUZZ_RUNS executions each.
$(FUZZ_BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
	  -DCMAKE_CXX_COMPILER=clang++-14 -DKALVEX_FUZZ=ON -DKALVEX_BENCH=OFF

fuzz: deps $(FUZZ_BUILD)/CMakeCache.txt
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target kalvex-fuzz-scenereader kalvex-fuzz-meshreader \
	  kalvex-fuzz-picturemesher kalvex-fuzz-picturefigure
	./scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_RUNS)

bench: build
	./$(BUILD)/kalvex-bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
