#!/usr/bin/env bash
# The release package of a build: exactly the player's five files, a DLL and a
# tool without debug sections, and the same bytes when packed twice.
# Usage: check_release_package.sh <objdump> <bin folder> <work folder>
set -euo pipefail
export LC_ALL=C
OBJDUMP="$1"; BIN="$2"; WORK="$3"
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
rm -rf "$WORK"; mkdir -p "$WORK"
first="$(bash "$ROOT/scripts/package-release.sh" "$BIN" "$WORK/one")"
second="$(bash "$ROOT/scripts/package-release.sh" "$BIN" "$WORK/two")"
cmp "$first" "$second" || { echo "packing twice gave different bytes"; exit 1; }

listed="$(unzip -Z1 "$first" | sort | tr '\n' ' ')"
expected="ModRoute-settings.reg ModRoute.dll ModRoute.ini README-players.txt modroute.exe "
[ "$listed" = "$expected" ] || { echo "the zip holds: $listed"; echo "expected:      $expected"; exit 1; }

unzip -q "$first" -d "$WORK/files"
for binary in ModRoute.dll modroute.exe; do
    sections="$("$OBJDUMP" -h "$WORK/files/$binary")"
    if grep -q '\.debug' <<< "$sections"; then
        echo "$binary keeps debug sections"; exit 1
    fi
done
# The exports the game and other code call survive the stripping.
bash "$ROOT/tests/check_dll_exports.sh" "$OBJDUMP" "$WORK/files/ModRoute.dll" >/dev/null
grep -q $'^\\[Settings\\]\r$' "$WORK/files/ModRoute.ini" || { echo "ModRoute.ini lacks [Settings] with CRLF"; exit 1; }
echo "release package ok: $listed"
