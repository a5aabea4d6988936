#!/usr/bin/env bash
# The demo: a private workspace, the print-driver simulator, a handful of
# receipts, and DORVANE dispatching them. The window when there is a display,
# the console front end otherwise. Usage: scripts/demo.sh BUILD_DIR
set -euo pipefail
build=${1:-build/default}
top=$(cd "$(dirname "$0")/.." && pwd)
ws="$top/demo-run"
# Programs a broken earlier run left behind would share the new workspace.
if [[ -f "$ws/pids" ]]; then kill -TERM $(cat "$ws/pids") 2>/dev/null || true; sleep 1; fi
rm -rf "$ws"
mkdir -p "$ws/app" "$ws/data/ZTKKORA1" "$ws/config" "$ws/run" "$ws/in" "$ws/out" "$ws/err"
export DORVANE_HOME="$ws/app" XDG_DATA_HOME="$ws/data" XDG_CONFIG_HOME="$ws/config" XDG_RUNTIME_DIR="$ws/run"
k1="$ws/data/ZTKKORA1"
chmod 700 "$ws/run"  # a runtime folder is private

# Port 1, filter *.001, input/output/error folders of the workspace, event
# log on, half-second cycle, automatic error reset, a .BTO per job.
printf '%s\r\n' 1 '*.001' '  ' "$ws/in" "$ws/out" "$ws/err" .OUT ' 0 ' ' 1 ' .ERR 0.5 0 ' 0 ' ' ' '  ' ' 1 ' ' 1 ' ' 0 ' \
  > "$ws/app/DORVCONF.txt"

receipt() {  # name, lines...
  local name=$1
  shift
  printf '%s\r\n' "$@" > "$ws/in/$name"
}
echo "== Workspace: $ws"
echo "== Receipts in $ws/in (one second apart, so they print in this order):"
receipt PANE.001 'PLUD,C1,N1,P000000150,:PANE,Q2;' 'CASH,V300,:CONTANTI;'
sleep 1.1
receipt SPESA.001 'PLUD,C1,N1,P000000150,:PANE,Q2;' 'PLUD,C1,N2,P1000,:VINO;' 'DISC,%10,:SCONTO 10.00%;' 'CASH,V2000,:CONTANTI;'
sleep 1.1
receipt ERRATO.001 'PLUD,C1,N0,P100,:REPARTO ZERO;' 'CASH,V100,:CONTANTI;'
sleep 1.1
receipt RESO.001 'PLUD,C1,N1,P000000150,:PANE,R;' 'CASH,V0,:CONTANTI;'
sleep 1.1
receipt CAFFE.001 'PLUD,C1,N3,P120,:CAFFE,Q3;' 'SUBT;'
ls -1 "$ws/in" | sed 's/^/   /'

echo "== Starting kkora1 (print-driver simulator): ready after 1 s, out of paper on the 4th receipt for 3 s"
"$top/$build/tools/kkora1/kkora1" 0 --dump-ms 1000 --paper-out-after 3 --hold-ms 3000 > "$ws/kkora1.log" 2>&1 &
k1pid=$!
echo $k1pid > "$ws/pids"
trap 'kill $(cat "$ws/pids") 2>/dev/null || true' EXIT
sleep 0.3

gui=0
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && "${DEMO_CONSOLE:-0}" != 1 ]]; then gui=1; fi
if [[ $gui == 1 ]]; then
  echo "== Starting DORVANE with its window; it is closed once the input folder is empty"
  "$top/$build/src/dorvane" /NONID &
  dpid=$!
  echo $dpid >> "$ws/pids"
  for _ in $(seq 1 120); do
    sleep 0.5
    [[ -z "$(ls "$ws/in" | grep -i '\.001$' || true)" ]] && break
  done
  sleep 1
  kill -TERM $dpid
  wait $dpid || true
else
  echo "== Starting DORVANE (console front end); it ends once the input folder is empty"
  "$top/$build/src/dorvane" --exit-when-done /NONID &
  dpid=$!
  echo $dpid >> "$ws/pids"
  wait $dpid || true
fi
kill -TERM $k1pid 2>/dev/null || true
wait $k1pid 2>/dev/null || true
trap - EXIT
rm -f "$ws/pids"

echo
echo "== Where every receipt went:"
for f in PANE.001 SPESA.001 ERRATO.001 RESO.001 CAFFE.001; do
  if [[ -f "$ws/out/$f.OUT" ]]; then
    printf '   %-11s printed  -> out/%s.OUT (%s)\n' "$f" "$f" "$(tr -d '\r' < "$ws/out/$f.OUT" | grep -E '^(SCONTRINO|TOTALE)=' | tr '\n' ' ')"
  elif [[ -f "$ws/err/$f.ERR" ]]; then
    printf '   %-11s refused  -> err/%s.ERR, reason: %s\n' "$f" "$f" "$(head -1 "$ws/err/${f}_ERR.ERR" 2>/dev/null | tr -d '\r')"
  elif [[ -f "$ws/in/$f" ]]; then
    printf '   %-11s still waiting in in/\n' "$f"
  else
    printf '   %-11s MISSING\n' "$f"
  fi
done
echo "== Event log ($k1/DORVLOG.txt):"
tr -d '\r' < "$k1/DORVLOG.txt" | sed 's/^/   /'
