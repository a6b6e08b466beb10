#!/usr/bin/env bash
# Builds a release of HEAD's commit into build/release/: the shipped exe, built from a clean
# export of the commit (git archive) in a folder of its own with the release settings, whatever
# build/ holds; signed when CODE_SIGNING_PFX is set (see scripts/sign.sh);
# CpuDriverCheck-<version>-win64.zip holding it with the README and CpuInfo.example.ini; a
# build-info file that says what built it (the commit, SOURCE_DATE_EPOCH, the Debian release and
# the exact package versions of the toolchain); and SHA256SUMS for all of them. Refuses to run
# when tracked files have uncommitted changes: the release would not hold them. Unsigned, two
# runs on one commit and one Debian release give the same bytes.
#   bash scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."

changed=$(git status --porcelain --untracked-files=no | cut -c4- | tr '\n' ' ')
if [ -n "$changed" ]; then
  echo "release.sh: refused: tracked files have uncommitted changes, which a release of $(git rev-parse --short HEAD) would not hold: ${changed% }" >&2
  exit 1
fi

bash scripts/install-deps.sh

commit=$(git rev-parse HEAD)
# The exe's time stamp and every time in the zip; the export has no history to take it from.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
version=$(sed -n 's/^project(CpuDriverCheck VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=CpuDriverCheck-$version-win64
out=build/release
work=$PWD/build/release-work
rm -rf "$work" "$out"
mkdir -p "$work/source" "$work/stage" "$out"
trap 'rm -rf "$work"' EXIT

git archive --format=tar "$commit" | tar -x -C "$work/source"
(
  cd "$work/source"
  cmake --preset mingw -DBUILD_TESTING=OFF -DCPUDRIVERCHECK_COVERAGE=OFF --no-warn-unused-cli >/dev/null
  cmake --build --preset mingw --target CpuDriverCheck >/dev/null
  cmake --install build/mingw --component release --prefix "$work/stage" >/dev/null
)
stage=$work/stage
unsigned_sha256=$(sha256sum <"$stage/CpuDriverCheck.exe" | cut -d' ' -f1)
bash scripts/sign.sh "$stage/CpuDriverCheck.exe"

# What someone needs to build the same bytes, after the model of Debian's .buildinfo files:
# the packages that own the toolchain's programs, libraries and headers, at their versions.
gxx=x86_64-w64-mingw32-g++-posix
toolchain_files=(
  "$(command -v "$gxx")" "$("$gxx" -print-prog-name=cc1plus)" "$("$gxx" -print-libgcc-file-name)"
  "$("$gxx" -print-file-name=libstdc++.a)" "$(readlink -f "$("$gxx" -print-file-name=libkernel32.a)")"
  "$(echo '#include <windows.h>' | "$gxx" -x c++ -M - | tr ' ' '\n' | grep '/windows\.h$' | sort -u)"
  "$(command -v x86_64-w64-mingw32-ld)" "$(command -v x86_64-w64-mingw32-windres)"
  "$(command -v cmake)" "$(command -v ninja)"
)
packages=$( (for file in "${toolchain_files[@]}"; do dpkg -S "$(readlink -f "$file")" | grep -v '^diversion' | cut -d: -f1; done
  echo cmake-data) | LC_ALL=C sort -u)
(
  . /etc/os-release
  echo "Format: 1.0"
  echo "Source: CpuDriverCheck"
  echo "Version: $version"
  echo "Commit: $commit"
  echo "Source-Date-Epoch: $SOURCE_DATE_EPOCH"
  echo "Build-Origin: Debian"
  echo "Build-Release: $(cat /etc/debian_version) ($VERSION_CODENAME)"
  echo "Build-Architecture: $(dpkg --print-architecture)"
  echo "Unsigned-Exe-Sha256: $unsigned_sha256"
  echo "Installed-Build-Depends:"
  for package in $packages; do
    echo " $package (= $(dpkg-query -W -f='${Version}' "$package"))"
  done | sed '$!s/$/,/'
) >"$out/$name.buildinfo"

epoch=$SOURCE_DATE_EPOCH
# A zip file cannot hold a time before 1980.
((epoch >= 315532800)) || epoch=315532800
(
  cd "$stage"
  chmod 0644 ./*
  touch -d "@$epoch" ./*
  # Fixed order and times, no extra attributes (owner, access times): the same bytes each time.
  LC_ALL=C ls | TZ=UTC zip -q -X -D "$OLDPWD/$out/$name.zip" -@
)
cp "$stage/CpuDriverCheck.exe" "$out/"
(cd "$out" && sha256sum "$name.zip" CpuDriverCheck.exe "$name.buildinfo" >SHA256SUMS)

echo "Release $version of $commit in $out:"
unzip -l "$out/$name.zip" | sed 's/^/  /'
sed 's/^/  /' "$out/SHA256SUMS"
