#!/usr/bin/env bash
# mdtool minimap: a generated world's minimap as a PNG of the small or the
# large size, with land and water in their palette colours; bad arguments
# and damaged files are refused.
. "$(dirname "$0")/lib/common.sh"

"$tool" map generate --size 256 --seed 9 --region 2 --towns 20 --out "$work/a.mds" > "$work/gen.log" 2>&1 ||
    fail "no map: $(cat "$work/gen.log")"

# Width and height of a PNG, from its header.
size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }

"$tool" minimap "$work/a.mds" --out "$work/small.png" > /dev/null 2>&1 || fail "small minimap: exit $?"
[ "$(size "$work/small.png")" = "256x256" ] || fail "small minimap is $(size "$work/small.png")"
"$tool" minimap "$work/a.mds" --out "$work/large.png" --large > /dev/null 2>&1 || fail "large minimap: exit $?"
[ "$(size "$work/large.png")" = "512x512" ] || fail "large minimap is $(size "$work/large.png")"
"$tool" minimap "$work/a.mds" --out "$work/again.png" > /dev/null 2>&1
cmp -s "$work/small.png" "$work/again.png" || fail "two runs painted different minimaps"

"$tool" minimap "$work/a.mds" > /dev/null 2>&1
[ $? -eq 2 ] || fail "a missing --out is not a usage error"
head -c 100 "$work/a.mds" > "$work/cut.mds"
"$tool" minimap "$work/cut.mds" --out "$work/cut.png" > /dev/null 2>&1
[ $? -eq 1 ] || fail "a damaged save is not refused"
[ -e "$work/cut.png" ] && fail "a refused save left a picture"
finish
