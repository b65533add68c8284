#include "intake/Intake.h"

#include "database/Database.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "errors/ShowError.h"
#include "files/Files.h"
#include "intake/LineSplitter.h"
#include "intake/frmProgress.h"
#include "startup/Globals.h"

#include <QLabel>
#include <QProgressBar>
#include <QSet>
#include <algorithm>

namespace {

bool IsReplacement(const QString& name) {
    return name.startsWith(QLatin1Char('R')) || name.startsWith(QLatin1Char('r'));
}

// Those of `names` that DataFiles records already, compared by the database as a lookup of each name
// would compare it. A few statements instead of one per file: the folder keeps every file ever
// imported, and it is read at every start.
QSet<QString> RecordedFileNames(const QStringList& names) {
    constexpr qsizetype batch = 200;
    QSet<QString> recorded;
    for (qsizetype first = 0; first < names.size(); first += batch) {
        QString sql = QStringLiteral("WITH Listed(FileName) AS (VALUES ");
        const qsizetype end = std::min(names.size(), first + batch);
        for (qsizetype i = first; i < end; ++i) {
            if (i > first)
                sql += QLatin1Char(',');
            sql += QStringLiteral("('") + db::quoted(names[i]) + QStringLiteral("')");
        }
        sql += QStringLiteral(") SELECT FileName FROM Listed WHERE EXISTS (SELECT 1 FROM DataFiles WHERE "
                              "DataFiles.FileName = Listed.FileName)");
        db::Recordset rs;
        rs.open(sql, *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        for (; !rs.eof(); rs.moveNext())
            recorded.insert(rs.value(0).toString());
        rs.close();
    }
    return recorded;
}

// One line into the pending Names row; raises Failure when the line cannot be stored.
void ImportLine(const QString& line, int fieldCount, intake::FieldArray& Fields, int dataFileId,
                db::Recordset& names) {
    if (fieldCount > intake::MaxFields)
        throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    if (fieldCount < 7)
        throw Failure(
            ErrorNumbers::SubscriptOutOfRange,
            QStringLiteral("The first line of the file has %1 field(s); a data file has seven or eight")
                .arg(fieldCount));
    intake::SplitLine(line, fieldCount, Fields);

    const qsizetype comma = Fields[3].indexOf(QLatin1Char(','));
    if (comma < 0)
        throw Failure(
            ErrorNumbers::InvalidArgument,
            QStringLiteral("Invalid procedure call or argument: the city and state field has no comma"));

    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), dataFileId);
    names.setValue(QStringLiteral("Court_ID"), Fields[0]);
    names.setValue(QStringLiteral("Name"), Fields[1]);
    names.setValue(QStringLiteral("Street"), Fields[2]);
    names.setValue(QStringLiteral("City"), Fields[3].left(comma));
    names.setValue(QStringLiteral("State"), Fields[3].right(2));
    names.setValue(QStringLiteral("Zip"), Fields[4]);
    if (Fields[5] != QLatin1String("00/00/00"))
        names.setValue(QStringLiteral("File"), Fields[5]);
    if (Fields[6] != QLatin1String("00/00/00"))
        names.setValue(QStringLiteral("Discharge"), Fields[6]);
    if (!Fields[7].isEmpty())
        names.setValue(QStringLiteral("Phone"), intake::FormatPhone(Fields[7]));
    names.update();
}

// One data file, its DataFiles row first, then its lines. The file's rows are saved together: a
// crash part-way loses the whole file (row included) and the next start imports it again, while a
// failure outside the lines keeps what was saved, as a file must never be imported twice.
void ImportFile(const QString& fileName, db::Recordset& dataFiles, db::Recordset& names,
                intake::FieldArray& Fields) {
    DbConnection->beginTrans();
    try {
        dataFiles.addNew();
        dataFiles.setValue(QStringLiteral("FileName"), fileName);
        dataFiles.setValue(QStringLiteral("Date"), GetDateFromFileName(fileName));
        dataFiles.update();
        const int dataFileId = dataFiles.value(QStringLiteral("ID")).toInt();

        const QString path = DataFolder + fileName;
        files::TextReader file(path);
        // An empty file has no lines to import; it stays recorded so that it is not looked at again.
        if (!file.atEnd()) {
            const qint16 fieldCount = GetFieldCount(path);
            if (fieldCount == 7)
                Fields[7].clear();
            while (!file.atEnd()) {
                const QString line = file.readLine();
                try {
                    ImportLine(line, fieldCount, Fields, dataFileId, names);
                } catch (const Failure& failure) {
                    if (names.editing())
                        names.cancelUpdate();
                    LogRejectedLine(fileName, failure, line);
                }
            }
        }
        file.close();
    } catch (...) {
        if (DbConnection->inTransaction())
            DbConnection->commitTrans();
        throw;
    }
    DbConnection->commitTrans();
}

} // namespace

