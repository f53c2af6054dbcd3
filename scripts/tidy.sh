#!/usr/bin/env bash
# Runs clang-tidy (checked-in .clang-tidy) over the library sources of a
# configured build; fails on any finding.
set -euo pipefail
build_dir=${1:-build/debug}
cd "$(dirname "$0")/.."
out=$(run-clang-tidy -p "$build_dir" -quiet "^$PWD/korvala/.*\.cpp" 2>&1) || { echo "$out" | grep -E '(warning|error):' ; exit 1; }
if echo "$out" | grep -qE '(warning|error): '; then
  echo "$out" | grep -E '(warning|error): '
  exit 1
fi
echo "clang-tidy: library clean"
