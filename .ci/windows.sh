#!/usr/bin/env bash
# CI stage: the Windows deliverables. Cross-builds the 32-bit DLLs with mingw-w64 into
# build-win32/dist and runs the Windows test suite under Wine, in a fresh 32-bit prefix
# that is removed afterwards. Any build or test failure fails the stage.
set -euo pipefail
cd "$(dirname "$0")/.."

. .ci/packages.sh
ensure_packages cmake make googletest mingw-w64 wine wine32:i386

jobs=$(nproc)
echo "-- configure and build (i686-w64-mingw32)"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake -DPELLIX_WERROR=ON >/dev/null
cmake --build build-win32 -j"$jobs"

work=$(mktemp -d)
export PELLIX_WINEPREFIX="$work/wine"
cleanup() {
  WINEPREFIX="$PELLIX_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "-- Wine prefix (32-bit) in $PELLIX_WINEPREFIX"
cmake/wine-run.sh --init

echo "-- Windows test suite under Wine"
ctest --test-dir build-win32 --output-on-failure -j"$jobs" --timeout 900
echo "-- Windows deliverables in build-win32/dist:"
(cd build-win32/dist && find . -type f | sort)
