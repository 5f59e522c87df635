#!/usr/bin/env bash
# The road scenario plays headless from its map line: the company's two bus
# stops stand, its omnibus runs between them rather than waiting blocked,
# its fares are booked as income, and its money is the start money plus
# the sum of this year's bookings.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"
scenario=gamedata/scenarios/road_bus.txt

options=$(sed -n '1s/^# map: //p' "$scenario")
[ -n "$options" ] || { fail "the scenario has no map line"; finish; }
# shellcheck disable=SC2086
"$game" --headless --new $options --script "$scenario" --ticks 8000 --save "$work/s.mds" >/dev/null 2>&1 ||
    { fail "headless game: exit $?"; finish; }

[ "$("$tool" station list "$work/s.mds" | grep -c 'owner 0')" -eq 2 ] || fail "the company's stops:
$("$tool" station list "$work/s.mds")"
vehicles=$("$tool" vehicle list "$work/s.mds")
echo "$vehicles" | grep -q 'owner 0 state \(2\|3\|4\|5\|17\) ' || fail "the omnibus does not run:
$vehicles"

out=$("$tool" company "$work/s.mds") || fail "company: exit $?"
money=$(echo "$out" | sed -n 's/^player 0 money \(-\?[0-9]*\) loan 0$/\1/p')
sum=$(echo "$out" | awk '/^player 0 /{p=1; next} /^player /{p=0} p && $1 == "sum" {print $2}')
[ -n "$money" ] && [ -n "$sum" ] || fail "company printed:
$out"
[ "$((1000000 + sum))" = "$money" ] || fail "money $money is not the start money and the bookings ($sum)"
income=$(echo "$out" | awk '/^player 0 /{p=1; next} /^player /{p=0} p && $1 == "income" {print $2}')
[ "${income:-0}" -gt 0 ] || fail "the omnibus earned nothing:
$out"
echo "$out" | grep -q '^  purchases 9000$' || fail "the omnibus is not booked as a purchase:
$out"

"$tool" company "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing game: not exit 1"
"$tool" company 2>/dev/null
[ $? -eq 2 ] || fail "no file: not exit 2"
finish
