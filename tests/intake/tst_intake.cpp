#include "errors/ErrorNumbers.h"
#include "files/Files.h"
#include "intake/LineSplitter.h"
#include "intake/ProgressWindow.h"
#include "intake/StartupImport.h"
#include "platform/Platform.h"
#include "tests/support/Installation.h"

#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QByteArray Line =
    "A123,\"SMITH, JOHN\",12 MAIN ST,\"SPRINGFIELD, IL\",62701,01/05/99,00/00/00,2175550123";

// The files an import left for the next start, each as "name: number: description".
QStringList described(const intake::FailedFiles& failed) {
    QStringList out;
    for (const intake::FailedFile& file : failed)
        out << file.fileName + ": " + QString::number(file.failure.number()) + ": " +
                   file.failure.description();
    return out;
}

// Lets a test look at the program at a message box, the only moments the import hands control out.
struct WatchingAnswerer : platform::ScriptedAnswerer {
    std::function<void()> onMessage;
    platform::Button answerMessage(const platform::Message& message) override {
        if (onMessage)
            onMessage();
        return ScriptedAnswerer::answerMessage(message);
    }
};

// The error log's entries after `skip` bytes as {file name, error number, line as read}: each is
// "date time  file  Error #n: description", the line and an empty line, CRLF-ended. A malformed tail
// is one more entry {"<malformed>", "", rest}.
QList<QStringList> logEntries(const QString& logPath, qsizetype skip = 0) {
    static const QRegularExpression entry(
        "\\G\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M  ([^\\r\\n]+)  "
        "Error #(-?\\d+): [^\\r\\n]+\\r\\n([^\\r\\n]*)\\r\\n\\r\\n");
    const QString text = QString::fromLatin1(FileBytes(logPath).mid(skip));
    QList<QStringList> entries;
    qsizetype end = 0;
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        entries << QStringList{match.captured(1), match.captured(2), match.captured(3)};
        end = match.capturedEnd();
    }
    if (end < text.size())
        entries << QStringList{"<malformed>", "", text.mid(end)};
    return entries;
}
} // namespace

class TestIntake : public QObject {
    Q_OBJECT
private:
    // Every row of `sql` as its values joined by "|": dates as yyyy-MM-dd hh:mm:ss without a midnight time,
    // Null as "-".
    QStringList rows(const QString& sql) {
        db::Recordset rs;
        rs.open(sql, m_inst->connection(), db::adOpenStatic, db::adLockReadOnly, db::adCmdText);
        QStringList all;
        for (; !rs.eof(); rs.moveNext()) {
            QStringList row;
            for (int i = 0; i < rs.fieldCount(); ++i) {
                const QVariant v = rs.value(i);
                const bool date = v.metaType().id() == QMetaType::QDateTime;
                row << (v.isNull() ? "-"
                        : date     ? v.toDateTime().toString("yyyy-MM-dd hh:mm:ss").remove(" 00:00:00")
                                   : v.toString());
            }
            all << row.join('|');
        }
        rs.close();
        return all;
    }

    // The start-up import of the installation's Data folder: what it left, described.
    QStringList importFolder(ProgressWindow& progress) {
        return described(scanAndImport(m_inst->context, progress));
    }

    // The scan alone: the files to import, then those it left, described.
    QStringList scan(ProgressWindow& progress) {
        intake::FailedFiles failed;
        const QStringList found = scanDataFolder(m_inst->context, progress, failed);
        return found + described(failed);
    }

    // The import alone of `files`: what it left, described.
    QStringList import(const QStringList& files, ProgressWindow& progress) {
        intake::FailedFiles failed;
        importDataFiles(m_inst->context, files, progress, failed);
        return described(failed);
    }

