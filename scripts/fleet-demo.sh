#!/usr/bin/env bash
# Runs docs/fleet/playbook.yml through Ansible against three simulated shops on loopback: backup,
# check, roll-out, check again. tienda-sur's server scale refuses the item the roll-out changes,
# so that shop must fail the roll-out while the others pass; the script ends with 0 when they do.
# Installs Ansible (Debian's ansible-core) when missing and builds the project when needed.
# Usage: scripts/fleet-demo.sh   (CFG_BIN=FOLDER takes the programs from FOLDER, not build/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
begin=$SECONDS

if ! command -v ansible-playbook >/dev/null; then
    echo "Installing: ansible-core"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=300 ansible-core
fi
[ -n "${CFG_BIN:-}" ] || [ -x build/bin/cfgtarascope-cli ] || scripts/setup.sh
bin=$(cd "${CFG_BIN:-build/bin}" && pwd)

work=$(mktemp -d)
sims=()
finish() {
    local status=$?
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "Logs kept in $work" >&2; fi
}
trap finish EXIT
export ANSIBLE_LOCAL_TEMP="$work/ansible" ANSIBLE_REMOTE_TMP="$work/ansible"

# Each shop's "PC" is a folder with its own copy of the tool, so that its data.ini, logs and
# history.db are that shop's, as on a real PC; its simulator runs in a folder of its own.
item=13  # "Tiempo espera", a number of the common data (order 4); the references change it
shops=(tienda-centro tienda-norte tienda-sur)
hosts=""
for shop in "${shops[@]}"; do
    mkdir -p "$work/$shop/sim"
    cp "$bin/cfgtarascope-cli" "$work/$shop/"
    faults=()
    [ "$shop" != tienda-sur ] || faults=(--refuse "$item")
    (cd "$work/$shop/sim" &&
        exec "$bin/cfgtarascope-sim" --port 0 --max-seconds 600 "${faults[@]}" >out.txt 2>&1) &
    sims+=($!)
    for _ in $(seq 100); do
        grep -q '^listening on ' "$work/$shop/sim/out.txt" && break
        sleep 0.1
    done
    address=$(sed -n 's/^listening on //p' "$work/$shop/sim/out.txt")
    [ -n "$address" ] || { echo "the simulator of $shop did not start" >&2; exit 1; }
    echo "$shop: server scale on $address ${faults[*]}"
    hosts+="    $shop: {scale_conn: \"$address\"}"$'\n'
done

cat >"$work/inventory.yml" <<EOF
shops:
  hosts:
$hosts  vars:
    ansible_connection: local
    ansible_python_interpreter: "{{ ansible_playbook_python }}"
    cfgtarascope_cli: "$work/{{ inventory_hostname }}/cfgtarascope-cli"
    shop_dir: "$work/{{ inventory_hostname }}"
    backup_dir: "$work/control/backups"
    reference_dir: "$work/control/reference"
    reference_file: "{{ reference_dir }}/{{ inventory_hostname }}.xml"
EOF

bad=0
# run LOG TAG STATUS: one mode, its output shown from the first per-shop report on.
run() {
    local status=0
    echo
    echo "=== ansible-playbook --tags $2"
    ansible-playbook -i "$work/inventory.yml" docs/fleet/playbook.yml --tags "$2" \
        >"$work/$1.log" 2>&1 || status=$?
    sed -n '/^TASK \[What /,$p' "$work/$1.log"
    [ "$status" -eq "$3" ] || { echo "UNEXPECTED: ansible-playbook ended with $status, not $3"; bad=1; }
}
# expect LOG SHOP COUNT...: the shop's PLAY RECAP line holds each COUNT (changed=0, failed=1).
expect() {
    local line
    line=" $(grep -E "^$2 +:" "$work/$1.log" | tr -s ' ') "
    shift 2
    for count in "$@"; do
        [[ "$line" == *" $count "* ]] || { echo "UNEXPECTED: $line lacks $count"; bad=1; }
    done
}

run backup backup 0
for shop in "${shops[@]}"; do
    backup=$(ls "$work"/control/backups/*/"$shop.xml" 2>/dev/null || true)
    [ -n "$backup" ] || { echo "UNEXPECTED: no backup of $shop on the control node"; bad=1; continue; }
    mkdir -p "$work/control/reference"
    cp "$backup" "$work/control/reference/$shop.xml"
done
# The chain's new value, in two shops' references: tienda-norte takes it, tienda-sur refuses it.
for shop in tienda-norte tienda-sur; do
    LC_ALL=C sed -i "/<OPTION id=\"$item\"/,/<VALUE>/ s|<VALUE> *[^<]* </VALUE>|<VALUE> 20 </VALUE>|" \
        "$work/control/reference/$shop.xml"
done
echo
echo "References: item $item set to 20 for tienda-norte and tienda-sur"

run check-1 check 0
expect check-1 tienda-centro changed=0 failed=0
expect check-1 tienda-norte changed=1 failed=0
expect check-1 tienda-sur changed=1 failed=0
run rollout rollout 2
expect rollout tienda-centro changed=0 failed=0
expect rollout tienda-norte changed=1 failed=0
expect rollout tienda-sur changed=0 failed=1
run check-2 check 0
expect check-2 tienda-centro changed=0 failed=0
expect check-2 tienda-norte changed=0 failed=0
expect check-2 tienda-sur changed=1 failed=0

echo
echo "=== history.db on tienda-norte's PC (cfgtarascope-cli history list)"
"$work/tienda-norte/cfgtarascope-cli" history list

echo
if [ "$bad" -ne 0 ]; then
    echo "The demo did not behave as expected ($((SECONDS - begin)) s)."
    exit 1
fi
echo "As expected: tienda-sur failed the roll-out (item $item refused), tienda-centro and"
echo "tienda-norte passed, and tienda-norte now matches its reference ($((SECONDS - begin)) s)."
