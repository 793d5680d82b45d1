#!/usr/bin/env bash
# The main job: builds the DLL and the stand-in game, then plays the sample
# game folder under Wine and shows what was served from where.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD_DIR="$ROOT/build"
if [ "$(id -u)" -eq 0 ]; then "$ROOT/scripts/setup.sh"; else sudo "$ROOT/scripts/setup.sh"; fi
cd "$ROOT"
cmake --preset wine >/dev/null
cmake --build --preset wine --target play_demo
"$ROOT/scripts/wine-run.sh" "$BUILD_DIR/bin/play_demo.exe"
