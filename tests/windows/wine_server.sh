#!/usr/bin/env bash
# The Wine side of a Windows test run: `start` makes the build folder's prefix (once) and starts one
# wineserver that stays for the run, so that each test program starts quickly; `stop` ends that server,
# so that no Wine process outlives the run. WINEPREFIX names the prefix.
# `start` also lays a null-modem pair of pseudo-terminals (pty_pair.py) behind COM2 and COM3 for the serial
# tests; `stop` ends it by its pid.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEDEBUG=-all
case "${1:-}" in
  start)
    "$here/../../scripts/wine-prefix" "$WINEPREFIX"
    # A server still up from the build (GoogleTest's discovery runs the programs) ends a few seconds after
    # its last program; the run's own, persistent one starts after it. One that stays up serves a program
    # run by hand, which the run would share the prefix with: that is refused rather than raced.
    if ! timeout 30 wineserver -w 2>/dev/null; then
      echo "wine_server: a Wine program still runs in $WINEPREFIX; end it (WINEPREFIX=$WINEPREFIX wineserver -k)" >&2
      exit 1
    fi
    wineserver -p >/dev/null 2>&1 </dev/null
    # The first Windows program of a server's life starts Wine's system processes (services.exe, plugplay,
    # winedevice, rpcss), which then live as long as the server and keep that program's standard error.
    # Were it a test, CTest would wait on its output pipe until the time-out, so they are started here, by
    # wineboot with its output going to a file; it returns once the services are up. A wineboot that fails
    # (once seen ending at once in a CI run) gets one more try on a new server; both say what Wine said.
    boot_err="$WINEPREFIX/wineboot.err"
    boot() { timeout 120 "$here/../../scripts/wine-run" wineboot </dev/null >/dev/null 2>"$boot_err"; }
    boot || {
      status=$?
      echo "wine_server: wineboot ended with status $status ($(tail -3 "$boot_err" | tr '\n' ' ')); once more" >&2
      wineserver -k 2>/dev/null || true
      timeout 30 wineserver -w 2>/dev/null || true
      wineserver -p >/dev/null 2>&1 </dev/null
      boot || {
        status=$?
        echo "wine_server: Wine's system processes did not start (wineboot status $status: $(tail -3 "$boot_err"))" >&2
        exit 1
      }
    }
    if [ -f "$WINEPREFIX/pty-pair.pid" ]; then kill "$(cat "$WINEPREFIX/pty-pair.pid")" 2>/dev/null || true; fi
    pair_out="$WINEPREFIX/pty-pair.out"
    rm -f "$pair_out"
    /usr/bin/python3 "$here/pty_pair.py" >"$pair_out" 2>/dev/null </dev/null &
    echo $! >"$WINEPREFIX/pty-pair.pid"
    for _ in $(seq 50); do [ -s "$pair_out" ] && break; sleep 0.1; done
    read -r com2 com3 <"$pair_out"
    # The prefix's own links to the machine's serial devices (com1 -> /dev/ttyS0 ...) go: the tests see
    # exactly the ports they lay.
    find "$WINEPREFIX/dosdevices" -maxdepth 1 -name 'com*' -type l -delete
    ln -sfn "$com2" "$WINEPREFIX/dosdevices/com2"
    ln -sfn "$com3" "$WINEPREFIX/dosdevices/com3"
    ;;
  stop)
    if [ -f "$WINEPREFIX/pty-pair.pid" ]; then
      kill "$(cat "$WINEPREFIX/pty-pair.pid")" 2>/dev/null || true
      rm -f "$WINEPREFIX/pty-pair.pid" "$WINEPREFIX/dosdevices/com2" "$WINEPREFIX/dosdevices/com3"
    fi
    wineserver -k || true
    wineserver -w || true
    ;;
  *) echo "usage: wine_server.sh start|stop" >&2; exit 2 ;;
esac
