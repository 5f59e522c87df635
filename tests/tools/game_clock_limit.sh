#!/usr/bin/env bash
# The game clock near the end of 32 bits: a saved game whose clock ("tim1")
# is past the clock's largest time is refused with one line that says so,
# one at the largest time loads and runs, and a frame longer than the
# program allows is refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

"$game" --headless --new --seed 3 --generate 64 --ticks 100 --save "$work/game.mds" > /dev/null 2>&1 ||
    fail "new game: exit $?"

# set_clock IN OUT MS: the saved game with its clock's game time set to MS
# and the checksum made to fit again.
set_clock() {
    python3 - "$1" "$2" "$3" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], "rb").read())
head = struct.unpack_from("<I", data, 4)[0]
# "time", then "tim1": u64 ticks, f32 speed, u32 game time.
assert struct.unpack_from("<I", data, head + 8)[0] == 0x74696D31
struct.pack_into("<I", data, head + 16 + 12, int(sys.argv[3]))
struct.pack_into("<I", data, head - 4, zlib.crc32(bytes(data[head:])))
open(sys.argv[2], "wb").write(bytes(data))
PY
}

for ms in 4294967295 4294901761; do
    set_clock "$work/game.mds" "$work/late.mds" "$ms" || fail "the clock cannot be set"
    out=$(timeout 60 "$game" --headless --load "$work/late.mds" --ticks 10 2>&1)
    status=$?
    [ "$status" -eq 1 ] || fail "a clock of $ms ms: exit $status"
    echo "$out" | grep -q "game time of $ms ms is past its largest, 4294901760 ms" ||
        fail "a clock of $ms ms is not refused with its reason: $out"
done

# At its largest time the clock stops, and the game goes on.
set_clock "$work/game.mds" "$work/last.mds" 4294901760 || fail "the clock cannot be set"
out=$(timeout 60 "$game" --headless --load "$work/last.mds" --ticks 100 2>&1) || fail "the largest time: exit $?"
echo "$out" | grep -q "game time 4294901760 ms" || fail "the clock did not stop at its largest time: $out"

# A frame of more than a minute of game time is refused, naming the option.
out=$(timeout 60 "$game" --headless --new --frame-ms 4294967295 --ticks 3 2>&1)
status=$?
[ "$status" -eq 2 ] || fail "--frame-ms 4294967295: exit $status"
echo "$out" | grep -q -- "--frame-ms takes 1 to 60000" || fail "--frame-ms 4294967295 is not refused: $out"
timeout 60 "$game" --headless --new --frame-ms 60000 --ticks 10 > /dev/null 2>&1 || fail "--frame-ms 60000: exit $?"
finish
