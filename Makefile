# The two commands: `make demo` and `make test`. Both install what they need.
.PHONY: all deps build test demo test-windows fuzz bench screenshots crash-test clean

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

# The real dorvane killed 200 times and kkora1 50 times in the middle of
# jobs; prints the receipts printed twice, lost and filed as unknown.
crash-test: build
	@DORVANE_CRASH_KILLS=200 DORVANE_CRASH_KORA1_KILLS=50 $(BUILD)/tests/e2e_tests --gtest_filter='RealShop.Kills*'

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
