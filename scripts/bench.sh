#!/usr/bin/env bash
# Builds every benchmark (bench/*_bench.cpp) in an optimised build of its own
# and runs them one after another; each prints its time, the floor it measures
# in the same run and their ratio. Exits non-zero when a benchmark fails.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-bench
cmake -S . -B "$build" -DPF_BENCH=ON -DPF_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null

targets=()
for src in bench/*_bench.cpp; do
  targets+=("$(basename "$src" .cpp)")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no benchmarks in bench/" >&2
  exit 1
fi
cmake --build "$build" -j 2 --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  echo "== $t"
  "$build/bench/$t" || status=1
done
exit $status
