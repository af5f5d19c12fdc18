#!/usr/bin/env bash
# Installs what is missing, builds and runs every test, in five stages and
# in this order:
#   unit  a -Werror build and the unit and end-to-end tests,
#   asan  the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
#   deb   the Debian package: its control fields, file list and copyright, then
#         installed into a fresh Debian 12,
#   web   the web build: the core's tests under node, the page in headless
#         Chromium (stills, playback with music, a loading error), and
#         converted glTF files against three.js in the same browser,
#   fuzz  each libFuzzer harness for a short while (FUZZ_SECONDS, default 30).
#   scripts/test-all.sh [--only unit|asan|deb|web|fuzz]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}
stages=(unit asan deb web fuzz)

only=
case "${1:-}" in
  "") ;;
  --only)
    only=${2:-}
    [[ " ${stages[*]} " == *" $only "* ]] || { echo "test-all: --only takes one of: ${stages[*]}" >&2; exit 2; }
    ;;
  -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "test-all: unknown argument '$1' (try --help)" >&2; exit 2 ;;
esac

scripts/install-deps.sh

step() { echo; echo "=== $* ==="; }

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAGWERK_WERROR=ON >/dev/null
  cmake --build build -j "$jobs"
}

stage_unit() {
  step "build (-Werror)"
  build
  step "unit tests"
  ctest --test-dir build --output-on-failure -j "$jobs"
}

stage_asan() {
  step "unit tests under ASan + UBSan"
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSTAGWERK_SANITIZE=ON -DSTAGWERK_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build-asan -j "$jobs"
  # The tests that load the GL driver run without the leak check (see
  # tests/CMakeLists.txt); nothing is run twice.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
}

stage_deb() {
  step "Debian package"
  build
  scripts/check-deb.sh build
  scripts/check-deb-clean.sh build
}

stage_web() {
  step "web build: core tests under node, the page in headless Chromium"
  scripts/build-web.sh stagwerk_core_tests stagwerk_web_tests
  ctest --test-dir build-wasm --output-on-failure
  # The viewer comparison converts and draws with the desktop build.
  build
  xvfb-run -a node --test tests/web/
}

stage_fuzz() {
  step "fuzz harnesses (${fuzz_seconds}s each)"
  cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAGWERK_FUZZ=ON -DSTAGWERK_TESTS=OFF \
    -DSTAGWERK_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for harness in build-fuzz/fuzz/fuzz_*; do
    name=${harness##*/fuzz_}
    work=$root/build-fuzz/corpus/$name
    mkdir -p "$work"
    seeds=()
    [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
    echo "--- $name"
    log=$root/build-fuzz/$name.log
    if ! "$harness" -max_total_time="$fuzz_seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$root/build-fuzz/$name-" "$work" "${seeds[@]}" >"$log" 2>&1; then
      tail -n 40 "$log"
      echo "fuzz harness $name found a fault"
      exit 1
    fi
    grep -E 'stat::number_of_executed_units|Done [0-9]+ runs' "$log" | tail -n 1 || true
  done
}

for stage in "${stages[@]}"; do
  [ -z "$only" ] || [ "$stage" = "$only" ] || continue
  "stage_$stage"
done
if [ -n "$only" ]; then step "stage $only passed"; else step "all tests passed"; fi
