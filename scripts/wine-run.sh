#!/usr/bin/env bash
# Runs one Windows program under the project's Wine environment. CTest uses it
# as the cross-compiling emulator: wine-run.sh PROGRAM.exe ARGS...
set -euo pipefail
program="$1"
if [ -z "${BUILD_DIR:-}" ]; then
    # The build tree is the nearest folder above the program with a CMakeCache.txt.
    dir="$(cd "$(dirname "$program")" && pwd)"
    while [ "$dir" != "/" ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
    BUILD_DIR="$dir"
fi
source "$(dirname "$0")/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$BUILD_DIR"
exec wine "$@"
