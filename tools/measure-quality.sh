#!/usr/bin/env bash
# Prints the split-quality figures of the three shipped word lists on the corpus of names with known word
# boundaries (ccdn-eval.txt, or the file named by QUORVANE_QUALITY_CORPUS, e.g. ccdn-train.txt).
# usage: tools/measure-quality.sh [QUALITY_DIR]   (or QUORVANE_QUALITY_DIR; the folder holding measure.py)
set -euo pipefail
dir="${1:-${QUORVANE_QUALITY_DIR:-}}"
if [ -z "$dir" ]; then
    echo "usage: $0 QUALITY_DIR (the folder of measure.py and the ccdn corpus; or set QUORVANE_QUALITY_DIR)" >&2
    exit 2
fi
corpus="${QUORVANE_QUALITY_CORPUS:-ccdn-eval.txt}"
data="$(dirname "$0")/../data"
echo "corpus: $corpus"
echo "targets: list #1 strict >= 0.65, nosplit <= 0.12, median <= 5, p90 <= 40;" \
    "list #2 strict >= 0.69, nosplit <= 0.10, p90 <= 80; list #3 median <= 3, p90 <= 10"
python3 "$dir/measure.py" "$dir/$corpus" "$data/dbwords.txt" "$data/google.col" "$data/mit.col"
