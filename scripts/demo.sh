#!/usr/bin/env bash
# The demo: a private workspace, the print-driver simulator, and DORVANE on
# the console front end. Usage: scripts/demo.sh BUILD_DIR
set -euo pipefail
build=${1:-build/default}
top=$(cd "$(dirname "$0")/.." && pwd)
ws="$top/demo-run"
rm -rf "$ws"
mkdir -p "$ws/app" "$ws/data/ZTKKORA1" "$ws/config" "$ws/run"
export DORVANE_HOME="$ws/app" XDG_DATA_HOME="$ws/data" XDG_CONFIG_HOME="$ws/config" XDG_RUNTIME_DIR="$ws/run"
k1="$ws/data/ZTKKORA1"

# Port 1, event log on, one-second cycle; input, output and error in KORA1's folder.
printf '1\r\n*.001\r\n  \r\n%s\r\n%s\r\n%s\r\n.OUT\r\n 0 \r\n 1 \r\n.ERR\r\n1\r\n0\r\n 0 \r\n \r\n  \r\n 0 \r\n 0 \r\n 0 \r\n' \
  "$k1" "$k1" "$k1" > "$ws/app/DORVCONF.txt"

echo "== Workspace: $ws"
echo "== Starting kkora1 (print-driver simulator), ready after 1.5 s"
"$top/$build/tools/kkora1/kkora1" 0 --dump-ms 1500 > "$ws/kkora1.log" 2>&1 &
k1pid=$!
trap 'kill $k1pid 2>/dev/null || true' EXIT

echo "== Starting DORVANE (console front end) for 8 seconds"
"$top/$build/src/dorvane" --headless /NONID &
dpid=$!
sleep 8
echo "== Closing DORVANE (SIGTERM runs the normal shutdown)"
kill -TERM $dpid
wait $dpid || true
kill -TERM $k1pid 2>/dev/null || true
wait $k1pid 2>/dev/null || true
trap - EXIT

echo "== Event log ($k1/DORVLOG.txt):"
tr -d '\r' < "$k1/DORVLOG.txt" | sed 's/^/   /'
echo "== kkora1 said:"
sed 's/^/   /' "$ws/kkora1.log" | head -20
