#!/usr/bin/env bash
# Runs docs/fleet/playbook.yml, with the collection cfgtarascope.scales from this checkout,
# against three simulated shops on loopback: a backup, the check (--check --diff) with
# tienda-norte differing from its reference and tienda-sur's scales down, a staged roll-out once
# tienda-sur is back, a second roll-out that changes nothing, and a backup again. Ends with 0
# when every shop did what it should. Sets up and builds the project (and installs Ansible)
# when needed. Usage: scripts/fleet-demo.sh   (CFG_BIN=FOLDER takes the programs from FOLDER)
set -euo pipefail
cd "$(dirname "$0")/.."
begin=$SECONDS

command -v ansible-playbook >/dev/null || scripts/setup.sh
[ -n "${CFG_BIN:-}" ] || [ -x build/bin/cfgtarascope-cli ] || scripts/setup.sh
bin=$(cd "${CFG_BIN:-build/bin}" && pwd)

work=$(mktemp -d)
declare -A sims ports
finish() {
    local status=$?
    for pid in "${sims[@]}"; do kill "$pid" 2>/dev/null || true; done
    if [ "$status" -eq 0 ]; then rm -rf "$work"; else echo "Logs kept in $work" >&2; fi
}
trap finish EXIT
export ANSIBLE_COLLECTIONS_PATH="$PWD/ansible" ANSIBLE_LOCAL_TEMP="$work/ansible" \
    ANSIBLE_REMOTE_TMP="$work/ansible" ANSIBLE_NOCOLOR=1

# start SHOP [PORT]: the shop's server scale, in a folder of its own, on PORT or a free port.
start() {
    mkdir -p "$work/$1/sim"
    (cd "$work/$1/sim" && exec "$bin/cfgtarascope-sim" --port "${2:-0}" --max-seconds 600 \
        >out.txt 2>&1) &
    sims[$1]=$!
    for _ in $(seq 100); do
        grep -q '^listening on ' "$work/$1/sim/out.txt" && break
        sleep 0.1
    done
    ports[$1]=$(sed -n 's/^listening on 127.0.0.1://p' "$work/$1/sim/out.txt")
    [ -n "${ports[$1]}" ] || { echo "the simulator of $1 did not start" >&2; exit 1; }
}

# Each shop's "PC" is a folder with its own copy of the tool, so that its data.ini, logs and
# history.db are that shop's, as on a real PC.
item=13  # "Tiempo espera", a number of the common data; the references change it
shops=(tienda-centro tienda-norte tienda-sur)
hosts=""
for shop in "${shops[@]}"; do
    start "$shop"
    cp "$bin/cfgtarascope-cli" "$work/$shop/"
    hosts+="    $shop: {scale_conn: \"127.0.0.1:${ports[$shop]}\"}"$'\n'
done
cat >"$work/inventory.yml" <<EOT
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
EOT

bad=0
# run TITLE STATUS ARGS...: one ansible-playbook run, its output shown without blank lines, the
# banners' stars and the headers of plays the tags skip; it must end with STATUS.
run() {
    local title=$1 expected=$2 status=0 shown="" arg
    shift 2
    for arg in "$@"; do
        if [[ "$arg" =~ [^[:alnum:]_./=-] ]]; then shown+=" '$arg'"; else shown+=" $arg"; fi
    done
    echo
    echo "=== $title"
    echo "\$ ansible-playbook -i inventory.yml docs/fleet/playbook.yml$shown"
    ansible-playbook -i "$work/inventory.yml" docs/fleet/playbook.yml "$@" >"$work/run.log" 2>&1 ||
        status=$?
    awk 'NF { sub(/ \*+$/, ""); if (prev != "" && !(prev ~ /^PLAY \[/ && /^PLAY/)) print prev
              prev = $0 } END { print prev }' "$work/run.log"
    [ "$status" -eq "$expected" ] ||
        { echo "UNEXPECTED: ansible-playbook ended with $status, not $expected"; bad=1; }
}
# expect SHOP COUNT...: the shop's PLAY RECAP line of the last run holds each COUNT (changed=0).
expect() {
    local line
    line=" $(grep -E "^$1 +:" "$work/run.log" | tr -s ' ') "
    shift
    for count in "$@"; do
        [[ "$line" == *" $count "* ]] || { echo "UNEXPECTED: $line lacks $count"; bad=1; }
    done
}

run "The first backup: every shop saved" 0 --tags backup
for shop in "${shops[@]}"; do expect "$shop" changed=2 failed=0; done  # saved and fetched
run "The next night: nothing changed, nothing written" 0 --tags backup
for shop in "${shops[@]}"; do expect "$shop" changed=0 failed=0; done

mkdir -p "$work/control/reference"
for shop in "${shops[@]}"; do
    cp "$work/control/backups/$shop.xml" "$work/control/reference/$shop.xml"
done
# The chain's new value, in two shops' references.
for shop in tienda-norte tienda-sur; do
    LC_ALL=C sed -i "/<OPTION id=\"$item\"/,/<VALUE>/ s|<VALUE> *[^<]* </VALUE>|<VALUE> 20 </VALUE>|" \
        "$work/control/reference/$shop.xml"
done
echo
echo "References: item $item (Tiempo espera) set to 20 for tienda-norte and tienda-sur."
echo "tienda-sur's server scale is switched off."
kill "${sims[tienda-sur]}"
wait "${sims[tienda-sur]}" 2>/dev/null || true

run "The check: what a roll-out would send" 2 --tags rollout --check --diff
expect tienda-centro changed=0 failed=0
expect tienda-norte changed=1 failed=0
expect tienda-sur changed=0 failed=1

echo
echo "tienda-sur's server scale is back on the same port."
start tienda-sur "${ports[tienda-sur]}"
run "The roll-out, one shop first, then the rest" 0 --tags rollout --diff \
    -e '{"rollout_serial": [1, "100%"]}'
expect tienda-centro changed=0 failed=0
expect tienda-norte changed=1 failed=0
expect tienda-sur changed=1 failed=0
run "The roll-out again: every shop already in line" 0 --tags rollout
for shop in "${shops[@]}"; do expect "$shop" changed=0 failed=0; done
run "The backup after the roll-out: the two shops that changed" 0 --tags backup
expect tienda-centro changed=0 failed=0
expect tienda-norte changed=2 failed=0
expect tienda-sur changed=2 failed=0

echo
echo "=== history.db on tienda-norte's PC (cfgtarascope-cli history list)"
"$work/tienda-norte/cfgtarascope-cli" history list

echo
if [ "$bad" -ne 0 ]; then
    echo "The demo did not behave as expected ($((SECONDS - begin)) s)."
    exit 1
fi
echo "As expected: the check showed tienda-norte's change and failed tienda-sur, whose scales were"
echo "off; the roll-out sent the change to both, and a second one changed nothing ($((SECONDS - begin)) s)."
