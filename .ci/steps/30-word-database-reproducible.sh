#!/usr/bin/env bash
# The word database is reproducible: two separate build trees write dbWords.mdb byte for byte alike.
set -euo pipefail
cd "$(dirname "$0")/../.."
for tree in build-repro-a build-repro-b; do
    rm -rf "$tree"
    cmake -S . -B "$tree" -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF >/dev/null
    cmake --build "$tree" -j "$(nproc)" --target quorvane_word_database >/dev/null
done
cmp build-repro-a/bin/dbWords.mdb build-repro-b/bin/dbWords.mdb
echo "dbWords.mdb: the same bytes from two build trees ($(sha256sum <build-repro-a/bin/dbWords.mdb | cut -c1-16)...)"
rm -rf build-repro-a build-repro-b
