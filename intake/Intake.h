#pragma once

#include "errors/Failure.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace db {
class Connection;
}

// The scan of the Data folder and the import of the data files the database has not seen yet. It needs
// Qt Core alone and is handed what it works on; what it has to show goes out through ImportProgress, which
// the window layer implements (intake/StartupImport.h).
namespace intake {

// What the scan and the import work on.
struct ImportPlaces {
    db::Connection& connection;
    QString dataFolder; // the Data folder, ending with a separator
    QString errorLog;   // the error log that rejected lines are appended to
};

// What the user is shown while the scan and the import run, in the order it happens.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;
    // The scan of `folder` begins; it holds `files` files, data files or not.
    virtual void scanStarted(const QString& folder, int files) = 0;
    // One more file of the folder has been looked at.
    virtual void fileScanned() = 0;
    // The import of `files` new data files begins.
    virtual void importStarted(int files) = 0;
    // The import of `fileName`, the file at `index` (from 0) of the new files, begins.
    virtual void fileStarted(int index, const QString& fileName) = 0;
    // A failure the user is told of before the work goes on (a file name that holds no date), from the
    // procedure that `location` names. Returns once the user has seen it.
    virtual void report(const Failure& failure, const QString& location) = 0;
};

// A data file that was left as it is, unrecorded, for the next start to try again: its name in the Data
// folder and the failure that stopped it.
struct FailedFile {
    QString fileName;
    Failure failure;
};
using FailedFiles = std::vector<FailedFile>;

// Start-up step 8: scans the Data folder and imports the data files the database has not seen yet. Lines
// that cannot be imported are written to the error log and skipped. A file that fails as a whole (it
// cannot be read, it vanished since the scan, its rejected lines cannot be logged, a replacement cannot
// take its original's place) is left unrecorded and returned, and the others go on. A failure of the
// database or of the Data folder itself is raised (Failure) for Main to report, after what was saved
// has been kept.
[[nodiscard]] FailedFiles scanAndImport(const ImportPlaces& places, ImportProgress& progress);

// The scan alone: handles replacement files and returns the names of the data files to import, in the
// order the folder lists them. A replacement that fails is added to `failed`.
QStringList scanDataFolder(const ImportPlaces& places, ImportProgress& progress, FailedFiles& failed);

// The import alone: every file of `newFiles` (names inside the Data folder) into DataFiles and Names;
// those that fail as a whole are added to `failed`.
void importDataFiles(const ImportPlaces& places, const QStringList& newFiles, ImportProgress& progress,
                     FailedFiles& failed);

// Number of fields in the first line of the text file at `path`. A missing or empty file fails.
qint16 getFieldCount(const QString& path);

// The source date in the first eight characters (MMDDYYYY) of a data-file name. A name that holds no
// valid date is reported to `progress` and gives the zero date, 30 December 1899 00:00.
QDateTime getDateFromFileName(const QString& name, ImportProgress& progress);

// The zero date of the database: 30 December 1899, 00:00.
QDateTime zeroDate();

// A data file: its name ends with ".lst", in any letter case.
bool isDataFileName(const QString& name);

// A data file the database has recorded: its name as recorded and its source date.
struct RecordedDataFile {
    QString fileName;
    QDateTime date;
};
// The recorded data file named `name`, compared as the start-up scan compares names; none when the
// database has not seen it.
std::optional<RecordedDataFile> recordedDataFile(db::Connection& connection, const QString& name);

} // namespace intake
