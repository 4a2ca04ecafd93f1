#!/usr/bin/env bash
# jasokit.exe under wine must answer exactly as the Linux jasokit: the same
# standard output, standard error and exit status for every case, and the
# same bytes in every file it writes.
# usage: parity.sh LINUX_JASOKIT WINDOWS_JASOKIT_EXE ZIP_TABLE
# WINE (default wine64 from /usr/lib/wine) runs the program; the caller keeps
# one wineserver up (tools/run-windows-tests.sh).
set -uo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
table=$(realpath "$3")
here=$(cd "$(dirname "$0")/../.." && pwd)
wine=${WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all SOURCE_DATE_EPOCH=1041379200

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/linux" "$work/windows"

# The inputs: addresses and other text, in UTF-8 and CP949, with what a
# demanding input holds (CR LF, ^Z, NUL, invalid bytes, an over-long line).
{
  printf '서울특별시 종로구 세종대로 209\n'
  printf '서울 강남구 역삼동 123-45\r\n'
  printf '강원 홍천군 서석면\n'
  printf '경기도 수원시 영통구 월드컵로 206\n'
  printf '부산광역시 해운대구 우동 1411-1 101동 202호\n'
  printf '제주특별자치도 제주시 첨단로 242\n'
  printf '한국 신라 고려\n'
  printf '\n'
  printf '   \n'
  printf '서울 \x1a 강남구\n'
  printf '\x1a\n'
  printf 'abc\x00def\n'
  printf '서울 \xff\xfe 강남구\n'
  printf 'Hello, world\n'
  printf '%01100d\n' 0
  printf '대구광역시 수성구 범어동'
} >"$work/in/lines.txt"
iconv -f UTF-8 -t CP949 <<'EOF' >"$work/in/cp949.txt"
서울특별시 종로구 세종대로 209
강원 홍천군 서석면
한국 신라 고려
EOF
printf '\xb0\xa1\xff\x80\n\xc8\n' >>"$work/in/cp949.txt"
for i in $(seq 1 4000); do printf '서울 강남구 역삼동 %d-%d\n한글 %d\n' "$i" $((i % 9)) "$i"; done >"$work/in/many.txt"
{
  printf 'id,주소,memo\n'
  printf '1,서울특별시 종로구 세종대로 209,"a, b"\n'
  printf '2,"강원 홍천군 서석면",x\r\n'
  printf '3,,empty\n'
  printf '4,"서울 ""강남구""",q\n'
} >"$work/in/addresses.csv"
printf '역삼동\n없는동\n중앙동\n' >"$work/in/names.txt"
cp "$table" "$work/in/zip.dbf"
cp "$here/data/zipcode-sample.csv" "$work/in/zip.csv"
cp -p "$here/data/korea-post-sample.txt" "$work/in/20130604_sample.txt"

cases=(
  "lines.txt|convert"
  "lines.txt|convert --style official"
  "lines.txt|convert --tsv"
  "lines.txt|convert --json"
  "lines.txt|convert --json --style official"
  "lines.txt|romanize"
  "lines.txt|romanize --style official"
  "cp949.txt|convert --cp949"
  "cp949.txt|convert --cp949 --style official --tsv"
  "cp949.txt|romanize --cp949"
  "cp949.txt|convert --cp949 --json"
  "many.txt|convert -j 2"
  "many.txt|convert -j 3 --style official --json"
  "many.txt|romanize -j 2"
  "addresses.csv|convert --csv --column 2 --header"
  "addresses.csv|convert --csv --column 주소 --header --style official"
  "addresses.csv|convert --csv --column 2 --in-place"
  "-|convert 서울특별시 종로구 세종대로 209"
  "-|romanize --name 김민준 이서연"
  "-|romanize --name --json --hyphen 박지후"
  "names.txt|zip --db zip.dbf"
  "-|zip --db zip.dbf 역삼동 중앙동"
  "-|zip --db zip.dbf --prefix 역삼"
  "-|zip --db zip.dbf --code 135080"
  "-|zip --db zip.dbf --json --convert --style official 역삼1동"
  "-|zip --db zip.dbf 없는동"
  "names.txt|zip --db zip.dbf --cp949"
  "-|zip --db missing.dbf 역삼동"
  "-|zip --db zip.dbf --prefix"
  "-|convert --bogus"
  "-|frobnicate"
  "-|"
  "-|--version"
  "-|--help"
  "-|convert --help"
  "-|zipdb build missing.csv -o out.dbf"
  "-|zipdb build zip.csv -o zip.csv"
  "-|zipdb build zip.csv -o table.dbf"
  "-|zipdb build zip.csv -o table.dbf"
  "zip.csv|zipdb build - -o stdin.dbf"
  "-|addrdb build 20130604_sample.txt -o address.db"
  "-|addrdb info address.db"
  "-|lookup --addrdb address.db 테헤란로"
  "-|lookup --addrdb address.db --json 06236"
  "-|lookup --addrdb missing.db 테헤란로"
)

failed=0
run() {  # side program input args...
  local side=$1 program=$2 input=$3
  shift 3
  local prefix=()
  [[ $side == windows ]] && prefix=("$wine")
  (
    cd "$work/$side" || exit 99
    if [[ $input == - ]]; then
      "${prefix[@]}" "$program" "$@" </dev/null >stdout 2>stderr
    else
      "${prefix[@]}" "$program" "$@" <"$work/in/$input" >stdout 2>stderr
    fi
    echo $? >status
  )
}

cp "$work/in/"* "$work/linux/"
cp "$work/in/"* "$work/windows/"
cp -p "$work/in/20130604_sample.txt" "$work/linux/"
cp -p "$work/in/20130604_sample.txt" "$work/windows/"
n=0
for c in "${cases[@]}"; do
  input=${c%%|*}
  read -r -a args <<<"${c#*|}"
  n=$((n + 1))
  run linux "$linux" "$input" "${args[@]}"
  run windows "$windows" "$input" "${args[@]}"
  # The one difference by design: serve is not in the Windows build, nor in
  # its list of commands.
  sed -i '/^  serve  /d' "$work/linux/stdout" "$work/linux/stderr"
  for f in stdout stderr status; do
    if ! cmp -s "$work/linux/$f" "$work/windows/$f"; then
      echo "parity: case $n (${c#*|} < $input): $f differs" >&2
      diff <(od -c "$work/linux/$f" | head -20) <(od -c "$work/windows/$f" | head -20) >&2
      failed=$((failed + 1))
    fi
  done
done
# The files written, byte for byte.
for f in table.dbf stdin.dbf address.db; do
  n=$((n + 1))
  if ! cmp "$work/linux/$f" "$work/windows/$f"; then
    echo "parity: $f differs" >&2
    failed=$((failed + 1))
  fi
done
# No temporary file left beside the tables.
if [[ $(cd "$work/linux" && ls -A | sort) != $(cd "$work/windows" && ls -A | sort) ]]; then
  echo "parity: the folders differ:" >&2
  diff <(cd "$work/linux" && ls -A | sort) <(cd "$work/windows" && ls -A | sort) >&2
  failed=$((failed + 1))
fi
echo "parity: $n cases, $failed differences"
((failed == 0))
