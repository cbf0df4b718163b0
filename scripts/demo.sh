#!/bin/bash
# The main job: installs what is missing, builds, installs the data source into the build's Wine
# prefix and scans with the command-line TWAIN application through Wine's TWAIN manager, writing
# the pages as .bmp files into $BUILD_DIR/demo/pages (build/demo/pages by default).
#   demo.sh [twacq options]     without options: every page of the feeder in colour
# JEXKIT_PROFILE, when set, names the virtual scanner's profile (a Unix path is fine).
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
B=${BUILD_DIR:-$SRC/build}
"$SRC/scripts/setup.sh"
"$SRC/scripts/build.sh" >"${TMPDIR:-/tmp}/twjex-build.log" 2>&1 || { cat "${TMPDIR:-/tmp}/twjex-build.log"; exit 1; }
export WINEPREFIX="$B/wineprefix"
"$SRC/scripts/install-source.sh" "$B/bin" "$WINEPREFIX" >/dev/null
OUT="$B/demo"
PAGES="$OUT/pages"
mkdir -p "$PAGES"
rm -f "$PAGES"/*.bmp
# Windows programs see the Unix file system as drive Z:.
winpath() { local p; p=$(realpath -m "$1"); printf 'Z:%s' "${p//\//\\}"; }
if [ -n "${JEXKIT_PROFILE:-}" ] && [ "${JEXKIT_PROFILE#/}" != "$JEXKIT_PROFILE" ]; then
    export JEXKIT_PROFILE="$(winpath "$JEXKIT_PROFILE")"
fi
args=("$@")
[ ${#args[@]} -gt 0 ] || args=(--feeder --pixeltype rgb --bitdepth 24)
rc=0
(cd "$B/bin" && xvfb-run -a -s "-screen 0 1280x1024x24" "$SRC/cmake/wine-run.sh" --prefix "$WINEPREFIX" \
    twacq.exe --out "$(winpath "$PAGES")" "${args[@]}" </dev/null >"$OUT/twacq.out" 2>"$OUT/twacq.err") || rc=$?
cat "$OUT/twacq.out"
[ $rc -eq 0 ] || cat "$OUT/twacq.err" >&2
wineserver -k 2>/dev/null || true
echo "pages in $PAGES:"
ls -l "$PAGES"
exit $rc
