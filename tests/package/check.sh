#!/usr/bin/env bash
# Checks the Debian package: no lintian error (warnings are printed), a valid desktop entry and
# AppStream metadata, and the extracted programs running as an installed copy, which keeps its
# files in the per-user folder. Usage: tests/package/check.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "$1")
tmp=$(mktemp -d)
sim=""
trap '[ -z "$sim" ] || kill "$sim" 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "package check: $*" >&2; exit 1; }

# lintian ends with 1 on an error tag (warnings are only printed), 2 when it cannot run.
lintian --fail-on error "$deb" || fail "lintian found errors or could not run"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
bin=$root/usr/bin
version=$(dpkg-deb -f "$deb" Version)
[ "$("$bin/cfgtarascope-cli" --version)" = "cfgtarascope-cli $version" ] || fail "--version"

"$bin/cfgtarascope-sim" --port 0 --max-seconds 60 >"$tmp/sim.out" &
sim=$!
for _ in $(seq 50); do grep -q '^listening on ' "$tmp/sim.out" && break; sleep 0.1; done
address=$(sed -n 's/^listening on //p' "$tmp/sim.out")
[ -n "$address" ] || fail "the simulator did not start"
mkdir "$tmp/home"
status=0
HOME=$tmp/home env -u XDG_CONFIG_HOME "$bin/cfgtarascope-cli" read "$address" >"$tmp/tree" \
    2>"$tmp/read.err" || status=$?
[ "$status" -eq 0 ] || { cat "$tmp/read.err" >&2; fail "read ended with $status"; }
[ "$(head -n 1 "$tmp/tree")" = Red ] || fail "read did not print the tree"
[ -f "$tmp/home/.config/cfgtarascope/history.db" ] || fail "no history.db in ~/.config/cfgtarascope"
extra=$(ls "$bin" | grep -vxE 'cfgtarascope(-cli|-sim)?' || true)
[ -z "$extra" ] || fail "files written beside the installed programs: $extra"
echo "package check: $deb passed"