bool IsDataFileName(const QString& name) {
    return name.right(4).compare(QLatin1String(".lst"), Qt::CaseInsensitive) == 0;
}

QDateTime ZeroDate() {
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

qint16 GetFieldCount(const QString& path) {
    files::TextReader file(path);
    const QString line = file.readLine();
    file.close();
    return intake::CountFields(line);
}

QDateTime GetDateFromFileName(const QString& name) {
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
    ShowError(ErrorNumbers::TypeMismatch, QStringLiteral("Type mismatch"),
              QStringLiteral("Module Main: Function GetDateFromFileName"));
    return ZeroDate();
}

QStringList ScanDataFolder(frmProgress& progress) {
    QStringList NewFiles;
    progress.setWindowTitle(QStringLiteral("Searching for New Data Files..."));
    progress.lblProgress->setText(QStringLiteral("Scanning ") + DataFolder);
    const QStringList folder = files::folderFiles(DataFolder);
    // An empty folder shows a finished bar rather than the busy animation of an empty range.
    progress.barProgress->setMaximum(folder.isEmpty() ? 1 : int(folder.size()));
    progress.barProgress->setValue(folder.isEmpty() ? 1 : 0);
    progress.show();
    progress.Refresh();

    QStringList plain;
    for (const QString& name : folder)
        if (IsDataFileName(name) && !IsReplacement(name))
            plain.append(name);
    // Holds until a replacement file deletes a row; later names are looked up one by one.
    const QSet<QString> recorded = RecordedFileNames(plain);
    bool replaced = false;

    for (const QString& name : folder) {
        if (IsDataFileName(name)) {
            if (IsReplacement(name)) {
                replaced = true;
                const QString target = name.mid(1);
                DbConnection->execute(QStringLiteral("DELETE FROM DataFiles WHERE FileName = '") +
                                      db::quoted(target) + QStringLiteral("'"));
                try {
                    files::deleteFile(DataFolder + target);
                } catch (const Failure&) {
                    // Usually there is no file to replace; the replacement stands on its own then.
                }
                files::renameFile(DataFolder, name, target);
                // The replaced file may come later in the listing under the same name: one import.
                if (!NewFiles.contains(target))
                    NewFiles.append(target);
            } else if (!replaced) {
                if (!recorded.contains(name) && !NewFiles.contains(name))
                    NewFiles.append(name);
            } else {
                db::Recordset count;
                count.open(QStringLiteral("SELECT COUNT(*) FROM DataFiles WHERE FileName = '") +
                               db::quoted(name) + QStringLiteral("'"),
                           *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
                if (count.value(0).toInt() == 0 && !NewFiles.contains(name))
                    NewFiles.append(name);
                count.close();
            }
        }
        progress.barProgress->setValue(progress.barProgress->value() + 1);
        progress.Refresh();
    }
    return NewFiles;
}

void ImportDataFiles(const QStringList& NewFiles, frmProgress& progress) {
    progress.setWindowTitle(QStringLiteral("Importing Data..."));
    progress.lblProgress->setText(QStringLiteral("Importing File: "));
    progress.barProgress->setMaximum(int(NewFiles.size()));
    progress.barProgress->setValue(0);
    progress.show();

    db::Recordset dataFiles;
    dataFiles.open(QStringLiteral("DataFiles"), *DbConnection, db::adOpenStatic, db::adLockOptimistic,
                   db::adCmdTableDirect);
    db::Recordset names;
    names.open(QStringLiteral("Names"), *DbConnection, db::adOpenForwardOnly, db::adLockOptimistic,
               db::adCmdTableDirect);
    intake::FieldArray Fields;
    for (int i = 0; i < NewFiles.size(); ++i) {
        progress.barProgress->setValue(i);
        progress.lblProgress->setText(QStringLiteral("Importing File: ") + NewFiles[i]);
        progress.Refresh();
        ImportFile(NewFiles[i], dataFiles, names, Fields);
    }
    dataFiles.close();
    names.close();
}

void ScanAndImport(frmProgress& progress) {
    const QStringList NewFiles = ScanDataFolder(progress);
    if (!NewFiles.isEmpty())
        ImportDataFiles(NewFiles, progress);
}
