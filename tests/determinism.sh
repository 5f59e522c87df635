#!/usr/bin/env bash
# Simulation code gives the same results on every machine: it draws only
# from the world's own random streams, takes time only from the game clock
# (through platform/), and calls no transcendental function of the maths
# library, whose last bits differ between library versions (sqrt and the
# four operations are exact). Checks the simulation folders (world,
# gameloop, transport, vehicles, economy, ai) for calls of the C library's
# generator, the system's clocks and those functions.
#
#   determinism.sh          checks the project, after proving on a scratch
#                           tree that each kind of call is caught
#   determinism.sh ROOT     checks the tree at ROOT
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
