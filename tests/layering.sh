#!/usr/bin/env bash
# Code layering: a folder includes headers only of its own folder and of the
# folders below it (platform < data < files < world < gameloop < transport <
# vehicles < economy < ai < engine < view < ui < app < ingame; a subfolder
# such as platform/video/ belongs to its top folder); only platform/ includes
# SDL, GL or ENet. tools/, tests/, bench/ and fuzz/ may include anything.
#
#   layering.sh          checks the project, after proving on a scratch tree
#                        that a violation is caught
#   layering.sh ROOT     checks the tree at ROOT
set -u
order=(platform data files world gameloop transport vehicles economy ai engine view ui app ingame)
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

# check ROOT: prints one line per violation; exit 1 when there is any.
check() {
    local root="$1" violations=0 file top line include target
    while IFS= read -r file; do
        top=${file%%/*}
        while IFS=$'\t' read -r line include; do
            target=${include%%/*}
            if [ -n "${rank[$target]+set}" ] && [ "${rank[$target]}" -gt "${rank[$top]}" ]; then
                echo "$file:$line: includes \"$include\": $top/ is below $target/"
                violations=$((violations + 1))
            elif [[ "$target" =~ ^(tools|tests|bench|fuzz)$ ]]; then
                echo "$file:$line: includes \"$include\": $top/ may not include $target/"
                violations=$((violations + 1))
            fi
        done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/$file" |
            sed -E 's/^([0-9]+):[^"]*"([^"]+)".*/\1\t\2/')
        if [ "$top" != platform ]; then
            while IFS=: read -r line include; do
                echo "$file:$line: $include: only platform/ includes SDL, GL or ENet"
                violations=$((violations + 1))
            done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<(SDL|GL/|enet/)' "$root/$file")
        fi
    done < <(cd "$root" && for folder in "${order[@]}"; do
        [ -d "$folder" ] && find "$folder" -type f \( -name '*.cpp' -o -name '*.h' \)
    done | sort)
    [ "$violations" -eq 0 ]
}

if [ $# -eq 1 ]; then
    check "$1"
    exit
fi

# The check itself must catch what it is for: a scratch tree with one of
# each violation and one allowed include.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch"/{platform/video,files,world,engine,tests}
printf '#include "files/a.h"\n#include <SDL2/SDL.h>\n' >"$scratch/platform/video/window.cpp"
printf '#include "world/map.h"\n#include "platform/file.h"\n' >"$scratch/files/a.h"
printf '#include "tests/files/fixture.h"\n' >"$scratch/engine/e.cpp"
printf '#include <SDL.h>\n' >"$scratch/world/w.cpp"
printf '#include "ingame/x.h"\n' >"$scratch/tests/t.cpp"
found=$(check "$scratch")
expected='engine/e.cpp:1: includes "tests/files/fixture.h": engine/ may not include tests/
files/a.h:1: includes "world/map.h": files/ is below world/
platform/video/window.cpp:1: includes "files/a.h": platform/ is below files/
world/w.cpp:1: #include <SDL.h>: only platform/ includes SDL, GL or ENet'
if [ "$found" != "$expected" ]; then
    echo "layering: the check missed or misreported violations in its scratch tree:"
    echo "$found"
    exit 1
fi

cd "$(dirname "$0")/.."
if ! check .; then
    echo "layering: lower folders include higher ones (see above)"
    exit 1
fi
echo "layering: every include goes down"
