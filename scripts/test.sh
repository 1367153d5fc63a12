#!/usr/bin/env bash
# Builds Lumora and runs every test (unit and integration) under ctest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default
cmake --build --preset default -j2
# The engine refuses to run as root without this; tests run headless.
export QTWEBENGINE_DISABLE_SANDBOX=1
export QT_QPA_PLATFORM=offscreen
ctest --preset default -j2 "$@"
