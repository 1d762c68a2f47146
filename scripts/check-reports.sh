#!/usr/bin/env bash
# Writes every report of the demo database to PDF with the batch front end and checks, through
# pdftotext, that each shows its title and its key figures.
# Usage: scripts/check-reports.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${1:-build}"
cli="$PWD/$build/bin/orvdv-cli"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ODBCINI="$work/odbc.ini"
db="$work/demo.mdb"

"$cli" new "$db" >/dev/null
"$cli" signin "$db" --fiscal-year 2008 >/dev/null
"$cli" import "$db" demo/demo-extract.csv --seed 7 --yes >/dev/null
"$cli" counts "$db" demo/demo-counts.csv --yes >/dev/null

failures=0
fail() { echo "FAIL $1: $2"; failures=$((failures + 1)); }
sql() { sqlite3 "$db" "$1"; }
# A number as the reports print it: thousands grouped.
grouped() { LC_ALL=C printf "%.${2:-0}f" "$1" | sed -e ':a' -e 's/\B[0-9]\{3\}\>/,&/' -e 'ta'; }

report() { # id, then texts the report must show
    local id="$1"; shift
    local pdf="$work/$id.pdf"
    if ! "$cli" report "$db" "$id" --pdf "$pdf" >"$work/$id.out" 2>"$work/$id.err"; then
        fail "$id" "$(cat "$work/$id.err")"
        return
    fi
    pdftotext -layout "$pdf" "$work/$id.txt"
    local want
    for want in "$@"; do
        grep -qF -- "$want" "$work/$id.txt" || fail "$id" "does not show \"$want\""
    done
    echo "ok   $id: $(cat "$work/$id.out" | sed 's/.*: //')"
}

sampled=$(sql "SELECT count(*) FROM tblsample")
grouped_records=$(sql "SELECT count(*) FROM tblORVmaster WHERE spopnum > 0")
first_obs=$(sql "SELECT obs FROM tblsample ORDER BY seqno LIMIT 1")

report R001-1 "Participant Record Layout" "Earn3QTRAfterExit" "Wages 3rd Quarter After Exit Quarter"
report R001-2 "Reported Counts Record Layout" "Count 9: Average Earnings"
report R002-1 "Duplicate Records Report" "There are no duplicate records."
report R003-1 "Performance Report" "EER Numerator" "Average Earnings" \
    "Reported cell 1: Performance measures (agency's report)"
# The measures as just computed by the report, beside the counts the demo reported.
eer=$(sql "SELECT CAST(value AS INTEGER) FROM tblvalidation WHERE seq = 1")
earn=$(sql "SELECT value FROM tblvalidation WHERE seq = 9")
reported=$(sql "SELECT CAST(reportedcount AS INTEGER) FROM tblReportedCounts WHERE seq = 1 LIMIT 1")
for figure in "$(grouped "$eer")" "$(grouped "$earn" 2)" "$(grouped "$reported")"; do
    grep -qF -- "$figure" "$work/R003-1.txt" || fail R003-1 "does not show \"$figure\""
done
report R004-1 "Data Element Validation Summary/Analytical Report" "Summary/Analytical Comments" \
    "Earn3QTRAfterExit"
[ "$(pdfimages -list "$work/R004-1.pdf" | tail -n +3 | wc -l)" = 1 ] || fail R004-1 "no chart"
grep -qE "^ *17 +Earn3QTRAfterExit +$sampled " "$work/R004-1.txt" ||
    fail R004-1 "row 17 does not show the $sampled sampled records"
report R005-1 "Data Element Validation Worksheet" "OBS $first_obs "
pages=$(pdfinfo "$work/R005-1.pdf" | awk '/^Pages:/ {print $2}')
[ "$pages" = "$sampled" ] || fail R005-1 "$pages pages for $sampled sampled records"
report R006-1 "Sampled Counts Report" "Sampled: $sampled" "Records in the outcome groups: $(grouped "$grouped_records")"
# The certainty unit's code shows empty, as on the worksheet screen.
grep -q 999999 "$work/R005-1.txt" "$work/R006-1.txt" && fail "R005-1/R006-1" "show the unit 999999"

# One record only.
"$cli" report "$db" R005-1 --obs "$first_obs" --pdf "$work/one.pdf" >/dev/null 2>&1 &&
    [ "$(pdfinfo "$work/one.pdf" | awk '/^Pages:/ {print $2}')" = 1 ] ||
    fail "R005-1 --obs" "not one page"
"$cli" report "$db" R005-1 --obs 0 --pdf "$work/none.pdf" >/dev/null 2>"$work/none.err" &&
    fail "R005-1 --obs 0" "printed"
grep -qF "OBS 0 is not in the sample." "$work/none.err" || fail "R005-1 --obs 0" "$(cat "$work/none.err")"

if [ "$failures" -ne 0 ]; then
    echo "$failures report check(s) failed"
    exit 1
fi
echo "every report shows its title and figures"
