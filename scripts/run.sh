#!/usr/bin/env bash
# Installs what is missing, builds Palisade and runs it: in a window when there is a display,
# otherwise as a headless demo whose pictures are written next to an index page.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DPALISADE_BENCHMARKS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target palisade KSWIN.EXE

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec ./build/palisade "$@"
fi
# A run writes its pictures into a new folder: the previous demo's go first.
rm -rf build/demo
exec ./build/palisade --headless --script scripts/demo.script --shots build/demo "$@"
