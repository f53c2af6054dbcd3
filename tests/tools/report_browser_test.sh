#!/usr/bin/env bash
# End-to-end check of `korvala report` in a real browser:
#   report_browser_test.sh KORVALA WORKDIR ARTIFACT_DIR
# Generates a signal with "korvala demo", writes its report and its analyze
# CSV, then runs report_browser_test.mjs in headless Chromium. Installs the
# browser group through scripts/install-deps.sh --with-browser when Chromium,
# Node.js or the npm packages are missing (set KORVALA_NO_INSTALL=1 to forbid);
# exits 77 (skipped) only when they still cannot be had.
set -uo pipefail
K="$1"
WORK="$2"
ARTIFACTS="$3"
source "$(dirname "$0")/browser_env.sh" report_browser_test

rm -rf "$WORK" && mkdir -p "$WORK" && cd "$WORK" || exit 1
export LC_ALL=C
"$K" demo --out signal.wav --seconds 30 || { echo "FAIL: korvala demo"; exit 1; }
if ! "$K" report signal.wav --out report.html 2>report.err; then
    cat report.err
    if grep -q "plotting library (uPlot) was missing when this program was built" report.err; then
        echo "SKIPPED: this build has no report page: run bash scripts/setup-web.sh," \
             "then configure and build again (cmake --preset release)"
        exit 77
    fi
    echo "FAIL: korvala report"
    exit 1
fi
# The page carries the audio unless told not to or over the cap.
grep -q '"mime":"audio/ogg"' report.html || { echo "FAIL: no audio in the report"; exit 1; }
"$K" report signal.wav --out silent.html --no-audio -q && ! grep -q '"mime":"audio/ogg"' silent.html ||
    { echo "FAIL: --no-audio"; exit 1; }
"$K" report signal.wav --out capped.html --audio-cap 0.01 2>capped.err && ! grep -q '"mime":"audio/ogg"' capped.html &&
    grep -q "no audio in the report: .*cap of" capped.err || { echo "FAIL: --audio-cap: $(cat capped.err)"; exit 1; }
"$K" analyze signal.wav --out signal.csv --summary json 2>summary.json ||
    { echo "FAIL: korvala analyze"; exit 1; }
echo "report: $(wc -c <report.html) bytes"
exec node "$ROOT/tests/tools/report_browser_test.mjs" report.html signal.csv summary.json \
    "$ARTIFACTS" "$WEB"
