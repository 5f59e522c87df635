#!/usr/bin/env bash
# Draws the default islands of gamedata/Islands with `mdtool island make`:
# two islands ("a" and "b") for every region (1, 2, 4), climate (1 north,
# 2 south), fertility kind (1, 2) and mountain kind (1, 2), of sizes from
# 24 to 96 cells a side, each from its own fixed seed.
#   tools/make_islands.sh build/mdtool [OUTDIR]
set -euo pipefail
mdtool="$1"
out="${2:-gamedata/Islands}"
mkdir -p "$out"
sizes=(24 32 48 64 96 40)
n=0
for region in 1 2 4; do
    for climate in 1 2; do
        for fertility in 1 2; do
            for mountains in 1 2; do
                for variant in a b; do
                    digits="$region$climate$fertility$mountains"
                    w=${sizes[$((n % ${#sizes[@]}))]}
                    h=${sizes[$(((n + 3) % ${#sizes[@]}))]}
                    "$mdtool" island make --digits "$digits" --seed $((1000 + n)) --size "$w" "$h" \
                        --out "$out/${digits}_$variant.mdi" >/dev/null
                    n=$((n + 1))
                done
            done
        done
    done
done
echo "make_islands: $n islands in $out"
