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
. bench/common.sh
bench_setup "$build" pack_bench
db="$work/run.mdb"
load "$extract" "$db"
echo "database: $extract records imported, $(du -h "$db" | cut -f1)"
"$bench" "$db" "$records" "$runs"
