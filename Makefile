# The two commands: `make demo` and `make test`. Both install what they need.
.PHONY: all deps build test demo test-windows fuzz fuzz-replay bench screenshots clean

JOBS ?= 2
BUILD := build/default

all: build

deps:
	@scripts/deps.sh build qt

build: deps
	@cmake --preset default >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

test-windows:
	@scripts/test-windows.sh

fuzz:
	@scripts/fuzz.sh

bench:
	@scripts/deps.sh build bench
	@cmake --preset bench >/dev/null
	@cmake --build build/bench -j $(JOBS)
	@scripts/bench.sh build/bench

screenshots: build
	@scripts/deps.sh screenshots
	@scripts/screenshots.sh $(BUILD)

clean:
	rm -rf build
