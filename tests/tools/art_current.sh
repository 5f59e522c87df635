#!/usr/bin/env bash
# The committed default art must be exactly what `mdtool art` paints, and
# the fonts it paints must cut into their glyphs.
set -euo pipefail
mdtool="$1"

"$mdtool" art check gamedata

# Every font sheet starts with the marker pixel and lists in fonts.xml.
for sheet in gamedata/fonts/Font*_*.tga; do
    name=$(basename "$sheet" .tga)
    grep -q "name=\"${name%_*}\"" gamedata/config/fonts.xml || { echo "art_current: $name not in fonts.xml" >&2; exit 1; }
done
echo "art_current: default art is current"
