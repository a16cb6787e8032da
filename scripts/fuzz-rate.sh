#!/usr/bin/env bash
# How fast each fuzz target runs: builds the targets as scripts/fuzz-smoke.sh
# does (clang, both sanitizers, libFuzzer, in build-fuzz/) and runs each one
# alone for a fixed time from its seed corpus, then prints one line per
# target: its name and libFuzzer's average executions per second. The
# machine's load changes the numbers: compare runs made back to back.
# Usage: scripts/fuzz-rate.sh [seconds per target, default 20] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DPF_FUZZ=ON -DPF_TESTS=OFF -DPF_WERROR=ON >/dev/null
cmake --build "$build" --target pf_fuzz -j 2 >/dev/null

seconds=${1:-20}
[ $# -gt 0 ] && shift
# Without names, every target fuzz/CMakeLists.txt adds, in its order.
if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(grep -oP '^pf_fuzz_target\(\K\w+' fuzz/CMakeLists.txt)
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  # New inputs go to a scratch folder: the seeds in the repository stay as they are.
  mkdir -p "$scratch/$t"
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -artifact_prefix="$scratch/$t-" "$scratch/$t" "fuzz/corpus/$t" \
    >"$scratch/$t.log" 2>&1 || {
      tail -n 40 "$scratch/$t.log"
      echo "fuzz rate: $t FAILED" >&2
      exit 1
    }
  rate=$(awk '/^stat::average_exec_per_sec:/ { print $2 }' "$scratch/$t.log")
  printf '%s %s\n' "$t" "${rate:-?}"
done
