#!/usr/bin/env bash
# Builds the program and its tests with the sanitizers and runs every test under them:
# asan (AddressSanitizer and UndefinedBehaviorSanitizer, build-asan/) and tsan
# (ThreadSanitizer, build-tsan/). Reports from code that is not ours are suppressed by the
# files in tests/sanitizers/, which the test presets name.
#   scripts/sanitizers.sh [asan|tsan|all]     (all by default)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
which=${1:-all}
case "$which" in
asan | tsan) presets=("$which") ;;
all) presets=(asan tsan) ;;
*)
    echo "usage: scripts/sanitizers.sh [asan|tsan|all]" >&2
    exit 2
    ;;
esac
scripts/deps.sh
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2 # a sanitized compile takes a lot of memory
for preset in "${presets[@]}"; do
    echo "sanitizers: $preset"
    cmake --preset "$preset" "${launcher[@]}" >/dev/null
    cmake --build --preset "$preset" -j"$jobs"
    ctest --preset "$preset" -j"$jobs"
done
