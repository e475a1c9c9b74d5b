#!/usr/bin/env bash
# Sets up a fresh machine, builds the tests under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs them all.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/check-layers.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON \
      -DTARNWICK_TESTS=ON >/dev/null
cmake --build build/asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd build/asan
ctest --output-on-failure -j2
