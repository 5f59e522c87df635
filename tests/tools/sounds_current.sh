#!/usr/bin/env bash
# The committed default sounds and music must be exactly what
# tools/make_sounds.sh makes. Skipped (77) where sox is not installed.
set -euo pipefail
command -v sox >/dev/null || { echo "sounds_current: sox is not installed; skipped"; exit 77; }
sox -h 2>/dev/null | grep -qw mp3 || { echo "sounds_current: sox cannot write MP3; skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
bash tools/make_sounds.sh "$work"
status=0
for made in $(cd "$work" && find . -type f | sort); do
    if ! cmp -s "$work/$made" "gamedata/$made"; then
        echo "sounds_current: gamedata/${made#./} differs from what tools/make_sounds.sh makes" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "sounds_current: default sounds are current"
exit $status
