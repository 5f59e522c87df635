#!/usr/bin/env bash
# The game clock near the end of 32 bits: a saved game whose clock ("tim1")
# is past the clock's largest time is refused with one line that says so,
# one at the largest time loads and runs, and a frame longer than the
# program allows is refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

"$game" --headless --new --seed 3 --generate 64 --ticks 100 --save "$work/game.mds" > /dev/null 2>&1 ||
    fail "new game: exit $?"

# set_clock IN OUT MS: the saved game with its clock's game time set to MS,
# and with --shift the session's and the loop's times moved along, as in a
# game played up to that time; the checksum is made to fit again.
set_clock() {
    python3 - "$@" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], "rb").read())
time = int(sys.argv[3])
head = struct.unpack_from("<I", data, 4)[0]
# "time", then "tim1": u64 ticks, f32 speed, u32 game time.
assert struct.unpack_from("<I", data, head + 8)[0] == 0x74696D31
shift = time - struct.unpack_from("<I", data, head + 28)[0]
struct.pack_into("<I", data, head + 28, time)
if "--shift" in sys.argv:
    pos = head
    for _ in range(9):
        pos += struct.unpack_from("<I", data, pos + 4)[0]
    # "GC": four sized session values (the last tick's and the last date
    # step's times third and fourth), then "rand" and "cont" with five times.
    fields = [pos + 28, pos + 36]
    at = pos + 40
    while at < pos + struct.unpack_from("<I", data, pos + 4)[0]:
        tag, size = struct.unpack_from("<II", data, at)
        if tag == 0x636F6E74:
            fields += [at + 12 + 4 * i for i in range(5)]
        at += size
    for field in fields:
        struct.pack_into("<I", data, field, min(time, struct.unpack_from("<I", data, field)[0] + shift))
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

# A game near the clock's largest time runs on, and the clock stops there.
set_clock "$work/game.mds" "$work/last.mds" 4294900000 --shift || fail "the clock cannot be set"
out=$(timeout 60 "$game" --headless --load "$work/last.mds" --ticks 100 2>&1) || fail "the largest time: exit $?"
echo "$out" | grep -q "game time 4294901760 ms" || fail "the clock did not stop at its largest time: $out"

# A frame of more than a minute of game time is refused, naming the option.
out=$(timeout 60 "$game" --headless --new --frame-ms 4294967295 --ticks 3 2>&1)
status=$?
[ "$status" -eq 2 ] || fail "--frame-ms 4294967295: exit $status"
echo "$out" | grep -q -- "--frame-ms takes 1 to 60000" || fail "--frame-ms 4294967295 is not refused: $out"
timeout 60 "$game" --headless --new --frame-ms 60000 --ticks 10 > /dev/null 2>&1 || fail "--frame-ms 60000: exit $?"
finish
