#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine.
# Safe to run again: every step checks before it changes anything.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
    echo "setup.sh must run as root (it uses apt-get)" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# clang, llvm (the symbolizer) and libclang-rt-14-dev (libFuzzer and the
# sanitizer runtimes) build and run the native fuzz targets; zip packs the
# release and unzip lets its test read it back.
PACKAGES=(g++-mingw-w64-i686-posix wine wine32:i386 fonts-wine googletest cmake locales clang llvm libclang-rt-14-dev zip unzip)

have_all() {
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || return 1
    done
}

if ! have_all; then
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q || echo "apt-get update reported errors; going on with the indexes it has" >&2
    if ! apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"; then
        # When the security suite's i386 index is missing, amd64 and i386 end up
        # on different versions of shared libraries. Pinning the security suite
        # low lets both architectures take the main suite's versions.
        echo "retrying with the security suite pinned low" >&2
        cat > /etc/apt/preferences.d/modroute-security-pin <<'PIN'
Package: *
Pin: release l=Debian-Security
Pin-Priority: 100
PIN
        apt-get update -q || echo "apt-get update reported errors; going on with the indexes it has" >&2
        apt-get install -y -q --no-install-recommends --allow-downgrades "${PACKAGES[@]}"
    fi
fi

# The generated locale gives Wine the ANSI code page 936 (GBK). It lives in a
# private folder so the system's locale configuration stays untouched.
LOCALE_DIR=/opt/modroute-locale
if [ ! -d "$LOCALE_DIR/zh_CN.UTF-8" ]; then
    mkdir -p "$LOCALE_DIR"
    localedef -i zh_CN -f UTF-8 "$LOCALE_DIR/zh_CN.UTF-8" || {
        # localedef exits 1 on harmless warnings; the folder is what matters.
        [ -d "$LOCALE_DIR/zh_CN.UTF-8" ] || exit 1
    }
fi
echo "setup complete"
