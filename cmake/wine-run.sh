#!/bin/sh
# Runs a Windows program under wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# The first use creates the prefix; it uses wine's null display driver so that
# programs can create (invisible) windows on a machine without a display.
set -eu
prefix=$1
shift
# winemenubuilder would turn Start-menu shortcuts into desktop entries of the host.
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.dorvane-ready" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
    # The display driver is chosen when the wine session starts.
    wineserver -w 9>&-
    touch "$prefix/.dorvane-ready"
  fi
  # The background services wine starts with the first program of a session
  # inherit that program's output and would hold a test's pipe open until the
  # session ends: start the session here, detached, and keep it 30 s past the
  # last program. A server already running makes wineserver fail at once.
  # (None of them may inherit the lock, or they would hold it for good.)
  if wineserver -p30 </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"
exec wine "$@"
