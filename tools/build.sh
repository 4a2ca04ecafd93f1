#!/usr/bin/env bash
# Configures and builds into BUILD_DIR (default build/). Extra arguments go to
# cmake's configure step.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-Release} "$@"
cmake --build "$build" -j "$(nproc)"
