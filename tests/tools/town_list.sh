#!/usr/bin/env bash
# mdtool town list: a new headless game on a generated map founds its towns
# by the editor's counts; the list shows each town's index, name, centre,
# population, houses and growth state, and its populations add up to the
# game's own summary. A damaged or missing game is refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

summary=$("$game" --headless --new --seed 5 --generate 256 --ticks 40 --save "$work/a.mds" 2>/dev/null) ||
    { fail "headless game: exit $?"; finish; }
line=$(echo "$summary" | grep ' towns, ')
towns=$(echo "$line" | sed -n 's/^\([0-9]*\) towns, .*/\1/p')
people=$(echo "$line" | sed -n 's/.*, \([0-9]*\) inhabitants in the towns$/\1/p')
[ "$towns" = 6 ] || fail "summary: \"$line\""

out=$("$tool" town list "$work/a.mds") || fail "list: exit $?"
[ "$(echo "$out" | wc -l)" -eq 6 ] || fail "listed:
$out"
echo "$out" | grep -vqE '^town [0-9]+ .+ at [0-9]+ [0-9]+ population [0-9]+ houses [0-9]+ state [0-6]$' &&
    fail "a line out of form:
$out"
sum=$(echo "$out" | awk '{ s += $(NF - 4) } END { print s }')
[ "$sum" = "$people" ] || fail "the towns hold $sum people, the summary says $people"

# A game saved and loaded lists the same towns.
"$game" --headless --load "$work/a.mds" --ticks 0 --save "$work/b.mds" >/dev/null 2>&1 || fail "reload: exit $?"
[ "$("$tool" town list "$work/b.mds")" = "$out" ] || fail "the towns changed over a load and a save"

head -c 300 "$work/a.mds" > "$work/cut.mds"
"$tool" town list "$work/cut.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a cut game: not exit 1"
"$tool" town list "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing game: not exit 1"
"$tool" town list 2>/dev/null
[ $? -eq 2 ] || fail "no file: not exit 2"
finish
