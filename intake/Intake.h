#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class frmProgress; // intake/frmProgress.h

// Start-up step 8: scans DataFolder and imports the data files the database has not seen yet,
// showing both in `progress`, which is left on screen. Lines that cannot be imported are written to
// the error log and skipped; any other failure is raised (Failure) for Main to report, after what
// was saved has been kept.
void ScanAndImport(frmProgress& progress);

// The scan alone: handles replacement files and returns the names of the data files to import, in
// the order the folder lists them.
QStringList ScanDataFolder(frmProgress& progress);

// The import alone: every file of `newFiles` (names inside DataFolder) into DataFiles and Names.
void ImportDataFiles(const QStringList& newFiles, frmProgress& progress);

// Number of fields in the first line of the text file at `path`. A missing or empty file fails.
qint16 GetFieldCount(const QString& path);

// The source date in the first eight characters (MMDDYYYY) of a data-file name. A name that holds no
// valid date is reported with the exclamation icon and gives the zero date, 30 December 1899 00:00.
QDateTime GetDateFromFileName(const QString& name);

// The zero date of the database: 30 December 1899, 00:00.
QDateTime ZeroDate();

// A data file: its name ends with ".lst", in any letter case.
bool IsDataFileName(const QString& name);

// The work of the "Import data file" button, apart from ending the program: asks for a file, copies
// it into DataFolder and tells the user to reopen. A file whose name is already recorded in DataFiles
// is not copied; a message says how to replace that list. Returns true when the file was copied.
bool CopyChosenDataFile();
