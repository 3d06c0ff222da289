#!/usr/bin/env bash
# quarvel.exe end to end under Wine, through its real Win32 controls: the Linux rk9-sim serves a
# pseudo-terminal that the prefix shows as COM1, gui_driver.exe starts the program on an Xvfb display of
# this test's own and presses Connect, OK, Save (twice, one file of each layout), Disconnect and Yes, and
# opens the About box; a second run against a tool that falls silent waits for "Disconnected"; a third
# keeps the Connection dialog open while COM7 comes and goes. The record the window shows and the saved
# files must equal what the Linux quarvel-cli prints and writes for the same simulator. The program's
# manifest and icon must be in quarvel.exe.
# Usage: gui_wine_test.sh <windows build> <linux build>
set -uo pipefail
win_build="$(cd "$1" && pwd)"
linux_build="$(cd "$2" && pwd)"
export WINEPREFIX="$win_build/wine" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
exe="$win_build/src/app/gui/quarvel.exe"
driver="$win_build/tests/windows/gui/gui_driver.exe"
sim="$linux_build/tools/rk9-sim/rk9-sim"
cli="$linux_build/tools/quarvel-cli/quarvel-cli"
for f in "$exe" "$driver" "$sim" "$cli"; do
  [ -e "$f" ] || { echo "gui_wine_test: $f is missing (build the windows and default presets)"; exit 1; }
done

# quarvel.exe's own resources: the manifest (type 24, id 1) that asks for the common controls 6, and the
# icon group 128 the shell shows.
resources="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n '/The .rsrc Resource Directory/,$p')"
has_resource() {  # has_resource TYPE ID: the resource directory lists that id under that type (hex, 6 digits)
  awk -v type="0x$1" -v id="0x$2" '
    /^[0-9a-f]+   Entry: ID: / { v = $4; sub(",", "", v); under = (v == type) }
    /^[0-9a-f]+     Entry: ID: / { v = $4; sub(",", "", v); if (under && v == id) found = 1 }
    END { exit !found }' <<<"$resources"
}
manifest_ok=1
if has_resource 000018 000001 &&
   strings "$exe" | grep 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' >/dev/null; then
  manifest_ok=0
fi
icon_ok=1; has_resource 00000e 000080 && icon_ok=0
# Windows refuses to start a program whose manifest is not well-formed XML (Wine is lenient): the embedded
# text must parse, and name its DPI awareness.
manifest_xml_ok=1
/usr/bin/python3 - "$exe" <<'PY' && manifest_xml_ok=0
import sys
import xml.dom.minidom
data = open(sys.argv[1], "rb").read()
start = data.find(b"<?xml")
end = data.find(b"</assembly>", start)
if start < 0 or end < 0:
    sys.exit(1)
doc = xml.dom.minidom.parseString(data[start:end + len(b"</assembly>")])
sys.exit(0 if doc.getElementsByTagName("dpiAwareness") else 1)
PY

