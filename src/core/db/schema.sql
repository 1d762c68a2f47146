-- The validation database. This file and schema_history.sql are the single source of every
-- table, view, seeded row and index; the build turns them into ORVTemplate.xmdb.
-- Dates are ISO 'YYYY-MM-DD' text; yes/no columns hold 1 (true) or 0.
-- Text compares without regard to case, as the stored statements expect.

PRAGMA application_id = 1330796100; -- 'ORVD': marks a validation database
-- The schema's version: 2 added the history tables (schema_history.sql). A database of an
-- earlier version gets them when it is opened; a later one is refused.
PRAGMA user_version = 2;
PRAGMA page_size = 8192; -- wide master rows: fewer pages to walk
PRAGMA journal_mode = DELETE;

CREATE TABLE tblsystem (
    FiscalYear           TEXT COLLATE NOCASE,
    Period               TEXT,
    PeriodEnd            TEXT,
    ReportingPeriodStart TEXT,
    ReportingPeriodEnd   TEXT,
    SampleStartDate      TEXT,
    OfficeName           TEXT COLLATE NOCASE,
    WibName              TEXT COLLATE NOCASE,
    CaseMgr              TEXT COLLATE NOCASE,
    State                TEXT COLLATE NOCASE,
    PopType              TEXT COLLATE NOCASE,
    showtips             INTEGER
);
INSERT INTO tblsystem (PopType, showtips, OfficeName, WibName, CaseMgr)
VALUES ('1', 1, ' ', ' ', ' ');
-- Every join with tblsystem relies on it holding exactly one row.
CREATE TRIGGER tblsystem_one_row_insert BEFORE INSERT ON tblsystem
BEGIN
    SELECT RAISE(ABORT, 'tblsystem holds exactly one row');
END;
CREATE TRIGGER tblsystem_one_row_delete BEFORE DELETE ON tblsystem
BEGIN
    SELECT RAISE(ABORT, 'tblsystem holds exactly one row');
END;

CREATE TABLE tblstates (
    StateAbbreviation TEXT COLLATE NOCASE PRIMARY KEY
);
INSERT INTO tblstates (StateAbbreviation) VALUES
    ('AL'),('AK'),('AZ'),('AR'),('CA'),('CO'),('CT'),('DE'),('FL'),('GA'),
    ('HI'),('ID'),('IL'),('IN'),('IA'),('KS'),('KY'),('LA'),('ME'),('MD'),
    ('MA'),('MI'),('MN'),('MS'),('MO'),('MT'),('NE'),('NV'),('NH'),('NJ'),
    ('NM'),('NY'),('NC'),('ND'),('OH'),('OK'),('OR'),('PA'),('RI'),('SC'),
    ('SD'),('TN'),('TX'),('UT'),('VT'),('VA'),('WA'),('WV'),('WI'),('WY'),
    ('DC'),('PR'),('VI'),('GU'),('AS'),('MP'),('FM'),('MH'),('PW');

