#!/usr/bin/env bash
# Start to first painted picture of a 24-megapixel JPEG on an X display (Xvfb, 1920x1080,
# openbox), the quick first view beside the whole-picture first paint (LUMRA_FIRST_VIEW=0);
# median and best of N runs each, interleaved. An optional second executable (a build to
# compare with) is measured the same way.
# Usage: bench/first_paint_x.sh [path/to/LumraEx] [runs] [other/LumraEx]. Needs Xvfb, openbox
# and ImageMagick's convert. LUMRA_X_DISPLAY picks the display number (default 13);
# LUMRA_PAINT_PICTURE names a JPEG to open instead of the noise picture made here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
exe="${1:-$root/build/LumraEx}"
runs="${2:-9}"
other="${3:-}"
disp=":${LUMRA_X_DISPLAY:-13}"
dir="$(mktemp -d /tmp/lumra-paint-XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT

if ! DISPLAY="$disp" xdpyinfo >/dev/null 2>&1; then
  Xvfb "$disp" -screen 0 1920x1080x24 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
  DISPLAY="$disp" openbox >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi
mkdir -p "$dir/cfg/Lumra"
printf '[Awin]\nMouseInfo=0\n' >"$dir/cfg/Lumra/LumraEx.ini"
if [ -n "${LUMRA_PAINT_PICTURE:-}" ]; then
  cp "$LUMRA_PAINT_PICTURE" "$dir/photo.jpg"
else
  convert -size 750x500 xc: +noise Random -resize 6000x4000 -quality 85 "$dir/photo.jpg"
fi

# One run: the "first paint" time in ms.
once() {
  local bin="$1"
  shift
  env "$@" DISPLAY="$disp" XDG_CONFIG_HOME="$dir/cfg" LUMRA_QUIT_AFTER_FIRST_PAINT=1 QT_QPA_PLATFORM=xcb \
    "$bin" "$dir/photo.jpg" 2>&1 | sed -n 's/^first paint: \([0-9.]*\) ms$/\1/p' || true
}

names=("quick first view" "whole picture first")
settings=("LUMRA_FIRST_VIEW=1" "LUMRA_FIRST_VIEW=0")
bins=("$exe" "$exe")
if [ -n "$other" ]; then
  names+=("other: quick first view")
  settings+=("LUMRA_FIRST_VIEW=1")
  bins+=("$other")
fi
for _ in $(seq "$runs"); do
  for i in "${!names[@]}"; do
    once "${bins[$i]}" "${settings[$i]}" >>"$dir/times$i"
  done
done
for i in "${!names[@]}"; do
  sort -n "$dir/times$i" | awk -v name="${names[$i]}" \
    '{v[NR]=$1} END{printf "%-24s median %6.1f ms  best %6.1f ms  worst %6.1f ms  (%d runs)\n", name, v[int((NR+1)/2)], v[1], v[NR], NR}'
done
