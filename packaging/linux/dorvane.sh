#!/bin/sh
# DORVANE saves its settings (DORVCONF.txt) in its program folder, which the
# package installs read-only: each user gets a folder of their own instead,
# beside DORVANE's data folder, unless DORVANE_HOME names one.
if [ -z "${DORVANE_HOME:-}" ]; then
  DORVANE_HOME="${XDG_DATA_HOME:-${HOME:-/tmp}/.local/share}/ZTKDORVANE"
  export DORVANE_HOME
fi
mkdir -p "$DORVANE_HOME" 2>/dev/null || true
exec /usr/libexec/dorvane "$@"
