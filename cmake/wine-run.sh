#!/bin/sh
# Runs a Windows program under wine in a private prefix: wine-run.sh PREFIX PROGRAM [ARGS...]
# The first use creates the prefix; it uses wine's null display driver so that
# programs can create (invisible) windows on a machine without a display.
set -eu
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.dorvane-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    # Two tests starting at once must not both build the prefix.
    flock 9
    if [ ! -f "$prefix/.dorvane-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
      # The display driver is chosen when the wine session starts.
      wineserver -w
      touch "$prefix/.dorvane-ready"
    fi
  ) 9>"$prefix.lock"
fi
exec wine "$@"
