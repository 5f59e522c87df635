#!/usr/bin/env bash
# Code layering: a folder includes headers only of its own folder and of the
# folders below it (platform < data < files < world < gameloop < transport <
# vehicles < economy < ai < engine < view < ui < app < ingame; a subfolder
# such as platform/video/ belongs to its top folder); only platform/ includes
# SDL, GL or ENet, and the system's own headers (POSIX: unistd.h, fcntl.h,
# sys/*.h, dirent.h, pthread.h, ...). tools/, tests/, bench/ and fuzz/ may
# include anything.
#
#   layering.sh          checks the project, after proving on a scratch tree
#                        that a violation is caught
#   layering.sh ROOT     checks the tree at ROOT
set -u
order=(platform data files world gameloop transport vehicles economy ai engine view ui app ingame)
# The system's headers beyond the C and C++ libraries: what the platform
# layer wraps for everyone else.
posix='<(unistd|fcntl|dirent|pthread|dlfcn|poll|termios|netdb|pwd|grp|glob|fnmatch|spawn|sched|semaphore|syslog|utime|libgen|strings|aio|mqueue|wordexp|ftw|iconv|langinfo|nl_types|regex|spawn|ucontext|utmpx)\.h>|<(sys|arpa|netinet|net)\/'

# check ROOT: prints one line per violation; exit 1 when there is any.
check() {
    (
        cd "$1" || exit 1
        files=$(for folder in "${order[@]}"; do
            [ -d "$folder" ] && find "$folder" -type f \( -name '*.cpp' -o -name '*.h' \)
        done | sort)
        [ -n "$files" ] || exit 0
        # shellcheck disable=SC2086
        grep -H -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' $files |
            awk -v order="${order[*]}" -v posix="$posix" '
                BEGIN { n = split(order, names, " "); for (i = 1; i <= n; ++i) rank[names[i]] = i }
                {
                    split($0, part, ":"); file = part[1]; line = part[2]
                    text = substr($0, length(file) + length(line) + 3)
                    top = file; sub(/\/.*/, "", top)
                    if (match(text, /"[^"]+"/)) {
                        include = substr(text, RSTART + 1, RLENGTH - 2)
                        target = include; sub(/\/.*/, "", target)
                        if ((target in rank) && rank[target] > rank[top]) {
                            printf "%s:%s: includes \"%s\": %s/ is below %s/\n", file, line, include, top, target
                            ++violations
                        } else if (target ~ /^(tools|tests|bench|fuzz)$/) {
                            printf "%s:%s: includes \"%s\": %s/ may not include %s/\n", file, line, include, top, target
                            ++violations
                        }
                    } else if (top != "platform" && text ~ /<(SDL|GL\/|enet\/)/) {
                        printf "%s:%s: %s: only platform/ includes SDL, GL or ENet\n", file, line, text
                        ++violations
                    } else if (top != "platform" && text ~ posix) {
                        printf "%s:%s: %s: only platform/ includes system headers\n", file, line, text
                        ++violations
                    }
                }
                END { exit violations > 0 }'
    )
}

if [ $# -eq 1 ]; then
    check "$1"
    exit
fi

# The check itself must catch what it is for: a scratch tree with one of
# each violation and one allowed include.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch"/{platform/video,files,world,engine,tests,gameloop}
printf '#include "files/a.h"\n#include <SDL2/SDL.h>\n' >"$scratch/platform/video/window.cpp"
printf '#include "world/map.h"\n#include "platform/file.h"\n' >"$scratch/files/a.h"
printf '#include "tests/files/fixture.h"\n' >"$scratch/engine/e.cpp"
printf '#include <SDL.h>\n' >"$scratch/world/w.cpp"
printf '#include "ingame/x.h"\n#include <unistd.h>\n' >"$scratch/tests/t.cpp"
printf '#include <sys/stat.h>\n#include <cstdio>\n#include <ctime>\n#include <dirent.h>\n' >"$scratch/gameloop/g.cpp"
printf '#include <unistd.h>\n#include <sys/mman.h>\n' >>"$scratch/platform/video/window.cpp"
found=$(check "$scratch")
expected='engine/e.cpp:1: includes "tests/files/fixture.h": engine/ may not include tests/
files/a.h:1: includes "world/map.h": files/ is below world/
gameloop/g.cpp:1: #include <sys/stat.h>: only platform/ includes system headers
gameloop/g.cpp:4: #include <dirent.h>: only platform/ includes system headers
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
