#!/usr/bin/env bash
# Fetches the report's npm packages (uPlot, playwright-core) exactly as locked in
# tools/korvala/report/package-lock.json. Skips the download when node_modules
# already matches the lock file. Needs node and npm (install-deps.sh --with-browser).
set -euo pipefail
dir="$(cd "$(dirname "$0")/../tools/korvala/report" && pwd)"
if ! command -v npm >/dev/null 2>&1; then
  echo "setup-web: npm not found; run: bash scripts/install-deps.sh --with-browser" >&2
  exit 1
fi
stamp="$dir/node_modules/.package-lock.json"
if [[ -f "$stamp" && ! "$dir/package-lock.json" -nt "$stamp" ]]; then
  exit 0
fi
echo "setup-web: npm ci in $dir" >&2
(cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
