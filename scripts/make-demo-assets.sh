#!/usr/bin/env bash
# Regenerates the bundled demo (demo/) from code: meshes, pictures, scenes
# and script from tools/demo_assets (JPEG textures through cjpeg), the
# music from tools/music (make_demo_music), and the configuration.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc)" --target make_demo_assets make_demo_music >/dev/null
data=demo/data
rm -rf "$data"
build/tools/demo_assets/make_demo_assets "$data"
for picture in "$data"/textures/*.ppm "$data"/textures/*.pgm; do
  jpeg=${picture%.*}.jpg
  case "$picture" in
    *PleaseWaitLoading*) cjpeg -quality 85 -progressive "$picture" >"$jpeg" ;;
    *) cjpeg -quality 90 -optimize "$picture" >"$jpeg" ;;
  esac
  rm "$picture"
done
build/tools/music/make_demo_music demo/theme.ogg
echo "window 800 600 32 4 3 theme.ogg data textures scenes demo" >demo/defaultdemoconfig.txt
ls -l demo "$data"/Objects "$data"/textures "$data"/scenes
