#include "database/Database.h"
#include "database/DbErrors.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "intake/Intake.h"
#include "intake/LineSplitter.h"
#include "intake/frmProgress.h"
#include "platform/Platform.h"
#include "startup/Globals.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const ExampleLine =
    "A123,\"SMITH, JOHN\",12 MAIN ST,\"SPRINGFIELD, IL\",62701,01/05/99,00/00/00,2175550123";

using Row = QVariantMap;

// Every row of `sql`, each as column name -> value.
QList<Row> rows(const QString& sql) {
    db::Recordset rs;
    rs.open(sql, *DbConnection, db::adOpenStatic, db::adLockReadOnly, db::adCmdText);
    QList<Row> all;
    while (!rs.eof()) {
        Row row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row.insert(rs.fieldName(i), rs.value(i));
        all.append(row);
        rs.moveNext();
    }
    rs.close();
    return all;
}

int count(const QString& sql) {
    const QList<Row> r = rows(sql);
    return r.isEmpty() ? -1 : r.first().first().toInt();
}

QDateTime day(int y, int m, int d) {
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

// Answers message boxes like the scripted answerer and lets a test look at the program's state at
// that moment (the only moments the import hands control out).
class WatchingAnswerer : public platform::ScriptedAnswerer {
public:
    std::function<void(const platform::Message&)> onMessage;
    platform::Button answerMessage(const platform::Message& message) override {
        if (onMessage)
            onMessage(message);
        return ScriptedAnswerer::answerMessage(message);
    }
};

// The entries of the error log after `skip` bytes: (head, raw line) pairs, checking the framing.
struct LogEntry {
    QString fileName;
    qint32 number = 0;
    QString description;
    QByteArray rawLine;
};

} // namespace

class tst_Intake : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void splittingLines();
    void countingFields();
    void dateFromFileName();
    void exampleLine();
    void rejectedLinesAreLogged();
    void sevenFieldFile();
    void windows1252Text();
    void extensionCaseAndOtherFiles();
    void importingTwice();
    void replacementWithOldFile();
    void replacementWithoutOldFile();
    void replacementBesideUnimportedOriginal();
    void fileNameWithoutDate();
    void singleQuotes();
    void emptyFile();
    void layoutsOutsideTheFormat();
    void unclosedQuoteInFirstLine();
    void progressWindow();
    void emptyDataFolder();
    void failureOutsideTheLinesKeepsWhatWasSaved();
    void missingDataFolderFails();
    void crashInsideAFileLosesTheWholeFile();
    void sampleLeadLists();

private:
    void writeData(const QString& name, const QByteArray& bytes);
    QList<LogEntry> logEntries(qsizetype skip = 0);
    QString logPath() const { return UserDataFolder + "/Error.log"; }
    QByteArray logBytes() const;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dbFile;
};

void tst_Intake::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString app = m_dir->path() + "/app";
    QVERIFY(QDir().mkpath(app + "/Data"));
    qputenv("XDG_DATA_HOME", (m_dir->path() + "/xdg").toUtf8());
    SetApplicationFolder(app);
    SetFolders();
    QVERIFY(QDir().mkpath(UserDataFolder));
    m_dbFile = CreateTestDatabase(UserDataFolder);
    DbConnection = std::make_unique<db::Connection>();
    DbConnection->open(ConnectionString(m_dbFile));
    SetExitAction([] {});
}

void tst_Intake::cleanup() {
    if (DbConnection)
        DbConnection->close();
    DbConnection.reset();
    SetExitAction({});
    m_dir.reset();
}

