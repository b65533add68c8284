-- The lead database as the installation delivers it. The installation tool and the tests create every
-- database from this file; the program itself never changes the schema.
--
-- Types as the database layer reads them: TEXT(n) holds at most n characters, DATETIME holds the text
-- "YYYY-MM-DD HH:MM:SS", YESNO holds -1 (yes) or 0 (no). Text compares and sorts without regard to case.

-- One row per imported data file.
CREATE TABLE DataFiles (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    FileName TEXT(255) COLLATE NOCASE,
    Date DATETIME
);
CREATE INDEX DataFiles_FileName ON DataFiles (FileName);

-- One row per lead; a replaced data file takes its leads with it.
CREATE TABLE Names (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    DataFile_ID INTEGER REFERENCES DataFiles (ID) ON DELETE CASCADE,
    Court_ID TEXT(255) COLLATE NOCASE,
    Name TEXT(255) COLLATE NOCASE,
    Street TEXT(255) COLLATE NOCASE,
    City TEXT(255) COLLATE NOCASE,
    State TEXT(2) COLLATE NOCASE,
    Zip TEXT(255) COLLATE NOCASE,
    Phone TEXT(255) COLLATE NOCASE,
    File DATETIME,
    Discharge DATETIME,
    Printed YESNO NOT NULL DEFAULT 0,
    Followed YESNO NOT NULL DEFAULT 0
);
CREATE INDEX Names_DataFile_ID ON Names (DataFile_ID);

-- One row per dealership; the rows come with the installation, their names empty until first run.
CREATE TABLE Dlr_Info (
    ID INTEGER PRIMARY KEY,
    Name TEXT(50) COLLATE NOCASE,
    Addr1 TEXT(50) COLLATE NOCASE,
    Addr2 TEXT(50) COLLATE NOCASE,
    City TEXT(30) COLLATE NOCASE,
    State TEXT(2) COLLATE NOCASE,
    Zip TEXT(10) COLLATE NOCASE
);

-- One row per salesperson who signs the letters.
CREATE TABLE Contact_Info (
    ID INTEGER PRIMARY KEY AUTOINCREMENT,
    Name TEXT(255) COLLATE NOCASE,
    Phone TEXT(255) COLLATE NOCASE
);
