#!/usr/bin/env bash
# Simulation code gives the same results on every machine and in every run.
#
# The sources: simulation code draws only from the world's own random
# streams, takes time only from the game clock (through platform/), and
# calls no transcendental function of the maths library, whose last bits
# differ between library versions (sqrt and the four operations are exact).
# Checks the simulation folders (world, gameloop, transport, vehicles,
# economy, ai) for calls of the C library's generator, the system's clocks
# and those functions.
#
# The game: on generated 512 x 512 maps with towns and factories, for each
# seed, 2N frames in one process, the same in a process with another heap
# layout, and N frames, a save, a load and N frames give the same world
# (mdtool game hash).
#
#   determinism.sh          checks the project's sources, after proving on a
#                           scratch tree that each kind of call is caught
#   determinism.sh ROOT     checks the sources of the tree at ROOT
#   determinism.sh GAME TOOL [SEEDS [N]]
#                           checks the project's sources, then plays SEEDS
#                           seeds (5) of N frames (18000) with the game
#                           program GAME and the tool TOOL, after proving
#                           that a load which loses the saved loop state
#                           is caught
set -u
folders=(world gameloop transport vehicles economy ai)
maths='a?(sin|cos|tan)h?|atan2|exp|exp2|expm1|log|log2|log10|log1p|pow|cbrt|hypot|erfc?|tgamma|lgamma'
pattern="(^|[^[:alnum:]_.>])((std::)?(s?rand|rand_r|random|drand48|time|clock|gettimeofday|clock_gettime|localtime|gmtime)|(std::)?($maths)f?l?)[[:space:]]*\\(|random_device|system_clock|steady_clock|high_resolution_clock"

# check ROOT: prints one line per call; exit 1 when there is any.
check() {
    (
        cd "$1" || exit 1
        files=$(for folder in "${folders[@]}"; do
            [ -d "$folder" ] && find "$folder" -type f \( -name '*.cpp' -o -name '*.h' \)
        done | sort)
        [ -n "$files" ] || exit 0
        # Comments are left out: a line's text after // and whole // lines.
        # shellcheck disable=SC2086
        found=$(grep -H -n -E "$pattern" $files | awk -F: '{
                    text = substr($0, length($1) + length($2) + 3)
                    sub(/\/\/.*/, "", text)
                    print $1 ":" $2 ":" text
                }' | grep -E ":.*$pattern" | cut -d: -f1,2)
        [ -z "$found" ] && exit 0
        echo "$found" | sed 's/$/: a call that differs between machines or runs/'
        exit 1
    )
}

