#!/usr/bin/env bash
# Fuzzing stage: builds the libFuzzer targets with clang (plugins instrumented too, with
# AddressSanitizer and UndefinedBehaviorSanitizer) and runs each for a bounded time,
# starting from the seed corpora in fuzz/corpus/. Any crash, sanitizer report, leak,
# timeout or out-of-memory fails the stage; the input that caused it is kept under
# build-fuzz/artifacts/ and can be replayed with `build-fuzz/fuzz/<target> <file>`.
#
#   FUZZ_SECONDS   time per target (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
. .ci/packages.sh
ensure_packages clang-14 libclang-rt-14-dev libpng-dev cmake make
cc=$(command -v clang-14 || command -v clang)
cxx=$(command -v clang++-14 || command -v clang++)

build=build-fuzz
# A cache made with another compiler would be reset by CMake, options and all.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "^CMAKE_CXX_COMPILER:[A-Z]*=$cxx\$" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
  -DPELLIX_FUZZ=ON -DPELLIX_SANITIZE=ON -DPELLIX_WERROR=ON \
  -DPELLIX_BUILD_TESTS=OFF -DPELLIX_BUILD_BENCH=OFF -DPELLIX_BUILD_HOST=OFF >/dev/null
# The INI and PNG targets exist once the adapter and the host sources do.
available=$(cmake --build "$build" --target help)
targets=()
for t in plugin_fuzzer ini_fuzzer png_fuzzer; do
  if grep -qw "$t" <<<"$available"; then targets+=("$t"); fi
done
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

artifacts="$build/artifacts"
mkdir -p "$artifacts"
failed=()
for t in "${targets[@]}"; do
  name="${t%_fuzzer}"
  work=$(mktemp -d)
  echo "-- $t: ${seconds}s from fuzz/corpus/$name"
  set +e
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    timeout $((seconds * 3 + 120)) "$build/fuzz/$t" "$work" "fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$t-" >"$artifacts/$t.log" 2>&1
  rc=$?
  set -e
  grep -E "stat::number_of_executed_units" "$artifacts/$t.log" || true
  if [ $rc -ne 0 ]; then
    echo "!! $t failed (exit $rc):"
    grep -E "ERROR|SUMMARY|fuzzer:|runtime error|Test unit written" "$artifacts/$t.log" | head -20 || true
    tail -40 "$artifacts/$t.log"
    failed+=("$t")
  fi
  rm -rf "$work"
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