void tst_Intake::writeData(const QString& name, const QByteArray& bytes) {
    QFile file(DataFolder + name);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray tst_Intake::logBytes() const {
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QList<LogEntry> tst_Intake::logEntries(qsizetype skip) {
    QList<LogEntry> entries;
    QByteArray bytes = logBytes().mid(skip);
    static const QRegularExpression head(
        "^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} (AM|PM)  (.+)  Error #(-?\\d+): (.+)$");
    while (!bytes.isEmpty()) {
        const qsizetype first = bytes.indexOf("\r\n");
        const qsizetype second = bytes.indexOf("\r\n", first + 2);
        if (first < 0 || second < 0 || bytes.mid(second + 2, 2) != "\r\n") {
            qWarning() << "malformed log tail" << bytes;
            entries.append(LogEntry{});
            return entries;
        }
        const auto match = head.match(QString::fromLatin1(bytes.left(first)));
        LogEntry entry;
        if (match.hasMatch()) {
            entry.fileName = match.captured(2);
            entry.number = match.captured(3).toInt();
            entry.description = match.captured(4);
        }
        entry.rawLine = bytes.mid(first + 2, second - first - 2);
        entries.append(entry);
        bytes = bytes.mid(second + 4);
    }
    return entries;
}

// ---------------------------------------------------------------------------------------------------

void tst_Intake::splittingLines() {
    intake::FieldArray f;
    intake::SplitLine(QString::fromLatin1(ExampleLine), 8, f);
    QCOMPARE(f, (intake::FieldArray{"A123", "SMITH, JOHN", "12 MAIN ST", "SPRINGFIELD, IL", "62701",
                                    "01/05/99", "00/00/00", "2175550123"}));

    // Values are trimmed of spaces (only spaces), quoted or not.
    intake::SplitLine(u"  A1 ,\" B, C \" ,\tX\t,D", 4, f);
    QCOMPARE(f[0], QString("A1"));
    QCOMPARE(f[1], QString("B, C"));
    // The character after a closing quote is skipped unseen: here the blank, so the comma opens field 3.
    QCOMPARE(f[2], QString(""));
    QCOMPARE(f[3], QString("\tX\t,D"));

    // The last field is the rest of the line, commas included; quoted, it ends at its quote.
    intake::SplitLine(u"a,b,c,d", 2, f);
    QCOMPARE(f[1], QString("b,c,d"));
    intake::SplitLine(u"a,\"b,c\"ignored,d", 2, f);
    QCOMPARE(f[1], QString("b,c"));
    intake::SplitLine(u"a,\"b,c", 2, f);
    QCOMPARE(f[1], QString("b,c"));
    // An empty last field.
    intake::SplitLine(u"a,", 2, f);
    QCOMPARE(f[1], QString(""));

    // A quote inside a field is an ordinary character.
    intake::SplitLine(u"O\"NEIL,5\" TALL", 2, f);
    QCOMPARE(f[0], QString("O\"NEIL"));
    QCOMPARE(f[1], QString("5\" TALL"));

    // Entries past the layout are left as they were.
    f[7] = "kept";
    intake::SplitLine(u"1,2,3,4,5,6,7", 7, f);
    QCOMPARE(f[6], QString("7"));
    QCOMPARE(f[7], QString("kept"));

    // A field other than the last without its terminator fails.
    auto number = [&](QStringView line, int n) {
        try {
            intake::SplitLine(line, n, f);
        } catch (const Failure& failure) {
            return failure.description().isEmpty() ? -1 : failure.number();
        }
        return 0;
    };
    QCOMPARE(number(u"a,b,c", 4), ErrorNumbers::InvalidArgument);
    QCOMPARE(number(u"a,\"b,c", 3), ErrorNumbers::InvalidArgument);
    QCOMPARE(number(u"", 7), ErrorNumbers::InvalidArgument);
    // A quote closed at the very end: an empty last field may follow, another field may not.
    QCOMPARE(number(u"\"ab\"", 2), 0);
    QCOMPARE(f[1], QString(""));
    QCOMPARE(number(u"\"ab\"", 3), ErrorNumbers::InvalidArgument);
    QCOMPARE(number(u"", 1), 0);
    QCOMPARE(number(u"a,b", 9), ErrorNumbers::SubscriptOutOfRange);

    QCOMPARE(intake::FormatPhone("3125550123"), QString("(312) 555-0123"));
    QCOMPARE(intake::FormatPhone("12"), QString("(12) -12"));
}

void tst_Intake::countingFields() {
    QCOMPARE(intake::CountFields(QString::fromLatin1(ExampleLine)), qint16(8));
    QCOMPARE(intake::CountFields(u""), qint16(1));
    QCOMPARE(intake::CountFields(u"abc"), qint16(1));
    QCOMPARE(intake::CountFields(u",,,"), qint16(4));
    QCOMPARE(intake::CountFields(u"\"a,b\",\"c,d\""), qint16(2));
    // After a closing quote the count looks for the next comma wherever it is.
    QCOMPARE(intake::CountFields(u"\"a\"xx,b"), qint16(2));
    // A quoted field never closed is the last one: the count ends instead of going round forever.
    QCOMPARE(intake::CountFields(u"A1,\"SMITH, JOHN,12 MAIN ST,X"), qint16(2));
    QCOMPARE(intake::CountFields(u"\""), qint16(1));
    QCOMPARE(intake::CountFields(u"1,2,3,4,5,6,7,8,9"), qint16(9));
    // Saturates rather than wrapping round.
    QCOMPARE(intake::CountFields(QString(40000, QLatin1Char(','))), qint16(32767));

    QTemporaryDir dir;
    QFile file(dir.path() + "/f.lst");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("a,b,c\r\nd,e,f,g,h,i,j,k,l\r\n");
    file.close();
    QCOMPARE(GetFieldCount(dir.path() + "/f.lst"), qint16(3));
    auto failure = [](const QString& path) {
        try {
            GetFieldCount(path);
        } catch (const Failure& f) {
            return f.number();
        }
        return 0;
    };
    QCOMPARE(failure(dir.path() + "/none.lst"), ErrorNumbers::FileNotFound);
    QFile empty(dir.path() + "/empty.lst");
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QCOMPARE(failure(dir.path() + "/empty.lst"), ErrorNumbers::InputPastEndOfFile);
}

void tst_Intake::dateFromFileName() {
    WatchingAnswerer answers;
    QCOMPARE(GetDateFromFileName("12031999.lst"), day(1999, 12, 3));
    QCOMPARE(GetDateFromFileName("R02292024.LST").isValid(), true); // the caller strips the R first
    QCOMPARE(GetDateFromFileName("02292024.lst"), day(2024, 2, 29));
    QCOMPARE(GetDateFromFileName("01052026"), day(2026, 1, 5));
    QVERIFY(answers.messages.size() == 1); // the R name gave no date
    answers.messages.clear();

    const QStringList bad{"02292025.lst", "13011999.lst", "00101999.lst", "ABCD1999.lst", "1203199.lst", "",
                          "12 31999.lst"};
    for (const QString& name : bad) {
        QCOMPARE(GetDateFromFileName(name), ZeroDate());
    }
    QCOMPARE(ZeroDate(), day(1899, 12, 30));
    QCOMPARE(answers.messages.size(), size_t(7));
    for (const auto& m : answers.messages) {
        QCOMPARE(m.title, QString("Quillmark Error"));
        QCOMPARE(m.icon, platform::Icon::Exclamation);
        QVERIFY(m.text.startsWith(
            "The following error occurred in Module Main: Function GetDateFromFileName : "));
    }
}

void tst_Intake::exampleLine() {
    platform::ScriptedAnswerer answers;
    writeData("12031999.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);

    const QList<Row> files = rows("SELECT ID, FileName, [Date] FROM DataFiles");
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0]["FileName"].toString(), QString("12031999.lst"));
    QCOMPARE(files[0]["Date"].toDateTime(), day(1999, 12, 3));

    const QList<Row> names = rows("SELECT * FROM Names");
    QCOMPARE(names.size(), 1);
    const Row& n = names[0];
    QCOMPARE(n["DataFile_ID"].toInt(), files[0]["ID"].toInt());
    QCOMPARE(n["Court_ID"].toString(), QString("A123"));
    QCOMPARE(n["Name"].toString(), QString("SMITH, JOHN"));
    QCOMPARE(n["Street"].toString(), QString("12 MAIN ST"));
    QCOMPARE(n["City"].toString(), QString("SPRINGFIELD"));
    QCOMPARE(n["State"].toString(), QString("IL"));
    QCOMPARE(n["Zip"].toString(), QString("62701"));
    QCOMPARE(n["File"].toDateTime(), day(1999, 1, 5));
    QVERIFY(n["Discharge"].isNull());
    QCOMPARE(n["Phone"].toString(), QString("(217) 555-0123"));
    QVERIFY(answers.messages.empty());
    QVERIFY(!QFile::exists(logPath()));
}

void tst_Intake::rejectedLinesAreLogged() {
    platform::ScriptedAnswerer answers;
    const QByteArray earlier = "3/1/2026 9:00:00 AM  01012026.lst  Error #5: earlier\r\nold line\r\n\r\n";
    {
        QFile log(logPath());
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(earlier);
    }
    const QByteArray good2 = "B2,\"JONES, AMY\",5 OAK,\"DOVER, DE\",19901,02/03/26,03/04/26,3025550199";
    const QByteArray shortLine = "C3,\"DOE, JANE\",7 PINE,\"AUSTIN, TX\"";
    const QByteArray noComma = "D4,\"ROE, RICK\",9 ELM,\"SPRINGFIELD IL\",62701,01/05/99,00/00/00,2175550123";
    const QByteArray badDate = "E5,\"POE, AL\",9 ELM,\"PEORIA, IL\",61604,13/45/99,00/00/00,3095550100";
    const QByteArray longStreet =
        "F6,\"LONG, LEN\"," + QByteArray(300, 'S') + ",\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100";
    const QByteArray surplus =
        "G7,\"MORE, MO\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100,EXTRA";
    const QByteArray accented = "H8,\"CAF\xc9, REN\xc9\",1 RUE,\"PARIS TX\",75460,01/05/99,00/00/00,";
    const QByteArray emptyPhone = "I9,\"NOPHONE, NED\",1 A ST,\"PEORIA, IL\",61604,00/00/00,00/00/00,";
    writeData("02012026.lst", QByteArray(ExampleLine) + "\r\n" + shortLine + "\r\n" + good2 + "\r\n\r\n" +
                                  noComma + "\r\n" + badDate + "\r\n" + longStreet + "\r\n" + surplus + "\n" +
                                  accented + "\r\n" + emptyPhone + "\r\n\r\n");
    frmProgress progress;
    ScanAndImport(progress);

    // Good lines are in, each rejected line only in the log; no message box.
    QVERIFY(answers.messages.empty());
    const QList<Row> names = rows("SELECT Court_ID, Phone, [File], Discharge FROM Names ORDER BY Court_ID");
    QStringList ids;
    for (const Row& r : names)
        ids << r["Court_ID"].toString();
    QCOMPARE(ids, (QStringList{"A123", "B2", "G7", "I9"}));
    QCOMPARE(names[1]["Discharge"].toDateTime(), day(2026, 3, 4));
    // Surplus text ends up in the last field, and the phone is cut from it by position.
    QCOMPARE(names[2]["Phone"].toString(), QString("(309) 555-XTRA"));
    QVERIFY(names[3]["Phone"].isNull());
    QVERIFY(names[3]["File"].isNull());

    QVERIFY(logBytes().startsWith(earlier));
    const QList<LogEntry> entries = logEntries(earlier.size());
    QCOMPARE(entries.size(), 7);
    const QList<QByteArray> expected{shortLine, "", noComma, badDate, longStreet, accented, ""};
    for (int i = 0; i < entries.size(); ++i) {
        QCOMPARE(entries[i].fileName, QString("02012026.lst"));
        QCOMPARE(entries[i].rawLine, expected[i]);
        QVERIFY(entries[i].number != 0);
        QVERIFY(!entries[i].description.isEmpty());
    }
    QCOMPARE(entries[0].number, ErrorNumbers::InvalidArgument);
    QCOMPARE(entries[2].number, ErrorNumbers::InvalidArgument);
    QVERIFY(entries[3].number < 0); // refused by the database
    QVERIFY(entries[4].number < 0);
}

void tst_Intake::sevenFieldFile() {
    platform::ScriptedAnswerer answers;
    // An eight-field file first, so that the phone field of the reused field list holds a value.
    writeData("01012026.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    writeData("01022026.lst", "S1,\"SEVEN, SAM\",1 A ST,\"PEORIA, IL\",61604,01/05/99,02/06/26\r\n"
                              "S2,\"SEVEN, SUE\",2 A ST,\"QUINCY, IL\",62301,01/06/99,00/00/00\r\n");
    ScanAndImport(progress);
    const QList<Row> names = rows(
        "SELECT n.Court_ID, n.Phone, n.Discharge FROM Names n INNER JOIN DataFiles d ON n.DataFile_ID = d.ID "
        "WHERE d.FileName = '01022026.lst' ORDER BY n.Court_ID");
    QCOMPARE(names.size(), 2);
    QVERIFY(names[0]["Phone"].isNull());
    QVERIFY(names[1]["Phone"].isNull());
    QCOMPARE(names[0]["Discharge"].toDateTime(), day(2026, 2, 6));
    QVERIFY(!QFile::exists(logPath()));
}

void tst_Intake::windows1252Text() {
    platform::ScriptedAnswerer answers;
    writeData("03012026.lst", "W1,\"ORTI\xc9, JOS\xc9\",12 CAF\xc9 \x93NORTE\x94,\"SAINT-\xc9LOI, LA\",70001,"
                              "01/05/26,00/00/00,5045550100\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    const QList<Row> names = rows("SELECT Name, Street, City FROM Names");
    QCOMPARE(names.size(), 1);
    QCOMPARE(names[0]["Name"].toString(), QString::fromUtf8("ORTIÉ, JOSÉ"));
    QCOMPARE(names[0]["Street"].toString(), QString::fromUtf8("12 CAFÉ “NORTE”"));
    QCOMPARE(names[0]["City"].toString(), QString::fromUtf8("SAINT-ÉLOI"));
    // The text is the same when searched for, not merely when read back.
    QCOMPARE(count(QString::fromUtf8("SELECT COUNT(*) FROM Names WHERE Name = 'ORTIÉ, JOSÉ'")), 1);
}

void tst_Intake::extensionCaseAndOtherFiles() {
    platform::ScriptedAnswerer answers;
    writeData("12031999.LST", QByteArray(ExampleLine) + "\r\n");
    writeData("notes.txt", QByteArray(ExampleLine) + "\r\n");
    writeData("12041999.lst.bak", QByteArray(ExampleLine) + "\r\n");
    writeData("12051999.Lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    const QList<Row> files = rows("SELECT FileName FROM DataFiles ORDER BY FileName");
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[0]["FileName"].toString(), QString("12031999.LST"));
    QCOMPARE(files[1]["FileName"].toString(), QString("12051999.Lst"));
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
}

void tst_Intake::importingTwice() {
    platform::ScriptedAnswerer answers;
    writeData("01052026.lst", QByteArray(ExampleLine) + "\r\n" + ExampleLine + "\r\n");
    {
        frmProgress progress;
        ScanAndImport(progress);
    }
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
    // A known file is never read again, whatever it holds now.
    writeData("01052026.lst", QByteArray(ExampleLine) + "\r\n" + ExampleLine + "\r\n" + ExampleLine + "\r\n");
    {
        frmProgress progress;
        QVERIFY(ScanDataFolder(progress).isEmpty());
        ScanAndImport(progress);
    }
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
}

void tst_Intake::replacementWithOldFile() {
    platform::ScriptedAnswerer answers;
    writeData("12031999.lst", QByteArray(ExampleLine) + "\r\n" + ExampleLine + "\r\n");
    writeData("01012026.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    const int oldId = count("SELECT ID FROM DataFiles WHERE FileName = '12031999.lst'");
    QVERIFY(oldId > 0);

    const QByteArray replacement =
        "R1,\"NEW, NAN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100\r\n"
        "R2,\"NEW, NED\",2 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550101\r\n"
        "R3,\"NEW, NIA\",3 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550102\r\n";
    writeData("R12031999.lst", replacement);
    ScanAndImport(progress);

    // The replacement has taken the old file's place, under its name and with a new row.
    QVERIFY(!QFile::exists(DataFolder + "R12031999.lst"));
    QFile file(DataFolder + "12031999.lst");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), replacement);
    const QList<Row> files = rows("SELECT ID, [Date] FROM DataFiles WHERE FileName = '12031999.lst'");
    QCOMPARE(files.size(), 1);
    QVERIFY(files[0]["ID"].toInt() != oldId);
    QCOMPARE(files[0]["Date"].toDateTime(), day(1999, 12, 3));
    // The replaced file's names went with its row; the other file's names stayed.
    QCOMPARE(count(QString("SELECT COUNT(*) FROM Names WHERE DataFile_ID = %1").arg(oldId)), 0);
    QCOMPARE(count(QString("SELECT COUNT(*) FROM Names WHERE DataFile_ID = %1").arg(files[0]["ID"].toInt())),
             3);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 4);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);

    // The next start sees an ordinary known file.
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 4);
}

