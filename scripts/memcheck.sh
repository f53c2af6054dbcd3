#!/usr/bin/env bash
# Runs a short engine workload under Valgrind memcheck: the minimal host (four
# seconds of audio through the whole engine) and the end-to-end engine tests,
# including the hostile-input run. Fails on any memory error or leak.
# Usage: scripts/memcheck.sh [build-dir]   (default build/debug, configured and built)
set -euo pipefail
build_dir=${1:-build/debug}
cd "$(dirname "$0")/.."
vg=(valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect)
echo "== memcheck: minimal_host"
"${vg[@]}" "$build_dir/examples/minimal_host" >/dev/null
echo "== memcheck: engine tests"
"${vg[@]}" "$build_dir/tests/test_engine" --gtest_brief=1
echo "memcheck: clean"
