#!/usr/bin/env bash
# Builds everything, starts the scale-network simulator with its built-in network on loopback,
# and reads that network with the command-line tool (the tree on stdout), then saves it to
# build/red-simulada.xml.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

out=$(mktemp)
build/bin/cfgtarascope-sim --max-seconds 600 >"$out" &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$out"' EXIT
for _ in $(seq 100); do
    grep -q '^listening on ' "$out" && break
    sleep 0.1
done
address=$(sed -n 's/^listening on //p' "$out" | head -n 1)
[ -n "$address" ] || { echo "the simulator did not start" >&2; exit 1; }
echo "Simulated scale network on $address"

build/bin/cfgtarascope-cli read "$address"
build/bin/cfgtarascope-cli save "$address" build/red-simulada.xml
echo "Configuration saved to build/red-simulada.xml"
