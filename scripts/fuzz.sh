#!/usr/bin/env bash
# Builds the libFuzzer targets. Usage:
#   scripts/fuzz.sh            build, then fuzz each target for FUZZ_SECONDS (default 60)
#   scripts/fuzz.sh --smoke    build, then run each target briefly (used by the tests)
#   scripts/fuzz.sh NAME       build, then fuzz only fuzz_NAME
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Let ccache share objects between clones of the project in other folders.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
"$root/scripts/deps.sh" fuzz
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DLUMRA_BUILD_UI=OFF -DLUMRA_BUILD_TESTS=OFF -DLUMRA_BUILD_FUZZ=ON -DLUMRA_SANITIZE=ON >/dev/null
ninja -C "$build" -j"$(nproc)" lumra_fuzz_targets

seconds="${FUZZ_SECONDS:-60}"
only=""
if [ "${1:-}" = "--smoke" ]; then seconds="${FUZZ_SECONDS:-20}"; elif [ -n "${1:-}" ]; then only="fuzz_$1"; fi
status=0
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name="$(basename "$target")"
  if [ -n "$only" ] && [ "$name" != "$only" ]; then continue; fi
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  if [ -d "$root/fuzz/seeds/$name" ]; then seeds+=("$root/fuzz/seeds/$name"); fi
  echo "-- $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
       -print_final_stats=0 "$corpus" "${seeds[@]}" >"$build/$name.log" 2>&1; then
    echo "$name FAILED:"; tail -n 40 "$build/$name.log"; status=1
  else
    echo "$name: $(grep -Eo 'Done [0-9]+ runs.*' "$build/$name.log" | tail -n1 || true)"
  fi
done
exit $status
