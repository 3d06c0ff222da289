#!/usr/bin/env bash
# The Windows installer under Wine, in a prefix of its own beside the build's (<build>/wine-installer,
# made once by scripts/wine-prefix), so that the key it writes never meets the settings tests'. The
# installer runs silently; afterwards the programs, packs and manuals are under Program Files, the
# uninstaller is registered, and HKCU\Software\Kordane\Quarvel holds Language1..Language3 pointing at the
# installed packs, except that a Language2 the user had already is kept as it was. The installed
# quarvel-cli.exe starts (and quarvel.exe, when the build has it). The silent uninstaller removes the
# program, its menu entries and its registration, and leaves the settings key.
# Usage: installer_test.sh <windows build> [installer.exe]   (without one, make-installer makes it)
set -uo pipefail
build="$(cd "$1" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
# No display and no menu entries on the Linux desktop (winemenubuilder) from the test's shortcuts.
export WINEPREFIX="$build/wine-installer" WINEDEBUG=-all WINEARCH=win64 DISPLAY=""
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
work="$(mktemp -d)"
passed=0; failed=0
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
check() {  # check NAME CONDITION-RESULT [detail]
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); echo "PASS $1"; else failed=$((failed + 1)); echo "FAIL $1 ${3:-}"; fi
}
same() { [ "$1" = "$2" ]; echo $?; }
# The data of one value as reg.exe shows it ("    NAME    REG_SZ    DATA"), or nothing.
value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' \
    | awk -v n="$2" 'tolower($1) == tolower(n) { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print; exit }'
}
has_key() { wine reg query "$1" >/dev/null 2>&1; echo $?; }

if [ $# -ge 2 ]; then
  setup="$2"
else
  setup="$("$root/packaging/windows/make-installer" "$build" "$work/package" | tail -1)" \
    || { echo "installer_test: make-installer failed"; exit 1; }
fi
[ -f "$setup" ] || { echo "installer_test: no installer $setup"; exit 1; }
gui_expected=0
ninja -C "$build" -t query quarvel >/dev/null 2>&1 && gui_expected=1

"$root/scripts/wine-prefix" "$WINEPREFIX"
key='HKCU\Software\Kordane\Quarvel'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quarvel'
dir="$WINEPREFIX/drive_c/Program Files/Quarvel"
win_dir='C:\Program Files\Quarvel'
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quarvel"

# The prefix lasts from run to run: start without an installation and without the key, then give the
# user a Language2 of their own.
if [ -f "$dir/uninstall.exe" ]; then wine "$dir/uninstall.exe" /S; wineserver -w; fi
rm -rf "$dir" "$menu"
wine reg delete "$key" /f >/dev/null 2>&1 || true
wine reg add "$key" /v Language2 /t REG_SZ /d 'D:\own\italiano.json' /f >/dev/null 2>&1
check "the user's Language2 is there before" "$(same "$(value "$key" Language2)" 'D:\own\italiano.json')"

# This prefix plays Windows 10 (Debian's Wine plays Windows 7 unless told otherwise). Told to be Windows 7
# for the installer alone, the installer refuses, with status 2, and puts nothing down.
wine reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null 2>&1
app_defaults="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$setup")"
wine reg add "$app_defaults" /v Version /t REG_SZ /d win7 /f >/dev/null 2>&1
wine "$setup" /S >"$work/setup7.out" 2>&1
status=$?
wine reg delete "$app_defaults" /f >/dev/null 2>&1
check "on Windows 7 the installer refuses and installs nothing" \
  "$([ "$status" -eq 2 ] && [ ! -e "$dir" ]; echo $?)" "status $status, $(ls "$dir" 2>&1)"

wine "$setup" /S >"$work/setup.out" 2>&1
check "silent install exits 0" $? "$(cat "$work/setup.out")"
missing=""
for f in quarvel-cli.exe lang/fr.json lang/it.json lang/bg.json fonts/DejaVuSans.ttf fonts/DejaVuSans-Bold.ttf \
  doc/quarvel-manual.txt doc/quarvel-cli.txt uninstall.exe; do
  [ -f "$dir/$f" ] || missing+=" $f"
