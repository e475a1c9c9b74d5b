#!/usr/bin/env bash
# Sets up a fresh machine, builds the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them all.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/check-layers.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON \
      -DTARNWICK_TESTS=ON -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build/asan --parallel 2
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/asan
status=0
ctest --output-on-failure -j2 || status=$?
# Each test program runs in shards, so ctest counts shards: the tests that
# skipped themselves (a sample that is not there) are named here.
grep -h '^\[  SKIPPED \] [A-Za-z]' Testing/Temporary/LastTest.log | sed 's/ ([0-9]* ms)$//' |
  sort -u | sed 's/^\[  SKIPPED \] /skipped: /' || true
exit "$status"
