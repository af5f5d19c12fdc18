#!/usr/bin/env bash
# Builds the web version into build-web/: our index.html and page.js, the
# player's stagwerk.js and stagwerk.wasm (em++, in build-wasm/), and the
# bundled demo with a files.txt listing its files for the page to fetch.
# Serve it with scripts/serve-web.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
# emcc's own tools need Debian's node modules (acorn).
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
out=build-web

emcmake cmake -S . -B build-wasm -DCMAKE_BUILD_TYPE=Release -DSTAGWERK_WERROR=ON >/dev/null
cmake --build build-wasm -j "$(nproc)" --target stagwerk_web "$@"

rm -rf "$out"
mkdir -p "$out"
cp src/web/index.html src/web/page.js build-wasm/src/web/stagwerk.js build-wasm/src/web/stagwerk.wasm "$out"/
cp -r demo "$out/demo"
(cd "$out/demo" && find . -type f ! -name files.txt | sed 's|^\./||' | LC_ALL=C sort >files.txt)

size() { du -sb "$1" | cut -f1; }
echo "build-web: stagwerk.wasm $(size "$out/stagwerk.wasm") bytes, stagwerk.js $(size "$out/stagwerk.js") bytes," \
  "demo $(size "$out/demo") bytes in $(wc -l <"$out/demo/files.txt") files"
