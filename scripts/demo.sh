#!/usr/bin/env bash
# The main job on the bundled example: installs what the build lacks, builds
# the library and its command, turns examples/show into feed.xml with a
# summary and the ready-to-publish findings on stderr, and checks that the
# feed is well-formed XML. Serving it comes next: the last line says how.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build-demo -DPF_TESTS=OFF >/dev/null
cmake --build build-demo --target podcastfeed -j "$(nproc)" >/dev/null
build-demo/tools/podcastfeed scan examples/show -o feed.xml
xmllint --noout feed.xml
echo "feed.xml written and well-formed"
echo "To try it in a podcast app: build-demo/tools/podcastfeed serve examples/show"
