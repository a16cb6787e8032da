#!/usr/bin/env bash
# The shared library exports exactly the functions the public header declares:
# no internal helper and no C++ template instance leaks out to hosts.
# Usage: exports_test.sh LIBRARY HEADER
set -euo pipefail
library=$1
header=$2

declared=$(grep -oE '^PF_API [^(]*[ *]([a-z_]+)\(' "$header" | grep -oE '[a-z_]+\($' | tr -d '(' | sort)
exported=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWwDdBbVvRrUuiI]$/ { print $3 }' | sed 's/@.*//' | sort)

if [ "$declared" != "$exported" ]; then
  echo "FAIL: exported symbols differ from the public header"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
count=$(echo "$declared" | wc -l)
[ "$count" -eq 22 ] || { echo "FAIL: the header declares $count functions, not 22"; exit 1; }
echo "exports: $count functions, nothing else"
