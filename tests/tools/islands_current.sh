#!/usr/bin/env bash
# The committed default islands must be exactly what tools/make_islands.sh
# draws with `mdtool island make`, and every one must pass `island check`.
. "$(dirname "$0")/lib/common.sh"

tools/make_islands.sh "$tool" "$work/Islands" >/dev/null || fail "make_islands: exit $?"
diff -r "$work/Islands" gamedata/Islands >/dev/null || fail "gamedata/Islands differs from what tools/make_islands.sh draws"
for island in gamedata/Islands/*.mdi; do
    "$tool" island check "$island" >/dev/null || fail "$island does not pass the checks"
done
finish
