#!/usr/bin/env bash
# Runs clazy's default checks (level 1) over every src/ file of a configured and built tree
# (default build/, whose compile_commands.json gives the flags) and fails on any warning.
# Usage: scripts/clazy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build}"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "clazy.sh: $build/compile_commands.json is missing: configure and build first" >&2
  exit 2
fi
scripts/setup-deps.sh checks

# The translation units of src/ (not Qt's generated code in the build tree).
mapfile -t files < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$build/compile_commands.json" |
  grep "^$PWD/src/" | sort -u)
[ ${#files[@]} -gt 0 ] || { echo "clazy.sh: no src/ files in $build" >&2; exit 2; }

log="$build/clazy.log"
# Warnings stay warnings (the build's -Werror would stop at a file's first one).
printf '%s\n' "${files[@]}" |
  xargs -P2 -n4 clazy-standalone -p "$build" --extra-arg=-Wno-error >"$log" 2>&1 || true
if grep -E ': (error|fatal error):' "$log" >/dev/null; then
  cat "$log" >&2
  echo "clazy.sh: clazy could not compile some files (above)" >&2
  exit 2
fi
warnings=$(grep -cE 'warning: .*\[-Wclazy-' "$log" || true)
if [ "$warnings" -ne 0 ]; then
  cat "$log"
  echo "clazy.sh: $warnings clazy warnings in src/" >&2
  exit 1
fi
echo "clazy: ${#files[@]} files of src/, no warnings"