    // Writes a file in the Data folder (or at an absolute path).
    void writeData(const QString& name, const QByteArray& bytes) {
        QFile file(QDir(m_inst->folders().dataFolder).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    int count(const QString& sql) { return rows(sql).value(0).toInt(); }
    QString logPath() const { return m_inst->folders().errorLog; }
    QList<QStringList> logEntries(qsizetype skip = 0) const { return ::logEntries(logPath(), skip); }

    std::unique_ptr<TestInstallation> m_inst;

private slots:
    void init() { m_inst = std::make_unique<TestInstallation>(); }
    void cleanup() { m_inst.reset(); }

    void splittingCountingAndDates() {
        auto split = [](QStringView line, int n) {
            intake::FieldArray f;
            intake::splitLine(line, n, f);
            return QStringList(f.begin(), f.begin() + n);
        };
        // Trimmed of spaces only; the character after a closing quote is skipped unseen (here a blank).
        QCOMPARE(split(u"  A1 ,\" B, C \" ,\tX\t,D", 4), (QStringList{"A1", "B, C", "", "\tX\t,D"}));
        // The last field: quoted, it ends at its quote or at the line's end.
        QCOMPARE(split(u"a,\"b,c\"ignored,d", 2), (QStringList{"a", "b,c"}));
        QCOMPARE(split(u"\"ab\"", 2), (QStringList{"ab", ""}));
        QCOMPARE(split(u"a,\"b,c", 2), (QStringList{"a", "b,c"}));
        QCOMPARE(split(u"O\"NEIL,5\" TALL", 2), (QStringList{"O\"NEIL", "5\" TALL"}));
        intake::FieldArray f;
        QCOMPARE(FailureNumber([&] { intake::splitLine(u"a,\"b,c", 3, f); }), ErrorNumbers::InvalidArgument);
        QCOMPARE(FailureNumber([&] { intake::splitLine(u"a,b", 9, f); }), ErrorNumbers::SubscriptOutOfRange);

        QCOMPARE(intake::countFields(u"\"a\"xx,b"), qint16(2));
        QCOMPARE(intake::countFields(QString(40000, QLatin1Char(','))), qint16(32767)); // saturates
        writeData("empty.lst", "");
        QCOMPARE(FailureNumber([this] { intake::getFieldCount(m_inst->folders().dataFolder + "none.lst"); }),
                 ErrorNumbers::FileNotFound);
        QCOMPARE(FailureNumber([this] { intake::getFieldCount(m_inst->folders().dataFolder + "empty.lst"); }),
                 ErrorNumbers::InputPastEndOfFile);

        // A name without a date is reported, once each, and the import goes on with the zero date.
        struct : intake::ImportProgress {
            QStringList reports;
            void scanStarted(const QString&, int) override {}
            void fileScanned() override {}
            void importStarted(int) override {}
            void fileStarted(int, const QString&) override {}
            void report(const Failure& failure, const QString& location) override {
                reports << QString("%1|%2|%3").arg(location).arg(failure.number()).arg(failure.description());
            }
        } progress;
        QCOMPARE(intake::getDateFromFileName("02292024.lst", progress),
                 QDateTime(QDate(2024, 2, 29), QTime(0, 0)));
        for (const char* bad : {"02292025.lst", "13011999.lst", "00101999.lst", "12 31999.lst", ""})
            QCOMPARE(intake::getDateFromFileName(bad, progress), intake::zeroDate());
        QCOMPARE(progress.reports,
                 QStringList(5, QString("Module Main: Function GetDateFromFileName|%1|Type mismatch")
                                    .arg(ErrorNumbers::TypeMismatch)));
    }

    // Good lines are imported (the example line with every column), rejected ones logged; the extension
    // in any case.
    void linesAndTheErrorLog() {
        platform::ScriptedAnswerer answers;
        const QByteArray earlier = "3/1/2026 9:00:00 AM  01012026.lst  Error #5: earlier\r\nold line\r\n\r\n";
        writeData(logPath(), earlier);
        const QByteArrayList lines{
            Line,
            "C3,\"DOE, JANE\",7 PINE,\"AUSTIN, TX\"", // short
            "B2,\"JONES, AMY\",5 OAK,\"DOVER, DE\",19901,02/03/26,03/04/26,3025550199",
            "",
            "D4,\"ROE, RICK\",9 ELM,\"SPRINGFIELD IL\",62701,01/05/99,00/00/00,2175550123",
            "E5,\"POE, AL\",9 ELM,\"PEORIA, IL\",61604,13/45/99,00/00/00,3095550100",
            "F6,\"LONG, LEN\"," + QByteArray(300, 'S') + ",\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100",
            "G7,\"MORE, MO\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100,EXTRA\n" // LF only
            "H8,\"CAF\xc9, REN\xc9\",1 RUE,\"PARIS TX\",75460,01/05/99,00/00/00,",
            "W1,\"ORTI\xc9, JOS\xc9\",12 CAF\xc9 \x93NORTE\x94,\"SAINT-\xc9LOI, "
            "LA\",70001,01/05/26,00/00/00,5045550100",
            "I9,\"NOPHONE, NED\",1 A ST,\"PEORIA, IL\",61604,00/00/00,00/00/00,",
            ""};
        writeData("02012026.LST", lines.join("\r\n") + "\r\n");
        ProgressWindow progress;
        QCOMPARE(importFolder(progress), QStringList());
        QVERIFY(answers.messages.empty());
        QCOMPARE(rows("SELECT FileName, [Date] FROM DataFiles"), QStringList{"02012026.LST|2026-02-01"});
        // Surplus text ends up in the last field, and the phone is cut from it by position. ANSI text
        // arrives as the same characters, also when searched for.
        const QString all =
            "SELECT n.Court_ID, n.Name, n.Street, n.City, n.State, n.Zip, n.Phone, n.[File], "
            "n.Discharge FROM Names n INNER JOIN DataFiles d ON d.ID = n.DataFile_ID ORDER BY 1";
        const QStringList names{
            "A123|SMITH, JOHN|12 MAIN ST|SPRINGFIELD|IL|62701|(217) 555-0123|1999-01-05|-",
            "B2|JONES, AMY|5 OAK|DOVER|DE|19901|(302) 555-0199|2026-02-03|2026-03-04",
            "G7|MORE, MO|1 A ST|PEORIA|IL|61604|(309) 555-XTRA|1999-01-05|-",
            "I9|NOPHONE, NED|1 A ST|PEORIA|IL|61604|-|-|-",
            QString::fromUtf8(
                "W1|ORTIÉ, JOSÉ|12 CAFÉ “NORTE”|SAINT-ÉLOI|LA|70001|(504) 555-0100|2026-01-05|-")};
        QCOMPARE(rows(all), names);
        QCOMPARE(count(QString::fromUtf8("SELECT COUNT(*) FROM Names WHERE Name = 'ORTIÉ, JOSÉ'")), 1);

        // Each rejected line is appended to the existing log, as read.
        QVERIFY(FileBytes(logPath()).startsWith(earlier));
        const QList<QStringList> entries = logEntries(earlier.size());
        const QByteArrayList rejected{lines[1], "", lines[4], lines[5], lines[6], lines[7].split('\n')[1],
                                      ""};
        QCOMPARE(entries.size(), rejected.size());
        for (qsizetype i = 0; i < rejected.size(); ++i)
            QCOMPARE(entries[i][0] + "|" + entries[i][2], "02012026.LST|" + QString::fromLatin1(rejected[i]));
        QCOMPARE(entries[0][1].toInt(), ErrorNumbers::InvalidArgument);
        QCOMPARE(entries[2][1].toInt(), ErrorNumbers::InvalidArgument);
        QVERIFY(entries[3][1].toInt() < 0 && entries[4][1].toInt() < 0); // refused by the database
    }

    void layouts() {
        platform::ScriptedAnswerer answers;
        ProgressWindow progress;
        // An eight-field file first, so that the phone entry of the reused field list holds a value.
        writeData("01012026.lst", Line + "\r\n");
        QCOMPARE(importFolder(progress), QStringList());
        writeData("01022026.lst", "S1,\"SEVEN, SAM\",1 A ST,\"PEORIA, IL\",61604,01/05/99,02/06/26\r\n"
                                  "S2,\"SEVEN, SUE\",2 A ST,\"QUINCY, IL\",62301,01/06/99,00/00/00\r\n");
        // Fewer than seven fields in the first line, or more than eight: every line is rejected.
        writeData("01032026.lst", "A1,B,C,D\r\n" + Line + "\r\n");
        writeData("01042026.lst", Line + ",9\r\n" + Line + "\r\n");
        // The seventh field opens a quote never closed: seven fields, and the count comes to an end.
        writeData("01052026.lst", "U1,\"UN, CLOSED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,\"00/00/00\r\n"
                                  "U2,\"UN, CLOSED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,\"02/03/26\r\n");
        // The second field never closes: two fields. An empty file is recorded, and the start goes on.
        writeData("01062026.lst", "V1,\"SMITH, JOHN,12 MAIN ST,X\r\n");
        writeData("01072026.lst", "");
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 7);
        QVERIFY(scan(progress).isEmpty());
        QCOMPARE(
            rows("SELECT Court_ID, Phone, Discharge FROM Names ORDER BY Court_ID"),
            (QStringList{"A123|(217) 555-0123|-", "S1|-|2026-02-06", "S2|-|-", "U1|-|-", "U2|-|2026-02-03"}));
        QStringList logged;
        for (const QStringList& e : logEntries())
            logged << e[0] + ":" + e[1];
        logged.sort();
        QCOMPARE(logged.join(' '),
                 QString("01032026.lst:%1 01032026.lst:%1 01042026.lst:%1 01042026.lst:%1 01062026.lst:%1")
                     .arg(ErrorNumbers::SubscriptOutOfRange));
        QVERIFY(answers.messages.empty());
    }

    // Replacement files, with quotes in names and values.
    void replacementFiles() {
        platform::ScriptedAnswerer answers;
        ProgressWindow progress;
        writeData("12031999 O'Neal.lst", Line + "\r\n" + Line + "\r\n");
        writeData("01012026.lst",
                  "Q1,\"O'BRIEN, PAT\",1 O'HARE WAY,\"O'FALLON, MO\",63366,01/05/99,00/00/00,6365550100\r\n");
        QCOMPARE(importFolder(progress), QStringList());
        const int oldId = count("SELECT ID FROM DataFiles WHERE FileName = '12031999 O''Neal.lst'");
        QVERIFY(oldId > 0);

        // One beside its imported original, one (lower-case r) with no original.
        const QByteArray replacement = "R1,\"O'HARA, KIM\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n"
                                       "R2,\"NEW, NED\",2 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
        writeData("R12031999 O'Neal.lst", replacement);
        writeData("r01022026.lst", Line + "\r\n");
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(FileBytes(m_inst->folders().dataFolder + "12031999 O'Neal.lst"), replacement);
        QCOMPARE(QDir(m_inst->folders().dataFolder).entryList(QDir::Files),
                 (QStringList{"01012026.lst", "01022026.lst", "12031999 O'Neal.lst"}));
        QCOMPARE(rows("SELECT FileName, [Date] FROM DataFiles ORDER BY FileName"),
                 (QStringList{"01012026.lst|2026-01-01", "01022026.lst|2026-01-02",
                              "12031999 O'Neal.lst|1999-12-03"}));
        QVERIFY(count("SELECT ID FROM DataFiles WHERE FileName = '12031999 O''Neal.lst'") != oldId);
        // The replaced file's names went with its row; the other files' names stayed.
        QCOMPARE(count(QString("SELECT COUNT(*) FROM Names WHERE DataFile_ID = %1").arg(oldId)), 0);
        QCOMPARE(rows("SELECT d.FileName, n.Court_ID, n.Name, n.Street, n.City FROM Names n INNER JOIN "
                      "DataFiles d ON d.ID = n.DataFile_ID ORDER BY 2"),
                 (QStringList{"01022026.lst|A123|SMITH, JOHN|12 MAIN ST|SPRINGFIELD",
                              "01012026.lst|Q1|O'BRIEN, PAT|1 O'HARE WAY|O'FALLON",
                              "12031999 O'Neal.lst|R1|O'HARA, KIM|1 A ST|PEORIA",
                              "12031999 O'Neal.lst|R2|NEW, NED|2 A ST|PEORIA"}));
        // A known file is never read again, whatever it holds now.
        writeData("01022026.lst", Line + "\r\n" + Line + "\r\n");
        QVERIFY(scan(progress).isEmpty());

        // Original and replacement both new: whichever the folder lists first, one import of the
        // replacement's content.
        writeData("12041999.lst", Line + "\r\n" + Line + "\r\n");
        writeData("R12041999.lst", "N1,\"NEW, NAN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n");
        QCOMPARE(scan(progress), QStringList{"12041999.lst"});
        QCOMPARE(import({"12041999.lst"}, progress), QStringList());
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 4);
        QCOMPARE(rows("SELECT Court_ID FROM Names WHERE DataFile_ID = (SELECT MAX(ID) FROM DataFiles)"),
                 QStringList{"N1"});
        QVERIFY(answers.messages.empty());
    }

