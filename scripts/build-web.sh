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
# Tracker modules: our worklet and libopenmpt's WebAssembly build, which
# install-deps.sh brings from npm (chiptune3, at the version src/web pins).
mpt=src/web/node_modules/chiptune3
if [ ! -f "$mpt/libopenmpt.worklet.js" ]; then
  echo "build-web: $mpt/libopenmpt.worklet.js is missing: run scripts/install-deps.sh" >&2
  exit 1
fi
cp src/web/module_worklet.js "$mpt/libopenmpt.worklet.js" "$out"/
# The package's own licence, and libopenmpt's (BSD-3-Clause) as Debian ships it.
cp "$mpt/LICENSE" "$out/libopenmpt.worklet.LICENSE"
if [ -f /usr/share/doc/libopenmpt0/copyright ]; then cp /usr/share/doc/libopenmpt0/copyright "$out/libopenmpt.COPYRIGHT"; fi
cp -r demo "$out/demo"
(cd "$out/demo" && find . -type f ! -name files.txt | sed 's|^\./||' | LC_ALL=C sort >files.txt)

size() { du -sb "$1" | cut -f1; }
echo "build-web: stagwerk.wasm $(size "$out/stagwerk.wasm") bytes, stagwerk.js $(size "$out/stagwerk.js") bytes," \
  "libopenmpt.worklet.js $(size "$out/libopenmpt.worklet.js") bytes," \
  "demo $(size "$out/demo") bytes in $(wc -l <"$out/demo/files.txt") files"
