#!/usr/bin/env bash
# Installs the build into a temporary prefix, then reads the simulator with the installed quarvel-cli,
# with the interface in French: the pack must come from the install location, not the source tree.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d)"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then kill -TERM "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

prefix="$work/prefix"
export XDG_CONFIG_HOME="$work/config"
export HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME" "$HOME"

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for f in bin/quarvel-cli bin/rk9-sim share/quarvel/lang/fr.json share/quarvel/lang/it.json share/quarvel/lang/bg.json \
         share/applications/quarvel.desktop share/metainfo/com.kordane.quarvel.metainfo.xml \
         share/man/man1/quarvel-cli.1.gz share/man/man1/rk9-sim.1.gz share/man/man1/quarvel.1.gz; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
for size in 16 32 48 64 128; do
  [ -s "$prefix/share/icons/hicolor/${size}x${size}/apps/quarvel.png" ] || fail "missing icon $size"
done

key="$XDG_CONFIG_HOME/kordane/quarvel.reg"
grep -q "^sz:Language1=$prefix/share/quarvel/lang/fr.json\$" "$key" || { cat "$key"; fail "install did not register the packs"; }
# The technician picks French in the window's language menu; emulate its saved choice.
printf 'sz:Language=1\n' >> "$key"

# Copy the installed programs away from the build tree and run them with no source tree in sight.
cd "$work"
"$prefix/bin/rk9-sim" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do grep -q 'ready' "$work/sim.out" 2>/dev/null && break; sleep 0.05; done
dev=$(sed -n 's/^rk9-sim ready: \([^ ]*\).*/\1/p' "$work/sim.out")
[ -n "$dev" ] || fail "rk9-sim did not get ready"

out=$(QUARVEL_PORTS="1=$dev" timeout 30 "$prefix/bin/quarvel-cli" read --port 1 --speed 9) || fail "quarvel-cli read failed"
echo "$out"
grep -q "RK-9" <<<"$out" || fail "the tool model is missing"
grep -qi "Outil\|Numéro de série" <<<"$out" || fail "the French labels did not come from the installed pack"
"$prefix/bin/quarvel-cli" --version | grep -q "1.2" || fail "quarvel-cli --version"
echo "install test: passed"
