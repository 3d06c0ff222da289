#!/usr/bin/env bash
# The Wine side of a Windows test run: `start` makes the build folder's prefix (once) and starts one
# wineserver that stays for the run, so that each test program starts quickly; `stop` ends that server,
# so that no Wine process outlives the run. WINEPREFIX names the prefix.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEDEBUG=-all
case "${1:-}" in
  start)
    "$here/../../scripts/wine-prefix" "$WINEPREFIX"
    wineserver -p
    ;;
  stop)
    wineserver -k || true
    wineserver -w || true
    ;;
  *) echo "usage: wine_server.sh start|stop" >&2; exit 2 ;;
esac
