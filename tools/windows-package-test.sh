#!/usr/bin/env bash
# The Windows packages under wine, as a user would have them: in a fresh
# prefix, installs jasokit-VERSION-win64-setup.exe silently with the PATH entry,
# checks the files, the Start-menu entry, the uninstall key and PATH, compares
# jasokit.exe's answers with the Linux build's, uninstalls with the key's
# QuietUninstallString and checks that nothing is left. Then a PATH too long
# for the installer is left alone, and the portable zip runs from a folder
# with a Korean name.
#   WINDOWS_BUILD_DIR  the packages (default build-windows/)
#   LINUX_JASOKIT      the program to compare with (default build/cli/jasokit)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${WINDOWS_BUILD_DIR:-"$here/build-windows"}
linux_jasokit=${LINUX_JASOKIT:-"$here/build/cli/jasokit"}
version=$(sed -n 's/^project(jasokit VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
setup="$build/jasokit-$version-win64-setup.exe"
zip="$build/jasokit-$version-win64.zip"
start=$SECONDS

fail() { echo "windows-package-test: $*" >&2; exit 1; }
for f in "$setup" "$zip" "$linux_jasokit"; do
  [[ -f "$f" ]] || fail "missing $f (packages: cmake --build BUILD --target windows-packages)"
done

work=$(mktemp -d)
# No Mono or Gecko prompts, and no menu entries on the host for the
# Start-menu entry.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LC_ALL=C.UTF-8
trap 'wineserver -k 2> /dev/null || true; rm -rf "$work"' EXIT
# One server for the whole run, from the start: wine was flaky with a server
# per program.
mkdir "$WINEPREFIX"
wineserver -p
wineboot -i > /dev/null 2>&1

install_dir="$WINEPREFIX/drive_c/Program Files/Jaso_Kit"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Jaso_Kit.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Jaso_Kit'
environment_key='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment'

# reg_value KEY [NAME]: the value's data, or nothing (status 1) when missing;
# without NAME all the key's values, "NAME    TYPE    DATA" a line. Each
# reg.exe costs half a second, so a key is read once where it can be.
reg_value() {
  local out
  out=$(wine reg query "$1" ${2:+/v "$2"} 2> /dev/null | tr -d '\r') || return 1
  if [[ -n "${2:-}" ]]; then sed -n "s/^    $2    REG_[A-Z_]*    //p" <<< "$out"; else echo "$out"; fi
}
set_path() { wine reg add "$environment_key" /v Path /t REG_EXPAND_SZ /d "$1" /f > /dev/null; }

# The packages hold the same files; the zip's are the reference.
mkdir "$work/portable"
(cd "$work/portable" && cmake -E tar xf "$zip")
portable="$work/portable/jasokit-$version-win64"
expected_files=$( (cd "$portable" && find . -type f; echo ./uninstall.exe) | sort)
has_window=no
[[ -f "$portable/Jaso_Kit.exe" ]] && has_window=yes

# expect_output WHAT COMMAND... -- ARGS...: the Windows command given ARGS
# answers as the Linux jasokit does.
expect_output() {
  local what=$1 command=() want got
  shift
  while [[ $1 != -- ]]; do command+=("$1"); shift; done
  shift
  want=$("$linux_jasokit" "$@")
  got=$(cd "$work" && wine "${command[@]}" "$@") || fail "$what failed"
  [[ "$got" == "$want" ]] || fail "$what answered '$got', the Linux build '$want'"
}

check_installed() {
  local files
  files=$(cd "$install_dir" && find . -type f | sort)
  [[ "$files" == "$expected_files" ]] || fail "installed files differ from the zip's: $files"
  local differing
  differing=$(cd "$portable" && find . -type f ! -exec cmp -s {} "$install_dir/{}" \; -print)
  [[ -z "$differing" ]] || fail "installed files differ from the zip's copies: $differing"
  if [[ $has_window == yes ]]; then [[ -f "$shortcut" ]] || fail "no Start-menu entry"; fi
  local values got
  values=$(reg_value "$uninstall_key") || fail "no uninstall key"
  got=$(sed -n 's/^    \(DisplayName\|DisplayVersion\|Publisher\|UninstallString\|QuietUninstallString\)    REG_SZ    /\1=/p' <<< "$values" | sort)
  [[ "$got" == "DisplayName=Jaso_Kit $version
DisplayVersion=$version
Publisher=Jaso_Kit developers
QuietUninstallString=\"C:\\Program Files\\Jaso_Kit\\uninstall.exe\" /S
UninstallString=\"C:\\Program Files\\Jaso_Kit\\uninstall.exe\"" ]] || fail "the uninstall key holds: $values"
  quiet_uninstall=$(sed -n 's/^QuietUninstallString=//p' <<< "$got")
}

# uninstall_and_check PATH: uninstalls with the QuietUninstallString that
# check_installed read, as Windows would; PATH is what must be left.
uninstall_and_check() {
  local program
  program=$(sed 's/^"\(.*\)" \/S$/\1/' <<< "$quiet_uninstall")
  wine "$program" /S
  # The uninstaller goes on from a copy of itself once the first one ends.
  local tries=0
  while [[ -e "$install_dir" || -e "$shortcut" ]] && ((tries++ < 100)); do sleep 0.1; done
  [[ ! -e "$install_dir" ]] || fail "left after uninstalling: $(cd "$install_dir" && find . | tr '\n' ' ')"
  [[ ! -e "$shortcut" ]] || fail "the Start-menu entry is left after uninstalling"
  # The key goes last.
  tries=0
  while reg_value "$uninstall_key" > /dev/null && ((tries++ < 10)); do sleep 0.2; done
  ((tries < 10)) || fail "the uninstall key is left after uninstalling"
  [[ "$(reg_value "$environment_key" Path)" == "$1" ]] || fail "PATH after uninstalling: $(reg_value "$environment_key" Path)"
}

original_path=$(reg_value "$environment_key" Path)
path="$original_path;Z:\keep"
set_path "$path"
wine "$setup" /S /ADDTOPATH
check_installed
[[ "$(reg_value "$environment_key" Path)" == "$path;C:\\Program Files\\Jaso_Kit" ]] ||
  fail "PATH after installing: $(reg_value "$environment_key" Path)"
expect_output "the installed jasokit.exe" 'C:\Program Files\Jaso_Kit\jasokit.exe' -- zip 역삼동
expect_output "jasokit found on PATH" cmd /c jasokit.exe -- zip --prefix 삼성
uninstall_and_check "$path"

# Without the switch PATH is not touched. Uninstalling takes the folder out
# in any case and spelling, and leaves the other entries, empty ones too.
path="$original_path;;Z:\keep;c:\program files\jaso_kit\;Z:\after"
set_path "$path"
wine "$setup" /S
check_installed
[[ "$(reg_value "$environment_key" Path)" == "$path" ]] || fail "PATH changed without /ADDTOPATH"
uninstall_and_check "$original_path;;Z:\\keep;Z:\\after"

# A PATH too long for the installer's strings is never written back shortened.
path="$original_path;Z:\\$(printf 'x%.0s' $(seq 1100))"
set_path "$path"
wine "$setup" /S /ADDTOPATH
check_installed
uninstall_and_check "$path"

# The portable folder runs wherever it is unpacked.
korean="$WINEPREFIX/drive_c/users/Public/자소 키트"
mkdir -p "$korean"
mv "$portable" "$korean/"
expect_output "the unpacked jasokit.exe" "C:\\users\\Public\\자소 키트\\jasokit-$version-win64\\jasokit.exe" -- zip 역삼동

echo "windows packages: installed, ran, uninstalled and ran unpacked under wine in $((SECONDS - start)) s" \
  "($(basename "$setup") $(stat -c %s "$setup") bytes, $(basename "$zip") $(stat -c %s "$zip") bytes)"
