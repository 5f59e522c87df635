#!/usr/bin/env bash
# The headless game is deterministic: the same seed and script give the
# same world in two processes with different heap layouts, and a run of 2N
# frames equals N frames, a save, a load and N more.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

cat > "$work/play.cmds" <<'CMDS'
# tick  command  fields
5   BuildStationCommand 10 12 1 3 0 0
5   2 10 12 1 3 1 0
40  TrackRouteCommand -2 5 300 -1 9 0 0
300 BuyVehicleCommand 4 0 0 1
900 SetScheduleCommand 7 1 2 3 4
CMDS

run() { "$game" --headless --new --seed 42 --generate 64 --script "$work/play.cmds" "$@" 2>/dev/null; }

MALLOC_PERTURB_=165 run --ticks 2000 --save "$work/a.mds" > /dev/null || fail "first run: exit $?"
if setarch "$(uname -m)" -R true 2>/dev/null; then norandom="setarch $(uname -m) -R"; else norandom=""; fi
MALLOC_PERTURB_=90 $norandom "$game" --headless --new --seed 42 --generate 64 --script "$work/play.cmds" \
    --ticks 2000 --save "$work/b.mds" > /dev/null 2>&1 || fail "second run: exit $?"
run --ticks 1000 --save "$work/half.mds" > /dev/null || fail "half run: exit $?"
"$game" --headless --load "$work/half.mds" --ticks 1000 --save "$work/c.mds" > /dev/null 2>&1 ||
    fail "continued run: exit $?"

a=$("$tool" game hash "$work/a.mds") || fail "hash of a: exit $?"
b=$("$tool" game hash "$work/b.mds") || fail "hash of b: exit $?"
c=$("$tool" game hash "$work/c.mds") || fail "hash of c: exit $?"
[ "$a" = "$b" ] || fail "two processes from one seed differ: $a and $b"
[ "$a" = "$c" ] || fail "a saved and loaded run differs: $a and $c"

# Another seed gives another world.
"$game" --headless --new --seed 43 --generate 64 --ticks 10 --save "$work/d.mds" > /dev/null 2>&1 ||
    fail "other seed: exit $?"
d=$("$tool" game hash "$work/d.mds")
[ "$a" != "$d" ] || fail "seeds 42 and 43 give the same hash"

# A new game on an island file as its map: the island's size, the same
# world twice; a map file that cannot be read stops the game.
island="$(cd "$(dirname "$0")/../.." && pwd)/gamedata/Islands/2112_a.mdi"
if [ -f "$island" ]; then
    for n in 1 2; do
        "$game" --headless --new --seed 7 --map "$island" --ticks 100 --save "$work/island$n.mds" \
            > "$work/island$n.out" 2>&1 || fail "island game: exit $?"
    done
    grep -q "map 24 x 64" "$work/island1.out" || fail "the island game is not on the island's map"
    [ "$("$tool" game hash "$work/island1.mds")" = "$("$tool" game hash "$work/island2.mds")" ] ||
        fail "two island games differ"
fi
"$game" --headless --new --map "$work/cut.sb2" --ticks 1 > /dev/null 2>&1 && fail "a missing map was played"

# A damaged file is refused with a reason.
head -c 100 "$work/a.mds" > "$work/cut.mds"
"$tool" game hash "$work/cut.mds" > /dev/null 2>&1 && fail "a cut file was hashed"
"$game" --headless --load "$work/cut.mds" --ticks 1 > /dev/null 2>&1 && fail "a cut file was loaded"
finish
