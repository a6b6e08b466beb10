#!/usr/bin/env bash
# Builds the shipped exe from two clean clones of HEAD, in folders of different names and one
# after the other, and compares them byte for byte; also with any exe given as an argument
# (a build of the same commit). Fails on the first difference.
#   bash scripts/check-reproducible.sh [OTHER.exe ...]
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d /tmp/cdc-reproduce.XXXXXX)
trap 'rm -rf "$work"' EXIT
exes=()
for folder in first "second build, elsewhere"; do
  git clone -q . "$work/$folder"
  (cd "$work/$folder" && cmake --preset mingw -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null &&
    cmake --build --preset mingw --target CpuDriverCheck >/dev/null)
  exes+=("$work/$folder/build/mingw/bin/CpuDriverCheck.exe")
done
exes+=("$@")

status=0
for exe in "${exes[@]}"; do
  echo "$(sha256sum <"$exe" | cut -d' ' -f1)  ${exe#"$work/"}"
  cmp -s "${exes[0]}" "$exe" || status=1
done
if ((status)); then
  echo "Not reproducible: the builds above differ." >&2
else
  echo "Reproducible: ${#exes[@]} builds of $(git rev-parse --short HEAD), the same bytes."
fi
exit "$status"
