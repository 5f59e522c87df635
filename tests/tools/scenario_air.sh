#!/usr/bin/env bash
# The air scenario plays a game year headless from its map line: the
# company's two airfields stand, its biplane flies between them calling at
# each in turn, the company's money is the start money plus the sum of the
# year's bookings, and a second process plays the same game.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"
scenario=gamedata/scenarios/air_plane.txt
ticks=9000
# Legs short enough that each finds the biplane on a new flight.
legs=4
leg=400

options=$(sed -n '1s/^# map: //p' "$scenario")
[ -n "$options" ] || { fail "the scenario has no map line"; finish; }
# shellcheck disable=SC2086
"$game" --headless --new $options --script "$scenario" --ticks $ticks --save "$work/a.mds" >/dev/null 2>&1 ||
    { fail "headless game: exit $?"; finish; }

[ "$("$tool" station list "$work/a.mds" | grep -c 'kind 9 .* owner 0')" -eq 2 ] || fail "the company's airfields:
$("$tool" station list "$work/a.mds")"
vehicles=$("$tool" vehicle list "$work/a.mds")
echo "$vehicles" | grep -q 'type 18 .*owner 0 state \(2\|3\|4\|5\|17\) ' || fail "the biplane does not fly:
$vehicles"

out=$("$tool" company "$work/a.mds") || fail "company: exit $?"
money=$(echo "$out" | sed -n 's/^player 0 money \(-\?[0-9]*\) loan 0$/\1/p')
sum=$(echo "$out" | awk '/^player 0 /{p=1; next} /^player /{p=0} p && $1 == "sum" {print $2}')
[ -n "$money" ] && [ -n "$sum" ] || fail "company printed:
$out"
[ "$((1000000 + sum))" = "$money" ] || fail "money $money is not the start money and the bookings ($sum)"
echo "$out" | grep -q '^  purchases 60000$' || fail "the biplane is not booked as a purchase:
$out"

# The same year in a second process gives the same game.
# shellcheck disable=SC2086
"$game" --headless --new $options --script "$scenario" --ticks $ticks --save "$work/b.mds" >/dev/null 2>&1 ||
    fail "second headless game: exit $?"
[ "$("$tool" game hash "$work/a.mds")" = "$("$tool" game hash "$work/b.mds")" ] ||
    fail "two processes played different games"

# Played in legs, the biplane calls at each airfield in turn: the stop it
# heads for changes between the two.
# shellcheck disable=SC2086
"$game" --headless --new $options --script "$scenario" --ticks $leg --save "$work/leg.mds" \
    >/dev/null 2>&1 || fail "first leg: exit $?"
seen=""
for _ in $(seq 2 $legs); do
    seen="$seen $("$tool" vehicle list "$work/leg.mds" | sed -n 's/.*type 18 .* next stop \([0-9]*\).*/\1/p')"
    "$game" --headless --load "$work/leg.mds" --ticks $leg --save "$work/leg.mds" >/dev/null 2>&1 ||
        fail "a leg: exit $?"
done
echo "$seen" | grep -q 0 && echo "$seen" | grep -q 1 || fail "the biplane did not head for both airfields:$seen"
finish
