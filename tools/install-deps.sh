#!/usr/bin/env bash
# Installs everything the build, the tests and the desktop program need on
# Debian 12, and the packages named as arguments. Run as root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  cmake ninja-build g++ python3
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev
  python3-dbfread python3-dev pybind11-dev python3-pytest
  python3-pandas python3-dask python3-distributed
  xvfb xauth fonts-nanum
  clang libclang-rt-14-dev clang-tidy
  dpkg-dev file fakeroot pkg-config
  libmicrohttpd-dev chromium chromium-driver python3-selenium
  libzip-dev
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
