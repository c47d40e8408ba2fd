#!/usr/bin/env bash
# The default test set once more, built at -O3 with AddressSanitizer and UndefinedBehaviorSanitizer,
# so that the hand-written heads and tails of the kernels stay within their arrays and the code
# within defined behaviour. Any report stops its test and fails it (the build adds
# -fno-sanitize-recover=all). Left out, visibly: the decoder's no-allocation test (it replaces
# malloc, which the sanitizer's runtime owns; the build option drops it) and the back-end fuzz test
# (it is clang's own sanitized build whatever this tree is, and the default run has run it).
# Leaks of Qt's offscreen plugin and of fontconfig are suppressed (tools/lsan-suppressions.txt).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-build-asan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGSMSCAN_TESTS=ON \
  -DGSMSCAN_SANITIZE=address,undefined > /dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
export QT_QPA_PLATFORM=offscreen LC_ALL=C
export ASAN_OPTIONS="abort_on_error=0 detect_stack_use_after_return=1 strict_string_checks=1"
export UBSAN_OPTIONS="halt_on_error=1 print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tools/lsan-suppressions.txt print_suppressions=0"
ctest --output-on-failure --no-tests=error -j"$(nproc)" -LE "large|fuzz"
