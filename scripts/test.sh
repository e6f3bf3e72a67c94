#!/usr/bin/env bash
# Installs what is missing, builds everything with AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build-check -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_SANITIZE=ON -DPALISADE_WERROR=ON >/dev/null
cmake --build build-check -j"$(nproc)"

# A short libFuzzer run over the loader's driver-header judging and patching; a crash fails the
# test command and leaves its input in build-fuzz-loader/ (crash-*).
cmake -S checks/loader/fuzz -B build-fuzz-loader -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_WERROR=ON >/dev/null
cmake --build build-fuzz-loader -j"$(nproc)"
mkdir -p build-fuzz-loader/corpus
build-fuzz-loader/driver_header_fuzzer -max_total_time=25 -timeout=10 -print_final_stats=0 -artifact_prefix=build-fuzz-loader/ \
  build-fuzz-loader/corpus checks/loader/fuzz_corpus 2>build-fuzz-loader/fuzz.log || { tail -40 build-fuzz-loader/fuzz.log; exit 1; }

# The same for each card's guest interface (ports, the VGA window, the BARs, the PCI function and
# the scan-out, interleaved; on the GD5446 its BitBLT engine too), from the corpus in
# checks/machine/fuzz_corpus; crashes are left in build-fuzz-card/ (CARD-crash-*).
cmake -S checks/machine/fuzz -B build-fuzz-card -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPALISADE_WERROR=ON >/dev/null
cmake --build build-fuzz-card -j"$(nproc)"
for card in stdvga cirrus; do
  mkdir -p build-fuzz-card/corpus-$card
  build-fuzz-card/${card}_card_fuzzer -max_total_time=20 -timeout=10 -print_final_stats=0 -artifact_prefix=build-fuzz-card/$card- \
    build-fuzz-card/corpus-$card checks/machine/fuzz_corpus/$card 2>build-fuzz-card/$card.log || { tail -40 build-fuzz-card/$card.log; exit 1; }
done

cd build-check
ctest --output-on-failure -j"$(nproc)" --timeout 900
