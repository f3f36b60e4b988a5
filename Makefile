# make        build everything into dist/ and the tests (without running them)
# make check  install what is missing, build everything, run every test
# make demo   build only sfxpack, the stub and the example, pack the example and run it under Wine
# make bench  compression benchmarks (not a test)
# make install [PREFIX=/usr/local] [DESTDIR=]   make uninstall (the same PREFIX and DESTDIR)
# make deb     a Debian package in dist/        make dist  a release folder and tarball in dist/release/
BUILD ?= build
BUILD_TYPE ?= Release
JOBS ?= 2
PREFIX ?= /usr/local
DESTDIR ?=
DEBDIR ?= dist

.PHONY: all check demo bench deps configure clean shipped install uninstall deb dist

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
	$(MAKE) configure
	cmake --build $(BUILD) -j$(JOBS) --target demo_programs
	scripts/demo

bench: configure
	scripts/install-deps --bench
	cmake --build $(BUILD) -j$(JOBS) --target bench

# What install and deb ship, built alone: no test is needed to install.
shipped: configure
	cmake --build $(BUILD) -j$(JOBS) --target shipped

# DESTDIR made absolute, as the install records name the folders they fill.
install: shipped
	DESTDIR="$(abspath $(DESTDIR))" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake -DRECORDS="$(abspath $(BUILD))/install-records" -DROOT="$(abspath $(DESTDIR))$(PREFIX)" -P cmake/uninstall.cmake

deb: shipped
	scripts/make-deb $(BUILD) $(DEBDIR)

dist: all
	cmake --build $(BUILD) --target release

clean:
	rm -rf $(BUILD) dist
