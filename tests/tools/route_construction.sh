#!/usr/bin/env bash
# The headless game lays, removes and reverts roads and tracks from a
# command script: two processes that run the same script write the same
# bytes, and the script changes the world.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

cat > "$work/build.cmds" <<'CMDS'
# tick  command  fields; the land of this map lies south of y 46 and east of x 52
10  TrackRouteCommand 10 50 60 50 8 0 0
10  TrackRouteCommand 60 4 60 40 1 0 0
20  TrackRouteCommand 30 46 30 62 2 0 0
30  TrackRouteCommand 12 54 40 54 8 1 0
40  BuildRouteCommand 12 54 40 54 8 1
50  GameCommand31 12 58 50 58 1 8
400 BuildRouteCommand 10 50 20 50 8 0
410 GameCommand34
CMDS

run() {
    "$game" --headless --new --seed 42 --generate 64 --script "$work/build.cmds" "$@" 2>/dev/null
}

MALLOC_PERTURB_=165 run --ticks 1500 --save "$work/a.mds" > /dev/null || fail "first run: exit $?"
MALLOC_PERTURB_=90 run --ticks 1500 --save "$work/b.mds" > /dev/null || fail "second run: exit $?"
cmp -s "$work/a.mds" "$work/b.mds" || fail "two runs of one script wrote different saves"

# Saved in the middle of construction, the game loads and goes on step by
# step: it ends as the run that was never saved (bridge and tunnel
# included).
grep -v '^4[0-9][0-9] ' "$work/build.cmds" > "$work/resume.cmds"
cat >> "$work/resume.cmds" <<'CMDS'
60  TrackRouteCommand 45 47 45 60 15 0 0
60  TrackRouteCommand 54 52 54 63 9 0 0
CMDS
resume() {
    "$game" --headless --new --seed 42 --generate 64 --script "$work/resume.cmds" "$@" 2>/dev/null
}
resume --ticks 1500 --save "$work/whole.mds" > /dev/null || fail "unbroken run: exit $?"
resume --ticks 100 --save "$work/half.mds" > /dev/null || fail "half run: exit $?"
"$game" --headless --load "$work/half.mds" --ticks 1400 --save "$work/c.mds" > /dev/null 2>&1 ||
    fail "continued run: exit $?"
w=$("$tool" game hash "$work/whole.mds") || fail "hash of the unbroken run: exit $?"
c=$("$tool" game hash "$work/c.mds") || fail "hash of the continued run: exit $?"
[ "$w" = "$c" ] || fail "a build resumed after a load ended otherwise than one never saved"

"$game" --headless --new --seed 42 --generate 64 --ticks 1500 --save "$work/plain.mds" > /dev/null 2>&1 ||
    fail "run without a script: exit $?"
a=$("$tool" game hash "$work/a.mds") || fail "hash of a: exit $?"
p=$("$tool" game hash "$work/plain.mds") || fail "hash of the plain run: exit $?"
[ "$a" != "$p" ] || fail "the script changed nothing"
finish
