#!/usr/bin/env bash
# mdtool ui check lists a layout's widgets, numbered as the dialog numbers
# them, and refuses a damaged layout with its reason.
set -euo pipefail
mdtool="$1"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

out=$("$mdtool" ui check gamedata/uif/UIF_WidgetDemo.uif)
grep -q '^  0  Button .*Dialog' <<<"$out" || { echo "ui_commands: no frame in: $out" >&2; exit 1; }
grep -q 'ListBox .*rows 4' <<<"$out" || { echo "ui_commands: the list's row slots are missing" >&2; exit 1; }

printf 'Dialog 0 0 0 0 10 10 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 "" "" "" "" "" "" "" ""\nSlider 1\nEND\n' >"$scratch/bad.uif"
if err=$("$mdtool" ui check "$scratch/bad.uif" 2>&1); then
    echo "ui_commands: a damaged layout was accepted" >&2
    exit 1
fi
grep -q 'line 2: has 1 numbers' <<<"$err" || { echo "ui_commands: unclear refusal: $err" >&2; exit 1; }
# The dialog is drawn off-screen as the game shows it.
"$mdtool" ui shot gamedata/uif/UIF_WidgetDemo.uif --out "$scratch/demo.png" --null >/dev/null
[ -s "$scratch/demo.png" ] || { echo "ui_commands: no picture of the demonstration dialog" >&2; exit 1; }
# The demonstration window opens, runs a few frames and closes.
marrowdale="$(dirname "$mdtool")/marrowdale"
if [ -x "$marrowdale" ]; then
    SDL_VIDEODRIVER=offscreen "$marrowdale" --ui-demo --frames 3 ||
        { echo "ui_commands: the interface demonstration failed" >&2; exit 1; }
fi
echo "ui_commands: layouts are listed, drawn, and damaged ones refused"
