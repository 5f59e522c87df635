#!/usr/bin/env bash
# mdtool text, number and amount on a small database of interface texts.
. "$(dirname "$0")/lib/common.sh"

# expect OUTPUT COMMAND...: the command succeeds and prints OUTPUT.
expect() {
    local want="$1"
    shift
    local got
    if ! got=$("$@" 2>"$work/stderr"); then
        fail "$* exited with an error: $(cat "$work/stderr")"
    elif [ "$got" != "$want" ]; then
        fail "$*: expected '$want', got '$got'"
    fi
}

# refuse COMMAND...: the command fails with exit status 1 and a message.
refuse() {
    "$@" >/dev/null 2>"$work/stderr"
    local status=$?
    if [ "$status" -ne 1 ]; then
        fail "$*: expected exit status 1, got $status"
    elif ! grep -q "mdtool: " "$work/stderr"; then
        fail "$*: no message on stderr"
    fi
}

mkdir -p "$work/data/config"
db="$work/data/config/MDConfig.gen"
{
    printf 'InterfaceTextContainer 5 1 20 0\n\tText_\n\tMASTER_STRXLAT\n\t0\n\n'
    printf '0 "Welcome aboard" ""\n'
    printf '1 "First line\\nsecond line" ""\n'
    printf '2 "untranslated" ""\n'
    patterns=('%%u,%%0#3u,%%0#3u,%%0#3u' '-%%u,%%0#3u,%%0#3u,%%0#3u' '%%u,%%0#3u,%%0#3u' '-%%u,%%0#3u,%%0#3u'
              '%%u,%%0#3u' '-%%u,%%0#3u' '%%s%%n%%u' '-%%u'
              '%%u.%%0#3u.%%0#3u.%%0#3u Cr' '-%%u.%%0#3u.%%0#3u.%%0#3u Cr' '%%u.%%0#3u.%%0#3u Cr'
              '-%%u.%%0#3u.%%0#3u Cr' '%%u.%%0#3u Cr' '-%%u.%%0#3u Cr' '%%u Cr' '-%%u Cr')
    for k in "${!patterns[@]}"; do
        printf "%d \"${patterns[$k]}\" \"\"\n" $((4000 + k))
    done
    printf '9 "" ""\n\n'
} >"$db"
# The key of row 2 of table 5, column 0: 5 * 2^24 + 2.
printf '// texts\n"83886082"\ng"translated"\n' >"$work/data/config/ingame.txt"

expect "Welcome aboard" "$tool" text "$db" 0
expect "$(printf 'First line\nsecond line')" "$tool" text "$db" 1
expect "translated" "$tool" text "$db" 2
expect "" "$tool" text "$db" 9
refuse "$tool" text "$db" 3
refuse "$tool" text "$db" -1
refuse "$tool" text "$db" 1x
refuse "$tool" text "$work/missing.gen" 0

expect "1,000" "$tool" number 1000 "$db"
expect "-1,000" "$tool" number -1000 "$db"
expect "1,234,567,890" "$tool" number 1234567890 "$db"
expect "5,000,000,000" "$tool" number 5000000000 "$db"
expect "-9223372036,854,775,808" "$tool" number -9223372036854775808 "$db"
expect "1.500 Cr" "$tool" amount 1500 "$db"
expect "-999 Cr" "$tool" amount -999 "$db"
# A pattern with conversions other than %u is printed as it stands.
expect "%s%n0" "$tool" number 0 "$db"
expect "%s%n999" "$tool" number 999 "$db"
refuse "$tool" number 9223372036854775808 "$db"
refuse "$tool" number 12x "$db"
refuse "$tool" amount "" "$db"
refuse "$tool" number 1 "$work/missing.gen"

# Without a database file the default game data is used.
expect "1.000.000 Cr" env MD_GAMEDATA="$work/data" "$tool" amount 1000000
expect "Welcome aboard" env MD_GAMEDATA="$work/data" "$tool" text - 0
refuse env MD_GAMEDATA="$work/none" "$tool" number 1

"$tool" number >/dev/null 2>&1
[ $? -eq 2 ] || fail "number without a value is no usage error"

finish
