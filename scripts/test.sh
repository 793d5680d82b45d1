#!/usr/bin/env bash
# The whole test run: installs what is missing, runs the quick native fuzz
# level, then configures, builds and runs every test under Wine.
# Usage: scripts/test.sh [extra ctest arguments]
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"

if [ "$(id -u)" -eq 0 ]; then
    "$ROOT/scripts/setup.sh"
else
    sudo "$ROOT/scripts/setup.sh"
fi

cd "$ROOT"
# The native fuzz targets first, a few seconds each. A finding fails the run,
# but only after the Windows tests have run as well.
fuzz_status=0
"$ROOT/scripts/fuzz.sh" quick || fuzz_status=$?

cmake --preset wine
cmake --build --preset wine

"$ROOT/scripts/wine-prefix.sh" "$BUILD_DIR"
source "$ROOT/scripts/wine-env.sh"
# Wine's background services inherit the output pipe of whoever starts them
# first; started here with their output detached, ctest never waits on them.
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT

ctest --preset wine "$@"
exit "$fuzz_status"
