#!/usr/bin/env bash
# Builds the learners' Windows installer with makensis against a staged placeholder folder,
# through CPack with the same template and script as the Windows build (data/windows/), so that
# the installer's script cannot break unseen where no Windows build runs. A makensis warning is
# an error (-WX). CI runs it (.ci/run).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh package

root=$(pwd)
version=$(sed -n 's/^  VERSION \([0-9.]*\)$/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What a deployed folder holds, as stand-ins: the installer only places them.
mkdir -p "$work/project"
cat > "$work/project/CMakeLists.txt" <<END
cmake_minimum_required(VERSION 3.25)
project(Lumora VERSION $version LANGUAGES NONE)
foreach(file lumora.exe QtWebEngineProcess.exe Qt6Core.dll qt.conf resources/icudtl.dat
             translations/qtwebengine_locales/zh-CN.pak plugins/platforms/qwindows.dll)
  file(WRITE "\${CMAKE_BINARY_DIR}/stage/\${file}" "placeholder")
endforeach()
install(DIRECTORY "\${CMAKE_BINARY_DIR}/stage/" DESTINATION .)
include("$root/data/windows/LumoraInstaller.cmake")
include(CPack)
END
cmake -S "$work/project" -B "$work/build" >/dev/null
if ! (cd "$work/build" && cpack -G NSIS >/dev/null); then
  cat "$work"/build/_CPack_Packages/*/NSIS/NSISOutput.log >&2 || true
  echo "check-installer.sh: makensis failed on the installer's script" >&2
  exit 1
fi
installer="$work/build/Lumora-$version-win64.exe"
[ -f "$installer" ] || { echo "check-installer.sh: no $installer" >&2; exit 1; }
echo "installer: Lumora-$version-win64.exe built by makensis -WX ($(stat -c %s "$installer") bytes)"
