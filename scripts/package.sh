#!/usr/bin/env bash
# Builds the Debian package of Lumora (the program, the stand-in site, menu entry, icon,
# AppStream metadata, manual pages) with CPack into build/, and prints its path.
# Its dependencies are read off the binaries by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh package

cmake --preset default >/dev/null

# The Debian changelog's latest entry must be this version.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
changelog_version=$(sed -n '1s/^lumora (\([^)]*\)).*/\1/p' data/changelog)
if [ "$version" != "$changelog_version" ]; then
  echo "package.sh: the latest entry of data/changelog is $changelog_version, the project is" \
       "$version: add an entry for $version" >&2
  exit 1
fi

cmake --build --preset default -j2 --target lumora lumora-site lumora_desktop_files
rm -f build/lumora_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/lumora_*.deb
