#!/usr/bin/env bash
# The Windows installer under wine: a silent install, an upgrade that keeps
# the configuration, moves an older version's logon entry to the machine's
# Run key and can drop it, a silent uninstall that keeps the configuration;
# the files, the Start-menu entries, the uninstall entry and the logon entry
# (every user's, never the installing account's own) are checked after each
# step.
#   windows_installer_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
top=$1
build=$2
work=$build/package-test
fail() { echo "FAIL: $*" >&2; exit 1; }

mapfile -t made < <("$top/scripts/package-windows.sh" "$build" "$work")
setup=${made[0]}
zip=${made[1]}
echo "installer: $(du -k "$setup" | cut -f1) KB, zip: $(du -k "$zip" | cut -f1) KB"
listing=$(unzip -Z1 "$zip")
for f in dorvane.exe kkora1.exe dorvane-convert.exe dorvane-ledger.exe dorvane-web.exe ManDorvane.pdf LEGGIMI.txt; do
  grep -q "/$f\$" <<<"$listing" || fail "$f is not in the zip"
done

# A prefix and a home of its own, so that nothing else sees an installed DORVANE.
prefix=$work/wineprefix
rm -rf "$prefix" "$work/home"
mkdir -p "$work/home"
export HOME=$work/home WINEPREFIX=$prefix WINEDEBUG=-all
run() { "$top/cmake/wine-run.sh" "$prefix" "$@" </dev/null; }
trap 'WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true' EXIT

uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZTK DORVANE'
runkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
userrunkey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
regvalue() {  # regvalue KEY NAME: prints the value's data, fails when it is absent
  run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | grep .
}
dir="$prefix/drive_c/Program Files/ZTK DORVANE"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/ZTK DORVANE"

run "$setup" /S
for f in dorvane.exe kkora1.exe dorvane-convert.exe dorvane-ledger.exe dorvane-web.exe ManDorvane.pdf LEGGIMI.txt uninstall.exe; do
  [[ -f $dir/$f ]] || fail "$f is not installed"
done
[[ -f $prefix/drive_c/ProgramData/ZTKDORVANE/ManDorvane.pdf ]] || fail "the manual is not in DORVANE's data folder"
[[ -f "$menu/ZTK DORVANE.lnk" ]] || fail "no Start-menu entry: $(ls "$menu" 2>&1)"
[[ $(regvalue "$uninst" UninstallString) == '"C:\Program Files\ZTK DORVANE\uninstall.exe"' ]] ||
  fail "uninstall entry: $(regvalue "$uninst" UninstallString || true)"
[[ $(regvalue "$uninst" DisplayVersion) == 1.1.0.4 ]] || fail "uninstall entry without its version"
[[ $(regvalue "$runkey" "ZTK DORVANE") == '"C:\Program Files\ZTK DORVANE\dorvane.exe"' ]] ||
  fail "no logon entry for every user: $(regvalue "$runkey" "ZTK DORVANE" || true)"
! regvalue "$userrunkey" "ZTK DORVANE" >/dev/null || fail "a logon entry for the installing account only"
run "C:\\Program Files\\ZTK DORVANE\\kkora1.exe" --version | grep -q '[0-9]' || fail "the installed kkora1.exe does not run"

# The user's settings and state dump, as DORVANE saves them, and the event
# log in KORA1's data folder.
printf '3\r\n*.001\r\n' > "$dir/DORVCONF.txt"
printf 'state\r\n' > "$dir/ztk_log.txt"
log=$prefix/drive_c/ProgramData/ZTKKORA1/DORVLOG.txt
mkdir -p "$(dirname "$log")"
printf 'OK:  |AVVIO di ZTK DORVANE||2026-01-02 08:00:00\r\n' > "$log"

# Upgrade over an older version, whose logon entry was the installing
# account's: it becomes every user's.
run reg delete "$runkey" /v "ZTK DORVANE" /f >/dev/null
run reg add "$userrunkey" /v "ZTK DORVANE" /d '"C:\Program Files\ZTK DORVANE\dorvane.exe"' /f >/dev/null
run "$setup" /S
regvalue "$runkey" "ZTK DORVANE" >/dev/null || fail "the upgrade dropped the older version's logon entry"
! regvalue "$userrunkey" "ZTK DORVANE" >/dev/null || fail "the upgrade left the older version's logon entry"

# Upgrade without the logon entry: the configuration stays.
run "$setup" /S /NOAUTOSTART
[[ $(cat "$dir/DORVCONF.txt") == $'3\r\n*.001\r' ]] || fail "the upgrade changed DORVCONF.txt"
! regvalue "$runkey" "ZTK DORVANE" >/dev/null || fail "/NOAUTOSTART left the logon entry"
[[ -f $dir/dorvane.exe ]] || fail "the upgrade lost dorvane.exe"

# A later upgrade keeps that choice.
run "$setup" /S
! regvalue "$runkey" "ZTK DORVANE" >/dev/null || fail "an upgrade turned the logon entry back on"

# The uninstaller copies itself away and returns at once: wait for it to
# remove its uninstall entry, its last step after the files and the menu.
# It takes a logon entry with it, an older version's too.
# A running kkora1.exe is asked to close and goes with the rest.
for key in "$runkey" "$userrunkey"; do
  run reg add "$key" /v "ZTK DORVANE" /d '"C:\Program Files\ZTK DORVANE\dorvane.exe"' /f >/dev/null
done
run "$dir/kkora1.exe" 0 >/dev/null 2>&1 &
kkora1=$!
for _ in $(seq 60); do [[ -e $prefix/drive_c/ProgramData/ZTKKORA1/SR_MATR.001 ]] && break; sleep 0.5; done
run "$dir/uninstall.exe" /S
for _ in $(seq 120); do regvalue "$uninst" UninstallString >/dev/null || break; sleep 0.5; done
for _ in $(seq 20); do kill -0 $kkora1 2>/dev/null || break; sleep 0.5; done
! kill -0 $kkora1 2>/dev/null || fail "the uninstall left kkora1.exe running"
for f in dorvane.exe kkora1.exe dorvane-convert.exe dorvane-ledger.exe dorvane-web.exe ManDorvane.pdf LEGGIMI.txt uninstall.exe; do
  [[ ! -e $dir/$f ]] || fail "$f is still there after the uninstall"
done
[[ -f $dir/DORVCONF.txt && -f $dir/ztk_log.txt ]] || fail "the uninstall removed the configuration"
[[ -s $log ]] || fail "the uninstall removed the event log"
[[ ! -e $menu ]] || fail "the Start-menu entries are still there"
[[ ! -e $prefix/drive_c/ProgramData/ZTKDORVANE/ManDorvane.pdf ]] || fail "the manual is still in the data folder"
! regvalue "$uninst" UninstallString >/dev/null || fail "the uninstall entry is still registered"
for key in "$runkey" "$userrunkey"; do
  ! regvalue "$key" "ZTK DORVANE" >/dev/null || fail "the logon entry is still in $key"
done
echo "windows installer test: ok"
