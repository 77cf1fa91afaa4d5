#!/usr/bin/env bash
# The collection's modules through ansible-playbook against simulated shops on loopback: one good,
# one refusing item 13, one read in part, one unreachable. Usage: run.sh BIN (77: no Ansible).
set -euo pipefail
command -v ansible-playbook >/dev/null || { echo "ansible-playbook not found: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$tmp"' EXIT
# A copy of the tool, so that its own history.db would land in tmp.
cp "$1/cfgtarascope-cli" "$tmp/"
vars="tmp=$tmp"
for shop in good:"" refusing:"--refuse 13" partial:"--unreadable 2"; do
    "$1/cfgtarascope-sim" --port 0 --max-seconds 120 ${shop#*:} >"$tmp/${shop%%:*}.out" &
    for _ in $(seq 50); do grep -q '^listening on ' "$tmp/${shop%%:*}.out" && break; sleep 0.1; done
    vars+=" ${shop%%:*}=$(sed -n 's/^listening on //p' "$tmp/${shop%%:*}.out")"
done
ANSIBLE_COLLECTIONS_PATH=$here/../../ansible ANSIBLE_LOCAL_TEMP=$tmp/a ANSIBLE_REMOTE_TMP=$tmp/a ANSIBLE_PIPELINING=1 \
    ansible-playbook -i localhost, -c local -e "$vars" "$here/playbook.yml"