void tst_Intake::replacementWithoutOldFile() {
    platform::ScriptedAnswerer answers;
    writeData("r12031999.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    QVERIFY(!QFile::exists(DataFolder + "r12031999.lst"));
    QVERIFY(QFile::exists(DataFolder + "12031999.lst"));
    const QList<Row> files = rows("SELECT ID, [Date] FROM DataFiles WHERE FileName = '12031999.lst'");
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0]["Date"].toDateTime(), day(1999, 12, 3));
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1);
    QVERIFY(answers.messages.empty());
}

void tst_Intake::replacementBesideUnimportedOriginal() {
    // Both the original and its replacement arrive before either was imported: whichever the folder
    // lists first, the file is imported once, with the replacement's content.
    platform::ScriptedAnswerer answers;
    writeData("12031999.lst", QByteArray(ExampleLine) + "\r\n" + ExampleLine + "\r\n");
    writeData("R12031999.lst",
              "R1,\"NEW, NAN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,3095550100\r\n");
    frmProgress progress;
    const QStringList newFiles = ScanDataFolder(progress);
    QCOMPARE(newFiles, QStringList{"12031999.lst"});
    ImportDataFiles(newFiles, progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Names WHERE Court_ID = 'R1'"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1);
}

void tst_Intake::fileNameWithoutDate() {
    WatchingAnswerer answers;
    writeData("ABCD1999.lst", QByteArray(ExampleLine) + "\r\n" + ExampleLine + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    QCOMPARE(answers.messages.size(), size_t(1));
    QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
    QVERIFY(answers.messages[0].text.contains("Module Main: Function GetDateFromFileName"));
    const QList<Row> files = rows("SELECT ID, [Date] FROM DataFiles WHERE FileName = 'ABCD1999.lst'");
    QCOMPARE(files.size(), 1);
    QCOMPARE(files[0]["Date"].toDateTime(), day(1899, 12, 30));
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
}

void tst_Intake::singleQuotes() {
    platform::ScriptedAnswerer answers;
    writeData("12031999 O'Neal.lst",
              "Q1,\"O'BRIEN, PAT\",1 O'HARE WAY,\"O'FALLON, MO\",63366,01/05/99,00/00/00,"
              "6365550100\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles WHERE FileName = '12031999 O''Neal.lst'"), 1);
    const QList<Row> names = rows("SELECT Name, Street, City FROM Names");
    QCOMPARE(names.size(), 1);
    QCOMPARE(names[0]["Name"].toString(), QString("O'BRIEN, PAT"));
    QCOMPARE(names[0]["City"].toString(), QString("O'FALLON"));
    // Known at the next start.
    QVERIFY(ScanDataFolder(progress).isEmpty());

    // A replacement with a quote in its name.
    writeData("R12031999 O'Neal.lst",
              "Q2,\"O'HARA, KIM\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n");
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Names WHERE Name = 'O''HARA, KIM'"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1);
    QVERIFY(answers.messages.empty());
}

void tst_Intake::emptyFile() {
    platform::ScriptedAnswerer answers;
    writeData("01052026.lst", "");
    writeData("01062026.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    ScanAndImport(progress); // no failure
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 1);
    QVERIFY(answers.messages.empty());
    QVERIFY(ScanDataFolder(progress).isEmpty());
}

void tst_Intake::layoutsOutsideTheFormat() {
    platform::ScriptedAnswerer answers;
    // Fewer than seven fields in the first line: every line is rejected, even a complete one.
    writeData("01052026.lst", "A1,B,C,D\r\n" + QByteArray(ExampleLine) + "\r\n");
    // More than eight: likewise.
    writeData("01062026.lst", QByteArray(ExampleLine) + ",9\r\n" + ExampleLine + "\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 0);
    const QList<LogEntry> entries = logEntries();
    QCOMPARE(entries.size(), 4);
    QMap<QString, int> perFile;
    for (const LogEntry& e : entries) {
        perFile[e.fileName]++;
        QCOMPARE(e.number, ErrorNumbers::SubscriptOutOfRange);
    }
    QCOMPARE(perFile.value("01052026.lst"), 2);
    QCOMPARE(perFile.value("01062026.lst"), 2);
    QVERIFY(answers.messages.empty());
}

void tst_Intake::unclosedQuoteInFirstLine() {
    platform::ScriptedAnswerer answers;
    // The seventh field opens a quote that is never closed: it is the last field, and the file has
    // seven fields; the import ends.
    writeData("01052026.lst", "U1,\"UN, CLOSED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,\"00/00/00\r\n"
                              "U2,\"UN, CLOSED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,\"02/03/26\r\n");
    // Here the second field never closes: two fields, a layout outside the format.
    writeData("01062026.lst", "V1,\"SMITH, JOHN,12 MAIN ST,X\r\n");
    frmProgress progress;
    ScanAndImport(progress);
    const QList<Row> names = rows("SELECT Court_ID, Discharge, Phone FROM Names ORDER BY Court_ID");
    QCOMPARE(names.size(), 2);
    QVERIFY(names[0]["Discharge"].isNull());
    QCOMPARE(names[1]["Discharge"].toDateTime(), day(2026, 2, 3));
    QVERIFY(names[1]["Phone"].isNull());
    QCOMPARE(logEntries().size(), 1);
}

void tst_Intake::progressWindow() {
    WatchingAnswerer answers;
    writeData("notes.txt", "x");
    writeData("ABCD2026.lst", QByteArray(ExampleLine) + "\r\n");
    writeData("ZZZZ2026.lst", QByteArray(ExampleLine) + "\r\n");
    frmProgress progress;
    QCOMPARE(progress.size(), QSize(385, 59));
    QCOMPARE(progress.lblProgress->geometry(), QRect(8, 4, 371, 17));
    QCOMPARE(progress.barProgress->geometry(), QRect(6, 28, 375, 21));
    QCOMPARE(progress.lblProgress->font().family(), QString("Arial"));
    QCOMPARE(progress.lblProgress->font().pointSize(), 9);
    QVERIFY(progress.lblProgress->font().bold());
    QVERIFY(!(progress.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(progress.windowFlags() & Qt::WindowMaximizeButtonHint));

    // Each file name without a date stops the import at a message box: the window shows that file.
    struct Seen {
        QString title, label;
        int maximum, value;
        bool visible;
    };
    QList<Seen> seen;
    answers.onMessage = [&](const platform::Message&) {
        seen.append({progress.windowTitle(), progress.lblProgress->text(), progress.barProgress->maximum(),
                     progress.barProgress->value(), progress.isVisible()});
    };
    const QStringList newFiles = ScanDataFolder(progress);
    QCOMPARE(progress.windowTitle(), QString("Searching for New Data Files..."));
    QCOMPARE(progress.lblProgress->text(), "Scanning " + DataFolder);
    QCOMPARE(progress.barProgress->minimum(), 0);
    QCOMPARE(progress.barProgress->maximum(), 3); // every file, data file or not
    QCOMPARE(progress.barProgress->value(), 3);
    QVERIFY(progress.isVisible());
    QCOMPARE(newFiles.size(), 2);

    ImportDataFiles(newFiles, progress);
    QCOMPARE(seen.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(seen[i].title, QString("Importing Data..."));
        QCOMPARE(seen[i].label, "Importing File: " + newFiles[i]);
        QCOMPARE(seen[i].maximum, 2);
        QCOMPARE(seen[i].value, i);
        QVERIFY(seen[i].visible);
    }
    QVERIFY(progress.isVisible()); // left on screen for Main to unload

    // A start with nothing new shows the finished scan.
    ScanAndImport(progress);
    QCOMPARE(progress.windowTitle(), QString("Searching for New Data Files..."));
    QCOMPARE(progress.barProgress->value(), 3);
    QCOMPARE(seen.size(), 2);
    progress.Refresh();
}

void tst_Intake::emptyDataFolder() {
    platform::ScriptedAnswerer answers;
    frmProgress progress;
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 0);
    // No range to run through: a full bar rather than the busy animation of an empty range.
    QCOMPARE(progress.barProgress->value(), progress.barProgress->maximum());
    QVERIFY(progress.barProgress->maximum() > 0);
    QVERIFY(progress.isVisible());
}

void tst_Intake::failureOutsideTheLinesKeepsWhatWasSaved() {
    WatchingAnswerer answers;
    writeData("01052026.lst", QByteArray(ExampleLine) + "\r\n");
    writeData("ABCD2026.lst", QByteArray(ExampleLine) + "\r\n" + "bad line\r\n" + ExampleLine + "\r\n");
    // The first file is saved as a whole before the next one begins: another connection sees it.
    int seenElsewhere = -1;
    answers.onMessage = [&](const platform::Message&) {
        db::Connection other;
        other.open(ConnectionString(m_dbFile));
        db::Recordset rs;
        rs.open("SELECT COUNT(*) FROM Names", other, db::adOpenForwardOnly, db::adLockReadOnly,
                db::adCmdText);
        seenElsewhere = rs.value(0).toInt();
        rs.close();
        other.close();
        // The error log cannot be written: logging the bad line fails, which ends the import.
        QVERIFY(QDir().mkpath(logPath()));
    };
    frmProgress progress;
    qint32 number = 0;
    try {
        ImportDataFiles({"01052026.lst", "ABCD2026.lst"}, progress);
    } catch (const Failure& failure) {
        number = failure.number();
    }
    QCOMPARE(seenElsewhere, 1);
    QVERIFY(number != 0);
    QVERIFY(!DbConnection->inTransaction());
    // What was saved stays, the file is known and is not imported again.
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
    DbConnection->close();
    DbConnection->open(ConnectionString(m_dbFile));
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 2);
    QVERIFY(ScanDataFolder(progress).isEmpty());
}

void tst_Intake::missingDataFolderFails() {
    platform::ScriptedAnswerer answers;
    QVERIFY(QDir(DataFolder).removeRecursively());
    frmProgress progress;
    qint32 number = 0;
    try {
        ScanAndImport(progress);
    } catch (const Failure& failure) {
        number = failure.number();
    }
    QCOMPARE(number, ErrorNumbers::PathNotFound);
    QVERIFY(answers.messages.empty()); // Main reports it
}

// A program killed in the middle of a file leaves either the whole file or none of it, so that the next
// start imports it again. The child process is stopped at a known point: logging a rejected line whose
// entry is larger than a pipe holds, into an error log that is a FIFO this test reads from.
void tst_Intake::crashInsideAFileLosesTheWholeFile() {
    platform::ScriptedAnswerer answers;
    QByteArray first, second;
    for (int i = 0; i < 10; ++i)
        first +=
            "F" + QByteArray::number(i) + ",\"ONE, AL\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
    for (int i = 0; i < 20; ++i)
        second +=
            "S" + QByteArray::number(i) + ",\"TWO, BO\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
    const QByteArray huge =
        QByteArray(200000, 'X') + ",\"BIG, BEN\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,";
    second += huge + "\r\n" + second;
    writeData("01052026.lst", first);
    writeData("01062026.lst", second);
    const QByteArray fifo = QFile::encodeName(logPath());
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);

    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        // The parent's connection belongs to the parent; the child opens its own.
        (void)DbConnection.release();
        int code = 0;
        try {
            DbConnection = std::make_unique<db::Connection>();
            DbConnection->open(ConnectionString(m_dbFile));
            frmProgress progress;
            ImportDataFiles({"01052026.lst", "01062026.lst"}, progress);
        } catch (...) {
            code = 3;
        }
        ::_exit(code);
    }

    // Wait for the child to be writing the rejected line's entry, then kill it there.
    QByteArray received;
    bool childEnded = false;
    while (received.size() < 1000 && !childEnded) {
        pollfd p{reader, POLLIN, 0};
        ::poll(&p, 1, 200);
        char buffer[4096];
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, n);
        int status = 0;
        childEnded = ::waitpid(child, &status, WNOHANG) == child;
    }
    QVERIFY2(!childEnded, "the import ended before it could be stopped in the middle of a file");
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(reader);
    QVERIFY(received.contains("01062026.lst  Error #"));

    // The first file was complete and stays; of the second nothing at all.
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles WHERE FileName = '01052026.lst'"), 1);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles WHERE FileName = '01062026.lst'"), 0);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 10);

    // The next start imports it, whole.
    QVERIFY(QFile::remove(logPath()));
    DbConnection->close();
    DbConnection->open(ConnectionString(m_dbFile));
    frmProgress progress;
    ScanAndImport(progress);
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), 2);
    QCOMPARE(count("SELECT COUNT(*) FROM Names"), 50);
    const QList<LogEntry> entries = logEntries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].rawLine, huge);
}

