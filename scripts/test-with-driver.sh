#!/usr/bin/env bash
# The end-to-end tests again (scripts/test.sh -L end-to-end), with the suite's Wine prefix
# holding a processor device that has a driver (provider "Example Provider", as
# cmake/wine-processor.sh adds it), as the processors of every Windows PC do. Tests that must
# own the device records skip themselves here; every other expectation follows the provider
# that the prefix's records give. The device is removed again at the end.
#   bash scripts/test-with-driver.sh [ctest options]
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
export WINEPREFIX="$PWD/build/mingw/wineprefix" WINEDEBUG=-all
trap 'sh cmake/wine-processor.sh remove; sh cmake/wine-session.sh stop' EXIT
sh cmake/wine-session.sh start
sh cmake/wine-processor.sh add
bash scripts/test.sh -L end-to-end "$@"
