#!/usr/bin/env bash
# Checks the DLL's export names: plain, undecorated, every name of the
# library's interface present and nothing else exported.
set -euo pipefail
objdump="$1"; dll="$2"
exports="$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}')"
echo "exports:"; echo "$exports"

required=(AVIFileInit InitializeTavrenModSystem
          ReadModFile GetModFileSize ModFileExists ResolvePath ShouldRedirect FreeFileBuffer
          GetReadModFileUsage GetModSystemVersion GetVFSMemoryStats ClearVFSMemory
          DumpVFSMemoryInfo ValidateVFSMemory)

bad=0
for name in "${required[@]}"; do
    grep -qx "$name" <<< "$exports" || { echo "missing export: $name" >&2; bad=1; }
done
while read -r name; do
    [ -z "$name" ] && continue
    if [[ "$name" == *@* || "$name" == _* ]]; then echo "decorated export: $name" >&2; bad=1; fi
    known=0
    for k in "${required[@]}"; do [ "$k" == "$name" ] && known=1; done
    [ $known -eq 1 ] || { echo "unexpected export: $name" >&2; bad=1; }
done <<< "$exports"
exit $bad
