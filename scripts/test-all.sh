#!/usr/bin/env bash
# Installs what is missing, builds and runs every test:
#   1. a -Werror build and the unit tests,
#   2. the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. the Debian package, its control fields and file list,
#   4. the web build: the core's tests under node, the page in headless
#      Chromium (stills, playback with music, a loading error),
#   5. each libFuzzer harness for a short while (FUZZ_SECONDS, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}

scripts/install-deps.sh

step() { echo; echo "=== $* ==="; }

step "build (-Werror)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSTAGWERK_WERROR=ON >/dev/null
cmake --build build -j "$jobs"

step "unit tests"
ctest --test-dir build --output-on-failure -j "$jobs"

step "Debian package"
scripts/check-deb.sh build
scripts/check-deb-clean.sh build

step "unit tests under ASan + UBSan"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSTAGWERK_SANITIZE=ON -DSTAGWERK_BENCH=OFF \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if ! ctest --test-dir build-asan --output-on-failure -j "$jobs" 2>&1 | tee build-asan/ctest.log; then
  # LeakSanitizer's own tracer now and then crashes while the GL driver's
  # threads wind down at exit. Only when that is all that failed do the
  # failed tests run once more; any real fault fails again.
  failed=$(grep -cE '^[[:space:]]+[0-9]+ - ' build-asan/ctest.log || true)
  crashed=$(grep -c 'LeakSanitizer has encountered a fatal error' build-asan/ctest.log || true)
  if [ "$failed" -eq 0 ] || [ "$crashed" -lt "$failed" ]; then
    exit 1
  fi
  echo "LeakSanitizer's tracer crashed in $crashed test(s); running the failed tests again"
  ctest --test-dir build-asan --output-on-failure --rerun-failed
fi
unset ASAN_OPTIONS UBSAN_OPTIONS

step "web build: core tests under node, the page in headless Chromium"
scripts/build-web.sh stagwerk_core_tests stagwerk_web_tests
ctest --test-dir build-wasm --output-on-failure
xvfb-run -a node --test tests/web/

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

step "all tests passed"
