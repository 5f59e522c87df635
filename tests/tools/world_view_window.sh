#!/usr/bin/env bash
# marrowdale --view under a virtual display: it opens the world in a window,
# scrolls by an arrow key and by the mouse at the screen border, zooms by
# the wheel, and exits cleanly after its frames; bad options are refused.
# Skipped where xvfb-run is not installed.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"
command -v xvfb-run > /dev/null || { echo "world_view_window: xvfb-run is missing; skipped"; exit 77; }

# Under the sanitizers: memory the display's system libraries keep until
# exit is not the program's.
printf 'leak:libdbus\nleak:libgallium\nleak:swrast_dri\nleak:libLLVM\nleak:libEGL_mesa\nleak:libglapi\nleak:libSDL2\nleak:libX11\n' \
    > "$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

# Frame 2: the right arrow; frames 5 to 14: the mouse at the left border;
# frame 16: back to the middle; frame 18: the wheel.
cat > "$work/input.txt" <<'EOF'
2 key right
5 mouse 0 384
16 mouse 512 384
18 wheel 1
EOF
out=$(timeout 60 xvfb-run -a -s "-screen 0 1024x768x24" "$game" --view --generate 64 --seed 5 --frames 24 \
    --input "$work/input.txt" 2>"$work/err") || { fail "the view did not end cleanly: $? $(cat "$work/err")"; finish; }
echo "$out"
origin() { echo "$out" | awk -v w="$1" '$3 == w":" { print $5, $6; exit }'; }
start=$(origin start)
key=$(origin key)
[ -n "$start" ] && [ -n "$key" ] || fail "no start or key report: $out"
[ "$key" != "$start" ] || fail "the arrow key did not scroll: $key"
# The key scrolls right: the origin moves left.
[ "${key%% *}" -lt "${start%% *}" ] || fail "the right arrow moved the view the wrong way: $start -> $key"
zoomStart=$(echo "$out" | awk '$3 == "start:" { print $8 }')
zoomWheel=$(echo "$out" | awk '$3 == "wheel:" { print $8 }')
[ "$zoomWheel" != "$zoomStart" ] || fail "the wheel did not zoom"
end=$(echo "$out" | awk '$3 == "end:" { print $2 }')
[ "$end" = "24" ] || fail "the view did not run its 24 frames: $out"

# Frames 5 to 15 the mouse stood at the left border: the view scrolled
# between the key and the mouse's move back.
back=$(echo "$out" | awk '$2 == "16" && $3 == "mouse:" { print $5, $6; exit }')
[ -n "$back" ] || fail "no report of the mouse's move back: $out"
[ "$back" != "$key" ] || fail "the mouse at the border did not scroll: $back"

"$game" --view --frames 3 > /dev/null 2>&1
[ $? -eq 2 ] || fail "a view without a world is not a usage error"
printf '1 jump\n' > "$work/bad.txt"
"$game" --view --generate 64 --input "$work/bad.txt" > /dev/null 2>&1
[ $? -eq 1 ] || fail "a bad input script is not refused"
finish
