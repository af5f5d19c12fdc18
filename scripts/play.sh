#!/usr/bin/env bash
# Builds Stagwerk and plays the bundled demo. Extra arguments go to the player.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAGWERK_TESTS=OFF -DSTAGWERK_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)" --target stagwerk
cd demo
# With no display the player says so and shows how to record the demo instead.
exec ../build/stagwerk "$@"
