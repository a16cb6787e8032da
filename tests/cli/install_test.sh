#!/usr/bin/env bash
# Installs a built tree into a fresh prefix and builds a small host against it
# both ways users do: with pkg-config and with find_package. The host runs
# against the installed library only, never the build tree's.
# Usage: install_test.sh BUILD_DIR HOST_SOURCE_DIR   (PF_HOST_FLAGS: extra
# compile and link flags, the sanitizers' when the library carries them)
set -euo pipefail
build=$1
host_src=$2
flags=${PF_HOST_FLAGS:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

header=$prefix/include/quorvane_podcastfeed.h
pc=$(find "$prefix" -name quorvane-podcastfeed.pc)
config=$(find "$prefix" -name quorvane-podcastfeedConfig.cmake)
version=$(find "$prefix" -name quorvane-podcastfeedConfigVersion.cmake)
[ -f "$header" ] || fail "no header"
[ -n "$pc" ] || fail "no pkg-config file"
[ -n "$config" ] && [ -n "$version" ] || fail "no CMake package files"
[ -x "$prefix/bin/podcastfeed" ] || fail "no command"

libdir=$(dirname "$pc")/..
linker_name=$libdir/libquorvane-podcastfeed.so
[ -L "$linker_name" ] || fail "no linker name link"
real=$(readlink -f "$linker_name")
soname=$(readelf -d "$real" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
[ -n "$soname" ] || fail "the library has no SONAME"
[ -L "$libdir/$soname" ] || fail "no $soname link"
[ "$(readlink -f "$libdir/$soname")" = "$real" ] || fail "$soname points elsewhere"

# Only the functions of the public header leave the library.
declared=$(grep -o '^PF_API [^(]*(' "$header" | sed 's/.*[ *]\([a-z_]*\)($/\1/' | sort)
exported=$(nm -D --defined-only "$real" | awk '$2 != "A" { sub(/@.*/, "", $3); print $3 }' | sort)
[ "$declared" = "$exported" ] || fail "exported symbols differ from the header: $(diff <(echo "$declared") <(echo "$exported") | tr '\n' ' ')"

# The installed command finds its library without any search path.
# Outputs are taken whole before they are searched: grep -q stops reading at
# its first match, and under pipefail the writer's SIGPIPE would fail the test.
version_line=$(env -u LD_LIBRARY_PATH "$prefix/bin/podcastfeed" --version) || fail "installed command does not run"
grep -q '^podcastfeed ' <<<"$version_line" || fail "installed command does not run"

export PKG_CONFIG_PATH=$(dirname "$pc")
# shellcheck disable=SC2046,SC2086
cc $flags -o "$work/host-pc" "$host_src/host.c" $(pkg-config --cflags --libs quorvane-podcastfeed) \
  -Wl,-rpath,"$(pkg-config --variable=libdir quorvane-podcastfeed)"
[ "$("$work/host-pc")" = '{"title":"Installed"}' ] || fail "pkg-config host failed"

cmake -S "$host_src" -B "$work/host-build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/host-build" >/dev/null
[ "$("$work/host-build/host")" = '{"title":"Installed"}' ] || fail "find_package host failed"
deps=$(ldd "$work/host-build/host")
grep -q "$prefix" <<<"$deps" || fail "find_package host did not use the installed library"

echo "install test: passed"
