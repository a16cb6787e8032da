#!/usr/bin/env bash
# Builds the fuzz targets with clang (both sanitizers, libFuzzer) in
# build-fuzz/ and runs each one for a short, fixed number of inputs starting
# from its seed corpus: a finding in any reader fails the test command.
# Usage: scripts/fuzz-smoke.sh [runs per target, default 5000]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5000}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DPF_FUZZ=ON -DPF_TESTS=OFF -DPF_WERROR=ON >/dev/null
# The shared library is built too: the option must leave the rest of the
# tree buildable, not only the fuzz targets.
cmake --build "$build" --target pf_fuzz quorvane-podcastfeed -j "$(nproc)"

targets=(probe_iso probe_mp3 probe_wav episode_add scan_config sidecar diff scans http_date)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for t in "${targets[@]}"; do
  # New inputs go to a scratch folder: the seeds in the repository stay as they are.
  mkdir -p "$scratch/$t"
  echo "fuzz smoke: $t ($runs runs)"
  "$build/fuzz/fuzz_$t" -runs="$runs" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$scratch/$t-" "$scratch/$t" "fuzz/corpus/$t" 2>"$scratch/$t.log" || {
      tail -n 60 "$scratch/$t.log"
      echo "fuzz smoke: $t FAILED" >&2
      exit 1
    }
  grep -E '^Done|#[0-9]+ +DONE' "$scratch/$t.log" | tail -n 1
done
echo "fuzz smoke: all ${#targets[@]} targets passed"
