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

run: build
	$(BUILD)/driver/korvan2col

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(BUILD_SAN)
