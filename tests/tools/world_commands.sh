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

finish
