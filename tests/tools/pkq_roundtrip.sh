#!/usr/bin/env bash
# mdtool pkq: a folder packed with either method and extracted again comes
# back the same; an update package replaces older files and adds new ones;
# bad arguments and missing archives fail.
. "$(dirname "$0")/lib/common.sh"
set -eo pipefail

mkdir -p "$work/src/Textures/sub" "$work/src/ui"
printf 'alpha' >"$work/src/Textures/A.TGA"
seq 1 20000 >"$work/src/ui/numbers.txt"
head -c 30000 /dev/urandom >"$work/src/Textures/sub/noise.bin"
: >"$work/src/empty"
printf 'x' >"$work/src/one"

for method in 6 7; do
    "$tool" pkq build "$work/src" "$work/m$method.pkq" --method "$method"
    [ -f "$work/m$method.ind" ] || fail "no index file for method $method"
    "$tool" pkq list "$work/m$method.pkq" >"$work/list$method"
    grep -q "^method $method, 5 entries$" "$work/list$method" || fail "listing of method $method"
    grep -q ' Textures\\sub\\noise.bin$' "$work/list$method" || fail "entry names use backslashes"
    "$tool" pkq extract "$work/m$method.pkq" "$work/out$method"
    diff -r "$work/src" "$work/out$method" || fail "extracted tree of method $method differs"
done

# An update package with a newer file and a new one.
mkdir -p "$work/package/ui"
seq 1 100 >"$work/package/ui/NUMBERS.TXT"
printf 'added' >"$work/package/added.txt"
touch -d '2001-01-01' "$work/src/ui/numbers.txt"
"$tool" pkq build "$work/src" "$work/installed.pkq"
"$tool" pkq build "$work/package" "$work/update.pkq"
"$tool" pkq update "$work/installed.pkq" "$work/update.pkq"
"$tool" pkq extract "$work/installed.pkq" "$work/updated"
cmp -s "$work/updated/ui/numbers.txt" "$work/package/ui/NUMBERS.TXT" || fail "the newer file was not taken"
[ "$(cat "$work/updated/added.txt")" = added ] || fail "the new file was not added"
cmp -s "$work/updated/Textures/A.TGA" "$work/src/Textures/A.TGA" || fail "an untouched file changed"

# A package of the other method is refused and leaves the archive alone.
"$tool" pkq build "$work/package" "$work/other.pkq" --method 6
cp "$work/installed.ind" "$work/before.ind"
if "$tool" pkq update "$work/installed.pkq" "$work/other.pkq" 2>"$work/err"; then fail "method mismatch accepted"; fi
grep -q "method" "$work/err" || fail "no clear message for a method mismatch"
cmp -s "$work/installed.ind" "$work/before.ind" || fail "a refused update changed the index"

# Failures exit non-zero with a message.
for args in "pkq list $work/missing.pkq" "pkq build $work/src $work/bad.pkq --method 5" \
    "pkq build $work/nofolder $work/bad.pkq" "pkq extract $work/missing.pkq $work/x" "pkq frobnicate"; do
    # shellcheck disable=SC2086
    if "$tool" $args 2>/dev/null; then fail "mdtool $args succeeded"; fi
done
printf 'short' >"$work/broken.ind"
cp "$work/m7.pkq" "$work/broken.pkq"
if "$tool" pkq list "$work/broken.pkq" 2>"$work/err"; then fail "a broken index was listed"; fi
grep -q "index" "$work/err" || fail "no clear message for a broken index"
finish
