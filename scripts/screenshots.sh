#!/usr/bin/env bash
# Pictures of the settings window (with a loaded configuration), the About
# box, the closing notice, the whole desktop with the tray icon and a
# notification from it (taken by the tray test on a desktop of its own), taken
# under Xvfb with the icewm window manager; then the same window, About box
# and tray icon of dorvane.exe under wine (win32-*.png).
# Usage: scripts/screenshots.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/default}
out=docs/screenshots

scripts/deps.sh build qt screenshots windows
cmake --preset default >/dev/null
cmake --build "$build" -j "${JOBS:-2}" --target dorvane
mkdir -p "$out"

# A fixed, short folder, so that the paths in the pictures read well.
work=/tmp/dorvane-demo
rm -rf "$work"
shop=$work/negozio
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A shop: its three folders, and a configuration with the log on and the
# session-result files chosen.
mkdir -p "$work"/{app,config,run,home} "$work/data/ZTKKORA1" "$shop"/{ingresso,uscita,errori}
chmod 700 "$work/run"
printf '%s\r\n' 1 '*.001' 'CASSA' "$shop/ingresso" "$shop/uscita" "$shop/errori" .OUT ' 0 ' ' 1 ' .ERR 2 0 ' 0 ' ' ' \
  'kkora1.exe' ' 0 ' ' 1 ' ' 0 ' >"$work/app/DORVCONF.txt"

# Waits until a visible window's title matches; prints its id.
wait_window() {
  local pattern=$1 skip=${2:-} id
  for _ in $(seq 100); do
    for id in $(xdotool search --onlyvisible --name "$pattern" 2>/dev/null); do
      [ "$id" != "$skip" ] && { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  echo "screenshots: no window '$pattern'" >&2
  return 1
}

n=80
while [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
export DISPLAY=:$n
Xvfb "$DISPLAY" -screen 0 1024x720x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
HOME=$work/home icewm >/dev/null 2>&1 &
pids+=($!)
wait_window '^TaskBar$' >/dev/null
sleep 1

# The folder the program starts in is the one the directory tree opens.
(cd "$shop" && exec env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=xcb DORVANE_HOME="$work/app" \
  XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run" \
  "$OLDPWD/$build/src/dorvane" /NONID /STOP >"$work/dorvane.txt" 2>&1) &
dorvane=$!
pids+=($dorvane)
main=$(wait_window '^ZTK DORVANE $')
xdotool windowmove --sync "$main" 40 40
sleep 1.5
import -frame -window "$main" "$out/settings-window.png"
import -window root "$out/desktop-with-tray-icon.png"

xdotool windowactivate --sync "$main"
xdotool key alt+question
sleep 0.4
xdotool key Return
about=$(wait_window '^Informazioni su ZTK DORVANE$')
sleep 0.8
import -frame -window "$about" "$out/about-box.png"
xdotool key Escape
sleep 0.4

# The normal shutdown: the notice stays up for about two seconds.
kill -TERM "$dorvane"
notice=$(wait_window '^ZTK DORVANE $' "$main")
sleep 0.4
import -frame -window "$notice" "$out/closing-notice.png"
wait "$dorvane" || true

# A notification from the tray icon: the tray test shows one and takes it.
cmake --build "$build" -j "${JOBS:-2}" --target gui_e2e_tests
DORVANE_NOTICE_PICTURE=$PWD/$out/tray-notification.png "$build/tests/gui_e2e_tests" \
  --gtest_filter='TrayOnARealDesktop.*' >"$work/notice.txt" 2>&1 || cat "$work/notice.txt" >&2

# dorvane.exe under wine, in a prefix of its own with wine's X11 display
# driver (the tests' prefix has none), on the same desktop.
cmake --preset windows >/dev/null
cmake --build build/windows -j "${JOBS:-2}" --target dorvane
export WINEPREFIX=$PWD/build/windows/wineprefix-x11 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
if [ ! -f "$WINEPREFIX/.dorvane-ready" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  touch "$WINEPREFIX/.dorvane-ready"
fi
# The shop on the prefix's drive C:, as on a shop PC.
rm -rf "$WINEPREFIX/drive_c/negozio" "$WINEPREFIX/drive_c/DORVANE"
mkdir -p "$WINEPREFIX"/drive_c/negozio/{ingresso,uscita,errori} "$WINEPREFIX/drive_c/DORVANE"
printf '%s\r\n' 1 '*.001' 'CASSA' 'C:\negozio\ingresso' 'C:\negozio\uscita' 'C:\negozio\errori' .OUT ' 0 ' ' 1 ' .ERR 2 0 \
  ' 0 ' ' ' 'kkora1.exe' ' 0 ' ' 1 ' ' 0 ' >"$WINEPREFIX/drive_c/DORVANE/DORVCONF.txt"
(cd "$WINEPREFIX/drive_c/negozio" && exec env DORVANE_HOME='C:\DORVANE' wine "$OLDPWD/build/windows/src/dorvane.exe" \
  /NONID /STOP >"$work/dorvane-exe.txt" 2>&1) &
main=$(wait_window '^ZTK DORVANE $')
xdotool windowmove --sync "$main" 40 40
xdotool mousemove 1000 300
sleep 1.5
import -frame -window "$main" "$out/win32-settings-window.png"

# The tray icon with its tip: the pointer rests on it.
tray=$(xdotool search --name '^SystemTray$' | head -1)
x=$(xwininfo -id "$tray" | awk '/Absolute upper-left X/ {print $4}')
y=$(xwininfo -id "$tray" | awk '/Absolute upper-left Y/ {print $4}')
xdotool mousemove $((x + 10)) $((y + 10))
sleep 0.3
xdotool mousemove $((x + 12)) $((y + 12))
sleep 2
left=$((x > 220 ? x - 220 : 0))
import -window root -crop "$((1024 - left))x72+$left+$((y - 46))" +repage "$out/win32-tray-icon.png"
mogrify -scale 200% "$out/win32-tray-icon.png"
xdotool mousemove 1000 300

# Wine's own task bar may hold the keyboard: give it to the window.
xdotool windowactivate --sync "$main" 2>/dev/null || true
xdotool windowfocus --sync "$main"
xdotool key alt+shift+slash
sleep 0.5
xdotool key Return
about=$(wait_window '^Informazioni su ZTK DORVANE$')
sleep 0.8
import -frame -window "$about" "$out/win32-about-box.png"
xdotool key Escape
sleep 0.4
# The normal shutdown, as the window's close box asks for it.
xdotool windowfocus --sync "$main" key alt+F4
for _ in $(seq 100); do xdotool search --name '^ZTK DORVANE $' >/dev/null 2>&1 || break; sleep 0.1; done
echo "Pictures in $out:"
ls -1 "$out"
