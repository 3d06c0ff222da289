#!/usr/bin/env bash
# Runs a GoogleTest program of the Win32 GUI under Wine on an Xvfb display of its own, inside a Wine
# virtual desktop (the run's wineserver has no display of its own). The program's output comes back
# through a file, and GoogleTest's report file says how it went: the desktop's exit code is not the
# program's. Usage: wine_gui_run.sh program.exe [GoogleTest arguments...]
set -uo pipefail
exe="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
shift
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
[ -n "${WINEPREFIX:-}" ] || { echo "wine_gui_run: WINEPREFIX is not set"; exit 1; }

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.err" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "wine_gui_run: Xvfb did not start: $(cat "$work/xvfb.err")"; exit 1; }
export DISPLAY=":$(head -1 "$work/display")"

winpath() { echo "Z:$1" | tr / '\\'; }
report="$work/report.xml"
timeout 280 wine explorer "/desktop=quarvel-test-$$,1024x768" "$(winpath "$exe")" \
  "--gtest_output=xml:$(winpath "$report")" "$@" >"$work/out" 2>"$work/err" </dev/null
rc=$?
tr -d '\r' <"$work/out"
if [ "$rc" -eq 124 ]; then echo "wine_gui_run: $(basename "$exe") did not end within 280 s"; exit 1; fi
[ -s "$report" ] || { echo "wine_gui_run: no report from $(basename "$exe"): $(tail -5 "$work/err")"; exit 1; }
# The totals of the report's root element.
tests=$(sed -n 's/.*<testsuites tests="\([0-9]*\)" failures="\([0-9]*\)".*/\1/p' "$report" | head -1)
failures=$(sed -n 's/.*<testsuites tests="\([0-9]*\)" failures="\([0-9]*\)".*/\2/p' "$report" | head -1)
errors=$(grep -o '<testsuites [^>]*errors="[0-9]*"' "$report" | grep -o 'errors="[0-9]*"' | grep -o '[0-9]*')
echo "wine_gui_run: $(basename "$exe"): ${tests:-?} tests, ${failures:-?} failures, ${errors:-?} errors"
[ -n "$tests" ] && [ "$tests" -gt 0 ] && [ "${failures:-1}" -eq 0 ] && [ "${errors:-1}" -eq 0 ]
