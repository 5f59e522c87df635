#!/usr/bin/env bash
# mdtool station list: the headless game builds stations by command name
# from a script, previews one and removes another; the saved game lists
# what stands, by id, kind, place, owner and name.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

cat > "$work/build.cmds" <<'CMDS'
5  BuildStationCommand 4 30 0 0 0 0
5  BuildStationCommand 10 40 0 0 0 0
5  BuildStationCommand25 20 50 0 0 1 0
6  DemolishStationCommand 524292
CMDS
"$game" --headless --new --seed 5 --generate 64 --ticks 20 --script "$work/build.cmds" \
    --save "$work/s.mds" >/dev/null 2>&1 || { fail "headless game: exit $?"; finish; }

out=$("$tool" station list "$work/s.mds") || fail "list: exit $?"
[ "$out" = "station 524291 kind 0 at 4 30 owner 4 Station01
station 524293 kind 0 at 20 50 owner 4 Station03" ] || fail "listed:
$out"

# A game with stations continues exactly after a save and a load (the
# commands all come before the save), and its stations load and save
# again unchanged.
cat > "$work/play.cmds" <<'CMDS'
5    BuildStationCommand 4 4 1 3 0 0
5    BuildStationCommand 10 40 0 4 0 0
5    BuildStationCommand 20 50 0 0 1 0
300  BuildStationExtentionCommand 524293 4
700  DemolishStationCommand 524292
CMDS
play() { "$game" --headless --new --seed 42 --generate 64 --script "$work/play.cmds" "$@" >/dev/null 2>&1; }
play --ticks 2000 --save "$work/a.mds" || fail "whole run: exit $?"
play --ticks 1000 --save "$work/half.mds" || fail "half run: exit $?"
"$game" --headless --load "$work/half.mds" --ticks 1000 --save "$work/c.mds" >/dev/null 2>&1 ||
    fail "continued run: exit $?"
[ "$("$tool" station list "$work/a.mds" | wc -l)" -eq 2 ] || fail "the game holds no two stations"
[ "$("$tool" game hash "$work/a.mds")" = "$("$tool" game hash "$work/c.mds")" ] ||
    fail "a saved and loaded game with stations differs"
"$game" --headless --load "$work/a.mds" --ticks 0 --save "$work/again.mds" >/dev/null 2>&1 ||
    fail "reload: exit $?"
[ "$("$tool" station list "$work/again.mds")" = "$("$tool" station list "$work/a.mds")" ] ||
    fail "the stations changed over a load and a save"

"$tool" station list "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing game: not exit 1"
"$tool" station list 2>/dev/null
[ $? -eq 2 ] || fail "no file: not exit 2"
finish
