#!/usr/bin/env bash
# mdtool db: the schema's counts, a database file read and written back
# (twice, to the same bytes), single cells, and the errors of each.
. "$(dirname "$0")/lib/common.sh"

got=$("$tool" db schema) || fail "schema: exit $?"
[ "$got" = "tables 97
columns 507
MASTER_FLAG 24
MASTER_VALUE 297
MASTER_STRING 11
MASTER_STRXLAT 81
MASTER_TABLE 94
Mission_Flag 0
Mission_Value 0
Mission_String 0
Mission_StrXlat 0
Mission_Table 0" ] || fail "schema printed:
$got"

cat >"$work/in.gen" <<'GEN'
# a few tables of the schema and one it lacks
Signal 3 2 2 0
DemolitionCost Price
MASTER_VALUE MASTER_VALUE
0 -1e37 1e37  1 -1e37 1e37
"cost" "price"
0 150 1234567
1 nan 2.5
FE_Main 5 1 1 0
UIText
MASTER_STRXLAT
0
0 "Start" "alt"
Mountains 7 0 1 1
0
AreaDescription MASTER_TABLE
0 ""
0 2 2 1 2 3 4
Homemade 1 1 1 0
Note
Mission_String
0
4 "kept"
GEN

"$tool" db roundtrip "$work/in.gen" "$work/once.gen" || fail "roundtrip: exit $?"
"$tool" db roundtrip "$work/once.gen" "$work/twice.gen" || fail "second roundtrip: exit $?"
cmp -s "$work/once.gen" "$work/twice.gen" || fail "a second round trip changed the file"
[ "$(ls "$work")" = "in.gen
once.gen
twice.gen" ] || fail "files left behind: $(ls "$work")"

check_cell() {
    local expected="$1"
    shift
    local got
    got=$("$tool" db get "$work/once.gen" "$@") || fail "get $*: exit $?"
    [ "$got" = "$expected" ] || fail "get $* printed '$got', not '$expected'"
}
check_cell 1234567 Signal 0 Price
check_cell 0 Signal 1 DemolitionCost
check_cell 2.5 Signal 1 Price
check_cell '"Start"  "alt"' FE_Main 0 UIText
check_cell '2 2
1    2    
3    4    ' Mountains 0 AreaDescription
check_cell '"kept"' Homemade 4 Note

check_error() {
    local message="$1"
    shift
    local out status
    out=$("$tool" db get "$@" 2>&1)
    status=$?
    [ $status -eq 1 ] || fail "get $*: exit $status, not 1"
    case "$out" in *"$message"*) ;; *) fail "get $* said: $out" ;; esac
}
check_error "no table Nowhere" "$work/once.gen" Nowhere 0 Price
check_error "no column Cost in table Signal" "$work/once.gen" Signal 0 Cost
check_error "no row 7 in table Signal" "$work/once.gen" Signal 7 Price
check_error "not a row number: one" "$work/once.gen" Signal one Price
check_error "not a readable database file" "$work/missing.gen" Signal 0 Price

# A malformed file is refused and the target keeps its contents.
printf 'Signal 3 1 1 0\nPrice\nMASTER_VALUE\n1 0 9\n""\n0 12,5\n' >"$work/bad.gen"
cp "$work/once.gen" "$work/target.gen"
out=$("$tool" db roundtrip "$work/bad.gen" "$work/target.gen" 2>&1)
status=$?
[ $status -eq 1 ] || fail "roundtrip of a malformed file: exit $status"
case "$out" in *"FAILED - Signal :: Price, line 6: malformed number"*) ;; *) fail "malformed file said: $out" ;; esac
cmp -s "$work/once.gen" "$work/target.gen" || fail "a refused roundtrip changed its target"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "a malformed file took more than one line: $out"

# What the file holds reaches the terminal escaped: an escape sequence in a
# table name, a bell in a number.
printf 'Sig\033[31mnal 3 1 1 0\nPrice\nMASTER_VALUE\n1 0 9\n""\n0 1\a2\n' >"$work/control.gen"
out=$("$tool" db roundtrip "$work/control.gen" "$work/target.gen" 2>&1)
case "$out" in *'Sig\x1B[31mnal :: Price, line 6: malformed number'*) ;; *) fail "control characters said: $out" ;; esac
case "$out" in *$'\033'* | *$'\a'*) fail "control characters reached the terminal raw" ;; esac

"$tool" db roundtrip "$work/in.gen" "$work/no-such-folder/out.gen" 2>/dev/null && fail "writing into a missing folder succeeded"
"$tool" db frobnicate 2>/dev/null
[ $? -eq 2 ] || fail "an unknown db command is no usage error"

finish
