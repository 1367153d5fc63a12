#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer) and runs each for LUMORA_FUZZ_SECONDS
# (default 60) from the seeds in fuzz/corpus/. Fails on the first crash, leak or broken
# invariant; the input that caused it is kept in build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [TARGET...]   (default: every target, e.g. fuzz_state_file)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh checks
cmake --preset linux-fuzz >/dev/null
cmake --build --preset linux-fuzz -j2

seconds="${LUMORA_FUZZ_SECONDS:-60}"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_state_file fuzz_lesson_minutes fuzz_walk_answer fuzz_study_record)
mkdir -p build-fuzz/artifacts
for target in "${targets[@]}"; do
  seeds="fuzz/corpus/${target#fuzz_}"
  # New inputs go to a scratch folder; the committed seeds stay as they are.
  work="build-fuzz/corpus/${target#fuzz_}"
  mkdir -p "$work"
  echo "== $target: ${seconds} s"
  if ! "build-fuzz/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 \
       -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
       "$work" "$seeds" >"build-fuzz/$target.log" 2>&1; then
    tail -n 60 "build-fuzz/$target.log" >&2
    echo "fuzz.sh: $target failed; input kept in build-fuzz/artifacts/" >&2
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "build-fuzz/$target.log"
done
