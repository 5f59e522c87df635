#!/usr/bin/env bash
# mdtool price and mdtool world run: prices of the default data over the
# years, and a saved world's calendar advanced month by month with its
# companies, buildings and events, saved again byte for byte.
. "$(dirname "$0")/lib/common.sh"

db=gamedata/config/MDConfig.gen

# Route 1 costs 400 scaled by the traffic modifier: 1.005 in 1850; in 1930
# 1 + 50 x 0.5 % + 31 x 1 % = 1.56. A bridge follows its own modifier.
while read -r kind row year expected; do
    got=$("$tool" price "$db" "$kind" "$row" $year) || fail "price $kind $row $year: exit $?"
    [ "$got" = "$expected" ] || fail "price $kind $row $year: $got, expected $expected"
done <<'CASES'
route 1 1850 402
route 1 1930 624
route 9 1900 1959
water-tower-costs 0 1850 60
vehicle 99 1850 0
CASES
"$tool" price "$db" nonsense 1 >/dev/null 2>&1 && fail "an unknown kind was accepted"
"$tool" price "$work/missing.gen" route 1 >/dev/null 2>&1 && fail "a missing database was accepted"

"$tool" world demo --size 64 48 --seed 11 --out "$work/demo.mds" >/dev/null || fail "demo: exit $?"
info=$("$tool" world info "$work/demo.mds") || fail "info: exit $?"
grep -q "^player 0 kind 1 money " <<<"$info" || fail "no human player:
$info"
grep -q "^player 4 kind 2 money .*God Player" <<<"$info" || fail "no neutral player:
$info"
grep -q "^player 1 kind 3 money " <<<"$info" || fail "no computer company:
$info"
# Houses, a special building, a mountain, a storage hall, a water tower and
# a headquarters among the buildings; bridge and tunnel pieces as spans.
buildings=$(grep "^objects category 1:" <<<"$info")
for subtype in 3 4 5 6 7 9; do
    grep -q "subtype $subtype: [1-9]" <<<"$buildings" || fail "no building of subtype $subtype: $buildings"
done
spans=$(sed -n 's/^objects category 3: \([0-9]*\) in.*/\1/p' <<<"$info")
[ "${spans:-0}" -ge 3 ] || fail "no bridge and tunnel pieces beside the single span:
$info"

"$tool" world run "$work/demo.mds" --months 30 --out "$work/later.mds" || fail "run: exit $?"
later=$("$tool" world info "$work/later.mds") || fail "info after run: exit $?"
[ "$(grep '^date' <<<"$info" | cut -c6-9)" != "$(grep '^date' <<<"$later" | cut -c6-9)" ] ||
    fail "the year did not change in 30 months"
[ "$(grep '^player 0' <<<"$info")" != "$(grep '^player 0' <<<"$later")" ] ||
    fail "monthly costs changed no money"
"$tool" world resave "$work/later.mds" "$work/again.mds" || fail "resave: exit $?"
cmp -s "$work/later.mds" "$work/again.mds" || fail "the advanced world changed on resave"
"$tool" world run "$work/demo.mds" --months 3 >/dev/null 2>&1 && fail "run without --out was accepted"

finish
