#!/usr/bin/env bash
# mdtool world: the scripted demo world, small and at the largest size,
# saved, loaded and saved again byte for byte; its summary; damaged copies
# refused.
. "$(dirname "$0")/lib/common.sh"

"$tool" world demo --size 96 64 --seed 7 --out "$work/demo.mds" >/dev/null || fail "demo: exit $?"
"$tool" world resave "$work/demo.mds" "$work/again.mds" || fail "resave: exit $?"
cmp -s "$work/demo.mds" "$work/again.mds" || fail "the demo world changed on resave"

info=$("$tool" world info "$work/demo.mds") || fail "info: exit $?"
for line in "size 96 x 64, revision 0" "crossings 2" "objects category 2: 3 in 10 slots, subtype 2: 3"; do
    grep -qxF "$line" <<<"$info" || fail "info lacks '$line':
$info"
done
grep -q "^cells waterway  *[1-9]" <<<"$info" || fail "the demo has no waterways:
$info"
grep -q "^date 18" <<<"$info" || fail "no date:
$info"
grep -qxF "kind world file" <<<"$info" || fail "info does not say the file's kind:
$info"

sections=$("$tool" chunks "$work/demo.mds" | grep -v '^ ' | cut -d' ' -f1 | tr '\n' ' ')
[ "$sections" = "version head time gmap obj plr SPE 0 " ] || fail "sections: $sections"

"$tool" world demo --size 2048 2048 --seed 3 --out "$work/big.mds" >/dev/null || fail "big demo: exit $?"
"$tool" world resave "$work/big.mds" "$work/big2.mds" || fail "big resave: exit $?"
cmp -s "$work/big.mds" "$work/big2.mds" || fail "the 2048 x 2048 world changed on resave"

# A header of an odd width, and a file cut short.
python3 - "$work/demo.mds" "$work/odd.mds" "$work/cut.mds" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
i = data.index(b'1pam')
data[i + 12:i + 16] = (95).to_bytes(4, 'little')
open(sys.argv[2], 'wb').write(data)
open(sys.argv[3], 'wb').write(open(sys.argv[1], 'rb').read()[:5000])
PY
for bad in odd cut; do
    "$tool" world info "$work/$bad.mds" >/dev/null 2>"$work/err" && fail "$bad file accepted"
    grep -q "refused\|damaged" "$work/err" || fail "$bad file: no reason given: $(cat "$work/err")"
done
"$tool" world demo --size 95 64 --out "$work/x.mds" 2>/dev/null && fail "odd demo size accepted"

# The game's own saved games: info and resave read them too (resave writes
# a saved game again), a cut one is refused in one line naming its kind,
# and run says it takes world files.
game="$(dirname "$tool")/marrowdale"
if [ -x "$game" ]; then
    "$game" --headless --new --generate 64 --seed 5 --ticks 10 --save "$work/game.mds" >/dev/null 2>&1 ||
        fail "a saved game for the checks: exit $?"
    info=$("$tool" world info "$work/game.mds" 2>"$work/err") || fail "info of a saved game: $(cat "$work/err")"
    for line in "kind saved game" "size 64 x 64, revision 0"; do
        grep -qxF "$line" <<<"$info" || fail "info of a saved game lacks '$line':
$info"
    done
    "$tool" world resave "$work/game.mds" "$work/game2.mds" || fail "resave of a saved game: exit $?"
    [ "$("$tool" game hash "$work/game.mds")" = "$("$tool" game hash "$work/game2.mds")" ] ||
        fail "a resaved game differs"
    head -c 20000 "$work/game.mds" >"$work/gamecut.mds"
    "$tool" world info "$work/gamecut.mds" >/dev/null 2>"$work/err" && fail "a cut saved game accepted"
    grep -q "saved game" "$work/err" || fail "a cut saved game: kind not named: $(cat "$work/err")"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "a cut saved game: not one line: $(cat "$work/err")"
    "$tool" world run "$work/game.mds" --months 1 --out "$work/x.mds" 2>"$work/err" &&
        fail "world run took a saved game"
    grep -q "saved game" "$work/err" || fail "world run: kind not named: $(cat "$work/err")"
fi

finish
