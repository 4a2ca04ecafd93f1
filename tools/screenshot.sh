#!/usr/bin/env bash
# Saves a picture of the desktop program's window after a little use: an
# address typed into the input box and converted with Enter, and a dong
# looked up in the zip search box with Enter.
#
#   tools/screenshot.sh OUT.png [ADDRESS] [DONG]
#
# Runs under Xvfb, with the full zip code table from ../shared/data when it
# is there, otherwise the sample beside the program; TABLE=FILE picks another
# table (pictures meant for the repository use the sample). BUILD_DIR
# (default build/) names the build to use.
set -euo pipefail
if [[ $# -lt 1 || $1 == -h || $1 == --help ]]; then
  echo "usage: tools/screenshot.sh OUT.png [ADDRESS] [DONG]"
  [[ $# -ge 1 ]] && exit 0 || exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
helper="$build/app/jasokit-screenshot"
if [[ ! -x "$helper" ]]; then
  cmake --build "$build" --target jasokit-screenshot
fi
table=${TABLE:-"$here/../shared/data/zipcode030101t6.dbf"}
[[ -n "${TABLE:-}" || -f "$table" ]] || table="$build/app/zipcode030101t6.dbf"
if [[ ! -f "$table" ]]; then
  echo "screenshot: no zip code table at $table" >&2
  exit 1
fi
args=(--table "$table")
[[ $# -ge 2 ]] && args+=(--input "$2")
[[ $# -ge 3 ]] && args+=(--query "$3")
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
xvfb-run -a -s "-screen 0 1024x768x24" "$helper" "${args[@]}" "$1"
echo "saved $1"
