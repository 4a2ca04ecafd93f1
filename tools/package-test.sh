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
dev_deb=$(ls "$build"/jasokit-dev_*.deb)
python_deb=$(ls "$build"/python3-jasokit_*.deb 2>/dev/null || true)
debs=("$deb" "$dev_deb")
packages=(jasokit jasokit-dev)
if [[ -n "$python_deb" ]]; then
  debs+=("$python_deb")
  packages+=(python3-jasokit)
fi
for d in "${debs[@]}"; do echo "package: $(basename "$d")"; done
apt-get install -y "${debs[@]}" > /dev/null
trap 'apt-get purge -y "${packages[@]}" > /dev/null' EXIT

version=$(cd / && jasokit --version)
[[ "$version" == "jasokit 1.0.0" ]] || { echo "unexpected version: $version" >&2; exit 1; }
out=$(cd / && jasokit convert "서울특별시 강남구 역삼동 123-45")
[[ "$out" == "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA " ]] || { echo "unexpected conversion: $out" >&2; exit 1; }
# The installed table is found beside the real executable, through the link.
(cd / && jasokit zip 역삼동 > /dev/null)
checked="jasokit --version, convert and zip work"

# The service's units are installed, not enabled.
unit=$(dpkg -L jasokit | grep -E '/systemd/system/jasokit.service$')
grep -q '^DynamicUser=yes' "$unit" && grep -q -- '--listen 127.0.0.1:8080' "$unit" || { echo "unexpected unit: $unit" >&2; exit 1; }
[[ ! -e /etc/systemd/system/multi-user.target.wants/jasokit.service ]] || { echo "jasokit.service was enabled" >&2; exit 1; }
checked+="; the service unit is installed, not enabled"

# A program builds against the installed headers and library, as a user's would.
work=$(mktemp -d)
trap 'rm -rf "$work"; apt-get purge -y "${packages[@]}" > /dev/null' EXIT
c++ -std=c++17 "$here/tests/consumer/main.cpp" -o "$work/consumer" $(pkg-config --cflags --libs jasokit)
out=$(cd / && "$work/consumer" "서울 관악구 신림동 739" | sed -n 2p)
[[ "$out" == "739 Sillim-dong, Gwanak-gu, Seoul, Republic of Korea" ]] || { echo "unexpected consumer output: $out" >&2; exit 1; }
grep -qE "libjasokit.so.3 => (/usr)?/lib/" <<< "$(ldd "$work/consumer")" || { echo "the consumer does not use /usr/lib/libjasokit.so.3" >&2; exit 1; }
checked+="; a program builds against jasokit-dev and runs"

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
contents=$(dpkg-deb -c "$deb")  # not piped into grep -q: pipefail would see dpkg-deb's SIGPIPE
if grep -q '/usr/lib/jasokit/Jaso_Kit$' <<< "$contents"; then
  status=0
  (cd / && QT_QPA_PLATFORM=offscreen timeout 3 Jaso_Kit) || status=$?
  [[ $status -eq 124 ]] || { echo "Jaso_Kit ended early with status $status" >&2; exit 1; }
  checked+="; Jaso_Kit starts"
else
  checked+="; Jaso_Kit not built, not started"
fi
echo "installed packages: $checked"
