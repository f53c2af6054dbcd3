# Sourced by the browser tests: finds Chromium, Node.js and the npm packages,
# installs the browser group through scripts/install-deps.sh --with-browser
# when one is missing (KORVALA_NO_INSTALL=1 forbids it), and exits 77
# (skipped) when they still cannot be had.
#   source browser_env.sh TEST_NAME   → sets ROOT, WEB and CHROMIUM
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WEB="$ROOT/tools/korvala/report"
CHROMIUM="${KORVALA_CHROMIUM:-/usr/bin/chromium}"

# The npm packages count as present when npm last installed them after the
# lock file changed (the check scripts/setup-web.sh makes).
have_browser() {
    local stamp="$WEB/node_modules/.package-lock.json"
    [[ -x "$CHROMIUM" ]] && command -v node >/dev/null 2>&1 &&
        [[ -f "$WEB/node_modules/playwright-core/package.json" && -f "$stamp" && ! "$WEB/package-lock.json" -nt "$stamp" ]]
}
if ! have_browser && [[ "${KORVALA_NO_INSTALL:-0}" != 1 ]]; then
    echo "$1: installing the browser group (scripts/install-deps.sh --with-browser)"
    bash "$ROOT/scripts/install-deps.sh" --with-browser >&2 || true
fi
if ! have_browser; then
    echo "SKIPPED: no browser: need $CHROMIUM, node and $WEB/node_modules" \
         "(bash scripts/install-deps.sh --with-browser could not provide them)"
    exit 77
fi
