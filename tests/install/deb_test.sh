#!/usr/bin/env bash
# Builds the Debian package, installs it with apt, runs the installed quarvel-cli and removes the
# package again, checking that nothing of it is left. Given a .deb (the one scripts/package made), tests
# that one instead of building. Needs root and apt; skips with a message otherwise.
#   deb_test.sh BUILD_DIR | PACKAGE.deb
set -euo pipefail
prebuilt=""
if [[ "$1" == *.deb ]]; then
  [ -f "$1" ] || { echo "deb test: no package $1" >&2; exit 1; }
  prebuilt="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
  build="$(cd "$(dirname "$prebuilt")/.." && pwd)"
else
  build="$(cd "$1" && pwd)"
fi
fail() { echo "deb test: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null; then
  echo "deb test: skipped (installing packages needs root and apt on this machine)"
  exit 0
fi
if dpkg-query -W -f='${Status}' quarvel 2>/dev/null | grep -q "install ok installed"; then
  fail "a quarvel package is already installed here; remove it first"
fi

if [ -n "$prebuilt" ]; then
  deb="$prebuilt"
else
  rm -rf "$build/package"
  (cd "$build" && cpack -G DEB -B "$build/package" >/dev/null) || fail "cpack failed"
  deb=$(ls "$build"/package/quarvel_*.deb)
fi
echo "deb test: testing $deb"
dpkg-deb -f "$deb" Depends
dpkg-deb -f "$deb" Recommends | grep -q qt6-translations-l10n || fail "Qt's translations are not recommended"

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$deb" >/dev/null || fail "apt install failed"
trap 'apt-get purge -y -qq quarvel >/dev/null 2>&1 || true' EXIT
/usr/bin/quarvel-cli --version | grep -q "1.2" || fail "the installed quarvel-cli does not run"
if [ -n "$(find "$build" -maxdepth 5 -type f -name quarvel -perm -u+x | head -1)" ]; then
  [ -x /usr/bin/quarvel ] || fail "the installed quarvel is missing"
  /usr/bin/quarvel --version | grep -q "1.2" || fail "the installed quarvel does not run"
fi
[ -f /usr/share/quarvel/lang/fr.json ] || fail "the language packs are missing"
desktop-file-validate /usr/share/applications/quarvel.desktop || fail "desktop entry"

apt-get purge -y -qq quarvel >/dev/null || fail "apt purge failed"
trap - EXIT
left=$(dpkg -L quarvel 2>/dev/null | grep -v '^/\.$' || true)
for f in /usr/bin/quarvel-cli /usr/bin/rk9-sim /usr/bin/quarvel /usr/share/quarvel /usr/share/applications/quarvel.desktop; do
  [ ! -e "$f" ] || fail "$f is left after removal"
done
[ -z "$left" ] || fail "dpkg still lists files"
echo "deb test: passed (installed, ran quarvel-cli --version, removed cleanly)"
