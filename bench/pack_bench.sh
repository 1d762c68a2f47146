#!/usr/bin/env bash
# Times making a field pack of sampled records and merging it back:
#   bench/pack_bench.sh [RECORDS] [BUILD_DIR] [RUNS] [EXTRACT_RECORDS]
# Imports EXTRACT_RECORDS generated records (100000 by default, seed 7) into a new database
# signed in for fiscal year 2008, tops its sample up to RECORDS (500 by default) and times
# pack_bench (best of RUNS, 3 by default). The target: each under 2 s.
set -euo pipefail
records=${1:-500}
build=${2:-build}
runs=${3:-3}
extract=${4:-100000}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cli="$build/bin/orvdv-cli"
gen="$build/bench/gen_extract"
bench="$build/bench/pack_bench"
[ -x "$cli" ] && [ -x "$gen" ] && [ -x "$bench" ] || {
    echo "build first: cmake --build --preset default" >&2
    exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCINI="$work/odbc.ini"
home="$work/home"
mkdir -p "$home"
cp "$build/bin/ORVTemplate.xmdb" "$home/"
db="$work/run.mdb"
"$gen" "$extract" 7 "$work/extract.csv"
"$cli" --home "$home" new "$db" >/dev/null
"$cli" --home "$home" signin "$db" --fiscal-year 2008 >/dev/null
"$cli" --home "$home" import "$db" "$work/extract.csv" --seed 7 --yes >/dev/null
echo "database: $extract records imported, $(du -h "$db" | cut -f1)"
"$bench" "$db" "$records" "$runs"
