-- The tables the program added in its second schema version. The template is built from
-- schema.sql and then this file; opening a database made before them runs this file on it.

-- Every change a worksheet save made, appended by the program; never changed or removed.
CREATE TABLE IF NOT EXISTS tblHistory (
    ChangedAt TEXT NOT NULL,   -- UTC, 'YYYY-MM-DDTHH:MM:SSZ'
    OsUser    TEXT,
    Host      TEXT,
    Source    TEXT NOT NULL,   -- 'screen', 'batch', or 'pack <id> (<validator>)'
    obs       INTEGER,
    ssn       TEXT COLLATE NOCASE,
    Item      TEXT NOT NULL,   -- the tblsample column: 'VetP/F', 'WrongSSN', 'Comments', ...
    OldValue  TEXT,
    NewValue  TEXT
);
CREATE INDEX IF NOT EXISTS idx_history_obs ON tblHistory (obs);
CREATE TRIGGER IF NOT EXISTS tblHistory_append_only_update BEFORE UPDATE ON tblHistory
BEGIN
    SELECT RAISE(ABORT, 'tblHistory is append-only');
END;
CREATE TRIGGER IF NOT EXISTS tblHistory_append_only_delete BEFORE DELETE ON tblHistory
BEGIN
    SELECT RAISE(ABORT, 'tblHistory is append-only');
END;

-- The packs merged into this database.
CREATE TABLE IF NOT EXISTS tblPackMerges (
    PackId    TEXT PRIMARY KEY,
    MergedAt  TEXT NOT NULL,   -- UTC, as ChangedAt
    Validator TEXT,
    MadeAt    TEXT,
    Records   INTEGER,         -- records in the pack
    Changed   INTEGER          -- records the merge changed
);
