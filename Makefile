# The two commands: `make demo` and `make test`. Both install what they need.
.PHONY: all deps package-deps build test demo test-windows fuzz bench screenshots crash-test compare-files manual package package-windows clean

JOBS ?= 2
BUILD := build/default

all: build

deps:
	@scripts/deps.sh build qt

# pandoc, weasyprint, lintian: for the manual and the Debian package, which
# `make test` checks too.
package-deps:
	@scripts/deps.sh manual package

build: deps
	@cmake --preset default >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The tray test drives the real program on an X server with a notification area.
test: package-deps build
	@scripts/deps.sh desktop browser spreadsheet
	@QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

test-windows:
	@scripts/test-windows.sh

fuzz:
	@scripts/fuzz.sh

# The real dorvane killed 200 times and kkora1 50 times in the middle of
# jobs; prints the receipts printed twice, lost and filed as unknown. Then
# 300 receipts put by key through the HTTP door, each put 3 times or more,
# while dorvane is killed 100 times: keys printed twice and lost.
crash-test: build
	@DORVANE_CRASH_KILLS=200 DORVANE_CRASH_KORA1_KILLS=50 DORVANE_CRASH_KEYS=300 DORVANE_CRASH_KEY_KILLS=100 \
	  $(BUILD)/tests/e2e_tests --gtest_filter='RealShop.Kills*'

# What other programs read (event log, result files, exchange files, status
# file, ledger), recorded from the real programs on fixed scenarios, here and
# at OLD_REV (default e3f682d), and compared with times and ids masked.
compare-files:
	@scripts/compare-files.sh $(OLD_REV)

screenshots:
	@scripts/screenshots.sh $(BUILD)

# The user manual, ManDorvane.pdf, into $(BUILD)/docs.
manual:
	@scripts/deps.sh build manual
	@cmake --preset default >/dev/null
	@cmake --build $(BUILD) --target manual
	@echo $(BUILD)/docs/ManDorvane.pdf

# The Debian package, into $(BUILD)/package.
package: package-deps build
	@scripts/package-deb.sh $(BUILD)

# The Windows installer and the portable zip, into build/windows/package.
package-windows:
	@scripts/package-windows.sh

# Release build of the benchmark program only, then one run: the table, then
# the summary (one line per ratio, then the rates).
bench:
	@scripts/deps.sh build bench
	@cmake --preset bench >/dev/null
	@cmake --build build/bench -j $(JOBS) --target dorvane_bench
	@build/bench/bench/dorvane_bench

clean:
	rm -rf build
