#!/usr/bin/env bash
# Runs network_bench on 60 scales of 100, 200, 400 and 800 items and prints each figure per size
# and the growth from each size to the next: doubling the items should at most double a figure.
#   bench/scaling.sh [ROUNDS [PAGE]]   (default 3 50; needs the build in build/)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
page=${2:-50}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
sizes=(100 200 400 800)
for n in "${sizes[@]}"; do
    build/bench/network_bench 60 "$n" "$rounds" "$page" >"$out/$n.txt" 2>/dev/null
done
# Figures are the lines "<name> <ms> ms", the name one or two words.
awk -v sizes="${sizes[*]}" -v dir="$out" '
BEGIN {
    count = split(sizes, size, " ")
    for (s = 1; s <= count; ++s) {
        file = dir "/" size[s] ".txt"
        while ((getline line < file) > 0) {
            if (line ~ /^(network|ratio)/) continue
            fields = split(line, f, " ")
            for (i = 2; i < fields; ++i) {
                if (f[i + 1] != "ms" || f[i] !~ /^[0-9.]+$/) continue
                name = f[1]
                for (j = 2; j < i; ++j) name = name " " f[j]
                if (!(name in seen)) { seen[name] = 1; order[++names] = name }
                value[name, s] = f[i]
                break
            }
        }
    }
    printf "%-12s", "items/scale"
    for (s = 1; s <= count; ++s) printf " %9s", size[s]
    printf "   growth per doubling\n"
    for (k = 1; k <= names; ++k) {
        name = order[k]
        printf "%-12s", name
        for (s = 1; s <= count; ++s) printf " %9s", value[name, s]
        worst = 0
        for (s = 2; s <= count; ++s) {
            if (value[name, s - 1] > 0) {
                g = value[name, s] / value[name, s - 1]
                printf " %5.2f", g
                if (g > worst) worst = g
            }
        }
        printf "%s\n", (worst > 2.3 ? "  (more than doubles)" : "")
    }
}'
