#!/usr/bin/env bash
# The Windows installer (NSIS) and the portable zip.
#   scripts/package-windows.sh                      installs what it needs, builds
#                                                   with the windows preset, packages
#   scripts/package-windows.sh BUILD_DIR OUT_DIR    packages an existing build
# Prints the paths of the installer and the zip.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [[ $# -eq 0 ]]; then
  cd "$top"
  scripts/deps.sh build windows package-windows >&2
  cmake --preset windows >/dev/null
  cmake --build build/windows -j "${JOBS:-2}" --target dorvane kkora1 dorvane-convert dorvane-ledger dorvane-web manual >&2
  set -- "$top/build/windows" "$top/build/windows/package"
fi
build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)  # makensis works in the script's folder
version=$(sed -n 's/^project(dorvane VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")

stage=$out/dorvane-$version-win64
rm -rf "$stage"
mkdir -p "$stage"
for f in src/dorvane.exe tools/kkora1/kkora1.exe tools/dorvane-convert/dorvane-convert.exe \
  tools/dorvane-ledger/dorvane-ledger.exe tools/dorvane-web/dorvane-web.exe docs/ManDorvane.pdf; do
  [[ -f $build/$f ]] || { echo "package-windows: $build/$f is not built" >&2; exit 1; }
  cp "$build/$f" "$stage/"
done
x86_64-w64-mingw32-strip "$stage"/*.exe
# Notepad's text: Windows-1252 with CR LF.
sed "s/@VERSION@/$version/g; s/\$/\r/" "$top/packaging/windows/LEGGIMI.txt" | iconv -f UTF-8 -t WINDOWS-1252 > "$stage/LEGGIMI.txt"

setup=$out/dorvane-setup-$version.exe
makensis -V2 -DVERSION="$version" -DBINDIR="$stage" -DOUTFILE="$setup" "$top/packaging/windows/dorvane.nsi" >&2
zip=$out/dorvane-$version-win64.zip
rm -f "$zip"
(cd "$out" && zip -qr -X "$zip" "$(basename "$stage")")
echo "$setup"
echo "$zip"
