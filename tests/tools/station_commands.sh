#!/usr/bin/env bash
# mdtool station layouts: the shipped layouts read cleanly and fit every
# station kind; a damaged file is listed with a warning per bad line and a
# failing status; a kind whose layout is gone is named.
. "$(dirname "$0")/lib/common.sh"

out=$("$tool" station layouts 2>"$work/err") || fail "default layouts: exit $? $(cat "$work/err")"
[ -s "$work/err" ] && fail "default layouts warned: $(cat "$work/err")"
echo "$out" | grep -qx "kind 4 Station: mode 1, 3 x 6, layout 11, loading areas 2" ||
    fail "default layouts printed:
$out"
[ "$(echo "$out" | grep -c '^kind ')" -ge 12 ] || fail "fewer than 12 station kinds listed"

"$tool" station layouts gamedata/station_config.txt >"$work/same" 2>&1 || fail "shipped file by path: exit $?"
[ "$(cat "$work/same")" = "$out" ] || fail "the file by path lists otherwise than through the file system"

# Layout 11 loses its second platform's connection point and gains a
# damaged line; layout 0 is cut off by a bad number.
sed -e '/^CONN_POINT 3 2 0 1$/d' -e 's/^LOAD_POINT 2 2 2 5$/LOAD_POINT 2 2 two 5/' \
    -e 's/^STATION_DESC_BEGIN 0$/STATION_DESC_BEGIN zero/' gamedata/station_config.txt >"$work/bad.txt"
"$tool" station layouts "$work/bad.txt" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "damaged file: exit $status"
grep -q "bad.txt line [0-9]*: LOAD_POINT needs 4 numbers" "$work/err" || fail "no warning for the bad number: $(cat "$work/err")"
grep -q "kind 4 (Station): LOAD_AREA 2 has no CONN_POINT 3" "$work/err" || fail "missing connection point not named"
grep -q "kind 0 (Bus stop): no layout 0" "$work/err" || fail "missing layout not named"

"$tool" station layouts "$work/none.txt" 2>/dev/null
[ $? -eq 1 ] || fail "missing file: not exit 1"
"$tool" station 2>/dev/null
[ $? -eq 2 ] || fail "no subcommand: not exit 2"
"$tool" station layouts a b 2>/dev/null
[ $? -eq 2 ] || fail "two files: not exit 2"

finish
