#!/usr/bin/env bash
# Fails when the DLL imports anything but Windows system DLLs.
set -euo pipefail
objdump="$1"; dll="$2"
allowed='^(kernel32|user32|gdi32|advapi32|msvcrt|ntdll|psapi|shell32|ole32|ws2_32|version)\.dll$'
imports="$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p')"
echo "imports of $(basename "$dll"):"; echo "$imports"
bad=0
while read -r name; do
    [ -z "$name" ] && continue
    if ! echo "$name" | tr 'A-Z' 'a-z' | grep -Eq "$allowed"; then
        echo "not a Windows system DLL: $name" >&2; bad=1
    fi
done <<< "$imports"
exit $bad
