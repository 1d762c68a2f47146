#!/usr/bin/env bash
# Times the whole import of a synthetic extract against a bare `sqlite3 .import` of the same
# file into a table of its 64 columns, and reports the peak memory of the import.
# Each is run RUNS times, alternately, and the best time of each counts: on a shared machine
# the best run is the one least disturbed.
#   bench/import_bench.sh [RECORDS] [BUILD_DIR] [RUNS]
set -euo pipefail
records=${1:-1000000}
build=${2:-build}
runs=${3:-3}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cli="$build/bin/orvdv-cli"
gen="$build/bench/gen_extract"
[ -x "$cli" ] && [ -x "$gen" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCINI="$work/odbc.ini"

"$gen" "$records" 20261206 "$work/extract.csv"
echo "extract: $records records, $(du -h "$work/extract.csv" | cut -f1)"

home="$work/home"
mkdir -p "$home"
cp "$build/bin/ORVTemplate.xmdb" "$home/"
cols=$(for i in $(seq 1 64); do printf 'c%d,' "$i"; done)
now() { date +%s.%N; }
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

bare=""
ours=""
peak=0
for run in $(seq 1 "$runs"); do
    rm -f "$work/bare.db"
    start=$(now)
    sqlite3 "$work/bare.db" "create table t (${cols%,});" ".mode csv" ".import $work/extract.csv t"
    bare=$(best "$bare" "$(echo "$(now) - $start" | bc -l)")

    rm -f "$work/run.mdb"
    "$cli" --home "$home" new "$work/run.mdb" >/dev/null
    "$cli" --home "$home" signin "$work/run.mdb" --fiscal-year 2008 >/dev/null
    start=$(now)
    /usr/bin/time -f '%M' -o "$work/mem" "$cli" --home "$home" import "$work/run.mdb" \
        "$work/extract.csv" --seed 1 --yes >"$work/import.out" || { cat "$work/import.out"; exit 1; }
    ours=$(best "$ours" "$(echo "$(now) - $start" | bc -l)")
    mem=$(cat "$work/mem")
    [ "$mem" -gt "$peak" ] && peak=$mem
done

printf 'sqlite3 .import (bare table), best of %d: %.2f s\n' "$runs" "$bare"
printf 'orvdv-cli import (everything), best of %d: %.2f s\n' "$runs" "$ours"
printf 'ratio: %.2f\n' "$(echo "$ours / $bare" | bc -l)"
printf 'peak memory of the import: %d MB\n' "$((peak / 1024))"
grep -E 'Sample rows|Records Imported|Errors' "$work/import.out" || true
