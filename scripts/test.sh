#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_SANITIZE=ON >/dev/null
cmake --build build-check -j"$(nproc)"
cd build-check
ctest --output-on-failure -j"$(nproc)" --timeout 900
