#include "database/Database.h"
#include "errors/Failure.h"
#include "files/Files.h"
#include "intake/Intake.h"
#include "intake/frmProgress.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QByteArray Line =
    "A123,\"SMITH, JOHN\",12 MAIN ST,\"SPRINGFIELD, IL\",62701,01/05/99,00/00/00,2175550123\r\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

int namesCount() {
    db::Recordset rs;
    rs.open("SELECT COUNT(*) FROM Names", *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly,
            db::adCmdText);
    return rs.value(0).toInt();
}
} // namespace

// The "Import data file" button, driven by a click on the main window as the user would.
class tst_ImportDataFile : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cancelDoesNothing();
    void copyThenReopen();
    void copyReplacesAndTheNextStartDecides();
    void failedCopyReportsOnly();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_source; // a folder outside the application's
    QString m_dbFile;
    int m_exits = 0;
};

void tst_ImportDataFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString app = m_dir->path() + "/app";
    QVERIFY(QDir().mkpath(app + "/Data"));
    m_source = m_dir->path() + "/Downloads";
    QVERIFY(QDir().mkpath(m_source));
    qputenv("XDG_DATA_HOME", (m_dir->path() + "/xdg").toUtf8());
    SetApplicationFolder(app);
    SetFolders();
    QVERIFY(QDir().mkpath(UserDataFolder));
    m_dbFile = CreateTestDatabase(UserDataFolder);
    DbConnection = std::make_unique<db::Connection>();
    DbConnection->open(ConnectionString(m_dbFile));
    m_exits = 0;
    SetExitAction([this] { ++m_exits; });
}

void tst_ImportDataFile::cleanup() {
    if (DbConnection)
        DbConnection->close();
    DbConnection.reset();
    SetExitAction({});
    m_dir.reset();
}

void tst_ImportDataFile::cancelDoesNothing() {
    platform::ScriptedAnswerer answers;
    writeFile(m_source + "/12031999.lst", Line);
    answers.setNextFileName(QString());
    frmMain window;
    window.cmdImportdatafile->click();

    QCOMPARE(answers.fileRequests.size(), size_t(1));
    QCOMPARE(answers.fileRequests[0].filter, QString("MASM Listing(.lst)|*.lst"));
    QVERIFY(answers.messages.empty());
    QCOMPARE(m_exits, 0);
    QVERIFY(DbConnection && DbConnection->state() == db::adStateOpen);
    QVERIFY(files::folderFiles(DataFolder).isEmpty());
}

void tst_ImportDataFile::copyThenReopen() {
    platform::ScriptedAnswerer answers;
    writeFile(m_source + "/12031999.lst", Line);
    // The dialog's name may come with blanks around it.
    answers.setNextFileName("  " + m_source + "/12031999.lst ");
    frmMain window;
    window.cmdImportdatafile->click();

    QCOMPARE(readFile(DataFolder + "12031999.lst"), Line);
    QCOMPARE(readFile(m_source + "/12031999.lst"), Line); // a copy, not a move
    QCOMPARE(answers.messages.size(), size_t(1));
    QCOMPARE(answers.messages[0].text, QString("Please reopen Quillmark for the changes."));
    QCOMPARE(answers.messages[0].title, QString("Data file has been added"));
    QCOMPARE(answers.messages[0].icon, platform::Icon::Information);
    QCOMPARE(answers.messages[0].buttons, platform::Buttons::OkOnly);
    // The program ends through ExitProgram, which closes the connection first.
    QCOMPARE(m_exits, 1);
    QVERIFY(!DbConnection);
    // Nothing was imported yet: that is the next start's work.
    DbConnection = std::make_unique<db::Connection>();
    DbConnection->open(ConnectionString(m_dbFile));
    QCOMPARE(namesCount(), 0);
}

void tst_ImportDataFile::copyReplacesAndTheNextStartDecides() {
    platform::ScriptedAnswerer answers;
    frmProgress progress;
    writeFile(DataFolder + "12031999.lst", Line);
    ScanAndImport(progress);
    QCOMPARE(namesCount(), 1);

    // The same name again: the file in the folder is overwritten, but a known name is not imported.
    writeFile(m_source + "/12031999.lst", Line + Line + Line);
    // A replacement file, and a file that is no data file.
    writeFile(m_source + "/R12031999.lst", Line + Line);
    writeFile(m_source + "/notes.txt", Line);
    for (const QString& name : {QString("12031999.lst"), QString("notes.txt")}) {
        answers.setNextFileName(m_source + "/" + name);
        frmMain window;
        window.cmdImportdatafile->click();
    }
    QCOMPARE(readFile(DataFolder + "12031999.lst"), Line + Line + Line);
    QCOMPARE(readFile(DataFolder + "notes.txt"), Line);
    QCOMPARE(m_exits, 2);
    DbConnection = std::make_unique<db::Connection>();
    DbConnection->open(ConnectionString(m_dbFile));
    ScanAndImport(progress);
    QCOMPARE(namesCount(), 1);

    answers.setNextFileName(m_source + "/R12031999.lst");
    {
        frmMain window;
        window.cmdImportdatafile->click();
    }
    QCOMPARE(m_exits, 3);
    DbConnection = std::make_unique<db::Connection>();
    DbConnection->open(ConnectionString(m_dbFile));
    ScanAndImport(progress);
    QCOMPARE(namesCount(), 2); // the replacement's two names, the old one gone
    QVERIFY(!QFile::exists(DataFolder + "R12031999.lst"));
}

void tst_ImportDataFile::failedCopyReportsOnly() {
    platform::ScriptedAnswerer answers;
    // What the copy itself says about a source that is not there.
    QString expected;
    try {
        files::copyFile(m_source + "/gone.lst", DataFolder + "gone.lst");
    } catch (const Failure& failure) {
        expected = failure.description();
    }
    QVERIFY(!expected.isEmpty());

    writeFile(DataFolder + "gone.lst", "kept");
    answers.setNextFileName(m_source + "/gone.lst");
    frmMain window;
    window.cmdImportdatafile->click();
    QCOMPARE(answers.messages.size(), size_t(1));
    QCOMPARE(answers.messages[0].text, expected);
    QCOMPARE(answers.messages[0].title, QString("Quillmark"));
    QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
    QCOMPARE(answers.messages[0].buttons, platform::Buttons::OkOnly);
    QCOMPARE(m_exits, 0);
    QVERIFY(DbConnection && DbConnection->state() == db::adStateOpen);
    QCOMPARE(readFile(DataFolder + "gone.lst"), QByteArray("kept"));

    // A Data folder that has gone away fails the same way.
    writeFile(m_source + "/12031999.lst", Line);
    QVERIFY(QDir(DataFolder).removeRecursively());
    answers.setNextFileName(m_source + "/12031999.lst");
    window.cmdImportdatafile->click();
    QCOMPARE(answers.messages.size(), size_t(2));
    QCOMPARE(answers.messages[1].icon, platform::Icon::Critical);
    QVERIFY(!answers.messages[1].text.isEmpty());
    QCOMPARE(m_exits, 0);
}

QTEST_MAIN(tst_ImportDataFile)
#include "tst_importdatafile.moc"
