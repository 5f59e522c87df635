#!/usr/bin/env bash
# Inputs that never end or are far larger than their format allows are
# refused at once with one line: a device that never ends (/dev/zero), a
# sparse file of 2 GB, a FIFO with no writer (which must not block).
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

truncate -s 2G "$work/sparse" || { echo "no sparse files here"; exit 77; }
mkfifo "$work/fifo" || { echo "no FIFOs here"; exit 77; }

# refused WHAT PATTERN COMMAND...: the command fails within 10 s with one
# line on stderr matching PATTERN.
refused() {
    local what="$1" pattern="$2"
    shift 2
    timeout 10 "$@" >/dev/null 2>"$work/stderr"
    local status=$?
    if [ "$status" -eq 0 ]; then
        fail "$what: $*: accepted"
    elif [ "$status" -eq 124 ]; then
        fail "$what: $*: still running after 10 s"
    elif [ "$status" -gt 128 ]; then
        fail "$what: $*: died with status $status: $(head -c 300 "$work/stderr")"
    elif ! grep -Eq "$pattern" "$work/stderr"; then
        fail "$what: $*: message '$(head -c 300 "$work/stderr")' lacks '$pattern'"
    elif [ "$(wc -l <"$work/stderr")" -gt 1 ]; then
        fail "$what: $*: more than one line: $(head -c 300 "$work/stderr")"
    fi
}

# finishes WHAT COMMAND...: the command ends within 10 s, refused or not
# (a FIFO without a writer reads as empty).
finishes() {
    local what="$1"
    shift
    timeout 10 "$@" >/dev/null 2>"$work/stderr"
    local status=$?
    if [ "$status" -eq 124 ]; then
        fail "$what: $*: still running after 10 s"
    elif [ "$status" -gt 128 ]; then
        fail "$what: $*: died with status $status: $(head -c 300 "$work/stderr")"
    fi
}

for input in /dev/zero "$work/sparse" "$work/fifo"; do
    case "$input" in
    /dev/zero) pattern="character device" ;;
    */sparse) pattern="more than" ;;
    *) pattern="." ;;
    esac
    if [ "$input" = "$work/fifo" ]; then
        refused() { finishes "$1" "${@:3}"; }
    fi
    refused "$input" "$pattern" "$tool" game hash "$input"
    refused "$input" "$pattern" "$tool" chunks "$input"
    refused "$input" "$pattern" "$tool" tga info "$input"
    refused "$input" "$pattern" "$tool" db get "$input" Root 0 X
    refused "$input" "$pattern" "$tool" text "$input" 0
    refused "$input" "$pattern" "$tool" pack lzss "$input" "$work/out"
    if [ -x "$game" ]; then
        refused "$input" "$pattern" "$game" --headless --new --generate 64 --ticks 1 --script "$input"
        refused "$input" "$pattern" "$game" --headless --load "$input" --ticks 1
    fi
done

# A FIFO with a writer is read to its end: a script given through a pipe.
if [ -x "$game" ]; then
    printf '# nothing\n' >"$work/script"
    timeout 30 "$game" --headless --new --generate 64 --ticks 1 --script <(cat "$work/script") \
        >/dev/null 2>"$work/stderr" || fail "a script through a pipe: $(head -c 300 "$work/stderr")"
fi
finish
