#!/usr/bin/env bash
# The engine demo draws its scene on the GL device (off-screen) and on the
# Null device; both must send the device the same work.
set -euo pipefail
mdtool="$1"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

gl=$("$mdtool" engine demo --gl --size 800x600 --out "$scratch/gl.png")
null=$("$mdtool" engine demo --null --size 800x600 --out "$scratch/null.png")
echo "$gl"
echo "$null"
for f in gl null; do
    [ "$(head -c 8 "$scratch/$f.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
        { echo "engine_demo: $f.png is not a PNG" >&2; exit 1; }
done
# Same draw calls, state changes and texture binds on both devices.
[ "${gl#*800x600 on OpenGL}" = "${null#*800x600 on Null}" ] ||
    { echo "engine_demo: the devices were sent different work" >&2; exit 1; }

# A size the display does not offer is refused.
if "$mdtool" engine demo --null --size 1000x700 --out "$scratch/bad.png" 2>/dev/null; then
    echo "engine_demo: 1000x700 was accepted" >&2
    exit 1
fi
echo "engine_demo: both devices drew the scene"
