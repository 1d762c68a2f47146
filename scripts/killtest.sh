#!/usr/bin/env bash
# Kills the command line program with SIGKILL in the middle of its file work, again and again,
# and checks after each kill that the database is sound, still opens, and holds either what it
# held before or a state that the program itself reports as unfinished.
#   scripts/killtest.sh [N] [BUILD_DIR]     (or BUILD_DIR=... in the environment; default build)
# It builds nothing: build first (cmake --build --preset default). With the extract generator
# built (BUILD_DIR/bench/gen_extract) the database holds KILLTEST_RECORDS generated records
# (100000 by default); without it, the 300 records of the demo extract.
#
# Each kind of run is four functions, named after it (see compact and saveas below):
#   prepare_KIND  sets up what the run starts from (called before each run)
#   start_KIND    starts the command in the background (its pid in $!)
#   check_KIND    checks the files after the kill; prints what is wrong, if anything
# and the name in KINDS. An import or a worksheet save goes in the same way: their check
# accepts the old state, the new one, or one that `orvdv-cli info` reports as unfinished.
set -uo pipefail
runs=${1:-50}
build=${2:-${BUILD_DIR:-build}}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
cli="$build/bin/orvdv-cli"
gen="$build/bench/gen_extract"
[ -x "$cli" ] || { echo "killtest: no $cli: build first" >&2; exit 2; }
command -v sqlite3 >/dev/null || { echo "killtest: the sqlite3 shell is needed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ODBCINI="$work/odbc.ini"
home="$work/home"
data="$work/data"
mkdir -p "$home" "$data"
cp "$build/bin/ORVTemplate.xmdb" "$home/"
db="$data/run.mdb"
copy="$data/copy.mdb"
ocli() { "$cli" --home "$home" "$@"; }

# The demo database: new, sign-in, import, as a user makes one.
extract="demo/demo-extract.csv"
if [ -x "$gen" ]; then
    extract="$work/extract.csv"
    "$gen" "${KILLTEST_RECORDS:-100000}" 2008 "$extract" >/dev/null
fi
ocli new "$db" >/dev/null || exit 2
ocli signin "$db" --fiscal-year 2008 >/dev/null || exit 2
ocli import "$db" "$extract" --seed 7 --yes >/dev/null || { echo "killtest: import failed" >&2; exit 2; }
# Room for the compaction to win back.
sqlite3 "$db" "DELETE FROM tblORVmaster WHERE obs % 4 = 0;" || exit 2
expected="$work/expected.txt"
ocli info "$db" >"$expected" || exit 2
echo "killtest: $(grep -m1 '^tblORVmaster:' "$expected"), database $(du -h "$db" | cut -f1)"

# What every run must leave: a sound database that opens and holds what it held.
# The program opens it first: a journal that a kill left is the program's to play back.
check_database() { # FILE
    local report
    ocli info "$1" >"$work/info.txt" 2>&1 || { echo "$1 does not open: $(cat "$work/info.txt")"; return; }
    report=$(sqlite3 "$1" "PRAGMA integrity_check;" 2>&1)
    [ "$report" = ok ] || { echo "integrity check of $1: $report"; return; }
    cmp -s "$expected" "$work/info.txt" || echo "$1 changed: $(diff "$expected" "$work/info.txt" | head -5)"
}

prepare_compact() { :; }
# Started straight from the shell, so that $! is the program itself and the kill reaches it.
start_compact() { "$cli" --home "$home" compact "$db" >/dev/null 2>"$work/err.txt" & }
check_compact() { check_database "$db"; }

prepare_saveas() { rm -f "$copy"; }
start_saveas() { "$cli" --home "$home" saveas "$db" "$copy" >/dev/null 2>"$work/err.txt" & }
check_saveas() {
    check_database "$db"
    # The copy is all there or not there at all.
    [ ! -e "$copy" ] || check_database "$copy"
    # What the killed copy left half-written goes at the next run over the folder.
    [ ! -e "$copy.orvtmp" ] && return
    ocli info "$db" >/dev/null 2>&1
    [ ! -e "$copy.orvtmp" ] || echo "the scratch file $copy.orvtmp stayed"
}

KINDS=(compact saveas)

now_ms() { date +%s%3N; }
# How long each kind takes when it is left alone: the kills fall within that time, and a
# little after it.
declare -A span
for kind in "${KINDS[@]}"; do
    "prepare_$kind"
    start=$(now_ms)
    "start_$kind"
    wait $! || { echo "killtest: $kind fails on its own: $(cat "$work/err.txt")" >&2; exit 2; }
    span[$kind]=$(($(now_ms) - start + 1))
    problem=$("check_$kind")
    [ -z "$problem" ] || { echo "killtest: $kind is wrong on its own: $problem" >&2; exit 2; }
done

killed=0
finished=0
failures=0
for i in $(seq 1 "$runs"); do
    kind=${KINDS[$(((i - 1) % ${#KINDS[@]}))]}
    "prepare_$kind"
    delay=$((RANDOM * RANDOM % (span[$kind] * 12 / 10 + 1)))
    "start_$kind"
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    if kill -KILL "$pid" 2>/dev/null; then
        killed=$((killed + 1))
        when="killed after ${delay} ms"
    else
        finished=$((finished + 1))
        when="finished before ${delay} ms"
    fi
    wait "$pid" 2>/dev/null
    problem=$("check_$kind")
    if [ -n "$problem" ]; then
        failures=$((failures + 1))
        echo "run $i ($kind, $when): $problem"
    fi
done
echo "killtest: runs=$runs killed=$killed finished-before-kill=$finished failures=$failures" \
    "(${KINDS[*]}; $(for k in "${KINDS[@]}"; do printf '%s %d ms ' "$k" "${span[$k]}"; done | sed 's/ $//'))"
[ "$failures" -eq 0 ]
