#!/usr/bin/env bash
# mdtool route: the graph route between two tiles of road or track, start
# first; "no route" where the network has none; the graph sizes of a
# generated map; usage errors for bad arguments.
. "$(dirname "$0")/lib/common.sh"

"$tool" world demo --size 64 64 --seed 4 --out "$work/demo.mdw" >/dev/null || { fail "world demo: exit $?"; finish; }

out=$("$tool" route "$work/demo.mdw" 58 3 58 60 --mode track 2>"$work/err") || fail "track: exit $?"
[ "$out" = "58 3
58 60
cost 58" ] || fail "track route printed:
$out"
[ -s "$work/err" ] && fail "track route warned: $(cat "$work/err")"
out=$("$tool" route "$work/demo.mdw" 60 32 2 32 --mode road) || fail "road: exit $?"
[ "$out" = "60 32
2 32
cost 59" ] || fail "road route printed:
$out"

# Off the network, and road asked along the track.
for args in "2 33 60 33 --mode road" "58 3 58 60 --mode road"; do
    out=$("$tool" route "$work/demo.mdw" $args)
    status=$?
    [ "$status" -eq 1 ] || fail "$args: exit $status"
    [ "$out" = "no route" ] || fail "$args printed: $out"
done

"$tool" map generate --size 128 --seed 5 --out "$work/land.mds" >/dev/null || fail "map generate: exit $?"
out=$("$tool" route graph "$work/land.mds") || fail "graph: exit $?"
echo "$out" | grep -qE '^road nodes [1-9][0-9]* edges [1-9][0-9]*$' || fail "road graph printed:
$out"
echo "$out" | grep -qx 'track nodes 0 edges 0' || fail "track graph printed:
$out"

for args in "$work/demo.mdw 2 2 40 25" "$work/demo.mdw 2 2 40 25 --mode water" "$work/demo.mdw 2 2 40 x --mode road" \
    "$work/demo.mdw 2 2 40 25 --mode road --mode track" "graph" "graph a b"; do
    "$tool" route $args >/dev/null 2>&1
    status=$?
    [ "$status" -eq 2 ] || fail "bad arguments '$args': exit $status"
done
"$tool" route "$work/demo.mdw" 2 2 400 25 --mode road >/dev/null 2>&1
[ $? -eq 1 ] || fail "a point off the map: not exit 1"
"$tool" route "$work/none.mds" 2 2 4 5 --mode road >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing file: not exit 1"
"$tool" route graph "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "graph of a missing file: not exit 1"

finish
