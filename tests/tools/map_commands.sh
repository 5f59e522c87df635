#!/usr/bin/env bash
# mdtool map: a generated world is the same for the same settings and seed
# in two processes, loads into the game and saves again to the same bytes,
# comes in every map size, and draws as a picture; bad arguments are
# refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

gen() { "$tool" map generate "$@" > "$work/gen.log" 2>&1; }

gen --size 256 --seed 9 --region 2 --towns 150 --out "$work/a.mds" || fail "first map: exit $? $(cat "$work/gen.log")"
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom="setarch $(uname -m) -R"; else norandom=""; fi
MALLOC_PERTURB_=77 $norandom "$tool" map generate --size 256 --seed 9 --region 2 --towns 150 --out "$work/b.mds" \
    > /dev/null 2>&1 || fail "second map: exit $?"
cmp -s "$work/a.mds" "$work/b.mds" || fail "two processes made different maps from one seed"
gen --size 256 --seed 10 --region 2 --towns 150 --out "$work/c.mds" || fail "other seed: exit $?"
cmp -s "$work/a.mds" "$work/c.mds" && fail "seeds 9 and 10 made the same map"
grep -q "towns" "$work/gen.log" || fail "no summary: $(cat "$work/gen.log")"

# The game loads the map and writes the same bytes again.
"$game" --headless --load "$work/a.mds" --ticks 0 --save "$work/resaved.mds" > /dev/null 2>&1 ||
    fail "the game did not load the map: exit $?"
cmp -s "$work/a.mds" "$work/resaved.mds" || fail "a loaded map saved again differs"
"$tool" game hash "$work/a.mds" > /dev/null || fail "the map has no hash"

# Every size, each region and climate; the sanitizer build, many times
# slower, leaves out the two largest sizes.
sizes=("--size 512 --region 1 --climate 2" "--size 1024 --region 4" "--size 2048" "--size 64 --water 100")
[ -n "${MD_SANITIZED:-}" ] && sizes=("--size 512 --region 4 --climate 2" "--size 64 --water 100")
for args in "${sizes[@]}"; do
    # shellcheck disable=SC2086
    gen $args --seed 3 --out "$work/size.mds" || fail "map $args: exit $? $(cat "$work/gen.log")"
done

"$tool" map png "$work/a.mds" "$work/a.png" > /dev/null || fail "png: exit $?"
[ "$(head -c 8 "$work/a.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "png: no PNG signature"
"$tool" map png "$work/size.mds" "$work/b.png" > /dev/null || fail "png of the last map: exit $?"

# Refusals: odd and oversized maps, missing values, a file that is no game.
for bad in "--size 255 --seed 1" "--size 4096 --seed 1" "--size 256" "--size 256 --seed 1 --region 3" \
    "--size 256 --seed x"; do
    # shellcheck disable=SC2086
    "$tool" map generate $bad --out "$work/bad.mds" > /dev/null 2>&1 && fail "map generate $bad succeeded"
done
[ -e "$work/bad.mds" ] && fail "a refused map left a file"
head -c 100 "$work/a.mds" > "$work/cut.mds"
"$tool" map png "$work/cut.mds" "$work/cut.png" > /dev/null 2>&1 && fail "a cut file was drawn"
[ -e "$work/cut.png" ] && fail "a refused picture left a file"
finish
