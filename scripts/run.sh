#!/usr/bin/env bash
# Builds a release build and starts the viewer. Usage: scripts/run.sh [picture]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Let ccache share objects between clones of the project in other folders.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
"$root/scripts/deps.sh" build
build="$root/build-release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMRA_BUILD_TESTS=OFF >/dev/null
ninja -C "$build" LumraEx lumra lumra_sample
if [ $# -ge 1 ]; then
  exec "$build/LumraEx" "$@"
fi
exec "$build/LumraEx" "$build/sample.bmp"