// The lead lists that come with the program for a first run import as their contents promise.
void tst_Intake::sampleLeadLists() {
    platform::ScriptedAnswerer answers;
    const QDir samples(QStringLiteral(QM_SOURCE_DIR) + "/samples");
    const QStringList lists = samples.entryList({"*.lst"}, QDir::Files);
    QVERIFY(lists.size() >= 3);
    for (const QString& name : lists)
        QVERIFY(QFile::copy(samples.filePath(name), DataFolder + name));
    frmProgress progress;
    ScanAndImport(progress);
    QVERIFY(answers.messages.empty());
    QCOMPARE(count("SELECT COUNT(*) FROM DataFiles"), int(lists.size()));
    // Only the list made with bad lines has rejected ones, each logged.
    const QList<LogEntry> entries = logEntries();
    QCOMPARE(entries.size(), 4);
    for (const LogEntry& e : entries)
        QCOMPARE(e.fileName, QString("02022026.lst"));
    const int names = count("SELECT COUNT(*) FROM Names");
    QVERIFY2(names >= 300, qPrintable(QString::number(names)));
    // One list has the seven-field layout: none of its names has a phone.
    QCOMPARE(count("SELECT COUNT(*) FROM Names n INNER JOIN DataFiles d ON n.DataFile_ID = d.ID "
                   "WHERE d.FileName = '01202026.lst' AND n.Phone IS NOT NULL"),
             0);
    QVERIFY(count("SELECT COUNT(*) FROM Names n INNER JOIN DataFiles d ON n.DataFile_ID = d.ID "
                  "WHERE d.FileName = '01202026.lst'") > 0);
    QVERIFY(count("SELECT COUNT(*) FROM Names WHERE Phone IS NOT NULL") > 0);
    // Every source date is in 2026.
    for (const Row& r : rows("SELECT [Date] FROM DataFiles"))
        QCOMPARE(r["Date"].toDateTime().date().year(), 2026);
}

QTEST_MAIN(tst_Intake)
#include "tst_intake.moc"