if [ $# -eq 1 ]; then
    check "$1"
    exit
fi
game=""
if [ $# -ge 2 ]; then
    game="$1"
    tool="$2"
    seeds="${3:-5}"
    frames="${4:-18000}"
fi

# The check itself must catch what it is for: a scratch tree with one call
# of each kind, and names that only look like them.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch"/{world,gameloop,engine}
cat >"$scratch/world/a.cpp" <<'CODE'
int a = rand() % 6;
float b = std::sin(angle);
double c = pow(2.0, x);
auto d = std::chrono::steady_clock::now();
uint32_t e = GameRandom() + state.Time() + Rand(3) + std::sqrt(2.0f);
// comments may say rand() and sin(x)
float f = clock->GetTime() + logger.log(1) + std::exp(y); // atan2(y, x)
CODE
printf 'long g = time(nullptr);\n' >"$scratch/gameloop/b.cpp"
printf 'float h = std::cos(angle);\n' >"$scratch/engine/c.cpp"
found=$(check "$scratch")
expected='gameloop/b.cpp:1: a call that differs between machines or runs
world/a.cpp:1: a call that differs between machines or runs
world/a.cpp:2: a call that differs between machines or runs
world/a.cpp:3: a call that differs between machines or runs
world/a.cpp:4: a call that differs between machines or runs
world/a.cpp:7: a call that differs between machines or runs'
if [ "$found" != "$expected" ]; then
    echo "determinism: the check missed or misreported calls in its scratch tree:"
    echo "$found"
    exit 1
fi

cd "$(dirname "$0")/.."
if ! check .; then
    echo "determinism: simulation code calls the C library's generator, a system clock or a maths function"
    exit 1
fi
echo "determinism: the simulation calls nothing that differs between machines"
[ -n "$game" ] || exit 0

data="$(pwd)/gamedata"
work=$(mktemp -d)
trap 'rm -rf "$scratch" "$work"' EXIT

# play SEED FRAMES OUT [options]: a new game on a generated map, saved.
play() {
    local seed=$1 count=$2 out=$3
    shift 3
    "$game" --headless --new --generate 512 --seed "$seed" --ticks "$count" --data "$data" --save "$out" "$@" \
        2>/dev/null
}
world_hash() { "$tool" game hash "$1"; }

# Removes the session section's trailing chunk "cont" (the loop's times,
# the town cursor, the random streams) from a saved game, as a file of an
# older version lacks it, and makes the checksum fit again.
strip_continuation() {
    python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
data = bytearray(open(sys.argv[1], "rb").read())
head = struct.unpack_from("<I", data, 4)[0]
pos = head
for _ in range(9):
    pos += struct.unpack_from("<I", data, pos + 4)[0]
# The session section "GC": its header and four sized values, then chunks.
size = struct.unpack_from("<I", data, pos + 4)[0]
at = pos + 8 + 32
while at < pos + size:
    tag, length = struct.unpack_from("<II", data, at)
    if tag == 0x636F6E74:
        del data[at:at + length]
        struct.pack_into("<I", data, pos + 4, size - length)
        struct.pack_into("<I", data, head - 4, zlib.crc32(bytes(data[head:])))
        open(sys.argv[2], "wb").write(bytes(data))
        sys.exit(0)
    at += length
sys.exit("no chunk cont")
PY
}

# Another heap layout: other fill bytes, a larger environment, the large
# blocks of the C library's allocator placed elsewhere, no address
# randomisation where setarch can turn it off, and other red zones under
# the address sanitizer.
other_heap=(env MALLOC_PERTURB_=90 "MD_PADDING=$(printf '%*s' 5000 '')"
    GLIBC_TUNABLES=glibc.malloc.mmap_threshold=65536:glibc.malloc.top_pad=1048576
    "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}redzone=256:malloc_fill_byte=7")
if setarch "$(uname -m)" -R true 2>/dev/null; then other_heap+=(setarch "$(uname -m)" -R); fi

failures=0
for seed in $(seq 1 "$seeds"); do
    a="$work/a$seed.mds" b="$work/b$seed.mds" half="$work/half$seed.mds" c="$work/c$seed.mds"
    summary=$(MALLOC_PERTURB_=165 play "$seed" $((2 * frames)) "$a") || {
        echo "determinism: seed $seed: the game failed"
        failures=$((failures + 1))
        continue
    }
    towns=$(echo "$summary" | sed -n 's/^\([0-9]*\) towns, \([0-9]*\) factories.*/\1/p')
    factories=$(echo "$summary" | sed -n 's/^\([0-9]*\) towns, \([0-9]*\) factories.*/\2/p')
    # Every town has its town-centre factory: more are real ones.
    if [ "${towns:-0}" -lt 1 ] || [ "${factories:-0}" -le "${towns:-0}" ]; then
        echo "determinism: seed $seed: the map lacks towns or factories ($towns towns, $factories factories)"
        failures=$((failures + 1))
        continue
    fi
    "${other_heap[@]}" "$game" --headless --new --generate 512 --seed "$seed" --ticks $((2 * frames)) \
        --data "$data" --save "$b" >/dev/null 2>&1 || echo "determinism: seed $seed: the second process failed"
    play "$seed" "$frames" "$half" >/dev/null || echo "determinism: seed $seed: the half run failed"
    "$game" --headless --load "$half" --ticks "$frames" --data "$data" --save "$c" >/dev/null 2>&1 ||
        echo "determinism: seed $seed: the continued run failed"
    ha=$(world_hash "$a") hb=$(world_hash "$b") hc=$(world_hash "$c")
    if [ -z "$ha" ] || [ "$ha" != "$hb" ] || [ "$ha" != "$hc" ]; then
        echo "determinism: seed $seed: 2N frames $ha, in another heap layout $hb, N + save + load + N $hc"
        failures=$((failures + 1))
    fi

    # The comparison must catch a load that loses what the game needs to
    # continue: without the trailing chunk the towns take other turns, so
    # the world differs even when the chunk itself is left out of both.
    if [ "$seed" -eq 1 ]; then
        strip_continuation "$half" "$work/old.mds" &&
            "$game" --headless --load "$work/old.mds" --ticks "$frames" --data "$data" \
                --save "$work/lost.mds" >/dev/null 2>&1 &&
            strip_continuation "$work/lost.mds" "$work/lost-world.mds" &&
            strip_continuation "$a" "$work/a-world.mds" || {
            echo "determinism: the planted loss of the loop's state could not be played"
            failures=$((failures + 1))
        }
        if [ "$(world_hash "$work/lost-world.mds" 2>/dev/null)" = "$(world_hash "$work/a-world.mds" 2>/dev/null)" ]; then
            echo "determinism: a load that loses the loop's state gives the same world: no town grew in $frames frames"
            failures=$((failures + 1))
        fi
    fi
done
if [ "$failures" -ne 0 ]; then
    echo "determinism: $failures failure(s) in the games"
    exit 1
fi
echo "determinism: $seeds generated games of 2 x $frames frames agree across heaps and a save and load"
