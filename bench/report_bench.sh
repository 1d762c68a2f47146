#!/usr/bin/env bash
# Times the two heaviest reports, until the first page shows and until the PDF is written:
#   bench/report_bench.sh [RECORDS] [BUILD_DIR]
# R005-1 on a sample of 500 records (drawn from a 30,000-record extract, then made up to 500
# from its master), and R002-1 on RECORDS generated records (1,000,000 by default) of which
# 10,000 pairs are made duplicates of each other. Targets: first page under 2 s, PDF under 10 s.
set -euo pipefail
records=${1:-1000000}
build=${2:-build}
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"
. bench/common.sh
bench_setup "$build" report_bench

# A sample of exactly 500 records: the drawn one, made up from the master when short.
small="$work/sample.mdb"
load 30000 "$small"
sqlite3 "$small" <<'SQL'
DELETE FROM tblsample WHERE rowid NOT IN (SELECT rowid FROM tblsample ORDER BY seqno LIMIT 500);
INSERT INTO tblsample (seqno, sampletype, obs, ssn, SamplingUnit, WibName, OfficeName, Vet, randno, Weight)
SELECT 1000 + m.rowid, 'C2', m.obs, m.SSN, m.SamplingUnit, m.WibName, m.OfficeName, m.Vet, m.randno, 1
FROM tblORVmaster AS m WHERE m.spopnum > 0 AND m.obs NOT IN (SELECT obs FROM tblsample)
LIMIT max(0, 500 - (SELECT count(*) FROM tblsample));
SQL
echo "sample: $(sqlite3 "$small" 'SELECT count(*) FROM tblsample') records"
"$bench" "$small" R005-1 "$home" "$work/R005-1.pdf"

big="$work/master.mdb"
load "$records" "$big"
# Every 100th record takes the identifier and exit date of the one before it.
sqlite3 "$big" <<'SQL'
UPDATE tblORVmaster SET
    SSN = (SELECT p.SSN FROM tblORVmaster AS p WHERE p.rowid = tblORVmaster.rowid - 1),
    WIAExitDate = (SELECT p.WIAExitDate FROM tblORVmaster AS p WHERE p.rowid = tblORVmaster.rowid - 1)
WHERE rowid % 100 = 0 AND rowid <= 1000000;
SQL
echo "master: $records records, $(sqlite3 "$big" 'SELECT count(*) FROM tblRptValDupps') duplicate groups"
/usr/bin/time -f "peak memory %M KB" "$bench" "$big" R002-1 "$home" "$work/R002-1.pdf"
