#!/usr/bin/env bash
# Kills the command line program with SIGKILL in the middle of its file work, again and again,
# and checks after each kill that the database is sound, still opens, and holds either what it
# held before, what the command makes of it, or a state that the program itself reports as
# unfinished (the import: only as it was, and then said once). Kinds: compact, saveas, import (a
# reload of the extract) and worksheet (the save of one sampled record's marks).
#   scripts/killtest.sh [N] [BUILD_DIR]     (or BUILD_DIR=... in the environment; default build)
# It builds nothing: build first (cmake --build --preset default). With the extract generator
# built (BUILD_DIR/bench/gen_extract) the database holds KILLTEST_RECORDS generated records
# (100000 by default); without it, the 300 records of the demo extract.
#
# Each kind of run is four functions, named after it (see compact and saveas below):
#   prepare_KIND  sets up what the run starts from (called before each run)
#   start_KIND    starts the command in the background (its pid in $!)
#   check_KIND    checks the files after the kill; prints what is wrong, if anything
# and the name in KINDS; learn_KIND, when there is one, runs after the command has been left
# to finish once and notes what it makes.
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
# The worksheet kind saves the record of the first sampled row that no other row shares its
# OBS and SSN with; it starts from every element marked Pass.
read -r ws_row ws_obs ws_ssn < <(sqlite3 -separator ' ' "$db" "SELECT rowid, obs, ssn FROM \
    tblsample WHERE (obs, ssn) IN (SELECT obs, ssn FROM tblsample GROUP BY obs, ssn HAVING \
    count(*) = 1) ORDER BY rowid LIMIT 1;")
[ -n "$ws_row" ] || { echo "killtest: the sample is empty" >&2; exit 2; }
marks=$(sqlite3 "$db" "SELECT group_concat('\"' || name || '\" = 0', ', ') FROM \
    pragma_table_info('tblsample') WHERE name LIKE '%P/F';")
sqlite3 "$db" "UPDATE tblsample SET $marks, chk = 'Yes', Comments = 'before' WHERE rowid = $ws_row;" ||
    exit 2
expected="$work/expected.txt"
ocli info "$db" >"$expected" || exit 2
echo "killtest: $(grep -m1 '^tblORVmaster:' "$expected"), database $(du -h "$db" | cut -f1)"
base="$work/base.mdb"
cp "$db" "$base" || exit 2
master_indexes() { # FILE
    sqlite3 "$1" "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = \
        'tblORVmaster' ORDER BY name;"
}
indexes=$(master_indexes "$base")
# The database as it was made, for the kinds that change it ($changed) and those after them.
changed=0
restore_database() {
    rm -f "$db-journal" "$db-wal" "$db-shm" "$db.lock"
    cp "$base" "$db"
}
fresh_database() {
    [ "$changed" -eq 0 ] || restore_database
    changed=0
}

# Opens with the program and passes the engine's integrity check; prints what is wrong.
# The program opens it first: a journal that a kill left is the program's to play back.
check_open_and_sound() { # FILE
    local report
    ocli info "$1" >"$work/info.txt" 2>&1 ||
        { echo "$1 does not open: $(cat "$work/info.txt")"; return 1; }
    report=$(sqlite3 "$1" "PRAGMA integrity_check;" 2>&1)
    [ "$report" = ok ] || { echo "integrity check of $1: $report"; return 1; }
}

# What a compact or a copy must leave: a sound database that opens and holds what it held.
check_database() { # FILE
    check_open_and_sound "$1" || return
    cmp -s "$expected" "$work/info.txt" || echo "$1 changed: $(diff "$expected" "$work/info.txt" | head -5)"
}

prepare_compact() { fresh_database; }
# Started straight from the shell, so that $! is the program itself and the kill reaches it.
start_compact() { "$cli" --home "$home" compact "$db" >/dev/null 2>"$work/err.txt" & }
check_compact() { check_database "$db"; }

prepare_saveas() {
    fresh_database
    rm -f "$copy"
}
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

