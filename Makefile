# make        build everything into dist/ (no tests)
# make check  install what is missing, build, run every test
# make demo   build an installer from examples/ and run it under Wine
# make bench  compression benchmarks (not a test)
# make install [PREFIX=/usr/local] [DESTDIR=]   make uninstall (the same PREFIX and DESTDIR)
# make deb     a Debian package in dist/        make dist  a release folder and tarball in dist/release/
BUILD ?= build
BUILD_TYPE ?= Release
JOBS ?= 2
PREFIX ?= /usr/local
DESTDIR ?=
DEBDIR ?= dist

.PHONY: all check demo bench deps configure clean install uninstall deb dist

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

# DESTDIR made absolute, as the install records name the folders they fill.
install: all
	DESTDIR="$(abspath $(DESTDIR))" cmake --install $(BUILD) --prefix "$(PREFIX)"

uninstall:
	cmake -DRECORDS="$(abspath $(BUILD))/install-records" -DROOT="$(abspath $(DESTDIR))$(PREFIX)" -P cmake/uninstall.cmake

deb: all
	scripts/make-deb $(BUILD) $(DEBDIR)

dist: all
	cmake --build $(BUILD) --target release

clean:
	rm -rf $(BUILD) dist
