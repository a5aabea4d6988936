#!/usr/bin/env bash
# The Debian package: builds it from the build tree, lets lintian judge it,
# unpacks it into a scratch root and runs what it installed: --help and
# --version, the desktop entries, and one receipt through the installed
# dorvane (headless) and kkora1 on a private folder tree.
#   deb_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
top=$1
build=$2
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }

deb=$("$top/scripts/package-deb.sh" "$build" "$work")
echo "package: $deb ($(du -k "$deb" | cut -f1) KB)"

# lintian: no errors (warnings are reported, not fatal).
lintian --tag-display-limit 0 --info "$deb" > "$work/lintian.txt" 2>&1 || true
cat "$work/lintian.txt"
if grep -q '^E: ' "$work/lintian.txt"; then fail "lintian reports errors"; fi

# What the package declares and holds.
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Qt is not among the dependencies"
# xdg-open opens the manual; Qt's Italian texts for its own widgets.
for p in xdg-utils qt6-translations-l10n; do
  dpkg-deb -f "$deb" Recommends | grep -qw "$p" || fail "$p is not recommended"
done
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/contents.txt"
for f in /usr/bin/dorvane /usr/libexec/dorvane /usr/bin/kkora1 /usr/bin/dorvane-convert /usr/bin/dorvane-ledger /usr/bin/dorvane-web \
  /usr/share/applications/dorvane.desktop /usr/share/icons/hicolor/scalable/apps/dorvane.svg \
  /etc/xdg/autostart/dorvane.desktop /usr/lib/systemd/user/dorvane.service \
  /usr/share/doc/dorvane/ManDorvane.pdf /usr/share/doc/dorvane/README.md /usr/share/doc/dorvane/copyright \
  /usr/share/man/man1/dorvane.1.gz /usr/share/man/man1/kkora1.1.gz /usr/share/man/man1/dorvane-convert.1.gz \
  /usr/share/man/man1/dorvane-ledger.1.gz /usr/share/man/man1/dorvane-web.1.gz; do
  grep -qx "$f" "$work/contents.txt" || fail "$f is not in the package"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/dorvane.desktop" "$root/etc/xdg/autostart/dorvane.desktop"
fi
grep -qx 'ExecStart=/usr/bin/dorvane --headless' "$root/usr/lib/systemd/user/dorvane.service" ||
  fail "the service does not run dorvane --headless"
if command -v systemd-analyze >/dev/null; then
  # (It cannot see the unpacked program nor the uninstalled man page.)
  systemd-analyze verify "$root/usr/lib/systemd/user/dorvane.service" 2>&1 | grep -v '/usr/bin/dorvane\|man dorvane' || true
fi
zcat "$root/usr/share/man/man1/dorvane.1.gz" | grep -q '^\.TH "DORVANE" "1"' || fail "dorvane.1 is not a man page"

# A package removed but not purged leaves its conffiles, the autostart entry
# among them: each entry names the program it starts in TryExec, so that a
# desktop skips it once the program is gone.
for entry in usr/share/applications/dorvane.desktop etc/xdg/autostart/dorvane.desktop; do
  tryexec=$(sed -n 's/^TryExec=//p' "$root/$entry")
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/$entry")
  [[ -n $tryexec ]] || fail "/$entry has no TryExec"
  [[ $tryexec == "$program" ]] || fail "/$entry: TryExec=$tryexec but Exec runs $program"
  grep -qx "/usr/bin/$tryexec" "$work/contents.txt" || fail "/$entry: TryExec=$tryexec is not a program of the package"
done

# The man pages speak Italian, headings included (pandoc writes AUTHORS for
# a title block's author line).
for page in dorvane kkora1 dorvane-convert dorvane-ledger dorvane-web; do
  headings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | sed -n 's/^\.S[HS] *//p' | tr -d '"')
  english=$(grep -xE 'NAME|SYNOPSIS|DESCRIPTION|OPTIONS|EXIT STATUS|RETURN VALUE|ENVIRONMENT|FILES|SEE ALSO|AUTHORS?|BUGS|EXAMPLES?|NOTES|COPYRIGHT|HISTORY|REPORTING BUGS' <<<"$headings" || true)
  [[ -z $english ]] || fail "$page.1 has English headings: $(echo $english)"
  grep -qx 'AUTORI' <<<"$headings" || fail "$page.1 does not name its authors under AUTORI: $(echo $headings)"
done

# The installed wrapper runs /usr/libexec/dorvane: in the scratch root it is
# pointed at the unpacked one.
sed "s|/usr/libexec/dorvane|$root/usr/libexec/dorvane|" "$root/usr/bin/dorvane" > "$work/dorvane"
chmod 755 "$work/dorvane"
bin=$root/usr/bin

tree=$work/tree
mkdir -p "$tree/data" "$tree/config" "$tree/run" "$tree/in" "$tree/out" "$tree/err"
chmod 700 "$tree/run"
export HOME=$tree XDG_DATA_HOME=$tree/data XDG_CONFIG_HOME=$tree/config XDG_RUNTIME_DIR=$tree/run
unset DORVANE_HOME DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

expect() {  # expect PATTERN COMMAND...: the command succeeds and prints PATTERN
  local pattern=$1 text
  shift
  text=$("$@") || fail "$* exited with $?"
  grep -q -- "$pattern" <<<"$text" || fail "$* printed: $text"
}
expect '--headless' "$work/dorvane" --help
expect '^ZTK DORVANE 1\.1\.0\.4$' "$work/dorvane" --version
expect 'usage: kkora1' "$bin/kkora1" --help
expect '[0-9]\.[0-9]' "$bin/kkora1" --version
expect 'fasyvola' "$bin/dorvane-convert" --help
expect 'verify' "$bin/dorvane-ledger" --help

# The wrapper gives the user a program folder of their own.
home=$XDG_DATA_HOME/ZTKDORVANE
[[ -d $home ]] || fail "the wrapper did not create $home"
printf '%s\r\n' 1 '*.001' '  ' "$tree/in" "$tree/out" "$tree/err" .OUT ' 0 ' ' 1 ' .ERR 200 0 ' 0 ' ' ' '  ' \
  ' 0 ' ' 0 ' ' 0 ' > "$home/DORVCONF.txt"
printf '%s\r\n' 'PLUD,C1,N1,P000000150,:PANE,Q2;' 'CASH,V300,:CONTANTI;' > "$tree/in/PANE.001"

"$bin/kkora1" --dump-ms 100 --poll-ms 20 > "$work/kkora1.log" 2>&1 &
k1=$!
trap 'kill $k1 2>/dev/null || true' EXIT
for _ in $(seq 50); do [[ -f $XDG_DATA_HOME/ZTKKORA1/SR_MATR.001 ]] && break; sleep 0.1; done
timeout 60 "$work/dorvane" --exit-when-done > "$work/dorvane.log" 2>&1 || { cat "$work/dorvane.log"; fail "dorvane did not end"; }
kill $k1; wait $k1 || true
trap - EXIT

[[ -f $tree/out/PANE.001.OUT ]] || { cat "$work/dorvane.log" "$work/kkora1.log"; fail "the receipt was not printed"; }
[[ ! -e $tree/in/PANE.001 ]] || fail "the input was not deleted"
grep -q 'AVVIO di ZTK DORVANE' "$XDG_DATA_HOME/ZTKKORA1/DORVLOG.txt" || fail "no event log"
echo "package test: ok"
