#!/usr/bin/env bash
# The shipped word data is exactly what tools/make-word-data.py and tools/make-name-counts.py make from their
# named sources.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
python3 tools/make-word-data.py --out "$out"
for file in dbwords.txt google.col mit.col suffix.lst unlisted.lst capitals.lst; do
    cmp "data/$file" "$out/$file"
done
# The counts of words in real domain names, from the train half of the split quality corpus (tools/corpus).
python3 tools/make-name-counts.py --out "$out/namecounts.txt"
cmp data/namecounts.txt "$out/namecounts.txt"
echo "The word data in data/ is reproduced from its sources."
