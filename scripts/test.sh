#!/usr/bin/env bash
# Builds the tool and its tests (MinGW-w64 cross-build) and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export WINEPREFIX="$PWD/build/mingw/wineprefix" WINEDEBUG=-all
# Whatever happens, no wineserver of ours outlives the run holding someone's pipe.
trap 'sh cmake/wine-session.sh stop' EXIT

cmake --preset mingw >/dev/null
cmake --build --preset mingw
sh cmake/wine-session.sh start
ctest --preset mingw "$@"
