#!/bin/bash
# Compares the names libjasokit.so exports with the committed list.
#   tools/check-symbols.sh LIBRARY [LIST]          check
#   tools/check-symbols.sh LIBRARY [LIST] --write  rewrite the list after a deliberate API change
set -euo pipefail
library=$1
list=${2:-"$(dirname "$0")/../cmake/jasokit.symbols"}
# "address type name", and a demangled name may hold spaces.
built=$(nm -D --defined-only -C "$library" | cut -d' ' -f3- | LC_ALL=C sort -u)
if [[ ${3:-} == --write ]]; then
  printf '%s\n' "$built" > "$list"
  exit 0
fi
if ! diff -u "$list" - <<< "$built"; then
  echo "check-symbols: $library exports other names than $list (- listed, + exported)" >&2
  exit 1
fi
echo "check-symbols: $(wc -l <<< "$built") exported names, as listed"
