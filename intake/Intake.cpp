#include "intake/Intake.h"

#include "database/Database.h"
#include "database/DbErrors.h"
#include "errors/ErrorLog.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "files/Files.h"
#include "intake/LineSplitter.h"

#include <QDir>
#include <QSet>
#include <algorithm>

namespace intake {

namespace {

// Where the error box says a file name without a date was found.
const QString kDateLocation = QStringLiteral("Module Main: Function GetDateFromFileName");

// The number of DataFiles rows recorded under a file name (0 or 1).
const QString kCountByName = QStringLiteral("SELECT COUNT(*) FROM DataFiles WHERE FileName = ?");

bool isReplacement(const QString& name) {
    return name.startsWith(QLatin1Char('R')) || name.startsWith(QLatin1Char('r'));
}

// Those of `folderNames` that DataFiles records already, compared by the database as a lookup of each name
// would compare it. A few statements instead of one per file: the folder keeps every file ever
// imported, and it is read at every start.
QSet<QString> recordedFileNames(db::Connection& connection, const QStringList& folderNames) {
    // A name recorded exactly as the folder spells it is equal under any letter case rule, and nearly
    // every name is: one read of the table settles those, and only the rest go to the database's own
    // comparison, which is costly to put into a statement name by name.
    QSet<QString> spelled;
    {
        db::Recordset all;
        all.open(QStringLiteral("SELECT FileName FROM DataFiles"), connection, db::adOpenForwardOnly,
                 db::adLockReadOnly, db::adCmdText);
        for (; !all.eof(); all.moveNext())
            spelled.insert(all.value(0).toString());
        all.close();
    }
    QSet<QString> recorded;
    QStringList names;
    for (const QString& name : folderNames) {
        if (spelled.contains(name))
            recorded.insert(name);
        else
            names.append(name);
    }

    constexpr qsizetype batch = 200;
    for (qsizetype first = 0; first < names.size(); first += batch) {
        QString sql = QStringLiteral("WITH Listed(FileName) AS (VALUES ");
        QVariantList listed;
        const qsizetype end = std::min(names.size(), first + batch);
        for (qsizetype i = first; i < end; ++i) {
            sql += i > first ? QStringLiteral(",(?)") : QStringLiteral("(?)");
            listed.append(names[i]);
        }
        sql += QStringLiteral(") SELECT FileName FROM Listed WHERE EXISTS (SELECT 1 FROM DataFiles WHERE "
                              "DataFiles.FileName = Listed.FileName)");
        db::Recordset rs;
        rs.open(sql, listed, connection, db::adOpenForwardOnly, db::adLockReadOnly);
        for (; !rs.eof(); rs.moveNext())
            recorded.insert(rs.value(0).toString());
        rs.close();
    }
    return recorded;
}

// The Names columns the import fills, in the table's order, which is the order a refused line's values
// are checked in.
enum NameColumn { DataFileId, CourtId, Name, Street, City, State, Zip, Phone, File, Discharge };
const QStringList NameColumns{QStringLiteral("DataFile_ID"), QStringLiteral("Court_ID"),
                              QStringLiteral("Name"),        QStringLiteral("Street"),
                              QStringLiteral("City"),        QStringLiteral("State"),
                              QStringLiteral("Zip"),         QStringLiteral("Phone"),
                              QStringLiteral("File"),        QStringLiteral("Discharge")};

// One line into Names; raises Failure when the line cannot be stored. `phone` is the formatted phone's
// storage, reused from line to line.
void importLine(const QString& line, int fieldCount, intake::FieldArray& fields, int dataFileId,
                db::TableInsert& names, QString& phone) {
    if (fieldCount > intake::MaxFields)
        throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    if (fieldCount < 7)
        throw Failure(
            ErrorNumbers::SubscriptOutOfRange,
            QStringLiteral("The first line of the file has %1 field(s); a data file has seven or eight")
                .arg(fieldCount));
    intake::splitLine(line, fieldCount, fields);

    const QStringView cityState(fields[3]);
    const qsizetype comma = cityState.indexOf(QLatin1Char(','));
    if (comma < 0)
        throw Failure(
            ErrorNumbers::InvalidArgument,
            QStringLiteral("Invalid procedure call or argument: the city and state field has no comma"));

    names.setInteger(DataFileId, dataFileId);
    names.setText(CourtId, fields[0]);
    names.setText(Name, fields[1]);
    names.setText(Street, fields[2]);
    names.setText(City, cityState.left(comma));
    names.setText(State, cityState.right(2));
    names.setText(Zip, fields[4]);
    if (fields[5] != QLatin1String("00/00/00"))
        names.setText(File, fields[5]);
    if (fields[6] != QLatin1String("00/00/00"))
        names.setText(Discharge, fields[6]);
    if (!fields[7].isEmpty()) {
        intake::formatPhone(fields[7], phone);
        names.setText(Phone, phone);
    }
    names.insert();
}

// A failure that stays with one data file: it cannot be read, its rejected lines cannot be logged, or a
// replacement cannot take its original's place. The file is left as it is for the next start and the
// others go on. A failure of the database is never one of these, since it would stop the next file
// just the same.
struct FileFailure {
    Failure failure;
};

// The failure `failure` of an action on `what` (a file the user can find), told as such.
Failure naming(const QString& what, const Failure& failure) {
    return Failure(failure.number(), what + QStringLiteral(": ") + failure.description());
}

// The same, raised as the file's own failure.
[[noreturn]] void failWith(const QString& what, const Failure& failure) {
    throw FileFailure{naming(what, failure)};
}

// Runs `action`, which reads the data file at `path`, and names the file when it fails.
template <class Action> auto reading(const QString& path, Action action) {
    try {
        return action();
    } catch (const Failure& failure) {
        failWith(QStringLiteral("Cannot read the data file ") + QDir::toNativeSeparators(path), failure);
    }
}

// A failure that refuses one line (its text, or a value the database will not take); anything else
// (a full disk, a locked database) is the whole file's.
bool refusesTheLine(const Failure& failure) {
    return failure.number() > 0 || failure.number() == DbErrors::DataTypeMismatch ||
           failure.number() == DbErrors::ValueRefused;
}

// Undoes the file's transaction on the way out of a failure; the failure that got here is the one
// to report, not a follow-on one of the undoing.
void abandonTransaction(db::Connection& connection) {
    try {
        if (connection.inTransaction())
            connection.rollbackTrans();
    } catch (const Failure&) {
    }
}

// One data file, its DataFiles row and its lines in one transaction, recorded only when every line
// was imported or logged. Any other failure (the file cannot be read, the log cannot be written, the
// disk is full) undoes the file as a whole, so that the next start imports all of it; one of the file
// alone is raised as FileFailure. The transaction holds the write lock from its start and asks again
// whether the file is known, so that two programs importing at once record each file once.
void importFile(const ImportPlaces& places, const QString& fileName, db::Recordset& dataFiles,
                intake::FieldArray& fields, ImportProgress& progress) {
    db::Connection& connection = places.connection;
    const QString path = places.dataFolder + fileName;
    files::TextReader file = reading(path, [&] { return files::TextReader(path); });
    const QDateTime sourceDate = getDateFromFileName(fileName, progress);
    connection.beginTrans();
    try {
        db::Recordset known;
        known.open(kCountByName, {fileName}, connection, db::adOpenForwardOnly, db::adLockReadOnly);
        const bool recordedMeanwhile = known.value(0).toInt() > 0;
        known.close();
        if (recordedMeanwhile) {
            connection.rollbackTrans();
            return;
        }
        dataFiles.addNew();
        dataFiles.setValue(QStringLiteral("FileName"), fileName);
        dataFiles.setValue(QStringLiteral("Date"), sourceDate);
        dataFiles.update();
        const int dataFileId = dataFiles.value(QStringLiteral("ID")).toInt();
        // One statement for all of the file's lines, prepared inside its transaction.
        db::TableInsert names(connection, QStringLiteral("Names"), NameColumns);
        QString phone;

        // An empty file has no lines to import; it stays recorded so that it is not looked at again.
        if (!file.atEnd()) {
            const qint16 fieldCount = reading(path, [&] { return getFieldCount(path); });
            if (fieldCount == 7)
                fields[7].clear();
            while (!file.atEnd()) {
                const QString line = reading(path, [&] { return file.readLine(); });
                try {
                    importLine(line, fieldCount, fields, dataFileId, names, phone);
                } catch (const Failure& failure) {
                    if (!refusesTheLine(failure))
                        throw;
                    try {
                        logRejectedLine(places.errorLog, fileName, failure, line);
                    } catch (const Failure& logFailure) {
                        failWith(QStringLiteral("Cannot write the error log ") +
                                     QDir::toNativeSeparators(places.errorLog),
                                 logFailure);
                    }
                }
            }
        }
        file.close();
        connection.commitTrans();
    } catch (...) {
        if (dataFiles.editing())
            dataFiles.cancelUpdate();
        abandonTransaction(connection);
        throw;
    }
}

// A replacement file takes its original's place: the original's row (and with it its names) is
// deleted in the same transaction that puts the replacement's content under the original's name, so
// that a failure of either leaves both as they were (FileFailure when the files are at fault). The
// replacement file itself goes last: while it exists, a later start does the replacement again,
// whatever stopped this one; one that cannot be removed is added to `failed` for the user to see.
void replaceDataFile(const ImportPlaces& places, const QString& replacement, const QString& target,
                     FailedFiles& failed) {
    db::Connection& connection = places.connection;
    const QString& folder = places.dataFolder;
    connection.beginTrans();
    try {
        connection.execute(QStringLiteral("DELETE FROM DataFiles WHERE FileName = ?"), {target});
        try {
            files::replaceWithCopy(folder, replacement, target);
        } catch (const Failure& failure) {
            failWith(QStringLiteral("Cannot rename %1 to %2 in %3")
                         .arg(replacement, target, QDir::toNativeSeparators(folder)),
                     failure);
        }
        connection.commitTrans();
    } catch (...) {
        abandonTransaction(connection);
        throw;
    }
    try {
        files::deleteFile(folder + replacement);
    } catch (const Failure& failure) {
        failed.push_back({replacement, naming(QStringLiteral("Cannot remove %1 from %2 after it replaced %3")
                                                  .arg(replacement, QDir::toNativeSeparators(folder), target),
                                              failure)});
    }
}

void openDataFiles(db::Recordset& dataFiles, db::Connection& connection) {
    dataFiles.open(QStringLiteral("DataFiles"), connection, db::adOpenStatic, db::adLockOptimistic,
                   db::adCmdTableDirect);
}

} // namespace

bool isDataFileName(const QString& name) {
    return name.right(4).compare(QLatin1String(".lst"), Qt::CaseInsensitive) == 0;
}

QDateTime zeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

qint16 getFieldCount(const QString& path) {
    files::TextReader file(path);
    const QString line = file.readLine();
    file.close();
    return intake::countFields(line);
}

QDateTime getDateFromFileName(const QString& name, ImportProgress& progress) {
    const QString text = name.left(2) + QLatin1Char('/') + name.mid(2, 2) + QLatin1Char('/') + name.mid(4, 4);
    bool digits = text.size() == 10;
    for (qsizetype i = 0; digits && i < text.size(); ++i)
        digits =
            (i == 2 || i == 5) ? text[i] == QLatin1Char('/') : text[i].isDigit() && text[i].unicode() < 128;
    if (digits) {
        const QDate date(text.mid(6, 4).toInt(), text.left(2).toInt(), text.mid(3, 2).toInt());
        if (date.isValid() && date.year() >= 100)
            return QDateTime(date, QTime(0, 0));
    }
    progress.report(Failure(ErrorNumbers::TypeMismatch, QStringLiteral("Type mismatch")), kDateLocation);
    return zeroDate();
}

QStringList scanDataFolder(const ImportPlaces& places, ImportProgress& progress, FailedFiles& failed) {
    QStringList newFiles;
    const QStringList folder = files::folderFiles(places.dataFolder);
    progress.scanStarted(places.dataFolder, int(folder.size()));

    QStringList plain;
    for (const QString& name : folder)
        if (isDataFileName(name) && !isReplacement(name))
            plain.append(name);
    // Holds until a replacement file deletes a row; later names are looked up one by one.
    const QSet<QString> recorded = recordedFileNames(places.connection, plain);
    bool replaced = false;

    for (const QString& name : folder) {
        if (isDataFileName(name)) {
            if (isReplacement(name)) {
                replaced = true;
                const QString target = name.mid(1);
                try {
                    replaceDataFile(places, name, target, failed);
                    // The replaced file may come later in the listing under the same name: one import.
                    if (!newFiles.contains(target))
                        newFiles.append(target);
                } catch (const FileFailure& failure) {
                    failed.push_back({name, failure.failure});
                }
            } else if (!replaced) {
                if (!recorded.contains(name) && !newFiles.contains(name))
                    newFiles.append(name);
            } else {
                db::Recordset count;
                count.open(kCountByName, {name}, places.connection, db::adOpenForwardOnly,
                           db::adLockReadOnly);
                if (count.value(0).toInt() == 0 && !newFiles.contains(name))
                    newFiles.append(name);
                count.close();
            }
        }
        progress.fileScanned();
    }
    return newFiles;
}

void importDataFiles(const ImportPlaces& places, const QStringList& newFiles, ImportProgress& progress,
                     FailedFiles& failed) {
    progress.importStarted(int(newFiles.size()));
    db::Recordset dataFiles;
    openDataFiles(dataFiles, places.connection);
    intake::FieldArray fields;
    for (int i = 0; i < newFiles.size(); ++i) {
        progress.fileStarted(i, newFiles[i]);
        try {
            importFile(places, newFiles[i], dataFiles, fields, progress);
        } catch (const FileFailure& failure) {
            failed.push_back({newFiles[i], failure.failure});
            // The undone row may still be among the rows this open has read; a fresh open has only
            // what the database holds.
            dataFiles.close();
            openDataFiles(dataFiles, places.connection);
        }
    }
    dataFiles.close();
}

FailedFiles scanAndImport(const ImportPlaces& places, ImportProgress& progress) {
    FailedFiles failed;
    const QStringList newFiles = scanDataFolder(places, progress, failed);
    if (!newFiles.isEmpty())
        importDataFiles(places, newFiles, progress, failed);
    return failed;
}

std::optional<RecordedDataFile> recordedDataFile(db::Connection& connection, const QString& name) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT TOP 1 FileName, [Date] FROM DataFiles WHERE FileName = ?"), {name},
            connection, db::adOpenForwardOnly, db::adLockReadOnly);
    if (rs.eof())
        return std::nullopt;
    return RecordedDataFile{rs.value(0).toString(), rs.value(1).toDateTime()};
}

} // namespace intake
