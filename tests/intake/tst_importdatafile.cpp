#include "errors/Failure.h"
#include "files/Files.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "tests/support/Installation.h"

#include <QtTest>

namespace {
const QByteArray Line =
    "A123,\"SMITH, JOHN\",12 MAIN ST,\"SPRINGFIELD, IL\",62701,01/05/99,00/00/00,2175550123\r\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Clicks "Import data file" on a main window, the Open dialog answering `chosen`.
void clickImport(platform::ScriptedAnswerer& answers, const QString& chosen) {
    answers.setNextFileName(chosen);
    frmMain window;
    window.cmdImportdatafile->click();
}
} // namespace

class tst_ImportDataFile : public QObject {
    Q_OBJECT

private slots:
    void importDataFileButton() {
        TestInstallation inst;
        platform::ScriptedAnswerer answers;
        const QString source = inst.dir.path() + "/Downloads/"; // outside the application's folder
        QVERIFY(QDir().mkpath(source));
        writeFile(source + "12031999.lst", Line);

        // Cancelled: nothing copied, nothing shown.
        clickImport(answers, QString());
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QCOMPARE(answers.fileRequests[0].filter, QString("MASM Listing(.lst)|*.lst"));
        QVERIFY(answers.messages.empty());
        QVERIFY(files::folderFiles(DataFolder).isEmpty());

        // A failed copy shows only the copy's own description, critical, under the application's title.
        const auto expected =
            CaughtFailure([&] { files::copyFile(source + "gone.lst", DataFolder + "gone.lst"); });
        QVERIFY(expected && !expected->description().isEmpty());
        writeFile(DataFolder + "gone.lst", "kept");
        clickImport(answers, source + "gone.lst");
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].text, expected->description());
        QCOMPARE(answers.messages[0].title, QString("Quillmark"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
        QCOMPARE(answers.messages[0].buttons, platform::Buttons::OkOnly);
        QCOMPARE(FileBytes(DataFolder + "gone.lst"), QByteArray("kept"));
        QCOMPARE(inst.exits, 0);
        QVERIFY(DbConnection && DbConnection->state() == db::adStateOpen);

        // Copied (over a file of the same name), the name trimmed of blanks; then the program ends
        // through ExitProgram, which closes the connection first. The import is the next start's work.
        writeFile(DataFolder + "12031999.lst", "older");
        clickImport(answers, "  " + source + "12031999.lst ");
        QCOMPARE(FileBytes(DataFolder + "12031999.lst"), Line);
        QCOMPARE(FileBytes(source + "12031999.lst"), Line); // a copy, not a move
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(answers.messages[1].text, QString("Please reopen Quillmark for the changes."));
        QCOMPARE(answers.messages[1].title, QString("Data file has been added"));
        QCOMPARE(answers.messages[1].icon, platform::Icon::Information);
        QCOMPARE(answers.messages[1].buttons, platform::Buttons::OkOnly);
        QCOMPARE(inst.exits, 1);
        QVERIFY(!DbConnection);
        QCOMPARE(RawValue(inst.databaseFile, "SELECT COUNT(*) FROM Names").toInt(), 0);
    }
};

QTEST_MAIN(tst_ImportDataFile)
#include "tst_importdatafile.moc"
