#!/usr/bin/env bash
# Times the report validation and the browse grids on a generated extract:
#   bench/rv_bench.sh [RECORDS] [BUILD_DIR] [RUNS]
# Imports RECORDS generated records (seed 7) into a new database signed in for fiscal year
# 2008, times the batch front end's rv, groups and browse (best of RUNS, 3 by default, with
# the peak memory of a whole browse), then times the grids' reads with rv_bench.
set -euo pipefail
records=${1:-1000000}
build=${2:-build}
runs=${3:-3}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
. bench/common.sh
bench_setup "$build" rv_bench
db="$work/run.mdb"
load "$records" "$db"
echo "database: $records records imported, $(du -h "$db" | cut -f1)"

now() { date +%s.%N; }
# Best wall time of RUNS runs of a command whose output is dropped.
timed() {
    local what=$1 best=""
    shift
    for _ in $(seq 1 "$runs"); do
        local start
        start=$(now)
        "$@" >/dev/null
        local t
        t=$(echo "$(now) - $start" | bc -l)
        if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    printf '%-58s %9.1f ms\n' "$what" "$(echo "$best * 1000" | bc -l)"
}
timed "orvdv-cli rv" "$cli" --home "$home" rv "$db"
timed "orvdv-cli groups" "$cli" --home "$home" groups "$db"
timed "orvdv-cli browse --limit 1501" "$cli" --home "$home" browse "$db" --limit 1501
timed "orvdv-cli browse --group 1 --order obs --desc --limit 1501" \
    "$cli" --home "$home" browse "$db" --group 1 --order obs --desc --limit 1501
/usr/bin/time -f '%e %M' -o "$work/all" "$cli" --home "$home" browse "$db" >/dev/null
read -r secs kb <"$work/all"
printf '%-58s %9.1f ms, peak memory %d MB\n' "orvdv-cli browse (every record)" \
    "$(echo "$secs * 1000" | bc -l)" "$((kb / 1024))"
echo "(each command's time includes starting the program and opening the database)"
echo
"$bench" "$db" "$runs"
