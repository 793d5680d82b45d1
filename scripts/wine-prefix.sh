#!/usr/bin/env bash
# Creates the build tree's own Wine prefix once: headless, code page 936.
# Usage: wine-prefix.sh BUILD_DIR
set -euo pipefail
BUILD_DIR="$(cd "$1" && pwd)"
source "$(dirname "$0")/wine-env.sh"
if [ -f "$WINEPREFIX/.modroute-ready" ]; then
    exit 0
fi
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
# No display here: the null graphics driver lets GDI work without one.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
wineserver -w
touch "$WINEPREFIX/.modroute-ready"
