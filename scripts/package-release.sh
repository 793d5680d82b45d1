#!/usr/bin/env bash
# Packs ModRoute.dll and modroute.exe of a build folder, stripped, with the
# player's files of release/ into OUT/ModRoute-<version>.zip. The same inputs
# always give the same bytes: fixed file order, times and permissions.
# Usage: package-release.sh <folder with ModRoute.dll and modroute.exe> <out folder>
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BIN="$1"
OUT="$2"
STRIP="${STRIP:-i686-w64-mingw32-strip}"
VERSION="$(sed -n 's/^project(ModRoute VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
# The time of every file in the zip: the last commit's, else a fixed one.
EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || echo 1577836800)}"
# strip stamps a PE file with this time instead of the current one.
export SOURCE_DATE_EPOCH="$EPOCH"

STAGE="$(mktemp -d)"
trap 'rm -rf "$STAGE"' EXIT
"$STRIP" --strip-all -o "$STAGE/ModRoute.dll" "$BIN/ModRoute.dll"
"$STRIP" --strip-all -o "$STAGE/modroute.exe" "$BIN/modroute.exe"
# Players open the text files with Notepad: CRLF line ends.
for file in README-players.txt ModRoute.ini ModRoute-settings.reg; do
    sed -e "s/@VERSION@/$VERSION/" -e 's/\r$//' -e 's/$/\r/' "$ROOT/release/$file" > "$STAGE/$file"
done
chmod 644 "$STAGE"/*
touch -d "@$EPOCH" "$STAGE"/*

mkdir -p "$OUT"
ZIP="$(cd "$OUT" && pwd)/ModRoute-$VERSION.zip"
rm -f "$ZIP"
(cd "$STAGE" && TZ=UTC zip -q -X -D "$ZIP" ModRoute.dll modroute.exe README-players.txt ModRoute.ini ModRoute-settings.reg)
echo "$ZIP"
