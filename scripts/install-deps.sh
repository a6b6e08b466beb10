#!/usr/bin/env bash
# Installs what building and testing on Debian need, when it is missing. Run as root.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest openssl osslsigncode zip unzip gcovr clang clang-format clang-tidy)
# npx checks the Windows workflow in CI; a machine image may bring Node.js of its own.
command -v npx >/dev/null || packages+=(nodejs npm)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
