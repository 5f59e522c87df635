#!/usr/bin/env bash
# mdtool tga: the reader's view of a file, PNG output, and a clear refusal
# of a damaged file.
source "$(dirname "$0")/lib/common.sh"

picture=gamedata/gfx/dummy.tga
info=$("$tool" tga info "$picture") || fail "info on $picture"
grep -q '^size [0-9]*x[0-9]*$' <<<"$info" || fail "info has no size: $info"
grep -q '^footer ' <<<"$info" || fail "info has no footer line: $info"

"$tool" tga png "$picture" "$work/dummy.png" >/dev/null || fail "png of $picture"
[ "$(head -c 8 "$work/dummy.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "no PNG signature"

head -c 30 "$picture" >"$work/cut.tga"
if message=$("$tool" tga png "$work/cut.tga" "$work/cut.png" 2>&1); then
    fail "a cut file was converted"
fi
grep -q "ends early" <<<"$message" || fail "no reason for the cut file: $message"
[ ! -e "$work/cut.png" ] || fail "a PNG was written for the cut file"

"$tool" tga >/dev/null 2>&1
[ $? -eq 2 ] || fail "usage error not reported"
finish
