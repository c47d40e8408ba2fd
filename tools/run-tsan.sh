#!/usr/bin/env bash
# ThreadSanitizer run of the decoder library: four decoders on four threads through
# libcorvane.so, built with -fsanitize=thread. Builds only what that test needs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGSMSCAN_SANITIZE=thread \
  -DGSMSCAN_GUI=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target corvane decoder_test_threads
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$build"/tests/decoder/decoder_test_threads
