#!/usr/bin/env bash
# End-to-end check of the live page (`korvala analyze FILE --serve --realtime`)
# in a real browser:
#   live_page_browser_test.sh KORVALA WORKDIR ARTIFACT_DIR
# Writes a 14-second signal, its reference CSV, serves it on a free loopback
# port and runs live_page_browser_test.mjs in headless Chromium against it.
# Skips (77) only when Chromium, Node.js or playwright-core cannot be had.
set -uo pipefail
K="$1"
WORK="$2"
ARTIFACTS="$3"
source "$(dirname "$0")/browser_env.sh" live_page_browser_test

rm -rf "$WORK" && mkdir -p "$WORK" "$ARTIFACTS" && cd "$WORK" || exit 1
export LC_ALL=C
"$K" demo --out signal.wav --seconds 14 || { echo "FAIL: korvala demo"; exit 1; }
# With the opt-in felt layer, so the page shows its tempo and gate too.
"$K" analyze signal.wav --out signal.csv --quiet --tempo-range 80-160 --gate || { echo "FAIL: korvala analyze"; exit 1; }

"$K" analyze signal.wav --serve 127.0.0.1:0 --realtime --out served.csv --tempo-range 80-160 --gate 2>serve.err &
server=$!
trap 'kill $server 2>/dev/null' EXIT
url=""
for _ in $(seq 50); do
    url=$(grep -o 'http://127\.0\.0\.1:[0-9]*/' serve.err | head -n 1)
    [[ -n "$url" ]] && break
    sleep 0.1
done
[[ -n "$url" ]] || { cat serve.err; echo "FAIL: the server printed no address"; exit 1; }

node "$ROOT/tests/tools/live_page_browser_test.mjs" "$url" signal.csv "$ARTIFACTS" "$WEB"
status=$?
wait $server
served=$?
trap - EXIT
if [[ $served -ne 0 ]]; then
    cat serve.err
    echo "FAIL: korvala analyze --serve exited with $served"
    status=1
fi
exit $status
