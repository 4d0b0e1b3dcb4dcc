#!/usr/bin/env bash
# Whole-process decoding: `lumra decode FILE OUT.ppm` beside the Netpbm tool (djpeg for JPEG)
# on the same 24-megapixel files (GIF 12 MP), with time and peak memory; best of N runs.
# Usage: bench/decode_process.sh [path/to/lumra] [runs]. Needs ImageMagick's convert,
# Netpbm and libjpeg-turbo's tools.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
lumra="${1:-$root/build/lumra}"
runs="${2:-5}"
dir="$(mktemp -d /tmp/lumra-decode-XXXXXX)"
trap 'rm -rf "$dir"' EXIT

convert -size 6000x4000 gradient:navy-orange -attenuate 0.4 +noise Gaussian -depth 8 "$dir/src.ppm"
pnmtotiff -none "$dir/src.ppm" >"$dir/photo.tif" 2>/dev/null
pnmtopng "$dir/src.ppm" >"$dir/photo.png"
cjpeg -quality 90 "$dir/src.ppm" >"$dir/photo.jpg"
convert "$dir/src.ppm" -resize 4000x3000! +dither -colors 256 "$dir/photo.gif"

# Best wall time (s), its CPU time (s) and the largest peak resident size (MiB) over the runs.
measure() {
  local best="" cpu="" peak=0 line e u s m
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$dir/time" -f "%e %U %S %M" "$@" >/dev/null 2>&1
    line=$(tail -1 "$dir/time")
    read -r e u s m <<<"$line"
    if [ -z "$best" ] || awk "BEGIN{exit !($e < $best)}"; then best=$e; cpu=$(awk "BEGIN{print $u+$s}"); fi
    [ "$m" -gt "$peak" ] && peak=$m
  done
  echo "$best $cpu $((peak / 1024))"
}

printf '%-5s %-12s %8s %8s %9s\n' file tool wall_s cpu_s peak_MiB
for pair in "tif tifftopnm" "png pngtopnm" "gif giftopnm" "jpg djpeg"; do
  set -- $pair
  ext=$1 tool=$2
  read -r lw lc lm <<<"$(measure "$lumra" decode "$dir/photo.$ext" "$dir/out.ppm")"
  read -r rw rc rm <<<"$(measure sh -c "$tool \"\$0\" >\"\$1\"" "$dir/photo.$ext" "$dir/ref.ppm")"
  printf '%-5s %-12s %8s %8s %9s\n' "$ext" lumra "$lw" "$lc" "$lm"
  printf '%-5s %-12s %8s %8s %9s\n' "$ext" "$tool" "$rw" "$rc" "$rm"
  printf 'ratio %-4s lumra/%s = %.3f (cpu %.3f)\n' "$ext" "$tool" \
    "$(awk "BEGIN{print $lw/$rw}")" "$(awk "BEGIN{print $lc/$rc}")"
done
