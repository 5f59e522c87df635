#!/usr/bin/env bash
# mdtool factory list: a generated game run for two months lists its
# factories with their kinds, stock and output; the headless summary adds
# the factories' output of the month.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

summary=$("$game" --headless --new --seed 5 --generate 128 --ticks 6400 --save "$work/s.mds" 2>/dev/null) ||
    { fail "headless game: exit $?"; finish; }
grep -q "^factories made [0-9]* units this month, [1-9][0-9]* last month$" <<<"$summary" ||
    fail "no month output in the summary:
$summary"

out=$("$tool" factory list "$work/s.mds") || fail "list: exit $?"
[ "$(grep -c "^factory " <<<"$out")" -ge 3 ] || fail "too few factories:
$out"
# Town centres (kind 5) make passengers and mail and take both.
grep -q "^factory [0-9]* type 999 kind 5 at [0-9]* [0-9]* makes 998:[0-9]*/[0-9]* 999:[0-9]*/[0-9]* accepts 998:[0-9]* 999:" <<<"$out" ||
    fail "no town centre:
$out"
# A factory that is no town centre has made something after two months.
grep -v "kind 5 " <<<"$out" | grep -q "^factory [0-9]* type [0-9]* kind [0-9] at [0-9]* [0-9]* makes [0-9]*:[1-9][0-9]*/" ||
    fail "no factory with stock:
$out"

"$tool" factory list "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing game: not exit 1"
"$tool" factory list 2>/dev/null
[ $? -eq 2 ] || fail "no file: not exit 2"
"$tool" factory 2>/dev/null
[ $? -eq 2 ] || fail "no sub-command: not exit 2"
finish
