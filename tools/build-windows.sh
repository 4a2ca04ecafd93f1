#!/usr/bin/env bash
# Cross-builds Jaso_Kit for 64-bit Windows with MinGW-w64 into build-windows/:
# the library (libjasokit.dll and its import library), jasokit.exe,
# Jaso_Kit.exe and the library and command-line tests, and beside them the
# installer jasokit-VERSION-win64-setup.exe and the portable zip (see
# packaging/windows/). The sample tables are made by a jasokit built for this
# machine (build/ unless HOST_BUILD_DIR).
# Extra arguments go to the Windows configure step.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$here/build-windows}
HOST_BUILD_DIR=${HOST_BUILD_DIR:-$here/build}
JOBS=${JOBS:-2}
export DEBIAN_FRONTEND=noninteractive

# What a Windows build and its tests need from Debian beside the host's
# own; quick when present.
bash "$here/tools/install-deps.sh" googletest g++-mingw-w64-x86-64-posix mingw-w64-tools \
  wine64 wine nsis zip x11-apps

# The host's jasokit, only the program: it writes the sample tables.
host_tool=$HOST_BUILD_DIR/cli/jasokit
if [[ ! -f $HOST_BUILD_DIR/CMakeCache.txt ]]; then
  cmake -S "$here" -B "$HOST_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$HOST_BUILD_DIR" -j "$JOBS" --target jasokit_cli

cmake -S "$here" -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchains/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
  -DJASOKIT_HOST_TOOL="$host_tool" "$@"
cmake --build "$BUILD_DIR" -j "$JOBS"
# The installer and the portable zip beside the programs.
cmake --build "$BUILD_DIR" --target windows-packages