-- One row per extract record: the 59 checked file columns, the unchecked
-- columns 60-64, then the seven columns the import derives.
CREATE TABLE tblORVmaster (
    obs                           INTEGER,
    StateAbbr                     TEXT COLLATE NOCASE,
    SSN                           TEXT COLLATE NOCASE,
    BirthDate                     INTEGER,
    Gender                        INTEGER,
    Disability                    INTEGER,
    Hispanic                      INTEGER,
    AmerIndian                    INTEGER,
    Asian                         INTEGER,
    Black                         INTEGER,
    Hawaiian                      INTEGER,
    White                         INTEGER,
    Vet                           INTEGER,
    EmploymentStatus              INTEGER,
    LEP                           INTEGER,
    UCStatus                      INTEGER,
    PellGrant                     INTEGER,
    SchoolGrade                   INTEGER,
    DislocDate                    INTEGER,
    Tenure                        REAL,
    AppDate                       INTEGER,
    Petition                      INTEGER,
    ProgramType                   INTEGER,
    PartDate                      INTEGER,
    EnterTrainDate                INTEGER,
    TrainEndDate                  INTEGER,
    TrainComp                     INTEGER,
    Travel                        INTEGER,
    Subsistence                   INTEGER,
    OccTrainCode                  TEXT COLLATE NOCASE,
    RecvdOccTrain                 INTEGER,
    OJT                           INTEGER,
    RemedialTrain                 INTEGER,
    CustomTrain                   INTEGER,
    TRA                           INTEGER,
    AddlTRA                       INTEGER,
    RemedialTRA                   INTEGER,
    Waiver                        INTEGER,
    JobSearchAllow                INTEGER,
    Relocation                    INTEGER,
    WIARegDate                    INTEGER,
    FedCoenroll                   INTEGER,
    WIAExitDate                   INTEGER,
    OtherReasonForExit            INTEGER,
    "EmpQTR+1"                    INTEGER,
    "TypeEmpQTR+1AfterExit"       INTEGER,
    OccCode                       TEXT COLLATE NOCASE,
    "EmpQTR+2AfterExit"           INTEGER,
    "TypeEmpQTR+2AfterExit"       INTEGER,
    "EmpQTR+3"                    INTEGER,
    "TypeEmpQTR+3AfterExit"       INTEGER,
    Earn3QTRPriorToParticipation  REAL,
    Earn2QTRPriorToParticipation  REAL,
    Earn1QTRPriorToParticipation  REAL,
    Earn1QTRAfterExit             REAL,
    Earn2QTRAfterExit             REAL,
    Earn3QTRAfterExit             REAL,
    Recalled                      INTEGER,
    AORVPart                      INTEGER,
    OfficeName                    TEXT COLLATE NOCASE,
    WibName                       TEXT COLLATE NOCASE,
    CaseMgr                       TEXT COLLATE NOCASE,
    SamplingUnit                  INTEGER,
    UserId                        TEXT COLLATE NOCASE,
    Weight                        INTEGER,
    subpop                        TEXT COLLATE NOCASE,
    spopnum                       INTEGER,
    pop                           TEXT COLLATE NOCASE,
    randno                        INTEGER,
    fWIARegDate                   TEXT,
    fWIAexitdate                  TEXT
);
-- The join key to the sample. The import works out groups, duplicates, weights and the draw
-- as it loads, so it needs no other index; each one costs a pass over the master at every
-- import, which builds them afresh once the records are in.
CREATE INDEX idx_master_randno ON tblORVmaster (randno);
-- The browse grids read every grouped record, and a group's, a page at a time in obs order
-- (a group's from its number in the entries). "> 0" rather than "<> 0": statements about all
-- grouped records that read the whole table never take it for a scan, and the browse makes
-- sure no group is below 0 first.
CREATE INDEX idx_master_obs ON tblORVmaster (obs, spopnum) WHERE spopnum > 0;
-- Counts and checks per group within a reporting period, and of a population type, from the
-- index alone.
CREATE INDEX idx_master_period ON tblORVmaster (spopnum, fWIAexitdate, pop);

-- Exactly the (SSN, WIAExitDate) pairs found in more than one master row.
CREATE VIEW tblRptValDupps AS
SELECT SSN AS ssn, WIAExitDate, count(*) AS dupcnt
FROM tblORVmaster
GROUP BY SSN, WIAExitDate
HAVING count(*) > 1;

-- The master rows the last import found in a duplicate pair, for the duplicates report: the
-- view above groups the whole master, which takes seconds on a large one.
CREATE TABLE tblDuplicateRecords (
    rid INTEGER PRIMARY KEY
);

CREATE TABLE tblsupport (
    sType        TEXT COLLATE NOCASE,
    SamplingUnit INTEGER,
    CaseMgr      TEXT COLLATE NOCASE,
    weight       REAL,
    totrec       INTEGER
);
CREATE INDEX idx_support_unit ON tblsupport (SamplingUnit);

CREATE TABLE tbltemp (
    rptcell     TEXT COLLATE NOCASE,
    subpops     TEXT COLLATE NOCASE,
    ctype       TEXT COLLATE NOCASE,
    cfield      TEXT COLLATE NOCASE,
    cval        REAL,
    cweight     REAL,
    pct         REAL,
    Ref         TEXT COLLATE NOCASE,
    seq         INTEGER,
    allchecked  TEXT COLLATE NOCASE,
    extra       TEXT COLLATE NOCASE,
    InvalidRec  REAL,
    WrongSSN    REAL
);

CREATE TABLE tblsample (
    seqno                         INTEGER,
    sampletype                    TEXT COLLATE NOCASE,
    chk                           TEXT COLLATE NOCASE,
    obs                           INTEGER,
    ssn                           TEXT COLLATE NOCASE,
    SamplingUnit                  INTEGER,
    WibName                       TEXT COLLATE NOCASE,
    OfficeName                    TEXT COLLATE NOCASE,
    Vet                           INTEGER,
    UCStatus                      INTEGER,
    PellGrant                     INTEGER,
    DislocDate                    INTEGER,
    AppDate                       INTEGER,
    Petition                      INTEGER,
    PartDate                      INTEGER,
    EnterTrainDate                INTEGER,
    TrainEndDate                  INTEGER,
    TrainComp                     INTEGER,
    Travel                        INTEGER,
    Subsistence                   INTEGER,
    RecvdOccTrain                 INTEGER,
    OJT                           INTEGER,
    RemedialTrain                 INTEGER,
    TRA                           INTEGER,
    Waiver                        INTEGER,
    JobSearchAllow                INTEGER,
    UserId                        TEXT COLLATE NOCASE,
    Relocation                    INTEGER,
    WIARegDate                    INTEGER,
    FedCoenroll                   INTEGER,
    WIAExitDate                   INTEGER,
    "EmpQtr+1"                    INTEGER,
    OccCode                       TEXT COLLATE NOCASE,
    "Empqtr+3"                    INTEGER,
    Earn3QTRPriorToParticipation  REAL,
    Earn2QTRPriorToParticipation  REAL,
    Earn1QTRAfterExit             REAL,
    Earn2QTRAfterExit             REAL,
    Earn3QTRAfterExit             REAL,
    Recalled                      INTEGER,
    randno                        INTEGER,
    Weight                        REAL,
    "VetP/F"                            INTEGER,
    "DislocDateP/F"                     INTEGER,
    "AppDateP/F"                        INTEGER,
    "PetitionP/F"                       INTEGER,
    "EnterTrainDateP/F"                 INTEGER,
    "TrainEndDateP/F"                   INTEGER,
    "TrainCompP/F"                      INTEGER,
    "TRAP/F"                            INTEGER,
    "WaiverP/F"                         INTEGER,
    "WIAExitDateP/F"                    INTEGER,
    "EmpQtr+1P/F"                       INTEGER,
    "EmpQtr+3P/F"                       INTEGER,
    "Earn3QTRPriorToParticipationP/F"   INTEGER,
    "Earn2QTRPriorToParticipationP/F"   INTEGER,
    "Earn1QTRAfterExitP/F"              INTEGER,
    "Earn2QTRAfterExitP/F"              INTEGER,
    "Earn3QTRAfterExitP/F"              INTEGER,
    WrongSSN                      INTEGER,
    UnableToLocate                INTEGER,
    MissingRecord                 INTEGER,
    InvalidRecord                 INTEGER,
    Comments                      TEXT COLLATE NOCASE
);
CREATE INDEX idx_sample_randno ON tblsample (randno);
CREATE INDEX idx_sample_key ON tblsample (ssn, obs);
CREATE INDEX idx_sample_unit ON tblsample (SamplingUnit);

CREATE TABLE tblBlockedFields (
    ColumnName   TEXT COLLATE NOCASE,
    BlockedValue TEXT COLLATE NOCASE
);

CREATE TABLE tblvalidation (
    rptcell     TEXT COLLATE NOCASE,
    description TEXT COLLATE NOCASE,
    value       REAL,
    seq         INTEGER,
    rtype       TEXT COLLATE NOCASE
);

CREATE TABLE tblReportedCounts (
    rptcell       TEXT COLLATE NOCASE,
    Description   TEXT COLLATE NOCASE,
    seq           INTEGER,
    reportedcount REAL
);

CREATE TABLE tblValSummaryNotes (
    ID       TEXT COLLATE NOCASE,
    Comments TEXT COLLATE NOCASE
);
INSERT INTO tblValSummaryNotes (ID, Comments) VALUES ('1', NULL);

-- One row per sample draw: the seed repeats it on the same master; the counts say what it
-- drew from (grouped records with a sampling unit, and their units) and how much it drew.
CREATE TABLE tblSampleLog (
    DrawnAt    TEXT,
    Seed       INTEGER,
    Population INTEGER,
    Units      INTEGER,
    SampleSize INTEGER
);
