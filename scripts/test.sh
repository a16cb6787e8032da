#!/usr/bin/env bash
# Every test: installs what is missing, builds with warnings as errors and
# runs the suite, then runs it again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-style.sh
jobs=$(nproc)

cmake -S . -B build -DPF_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure

cmake -S . -B build-asan -DPF_WERROR=ON -DPF_SANITIZE=ON
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan --output-on-failure

# Every reader under libFuzzer for a short, fixed number of inputs.
scripts/fuzz-smoke.sh

# The same suite on the Windows build, under Wine.
scripts/test-windows.sh
