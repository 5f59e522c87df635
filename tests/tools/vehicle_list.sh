#!/usr/bin/env bash
# mdtool vehicle list, mdtool schedule list: a headless game that bought
# nothing lists neither; the headless summary counts the vehicles; a
# missing game and missing arguments fail with exit 1 and 2.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

summary=$("$game" --headless --new --seed 5 --generate 64 --ticks 20 --save "$work/s.mds" 2>/dev/null) ||
    { fail "headless game: exit $?"; finish; }
echo "$summary" | grep -qx "0 vehicles" || fail "the summary counts no vehicles:
$summary"

out=$("$tool" vehicle list "$work/s.mds") || fail "vehicle list: exit $?"
[ -z "$out" ] || fail "vehicles listed: $out"
out=$("$tool" schedule list "$work/s.mds") || fail "schedule list: exit $?"
[ -z "$out" ] || fail "schedules listed: $out"

for what in vehicle schedule; do
    "$tool" $what list "$work/none.mds" >/dev/null 2>&1
    [ $? -eq 1 ] || fail "$what: a missing game: not exit 1"
    "$tool" $what list 2>/dev/null
    [ $? -eq 2 ] || fail "$what: no file: not exit 2"
done
finish
