#!/usr/bin/env bash
# GNU parallel cutting the input into blocks, one quorvane-split per block, -k keeping input order: the same
# bytes as one run. Exits 77 (reported as skipped) when parallel is not installed.
# usage: check-sharding.sh QUORVANE_SPLIT WORK_DIR
set -euo pipefail
split=$1
work=$2
if ! command -v parallel > /dev/null; then
    echo "GNU parallel is not installed (Debian package parallel): skipped"
    exit 77
fi
mkdir -p "$work"
names=$work/names.txt
# Names of every kind: splittable, unsplittable, empty lines, numbers, CR LF and lone LF endings, URLs.
: > "$names"
for k in $(seq 1 4000); do
    printf 'www.BlueSkyGardens%d.com\r\ncarpetsale\n\nhttp://www.example.org/about-us\r\nzzqx%d\n4sale\n' "$k" "$k" >> "$names"
done
printf 'yourlocalfordfestiva.com' >> "$names" # no line end at the very end

for options in "" "--rank --show-original" "--best 2 --format tsv" "--rank --format jsonl --max-splits 3"; do
    # shellcheck disable=SC2086 # the options are words
    "$split" --jobs 1 $options < "$names" > "$work/one.txt" 2> /dev/null || true
    # shellcheck disable=SC2086
    parallel --will-cite --pipe -k --block 32k -j 4 "$split" --jobs 1 $options < "$names" > "$work/sharded.txt" \
        2> /dev/null || true
    if ! cmp "$work/one.txt" "$work/sharded.txt"; then
        echo "options \"$options\": the sharded rows differ from one run's"
        exit 1
    fi
    if [ ! -s "$work/one.txt" ]; then
        echo "options \"$options\": no rows at all"
        exit 1
    fi
    echo "options \"$options\": $(wc -l < "$work/one.txt") lines, the same bytes"
done
