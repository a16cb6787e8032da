#!/usr/bin/env bash
# Valgrind memcheck over every unit-test program of a plain (unsanitized)
# build in build-memcheck/ (or PF_MEMCHECK_BUILD): any invalid read or write, use of uninitialised
# memory or definite leak fails the run. Too slow for the test command; run
# it before a release. Logs: build-memcheck/memcheck/<program>.log
set -euo pipefail
cd "$(dirname "$0")/.."

build=${PF_MEMCHECK_BUILD:-build-memcheck}
cmake -S . -B "$build" -DPF_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/memcheck"

status=0
for program in "$build"/tests/test_* "$build"/tests/soak/test_soak; do
  [ -x "$program" ] || continue
  name=$(basename "$program")
  log="$build/memcheck/$name.log"
  # The soak's call count is cut under valgrind: its reach comes from the
  # kinds of calls, which a shorter run still makes.
  [ "$name" = test_soak ] && export PF_SOAK_CALLS=3000
  if valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
       --errors-for-leak-kinds=definite --show-leak-kinds=definite \
       --track-origins=yes --log-file="$log" "$program" >"$log.out" 2>&1; then
    echo "memcheck: $name clean ($(grep -o 'ERROR SUMMARY: [0-9]* errors' "$log" | head -n 1))"
  else
    echo "memcheck: $name FAILED, see $log" >&2
    status=1
  fi
  unset PF_SOAK_CALLS
done
exit $status
