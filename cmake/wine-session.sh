#!/bin/sh
# Starts or stops the wineserver of $WINEPREFIX, detached from every stream: a server that
# inherits a pipe keeps it open for as long as it lives, and whoever reads that pipe waits.
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}"
WINE_DIR=${WINE_DIR:-/usr/lib/wine}

case "${1:-}" in
  start)
    mkdir -p "$WINEPREFIX"
    "$WINE_DIR/wineserver" -p </dev/null >/dev/null 2>&1 &
    # Creates the prefix on first use (several seconds), otherwise returns at once.
    "$(dirname "$0")/wine.sh" wineboot -i </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$WINE_DIR/wineserver" -k </dev/null >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
