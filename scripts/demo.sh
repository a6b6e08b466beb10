#!/usr/bin/env bash
# The tool's whole job under Wine, in a prefix of the demo's own (build/demo-prefix):
#   1. the prefix has no processor driver of the configured provider: the tool runs the
#      installer beside it (the tests' stand-in, which says what it received);
#   2. a processor device with that provider's driver is added: nothing to install.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export WINEPREFIX="$PWD/build/demo-prefix" WINEDEBUG=-all
wine=cmake/wine.sh
trap 'sh cmake/wine-processor.sh remove; sh cmake/wine-session.sh stop' EXIT

cmake --preset mingw >/dev/null
cmake --build --preset mingw --target CpuDriverCheck stand_in_installer >/dev/null
sh cmake/wine-session.sh start
sh cmake/wine-processor.sh remove

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/mingw/bin/CpuDriverCheck.exe "$demo/"
cp build/mingw/bin/stand_in_installer.exe "$demo/ZEL.exe"
cp examples/CpuInfo.ini "$demo/"
# The stand-in installer writes what it received here.
export CDC_STANDIN_REPORT="$("$wine" winepath -w "$PWD/$demo/installer-report.txt" 2>/dev/null)"

run() {
  echo "\$ wine64 $demo/CpuDriverCheck.exe"
  local code=0
  "$wine" "$demo/CpuDriverCheck.exe" </dev/null || code=$?
  echo
  echo "(exit code $code)"
}

echo "== $demo/CpuInfo.ini"
cat "$demo/CpuInfo.ini"
echo
echo "== 1. No processor driver from the configured provider"
run
if [ -f "$demo/installer-report.txt" ]; then
  echo "-- what the installer (stand-in ZEL.exe) received:"
  sed 's/^/   /' "$demo/installer-report.txt"
  rm -f "$demo/installer-report.txt"
fi

echo
echo "== 2. A processor device with the configured provider's driver"
sh cmake/wine-processor.sh add
run
if [ -f "$demo/installer-report.txt" ]; then
  echo "-- unexpected: the installer ran"
  exit 1
fi
