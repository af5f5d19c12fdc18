#!/usr/bin/env bash
# Regenerates the binary assets of the bundled demo (demo/data): meshes and
# TGA pictures from tools/make_demo_assets, JPEG textures through cjpeg.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target make_demo_assets >/dev/null
data=demo/data
build/tools/make_demo_assets "$data"
for picture in "$data"/textures/*.ppm "$data"/textures/*.pgm; do
  jpeg=${picture%.*}.jpg
  quality=90
  case "$picture" in *PleaseWaitLoading*) cjpeg -quality 85 -progressive "$picture" >"$jpeg" ;;
    *) cjpeg -quality $quality -optimize "$picture" >"$jpeg" ;; esac
  rm "$picture"
done
ls -l "$data"/Objects "$data"/textures
