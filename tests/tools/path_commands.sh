#!/usr/bin/env bash
# mdtool path: routes on a generated sea map by mode, "no path" where the
# network has none, and usage errors for bad arguments.
. "$(dirname "$0")/lib/common.sh"

"$tool" map generate --size 64 --seed 3 --water 90 --out "$work/sea.mds" >/dev/null ||
    { fail "map generate: exit $?"; finish; }

out=$("$tool" path "$work/sea.mds" 10 10 13 20 --mode air) || fail "air: exit $?"
[ "$out" = "10 10
13 13
13 20
cost 13 expansions 0" ] || fail "air route printed:
$out"

# Open sea from the north-west: one diagonal leg, then straight on.
out=$("$tool" path "$work/sea.mds" 2 2 40 25 --mode water) || fail "water: exit $?"
[ "$out" = "2 2
25 25
40 25
cost 39 expansions 38" ] || fail "water route printed:
$out"

# No route planner is built yet, and land is no water.
for args in "2 2 40 25 --mode road" "2 2 40 25 --mode track" "2 2 12 48 --mode water"; do
    out=$("$tool" path "$work/sea.mds" $args)
    status=$?
    [ "$status" -eq 1 ] || fail "$args: exit $status"
    [ "$out" = "no path" ] || fail "$args printed: $out"
done

for args in "2 2 40 25" "2 2 40 25 --mode boat" "2 2 40 -25 --mode air" "2 2 40 x --mode air" \
    "2 2 40 25 --mode air --mode road" "2 2 40 25 --mode air extra"; do
    "$tool" path "$work/sea.mds" $args >/dev/null 2>&1
    status=$?
    [ "$status" -eq 2 ] || fail "bad arguments '$args': exit $status"
done
# A world saved by itself serves as well.
"$tool" world demo --size 64 64 --seed 4 --out "$work/demo.mdw" >/dev/null || fail "world demo: exit $?"
out=$("$tool" path "$work/demo.mdw" 1 1 20 30 --mode air 2>/dev/null) || fail "world file: exit $?"
[ "$(echo "$out" | tail -1)" = "cost 48 expansions 0" ] || fail "world file route printed:
$out"

"$tool" path "$work/sea.mds" 2 2 400 25 --mode air >/dev/null 2>&1
[ $? -eq 1 ] || fail "a point off the map: not exit 1"
"$tool" path "$work/none.mds" 2 2 4 5 --mode air >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing file: not exit 1"

finish
