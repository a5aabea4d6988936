#!/usr/bin/env bash
# Installs the Debian packages a build needs. Usage: scripts/deps.sh [set...]
# Sets: build (default), qt (with Qt's own Italian texts), desktop (an X
# server with a notification area for the tray test, and xdg-open for the
# manual's opener test), browser (chromium, its driver and selenium for the
# HTTP door's browser test), spreadsheet (LibreOffice Calc for the ledger
# export's import test), windows, screenshots, fuzz, bench, manual, package,
# package-windows.
set -euo pipefail

packages=(cmake ninja-build g++ make libgtest-dev libgmock-dev googletest libboost-dev nlohmann-json3-dev)
for set in "${@:-build}"; do
  case "$set" in
    build) ;;
    qt) packages+=(qt6-base-dev qt6-translations-l10n) ;;
    desktop) packages+=(xvfb xauth icewm xdotool xdg-utils) ;;
    # A real browser for the HTTP door's pages, driven headless.
    browser) packages+=(chromium chromium-driver python3-selenium fonts-dejavu-core) ;;
    # A real spreadsheet reads the ledger's CSV export back.
    spreadsheet) packages+=(libreoffice-calc-nogui python3) ;;
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64 wine) ;;
    screenshots) packages+=(qt6-base-dev xvfb xauth icewm xdotool fonts-dejavu-core imagemagick) ;;
    fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
    bench) packages+=(libbenchmark-dev) ;;
    # The user manual: Markdown -> HTML (pandoc) -> PDF (weasyprint); its test
    # reads the PDF back with pdftotext.
    manual) packages+=(pandoc weasyprint poppler-utils fonts-dejavu-core python3) ;;
    package) packages+=(pandoc weasyprint poppler-utils fonts-dejavu-core python3 dpkg-dev lintian desktop-file-utils) ;;
    package-windows) packages+=(pandoc weasyprint poppler-utils fonts-dejavu-core python3 nsis zip) ;;
    *) echo "deps.sh: unknown set '$set'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages. Run as root:" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
