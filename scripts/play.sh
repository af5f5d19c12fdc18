#!/usr/bin/env bash
# Builds Stagwerk and plays the bundled demo. Extra arguments go to the player.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAGWERK_TESTS=OFF -DSTAGWERK_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target stagwerk
cd demo
# Until the OpenGL player lands, the demo is shown by a validation run.
[ $# -gt 0 ] || set -- --check
exec ../build/stagwerk "$@"