    // A folder of many recorded files: only the new ones are found, with file names compared as the
    // database compares them, and a replacement among them still takes its original's place.
    void manyRecordedFiles() {
        platform::ScriptedAnswerer answers;
        ProgressWindow progress;
        QStringList values;
        for (int day = 0; day < 450; ++day) {
            const QDate date = QDate(2020, 1, 1).addDays(day);
            const QString name = date.toString("MMddyyyy") + (day == 7 ? ".LST" : ".lst");
            writeData(name, Line + "\r\n");
            values
                << QString("('%1', '%2')").arg(day == 7 ? name.toLower() : name, date.toString(Qt::ISODate));
        }
        values << "('12031999 O''Neal.lst', '1999-12-03')";
        m_inst->connection().execute("INSERT INTO DataFiles (FileName, [Date]) VALUES " + values.join(','));
        writeData("12031999 O'Neal.lst", Line + "\r\n");
        writeData("01012030.lst", Line + "\r\n");
        writeData("02022030 O'Hara.lst", Line + "\r\n");
        QStringList found = scan(progress);
        found.sort();
        QCOMPARE(found, (QStringList{"01012030.lst", "02022030 O'Hara.lst"}));

        writeData("R01052020.lst", Line + "\r\n" + Line + "\r\n");
        found = scan(progress);
        found.sort();
        QCOMPARE(found, (QStringList{"01012030.lst", "01052020.lst", "02022030 O'Hara.lst"}));
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 450);
        QVERIFY(answers.messages.empty());
    }

    // The window while scanning and importing; names without a date are imported after a message.
    void progressAndNamesWithoutDate() {
        WatchingAnswerer answers;
        ProgressWindow progress;
        const QProgressBar* bar = progress.progressBar;
        // An empty folder: a full bar rather than the busy animation of an empty range.
        QCOMPARE(importFolder(progress), QStringList());
        QVERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        writeData("12041999.lst.bak", "x");
        writeData("ABCD1999.lst", Line + "\r\n" + Line + "\r\n");
        writeData("ZZZZ2026.lst", Line + "\r\n");
        QVERIFY(!(progress.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        auto state = [&] {
            return QStringList{progress.windowTitle(),          progress.progressLabel->text(),
                               QString::number(bar->minimum()), QString::number(bar->maximum()),
                               QString::number(bar->value()),   progress.isVisible() ? "shown" : "hidden"}
                .join('|');
        };
        const QString scanned =
            "Searching for New Data Files...|Scanning " + m_inst->folders().dataFolder + "|0|3|3|shown";
        QStringList seen;
        answers.onMessage = [&] { seen << state(); };
        const QStringList newFiles = scan(progress);
        QCOMPARE(state(), scanned); // the bar counts every file, data file or not
        QCOMPARE(newFiles.size(), 2);
        QCOMPARE(import(newFiles, progress), QStringList());
        QCOMPARE(seen, (QStringList{"Importing Data...|Importing File: " + newFiles[0] + "|0|2|0|shown",
                                    "Importing Data...|Importing File: " + newFiles[1] + "|0|2|1|shown"}));
        QVERIFY(progress.isVisible()); // left on screen for Main to unload
        for (const auto& m : answers.messages) {
            QCOMPARE(m.title, QString("Quillmark Error"));
            QCOMPARE(m.icon, platform::Icon::Exclamation);
            QVERIFY(m.text.startsWith(
                "The following error occurred in Module Main: Function GetDateFromFileName : "));
        }
        QCOMPARE(rows("SELECT DISTINCT [Date] FROM DataFiles"), QStringList{"1899-12-30"});
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 3);

        // A start with nothing new shows the finished scan.
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(state(), scanned);
        QCOMPARE(seen.size(), 2);
        // A missing Data folder is a failure for Main to report.
        QVERIFY(QDir(m_inst->folders().dataFolder).removeRecursively());
        QCOMPARE(FailureNumber([&] { importFolder(progress); }), ErrorNumbers::PathNotFound);
        QCOMPARE(answers.messages.size(), size_t(2));
    }

    // A file whose lines cannot all be imported or logged, that cannot be read or that vanished since the
    // scan is not recorded at all: it is handed back with its cause, which names the file or the log, the
    // files before and after it are imported, and the next start imports all of it.
    void unfinishedFilesAreNotRecorded() {
        WatchingAnswerer answers;
        writeData("01052026.lst", Line + "\r\n");
        writeData("ABCD2026.lst", Line + "\r\nbad line\r\n" + Line + "\r\n");
        writeData("01082026.lst", Line + "\r\n" + Line + "\r\n");
        int seenElsewhere = -1;
        answers.onMessage = [&] {
            // The first file is saved as a whole before the next one begins: another connection sees it.
            seenElsewhere = RawValue(m_inst->databaseFile, "SELECT COUNT(*) FROM Names").toInt();
            QVERIFY(QDir().mkpath(logPath())); // a directory in the error log's place
        };
        ProgressWindow progress;
        QCOMPARE(import({"01052026.lst", "ABCD2026.lst", "01082026.lst"}, progress),
                 QStringList{"ABCD2026.lst: " + QString::number(ErrorNumbers::PathFileAccessError) +
                             ": Cannot write the error log " + logPath() + ": Is a directory"});
        QCOMPARE(seenElsewhere, 1);
        QVERIFY(!m_inst->connection().inTransaction());
        // The file after the failed one has its own row and its names point to it.
        const QString perFile = "SELECT d.FileName, COUNT(n.ID) FROM DataFiles d LEFT JOIN Names n ON "
                                "n.DataFile_ID = d.ID GROUP BY d.FileName ORDER BY 1";
        QCOMPARE(rows(perFile), (QStringList{"01052026.lst|1", "01082026.lst|2"}));
        QCOMPARE(RawValue(m_inst->databaseFile, "SELECT COUNT(*) FROM Names").toInt(), 3);

        // A read-only log, a file that may not be read and a dangling link, all in one start: each
        // stays with its file.
        answers.onMessage = nullptr;
        QVERIFY(QDir(logPath()).removeRecursively());
        writeData(logPath(), "");
        QVERIFY(QFile::setPermissions(logPath(), QFile::ReadOwner));
        writeData("01062026.lst", Line + "\r\n");
        QVERIFY(QFile::setPermissions(m_inst->folders().dataFolder + "01062026.lst", {}));
        QVERIFY(QFile::link(m_inst->folders().dataFolder + "gone.txt",
                            m_inst->folders().dataFolder + "01072026.lst"));
        QStringList left = m_inst
                               ->asOrdinaryUser([&] {
                                   ProgressWindow p;
                                   return importFolder(p).join('\n');
                               })
                               .split('\n');
        left.sort();
        QCOMPARE(left,
                 (QStringList{"01062026.lst: 70: Cannot read the data file " + m_inst->folders().dataFolder +
                                  "01062026.lst: Permission denied",
                              "01072026.lst: 53: Cannot read the data file " + m_inst->folders().dataFolder +
                                  "01072026.lst: No such file or directory",
                              "ABCD2026.lst: 75: Cannot write the error log " + logPath() +
                                  ": Permission denied"}));
        QCOMPARE(rows(perFile), (QStringList{"01052026.lst|1", "01082026.lst|2"}));

        // Listed by the scan, gone before its import.
        writeData("01092026.lst", Line + "\r\n");
        QStringList found = scan(progress);
        QVERIFY(found.contains("01092026.lst"));
        QVERIFY(QFile::remove(m_inst->folders().dataFolder + "01092026.lst"));
        QCOMPARE(import({"01092026.lst"}, progress),
                 QStringList{"01092026.lst: 53: Cannot read the data file " + m_inst->folders().dataFolder +
                             "01092026.lst: No such file or directory"});

        // Mended, the next start imports every line, and logs the bad one, once.
        QVERIFY(QFile::remove(logPath()));
        QVERIFY(QFile::setPermissions(m_inst->folders().dataFolder + "01062026.lst",
                                      QFile::ReadOwner | QFile::WriteOwner));
        writeData("gone.txt", Line + "\r\n");
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(rows(perFile), (QStringList{"01052026.lst|1", "01062026.lst|1", "01072026.lst|1",
                                             "01082026.lst|2", "ABCD2026.lst|2"}));
        QCOMPARE(logEntries().size(), 1);
        QVERIFY(scan(progress).isEmpty());
    }

    // A full database or one another program is writing: the import stops with the engine's own
    // message, no line is taken for a bad one, nothing of the file is kept, and the next start with
    // room imports it once.
    void databaseFailuresStopTheFileWithTheirCause() {
        platform::ScriptedAnswerer answers;
        QByteArray lines;
        for (int i = 0; i < 3000; ++i)
            lines += "F" + QByteArray::number(i) +
                     ",\"FULL, FRED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
        writeData("01052026.lst", lines);
        m_inst->connection().execute(
            QString("PRAGMA max_page_count = %1").arg(count("PRAGMA page_count") + 8));
        ProgressWindow progress;
        auto failure = CaughtFailure([&] { importFolder(progress); });
        QVERIFY(failure);
        QCOMPARE(failure->description(), QString("database or disk is full"));
        QVERIFY(!m_inst->connection().inTransaction() && !QFile::exists(logPath()));
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 0);
        m_inst->connection().execute("PRAGMA max_page_count = 1073741823");

        auto other = OpenTestDatabase(m_inst->databaseFile);
        other->beginTrans(); // holds the write lock
        failure = CaughtFailure([&] { importFolder(progress); });
        QVERIFY(failure);
        QCOMPARE(failure->description(), QString("database is locked"));
        other->rollbackTrans();
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 0);

        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 3000);
        QVERIFY(!QFile::exists(logPath()) && answers.messages.empty());
    }

    // Two programs that scan at the same moment and then import the same new files: each file is
    // recorded once, with its names once.
    void twoProgramsImportingAtOnceRecordEachFileOnce() {
        platform::ScriptedAnswerer answers;
        for (int f = 1; f <= 6; ++f)
            writeData(QString("0%1052026.lst").arg(f), (Line + "\r\n").repeated(200));
        int scanned[2], go[2];
        QVERIFY(::pipe(scanned) == 0 && ::pipe(go) == 0);
        pid_t children[2];
        for (pid_t& child : children) {
            child = ::fork();
            if (child == 0) {
                m_inst->context.forgetInheritedFiles();
                m_inst->context.openDatabase();
                ProgressWindow progress;
                const QStringList newFiles = scan(progress);
                char ready = char('0' + newFiles.size()), start = 0;
                bool ok = ::write(scanned[1], &ready, 1) == 1 && ::read(go[0], &start, 1) == 1;
                ok = ok && !CaughtFailure([&] { ok = import(newFiles, progress).isEmpty(); }) && ok;
                ::_exit(ok ? 0 : 1);
            }
        }
        char ready[2] = {};
        QVERIFY(::read(scanned[0], &ready[0], 1) == 1 && ::read(scanned[0], &ready[1], 1) == 1);
        QCOMPARE(QByteArray(ready, 2), QByteArray("66")); // both found all six new
        QCOMPARE(::write(go[1], "gg", 2), ssize_t(2));
        for (pid_t child : children) {
            int status = -1;
            ::waitpid(child, &status, 0);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        for (int fd : {scanned[0], scanned[1], go[0], go[1]})
            ::close(fd);
        QCOMPARE(rows("SELECT COUNT(*), COUNT(DISTINCT FileName) FROM DataFiles"), QStringList{"6|6"});
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1200);
    }

    // A replacement whose renaming fails keeps the original's row and names; the message names the
    // files and the cause; the replacement waits for the next start.
    void failedReplacementKeepsTheOriginal() {
        platform::ScriptedAnswerer answers;
        ProgressWindow progress;
        writeData("01152024.lst", Line + "\r\n" + Line + "\r\n");
        QCOMPARE(importFolder(progress), QStringList());
        const int oldId = count("SELECT ID FROM DataFiles");
        const QByteArray replacement = "N1,\"NEW, NAN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
        writeData("R01152024.lst", replacement);
        const QString expected = "R01152024.lst: %1: Cannot rename R01152024.lst to 01152024.lst in " +
                                 m_inst->folders().dataFolder + ": %2";
        // A directory in the original's place, and a Data folder that may not be written. A new list
        // beside it is imported all the same.
        QVERIFY(QFile::rename(m_inst->folders().dataFolder + "01152024.lst",
                              m_inst->folders().dataFolder + "original"));
        QVERIFY(QDir().mkpath(m_inst->folders().dataFolder + "01152024.lst/sub"));
        writeData("02012026.lst", Line + "\r\n");
        QCOMPARE(importFolder(progress),
                 QStringList{expected.arg(ErrorNumbers::PathFileAccessError).arg("Is a directory")});
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles WHERE FileName = '02012026.lst'"), 1);
        QVERIFY(QDir(m_inst->folders().dataFolder + "01152024.lst").removeRecursively());
        QVERIFY(QFile::rename(m_inst->folders().dataFolder + "original",
                              m_inst->folders().dataFolder + "01152024.lst"));
        QVERIFY(QFile::setPermissions(m_inst->folders().dataFolder, QFile::ReadOwner | QFile::ExeOwner));
        QCOMPARE(m_inst->asOrdinaryUser([&] {
            ProgressWindow p;
            return importFolder(p).join('\n');
        }),
                 expected.arg(ErrorNumbers::PermissionDenied).arg("Permission denied"));
        QVERIFY(QFile::setPermissions(m_inst->folders().dataFolder,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY(QFile::remove(m_inst->folders().dataFolder + "02012026.lst"));
        m_inst->connection().execute("DELETE FROM DataFiles WHERE FileName = '02012026.lst'");
        QCOMPARE(rows("SELECT ID FROM DataFiles"), QStringList{QString::number(oldId)});
        QCOMPARE(count(QString("SELECT COUNT(*) FROM Names WHERE DataFile_ID = %1").arg(oldId)), 2);
        QCOMPARE(FileBytes(m_inst->folders().dataFolder + "R01152024.lst"), replacement);
        QCOMPARE(FileBytes(m_inst->folders().dataFolder + "01152024.lst"), Line + "\r\n" + Line + "\r\n");

        // What a replacement killed half-way leaves behind does not stand in the way.
        writeData("01152024.lst.replacing", "partial");
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(QDir(m_inst->folders().dataFolder).entryList(QDir::Files), QStringList{"01152024.lst"});
        QCOMPARE(FileBytes(m_inst->folders().dataFolder + "01152024.lst"), replacement);
        QCOMPARE(rows("SELECT n.Court_ID FROM Names n INNER JOIN DataFiles d ON d.ID = n.DataFile_ID"),
                 QStringList{"N1"});
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1);
    }

    // A program killed in the middle of a file leaves the whole file or none of it, so that the next
    // start imports it again. The child is stopped while logging a rejected line larger than a pipe
    // holds, into an error log that is a FIFO this test reads from.
    void crashInsideAFileLosesTheWholeFile() {
        platform::ScriptedAnswerer answers;
        const QByteArray line = "L1,\"ONE, AL\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
        const QByteArray huge =
            QByteArray(200000, 'X') + ",\"BIG, BEN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,,";
        writeData("01052026.lst", line.repeated(10));
        writeData("01062026.lst", line.repeated(20) + huge + "\r\n" + line.repeated(20));
        const QByteArray fifo = QFile::encodeName(logPath());
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
        const pid_t child = ::fork();
        if (child == 0) {
            m_inst->context.forgetInheritedFiles(); // the parent's; the child opens its own
            m_inst->context.openDatabase();
            ProgressWindow progress;
            FailureNumber([&] { import({"01052026.lst", "01062026.lst"}, progress); });
            ::_exit(0);
        }
        QByteArray received;
        bool childEnded = false;
        while (received.size() < 1000 && !childEnded) {
            pollfd p{reader, POLLIN, 0};
            ::poll(&p, 1, 200);
            char buffer[4096];
            received.append(buffer, std::max<ssize_t>(0, ::read(reader, buffer, sizeof buffer)));
            childEnded = ::waitpid(child, nullptr, WNOHANG) == child;
        }
        QVERIFY2(!childEnded, "the import ended before it could be stopped in the middle of a file");
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(reader);
        QVERIFY(received.contains("01062026.lst  Error #"));
        QCOMPARE(rows("SELECT FileName FROM DataFiles"), QStringList{"01052026.lst"});
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 10);

        // The next start imports it, whole.
        QVERIFY(QFile::remove(logPath()));
        ProgressWindow progress;
        QCOMPARE(importFolder(progress), QStringList());
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);
        QCOMPARE(count("SELECT COUNT(*) FROM Names"), 50);
        QCOMPARE(logEntries().size(), 1);
        QCOMPARE(logEntries().value(0).value(2), QString::fromLatin1(huge));
    }

    // The import binds its values straight to one statement; each line must be stored, or refused with
    // the same failure, exactly as the same values set one by one on a recordset of the table.
    void boundValuesAsTheRecordsetStoresThem() {
        platform::ScriptedAnswerer answers;
        const QByteArrayList lines{
            "A1,\"O'BRIEN, PAT\",5\" TALL ST,\"O'FALLON, MO\",63366,1/5/99,01/05/1930,6365550100",
            "A2,,  ,\"X, Y\",,2026-02-03,00/00/00,",
            "A3,\"CAF\xc9, REN\xc9\",1 RUE,\"PARIS, TX\",75460,12/31/29,1/1/30,31255",
            "A4,\"BAD, DATE\",1 A ST,\"PEORIA, IL\",61604,13/45/99,00/00/00,",
            "A5,\"LEAP, LEE\",1 A ST,\"PEORIA, IL\",61604,01/05/99,02/29/25,",
            "A6,\"LONG, LEN\"," + QByteArray(256, 'S') + ",\"PEORIA, IL\",61604,01/05/99,00/00/00,",
            "A7,\"WIDE, WES\",1 A ST,\"PEORIA, ILL\",61604,01/05/99,1/5/99 7:30,"};
        writeData("03012026.lst", lines.join("\r\n") + "\r\n");
        ProgressWindow progress;
        QCOMPARE(importFolder(progress), QStringList());
        const int fileId = count("SELECT ID FROM DataFiles");

        // The same values through a recordset, as the import saved them before, under a file of its own.
        m_inst->connection().execute("INSERT INTO DataFiles (FileName) VALUES ('recordset')");
        const int otherId = count("SELECT MAX(ID) FROM DataFiles");
        QStringList expectedLog;
        db::Recordset names;
        names.open("Names", m_inst->connection(), db::adOpenForwardOnly, db::adLockOptimistic,
                   db::adCmdTableDirect);
        for (const QByteArray& line : lines) {
            intake::FieldArray f;
            intake::splitLine(files::fromAnsi(line), 8, f);
            const qsizetype comma = f[3].indexOf(',');
            names.addNew();
            names.setValue("DataFile_ID", otherId);
            const char* columns[] = {"Court_ID", "Name", "Street"};
            for (int i = 0; i < 3; ++i)
                names.setValue(columns[i], f[i]);
            names.setValue("City", f[3].left(comma));
            names.setValue("State", f[3].right(2));
            names.setValue("Zip", f[4]);
            if (f[5] != "00/00/00")
                names.setValue("File", f[5]);
            if (f[6] != "00/00/00")
                names.setValue("Discharge", f[6]);
            if (!f[7].isEmpty())
                names.setValue("Phone", intake::formatPhone(f[7]));
            const auto failure = CaughtFailure([&] { names.update(); });
            if (failure) {
                names.cancelUpdate();
                expectedLog << QString("Error #%1: %2").arg(failure->number()).arg(failure->description());
            }
        }
        names.close();

        const QString stored = "SELECT %1 FROM Names WHERE DataFile_ID = %2 ORDER BY Court_ID";
        QStringList columns;
        for (const char* c : {"Court_ID", "Name", "Street", "City", "State", "Zip", "Phone", "[File]",
                              "Discharge", "Printed", "Followed"})
            columns << QString("typeof(%1) || ':' || quote(%1)").arg(c);
        const auto imported =
            RawRows(m_inst->databaseFile, stored.arg(columns.join(','), QString::number(fileId)));
        const auto saved =
            RawRows(m_inst->databaseFile, stored.arg(columns.join(','), QString::number(otherId)));
        QCOMPARE(imported.size(), 4);
        QCOMPARE(imported, saved);
        QCOMPARE(imported[1].mid(0, 7), (QVariantList{"text:'A2'", "text:''", "text:''", "text:'X'",
                                                      "text:' Y'", "text:''", "null:NULL"}));

        QStringList logged;
        const QStringList log = QString::fromLatin1(FileBytes(logPath())).split("\r\n");
        for (const QString& entry : log)
            if (entry.contains("  Error #"))
                logged << entry.mid(entry.indexOf("Error #"));
        QCOMPARE(logged, expectedLog);
        QVERIFY(logged.size() == 3 && logged[0].contains("'13/45/99' is not a date for column File"));
    }

    // The lead lists shipped for a first run import as their contents promise.
    void sampleLeadLists() {
        platform::ScriptedAnswerer answers;
        const QDir samples(QStringLiteral(QM_SOURCE_DIR) + "/samples");
        const QStringList lists = samples.entryList({"*.lst"}, QDir::Files);
        for (const QString& name : lists)
            QVERIFY(QFile::copy(samples.filePath(name), m_inst->folders().dataFolder + name));
        ProgressWindow progress;
        QCOMPARE(importFolder(progress), QStringList());
        QVERIFY(answers.messages.empty() && lists.size() >= 3);
        QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), int(lists.size()));
        // Only the list made with bad lines has rejected ones; the seven-field list gives no phones.
        QCOMPARE(rows("SELECT COUNT(*) > 0, COUNT(n.Phone) FROM Names n INNER JOIN DataFiles d ON d.ID = "
                      "n.DataFile_ID WHERE d.FileName = '01202026.lst'"),
                 QStringList{"1|0"});
        QCOMPARE(logEntries().size(), 4);
        for (const QStringList& e : logEntries())
            QCOMPARE(e[0], QString("02022026.lst"));
    }
};

QTEST_MAIN(TestIntake)
#include "tst_intake.moc"
