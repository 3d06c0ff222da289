#!/usr/bin/env bash
# quarvel-cli.exe end to end under Wine: the Linux rk9-sim serves a pseudo-terminal that the Wine prefix
# shows as COM1; the Windows program reads the simulated tool through its own serial code, and its record
# and report bytes must equal those of the Linux quarvel-cli reading the same simulator.
# Usage: cli_wine_test.sh <windows build> <linux build>
set -uo pipefail
win_build="$(cd "$1" && pwd)"
linux_build="$(cd "$2" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
run="$here/../../scripts/wine-run"
export WINEPREFIX="$win_build/wine"
exe="$win_build/tools/quarvel-cli/quarvel-cli.exe"
sim="$linux_build/tools/rk9-sim/rk9-sim"
cli="$linux_build/tools/quarvel-cli/quarvel-cli"
for f in "$exe" "$sim" "$cli"; do
  [ -x "$f" ] || { echo "cli_wine_test: $f is missing (build the windows and default presets)"; exit 1; }
done

work="$(mktemp -d)"
sim_pid=""
passed=0; failed=0; skipped=0
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -f "$WINEPREFIX/dosdevices/com1"
  rm -rf "$work"
}
trap cleanup EXIT
check() {  # check NAME CONDITION-RESULT [detail]
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "PASS $1"; else failed=$((failed + 1)); echo "FAIL $1 ${3:-}"; fi
}

# The prefix first (made once per build folder), so that its time is not counted against a read.
"$run" cmd /c exit 0 >/dev/null 2>&1 || true
mkdir -p "$WINEPREFIX/dosdevices"

"$sim" --com 1 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do grep -q "ready" "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
pty="$(sed -n 's/^rk9-sim ready: \([^ ]*\).*/\1/p' "$work/sim.out")"
[ -n "$pty" ] || { echo "cli_wine_test: rk9-sim did not start: $(cat "$work/sim.err")"; exit 1; }
ln -sfn "$pty" "$WINEPREFIX/dosdevices/com1"

cd "$work"
# Windows: COM1 is \\.\COM1, the pseudo-terminal behind the prefix's com1 link.
start=$(date +%s%N)
"$run" "$exe" read --port 1 --report win.txt >win.out 2>win.err
rc=$?
echo "read under Wine: $(( ($(date +%s%N) - start) / 1000000 )) ms"
check "read --port 1 exits 0" "$rc" "($(cat win.err))"
QUARVEL_PORTS="1=$pty" "$cli" read --port 1 --report linux.txt >linux.out 2>linux.err
check "Linux read exits 0" $? "($(cat linux.err))"
grep -q "RK" win.out; check "the record names the simulated tool" $? "($(cat win.out))"
# Wine's console ends lines with CR LF; the text is otherwise the same.
tr -d '\r' <win.out >win.lf
cmp -s win.lf linux.out; check "the record equals the Linux build's" $? "($(diff win.lf linux.out | head -5))"
cmp -s win.txt linux.txt; check "--report bytes equal the Linux build's" $? "($(cmp win.txt linux.txt 2>&1))"

# The same port again while the first holder keeps it: Windows refuses the second CreateFile (share mode 0)
# and the program would say "in use by another program"; Wine lets the second one open, so the check
# cannot be made here.
echo "SKIP a second open of a held COM port is refused: Wine allows a second CreateFile of the same COM port"
skipped=$((skipped + 1))

# The history, with SQLite compiled into the program: the read above was kept, the views show it.
"$run" "$exe" history --tool T-417 --format json >hist.out 2>hist.err
check "history keeps the read" $? "($(cat hist.err))"
grep -q '"tool_serial": "T-417"' hist.out; check "history --tool shows the read" $? "($(cat hist.out))"
"$run" "$exe" history --format csv --output fleet.csv >/dev/null 2>hist.err
check "history --format csv --output exits 0" $? "($(cat hist.err))"
head -c 3 fleet.csv | od -An -tx1 | grep -q "ef bb bf"; check "the CSV export starts with a byte-order mark" $?
"$run" "$exe" history serviced --tool T-417 --note "new die" >/dev/null 2>hist.err
check "history serviced records a visit" $? "($(cat hist.err))"

# The certificate of that visit, through the same libharu (cross-built) and the fonts beside the program:
# the same page as on Linux, field for field.
"$run" "$exe" certificate --tool T-417 --output cert.pdf >/dev/null 2>cert.err
check "certificate writes a PDF" $? "($(cat cert.err))"
pdftotext -layout cert.pdf cert.txt 2>cert.err
check "pdftotext reads the certificate" $? "($(cat cert.err))"
for field in "Service certificate" "T-417" "Tool Serial Number" "Work done" "new die" "Next service due" "Signature"; do
  grep -qF "$field" cert.txt; check "the certificate shows \"$field\"" $? "($(cat cert.txt))"
done

"$run" "$exe" ports >ports.out 2>ports.err
grep -q "COM1" ports.out; check "ports lists COM1" $? "($(cat ports.out ports.err))"

echo "cli_wine: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
