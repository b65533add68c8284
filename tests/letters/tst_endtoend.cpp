#include "database/Database.h"
#include "dealer/DealerDialog.h"
#include "leads/NameList.h"
#include "platform/Platform.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"
#include "startup/Main.h"
#include "tests/support/Installation.h"
#include "tests/support/MainWindowControls.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
void copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::copy(source, target);
    }
}

} // namespace

// The whole road of a first day: a fresh installation with the sample lead lists, the dealer dialog,
// the import, choosing a date, names, a shipped template and a new contact, printing to a PDF file.
class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void firstDayToPrintedLetters() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed to read the printed pages back");
        QTemporaryDir dir;
        const QString app = dir.path() + QStringLiteral("/app");
        copyTree(QStringLiteral(QM_SOURCE_DIR "/samples"), app + QStringLiteral("/Data"));
        copyTree(QStringLiteral(QM_SOURCE_DIR "/templates"), app + QStringLiteral("/Templates"));
        AppContext context(Folders::of(app, dir.path() + QStringLiteral("/data/Quillmark")));
        createDatabase(context.folders().userDataFolder + QStringLiteral("/Quillmark.mdb"), 1);
        bool ended = false;
        context.setExitAction([&] { ended = true; });

        platform::ScriptedAnswerer answers;
        answers.setNextModal([](QDialog& d) {
            auto& dialog = static_cast<DealerDialog&>(d);
            QTest::keyClicks(dialog.nameEdit(), QStringLiteral("Prairie Motors"));
            QTest::keyClicks(dialog.addressEdits()[0], QStringLiteral("400 Route 66"));
            QTest::keyClicks(dialog.cityEdit(), QStringLiteral("Joliet"));
            QTest::keyClicks(dialog.stateEdit(), QStringLiteral("IL"));
            QTest::keyClicks(dialog.zipEdit(), QStringLiteral("60431"));
            QTest::keyClick(dialog.zipEdit(), Qt::Key_Return);
        });
        QVERIFY(startProgram(context));
        MainWindow* w = shownMainWindow(context);
        const MainWindowControls ui(w);
        QVERIFY(w && w->isVisible());
        QCOMPARE(answers.messages.size(), size_t(1)); // "saved successfully", and no import trouble shown
        // The sample with bad lines leaves its entries in the error log.
        QFile log(context.folders().errorLog);
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(log.readAll().count("Error #") >= 1);

        // Four sample lists, newest first and marked; the user takes the second newest instead.
        QCOMPARE(ui.datesBox()->count(), 4);
        QVERIFY(ui.datesBox()->itemText(0).startsWith(QStringLiteral("* ")));
        ui.datesBox()->setFocus();
        QTest::keyClick(ui.datesBox(), Qt::Key_Down);
        QVERIFY(!ui.datesBox()->itemText(0).startsWith(QStringLiteral("* ")));
        QVERIFY(ui.datesBox()->itemText(1).startsWith(QStringLiteral("* ")));
        QVERIFY(ui.namesView()->count() >= 3);

        QStringList chosen;
        QList<qint32> ids;
        for (int row = 0; row < 3; ++row) {
            ui.namesView()->setSelected(row, true);
            ids << ui.namesView()->itemData(row);
        }
        QCOMPARE(ui.selectedCount()->text(), QStringLiteral("3"));
        const QList<QListWidgetItem*> letters =
            ui.templateList()->findItems(QStringLiteral("Second Chance Welcome"), Qt::MatchExactly);
        QCOMPARE(letters.size(), 1);
        ui.templateList()->setCurrentItem(letters[0]);

        ui.nameBox()->setFocus();
        QTest::keyClicks(ui.nameBox(), QStringLiteral("Dana Reyes"));
        ui.phoneEdit()->setFocus();
        QTest::keyClicks(ui.phoneEdit(), QStringLiteral("(815) 555-0144"));
        QTest::mouseClick(ui.saveButton(), Qt::LeftButton);
        QCOMPARE(ui.nameBox()->count(), 1);
        QVERIFY(ui.printButton()->isEnabled());

        const QString pdf = dir.path() + QStringLiteral("/letters.pdf");
        answers.setNextPrintFile(pdf);
        QTest::mouseClick(ui.printButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.printDialogs, 1);

        // Each chosen name printed, in list order, with the dealership and the contact.
        const QString text = PdfText(pdf).toUpper();
        int at = -1;
        for (qint32 id : ids) {
            db::Recordset rs;
            rs.open(QStringLiteral("SELECT Name, Printed, Followed FROM [Names] WHERE ID = ") +
                        QString::number(id),
                    context.connection(), db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
            QVERIFY(rs.value(QStringLiteral("Printed")).toBool());
            QVERIFY(!rs.value(QStringLiteral("Followed")).toBool());
            const QString name = rs.value(QStringLiteral("Name")).toString().toUpper();
            const int found = text.indexOf(name, at + 1);
            QVERIFY2(found > at, qPrintable(name));
            at = found;
        }
        QVERIFY(text.contains(QStringLiteral("PRAIRIE MOTORS")));
        QVERIFY(text.contains(QStringLiteral("DANA REYES")));
        QVERIFY(text.contains(QStringLiteral("(815) 555-0144")));

        QTest::mouseClick(ui.exitButton(), Qt::LeftButton);
        QVERIFY(ended);
        QVERIFY(!context.databaseOpen());
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
