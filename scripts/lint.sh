#!/usr/bin/env bash
# Format and lint: clang-format must leave every C++ file as it is, and clang-tidy (.clang-tidy)
# must find nothing in src/. clang-tidy reads the mingw build's compile commands and parses the
# code as clang would for the MinGW-w64 target, with its headers and GCC's C++ library.
#   bash scripts/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
clang-format --dry-run --Werror $(git ls-files '*.cpp' '*.h')
echo "clang-format: every file as formatted"

cmake --preset mingw >/dev/null  # writes compile_commands.json
# GCC's C++ headers for MinGW, in a folder named for GCC's version: the compiler says which.
gxx=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")/include/c++
[ -d "$gxx" ] || { echo "lint.sh: no MinGW C++ headers at $gxx" >&2; exit 1; }
target_args=(--target=x86_64-w64-mingw32 --sysroot=/usr/x86_64-w64-mingw32 -nostdinc++
             "-isystem$gxx" "-isystem$gxx/x86_64-w64-mingw32" "-isystem$gxx/backward")
clang-tidy --quiet -p build/mingw "${target_args[@]/#/--extra-arg=}" $(git ls-files 'src/*.cpp') 2>/dev/null
echo "clang-tidy: nothing found in src/"
