#!/usr/bin/env bash
# Builds the Debian package from a Linux build tree:
#   scripts/package-deb.sh BUILD_DIR [OUT_DIR]
# The programs and the manual must be built (the manual target is part of
# "all" when pandoc and weasyprint are installed). Prints the package's path.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
out=${2:-$build/package}
version=$(sed -n 's/^project(dorvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
manual=$build/docs/ManDorvane.pdf
for f in "$build/src/dorvane" "$build/tools/kkora1/kkora1" "$build/tools/dorvane-convert/dorvane-convert" \
  "$build/tools/dorvane-ledger/dorvane-ledger" "$build/tools/dorvane-web/dorvane-web" "$manual"; do
  [[ -f $f ]] || { echo "package-deb: $f is not built" >&2; exit 1; }
done

root=$out/root
rm -rf "$root"
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/libexec" "$root/usr/share/man/man1" \
  "$root/usr/share/doc/dorvane" "$root/usr/share/applications" "$root/usr/share/icons/hicolor/scalable/apps" \
  "$root/etc/xdg/autostart" "$root/usr/lib/systemd/user"

# The real dorvane lives in /usr/libexec: /usr/bin/dorvane gives it a
# writable program folder. The manual is found in ../share/doc/dorvane.
install -m 755 -s "$build/src/dorvane" "$root/usr/libexec/dorvane"
install -m 755 "$top/packaging/linux/dorvane.sh" "$root/usr/bin/dorvane"
install -m 755 -s "$build/tools/kkora1/kkora1" "$build/tools/dorvane-convert/dorvane-convert" \
  "$build/tools/dorvane-ledger/dorvane-ledger" "$build/tools/dorvane-web/dorvane-web" "$root/usr/bin/"
strip --remove-section=.comment --remove-section=.note "$root/usr/libexec/dorvane" "$root/usr/bin/kkora1" \
  "$root/usr/bin/dorvane-convert" "$root/usr/bin/dorvane-ledger" "$root/usr/bin/dorvane-web"

for page in dorvane kkora1 dorvane-convert dorvane-ledger dorvane-web; do
  pandoc -s -f markdown -t man "$top/docs/man/$page.1.md" | gzip -9n > "$root/usr/share/man/man1/$page.1.gz"
done
doc=$root/usr/share/doc/dorvane
install -m 644 "$manual" "$doc/ManDorvane.pdf"
install -m 644 "$top/README.md" "$doc/README.md"
install -m 644 "$top/packaging/linux/copyright" "$doc/copyright"
{
  echo "dorvane ($version) stable; urgency=medium"
  echo
  echo "  * Release $version."
  echo
  echo " -- ZTK Engineering <assistenza@ztk-engineering.it>  $(date -R -d @"${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct 2>/dev/null || date +%s)}")"
} | gzip -9n > "$doc/changelog.gz"
install -m 644 "$top/packaging/linux/dorvane.desktop" "$root/usr/share/applications/dorvane.desktop"
install -m 644 "$top/packaging/dorvane.svg" "$root/usr/share/icons/hicolor/scalable/apps/dorvane.svg"
install -m 644 "$top/packaging/linux/dorvane-autostart.desktop" "$root/etc/xdg/autostart/dorvane.desktop"
install -m 644 "$top/packaging/linux/dorvane.service" "$root/usr/lib/systemd/user/dorvane.service"
echo /etc/xdg/autostart/dorvane.desktop > "$root/DEBIAN/conffiles"

# Library dependencies as dpkg-shlibdeps finds them (it wants a debian/control).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debian"
printf 'Source: dorvane\n\nPackage: dorvane\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "$root/usr/libexec/dorvane" "$root/usr/bin/kkora1" \
  "$root/usr/bin/dorvane-convert" "$root/usr/bin/dorvane-ledger" "$root/usr/bin/dorvane-web" | sed -n 's/^shlibs:Depends=//p')
size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$top/packaging/linux/control.in" > "$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums)
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums" "$root/DEBIAN/conffiles"
find "$root" -type d -exec chmod 755 {} +

deb=$out/dorvane_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
rm -rf "$root"
echo "$deb"
