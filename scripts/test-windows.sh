#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-compiles the DLL and every
# test program with MinGW-w64 (warnings as errors), checks that the DLL exports
# exactly the functions of the public header and imports only system DLLs, and
# runs the whole suite under Wine in a throw-away prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
build=build-windows
objdump=x86_64-w64-mingw32-objdump

cmake -S . -B "$build" -DPF_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
cmake --build "$build" -j "$jobs"

dll="$build/quorvane-podcastfeed.dll"
[ -f "$dll" ] && [ -f "$build/quorvane-podcastfeed.dll.a" ] || { echo "test-windows: DLL or import library missing" >&2; exit 1; }

# Export table: exactly the functions the public header declares.
declared=$(grep -E '^PF_API ' include/quorvane_podcastfeed.h | grep -oE '[A-Za-z_0-9]+\(' | tr -d '(' | sort)
exported=$("$objdump" -p "$dll" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -oE '^\s+\[ *[0-9]+\] \S+' |
  awk '{print $NF}' | sort)
if [ "$declared" != "$exported" ] || [ "$(wc -l <<<"$declared")" -ne 22 ]; then
  echo "test-windows: the DLL's exports differ from the public header's 22 functions:" >&2
  diff <(echo "$declared") <(echo "$exported") >&2 || true
  exit 1
fi

# Import table: system DLLs only (KERNEL32, msvcrt or the UCRT), so the DLL
# loads in a host process with no MinGW runtime beside it.
foreign=$("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}' |
  grep -viE '^(kernel32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-crt-[a-z0-9-]+\.dll)$' || true)
if [ -n "$foreign" ]; then
  echo "test-windows: the DLL imports non-system DLLs: $foreign" >&2
  exit 1
fi
echo "test-windows: $dll exports the 22 functions and imports only system DLLs"

# Wine: Debian's wine64 keeps its loader and server outside PATH.
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/pf-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko download prompts, no menu entries, no display needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
"$wine" wineboot --init >/dev/null 2>&1 || { echo "test-windows: wineboot failed in $WINEPREFIX" >&2; exit 1; }
"$wineserver" -w
# One server for the whole run: a server that times out between two programs
# can drop the next one's connection as it goes ("recvmsg: Connection reset").
"$wineserver" -p

# A plain C host beside the DLL loads it through the import library alone.
demo=$("$wine" "$build/channel_demo.exe" 2>/dev/null | tr -d '\r')
if ! grep -qF '"title":"My Music"' <<<"$demo"; then
  echo "test-windows: channel_demo.exe did not run against the DLL: $demo" >&2
  exit 1
fi

# The command as a Windows user runs it: the example show becomes a feed
# (serve and QR codes are left out of this build, and say so).
cp "$build/quorvane-podcastfeed.dll" "$build/tools/"
feed_out=$(mktemp -d)
"$wine" "$build/tools/podcastfeed.exe" scan examples/show -o "$feed_out/feed.xml" 2>"$feed_out/summary" || true
if ! tr -d '\r' <"$feed_out/summary" | grep -qE 'rules passed +21 of 21' || ! grep -q '<enclosure ' "$feed_out/feed.xml"; then
  echo "test-windows: podcastfeed.exe did not scan the example show:" >&2
  cat "$feed_out/summary" >&2
  exit 1
fi
rm -rf "$feed_out"
echo "test-windows: podcastfeed.exe scanned the example show"

# The toolchain file makes ctest start every test program through Wine.
ctest --test-dir "$build" --output-on-failure
