# Convenience targets around CMake. `make test` builds and runs the whole
# suite twice: optimised, then under AddressSanitizer and UBSan.
BUILD ?= build
BUILD_SAN ?= build-sanitize
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build test test-plain test-sanitize bench run demo install clean

all: build

build:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVAN_SANITIZE=ON -DKORVAN_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && ctest --output-on-failure -j $(JOBS)

test: test-plain test-sanitize

# The big-survey benchmark: korvan2col next to cat and wc -l on surveys of
# about 100, 200 and 400 MB. BENCH_ARGS go to bench/run_bench.sh, for
# instance BENCH_ARGS="--runs 5 --compare saved".
BENCH_ARGS ?=
bench:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_BENCH=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvan2col gen_survey peak_rss reader_bench
	bench/run_bench.sh --build $(BUILD) $(BENCH_ARGS)

run: build
	$(BUILD)/driver/korvan2col

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
