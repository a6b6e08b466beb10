#!/bin/sh
# Wine's loader, started with the Unix address space laid out alike at every start:
#   wine.sh <program> [arguments]
#
# Debian's Wine has no preloader to hold the addresses a Windows process needs before its Unix
# libraries are in. The kernel puts the loader's heap at random within 1 GiB above its image
# (0x7d000000), and now and then over 0x7ffe0000, where Wine maps the shared user data: that
# start fails with "failed to map the shared user data: c0000018" (CreateProcessW: error 1359).
# Without randomization the heap follows the image. Every process Wine starts from this one
# inherits the setting. Where it cannot be set (a seccomp filter), Wine starts as it is.
loader=${WINE_DIR:-/usr/lib/wine}/wine64
arch=$(uname -m)
if setarch "$arch" -R true 2>/dev/null; then
  exec setarch "$arch" -R "$loader" "$@"
fi
exec "$loader" "$@"
