#!/bin/bash
# Installs the data source into a Wine prefix (or, given a Windows folder, any Windows system):
#   install-source.sh BIN_DIR PREFIX
# Conventional layout: C:\windows\twain_32\Quilmet\ holds the host module (twjexvs.ds),
# TWJEX32.dll and the driver libraries, where TWAIN 2 managers scan. Wine 8's own TWAIN_32.DLL
# only loads C:\windows\twain_32\sane.ds, so the host goes there too, with its libraries beside it.
set -euo pipefail
BIN=$1
PREFIX=$2
HERE=$(cd "$(dirname "$0")" && pwd)
if [ ! -e "$PREFIX/.prefix-ready" ]; then
    "$HERE/../cmake/wine-run.sh" --prefix "$PREFIX" cmd /c exit </dev/null >/dev/null 2>&1
fi
TW="$PREFIX/drive_c/windows/twain_32"
mkdir -p "$TW/Quilmet"
# The source, its host, and the driver maker's libraries and drivers (here the virtual kit's,
# with its default scanner profile and translation file).
files=(TWJEX32.dll twjexvs.ds jexdfltn.dll jexmdln.dll jexlocn.dll twjex.loc ORVAVS.ini)
for f in "$BIN"/*.drv; do [ -e "$f" ] && files+=("$(basename "$f")"); done
for f in "${files[@]}"; do
    [ -e "$BIN/$f" ] || continue
    cp -f "$BIN/$f" "$TW/Quilmet/"
    cp -f "$BIN/$f" "$TW/"
done
cp -f "$BIN/twjexvs.ds" "$TW/sane.ds"
rm -f "$TW/twjexvs.ds"
echo "installed into $TW"