# The import reloads the master from the same extract with the same seed: killed, it leaves the
# database as it was or as the import makes it, nothing in between. When it was killed after its
# start, the next open says (once) that it did not finish, and the database is as it was.
imported="$work/imported.txt"
prepare_import() {
    restore_database
    changed=1
}
start_import() {
    "$cli" --home "$home" import "$db" "$extract" --seed 7 --yes >/dev/null 2>"$work/err.txt" &
}
learn_import() { ocli info "$db" >"$imported" 2>/dev/null; }
# What a check found the database to hold, for the summary.
note() { echo "$1" >>"$work/outcomes.txt"; }
check_import() {
    local report
    "$cli" --home "$home" info "$db" >"$work/info.txt" 2>"$work/info-err.txt" ||
        { echo "$db does not open: $(cat "$work/info-err.txt")"; return; }
    report=$(sqlite3 "$db" "PRAGMA integrity_check;" 2>&1)
    [ "$report" = ok ] || { echo "integrity check of $db: $report"; return; }
    if grep -q "did not finish; the database is as it was before it." "$work/info-err.txt"; then
        [ "$(master_indexes "$db")" = "$indexes" ] || echo "the master's indexes are not back"
        cmp -s "$expected" "$work/info.txt" ||
            echo "told unfinished but changed: $(diff "$expected" "$work/info.txt" | head -5)"
        ocli info "$db" >/dev/null 2>"$work/info-err.txt"
        ! grep -q "did not finish" "$work/info-err.txt" || echo "the unfinished import is told again"
        note "import old-told"
        return
    fi
    [ -s "$work/info-err.txt" ] && { echo "info says: $(head -3 "$work/info-err.txt")"; return; }
    cmp -s "$expected" "$work/info.txt" && { note "import old"; return; }
    [ -e "$imported" ] && cmp -s "$imported" "$work/info.txt" && { note "import new"; return; }
    echo "neither as before nor as imported, and not told: $(diff "$expected" "$work/info.txt" |
        head -5)"
}

# The worksheet save: the record's row holds the marks it had or the new ones, never a mix.
ws_row_text() { sqlite3 "$db" "SELECT * FROM tblsample WHERE rowid = $ws_row;"; }
ws_before=""
ws_after=""
prepare_worksheet() {
    restore_database
    changed=1
    [ -n "$ws_before" ] || ws_before=$(ws_row_text)
}
# Unable To Locate deletes the marks (--yes confirms), and the comment changes with them.
start_worksheet() {
    "$cli" --home "$home" worksheet "$db" --obs "$ws_obs" --ssn "$ws_ssn" --row "$ws_row" \
        --unable-to-locate on --comments "after" --yes >/dev/null 2>"$work/err.txt" &
}
learn_worksheet() { ws_after=$(ws_row_text); }
check_worksheet() {
    local row
    check_open_and_sound "$db" || return
    row=$(ws_row_text)
    if [ "$row" = "$ws_before" ]; then
        note "worksheet old"
    elif [ "$row" = "$ws_after" ]; then
        note "worksheet new"
    else
        echo "the row is neither before nor after: $row"
    fi
}

KINDS=(compact saveas import worksheet)

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
    ! declare -F "learn_$kind" >/dev/null || "learn_$kind"
    problem=$("check_$kind")
    [ -z "$problem" ] || { echo "killtest: $kind is wrong on its own: $problem" >&2; exit 2; }
done

killed=0
finished=0
failures=0
rm -f "$work/outcomes.txt"
declare -A kind_runs kind_killed kind_finished kind_failures
for kind in "${KINDS[@]}"; do
    kind_runs[$kind]=0 kind_killed[$kind]=0 kind_finished[$kind]=0 kind_failures[$kind]=0
done
for i in $(seq 1 "$runs"); do
    kind=${KINDS[$(((i - 1) % ${#KINDS[@]}))]}
    "prepare_$kind"
    delay=$((RANDOM * RANDOM % (span[$kind] * 12 / 10 + 1)))
    "start_$kind"
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kind_runs[$kind]=$((kind_runs[$kind] + 1))
    if kill -KILL "$pid" 2>/dev/null; then
        killed=$((killed + 1))
        kind_killed[$kind]=$((kind_killed[$kind] + 1))
        when="killed after ${delay} ms"
    else
        finished=$((finished + 1))
        kind_finished[$kind]=$((kind_finished[$kind] + 1))
        when="finished before ${delay} ms"
    fi
    wait "$pid" 2>/dev/null
    problem=$("check_$kind")
    if [ -n "$problem" ]; then
        failures=$((failures + 1))
        kind_failures[$kind]=$((kind_failures[$kind] + 1))
        echo "run $i ($kind, $when): $problem"
    fi
done
for kind in "${KINDS[@]}"; do
    found=$([ -e "$work/outcomes.txt" ] && sed -n "s/^$kind //p" "$work/outcomes.txt" | sort |
        uniq -c | awk '{printf " %s=%s", $2, $1}')
    echo "killtest: $kind: runs=${kind_runs[$kind]} killed=${kind_killed[$kind]}" \
        "finished-before-kill=${kind_finished[$kind]} failures=${kind_failures[$kind]}${found:+ (found:$found)}"
done
echo "killtest: runs=$runs killed=$killed finished-before-kill=$finished failures=$failures" \
    "(${KINDS[*]}; $(for k in "${KINDS[@]}"; do printf '%s %d ms ' "$k" "${span[$k]}"; done | sed 's/ $//'))"
[ "$failures" -eq 0 ]
