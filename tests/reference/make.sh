#!/bin/sh
# Regenerates ConversionReference.txt with Free Pascal (Debian: fp-compiler). Only the program,
# this script and the text file are checked in; the test reads the file and needs no fpc.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! fpc -Mdelphi -O1 -FE"$work" "$here/ConversionReference.pas" >"$work/fpc.log" 2>&1; then
    cat "$work/fpc.log" >&2
    exit 1
fi
"$work/ConversionReference" >"$work/ConversionReference.txt"
mv "$work/ConversionReference.txt" "$here/ConversionReference.txt"
tail -n 12 "$here/ConversionReference.txt"
