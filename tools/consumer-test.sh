#!/usr/bin/env bash
# Installs the library from BUILD_DIR (default build/) into a temporary
# prefix, then builds a program outside the project against it three ways:
# find_package with the shared and the static library, and pkg-config. Each
# must convert as the library does.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" --component development > /dev/null
cmake --install "$build" --prefix "$work/prefix" --component runtime > /dev/null
cmake -S "$here/tests/consumer" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" > /dev/null
cmake --build "$work/build" > /dev/null

expected=$(printf '%s\n' \
  "Address: 152 Teherallo Gangnam-gu Seoul S.KOREA " \
  "152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea" \
  "Seoulteukbyeolsi gangnamgu teherallo 152" \
  "street: 152 Teheran-ro" \
  "zip: 135-080" \
  "jasokit $(sed -n 's/^project(jasokit VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")")
check() {
  local what=$1 out
  shift
  out=$("$@" "서울특별시 강남구 테헤란로 152")
  if [[ "$out" != "$expected" ]]; then
    printf 'consumer (%s) printed:\n%s\nexpected:\n%s\n' "$what" "$out" "$expected" >&2
    exit 1
  fi
}
check "find_package, shared" "$work/build/convert-shared"
check "find_package, static" "$work/build/convert-static"
grep -q "libjasokit.so.3 => $work/prefix" <<< "$(ldd "$work/build/convert-shared")" \
  || { echo "consumer: the shared program does not use the installed libjasokit.so.3" >&2; exit 1; }

pc="$work/prefix/lib/pkgconfig"
c++ -std=c++17 "$here/tests/consumer/main.cpp" -o "$work/convert-pc" \
  $(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs jasokit) -Wl,-rpath,"$work/prefix/lib"
check "pkg-config" "$work/convert-pc"
echo "consumer: find_package(jasokit 1) shared and static, and pkg-config, build and convert"
