#!/bin/sh
# Standard error on a console, as an administrator at a prompt sees it: Wine started on a
# pseudo-terminal (script(1)) gives the tool a console, so its error line goes out through
# WriteConsoleW, and Wine shows it in the terminal's UTF-8. Under ru_RU.UTF-8 the system's text
# is Russian; the folder is named in Cyrillic and Chinese.
# Usage: console_test.sh WINE_LOADER BUILD_BIN_DIR
set -eu
. "$(dirname "$0")/wine_lines.sh"
work=$(mktemp -d /tmp/cdc-console.XXXXXX)
trap 'rm -rf "$work"' EXIT
folder="$work/Установка 驱动"
mkdir "$folder"
cp "$2/CpuDriverCheck.exe" "$folder/"
printf '[CPU]\r\nProvider=Console Test Provider\r\n' >"$folder/CpuInfo.ini"
# Standard output to a file; standard error stays on the terminal, wide enough for one line.
LC_ALL=ru_RU.UTF-8 script -qec "stty cols 1000; '$1' '$folder/CpuDriverCheck.exe' </dev/null >'$work/out'" \
  "$work/terminal" </dev/null >/dev/null
windows_folder="Z:$(printf '%s' "$folder" | tr / '\\')"
expected="CpuDriverCheck: the installer \"$windows_folder\\ZEL.exe\" was not started: error 2: Файл не найден."
# What the terminal shows, without its control sequences, carriage returns, empty lines and the
# lines of script(1) itself and Wine's own: that one line and nothing more.
sed 's/\x1b\[[0-9;?]*[A-Za-z]//g; s/\r//g; /^$/d; /^Script \(started\|done\) on /d' "$work/terminal" >"$work/shown"
set_wine_lines_aside "$work/shown"
printf '%s\n' "$expected" | cmp -s - "$work/shown" ||
  { printf 'FAIL: expected on the console:\n%s\nshown:\n' "$expected"; cat "$work/shown"; show_wine_lines "$work/shown"; exit 1; }
echo "console: passed"
