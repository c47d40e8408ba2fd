#!/usr/bin/env bash
# Sets everything up and starts the scanner. With no RTL2832U dongle attached it plays the
# generated recording build/swemu.wav; without a display it runs offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
bash tools/setup-deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)" --target scanner corvane swemu_wav
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
  echo "No display: the scanner runs offscreen (stop it with Ctrl-C)."
fi
cd "$build"
exec ./bin/scanner "$@"
