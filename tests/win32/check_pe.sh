#!/bin/bash
# Checks one Windows DLL with objdump -p: a 32-bit PE image that exports exactly the
# given names (undecorated, so plain cdecl functions) and imports only system DLLs.
#   check_pe.sh OBJDUMP DLL EXPORT...
set -u
objdump=$1 dll=$2
shift 2
expected=$(printf '%s\n' "$@" | sort)
allowed='^(KERNEL32|msvcrt|USER32|ADVAPI32)\.dll$'

dump=$("$objdump" -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }
status=0

if ! grep -q 'file format pei-i386' <<<"$dump"; then
    echo "FAIL: $dll is not a 32-bit PE image"
    status=1
fi

# The export name table: lines "[   0] Name" after "[Ordinal/Name Pointer] Table".
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
               t && /^[[:space:]]*\[ *[0-9]+\]/ {print $NF; next}
               t && NF == 0 {t = 0}' <<<"$dump" | sort)
echo "exports of $(basename "$dll"): $(echo $exports)"
if [ "$exports" != "$expected" ]; then
    echo "FAIL: expected exports: $(echo $expected)"
    status=1
fi

imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
echo "imports of $(basename "$dll"): $(echo $imports)"
[ -n "$imports" ] || { echo "FAIL: no import table found"; status=1; }
for name in $imports; do
    if ! grep -Eiq "$allowed" <<<"$name"; then
        echo "FAIL: imports $name, which is not a system DLL"
        status=1
    fi
done
exit $status
