# Convenience entry points; everything goes through CMake presets.
PRESET ?= release
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test sanitize bench clean

deps:
	@bash scripts/install-deps.sh --with-browser

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET) -j $(JOBS)

run: build
	@./build/$(PRESET)/tools/korvala analyze --out /dev/null

test: build
	@ctest --preset $(PRESET) -j $(JOBS)

sanitize:
	@$(MAKE) --no-print-directory test PRESET=sanitize

bench: deps
	@cmake --preset bench >/dev/null
	@cmake --build --preset bench -j $(JOBS)
	@./build/bench/bench/korvala_bench

clean:
	rm -rf build
