# Sourced by the benchmark scripts: `bench_setup BUILD_DIR [BENCH_PROGRAM]` checks that the
# programs are built and makes a scratch folder ($work, gone when the script ends) with a program
# folder ($home) in it; `load RECORDS DB` imports a generated extract of RECORDS records (seed
# 7) into a new database signed in for fiscal year 2008.
bench_setup() {
    build=$1
    cli="$build/bin/orvdv-cli"
    gen="$build/bench/gen_extract"
    bench="$build/bench/${2:-}"
    [ -x "$cli" ] && [ -x "$gen" ] && { [ -z "${2:-}" ] || [ -x "$bench" ]; } || {
        echo "build first: cmake --build --preset default" >&2
        exit 1
    }
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export ODBCINI="$work/odbc.ini"
    home="$work/home"
    mkdir -p "$home"
    cp "$build/bin/ORVTemplate.xmdb" "$build"/bin/*.rpt "$home/"
}

load() { # records, database
    "$gen" "$1" 7 "$work/extract.csv"
    "$cli" --home "$home" new "$2" >/dev/null
    "$cli" --home "$home" signin "$2" --fiscal-year 2008 >/dev/null
    "$cli" --home "$home" import "$2" "$work/extract.csv" --seed 7 --yes >/dev/null
    rm -f "$work/extract.csv"
}
