# Convenience targets around CMake. `make` builds the converter alone (CLI11
# and zlib are the libraries it needs; cairo draws --plot pictures);
# `make test` builds and runs the whole suite twice:
# optimised, then under AddressSanitizer and UBSan. Each target turns on
# what it needs (KORVAN_TESTS, KORVAN_BENCH) and first installs the Debian
# packages of its group that are missing (scripts/install-packages, which
# only looks when nothing is; INSTALL_PACKAGES=: leaves it out).
BUILD ?= build
BUILD_SAN ?= build-sanitize
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
INSTALL_PACKAGES ?= scripts/install-packages

.PHONY: all build python test test-plain test-sanitize sweep fuzz static-checks bench run demo install clean
PACKAGE_GROUPS = converter python test bench fuzz static
.PHONY: $(PACKAGE_GROUPS:%=packages-%)

all: build

# Once per make run, however many targets need the group.
$(PACKAGE_GROUPS:%=packages-%):
	$(INSTALL_PACKAGES) $(@:packages-%=%)

build: packages-converter
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvan2col

# The Python package korvan2col, for Debian's Python (/usr/bin/python3):
# build/python/korvan2col/, imported with PYTHONPATH=build/python.
python: packages-python
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_PYTHON=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target _korvan2col

# The test builds treat warnings as errors. KORVAN_TEST_SETUP tells the
# tests that the set-up installed their packages, so that one found missing
# fails the test instead of skipping it.
test-plain: packages-test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_WERROR=ON -DKORVAN_TESTS=ON -DKORVAN_PYTHON=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && KORVAN_TEST_SETUP=1 ctest --output-on-failure -j $(JOBS)

test-sanitize: packages-test
	cmake -S . -B $(BUILD_SAN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVAN_SANITIZE=ON -DKORVAN_TESTS=ON -DKORVAN_BENCH=OFF -DKORVAN_PYTHON=OFF -DKORVAN_WERROR=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD_SAN) -j $(JOBS)
	cd $(BUILD_SAN) && KORVAN_TEST_SETUP=1 ctest --output-on-failure -j $(JOBS)

test: test-plain test-sanitize

# The long checks: the sweeps of reading and rendering numbers (every tie
# and power of ten of the fixed-width fields, millions of shortest decimals
# and plain reals), then the known-values check on thousands of random
# surveys in every layout, read in one piece and in pieces on threads, and
# on a few of about 20 MB. SWEEP_ARGS go to the known-values check, for
# instance SWEEP_ARGS="--surveys 500 --large 1" for a short run.
SWEEP_ARGS ?= --surveys 5000 --large 4
sweep: packages-test
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_WERROR=ON -DKORVAN_TESTS=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target number_sweep known_values_sweep
	$(BUILD)/tests/number_sweep
	$(BUILD)/tests/known_values_sweep $(SWEEP_ARGS)

# The big-survey benchmark: korvan2col next to cat and wc -l, --format csv
# next to the plain run, the survey gzip-compressed next to zcat and from a
# pipe next to the plain run, on surveys of about 100, 200 and 400 MB, and the
# --plot picture on the largest. BENCH_ARGS go to bench/run_bench.sh, for
# instance BENCH_ARGS="--runs 5 --compare saved".
BENCH_ARGS ?=
bench: packages-bench
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_BENCH=ON -DKORVAN_PYTHON=ON $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvan2col gen_survey peak_rss reader_bench flight_lines_bench _korvan2col
	bench/run_bench.sh --build $(BUILD) $(BENCH_ARGS)

# The libFuzzer targets (clang): each runs FUZZ_SECONDS seconds in turn.
FUZZ_SECONDS ?= 60

fuzz: packages-fuzz
	JOBS=$(JOBS) fuzz/run.sh $(FUZZ_SECONDS)

# Warnings as errors, cppcheck and clang-tidy.
static-checks: packages-static
	JOBS=$(JOBS) .ci/static-checks

# Starts the converter interactively in a scratch directory under the build
# directory, with the bundled surveys beside it, so that what it writes
# stays out of the work tree.
RUN_DIR = $(BUILD)/run

run: build
	mkdir -p $(RUN_DIR)
	cp examples/*.prd $(RUN_DIR)/
	cd $(RUN_DIR) && $(abspath $(BUILD))/cli/korvan2col

# Converts the bundled multi-frequency survey in a scratch directory, as a
# user would with the name piped in, and shows what came out. The picture
# is drawn where cairo is (the build draws with it when pkg-config finds it),
# so that the demo runs without it too.
DEMO_DIR = $(BUILD)/demo
DEMO_SURVEY = survey_multi.prd
DEMO_PICTURE = survey_multi.png
DEMO_PLOT = $(if $(shell pkg-config --exists cairo 2>/dev/null && echo yes),--plot $(DEMO_PICTURE))

demo: build
	rm -rf $(DEMO_DIR)
	mkdir -p $(DEMO_DIR)
	cp examples/$(DEMO_SURVEY) $(DEMO_DIR)/
	@echo "--- console (the name $(DEMO_SURVEY) is piped in$(if $(DEMO_PLOT),; $(DEMO_PLOT)))"
	@cd $(DEMO_DIR) && echo $(DEMO_SURVEY) | $(abspath $(BUILD))/cli/korvan2col $(DEMO_PLOT)
	@echo "--- first lines of $(DEMO_DIR)/vask.out"
	@head -n 15 $(DEMO_DIR)/vask.out
	@if [ -f $(DEMO_DIR)/$(DEMO_PICTURE) ]; then \
	  echo "--- picture: $(DEMO_DIR)/$(DEMO_PICTURE)"; \
	else \
	  echo "--- no picture: without cairo (libcairo2-dev) korvan2col cannot draw"; \
	fi

# The Python package goes in too where pybind11 and the headers of Debian's
# Python are: into PREFIX's dist-packages for /usr/local (and /usr), where
# Debian's Python looks, else its site-packages ($$HOME/.local: the user's).
PYTHON_PACKAGE = $(shell test -f /usr/lib/cmake/pybind11/pybind11Config.cmake && /usr/bin/python3 -c \
  'import os, sysconfig; exit(not os.path.isfile(os.path.join(sysconfig.get_paths()["include"], "Python.h")))' \
  2>/dev/null && echo ON || echo OFF)
PYTHON_SITE = lib/python$(shell /usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])' 2>/dev/null)/$(if \
  $(filter /usr /usr/local,$(PREFIX)),dist-packages,site-packages)

install: packages-converter
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVAN_PYTHON=$(PYTHON_PACKAGE) \
	  -DKORVAN_PYTHON_INSTALL_DIR=$(PYTHON_SITE) $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS) --target korvan2col $(if $(filter ON,$(PYTHON_PACKAGE)),_korvan2col)
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(BUILD_SAN) build-fuzz build-werror
