# The two commands: `make demo` and `make test`. Both install what they need.
.PHONY: all deps build test demo test-windows fuzz bench screenshots clean

JOBS ?= 2
BUILD := build/default

all: build

deps:
	@scripts/deps.sh build qt

build: deps
	@cmake --preset default >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The tray test drives the real program on an X server with a notification area.
test: build
	@scripts/deps.sh desktop
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

test-windows:
	@scripts/test-windows.sh

fuzz:
	@scripts/fuzz.sh

screenshots:
	@scripts/screenshots.sh $(BUILD)

# Release build of the benchmark program only, then one run: the table, then
# the summary (one line per ratio, then the rates).
bench:
	@scripts/deps.sh build bench
	@cmake --preset bench >/dev/null
	@cmake --build build/bench -j $(JOBS) --target dorvane_bench
	@build/bench/bench/dorvane_bench

clean:
	rm -rf build
