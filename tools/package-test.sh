#!/usr/bin/env bash
# Builds the Debian packages from BUILD_DIR (default build/), installs them with
# apt-get as a user would, checks the installed commands and the Python module
# (when it was built), and removes them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-"$here/build"}
rm -f "$build"/jasokit_*.deb "$build"/jasokit-dev_*.deb "$build"/python3-jasokit_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
deb=$(ls "$build"/jasokit_*.deb)
python_deb=$(ls "$build"/python3-jasokit_*.deb 2>/dev/null || true)
debs=("$deb")
packages=(jasokit)
if [[ -n "$python_deb" ]]; then
  debs+=("$python_deb")
  packages+=(python3-jasokit)
fi
for d in "${debs[@]}"; do echo "package: $(basename "$d")"; done
apt-get install -y "${debs[@]}" > /dev/null
trap 'apt-get remove -y "${packages[@]}" > /dev/null' EXIT

version=$(cd / && jasokit --version)
[[ "$version" == "jasokit 1.0.0" ]] || { echo "unexpected version: $version" >&2; exit 1; }
out=$(cd / && jasokit convert "서울특별시 강남구 역삼동 123-45")
[[ "$out" == "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA " ]] || { echo "unexpected conversion: $out" >&2; exit 1; }
# The installed table is found beside the real executable, through the link.
(cd / && jasokit zip 역삼동 > /dev/null)
checked="jasokit --version, convert and zip work"

# The system interpreter imports the installed module, not a build tree's.
if [[ -n "$python_deb" ]]; then
  (cd / && /usr/bin/python3 -I -c '
import jasokit
assert jasokit.__file__ == "/usr/lib/python3/dist-packages/jasokit/__init__.py", jasokit.__file__
assert jasokit.__version__ == "1.0.0", jasokit.__version__
out = jasokit.convert("서울특별시 강남구 역삼동 123-45").output
assert out == "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA ", out
table = jasokit.ZipTable()
assert jasokit.default_table_path() == "/usr/lib/jasokit/zipcode030101t6.dbf", jasokit.default_table_path()
assert len(table) > 0 and table.find("역삼동"), table
')
  checked+="; python3 imports jasokit, converts and opens the installed table"
fi

# The desktop program finds its table and keeps running until closed.
if dpkg-deb -c "$deb" | grep -q '/usr/lib/jasokit/Jaso_Kit$'; then
  status=0
  (cd / && QT_QPA_PLATFORM=offscreen timeout 3 Jaso_Kit) || status=$?
  [[ $status -eq 124 ]] || { echo "Jaso_Kit ended early with status $status" >&2; exit 1; }
  checked+="; Jaso_Kit starts"
else
  checked+="; Jaso_Kit not built, not started"
fi
echo "installed packages: $checked"
