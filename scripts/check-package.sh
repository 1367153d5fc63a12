#!/usr/bin/env bash
# Checks a Debian package built by scripts/package.sh: the files a desktop program installs are
# in it, its dependencies were read off the binaries, the menu entry and the AppStream metadata
# validate, and lintian reports no errors (warnings are printed, not fatal).
# Usage: scripts/check-package.sh [DEB]   (default: build/lumora_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh package
deb="${1:-$(ls build/lumora_*.deb | head -n 1)}"
fail() { echo "check-package.sh: $*" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in \
  usr/bin/lumora \
  usr/bin/lumora-site \
  usr/share/applications/org.lumora.Lumora.desktop \
  usr/share/icons/hicolor/scalable/apps/org.lumora.Lumora.svg \
  usr/share/icons/hicolor/48x48/apps/org.lumora.Lumora.png \
  usr/share/icons/hicolor/256x256/apps/org.lumora.Lumora.png \
  usr/share/metainfo/org.lumora.Lumora.metainfo.xml \
  usr/share/doc/lumora/copyright; do
  grep -qx "\./$path" <<<"$contents" || fail "$deb lacks /$path"
done
echo "package: every installed file is there"

# dpkg-shlibdeps found the libraries the binaries link; Qt's Chinese texts are named by hand.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6webenginewidgets6 libqt6widgets6 libc6 qt6-translations-l10n; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
echo "package: Depends: $depends"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
desktop-file-validate "$unpacked/usr/share/applications/org.lumora.Lumora.desktop"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/org.lumora.Lumora.metainfo.xml"
echo "package: desktop entry and AppStream metadata valid"

# lintian exits non-zero on errors only; warnings and notes are shown.
lintian --info --fail-on error "$deb" 2>&1 || fail "lintian found errors"
echo "package: lintian found no errors"
