#!/usr/bin/env bash
# Runs every libFuzzer target in turn under ASan and UBSan.
# FUZZ_SECONDS sets the time per target (default 600).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh build fuzz
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j 2
seconds=${FUZZ_SECONDS:-600}
for exe in build/fuzz/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name=$(basename "$exe")
  case "$name" in *_replay|*_corpus) continue ;; esac
  work="build/fuzz/work/$name"
  mkdir -p "$work"
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  echo "== $name for $seconds s"
  "$exe" "$work" "fuzz/corpus/$name" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1
done
