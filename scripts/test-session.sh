#!/bin/bash
# Runs inside xvfb-run: warms the Wine session of the build's prefix, runs ctest and always ends
# with `wineserver -k`, so no Wine process outlives the run.
#   scripts/test-session.sh BUILD_DIR [ctest args...]
set -euo pipefail
B=$(cd "$1" && pwd); shift
SRC=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="$B/wineprefix"
EMU=("$SRC/cmake/wine-run.sh" --prefix "$WINEPREFIX")
now() { echo "${EPOCHREALTIME/./}"; }
lap() { local us=$(( $(now) - $2 )); printf '%-26s %4d.%01d s\n' "$1" $((us / 1000000)) $((us / 100000 % 10)); }

cleanup() { WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true; WINEPREFIX="$WINEPREFIX" wineserver -w 2>/dev/null || true; }
trap cleanup EXIT

t=$(now)
"${EMU[@]}" cmd /c exit </dev/null >"$B/wine-session.log" 2>&1
"${EMU[@]}" "$B/bin/wine_keepalive.exe" </dev/null >"$B/wine-keepalive.log" 2>&1 &
for _ in $(seq 300); do grep -q READY "$B/wine-keepalive.log" && break; sleep 0.1; done
grep -q READY "$B/wine-keepalive.log" || { echo "wine_keepalive did not start"; exit 1; }
lap "wine session warm-up" "$t"

t=$(now)
rc=0
ctest --test-dir "$B" -j"$(nproc)" --output-on-failure "$@" || rc=$?
lap "ctest" "$t"
exit $rc
