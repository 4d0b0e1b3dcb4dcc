#!/usr/bin/env bash
# Builds and runs the benchmarks. Extra arguments go to each benchmark program
# (e.g. --benchmark_filter=Bmp).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Let ccache share objects between clones of the project in other folders.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
"$root/scripts/deps.sh" bench
build="$root/build-bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMRA_BUILD_UI=ON -DLUMRA_BUILD_PLUGINS=OFF -DLUMRA_BUILD_TESTS=OFF -DLUMRA_BUILD_BENCH=ON >/dev/null
# LumraEx too: the start-up benchmark runs it; lumra for the whole-process decoding one.
ninja -C "$build" -j"$(nproc)" lumra_benchmarks LumraEx lumra
for b in "$build"/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
# Whole-process decoding beside the Netpbm tools and djpeg, when they are installed.
if command -v tifftopnm >/dev/null && command -v djpeg >/dev/null && command -v convert >/dev/null; then
  echo "== decode_process.sh"
  "$root/bench/decode_process.sh" "$build/lumra"
fi
