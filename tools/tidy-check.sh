#!/usr/bin/env bash
# Runs clang-tidy with the root .clang-tidy over the hand-written sources of
# the library and the command line, two files at a time, and fails on any
# finding. Needs a configured build folder (compile_commands.json).
#
# Usage: tools/tidy-check.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${BUILD_DIR:-"$here/build"}}
[[ -f "$build/compile_commands.json" ]] || { echo "tidy-check: no $build/compile_commands.json" >&2; exit 1; }

# Generated tables are data, not code to read; a file this platform does not
# build (another system's) has no compile command to check it with.
mapfile -t sources < <(cd "$here" && find lib frontend platform service cli -name '*.cpp' \
  ! -name 'cp949_tables.cpp' | sort |
  while read -r f; do grep -q "\"file\": \"$here/$f\"" "$build/compile_commands.json" && echo "$f"; done)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
start=$SECONDS
status=0
printf '%s\n' "${sources[@]}" |
  (cd "$here" && xargs -P 2 -n 4 clang-tidy -p "$build" --quiet \
     --header-filter="^$here/(lib|frontend|platform|service|cli)/") >"$log" 2>&1 || status=$?
if grep -q -E '(warning|error): ' "$log" || ((status != 0)); then
  grep -E '(warning|error): ' "$log" | sort -u >&2 || cat "$log" >&2
  echo "tidy-check: findings in ${#sources[@]} files ($((SECONDS - start)) s)" >&2
  exit 1
fi
echo "tidy-check: ${#sources[@]} files clean ($((SECONDS - start)) s)"
