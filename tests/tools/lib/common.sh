# Shared set-up of the mdtool checks: the tool's path from the first
# argument, a scratch folder removed on exit, and failure counting.
# Source it first; end the script with `finish`.
set -u
tool="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures failure(s)" >&2
        exit 1
    fi
    exit 0
}
