#!/usr/bin/env bash
# One command: install, build, and run every test; then the same suite once
# more under AddressSanitizer and UndefinedBehaviorSanitizer. With --fast, the
# first stage only: build, suite and complexity check.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/install-deps.sh"

passed=0 skipped=0
# Runs a command that ends in a ctest run and adds up its counts for the
# closing line.
run_counted() {
  local log
  log=$(mktemp)
  "$@" 2>&1 | tee "$log"
  local total skip
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -n 1)
  skip=$(grep -c '(Skipped)$' "$log" || true)
  passed=$((passed + ${total:-0} - skip))
  skipped=$((skipped + skip))
  rm -f "$log"
}
run_ctest() { run_counted ctest --test-dir "$1" --output-on-failure -j "$(nproc)"; }

BUILD_DIR="$here/build" bash "$here/tools/build.sh"
run_ctest "$here/build"

# No hand-written function of the library or the command line is too
# complex to read at once (.clang-tidy).
bash "$here/tools/tidy-check.sh" "$here/build"

# --fast: the first stage alone (build, suite, complexity), minutes not half
# an hour; the stages below are the slow ones.
if [[ ${1:-} == --fast ]]; then
  echo "tests: $passed passed, 0 failed, $skipped skipped"
  exit 0
fi

# A project outside this one builds against the installed library.
BUILD_DIR="$here/build" bash "$here/tools/consumer-test.sh"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp"
BUILD_DIR="$here/build-sanitize" BUILD_TYPE=RelWithDebInfo bash "$here/tools/build.sh" \
  -DJASOKIT_SANITIZE=ON -DJASOKIT_BUILD_BENCH=OFF
run_ctest "$here/build-sanitize"

# The Debian package installs and its commands work.
BUILD_DIR="$here/build" bash "$here/tools/package-test.sh"

# Every fuzz target for a bounded time (see fuzz/README.md).
bash "$here/tools/run-fuzz.sh" 60

# Windows: the cross build's library and CLI tests under wine, and jasokit.exe
# against the Linux jasokit, case by case.
BUILD_DIR="$here/build-windows" HOST_BUILD_DIR="$here/build" run_counted bash "$here/tools/run-windows-tests.sh"

echo "tests: $passed passed, 0 failed, $skipped skipped"
