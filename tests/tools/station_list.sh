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

"$tool" station list "$work/none.mds" >/dev/null 2>&1
[ $? -eq 1 ] || fail "a missing game: not exit 1"
"$tool" station list 2>/dev/null
[ $? -eq 2 ] || fail "no file: not exit 2"
finish
