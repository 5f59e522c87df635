#!/usr/bin/env bash
# Makes the game's default sound effects and music with sox's synthesiser.
# The output is byte for byte the same on every run (sox -R), so the files
# are committed and tests/tools/sounds_current.sh checks that they are what
# this script makes.
#
#   make_sounds.sh [ROOT]   writes ROOT/sfx/*.wav and ROOT/soundtrack/<row>/*.mp3
#                           (ROOT defaults to gamedata)
set -euo pipefail
root="${1:-gamedata}"
command -v sox >/dev/null || { echo "make_sounds: sox is not installed" >&2; exit 1; }
mkdir -p "$root/sfx" "$root/soundtrack/0" "$root/soundtrack/1"

# Effects: 16-bit mono PCM WAVE at 11025 Hz, short.
effect() {
    local name="$1"
    shift
    sox -R -n -r 11025 -b 16 -c 1 "$root/sfx/$name.wav" synth "$@"
}
effect click 0.05 sine 1200 fade 0 0.05 0.03
# The interface's Okay and Cancel: a short rising and a short falling chirp.
effect ui_okay 0.12 sine 880-1320 fade 0 0.12 0.05 vol 0.7
effect ui_cancel 0.12 sine 990-660 fade 0 0.12 0.05 vol 0.7
effect explosion 0.8 brownnoise fade 0.01 0.8 0.6
effect surf 1.5 pinknoise tremolo 0.5 60 vol 0.5
effect hum 1 sine 60 sine 120 vol 0.6
effect birds 0.3 sine 2000-3200 vol 0.5
effect horn 0.4 square 330 square 415 fade 0.02 0.4 0.1 vol 0.4
effect machine 1 square 50 tremolo 8 80 vol 0.4

# Music: plucked notes, one melody per soundtrack row, as 32 kbit/s MP3.
tune() {
    local out="$1" beat="$2"
    shift 2
    local work
    work=$(mktemp -d)
    local parts=() i=0 note
    for note in "$@"; do
        sox -R -n -r 22050 -b 16 -c 1 "$work/$i.wav" synth "$beat" pluck "$note" vol 0.6
        parts+=("$work/$i.wav")
        i=$((i + 1))
    done
    sox -R "${parts[@]}" -C 32 "$out"
    rm -rf "$work"
}
tune "$root/soundtrack/0/early_days.mp3" 0.4 \
    C4 E4 G4 E4 F4 A4 C5 A4 G4 E4 C4 E4 D4 F4 G4 G4 C4 E4 G4 C5 B4 G4 E4 C4
tune "$root/soundtrack/1/modern_times.mp3" 0.3 \
    A3 C4 E4 A4 G4 E4 C4 E4 F3 A3 C4 F4 E4 C4 A3 C4 G3 B3 D4 G4 F4 D4 B3 G3 A3 E4 A4 A4
