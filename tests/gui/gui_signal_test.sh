#!/usr/bin/env bash
# The window program from outside: quarvel on an Xvfb display of its own, driven by real key presses
# (xdotool), connected to rk9-sim; then SIGTERM, SIGINT or SIGHUP (a log-out). Each must end it as Exit
# would: status 128 + the signal, the port closed and its UUCP lock file removed, promptly.
# Usage: gui_signal_test.sh <build folder>
set -uo pipefail
build="$(cd "$1" && pwd)"
quarvel="$build/src/app/gui/quarvel"
sim="$build/tools/rk9-sim/rk9-sim"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "gui_signal_test: $tool is missing (scripts/setup installs it)"; exit 1; }
done
work="$(mktemp -d)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill -KILL "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL $*"; exit 1; }

# A display of its own: Xvfb picks a free number and writes it to the pipe.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 10 -u "$display_fd" number || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$number"

"$sim" --com 1 >"$work/sim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q ready "$work/sim.out" && break; sleep 0.05; done
pty="$(sed -n 's/^rk9-sim ready: \([^ ]*\).*/\1/p' "$work/sim.out")"
[ -n "$pty" ] || fail "rk9-sim did not start"
export QUARVEL_PORTS="1=$pty" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" QUARVEL_LOCK_DIR="$work/lock"
mkdir -p "$QUARVEL_LOCK_DIR"
lock="$QUARVEL_LOCK_DIR/LCK..${pty#/dev/}"
lock="${lock//pts\//pts_}"

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() { for _ in $(seq "$2"); do eval "$1" && return 0; sleep 0.1; done; return 1; }

for signal in TERM INT HUP; do
  "$quarvel" >"$work/quarvel.out" 2>&1 &
  pid=$!
  pids+=("$pid")
  wid=""
  wait_for 'wid="$(xdotool search --all --onlyvisible --pid "$pid" --name "^Quarvel" 2>/dev/null | head -1)"; [ -n "$wid" ]' 100 \
    || fail "SIG$signal: the window did not appear ($(cat "$work/quarvel.out"))"
  # The focus starts on the model field; ten tab stops on is Connect. A window just mapped may not take
  # keys yet: the presses are repeated, a second apart, until the Connection dialog is there.
  conn=""
  for _ in $(seq 10); do
    xdotool windowfocus --sync "$wid" 2>/dev/null
    xdotool key --clearmodifiers --delay 20 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
    wait_for 'conn="$(xdotool search --all --onlyvisible --pid "$pid" --name "^Connection$" 2>/dev/null | head -1)"; [ -n "$conn" ]' 10 \
      && break
  done
  [ -n "$conn" ] || fail "SIG$signal: the Connection dialog did not open"
  # Return presses OK (the dialog's first tab stop has the focus).
  closed=0
  for _ in $(seq 10); do
    xdotool windowfocus --sync "$conn" 2>/dev/null
    xdotool key --clearmodifiers Return
    if wait_for '! xdotool search --all --onlyvisible --pid "$pid" --name "^Connection$" >/dev/null 2>&1' 10; then closed=1; break; fi
  done
  [ "$closed" = 1 ] || fail "SIG$signal: the Connection dialog did not close"
  # Connected: the window's caption is its plain name once the read is shown, and the port is held.
  wait_for '[ "$(xdotool getwindowname "$wid" 2>/dev/null)" = Quarvel ]' 100 || fail "SIG$signal: no read shown"
  [ "$(tr -d ' \n' <"$lock" 2>/dev/null)" = "$pid" ] || fail "SIG$signal: no lock file naming quarvel"
  kill -"$signal" "$pid"
  ended=1
  wait_for '! kill -0 "$pid" 2>/dev/null' 30 || ended=0
  [ "$ended" = 1 ] || fail "SIG$signal: quarvel still ran 3 s after the signal"
  wait "$pid"; rc=$?
  case "$signal" in TERM) want=143 ;; INT) want=130 ;; HUP) want=129 ;; esac
  [ "$rc" = "$want" ] || fail "SIG$signal: exit status $rc, expected $want ($(cat "$work/quarvel.out"))"
  [ ! -e "$lock" ] || fail "SIG$signal: the port's lock file was left behind"
  echo "PASS SIG$signal: status $rc, port closed, lock removed"
done
echo "gui_signal: 3 passed"
