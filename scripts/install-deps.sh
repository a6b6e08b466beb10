#!/usr/bin/env bash
# Installs what building and testing on Debian need, when it is missing. Run as root.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-x86-64-posix wine64 googletest openssl osslsigncode zip unzip gcovr clang clang-format clang-tidy
          locales)
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
# One test runs Wine under ru_RU.UTF-8, whose system texts are then Russian; without glibc's
# locale, Wine could not even open a path with letters beyond ASCII.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf8'; then
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8
fi
