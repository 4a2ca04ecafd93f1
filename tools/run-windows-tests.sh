#!/usr/bin/env bash
# The Windows stage: cross-builds the library, jasokit.exe and the tests
# (tools/build-windows.sh), then runs the library and CLI tests and the
# parity test (tests/windows/parity.sh) under wine with ctest.
# One wineserver serves the whole run, in a wine prefix of the build's own.
# Extra arguments go to ctest.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$here/build-windows}
export HOST_BUILD_DIR=${HOST_BUILD_DIR:-$here/build}
bash "$here/tools/build-windows.sh"

export WINEPREFIX=$BUILD_DIR/wine WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k || true' EXIT
# Every run, not only for a new prefix (then it takes a while): otherwise
# wine's own services start inside ctest, hold its output pipes open and
# ctest never ends.
wineboot -i >/dev/null 2>&1
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "${JOBS:-2}" "$@"
