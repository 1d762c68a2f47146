#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ and runs each for SECONDS (60 by default), one after the other, starting from its
# seed files in tests/fuzz/corpus/<target>/ and what earlier runs found (build-fuzz/corpus/).
# Fails when a target crashes, leaks, trips a sanitizer or times out; the input that did it is
# kept in build-fuzz/artifacts/.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (every target of tests/fuzz/ by default)
set -euo pipefail
seconds=${1:-60}
shift || true
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
build=build-fuzz
command -v clang++ >/dev/null || { echo "fuzz: clang++ is needed (scripts/deps.sh)" >&2; exit 2; }
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
    -DORV_BUILD_FUZZ=ON -DORV_BUILD_TESTS=OFF -DORV_BUILD_GUI=OFF -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target orv_fuzz -j2

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/artifacts" "$build/logs"
failed=0
summary=()
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in tests/fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
for target in "${targets[@]}"; do
    [ -x "$build/fuzz/$target" ] || { echo "fuzz: no target $target" >&2; exit 2; }
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    cp tests/fuzz/corpus/"$target"/* "$corpus"/ 2>/dev/null || true
    log="$build/logs/$target.log"
    echo "fuzz: $target for ${seconds}s (log $log)"
    status=0
    "$build/fuzz/$target" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        >"$log" 2>&1 || status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' "$log" | tail -1 || true)
    line="$target: execs=${execs:-?} ${cov:-cov: ?} exit=$status"
    if [ "$status" -ne 0 ]; then
        failed=1
        line="$line FAILED: $(ls "$build/artifacts/$target-"* 2>/dev/null | tr '\n' ' ')"
        grep -m3 -E 'ERROR|SUMMARY|runtime error' "$log" >&2 || true
    fi
    summary+=("$line")
done
printf 'fuzz: %s\n' "${summary[@]}"
exit "$failed"
