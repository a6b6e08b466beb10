#!/usr/bin/env bash
# Builds a release into build/release/: the shipped exe (mingw preset), signed when
# CODE_SIGNING_PFX is set (see scripts/sign.sh), CpuDriverCheck-<version>-win64.zip holding it
# with the README and CpuInfo.example.ini, and SHA256SUMS for the zip and the exe. Unsigned,
# two runs on one commit give the same bytes: the exe's time stamp and every time in the zip
# are those of the commit (or SOURCE_DATE_EPOCH), and the zip's entries are in a fixed order.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target CpuDriverCheck >/dev/null

version=$(sed -n 's/^project(CpuDriverCheck VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
epoch=$(cat build/mingw/source-date-epoch.txt)
# A zip file cannot hold a time before 1980.
((epoch >= 315532800)) || epoch=315532800
out=build/release
zip_name=CpuDriverCheck-$version-win64.zip
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

cmake --install build/mingw --component release --prefix "$stage" >/dev/null
bash scripts/sign.sh "$stage/CpuDriverCheck.exe"

rm -rf "$out"
mkdir -p "$out"
(
  cd "$stage"
  chmod 0644 ./*
  touch -d "@$epoch" ./*
  # Fixed order and times, no extra attributes (owner, access times): the same bytes each time.
  LC_ALL=C ls | TZ=UTC zip -q -X -D "$OLDPWD/$out/$zip_name" -@
)
cp "$stage/CpuDriverCheck.exe" "$out/"
(cd "$out" && sha256sum "$zip_name" CpuDriverCheck.exe >SHA256SUMS)

echo "Release $version in $out:"
unzip -l "$out/$zip_name" | sed 's/^/  /'
sed 's/^/  /' "$out/SHA256SUMS"
