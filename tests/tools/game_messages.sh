#!/usr/bin/env bash
# Failures of the game and the tool on hostile files and options end in one
# clear line: a town whose centre lies off the map, a bad option value, a
# save that cannot be written (found before the run), a script's bad word
# (escaped and cut), and a flood of refused commands (held back).
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"
[ -x "$game" ] || { echo "no game next to $tool"; exit 77; }

# one_line WHAT PATTERN COMMAND...: the command fails with exactly one line
# on stderr that matches PATTERN.
one_line() {
    local what="$1" pattern="$2"
    shift 2
    timeout 20 "$@" >/dev/null 2>"$work/stderr"
    local status=$?
    if [ "$status" -eq 0 ]; then
        fail "$what: accepted"
    elif [ "$status" -eq 124 ] || [ "$status" -gt 128 ]; then
        fail "$what: status $status: $(head -c 300 "$work/stderr")"
    elif [ "$(wc -l <"$work/stderr")" -ne 1 ]; then
        fail "$what: not one line: $(head -c 600 "$work/stderr")"
    elif ! grep -Eq "$pattern" "$work/stderr"; then
        fail "$what: '$(cat "$work/stderr")' lacks '$pattern'"
    fi
}

# A game with towns, and copies whose first town's centre is moved (the
# checksum made to fit again, so that only the town is wrong).
"$game" --headless --new --generate 512 --seed 7 --ticks 10 --save "$work/towns.mds" >/dev/null 2>&1 ||
    fail "a game with towns: exit $?"
town() {
    python3 - "$work/towns.mds" "$work/town-$1.mds" "$1" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], 'rb').read())
at = data.index(b'1tic') + 12  # the town block's centre x, behind its chunk header and length
struct.pack_into('<I', data, at, int(sys.argv[3], 0))
head = struct.unpack_from('<I', data, 4)[0]
struct.pack_into('<I', data, head - 4, zlib.crc32(bytes(data[head:])) & 0xFFFFFFFF)
open(sys.argv[2], 'wb').write(data)
PY
}
for x in 512 0x7FFFFFF0; do
    town $x
    one_line "town at x $x: load" "lies off the 512 x 512 map" "$game" --headless --load "$work/town-$x.mds" --ticks 1
    one_line "town at x $x: map png" "lies off the 512 x 512 map" "$tool" map png "$work/town-$x.mds" "$work/t.png"
done
town 511
"$game" --headless --load "$work/town-511.mds" --ticks 1 >/dev/null 2>&1 || fail "a town on the last column refused"

# Options: the bad value named, without the usage.
one_line "a bad --ticks" "^marrowdale: --ticks takes .*not '1x'$" "$game" --headless --new --ticks 1x
one_line "a bad --seed" "^marrowdale: --seed takes" "$game" --headless --new --seed -1
one_line "a missing value" "^marrowdale: --ticks needs a value$" "$game" --headless --new --ticks

# The save's place is tried before a run that would take long.
one_line "a save into a file" "could not be saved: .*Not a directory" \
    "$game" --headless --new --ticks 100000000000 --save "$work/towns.mds/x.mds"
one_line "a save onto a device" "could not be saved: .*character device" \
    "$game" --headless --new --ticks 100000000000 --save /dev/null

# A script's bad word: escaped and cut.
printf '3 \001\033[2J%s\n' "$(head -c 100000 /dev/zero | tr '\0' 'A')" >"$work/bad.cmds"
one_line "a bad script word" "line 1: '\\\\x01\\\\x1B\[2JA+'\.\.\. \(100005 bytes\) is not a command" \
    "$game" --headless --new --ticks 1 --script "$work/bad.cmds"
[ "$(wc -c <"$work/stderr")" -lt 300 ] || fail "the bad word is not cut: $(wc -c <"$work/stderr") bytes"

# A flood of refused commands shows its first lines and a count.
python3 -c "
import sys
sys.stdout.write('1 BuildFactoryCommand 99999 99999 1 0 0\n' * 20000)" >"$work/flood.cmds"
"$game" --headless --new --generate 64 --ticks 3 --script "$work/flood.cmds" >/dev/null 2>"$work/stderr" ||
    fail "the flood run: exit $?"
lines=$(wc -l <"$work/stderr")
[ "$lines" -le 110 ] || fail "a flood of refused commands: $lines lines"
grep -q "^marrowdale: 19900 more log lines not shown$" "$work/stderr" ||
    fail "the flood is not counted: $(tail -n 2 "$work/stderr")"
finish
