#!/usr/bin/env bash
# One command: install, build, and run the main job on the embedded sample.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/install-deps.sh"
bash "$here/tools/build.sh"
jasokit="$here/build/cli/jasokit"
echo "== jasokit convert (an address and a plain text) =="
"$jasokit" convert "서울특별시 강남구 역삼동 123-45" "한국어 로마자 표기"
echo "== jasokit zip (sample table; its zip codes are for demonstration) =="
"$jasokit" zip --convert 중앙동
