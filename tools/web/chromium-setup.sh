# Sourced by browser-test.sh and web-bench.sh (not run): installs Debian's
# Chromium (and Node.js when there is none) and the DevTools client of
# tests/web from npm when missing. Needs ROOT set to the project folder.
EXTRA="chromium"
if ! command -v node >/dev/null 2>&1; then EXTRA="$EXTRA nodejs npm"; fi
VALMOREN_EXTRA_PACKAGES="$EXTRA" sh "$ROOT/tools/install-deps.sh"

if [ ! -f "$ROOT/tests/web/node_modules/puppeteer-core/package.json" ]; then
  # The client only: the browser is Debian's, nothing downloads one.
  (cd "$ROOT/tests/web" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
fi
