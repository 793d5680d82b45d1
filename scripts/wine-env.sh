# Sourced by the scripts that run Windows programs: the project's Wine
# environment. Expects BUILD_DIR to name the build tree.
export WINEPREFIX="${WINEPREFIX_OVERRIDE:-$BUILD_DIR/wineprefix}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# The generated zh_CN.UTF-8 locale gives Wine the game's ANSI code page 936.
export LOCPATH=/opt/modroute-locale
export LANG=zh_CN.UTF-8
unset LC_ALL
unset DISPLAY WAYLAND_DISPLAY
# Wine prefers its builtin avifil32 to the game folder's AVIFIL32.dll (which
# is ModRoute.dll) unless told otherwise; on Windows the game folder comes
# first by itself. The same holds for the stand-in d3dx9_43.dll that tests
# put into a game folder. Wine reads this when a process starts, from the Unix
# environment, so it must be set here rather than by a Windows parent.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}avifil32=n,b;d3dx9_43=n,b"
