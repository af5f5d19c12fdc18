#!/usr/bin/env bash
# Installs what building and testing Stagwerk needs on Debian 12. Safe to run
# again: packages already present are left alone and apt is not touched.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  clang lld libclang-rt-14-dev          # fuzzing and sanitizer builds
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev                     # --dump output
  libsdl2-dev                            # window, GL context, offscreen driver
  libgl-dev libglu1-mesa-dev             # fixed-function GL and GLU
  libgl1-mesa-dri libegl-mesa0           # Mesa's software renderer for tests and stills
  libpng-dev                             # stills and captures
  xvfb xauth                             # tests: a real X window with no display
  xdotool                                # tests: key presses into that window
  debootstrap                            # tests: a fresh Debian 12 to install the package into
  ffmpeg                                 # --capture to video; tests of it
  parallel                               # tests: segments of a capture run by GNU parallel
  libjpeg-turbo-progs                    # cjpeg/djpeg: JPEG test oracle
  libjpeg62-turbo-dev                    # JPEG benchmark baseline only
  libassimp-dev                          # kq7: 3D files to KQ7 meshes and back
  libstb-dev                             # kq7: reading, resizing and writing pictures
  libsdl2-mixer-dev                      # music
  libopenmpt-dev                         # music: tracker modules
  libvorbis-dev                          # make_demo_music: encodes our own track to OGG
  emscripten                             # the web build (em++; no ports are used)
  chromium                               # browser tests, headless
  nodejs                                 # web tests under node; its npm fetches puppeteer-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# Debian's nodejs comes without npm, which the browser tests' set-up runs;
# a nodejs that brings its own (and conflicts with Debian's npm) is left be.
command -v npm >/dev/null || missing+=(npm)

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: every Debian package is installed"
else
  echo "install-deps: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# puppeteer-core for the browser tests, at the version package-lock.json
# pins (24.x needs node 18 or later: Debian 12 has 18); it drives Debian's
# chromium, so no browser is downloaded.
web_tests="$(dirname "$0")/../tests/web"
if ! cmp -s "$web_tests/package-lock.json" "$web_tests/node_modules/.installed-lock.json" 2>/dev/null; then
  (cd "$web_tests" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error &&
    cp package-lock.json node_modules/.installed-lock.json)
fi

# libopenmpt's WebAssembly build for the page's tracker modules: the
# chiptune3 package at the version src/web/package-lock.json pins, whose
# libopenmpt.worklet.js build-web.sh copies (our own worklet drives it).
page="$(dirname "$0")/../src/web"
if ! cmp -s "$page/package-lock.json" "$page/node_modules/.installed-lock.json" 2>/dev/null; then
  (cd "$page" && npm ci --no-audit --no-fund --loglevel=error && cp package-lock.json node_modules/.installed-lock.json)
fi
