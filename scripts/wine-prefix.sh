#!/usr/bin/env bash
# Creates the build tree's own Wine prefix once: headless, code page 936, with
# the fonts of fonts-wine installed. Usage: wine-prefix.sh BUILD_DIR
set -euo pipefail
BUILD_DIR="$(cd "$1" && pwd)"
source "$(dirname "$0")/wine-env.sh"

# Wine uses the fonts-wine faces for its own drawing but does not list them to
# programs (EnumFontFamiliesEx finds no Tahoma) unless they are in the
# prefix's Fonts folder. Copied through a temporary name, so a test starting
# meanwhile never sees half a file; also brings older prefixes up to date.
install_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    for font in /usr/share/wine/fonts/*.ttf; do
        [ -f "$font" ] || continue
        local target="$fonts/$(basename "$font")"
        if [ ! -f "$target" ]; then
            cp "$font" "$target.$$.tmp" && mv -f "$target.$$.tmp" "$target"
        fi
    done
}

if [ -f "$WINEPREFIX/.modroute-ready" ]; then
    install_fonts
    exit 0
fi
rm -rf "$WINEPREFIX"
wineboot -i </dev/null >/dev/null 2>&1
# No display here: the null graphics driver lets GDI work without one.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
wineserver -w
install_fonts
touch "$WINEPREFIX/.modroute-ready"
