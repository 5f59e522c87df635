#!/usr/bin/env bash
# mdtool vfs: an installation's database adds a folder and a packed archive
# as file sources and a virtual directory; game paths in any letter case and
# with backslashes are found through them.
. "$(dirname "$0")/lib/common.sh"
set -eo pipefail

install="$work/install"
mkdir -p "$install/config" "$install/textures" "$install/skins/blue" "$install/gfx" "$work/packed/Images"
cat >"$install/config/MDConfig.gen" <<'GEN'
Root 0 1 2 0
URI
MASTER_STRING
0
0 "file://%base%"
1 "pkq://%base%\gfx\gfx.pkq"

RootVirtualDirs 1 1 1 0
Name
MASTER_STRING
0
0 "skins\blue -> gfx_uif"
GEN
printf 'loose image' >"$install/textures/a.tga"
printf 'blue skin' >"$install/skins/blue/button.tga"
printf 'packed image' >"$work/packed/Images/B.tga"
"$tool" pkq build "$work/packed" "$install/gfx/gfx.pkq"

[ "$("$tool" vfs cat "$install" 'Textures\A.TGA')" = "loose image" ] || fail "Textures\\A.TGA not found as textures/a.tga"
[ "$("$tool" vfs which "$install" 'Textures\A.TGA')" = "file $install Textures\\A.TGA" ] || fail "which for a loose file"
[ "$("$tool" vfs cat "$install" 'images\b.TGA')" = "packed image" ] || fail "a packed file"
[ "$("$tool" vfs which "$install" 'images\b.TGA')" = "pkq $install\\gfx\\gfx.pkq images\\b.TGA" ] ||
    fail "which for a packed file"
[ "$("$tool" vfs cat "$install" 'gfx_uif/BUTTON.tga')" = "blue skin" ] || fail "a virtual directory"
if "$tool" vfs cat "$install" 'textures\missing.tga' 2>/dev/null; then fail "a missing file was found"; fi
if "$tool" vfs cat "$install" '..\install\textures\a.tga' 2>/dev/null; then fail "a path left the source"; fi
if "$tool" vfs cat "$work/nowhere" 'x' 2>/dev/null; then fail "an installation without a database"; fi
finish
