#!/bin/bash
# Installs the sample scanner driver files for Yarrel into a Wine prefix's C:\windows\Quilmet
# (the folder where Yarrel looks for "*.zrd" drivers), each with its localisation file, plus
# jextools.loc for the all-scanners entry:
#   install-yarrel-samples.sh BIN_DIR PREFIX
# BIN_DIR is a build's bin/ folder after building the targets Yarrel and yarrel_samples.
# nameless.zrd is left out: it exists for the tests, and would only show as an empty entry.
set -euo pipefail
BIN=$(cd "$1" && pwd)
mkdir -p "$(dirname "$2")"
PREFIX=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
HERE=$(cd "$(dirname "$0")" && pwd)
if [ ! -e "$PREFIX/.prefix-ready" ]; then
    "$HERE/../cmake/wine-run.sh" --prefix "$PREFIX" cmd /c exit </dev/null >/dev/null 2>&1
fi
DEST="$PREFIX/drive_c/windows/Quilmet"
mkdir -p "$DEST"
found=0
for f in "$BIN"/*.zrd; do
    [ -e "$f" ] || continue
    [ "$(basename "$f")" = nameless.zrd ] && continue
    cp -f "$f" "$DEST/"
    loc="${f%.zrd}.loc"
    [ -e "$loc" ] && cp -f "$loc" "$DEST/"
    found=1
done
[ $found = 1 ] || { echo "no *.zrd in $BIN: build the target yarrel_samples first" >&2; exit 1; }
cp -f "$BIN/jextools.loc" "$DEST/"
echo "installed into $DEST:"
ls "$DEST"
