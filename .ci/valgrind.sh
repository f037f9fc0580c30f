#!/usr/bin/env bash
# Valgrind stage: memcheck, failing on any invalid access or definite leak, of
#   - 1000 load/unload cycles of every built plugin and of velmora.so
#     (tests/hardening/load_cycles: dlopen, RenderPluginGetInfo, one frame, dlclose);
#   - the adapter's foreign-host cases (velmora_host_test with every child process,
#     the foreign-host program with velmora.so and its plugins, traced too).
# Built in build-hardening (RelWithDebInfo, so reports carry file and line).
#
#   VALGRIND_CYCLES   cycles per library (default 1000)
set -euo pipefail
cd "$(dirname "$0")/.."

cycles="${VALGRIND_CYCLES:-1000}"
. .ci/packages.sh
ensure_packages valgrind cmake g++ make libgtest-dev

build=build-hardening
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELLIX_WERROR=ON \
  -DPELLIX_BUILD_BENCH=OFF -DPELLIX_BUILD_HOST=OFF >/dev/null
available=$(cmake --build "$build" --target help)
targets=(load_cycles)
if grep -qw velmora_host_test <<<"$available"; then targets+=(velmora_host_test); fi
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}" >/dev/null

memcheck=(valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite
          --show-leak-kinds=definite --suppressions="$PWD/tests/hardening/valgrind.supp")

echo "-- load/unload cycles ($cycles each)"
"${memcheck[@]}" "$build/tests/hardening/load_cycles" "$cycles"

if [[ " ${targets[*]} " == *" velmora_host_test "* ]]; then
  echo "-- adapter foreign-host cases, children traced"
  # A case that makes the host's operator new fail cannot run under valgrind, which
  # puts its own allocator in place.
  "${memcheck[@]}" --trace-children=yes "$build/tests/adapter/velmora_host_test" \
    --gtest_brief=1 --gtest_filter='-*CannotBeCreated*'
fi
echo "valgrind: no invalid access, no definite leak"
