#!/usr/bin/env bash
# Installs the Debian 12 packages Lumora needs, when any is missing.
# Usage: scripts/setup-deps.sh [package|checks|windows|ci|icons]
#   (none)   build, run and test
#   package  and the Debian package with its checks (scripts/package.sh)
#   checks   and clazy, AddressSanitizer and the fuzz targets (clang's runtimes)
#   windows  and mingw-w64 with Wine, for tst_win32 (scripts/test-win32.sh)
#   ci       all of the above (.ci/run)
#   icons    and the tools that render the icons from the SVG (scripts/render-icons.sh)
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-webengine-dev qt6-webengine-dev-tools
  qt6-tools-dev qt6-l10n-tools   # Qt6LinguistTools for CMake, lupdate and lrelease
  qt6-translations-l10n # Qt's own Chinese texts (standard buttons, menus), read at run time
  libcpp-httplib-dev
  xvfb xauth            # a virtual display for machines without one
  fonts-wqy-microhei    # Chinese text in the window and the pages
  dbus-daemon           # a private message bus for the test of staying awake
  clang-format
)
package_tools=(
  dpkg-dev file         # dpkg-shlibdeps for CPack's dependency list
  lintian desktop-file-utils appstream
  nsis                  # makensis: the Windows installer's script (scripts/check-installer.sh)
)
check_tools=(
  clazy
  clang libclang-rt-14-dev   # libFuzzer and the sanitizer runtimes for clang
)
windows_tools=(
  g++-mingw-w64-x86-64  # the Windows calls built without Qt (tests/win32)
  wine64                # and run here
)
icon_tools=(
  librsvg2-bin          # rsvg-convert: the SVG to PNGs
  icoutils              # icotool: the PNGs into the Windows .ico
)
case "${1:-}" in
  "") ;;
  package) packages+=("${package_tools[@]}") ;;
  checks) packages+=("${check_tools[@]}") ;;
  windows) packages+=("${windows_tools[@]}") ;;
  ci) packages+=("${package_tools[@]}" "${check_tools[@]}" "${windows_tools[@]}") ;;
  icons) packages+=("${icon_tools[@]}") ;;
  *) echo "usage: $0 [package|checks|windows|ci|icons]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
