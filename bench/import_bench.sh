#!/usr/bin/env bash
# Times the whole import of a synthetic extract against a bare `sqlite3 .import` of the same
# file into a table of its 64 columns, and reports the peak memory of the import.
# Each is run RUNS times, alternately, and the best time of each counts: on a shared machine
# the best run is the one least disturbed.
# CPU time (user + system) is compared too: the import's lead must not come from the second core
# alone.
# With COMPARE_WITH set to another build's folder, that build imports the same file too and the
# two results must be identical: master, sample, support rows and error report.
#   bench/import_bench.sh [RECORDS] [BUILD_DIR] [RUNS] [SEED]
set -euo pipefail
records=${1:-1000000}
build=${2:-build}
runs=${3:-3}
seed=${4:-7}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cli="$build/bin/orvdv-cli"
gen="$build/bench/gen_extract"
[ -x "$cli" ] && [ -x "$gen" ] || { echo "build first: cmake --build --preset default" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCINI="$work/odbc.ini"

"$gen" "$records" "$seed" "$work/extract.csv"
echo "extract: $records records, $(du -h "$work/extract.csv" | cut -f1)"

home="$work/home"
mkdir -p "$home"
cp "$build/bin/ORVTemplate.xmdb" "$home/"
cols=$(for i in $(seq 1 64); do printf 'c%d,' "$i"; done)
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }

bare=""
bare_cpu=""
ours=""
ours_cpu=""
peak=0
# Wall seconds, CPU seconds (user + system) and peak memory (KB) of the command last timed.
timed() { /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@"; }
wall() { cut -d' ' -f1 "$work/time"; }
cpu() { awk '{print $2 + $3}' "$work/time"; }
for run in $(seq 1 "$runs"); do
    rm -f "$work/bare.db"
    timed sqlite3 "$work/bare.db" "create table t (${cols%,});" ".mode csv" ".import $work/extract.csv t"
    bare=$(best "$bare" "$(wall)")
    bare_cpu=$(best "$bare_cpu" "$(cpu)")

    rm -f "$work/run.mdb"
    "$cli" --home "$home" new "$work/run.mdb" >/dev/null
    "$cli" --home "$home" signin "$work/run.mdb" --fiscal-year 2008 >/dev/null
    timed "$cli" --home "$home" import "$work/run.mdb" "$work/extract.csv" --seed 1 --yes \
        >"$work/import.out" || { cat "$work/import.out"; exit 1; }
    ours=$(best "$ours" "$(wall)")
    ours_cpu=$(best "$ours_cpu" "$(cpu)")
    mem=$(cut -d' ' -f4 "$work/time")
    [ "$mem" -gt "$peak" ] && peak=$mem
done

printf 'sqlite3 .import (bare table), best of %d: %.2f s, %.2f s CPU\n' "$runs" "$bare" "$bare_cpu"
printf 'orvdv-cli import (everything), best of %d: %.2f s, %.2f s CPU\n' "$runs" "$ours" "$ours_cpu"
printf 'ratio: %.2f\n' "$(echo "$ours / $bare" | bc -l)"
printf 'CPU ratio: %.2f\n' "$(echo "$ours_cpu / $bare_cpu" | bc -l)"
printf 'peak memory of the import: %d MB\n' "$((peak / 1024))"
grep -E 'Sample rows|Records Imported|Errors' "$work/import.out" || true

if [ -n "${COMPARE_WITH:-}" ]; then
    cp "$home/ImportError.txt" "$work/new-errors.txt"
    cp "$work/run.mdb" "$work/new.mdb"
    rm -f "$work/run.mdb"
    other="$COMPARE_WITH/bin/orvdv-cli"
    "$other" --home "$home" new "$work/run.mdb" >/dev/null
    "$other" --home "$home" signin "$work/run.mdb" --fiscal-year 2008 >/dev/null
    timed "$other" --home "$home" import "$work/run.mdb" "$work/extract.csv" --seed 1 --yes >/dev/null
    printf '%s import, once: %.2f s, %.2f s CPU, ratio %.2f, CPU ratio %.2f, peak %d MB\n' \
        "$COMPARE_WITH" "$(wall)" "$(cpu)" "$(echo "$(wall) / $bare" | bc -l)" \
        "$(echo "$(cpu) / $bare_cpu" | bc -l)" "$(($(cut -d' ' -f4 "$work/time") / 1024))"
    same=yes
    for table in tblORVmaster tblsample tblsupport tblDuplicateRecords; do
        # Rows sorted: only the master's order (by row id) is part of the result.
        rows() {
            if [ "$table" = tblORVmaster ]; then
                sqlite3 "$1" "select * from $table order by rowid"
            else sqlite3 "$1" "select * from $table" | sort; fi | md5sum
        }
        [ "$(rows "$work/new.mdb")" = "$(rows "$work/run.mdb")" ] ||
            { echo "$table differs from $COMPARE_WITH's"; same=no; }
    done
    # The report's first lines name the file and the time of the run.
    cmp -s <(tail -n +4 "$work/new-errors.txt") <(tail -n +4 "$home/ImportError.txt") ||
        { echo "error report differs from $COMPARE_WITH's"; same=no; }
    echo "same result as $COMPARE_WITH: $same"
    [ "$same" = yes ]
fi
