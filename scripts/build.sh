#!/bin/bash
# Configures and builds into build/ (or $BUILD_DIR). Builds are serialised with a lock so that
# several shells on one machine do not compete for its cores.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
B=${BUILD_DIR:-$SRC/build}
mkdir -p "$B"
exec 9>"/tmp/twjex-build.lock"
flock 9
[ -f "$B/CMakeCache.txt" ] || cmake -S "$SRC" -B "$B" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$B" -j"$(nproc)" "$@"
