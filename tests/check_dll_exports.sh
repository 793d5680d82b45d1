#!/usr/bin/env bash
# Checks the DLL's export names: plain, undecorated, and every name the
# product has built so far. Names of features still to come may be absent.
set -euo pipefail
objdump="$1"; dll="$2"
exports="$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}')"
echo "exports:"; echo "$exports"

# Entry points: always present.
required=(AVIFileInit InitializeTavrenModSystem ResolvePath ShouldRedirect)
# File access and heap statistics: present once the exported file functions are built.
later=(ReadModFile GetModFileSize ModFileExists FreeFileBuffer
       GetReadModFileUsage GetModSystemVersion GetVFSMemoryStats ClearVFSMemory
       DumpVFSMemoryInfo ValidateVFSMemory)

bad=0
for name in "${required[@]}"; do
    grep -qx "$name" <<< "$exports" || { echo "missing export: $name" >&2; bad=1; }
done
for name in "${later[@]}"; do
    grep -qx "$name" <<< "$exports" || echo "not built yet (expected with the exported file functions): $name"
done
while read -r name; do
    [ -z "$name" ] && continue
    if [[ "$name" == *@* || "$name" == _* ]]; then echo "decorated export: $name" >&2; bad=1; fi
    known=0
    for k in "${required[@]}" "${later[@]}"; do [ "$k" == "$name" ] && known=1; done
    [ $known -eq 1 ] || { echo "unexpected export: $name" >&2; bad=1; }
done <<< "$exports"
exit $bad