done
check "program, packs, fonts and manual under Program Files" "$([ -z "$missing" ]; echo $?)" "missing:$missing"
# The manuals are Windows's own: no dialout group, no /dev paths, no QUARVEL_PORTS, no ~/.config. The one the
# Start menu opens is the Windows user guide.
check "the manuals are the Windows ones" "$(! grep -qE 'dialout|/dev/tty|QUARVEL_PORTS|~/\.config' \
  "$dir/doc/quarvel-cli.txt" "$dir/doc/quarvel-manual.txt"; echo $?)"
check "the main manual is the Windows user guide" "$(head -c 40 "$dir/doc/quarvel-manual.txt" | grep -q '# Quarvel on Windows'; echo $?)"
check "the manual's menu entry opens the user guide" \
  "$(tr -d '\0' <"$menu/Quarvel manual.lnk" | grep -q 'quarvel-manual.txt'; echo $?)"
check "Start-menu entries" "$([ -f "$menu/Quarvel command line.lnk" ] && [ -f "$menu/Quarvel manual.lnk" ] \
  && [ -f "$menu/Uninstall Quarvel.lnk" ]; echo $?)" "$(ls "$menu" 2>&1)"
quiet="$(value "$uninstall_key" QuietUninstallString)"
check "uninstaller registered" "$(same "$quiet" "\"$win_dir\\uninstall.exe\" /S")" "$quiet"
check "Language1 is the installed French pack" "$(same "$(value "$key" Language1)" "$win_dir\\lang\\fr.json")" \
  "$(value "$key" Language1)"
check "the user's Language2 is kept" "$(same "$(value "$key" Language2)" 'D:\own\italiano.json')" \
  "$(value "$key" Language2)"
check "Language3 is the installed Bulgarian pack" "$(same "$(value "$key" Language3)" "$win_dir\\lang\\bg.json")" \
  "$(value "$key" Language3)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
out="$(wine "$dir/quarvel-cli.exe" --version 2>&1 | tr -d '\r')"
check "installed quarvel-cli.exe --version" "$(grep -qF "$version" <<<"$out"; echo $?)" "$out"

if [ "$gui_expected" -eq 1 ]; then
  check "quarvel.exe, its manual and its menu entry" \
    "$([ -f "$dir/quarvel.exe" ] && [ -f "$dir/doc/quarvel.txt" ] && [ -f "$menu/Quarvel.lnk" ]; echo $?)"
  # The window needs a display, which a server started without one (as this prefix's is) never gives:
  # a new server under Xvfb. The program must still be running after 5 s (it did not fail to start).
  wineserver -k 2>/dev/null || true
  xvfb-run -a wine "$dir/quarvel.exe" >"$work/gui.out" 2>&1 &
  gui_pid=$!
  sleep 5
  kill -0 "$gui_pid" 2>/dev/null
  check "installed quarvel.exe starts" $? "$(cat "$work/gui.out")"
  wineserver -k 2>/dev/null || true
  wait "$gui_pid" 2>/dev/null
else
  check "no quarvel.exe without the target" "$([ ! -e "$dir/quarvel.exe" ]; echo $?)"
fi

# The uninstaller copies itself to a temporary folder and returns at once; the copy's end is the
# wineserver's (this prefix runs nothing else).
wine "$dir/uninstall.exe" /S >"$work/uninstall.out" 2>&1
check "silent uninstall exits 0" $? "$(cat "$work/uninstall.out")"
wineserver -w
check "program folder removed" "$([ ! -e "$dir" ]; echo $?)" "$(find "$dir" 2>&1 | head -5)"
check "Start-menu folder removed" "$([ ! -e "$menu" ]; echo $?)"
check "uninstaller unregistered" "$([ "$(has_key "$uninstall_key")" -ne 0 ]; echo $?)"
check "settings key kept with its values" "$([ "$(value "$key" Language1)" = "$win_dir\\lang\\fr.json" ] \
  && [ "$(value "$key" Language2)" = 'D:\own\italiano.json' ] \
  && [ "$(value "$key" Language3)" = "$win_dir\\lang\\bg.json" ]; echo $?)"

echo "installer_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
