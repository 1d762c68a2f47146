#!/usr/bin/env bash
# Times the whole import of a synthetic extract against a bare `sqlite3 .import` of the same
# file into a table of its 64 columns, and reports the peak memory of the import.
#   bench/import_bench.sh [RECORDS] [BUILD_DIR]
set -euo pipefail
records=${1:-1000000}
build=${2:-build}
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

cols=$(for i in $(seq 1 64); do printf 'c%d,' "$i"; done)
bare_start=$(date +%s.%N)
sqlite3 "$work/bare.db" "create table t (${cols%,});" ".mode csv" ".import $work/extract.csv t"
bare_end=$(date +%s.%N)

home="$work/home"
mkdir -p "$home"
cp "$build/bin/ORVTemplate.xmdb" "$home/"
"$cli" --home "$home" new "$work/run.mdb" >/dev/null
"$cli" --home "$home" signin "$work/run.mdb" --fiscal-year 2008 >/dev/null
ours_start=$(date +%s.%N)
/usr/bin/time -f '%M' -o "$work/mem" "$cli" --home "$home" import "$work/run.mdb" "$work/extract.csv" \
    --seed 1 --yes >"$work/import.out" || { cat "$work/import.out"; exit 1; }
ours_end=$(date +%s.%N)

bare=$(echo "$bare_end - $bare_start" | bc -l)
ours=$(echo "$ours_end - $ours_start" | bc -l)
printf 'sqlite3 .import (bare table): %.2f s\n' "$bare"
printf 'orvdv-cli import (everything): %.2f s\n' "$ours"
printf 'ratio: %.2f\n' "$(echo "$ours / $bare" | bc -l)"
printf 'peak memory of the import: %d MB\n' "$(( $(cat "$work/mem") / 1024 ))"
grep -E 'Sample rows|Records Imported|Errors' "$work/import.out" || true
