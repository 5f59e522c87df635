#!/usr/bin/env bash
# Runs every fuzz target of a sanitizer build for a few seconds, several at
# once, each from its seed corpus in a scratch copy. A finding is kept in
# fuzz/findings/ and its log shown; the script then fails.
#
#   fuzz_all.sh BUILD_DIR SECONDS JOBS
set -u
build="$1" seconds="$2" jobs="$3"
mkdir -p fuzz/findings

run_one() {
    local target="$1" seconds="$2"
    local name work dict=()
    name=$(basename "$target" | sed 's/^fuzz_//')
    work=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
    [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
    if ASAN_OPTIONS=detect_leaks=1 "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
        -artifact_prefix="fuzz/findings/$name-" -print_final_stats=0 "${dict[@]}" "$work" >"$work.log" 2>&1; then
        echo "== fuzzed $name for ${seconds}s"
        rm -rf "$work" "$work.log"
        return 0
    fi
    echo "== fuzz target $name failed:"
    tail -n 60 "$work.log"
    rm -rf "$work" "$work.log"
    return 1
}
export -f run_one

targets=("$build"/fuzz/fuzz_*)
[ -e "${targets[0]}" ] || { echo "fuzz_all: no fuzz targets in $build/fuzz"; exit 1; }
printf '%s\n' "${targets[@]}" | xargs -P "$jobs" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds"
