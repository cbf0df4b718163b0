#!/bin/bash
# The main job: installs what is missing, builds, installs the data source into the build's Wine
# prefix and runs the command-line TWAIN application through Wine's TWAIN manager.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
B=${BUILD_DIR:-$SRC/build}
"$SRC/scripts/setup.sh"
"$SRC/scripts/build.sh" >"${TMPDIR:-/tmp}/twjex-build.log" 2>&1 || { cat "${TMPDIR:-/tmp}/twjex-build.log"; exit 1; }
export WINEPREFIX="$B/wineprefix"
"$SRC/scripts/install-source.sh" "$B/bin" "$WINEPREFIX" >/dev/null
OUT="$B/demo"
mkdir -p "$OUT"
rc=0
(cd "$B/bin" && xvfb-run -a "$SRC/cmake/wine-run.sh" --prefix "$WINEPREFIX" twacq.exe --list "$@" \
    </dev/null >"$OUT/twacq.out" 2>"$OUT/twacq.err") || rc=$?
cat "$OUT/twacq.out"
[ $rc -eq 0 ] || cat "$OUT/twacq.err" >&2
wineserver -k 2>/dev/null || true
exit $rc
