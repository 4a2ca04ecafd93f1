#!/usr/bin/env bash
# One command: install, build, and run the main job on the embedded sample
# table: a few conversions and a lookup on the command line, then the desktop
# window (on a machine without a display, a picture of it taken under Xvfb).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/install-deps.sh"
bash "$here/tools/build.sh"
jasokit="$here/build/cli/jasokit"
echo "== jasokit convert (an address and a plain text) =="
"$jasokit" convert "서울특별시 강남구 역삼동 123-45" "한국어 로마자 표기"
echo "== jasokit zip (sample table; its zip codes are for demonstration) =="
"$jasokit" zip --convert 중앙동
echo "== with the sample address database (313 rows of Korea Post's Gangnam-gu data) =="
"$jasokit" convert --style official --addrdb "$here/build/cli/address-sample.db" "서울 강남구 개포동 1245-5"
"$jasokit" lookup --addrdb "$here/build/cli/address-sample.db" G-heim
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "== the desktop program (close it with Esc) =="
  exec "$here/build/app/Jaso_Kit"
fi
picture="$here/build/jasokit-window.png"
TABLE="$here/build/app/zipcode030101t6.dbf" bash "$here/tools/screenshot.sh" "$picture" \
  "서울특별시 강남구 역삼동 123-45" "삼성동"
echo "== no display here: a picture of the desktop program's window is in $picture =="
