#!/usr/bin/env bash
# The shipped word data is exactly what tools/make-word-data.py makes from its named sources.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 tools/make-word-data.py --out "$out"
for file in dbwords.txt google.col mit.col suffix.lst unlisted.lst; do
    cmp "data/$file" "$out/$file"
done
echo "The word data in data/ is reproduced from its sources."
