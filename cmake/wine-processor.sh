#!/bin/sh
# Gives the processor of $WINEPREFIX a driver, as every Windows PC's processors have one, or
# takes it away again: a processor-class device key (ROOT\DEMOCPU\0000) and the INF of
# examples/demo-processor.inf, whose provider is "Example Provider". The wineserver of the
# prefix must be running (cmake/wine-session.sh start).
#   sh cmake/wine-processor.sh add|remove
set -eu
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEPREFIX WINEDEBUG="${WINEDEBUG:--all}"
wine="$(dirname "$0")/wine.sh"
here=$(cd "$(dirname "$0")/.." && pwd)
device_key='HKLM\System\CurrentControlSet\Enum\ROOT\DEMOCPU'
inf="$WINEPREFIX/drive_c/windows/inf/demo-processor.inf"

quiet() { "$wine" "$@" </dev/null >/dev/null 2>&1; }

case "${1:-}" in
  add)
    quiet reg add "$device_key\\0000" /v ClassGUID /t REG_SZ /d '{50127DC3-0F36-415E-A6CC-4CB3BE910B65}' /f
    quiet reg add "$device_key\\0000" /v HardwareID /t REG_MULTI_SZ /d 'ROOT\DEMOCPU' /f
    cp "$here/examples/demo-processor.inf" "$inf"
    ;;
  remove)
    quiet reg delete "$device_key" /f || true
    rm -f "$inf"
    ;;
  *)
    echo "usage: $0 add|remove" >&2
    exit 2
    ;;
esac
