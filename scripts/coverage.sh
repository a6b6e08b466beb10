#!/usr/bin/env bash
# Coverage of src/ by the whole suite: an instrumented build of its own (the coverage preset,
# -O0, the shipped exe instrumented too, in build/mingw-coverage), every test under Wine, an
# HTML report at build/coverage/index.html, and gcovr's summary as the last lines. Fails when
# lines fall below 99% or branches below 90%.
#   bash scripts/coverage.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

build=build/mingw-coverage
# The counters of a program run under Wine are written to its objects' absolute Unix paths,
# which Wine would otherwise resolve on the current drive.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all GCOV_PREFIX=Z:
trap 'sh cmake/wine-session.sh stop' EXIT

cmake --preset coverage >/dev/null
cmake --build --preset coverage >/dev/null
find "$build" -name '*.gcda' -delete
sh cmake/wine-session.sh start
ctest --preset coverage >"$build/ctest.log" || { cat "$build/ctest.log"; exit 1; }
sh cmake/wine-session.sh stop

rm -rf build/coverage
mkdir -p build/coverage
# Counters are looked for only where the tool's own objects are: the build folder also holds the
# Wine prefix, whose drive Z: links to / (gcovr 7 follows links, and found counters of other
# builds that way, down to /proc).
gcovr --root . --object-directory "$build" --gcov-executable x86_64-w64-mingw32-gcov-posix --filter src/ \
  --html-details build/coverage/index.html --fail-under-line 99 --fail-under-branch 90 --print-summary \
  "$build/CMakeFiles"
