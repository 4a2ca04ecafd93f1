#!/usr/bin/env bash
# One command: install, build, and run every test; then the same suite once
# more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/install-deps.sh"

BUILD_DIR="$here/build" bash "$here/tools/build.sh"
ctest --test-dir "$here/build" --output-on-failure -j "$(nproc)"

export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
BUILD_DIR="$here/build-sanitize" BUILD_TYPE=RelWithDebInfo bash "$here/tools/build.sh" \
  -DJASOKIT_SANITIZE=ON -DJASOKIT_BUILD_BENCH=OFF -DJASOKIT_BUILD_GUI=OFF
ctest --test-dir "$here/build-sanitize" --output-on-failure -j "$(nproc)"

# The Debian package installs and its commands work.
BUILD_DIR="$here/build" bash "$here/tools/package-test.sh"

# Every fuzz target for a bounded time (see fuzz/README.md).
bash "$here/tools/run-fuzz.sh" 60
