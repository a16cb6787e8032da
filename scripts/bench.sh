#!/usr/bin/env bash
# The benchmark suite, not part of the tests: installs the peer tools when
# missing (ffmpeg, MediaInfo's command, mutagen, TagLib, getID3 with PHP,
# nginx and curl for the server),
# makes the workloads once into a cache folder (PF_BENCH_CACHE, by default
# /var/tmp/quorvane-bench; the first run takes a few minutes), builds the
# bench programs in an optimised build of their own and prints one table:
# the library against the peers and the physical floors, measured in the
# same run, and whether each target is met. Then podcastfeed serve beside
# nginx and Python's http.server, started and stopped by the benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."

cache=${PF_BENCH_CACHE:-/var/tmp/quorvane-bench}
build=build-bench

# Debian packages of the peers; python3-mutagen belongs to the system Python,
# so the suite runs under /usr/bin/python3 whatever else is on the PATH.
packages=(ffmpeg mediainfo python3-mutagen libtag1-dev pkg-config php-cli php-getid3 nginx-light curl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
fi

bash bench/make-workloads.sh "$cache"

cmake -S . -B "$build" -DPF_BENCH=ON -DPF_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=()
for src in bench/*_bench.cpp; do
  targets+=("$(basename "$src" .cpp)")
done
targets+=(taglib_driver podcastfeed)
cmake --build "$build" -j 2 --target "${targets[@]}"

/usr/bin/python3 bench/suite.py "$build" "$cache"
/usr/bin/python3 bench/serve_bench.py "$build" "$cache"

# The chunk and box walks over files of nothing but headers, made in the
# cache folder and removed again; exits 1 when a target is not met.
"$build/bench/walk_bench" "$cache"

# Comparing with old feed files far larger than any the library writes, apart
# from the table: each time is given as a ratio to reading the same file once,
# the peak memory as a ratio to the file's size; exits 1 when a target is not met.
"$build/bench/diff_bench"
