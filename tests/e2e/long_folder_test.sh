#!/bin/sh
# The tool in folders whose paths are long, run under Wine as a shell runs it. (Wine's own
# CreateProcessW cannot start a program whose path is longer than 260 units, so the test
# programs cannot run it there; Wine's loader, started from here, can.)
#   245 characters: the tool's own path is 264 units long; CpuInfo.ini is read and ZEL.exe started.
#   250 characters: CpuInfo.ini's path would be longer than 259; one line says so on standard error.
# The configured provider is one that no machine has, so the installer is always needed; the
# installed provider, whatever the prefix's processors carry, is not looked at.
# Usage: long_folder_test.sh WINE_LOADER BUILD_BIN_DIR
set -eu
wine=$1
bin=$2
. "$(dirname "$0")/wine_lines.sh"
base=$(mktemp -d /tmp/cdc-long.XXXXXX)
trap 'rm -rf "$base"' EXIT
failures=0

fail() {
  echo "FAIL ($1): $2"
  failures=$((failures + 1))
}

# A folder under $base whose Windows path (Z: and the Unix path) has $1 characters.
make_folder() {
  pad=$(($1 - 2 - ${#base} - 1))
  folder="$base/$(printf "%${pad}s" | tr ' ' x)"
  mkdir -p "$folder"
  windows_folder="Z:$(printf '%s' "$folder" | tr / '\\')"
  [ ${#windows_folder} -eq "$1" ] || { echo "test error: folder of ${#windows_folder} characters"; exit 1; }
  cp "$bin/CpuDriverCheck.exe" "$folder/"
  cp "$bin/stand_in_installer.exe" "$folder/ZEL.exe"
  printf '[CPU]\r\nProvider=Long Folder Test Provider\r\n' >"$folder/CpuInfo.ini"
}

run_tool() {
  code=0
  CDC_STANDIN_REPORT="$windows_folder\\report.txt" \
    "$wine" "$folder/CpuDriverCheck.exe" </dev/null >"$base/out" 2>"$base/err" || code=$?
  [ "$code" -eq 0 ] || fail "$1" "exit code $code"
  set_wine_lines_aside "$base/err"
}

# Standard output with the installed provider left out.
output() { sed 's/, driver=[^\r]*\r$/, driver=\r/' "$base/out"; }

make_folder 245
run_tool 245
printf 'need to install driver\r\nini=Long Folder Test Provider, driver=\r\nzelPath: %s\\ZEL.exe\r\nStart Install\r\nFinish Install' \
  "$windows_folder" >"$base/expected"
output | cmp -s - "$base/expected" ||
  fail 245 "standard output: expected $(od -An -c "$base/expected" | head -n 20); written $(od -An -c "$base/out" | head -n 20)"
[ ! -s "$base/err" ] || fail 245 "standard error: $(cat "$base/err")"
grep -qx 'command_line=\[ -s\]' "$folder/report.txt" && grep -qx finished "$folder/report.txt" ||
  fail 245 "the installer did not run to its end: $(cat "$folder/report.txt" 2>&1)"

make_folder 250
run_tool 250
# Nothing configured: the decision then depends on the prefix's processors.
printf 'ini=, driver=\r\n' >"$base/expected"
output | sed -n 2p | cmp -s - "$base/expected" ||
  fail 250 "standard output: expected $(od -An -c "$base/expected") as line 2; written $(od -An -c "$base/out" | head -n 20)"
expected_err="CpuDriverCheck: the configuration was not read: the path of CpuInfo.ini in the folder \"$windows_folder\" would be longer than 259 characters: error 206: "
case $(cat "$base/err") in
  "$expected_err"*) ;;
  *) fail 250 "standard error: expected to begin $expected_err; written $(cat "$base/err")" ;;
esac
[ "$(wc -l <"$base/err")" -eq 1 ] || fail 250 "standard error is not one line"

[ "$failures" -eq 0 ] && echo "long folders: passed" || show_wine_lines "$base/err"
exit "$failures"
