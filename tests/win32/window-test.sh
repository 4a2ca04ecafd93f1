#!/usr/bin/env bash
# The Win32 window under wine on a virtual X display: starts Jaso_Kit.exe
# in a wine prefix of its own (Korean UI fonts mapped to NanumGothic), then
# drives it with window-driver.exe: the caption, a conversion with Enter,
# Copy and the clipboard, a zip search and the choice of a row, and a
# screenshot. One wineserver serves the whole run.
#
# usage: window-test.sh [--screenshot FILE.png] BUILD_DIR
#   BUILD_DIR  the Windows build folder: app/win32/Jaso_Kit.exe with its zip
#              code table and offline page, tests/win32/window-driver.exe
# Exit status 0 passed, 1 failed, 2 usage, 77 skipped (no wine, Xvfb or fonts).
set -euo pipefail

usage() { sed -n '8,11p' "$0" | sed 's/^# \{0,1\}//'; }
shot=""
while [ $# -gt 0 ]; do
  case "$1" in
    --screenshot) shot="$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) break ;;
  esac
done
if [ $# -ne 1 ]; then usage >&2; exit 2; fi
build=$(cd "$1" && pwd)
window_dir=$build/app/win32
driver=$build/tests/win32/window-driver.exe
for f in "$window_dir/Jaso_Kit.exe" "$window_dir/zipcode030101t6.dbf" "$driver"; do
  [ -f "$f" ] || { echo "window-test: missing $f" >&2; exit 2; }
done
for tool in wine wineserver Xvfb; do
  command -v "$tool" >/dev/null || { echo "window-test: SKIP: $tool is not installed" >&2; exit 77; }
done
fonts=/usr/share/fonts/truetype/nanum
[ -f "$fonts/NanumGothic.ttf" ] || { echo "window-test: SKIP: fonts-nanum is not installed" >&2; exit 77; }

work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64 LC_ALL=C.UTF-8
# No Gecko or Mono prompts: the window needs neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A display of our own.
for n in $(seq 90 120); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 0.5
  if kill -0 "$xvfb_pid" 2>/dev/null; then export DISPLAY=":$n"; break; fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || { echo "window-test: no free X display" >&2; exit 1; }

mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1
# Korean UI fonts -> NanumGothic (registry texts are UTF-16 for the Hangul names).
cp "$fonts"/NanumGothic*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\r\n'
  printf '"NanumGothic (TrueType)"="NanumGothic.ttf"\r\n"NanumGothic Bold (TrueType)"="NanumGothicBold.ttf"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
  for name in Gulim 굴림 GulimChe 굴림체 Dotum 돋움 Batang 바탕 "Malgun Gothic" "맑은 고딕" "MS Shell Dlg" "MS Shell Dlg 2"; do
    printf '"%s"="NanumGothic"\r\n' "$name"
  done
  printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for name in Tahoma "Microsoft Sans Serif" "Segoe UI"; do
    printf '"%s"=hex(7):4e,00,61,00,6e,00,75,00,6d,00,47,00,6f,00,74,00,68,00,69,00,63,00,2e,00,74,00,74,00,66,00,2c,00,4e,00,61,00,6e,00,75,00,6d,00,47,00,6f,00,74,00,68,00,69,00,63,00,00,00,00,00\r\n' "$name"
  done
} | iconv -f UTF-8 -t UTF-16 > "$work/fonts.reg"
wine regedit /S "$work/fonts.reg" >/dev/null 2>&1

app="$work/한글 폴더"  # the program finds its table through a Korean path
mkdir -p "$app"
cp "$window_dir/Jaso_Kit.exe" "$window_dir/zipcode030101t6.dbf" "$driver" "$app/"
cp "$window_dir/jasokit_view_off.html" "$window_dir"/*.dll "$app/" 2>/dev/null || true

wine "$app/Jaso_Kit.exe" >"$work/window.log" 2>&1 &
window_pid=$!

failures=0
drive() { wine "$app/window-driver.exe" "$@" 2>&1 | tr -d '\r' || true; }
check() {  # check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAIL: $1"; echo "  expected: $2"; echo "  actual:   $3"
    failures=$((failures + 1))
  fi
}

check caption "주소변환기 + 우편번호찾기" "$(drive caption)"
if [ "$failures" -ne 0 ]; then  # no window: nothing else can pass
  sleep 1
  failed_shot=${shot:-$PWD/window-test-failed.png}
  import -display "$DISPLAY" -window root "$failed_shot" 2>/dev/null && echo "window-test: the screen: $failed_shot" || true
  cat "$work/window.log"; exit 1
fi
check convert "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA " "$(drive convert '서울특별시 강남구 역삼동 123-45')"
check "copy output" "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA " "$(drive copy 1009)"
check "copy input" "서울특별시 강남구 역삼동 123-45" "$(drive copy 1008)"
lines=$(drive search 역삼동)
check "search lists lines" "4" "$(printf '%s\n' "$lines" | grep -c '^[0-9]\{3\}-[0-9]\{3\} .*역삼동')"
check "search sorted" "$(printf '%s\n' "$lines" | LC_ALL=C sort)" "$lines"
chosen=$(drive choose 0)
check "choose puts the address in" "서울 강남구 역삼동" "$(printf '%s\n' "$chosen" | sed -n 1p)"
check "choose converts it" "Yeoksam-dong Gangnam-gu Seoul S.KOREA " "$(printf '%s\n' "$chosen" | sed -n 2p)"

check "sample note" "견본 우편번호표: 우편번호는 가상입니다 (sample)" "$(drive note)"

# The database item: a file chosen in its dialog is opened, and the search
# then lists the data's five-digit rows (the item starts checked).
if [ -f "$build/cli/address-sample.db" ]; then
  cp "$build/cli/address-sample.db" "$work/chosen.db"
  drive choosedb "$(winepath -w "$work/chosen.db" 2>/dev/null)" >/dev/null
  check "chosen database searched" "06303 서울특별시 강남구 개포로17길 9-3 (G-heim)" "$(drive search G-heim | sed -n 1p)"
fi

check "about box" "Jaso_Kit 정보" "$(drive about)"
drive syscommand 32 >/dev/null  # the official style item of the system menu
check "official style" "123-45 Yeoksam-dong, Gangnam-gu, Seoul, Republic of Korea" \
  "$(drive convert '서울특별시 강남구 역삼동 123-45')"

if [ -n "$shot" ]; then
  drive hover 1011 >/dev/null  # Reset in its hover face
  sleep 0.5
  if command -v import >/dev/null; then  # imagemagick
    import -display "$DISPLAY" -window root "$shot" && echo "screenshot: $shot"
  elif command -v xwd >/dev/null; then  # x11-apps
    xwd -root -silent -display "$DISPLAY" >"${shot%.png}.xwd" && echo "screenshot: ${shot%.png}.xwd"
  else
    echo "window-test: no screenshot: neither import (imagemagick) nor xwd (x11-apps) is installed"
  fi
fi

drive close >/dev/null
for _ in $(seq 50); do kill -0 "$window_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$window_pid" 2>/dev/null; then
  echo "FAIL: the window did not close on Esc"; failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] || { echo "window-test: $failures failed"; cat "$work/window.log"; exit 1; }
echo "window-test: all passed"
