#!/usr/bin/env bash
# mdtool island: make draws the same file from the same seed; list shows
# the digits and sizes of an installation's islands and which ones load;
# check passes a sound island and fails a damaged one.
. "$(dirname "$0")/lib/common.sh"

mkdir -p "$work/inst/Islands"
isl="$work/inst/Islands"
"$tool" island make --digits 1122 --seed 9 --size 40 24 --out "$isl/1122_one.mdi" >"$work/out" || fail "make: exit $?"
grep -q "40 x 24 island, [1-9][0-9]* land cells, [1-9][0-9]* mountains" "$work/out" || fail "make said: $(cat "$work/out")"
"$tool" island make --digits 1122 --seed 9 --size 40 24 --out "$work/again.mdi" >/dev/null || fail "make again: exit $?"
cmp -s "$isl/1122_one.mdi" "$work/again.mdi" || fail "the same seed drew another island"
"$tool" island make --digits 2111 --seed 4 --size 32 32 --out "$isl/2111_two.MDI" >/dev/null || fail "make 2111: exit $?"
grep -q "0 mountains" <("$tool" island make --digits 2111 --seed 4 --size 32 32 --out "$work/x.mdi") ||
    fail "mountain kind 1 drew mountains"

for bad in "--digits 0121" "--digits 12" "--size 33 32" "--size 8 8"; do
    # shellcheck disable=SC2086
    "$tool" island make --digits 1111 --seed 1 --size 32 32 $bad --out "$work/bad.mdi" >/dev/null 2>&1 &&
        fail "make accepted $bad"
done

# A damaged copy, a name that breaks the digit rule, and a folder.
head -c 60 "$isl/1122_one.mdi" >"$isl/1211_cut.mdi"
cp "$isl/1122_one.mdi" "$isl/0122_zero.mdi"
mkdir "$isl/1111_dir.mdi"
list=$("$tool" island list "$work/inst") || fail "list: exit $?"
expected="0122_zero.mdi skipped: not an island name
1122_one.mdi 1122 40 x 24, "
[ "$(head -2 <<<"$list" | sed 's/, [0-9]* mountains$/, /')" = "$expected" ] || fail "list:
$list"
grep -q "^1211_cut.mdi 1211 not loaded: " <<<"$list" || fail "the cut island is not marked:
$list"
grep -q "^2111_two.MDI 2111 32 x 32, 0 mountains$" <<<"$list" || fail "the upper-case extension is missing:
$list"
grep -q "1111_dir" <<<"$list" && fail "a folder was listed"
"$tool" island list "$work/none" >/dev/null 2>&1 && fail "list of a folder without islands succeeded"

"$tool" island check "$isl/1122_one.mdi" | grep -q "decoration cells sound, terrain blocks sound" ||
    fail "check of a sound island"
"$tool" island check "$isl/1211_cut.mdi" >/dev/null 2>"$work/err" && fail "check passed a cut island"
grep -q "refused" "$work/err" || fail "check gave no reason: $(cat "$work/err")"
finish
