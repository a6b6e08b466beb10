#!/usr/bin/env bash
# Builds the tool, stages it with an example CpuInfo.ini in build/demo and runs it under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export WINEPREFIX="$PWD/build/mingw/wineprefix" WINEDEBUG=-all
trap 'sh cmake/wine-session.sh stop' EXIT

cmake --preset mingw >/dev/null
cmake --build --preset mingw --target CpuDriverCheck >/dev/null
sh cmake/wine-session.sh start

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/mingw/bin/CpuDriverCheck.exe "$demo/"
cp examples/CpuInfo.ini "$demo/"

echo "== $demo/CpuInfo.ini"
cat "$demo/CpuInfo.ini"
echo "== CpuDriverCheck.exe (exit code follows)"
set +e
/usr/lib/wine/wine64 "$demo/CpuDriverCheck.exe" </dev/null
code=$?
set -e
echo
echo "== exit code $code"
