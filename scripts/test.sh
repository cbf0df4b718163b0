#!/bin/bash
# Installs what is missing, builds, and runs the whole test suite under Wine and Xvfb.
set -euo pipefail
SRC=$(cd "$(dirname "$0")/.." && pwd)
B=${BUILD_DIR:-$SRC/build}
"$SRC/scripts/setup.sh"
"$SRC/scripts/build.sh"
xvfb-run -a -s "-screen 0 1280x1024x24" "$SRC/scripts/test-session.sh" "$B" "$@"
