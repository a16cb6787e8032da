#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this
# machine lacks; does nothing when all is there.
set -euo pipefail

packages=(
  cmake g++ make pkg-config rapidjson-dev libgtest-dev
  gcc libxml2-utils
  ffmpeg sox python3 python3-feedparser python3-podcastparser
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 googletest
  clang libclang-rt-14-dev libxml2-dev valgrind
  libcli11-dev libmicrohttpd-dev libkainjow-mustache-dev libqrencode-dev libstb-dev libpng-dev
  python3-pytest python3-pip python3-setuptools python3-wheel curl gpodder chromium zbar-tools
)

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
