#!/usr/bin/env bash
# Builds Lumora, starts the stand-in training site on loopback and opens the program on it.
# Log in with user "demo", password "demo123". Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j2 --target lumora lumora-site

port="${LUMORA_SITE_PORT:-18080}"
build/lumora-site --port "$port" &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null || true' EXIT
echo "Stand-in site: http://127.0.0.1:$port/  (what it records: http://127.0.0.1:$port/_site/)"

[ "$(id -u)" -eq 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
state_args=()
[ -n "${LUMORA_STATE_FILE:-}" ] && state_args=(--state-file "$LUMORA_STATE_FILE")

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running on a virtual X display (xvfb-run)."
  xvfb-run -a -s "-screen 0 1600x1000x24" build/lumora --site "http://127.0.0.1:$port" "${state_args[@]}" "$@"
else
  build/lumora --site "http://127.0.0.1:$port" "${state_args[@]}" "$@"
fi
