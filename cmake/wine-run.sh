#!/bin/sh
# Runs one Windows program under Wine in a private 32-bit prefix, created on first use
# in a temporary folder and shared by the programs of one test run.
#   wine-run.sh PROGRAM.exe ARGS...   run it; its exit status is passed through
#   wine-run.sh --init                only create the prefix
#   PELLIX_WINEPREFIX  the prefix to use (default: <tmp>/pellix-wine-<uid>)
set -e
prefix=${PELLIX_WINEPREFIX:-${TMPDIR:-/tmp}/pellix-wine-$(id -u)}
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.pellix-ready" ]; then
    # Several tests may start at once: one of them initialises, the others wait.
    mkdir -p "$(dirname "$prefix")"
    if mkdir "$prefix.lock" 2>/dev/null; then
        trap 'rmdir "$prefix.lock" 2>/dev/null || true' EXIT
        rm -rf "$prefix"
        wineboot --init >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.pellix-ready"
        rmdir "$prefix.lock"
        trap - EXIT
    else
        while [ ! -f "$prefix/.pellix-ready" ]; do
            [ -d "$prefix.lock" ] || { echo "wine-run.sh: prefix setup failed" >&2; exit 1; }
            sleep 1
        done
    fi
fi
[ "${1:-}" = "--init" ] && exit 0
exec wine "$@"
