#!/usr/bin/env bash
# mdtool view shot: a generated world with towns and a station drawn as the
# window would, at three zoom levels, on the GL device (off-screen) and on
# the Null device, which must be sent the same work; the towns' buildings
# and streets are listed; bad arguments and damaged saves are refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

printf '5  BuildStationCommand 4 30 0 0 0 0\n' > "$work/build.cmds"
"$game" --headless --new --seed 5 --generate 64 --ticks 20 --script "$work/build.cmds" \
    --save "$work/s.mds" >"$work/game.log" 2>&1 || { fail "headless game: exit $? $(cat "$work/game.log")"; finish; }

size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }

for zoom in 0 1 2; do
    gl=$("$tool" view shot "$work/s.mds" --out "$work/gl$zoom.png" --at 8 30 --zoom "$zoom" --size 800x600 --gl 2>&1) ||
        { fail "GL shot at zoom $zoom: $gl"; continue; }
    null=$("$tool" view shot "$work/s.mds" --out "$work/null$zoom.png" --at 8 30 --zoom "$zoom" --size 800x600 \
        --null 2>&1) || { fail "Null shot at zoom $zoom: $null"; continue; }
    [ "$(size "$work/gl$zoom.png")" = "800x600" ] || fail "zoom $zoom: the picture is $(size "$work/gl$zoom.png")"
    [ "${gl#*on OpenGL}" = "${null#*on Null}" ] || fail "zoom $zoom: the devices were sent different work:
$gl
$null"
    echo "$gl" | grep -Eq ", [1-9][0-9]* buildings, [1-9][0-9]* route tiles" ||
        fail "zoom $zoom: no buildings or streets listed: $gl"
done

"$tool" view shot "$work/s.mds" > /dev/null 2>&1
[ $? -eq 2 ] || fail "a missing --out is not a usage error"
"$tool" view shot "$work/s.mds" --out "$work/z.png" --zoom 99 > /dev/null 2>&1
[ $? -eq 2 ] || fail "a zoom level out of range is not a usage error"
head -c 100 "$work/s.mds" > "$work/cut.mds"
"$tool" view shot "$work/cut.mds" --out "$work/cut.png" --null > /dev/null 2>&1
[ $? -eq 1 ] || fail "a damaged save is not refused"
[ -e "$work/cut.png" ] && fail "a refused save left a picture"
finish
