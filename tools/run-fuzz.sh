#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehavior-
# Sanitizer) into build-fuzz/ and runs each for SECONDS (default 60) from its
# seed corpus. New inputs are kept in fuzz/corpus-<area>/ (not committed);
# crash inputs go to build-fuzz/artifacts/. Fails if any target crashed,
# leaked, timed out or failed a check. Usage: tools/run-fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-"$here/build-fuzz"}
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [[ -z "$cxx" ]]; then
  echo "run-fuzz: clang++ not found (Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
fi

cmake -S "$here/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" -j 2

# Per-target options: the largest input and a dictionary where one helps.
options_for() {
  case "$1" in
    convert) echo "-max_len=4096 -dict=$here/fuzz/convert.dict" ;;
    codec) echo "-max_len=4096" ;;
    official) echo "-max_len=4097 -dict=$here/fuzz/official.dict" ;;
    zipload) echo "-max_len=4200000" ;;
    zipsearch) echo "-max_len=256 -dict=$here/fuzz/convert.dict" ;;
    csv) echo "-max_len=8192 -dict=$here/fuzz/csv.dict" ;;
    name) echo "-max_len=256" ;;
    batch) echo "-max_len=4096" ;;
    addrdb) echo "-max_len=16384" ;;
    http) echo "-max_len=8192 -dict=$here/fuzz/http.dict" ;;
    *) echo "" ;;
  esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
mkdir -p "$build/artifacts" "$build/logs"
summary=()
failed=0
for target in "$build"/*-fuzz; do
  [[ -x "$target" ]] || continue
  name=$(basename "$target")
  area=${name%-fuzz}
  work="$here/fuzz/corpus-$area"
  mkdir -p "$work" "$build/artifacts/$area"
  log="$build/logs/$area.log"
  # The service's target goes through sockets and threads: a few seconds
  # find what it can, and CI's time is better spent on the others.
  run=$seconds
  [[ "$area" == http ]] && ((run > 15)) && run=15
  echo "== $name: ${run} s"
  # shellcheck disable=SC2046
  if "$target" $(options_for "$area") -max_total_time="$run" -timeout=30 -rss_limit_mb=2560 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$area/" \
      "$work" "$here/fuzz/corpus/$area" >"$log" 2>&1; then
    result=ok
  else
    result="FAILED (see $log)"
    failed=1
    grep -E "ERROR|check failed|SUMMARY|Test unit written" "$log" | head -20 >&2 || true
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  summary+=("$(printf '%-10s %12s executions  %s' "$area" "${runs:-?}" "$result")")
done

echo "== fuzz summary (${seconds} s per target)"
printf '%s\n' "${summary[@]}"
exit "$failed"
