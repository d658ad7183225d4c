# The two set-up commands: `make run` starts Tamber, `make test` runs every test.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: run test build deps clean bench package

run: build
	@$(BUILD)/bin/tamber

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j2

build: deps
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)

deps:
	@scripts/install-deps

bench:
	@scripts/install-deps bench
	@cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD)
	bench/run-all

# The Debian package of the installed program, checked by lintian.
package: build
	@scripts/install-deps package
	cd $(BUILD) && cpack -G DEB
	lintian --fail-on error $(BUILD)/tamber_*.deb

clean:
	rm -rf $(BUILD)
