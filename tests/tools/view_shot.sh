#!/usr/bin/env bash
# mdtool view shot: a generated world with towns and a station drawn as the
# window would, at three zoom levels, on the GL device (off-screen) and on
# the Null device, which must be sent the same work; the towns' buildings
# and streets are listed; on GL the terrain is drawn (not black) and the
# station and a factory building stand out from it, and in a town so do
# a house, a street and a bus, drawn alike with sprites in atlas pages or
# not; a cattle ranch's animals are drawn; bad arguments and damaged saves
# are refused.
. "$(dirname "$0")/lib/common.sh"
game="$(dirname "$tool")/marrowdale"

printf '5  BuildStationCommand 4 30 0 0 0 0\n' > "$work/build.cmds"
"$game" --headless --new --seed 5 --generate 64 --ticks 20 --script "$work/build.cmds" \
    --save "$work/s.mds" >"$work/game.log" 2>&1 || { fail "headless game: exit $? $(cat "$work/game.log")"; finish; }

# The colour of the middle of a map cell in a shot centred on cell (cx, cy)
# at tile height h: "r g b" for each "x y" cell given after the picture.
# A PNG's pixels as rows of bytes, and their bytes per pixel.
png_py='
import struct, sys, zlib
def rows_of(path):
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        n, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IHDR":
            w, ht, _, colour = struct.unpack(">IIBB", data[pos + 8:pos + 18])
        elif kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + n]
        pos += 12 + n
    bpp = 4 if colour == 6 else 3
    raw, stride, rows, prev = zlib.decompress(idat), w * bpp, [], bytearray(w * bpp)
    for y in range(ht):
        f, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b = (line[i - bpp] if i >= bpp else 0), prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            p = a + b - c
            paeth = a if abs(p - a) <= min(abs(p - b), abs(p - c)) else (b if abs(p - b) <= abs(p - c) else c)
            line[i] = (line[i] + (0, a, b, (a + b) // 2, paeth)[f]) & 255
        rows.append(line)
        prev = line
    return w, ht, bpp, rows
'

# The colour of the middle of a map cell in a shot centred on cell (cx, cy)
# at tile height h: "r g b" for each "x y" cell given after the picture.
probe() {
    python3 -c "$png_py
path, cx, cy, h = sys.argv[1], *map(int, sys.argv[2:5])
w, ht, bpp, rows = rows_of(path)
cells = list(map(int, sys.argv[5:]))
for x, y in zip(cells[::2], cells[1::2]):
    dx, dy = x - cx, y - cy
    px, py = w // 2 + (dx - dy) * 3 * h // 2, ht // 2 + (dx + dy) * h // 2 + h // 2
    print(*rows[py][px * bpp:px * bpp + 3])
" "$@"
}

# The number of pixels of two pictures of one size whose colours differ by
# more than a rounding step in any channel.
differing() {
    python3 -c "$png_py
a, b = rows_of(sys.argv[1]), rows_of(sys.argv[2])
if a[:3] != b[:3]:
    print(-1)
else:
    print(sum(1 for ra, rb in zip(a[3], b[3]) for i in range(len(ra)) if abs(ra[i] - rb[i]) > 2) // a[2])
" "$1" "$2"
}

size() { od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'; }

station=$("$tool" station list "$work/s.mds" | awk '/^station/ { print $6, $7; exit }')
factory=$("$tool" factory list "$work/s.mds" | awk '/Ironworks/ { print $8, $9; exit }')
[ -n "$station" ] && [ -n "$factory" ] || fail "no station or factory where the picture expects them"
heights=(22 24 28) # the tile heights of zoom levels 0 to 2

for zoom in 0 1 2; do
    gl=$("$tool" view shot "$work/s.mds" --out "$work/gl$zoom.png" --at 8 30 --zoom "$zoom" --size 800x600 --gl 2>&1) ||
        { fail "GL shot at zoom $zoom: $gl"; continue; }
    null=$("$tool" view shot "$work/s.mds" --out "$work/null$zoom.png" --at 8 30 --zoom "$zoom" --size 800x600 \
        --null 2>&1) || { fail "Null shot at zoom $zoom: $null"; continue; }
    [ "$(size "$work/gl$zoom.png")" = "800x600" ] || fail "zoom $zoom: the picture is $(size "$work/gl$zoom.png")"
    [ "${gl#*on OpenGL}" = "${null#*on Null}" ] || fail "zoom $zoom: the devices were sent different work:
$gl
$null"
    echo "$gl" | grep -Eq ", [1-9][0-9]* buildings, [1-9][0-9]* route tiles" ||
        fail "zoom $zoom: no buildings or streets listed: $gl"
    # Centred between the station (4 30) and the ironworks (21 41), with
    # plain land around the middle.
    "$tool" view shot "$work/s.mds" --out "$work/mid$zoom.png" --at 12 36 --zoom "$zoom" --size 800x600 --gl \
        > /dev/null 2>&1 || { fail "GL shot at 12 36, zoom $zoom"; continue; }
    mapfile -t colours < <(probe "$work/mid$zoom.png" 12 36 "${heights[$zoom]}" 12 36 11 36 12 37 $station \
        $factory)
    [ "${#colours[@]}" -eq 5 ] || { fail "zoom $zoom: the picture cannot be read"; continue; }
    for i in 0 1 2; do
        [ "${colours[$i]}" != "0 0 0" ] || fail "zoom $zoom: the terrain is black at probe $i"
    done
    [ "${colours[3]}" != "${colours[0]}" ] || fail "zoom $zoom: the station looks like the terrain: ${colours[3]}"
    [ "${colours[4]}" != "${colours[0]}" ] || fail "zoom $zoom: the factory looks like the terrain: ${colours[4]}"
done

# A town with a bus: two bus stops beside it, a bus bought and given a
# schedule between them by commands; it stands at its first stop. The
# house, a street and the bus each stand out from the terrain; the bus
# also from the same stop piece without one; both devices get the same work.
printf '5 BuildStationCommand 42 36 0 0 0 0\n5 BuildStationCommand 42 42 0 0 0 0\n8 BuyVehicleCommand 0 0 0 1\n' \
    > "$work/town.cmds"
"$game" --headless --new --seed 1 --generate 128 --ticks 20 --script "$work/town.cmds" --save "$work/t0.mds" \
    >"$work/game.log" 2>&1 || fail "headless town game: $(cat "$work/game.log")"
stops=$("$tool" station list "$work/t0.mds" | awk '/^station/ { printf "%s ", $2 }')
bus=$("$tool" vehicle list "$work/t0.mds" | awk '/^vehicle/ { print $2; exit }')
# The schedule record: the stop count, each stop (a station, its id, no
# products, load point 1), no kept routes, the vehicle, no settings.
python3 - "$bus" $stops > "$work/schedule.cmds" <<'PY'
import struct, sys
vehicle, stations = int(sys.argv[1]), [int(s) for s in sys.argv[2:]]
b = struct.pack('<I', len(stations))
for s in stations:
    b += struct.pack('<III', 0, s, 0) + struct.pack('<64i', *([-1] * 64)) + struct.pack('<IIII', 0, 0, 1, 0)
b += bytes([0]) + struct.pack('<II', vehicle, 0) + bytes(64) + struct.pack('<iIII', -1, 0, 0, 0)
print(1, 'SetScheduleCommand', vehicle, *b)
PY
"$game" --headless --load "$work/t0.mds" --ticks 100 --script "$work/schedule.cmds" --save "$work/t.mds" \
    >"$work/game.log" 2>&1 || fail "scheduled bus: $(cat "$work/game.log")"
for zoom in 0 1 2; do
    gl=$("$tool" view shot "$work/t.mds" --out "$work/tgl$zoom.png" --at 46 40 --zoom "$zoom" --size 800x600 --gl \
        --objects 2>&1) || { fail "town shot at zoom $zoom: $gl"; continue; }
    if [ "$zoom" -eq 0 ]; then
        null=$("$tool" view shot "$work/t.mds" --out "$work/tnull.png" --at 46 40 --zoom 0 --size 800x600 \
            --null --objects 2>&1) || fail "town Null shot: $null"
        [ "${gl#*on OpenGL}" = "${null#*on Null}" ] || fail "the devices were sent different work for the town"
    fi
    vehicle=$(echo "$gl" | awk '/^vehicle/ && $4 > 1 { print $6, $7; exit }')
    house=$(echo "$gl" | awk '/^building 1 3 / { print $5, $6; exit }')
    street=$(echo "$gl" | awk '/^road/ && $3 > 46 { print $3, $4; exit }')
    [ "$vehicle" = "42 37" ] || { fail "zoom $zoom: the bus is not at its stop: $vehicle"; continue; }
    [ -n "$house" ] && [ -n "$street" ] || { fail "zoom $zoom: no house or street in the picture"; continue; }
    mapfile -t colours < <(probe "$work/tgl$zoom.png" 46 40 "${heights[$zoom]}" 45 33 $vehicle 42 43 $house $street)
    [ "${#colours[@]}" -eq 5 ] || { fail "zoom $zoom: the town picture cannot be read"; continue; }
    [ "${colours[1]}" != "${colours[0]}" ] || fail "zoom $zoom: the bus looks like the terrain: ${colours[1]}"
    [ "${colours[1]}" != "${colours[2]}" ] || fail "zoom $zoom: the bus looks like the empty stop: ${colours[1]}"
    [ "${colours[3]}" != "${colours[0]}" ] || fail "zoom $zoom: the house looks like the terrain: ${colours[3]}"
    [ "${colours[4]}" != "${colours[0]}" ] || fail "zoom $zoom: the street looks like the terrain: ${colours[4]}"
done

# Sprites packed into atlas pages (fewer textures bound) draw the same
# picture as sprites in textures of their own, at one to one and scaled.
for zoom in 0 1; do
    binds=()
    for atlas in "" --no-atlas; do
        # shellcheck disable=SC2086
        out=$("$tool" view shot "$work/t.mds" --out "$work/atlas$zoom$atlas.png" --at 46 40 --zoom "$zoom" \
            --size 640x480 --gl $atlas 2>&1) || fail "town shot $atlas at zoom $zoom: $out"
        binds+=("$(echo "$out" | sed -n 's/.* \([0-9]*\) texture binds.*/\1/p')")
    done
    [ -n "${binds[0]}" ] && [ "${binds[0]}" -lt "${binds[1]:-0}" ] ||
        fail "zoom $zoom: atlas pages did not save texture binds: ${binds[*]}"
    n=$(differing "$work/atlas$zoom.png" "$work/atlas$zoom--no-atlas.png")
    [ "$n" = 0 ] || fail "zoom $zoom: $n pixels differ between sprites in atlas pages and in their own textures"
done

# A cattle ranch built by command keeps its animals: each one in the
# picture is listed and drawn, on both devices alike.
printf '5 BuildFactoryCommand 12 50 6 0 0\n' > "$work/ranch.cmds"
"$game" --headless --new --seed 5 --generate 64 --ticks 20 --script "$work/ranch.cmds" --save "$work/r.mds" \
    >"$work/game.log" 2>&1 || fail "headless ranch game: $(cat "$work/game.log")"
for zoom in 0 2; do
    gl=$("$tool" view shot "$work/r.mds" --out "$work/rgl$zoom.png" --at 16 54 --zoom "$zoom" --size 800x600 --gl \
        --objects 2>&1) || { fail "ranch shot at zoom $zoom: $gl"; continue; }
    null=$("$tool" view shot "$work/r.mds" --out "$work/rnull$zoom.png" --at 16 54 --zoom "$zoom" --size 800x600 \
        --null --objects 2>&1) || { fail "ranch Null shot at zoom $zoom: $null"; continue; }
    [ "${gl#*on OpenGL}" = "${null#*on Null}" ] || fail "the devices were sent different work for the ranch"
    animals=$(echo "$gl" | grep -c '^mover 3 at ')
    drawn=$(echo "$gl" | sed -n 's/.*route tiles, \([0-9]*\) moving images.*/\1/p')
    [ "$animals" -gt 0 ] || { fail "zoom $zoom: no animals on the ranch: $gl"; continue; }
    [ "$drawn" = "$animals" ] || fail "zoom $zoom: $animals animals listed but $drawn moving images drawn"
done

"$tool" view shot "$work/s.mds" > /dev/null 2>&1
[ $? -eq 2 ] || fail "a missing --out is not a usage error"
"$tool" view shot "$work/s.mds" --out "$work/z.png" --zoom 99 > /dev/null 2>&1
[ $? -eq 2 ] || fail "a zoom level out of range is not a usage error"
head -c 100 "$work/s.mds" > "$work/cut.mds"
"$tool" view shot "$work/cut.mds" --out "$work/cut.png" --null > /dev/null 2>&1
[ $? -eq 1 ] || fail "a damaged save is not refused"
[ -e "$work/cut.png" ] && fail "a refused save left a picture"
finish
