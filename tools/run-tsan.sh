#!/usr/bin/env bash
# ThreadSanitizer runs of the threaded parts, built with -fsanitize=thread: four decoders on four
# threads through libcorvane.so, and the scanner's decoder workers and engine with their
# state-word hand-off. Builds only what those tests need.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build-tsan}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGSMSCAN_SANITIZE=thread \
  > /dev/null
cmake --build "$build" -j"$(nproc)" --target corvane decoder_test_library \
  scanner_test_workers scanner_test_scan_engine fake_corvane
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
"$build"/tests/decoder/decoder_test_library
fake="$build"/tests/scanner/fakecorvane
LD_LIBRARY_PATH="$fake" "$build"/tests/scanner/scanner_test_workers
LD_LIBRARY_PATH="$fake" "$build"/tests/scanner/scanner_test_scan_engine
