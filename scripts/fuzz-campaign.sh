#!/usr/bin/env bash
# The long fuzzing campaign: every target for a fixed time, two at a time,
# each in a single process. Corpora grow in build-fuzz/corpus/<target> (seeded from
# fuzz/corpus/<target>); findings land in build-fuzz/findings/, and the last
# lines of each run (executions, cov, ft) in build-fuzz/logs/<target>.log.
# Usage: scripts/fuzz-campaign.sh [seconds per target, default 600] [targets...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(probe_iso probe_mp3 probe_wav episode_add scan_config sidecar diff scans http_date)

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DPF_FUZZ=ON -DPF_TESTS=OFF -DPF_WERROR=ON >/dev/null
cmake --build "$build" --target pf_fuzz -j 2
mkdir -p "$build/findings" "$build/logs"

run_one() {
  local t=$1
  mkdir -p "$build/corpus/$t"
  "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
    "$build/corpus/$t" "fuzz/corpus/$t" >"$build/logs/$t.log" 2>&1
}

status=0
for ((i = 0; i < ${#targets[@]}; i += 2)); do
  pids=()
  for t in "${targets[@]:i:2}"; do
    run_one "$t" &
    pids+=("$!:$t")
  done
  for entry in "${pids[@]}"; do
    if wait "${entry%%:*}"; then result=ok; else result=FINDING; status=1; fi
    t=${entry#*:}
    echo "== $t: $result"
    grep -E '^#[0-9]+' "$build/logs/$t.log" | tail -n 1
    grep -E '^stat::number_of_executed_units' "$build/logs/$t.log" || true
  done
done
exit $status
