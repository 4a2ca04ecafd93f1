#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR (default build/), installs it with
# apt-get as a user would, checks the installed commands, and removes it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
rm -f "$build"/jasokit_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls "$build"/jasokit_*.deb)
echo "package: $(basename "$deb")"
apt-get install -y "$deb" > /dev/null
trap 'apt-get remove -y jasokit > /dev/null' EXIT

version=$(cd / && jasokit --version)
[[ "$version" == "jasokit 1.0.0" ]] || { echo "unexpected version: $version" >&2; exit 1; }
out=$(cd / && jasokit convert "서울특별시 강남구 역삼동 123-45")
[[ "$out" == "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA " ]] || { echo "unexpected conversion: $out" >&2; exit 1; }
# The installed table is found beside the real executable, through the link.
(cd / && jasokit zip 역삼동 > /dev/null)
echo "installed package: jasokit --version, convert and zip work"
