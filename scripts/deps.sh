#!/usr/bin/env bash
# Installs the Debian packages that are missing. Usage: scripts/deps.sh build|test|bench|fuzz ...
set -euo pipefail

build_pkgs=(cmake ninja-build g++ pkg-config ccache qt6-base-dev libgl-dev libxcb1-dev
            libjpeg62-turbo-dev zlib1g-dev libfreetype-dev libfontconfig-dev
            fonts-ipafont-gothic qt6-translations-l10n)
test_pkgs=(googletest libgtest-dev clang libclang-rt-14-dev imagemagick)
bench_pkgs=(libbenchmark-dev libstb-dev libimagequant-dev)
fuzz_pkgs=(clang libclang-rt-14-dev)
build_pkgs+=(libtiff-dev libwebp-dev libheif-dev libjxl-dev)
test_pkgs+=(libtiff-tools webp libheif-examples libjxl-tools)
# The installation test validates the desktop entry and the AppStream metadata.
test_pkgs+=(desktop-file-utils appstream)
test_pkgs+=(libjpeg-turbo-progs libimage-exiftool-perl)
bench_pkgs+=(libturbojpeg0-dev)
bench_pkgs+=(libgif-dev libtiff-dev)

test_pkgs+=(libgif-dev libtiff-dev libtiff-tools)
test_pkgs+=(libpng-dev pngcheck)
bench_pkgs+=(libpng-dev)
bench_pkgs+=(libjpeg-turbo-progs)
# Netpbm and ImageMagick: the whole-process decoding benchmark's references and its inputs.
bench_pkgs+=(netpbm imagemagick)
# libvips and ImageMagick's library: the references for the filters, resize and rotation.
bench_pkgs+=(libvips-dev libmagickcore-dev)

want=()
for group in "$@"; do
  case "$group" in
    build) want+=("${build_pkgs[@]}") ;;
    test) want+=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
    bench) want+=("${build_pkgs[@]}" "${bench_pkgs[@]}") ;;
    fuzz) want+=("${build_pkgs[@]}" "${fuzz_pkgs[@]}") ;;
    *) echo "deps.sh: unknown group $group" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  # shellcheck disable=SC2207
  missing=($(printf '%s\n' "${missing[@]}" | sort -u))
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
