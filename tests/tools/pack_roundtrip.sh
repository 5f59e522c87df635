#!/usr/bin/env bash
# mdtool pack and unpack: files of several kinds and sizes through each
# stream format and back, known bytes, and refusals of damaged input.
. "$(dirname "$0")/lib/common.sh"

: >"$work/empty"
printf 'x' >"$work/one"
printf 'xy' >"$work/two"
printf 'abc' >"$work/three"
cat files/*.cpp files/*.h >"$work/text"
head -c 1000000 /dev/zero >"$work/zeros"
python3 -c 'import random, sys; random.seed(7); sys.stdout.buffer.write(random.randbytes(70000))' >"$work/random"

for format in lzss aplib aplib-container; do
    for input in empty one two three text zeros random; do
        packed="$work/$input.$format"
        if ! "$tool" pack "$format" "$work/$input" "$packed" >/dev/null; then
            fail "pack $format $input: exit $?"
            continue
        fi
        if ! "$tool" unpack "$format" "$packed" "$packed.out" >/dev/null; then
            fail "unpack $format $input: exit $?"
            continue
        fi
        cmp -s "$work/$input" "$packed.out" || fail "$format $input: unpacked bytes differ"
    done
done

[ "$(od -An -tx1 "$work/three.lzss" | tr -d ' \n')" = "07616263" ] || fail "lzss of abc: $(od -An -tx1 "$work/three.lzss")"
[ "$(od -An -tx1 "$work/one.aplib" | tr -d ' \n')" = "78c000" ] || fail "aplib of x: $(od -An -tx1 "$work/one.aplib")"
[ "$(head -c 4 "$work/text.aplib-container")" = "AP32" ] || fail "container tag missing"
[ "$(stat -c %s "$work/zeros.aplib")" -lt 100 ] || fail "a million zeros packed to $(stat -c %s "$work/zeros.aplib") bytes"

# expect_refusal STATUS PATTERN ARGS...: the exit status, PATTERN in the
# message, and an existing output file left as it was.
expect_refusal() {
    local want="$1" pattern="$2" status
    shift 2
    echo "keep me" >"$work/kept"
    "$tool" "$@" "$work/kept" >/dev/null 2>"$work/stderr"
    status=$?
    [ "$status" -eq "$want" ] || fail "$*: exit $status, expected $want"
    grep -q -- "$pattern" "$work/stderr" || fail "$*: message '$(cat "$work/stderr")' lacks '$pattern'"
    [ "$(cat "$work/kept")" = "keep me" ] || fail "$*: the output file was changed"
}

cp "$work/text.aplib-container" "$work/damaged"
printf '\xff' | dd of="$work/damaged" bs=1 seek=100 conv=notrunc status=none
expect_refusal 1 "checksums do not match" unpack aplib-container "$work/damaged"
expect_refusal 1 "not an AP32 container" unpack aplib-container "$work/text"
cp "$work/text.aplib-container" "$work/huge"
printf '\xff\xff\xff\xff' | dd of="$work/huge" bs=1 seek=16 conv=notrunc status=none
expect_refusal 1 "unpacked bytes, more than" unpack aplib-container "$work/huge"
head -c 50 "$work/text.aplib" >"$work/cut.aplib"
expect_refusal 1 "is damaged" unpack aplib "$work/cut.aplib"
printf '\x00\x12' >"$work/half.lzss"
expect_refusal 1 "is damaged" unpack lzss "$work/half.lzss"
expect_refusal 1 "cannot be opened" pack lzss "$work/missing"
expect_refusal 2 "usage: pack" pack zip "$work/text"
expect_refusal 2 "usage: unpack" unpack lzss

finish
