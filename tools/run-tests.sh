#!/usr/bin/env bash
# Builds everything and runs the default test set (tests labelled "large" are left out).
# BUILD_DIR (default build) and BUILD_TYPE (default RelWithDebInfo) choose the build tree and its
# optimisation: BUILD_DIR=build-rel BUILD_TYPE=Release runs the same suite at -O3.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DGSMSCAN_TESTS=ON
cmake --build "$build" -j"$(nproc)"
cd "$build"
export QT_QPA_PLATFORM=offscreen LC_ALL=C
ctest --output-on-failure --no-tests=error -j"$(nproc)" -LE large