work="$(mktemp -d)"
sim_pids=(); xvfb_pid=""
passed=0; failed=0
# Where Windows lists the present COM ports (a driver writes the value of each port it starts).
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
stop_sim() {
  for pid in "${sim_pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  sim_pids=()
}
cleanup() {
  stop_sim
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  if [ -L "$WINEPREFIX/dosdevices/com7" ]; then
    wine reg delete "$serialcomm" /v QuarvelTestCom7 /f >/dev/null 2>&1
    rm -f "$WINEPREFIX/dosdevices/com7"
  fi
  rm -f "$WINEPREFIX/dosdevices/com1"
  rm -rf "$work"
}
trap cleanup EXIT
check() {  # check NAME CONDITION-RESULT [detail]
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "PASS $1"; else failed=$((failed + 1)); echo "FAIL $1 ${3:-}"; fi
}
serve() {  # serve N [rk9-sim options]: a simulator for COM N on a pseudo-terminal, whose path goes to $pty
  local n="$1"; shift
  "$sim" --com "$n" "$@" >"$work/sim$n.out" 2>"$work/sim$n.err" &
  sim_pids+=($!)
  for _ in $(seq 100); do grep -q "ready" "$work/sim$n.out" 2>/dev/null && break; sleep 0.1; done
  pty="$(sed -n 's/^rk9-sim ready: \([^ ]*\).*/\1/p' "$work/sim$n.out")"
  [ -n "$pty" ] || { echo "gui_wine_test: rk9-sim did not start: $(cat "$work/sim$n.err")"; exit 1; }
}
start_sim() {  # start_sim [rk9-sim options]: serves COM1
  serve 1 "$@"
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"
}
wait_for() {  # wait_for FILE PID: until the driver (PID) has made FILE, at most a minute
  for _ in $(seq 600); do
    [ -e "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# A display of our own: Xvfb picks a free number and writes it to the descriptor.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "gui_wine_test: Xvfb did not start: $(cat "$work/xvfb.err")"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

cd "$work"
winpath() { echo "Z:$1" | tr / '\\'; }
win_dir="$(winpath "$work")"
win_exe="$(winpath "$exe")"
# The run's wineserver was started without a display, and so was its default desktop: the driver runs on a
# virtual desktop of its own (a Wine explorer on this display), and quarvel.exe, its child, with it. That
# explorer's exit code is not the driver's, so the driver's last line says how it went.
drive() {  # drive OUTPUT driver-arguments...
  local out="$1"; shift
  timeout 200 wine explorer "/desktop=quarvel-gui-$$,1024x768" "$(winpath "$driver")" "$@" >"$out" 2>"$out.err"
  tr -d '\r' <"$out" | grep -E '^(PASS|FAIL|SHOWN|window)'
  grep -qE '^gui_driver [a-z]+: 0 failed' "$out"  # a line's CR comes after the words matched
}

check "quarvel.exe carries its manifest for the common controls 6" "$manifest_ok"
check "quarvel.exe carries the icon 128" "$icon_ok"
check "quarvel.exe's manifest is well-formed XML" "$manifest_xml_ok"

# The reference: the Linux program reading the same simulator.
start_sim
QUARVEL_PORTS="1=$pty" "$cli" read --port 1 --report linux.txt >linux.out 2>linux.err
check "Linux read exits 0" $? "($(cat linux.err))"
QUARVEL_PORTS="1=$pty" "$cli" read --port 1 --report linux.csv >/dev/null 2>>linux.err
check "Linux CSV read exits 0" $? "($(cat linux.err))"

drive session.out session "$win_exe" "$win_dir\\win.txt" "$win_dir\\win.csv"
rc=$?
check "the session run passes" "$rc" "($(tail -3 session.out.err))"
tr -d '\r' <session.out | sed -n 's/^RECORD //p' >shown.out
cmp -s shown.out linux.out; check "the window shows the Linux build's record" $? "($(diff shown.out linux.out | head -8))"
cmp -s win.txt linux.txt; check "the saved .txt equals the Linux build's" $? "($(cmp win.txt linux.txt 2>&1))"
cmp -s win.csv linux.csv; check "the saved .csv equals the Linux build's" $? "($(cmp win.csv linux.csv 2>&1))"
stop_sim

# A read takes eight requests; two keep-alives later the tool falls silent.
start_sim --silent-after 10
drive lost.out linklost "$win_exe"
rc=$?
check "the link-lost run passes" "$rc" "($(tail -3 lost.out.err))"
stop_sim

# Windows ends the session while the tool is connected: the program ends at once and frees the port.
start_sim
drive endsession.out endsession "$win_exe"
check "the end-of-session run passes" $? "($(tail -3 endsession.out.err))"
stop_sim

# The Connection dialog open while COM7 comes and goes: a second simulator's pseudo-terminal becomes COM7
# and the system's list of ports gets its entry, then both go again.
start_sim
mkdir "$work/signals"
drive hotplug.out hotplug "$win_exe" "$(winpath "$work/signals")" &
drive_pid=$!
if wait_for "$work/signals/opened" "$drive_pid"; then
  serve 7
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com7"
  wine reg add "$serialcomm" /v QuarvelTestCom7 /t REG_SZ /d COM7 /f >/dev/null 2>"$work/reg.err"
  check "COM7 is entered in the system's list of ports" $? "($(cat "$work/reg.err"))"
  if wait_for "$work/signals/listed" "$drive_pid"; then
    wine reg delete "$serialcomm" /v QuarvelTestCom7 /f >/dev/null 2>"$work/reg.err"
    check "COM7 is taken off the system's list of ports" $? "($(cat "$work/reg.err"))"
    rm -f "$WINEPREFIX/dosdevices/com7"
  fi
fi
wait "$drive_pid"
check "the hot-plug run passes" $? "($(tail -3 hotplug.out.err))"
stop_sim

echo "gui_wine: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
