#!/usr/bin/env bash
# A short run of every fuzz target (AddressSanitizer + UndefinedBehaviorSanitizer) from its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/fuzz.sh "${FUZZ_SECONDS:-60}"
