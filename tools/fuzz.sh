#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer + UndefinedBehaviorSanitizer) and runs each for
# the given number of seconds, starting from its seed corpus in fuzz/corpus/<target>/.
# usage: tools/fuzz.sh SECONDS [TARGET...]   (new inputs go to build-fuzz/corpus/<target>/, not the repository)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: tools/fuzz.sh SECONDS [TARGET...]}
shift
build=${FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ cmake -S . -B "$build" -DQUORVANE_FUZZ=ON -DQUORVANE_BUILD_TESTS=OFF -DQUORVANE_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    mapfile -t targets < <(cd fuzz/corpus && ls)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}" quorvane_word_database
# The shipped word database seeds the word-database target besides the small files in its corpus.
mkdir -p "$build/seeds/fuzz_worddb"
cp "$build/bin/dbWords.mdb" "$build/seeds/fuzz_worddb/"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# As many targets at once as there are cores; a finding in any of them fails the run.
run_one() {
    local target=$1 corpus="$build/corpus/$1"
    mkdir -p "$corpus" "$build/artifacts/$target"
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-20}" -rss_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$target/" "$corpus" "fuzz/corpus/$target" $(ls -d "$build/seeds/$target" 2>/dev/null) \
        >"$build/$target.log" 2>&1
}
failed=()
pids=()
names=()
for target in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do sleep 1; done
    echo "--- $target for ${seconds}s"
    run_one "$target" &
    pids+=($!)
    names+=("$target")
done
for i in "${!pids[@]}"; do
    if ! wait "${pids[$i]}"; then
        failed+=("${names[$i]}")
    fi
    grep -E "^(Done|stat::new_units_added|stat::peak_rss_mb)" "$build/${names[$i]}.log" | sed "s/^/${names[$i]}: /"
done
if [ ${#failed[@]} -gt 0 ]; then
    for target in "${failed[@]}"; do
        echo "=== finding in $target"
        tail -n 60 "$build/$target.log"
    done
    exit 1
fi
