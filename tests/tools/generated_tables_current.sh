#!/usr/bin/env bash
# The committed data/generated/ must be what tools/gen_tables.py makes of
# tools/schema.txt: regenerate into a scratch folder and compare.
set -euo pipefail
# Exit status 77 tells CTest that the check was skipped.

if ! command -v python3 >/dev/null 2>&1; then
    echo "generated_tables_current: python3 not found, check skipped"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

python3 tools/gen_tables.py --out "$scratch"
if ! diff -r data/generated "$scratch"; then
    echo "generated_tables_current: data/generated/ is out of date; run python3 tools/gen_tables.py" >&2
    exit 1
fi
echo "generated_tables_current: data/generated/ is current"
