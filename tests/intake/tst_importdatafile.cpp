#include "errors/Failure.h"
#include "files/Files.h"
#include "platform/Platform.h"
#include "startup/AppContext.h"
#include "startup/Main.h"
#include "tests/support/Installation.h"
#include "tests/support/MainWindowControls.h"
#include "window/MainWindow.h"

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
void clickImport(TestInstallation& inst, platform::ScriptedAnswerer& answers, const QString& chosen) {
    answers.setNextFileName(chosen);
    MainWindow window(inst.context);
    MainWindowControls(&window).importDataFileButton()->click();
}

// The user reopens Quillmark: a whole start (scan, import, main window), the window closed again.
void reopen(TestInstallation& inst) {
    QVERIFY(startProgram(inst.context));
    delete shownMainWindow(inst.context);
}

QStringList courtIds(const TestInstallation& inst) {
    QStringList ids;
    for (const QVariantList& row :
         RawRows(inst.folders().userDataFolder + "/Quillmark.mdb",
                 "SELECT d.FileName || ':' || n.Court_ID FROM Names n JOIN DataFiles d "
                 "ON d.ID = n.DataFile_ID ORDER BY n.Court_ID"))
        ids << row[0].toString();
    return ids;
}
} // namespace

class TestImportDataFile : public QObject {
    Q_OBJECT

private slots:
    void importDataFileButton() {
        TestInstallation inst;
        platform::ScriptedAnswerer answers;
        const QString source = inst.dir.path() + "/Downloads/"; // outside the application's folder
        QVERIFY(QDir().mkpath(source));
        writeFile(source + "12031999.lst", Line);

        // Cancelled: nothing copied, nothing shown.
        clickImport(inst, answers, QString());
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QCOMPARE(answers.fileRequests[0].filter, QString("MASM Listing(.lst)|*.lst"));
        QVERIFY(answers.messages.empty());
        QVERIFY(files::folderFiles(inst.folders().dataFolder).isEmpty());

        // A failed copy shows only the copy's own description, critical, under the application's title.
        const auto expected = CaughtFailure(
            [&] { files::copyFile(source + "gone.lst", inst.folders().dataFolder + "gone.lst"); });
        QVERIFY(expected && !expected->description().isEmpty());
        writeFile(inst.folders().dataFolder + "gone.lst", "kept");
        clickImport(inst, answers, source + "gone.lst");
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].text, expected->description());
        QCOMPARE(answers.messages[0].title, QString("Quillmark"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
        QCOMPARE(answers.messages[0].buttons, platform::Buttons::OkOnly);
        QCOMPARE(FileBytes(inst.folders().dataFolder + "gone.lst"), QByteArray("kept"));
        QCOMPARE(inst.exits, 0);
        QVERIFY(inst.context.databaseOpen());

        // Copied (over a file of the same name), the name trimmed of blanks; then the program ends
        // through exitProgram, which closes the connection first. The import is the next start's work.
        writeFile(inst.folders().dataFolder + "12031999.lst", "older");
        clickImport(inst, answers, "  " + source + "12031999.lst ");
        QCOMPARE(FileBytes(inst.folders().dataFolder + "12031999.lst"), Line);
        QCOMPARE(FileBytes(source + "12031999.lst"), Line); // a copy, not a move
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(answers.messages[1].text, QString("Please reopen Quillmark for the changes."));
        QCOMPARE(answers.messages[1].title, QString("Data file has been added"));
        QCOMPARE(answers.messages[1].icon, platform::Icon::Information);
        QCOMPARE(answers.messages[1].buttons, platform::Buttons::OkOnly);
        QCOMPARE(inst.exits, 1);
        QVERIFY(!inst.context.databaseOpen());
        QCOMPARE(RawValue(inst.databaseFile, "SELECT COUNT(*) FROM Names").toInt(), 0);
    }

    // A list sent again under a name already imported is refused, since a known name is never read
    // again; renamed with R it replaces the old list, and a new name is imported, at the next start.
    void knownNamesAreRefusedOthersImportedAtTheNextStart() {
        TestInstallation inst;
        inst.connection().execute("UPDATE Dlr_Info SET Name = 'Acme Auto'");
        platform::ScriptedAnswerer answers;
        const QString downloads = inst.dir.path() + "/Downloads/";
        QVERIFY(QDir().mkpath(downloads));
        writeFile(inst.folders().dataFolder + "03052026.lst", Line);
        reopen(inst);
        QCOMPARE(courtIds(inst), QStringList{"03052026.lst:A123"});

        const QByteArray corrected = "B1,\"LEE, LINDA\",1 A ST,\"PEORIA, IL\",61604,03/01/26,00/00/00,\r\n"
                                     "B2,\"NEW, NED\",2 A ST,\"PEORIA, IL\",61604,03/01/26,00/00/00,\r\n";
        for (const QString name : {"03052026.lst", "03052026.LST"}) {
            writeFile(downloads + name, corrected);
            clickImport(inst, answers, downloads + name);
            QCOMPARE(answers.messages.back().text,
                     QString("The lead list 03052026.lst of March 5, 2026 has already been imported, so this "
                             "file was not copied.\r\n\r\nTo replace that list, name the new file "
                             "R03052026.lst and import it. At the next start its names replace the names of "
                             "03052026.lst."));
            QCOMPARE(answers.messages.back().icon, platform::Icon::Exclamation);
            QCOMPARE(answers.messages.back().title, QString("Quillmark"));
        }
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(QDir(inst.folders().dataFolder).entryList(QDir::Files), QStringList{"03052026.lst"});
        QCOMPARE(FileBytes(inst.folders().dataFolder + "03052026.lst"), Line);
        QCOMPARE(inst.exits, 0);
        QVERIFY(inst.context.databaseOpen());

        writeFile(downloads + "R03052026.lst", corrected);
        clickImport(inst, answers, downloads + "R03052026.lst");
        QCOMPARE(answers.messages.back().text, QString("Please reopen Quillmark for the changes."));
        QCOMPARE(inst.exits, 1);
        reopen(inst);
        QCOMPARE(QDir(inst.folders().dataFolder).entryList(QDir::Files), QStringList{"03052026.lst"});
        QCOMPARE(FileBytes(inst.folders().dataFolder + "03052026.lst"), corrected);
        QCOMPARE(courtIds(inst), (QStringList{"03052026.lst:B1", "03052026.lst:B2"}));

        writeFile(downloads + "03062026.lst", Line);
        clickImport(inst, answers, downloads + "03062026.lst");
        QCOMPARE(inst.exits, 2);
        reopen(inst);
        QCOMPARE(courtIds(inst), (QStringList{"03062026.lst:A123", "03052026.lst:B1", "03052026.lst:B2"}));
        QCOMPARE(answers.messages.size(), size_t(4));

        // A list recorded without a source date is named as recorded, without a date.
        inst.connection().execute(
            "INSERT INTO DataFiles (FileName, [Date]) VALUES ('LATE.lst', '1899-12-30')");
        writeFile(downloads + "late.lst", Line);
        clickImport(inst, answers, downloads + "late.lst");
        QVERIFY(answers.messages.back().text.startsWith(
            "The lead list LATE.lst has already been imported, so this file was not copied."));
        QVERIFY(!QFile::exists(inst.folders().dataFolder + "late.lst"));
    }
};

QTEST_MAIN(TestImportDataFile)
#include "tst_importdatafile.moc"
