# make        build everything into dist/ (no tests)
# make check  install what is missing, build, run every test
# make demo   build an installer from examples/ and run it under Wine
# make bench  compression benchmarks (not a test)
BUILD ?= build
BUILD_TYPE ?= Release
JOBS ?= 2

.PHONY: all check demo bench deps configure clean

all: configure
	cmake --build $(BUILD) -j$(JOBS)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

deps:
	scripts/install-deps

check: deps
	$(MAKE) all
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

demo: deps
	$(MAKE) all
	scripts/demo

bench: configure
	scripts/install-deps --bench
	cmake --build $(BUILD) -j$(JOBS) --target bench

clean:
	rm -rf $(BUILD) dist
