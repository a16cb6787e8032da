#!/usr/bin/env bash
# Installs, with apt-get, whatever this machine lacks for the job named:
# "build" (the library and the command: what the demo needs) or "test" (the
# build, and every tool the tests run, the Windows cross-build and Wine). Does
# nothing when all is there.
set -euo pipefail

build=(
  cmake g++ make pkg-config rapidjson-dev
  libcli11-dev libmicrohttpd-dev libkainjow-mustache-dev libqrencode-dev libstb-dev libpng-dev
  libxml2-utils
)
test=(
  "${build[@]}" libgtest-dev gcc
  ffmpeg sox python3 python3-feedparser python3-podcastparser
  python3-pytest python3-pip python3-setuptools python3-wheel curl gpodder chromium zbar-tools
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 googletest
  clang libclang-rt-14-dev libxml2-dev valgrind
)

case "${1:-test}" in
  build) packages=("${build[@]}") ;;
  test) packages=("${test[@]}") ;;
  *) echo "usage: install-deps.sh [build|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
