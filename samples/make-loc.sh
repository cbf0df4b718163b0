#!/bin/sh
# Makes a localisation file (UTF-16 little-endian) from a UTF-8 text:
#   make-loc.sh IN.txt OUT.loc [bom|nobom] [crlf|cr]
# Line ends become CR LF (or CR alone); a byte-order mark is written unless "nobom".
set -eu
in=$1 out=$2 bom=${3:-bom} ends=${4:-crlf}
case $ends in
    crlf) convert() { sed 's/$/\r/' "$in"; } ;;
    cr) convert() { tr '\n' '\r' <"$in"; } ;;
    *) echo "make-loc.sh: line ends crlf or cr" >&2; exit 2 ;;
esac
{
    [ "$bom" = nobom ] || printf '\377\376'
    convert | iconv -f UTF-8 -t UTF-16LE
} >"$out.tmp"
mv -f "$out.tmp" "$out"
