#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset, clang) and runs each for a bounded
# time on one core, starting from a scratch copy of its seed corpus in
# fuzz/corpus/. Fails on the first finding; the input is kept in build/fuzz/findings/.
# Usage: scripts/fuzz.sh [seconds-per-target]   (default 60)
set -euo pipefail
seconds=${1:-60}
cd "$(dirname "$0")/.."
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2
findings=build/fuzz/findings
mkdir -p "$findings"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp"
for target in engine sndfile; do
  work=$(mktemp -d)
  cp fuzz/corpus/"$target"/* "$work"/
  echo "== fuzz: ${target}_fuzzer for ${seconds} s"
  if ! build/fuzz/fuzz/"${target}"_fuzzer -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 \
      -max_len=20000 -artifact_prefix="$findings/${target}-" -print_final_stats=1 "$work" \
      2>"$work.log"; then
    tail -n 60 "$work.log" >&2
    rm -rf "$work"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$work.log" || true
  rm -rf "$work" "$work.log"
done
