#!/usr/bin/env bash
# mdtool chunks on a small saved game, plain and compressed, and on damaged
# copies of both.
. "$(dirname "$0")/lib/common.sh"
fixtures=tests/tools/fixtures/chunks

tree='version 4, "MRD - Version 0.04"
head  39 bytes at 0
time  44 bytes at 39
  tim1  28 bytes at 47
  0  8 bytes at 75
gmap  180 bytes at 83
  map1  28 bytes at 91
  map2  144 bytes at 119
obj  140 bytes at 263
  anz  28 bytes at 271
  gob1  44 bytes at 299
  0  8 bytes at 343
  gob1  44 bytes at 351
  0  8 bytes at 395
plr  26 bytes at 403'

got=$("$tool" chunks "$fixtures/game.mds") || fail "plain save: exit $?"
[ "$got" = "$tree" ] || fail "plain save printed:
$got"

packed_size=$(($(stat -c %s "$fixtures/game.mdp") - 12))
got=$("$tool" chunks "$fixtures/game.mdp") || fail "compressed save: exit $?"
[ "$got" = "compressed save: $packed_size packed bytes, 429 plain bytes
$tree" ] || fail "compressed save printed:
$got"

# expect_error PATTERN FILE: exit status 1 and PATTERN in the message.
expect_error() {
    local pattern="$1" file="$2" status
    "$tool" chunks "$file" >/dev/null 2>"$work/stderr"
    status=$?
    if [ "$status" -ne 1 ]; then
        fail "$file: exit $status, expected 1"
    elif ! grep -q -- "$pattern" "$work/stderr"; then
        fail "$file: message '$(cat "$work/stderr")' lacks '$pattern'"
    fi
}

head -c 100 "$fixtures/game.mds" >"$work/cut.mds"
expect_error "damaged chunk file: chunk 'gmap' at byte 83 has the size 180, but only 17 bytes are left" "$work/cut.mds"
head -c 50 "$fixtures/game.mdp" >"$work/cut.mdp"
expect_error "nor a compressed save (the packed length" "$work/cut.mdp"
printf 'daeh\x27\x00\x00\x00\x04\x00\x00\x00' >"$work/header.mds"
expect_error "damaged chunk file: chunk 'head' at byte 0 has the size 39, but only 12 bytes are left" "$work/header.mds"
printf 'daeh\x0c\x00\x00\x00\x09\x00\x00\x00' >"$work/header.mds"
expect_error "damaged header chunk" "$work/header.mds"
echo "not a save" >"$work/text.mds"
expect_error "neither a chunk file" "$work/text.mds"
expect_error "cannot be opened" "$work/missing.mds"

# A header text with control characters reaches the terminal escaped.
printf 'daeh\x19\x00\x00\x00\x04\x00\x00\x00\x04\x00\x00\x00\x05\x00\x00\x00\x1b[2J\x00' >"$work/escape.mds"
got=$("$tool" chunks "$work/escape.mds") || fail "escape header: exit $?"
[ "$got" = 'version 4, "\x1B[2J"
head  25 bytes at 0' ] || fail "escape header printed: $got"

"$tool" chunks >/dev/null 2>&1
[ $? -eq 2 ] || fail "no argument: expected the usage exit 2"

finish
