#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  1. the release build with warnings as errors: engine, command-line and UI tests;
#  2. a clang build with AddressSanitizer and UndefinedBehaviorSanitizer: engine tests;
#  3. the fuzz targets, each run briefly.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Let ccache share objects between clones of the project in other folders.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
"$root/scripts/deps.sh" test
jobs="$(nproc)"

echo "== release build and tests"
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMRA_WERROR=ON >/dev/null
ninja -C "$root/build" -j"$jobs"
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest -j"$jobs" --output-on-failure --timeout 600)

echo "== sanitizer build and engine tests"
cmake -S "$root" -B "$root/build-san" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMRA_BUILD_UI=OFF -DLUMRA_SANITIZE=ON -DLUMRA_WERROR=ON >/dev/null
ninja -C "$root/build-san" -j"$jobs" lumra_tests lumra
(cd "$root/build-san" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$root/tests/lsan_suppressions.txt" \
  ctest -j"$jobs" --output-on-failure --timeout 900)

echo "== fuzz targets (smoke run)"
FUZZ_SECONDS="${FUZZ_SECONDS:-20}" "$root/scripts/fuzz.sh" --smoke
