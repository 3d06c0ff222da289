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
# The installed programs read a simulated tool and write its certificate (libharu and the DejaVu fonts come
# with the package's dependencies).
home="$(mktemp -d)"
XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" /usr/bin/rk9-sim --tool-serial T-DEB >"$home/sim.out" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q "rk9-sim ready" "$home/sim.out" 2>/dev/null && break; sleep 0.1; done
dev="$(grep -o '/dev/pts/[0-9]*' "$home/sim.out" | head -1)"
XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" QUARVEL_PORTS="1=$dev" /usr/bin/quarvel-cli read --port 1 \
  >/dev/null 2>"$home/read.err" || { kill "$sim"; fail "the installed quarvel-cli could not read rk9-sim: $(cat "$home/read.err")"; }
kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null
XDG_CONFIG_HOME="$home/config" XDG_STATE_HOME="$home/state" /usr/bin/quarvel-cli certificate --tool T-DEB \
  --output "$home/c.pdf" 2>"$home/cert.err" || fail "the installed quarvel-cli wrote no certificate: $(cat "$home/cert.err")"
[ "$(head -c 5 "$home/c.pdf")" = "%PDF-" ] || fail "the certificate is not a PDF"
rm -rf "$home"
desktop-file-validate /usr/share/applications/quarvel.desktop || fail "desktop entry"

apt-get purge -y -qq quarvel >/dev/null || fail "apt purge failed"
trap - EXIT
left=$(dpkg -L quarvel 2>/dev/null | grep -v '^/\.$' || true)
for f in /usr/bin/quarvel-cli /usr/bin/rk9-sim /usr/bin/quarvel /usr/share/quarvel /usr/share/applications/quarvel.desktop; do
  [ ! -e "$f" ] || fail "$f is left after removal"
done
[ -z "$left" ] || fail "dpkg still lists files"
echo "deb test: passed (installed, ran quarvel-cli --version, read rk9-sim and wrote a certificate, removed cleanly)"
