#!/bin/bash
# Checks that the SSE2 code of one plugin stays in its SSE2 objects, so the DLL runs on
# a CPU without SSE2 as long as the run-time check keeps it on the plain path:
#  - no plain object (compiled for plain i686) holds an SSE or MMX instruction;
#  - no function is defined both in an SSE2 object and in a plain object: an inline
#    function emitted in both would be merged by the linker, and the copy it keeps may
#    be the one compiled with -msse2, reached from the plain path;
#  - a plain object calls into an SSE2 object only through functions named *_sse2*.
#   check_sse2_isolation.sh OBJDUMP NM "SSE2 SOURCE NAMES" OBJECT...
set -u
objdump=$1 nm=$2 sse2_names=" $3 "
shift 3
plain=() sse2=()
for obj in "$@"; do
    [ -f "$obj" ] || { echo "FAIL: no object file $obj"; exit 1; }
    base=$(basename "$obj" .obj)
    case "$sse2_names" in *" $base "*) sse2+=("$obj") ;; *) plain+=("$obj") ;; esac
done
status=0
echo "plain objects: ${#plain[@]}, SSE2 objects: ${#sse2[@]}"
[ ${#plain[@]} -gt 0 ] || { echo "FAIL: no plain objects given"; exit 1; }

for obj in "${plain[@]}"; do
    hits=$("$objdump" -d --no-show-raw-insn "$obj" | grep -E '%[xy]?mm[0-9]|\bemms\b' | head -5)
    if [ -n "$hits" ]; then
        echo "FAIL: $(basename "$obj") holds SSE/MMX code:"
        echo "$hits"
        status=1
    fi
done

defined() { "$nm" --defined-only -g "$@" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TWVi]$/ {print $3}' | sort -u; }
undefined() { "$nm" --undefined-only "$@" 2>/dev/null | awk '{print $NF}' | sort -u; }

if [ ${#sse2[@]} -gt 0 ]; then
    sse2_defs=$(defined "${sse2[@]}")
    both=$(comm -12 <(defined "${plain[@]}") <(echo "$sse2_defs"))
    if [ -n "$both" ]; then
        echo "FAIL: defined in both SSE2 and plain objects:"
        echo "$both"
        status=1
    fi
    crossing=$(comm -12 <(undefined "${plain[@]}") <(echo "$sse2_defs"))
    echo "plain code enters SSE2 code through: $(echo $crossing)"
    bad=$(grep -v '_sse2' <<<"$crossing" | grep -v '^$')
    if [ -n "$bad" ]; then
        echo "FAIL: plain objects call SSE2-compiled functions not named *_sse2*:"
        echo "$bad"
        status=1
    fi
fi
exit $status
