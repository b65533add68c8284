#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "tests/dealer/AppFixture.h"

#include <QFile>
#include <QTest>

namespace {

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool hasLocation(const platform::ScriptedAnswerer& answers, const QString& location) {
    for (const auto& m : answers.messages)
        if (m.text.contains(location))
            return true;
    return false;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    // Only files ending in ".dot" (any case) are templates, named without the extension; ".dot" alone
    // gives an empty entry; folders and other extensions are left out. A refill disables Preview and
    // Print; another group's option lists that group's folder.
    void listing() {
        AppFixture app;
        AppFixture::nameDealers();
        AppFixture::addLeads(2);
        const QString initials = app.appFolder() + QStringLiteral("/Templates/Initials/");
        for (const char* name : {"A.DOT", "b.dot", "c.doc", "d.dotx", ".dot", "e.dot.bak"})
            AppFixture::writeFile(initials + QLatin1String(name));
        QVERIFY(QDir().mkpath(initials + QStringLiteral("sub.dot")));
        AppFixture::writeFile(app.appFolder() + QStringLiteral("/Templates/Follow-ups/Again.Dot"));

        platform::ScriptedAnswerer answers;
        frmMain& w = app.openMain();
        QCOMPARE(sorted(entries(w.lstPromos)), (QStringList{"", "A", "b"}));
        QVERIFY(!w.cmdPrint[1]->isEnabled());
        QVERIFY(!w.cmdPrint[2]->isEnabled());

        AppFixture::clickItem(w.lstPromos, 0);
        QVERIFY(w.cmdPrint[1]->isEnabled());
        w.optPromos[1]->setChecked(true); // the group options are hidden; the program reacts all the same
        QCOMPARE(entries(w.lstPromos), QStringList{"Again"});
        QVERIFY(!w.cmdPrint[1]->isEnabled());
        QVERIFY(w.lstPromos->selectedItems().isEmpty());
        w.optPromos[2]->setChecked(true);
        QVERIFY(entries(w.lstPromos).isEmpty());
        QVERIFY(answers.messages.empty());

        // A group folder that has gone is reported and the list keeps what it showed.
        w.optPromos[1]->setChecked(true);
        QVERIFY(QDir(app.appFolder() + QStringLiteral("/Templates/Follow-ups")).removeRecursively());
        w.FillPromos();
        QCOMPARE(entries(w.lstPromos), QStringList{"Again"});
        QCOMPARE(answers.messages.size(), size_t(1));
        QVERIFY(hasLocation(answers, QStringLiteral("Form Main: Sub FillPromos")));
    }

    // Preview needs a template; Print needs a contact name, a phone, a template and a selected name.
    void printButtons() {
        AppFixture app;
        AppFixture::nameDealers();
        AppFixture::addLeads(3);
        AppFixture::writeFile(app.appFolder() + QStringLiteral("/Templates/Initials/Welcome.dot"));
        platform::ScriptedAnswerer answers;
        frmMain& w = app.openMain();
        QCOMPARE(w.lstNames->count(), 3);

        AppFixture::clickItem(w.lstPromos, 0); // a template, no names
        QVERIFY(w.cmdPrint[1]->isEnabled());
        QVERIFY(!w.cmdPrint[2]->isEnabled());

        QTest::keyClicks(w.cmbName->lineEdit(), "PAT SELLER");
        QTest::keyClicks(w.txtPhone, "555-0100");
        QVERIFY(!w.cmdPrint[2]->isEnabled()); // still no name selected
        AppFixture::clickRow(w.lstNames, 1);
        QCOMPARE(w.lstNames->selectedCount(), 1);
        QVERIFY(w.cmdPrint[2]->isEnabled());

        // Clearing the phone disables Print; one character enables it again.
        w.txtPhone->selectAll();
        QTest::keyClick(w.txtPhone, Qt::Key_Backspace);
        QVERIFY(w.txtPhone->text().isEmpty());
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        QTest::keyClicks(w.txtPhone, " ");
        QVERIFY(w.cmdPrint[2]->isEnabled());

        // So does the name.
        w.cmbName->lineEdit()->selectAll();
        QTest::keyClick(w.cmbName->lineEdit(), Qt::Key_Backspace);
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        QTest::keyClicks(w.cmbName->lineEdit(), "P");
        QVERIFY(w.cmdPrint[2]->isEnabled());

        // A refill of the template list drops the template choice.
        w.FillPromos();
        QVERIFY(!w.cmdPrint[1]->isEnabled());
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        QVERIFY(answers.messages.empty());
    }

    // The import copies the chosen file into the group's folder (replacing one of the same name),
    // lists it once and says so; a cancelled dialog does nothing; a failed copy shows its description.
    void import() {
        AppFixture app;
        AppFixture::nameDealers();
        AppFixture::addLeads(1);
        const QString initials = app.appFolder() + QStringLiteral("/Templates/Initials/");
        AppFixture::writeFile(initials + QStringLiteral("Offer.dot"), "old");
        const QString outside = app.dir.path() + QStringLiteral("/outside/");
        QVERIFY(QDir().mkpath(outside));
        AppFixture::writeFile(outside + QStringLiteral("Offer.dot"), "new");
        AppFixture::writeFile(outside + QStringLiteral("Spring Sale.dot"), "spring");
        AppFixture::writeFile(outside + QStringLiteral("notes.txt"), "text");

        platform::ScriptedAnswerer answers;
        frmMain& w = app.openMain();
        QCOMPARE(entries(w.lstPromos), QStringList{"Offer"});

        // Cancelled: no message, nothing copied.
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QCOMPARE(answers.fileRequests[0].filter, QStringLiteral("Microsoft Word Template(.dot)|*.dot"));
        QVERIFY(answers.messages.empty());
        QCOMPARE(entries(w.lstPromos), QStringList{"Offer"});

        // Over an existing template: replaced, listed once.
        AppFixture::clickItem(w.lstPromos, 0);
        QVERIFY(w.cmdPrint[1]->isEnabled());
        answers.setNextFileName(QStringLiteral("  ") + outside + QStringLiteral("Offer.dot "));
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(contents(initials + QStringLiteral("Offer.dot")), QByteArray("new"));
        QCOMPARE(entries(w.lstPromos), QStringList{"Offer"});
        QVERIFY(!w.cmdPrint[1]->isEnabled()); // refilled
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].text, QStringLiteral("New template has been sucessfully added"));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Information);
        QCOMPARE(answers.messages[0].buttons, platform::Buttons::OkOnly);

        answers.setNextFileName(outside + QStringLiteral("Spring Sale.dot"));
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(sorted(entries(w.lstPromos)), (QStringList{"Offer", "Spring Sale"}));

        // Another extension is copied but is no template.
        answers.setNextFileName(outside + QStringLiteral("notes.txt"));
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QVERIFY(QFile::exists(initials + QStringLiteral("notes.txt")));
        QCOMPARE(sorted(entries(w.lstPromos)), (QStringList{"Offer", "Spring Sale"}));

        // The chosen group decides the folder.
        w.optPromos[2]->setChecked(true);
        answers.setNextFileName(outside + QStringLiteral("Spring Sale.dot"));
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(contents(app.appFolder() + QStringLiteral("/Templates/MailAids/Spring Sale.dot")),
                 QByteArray("spring"));
        QCOMPARE(entries(w.lstPromos), QStringList{"Spring Sale"});

        // A file that is not there: its description, critical, and no refill.
        AppFixture::clickItem(w.lstPromos, 0);
        answers.messages.clear();
        answers.setNextFileName(outside + QStringLiteral("missing.dot"));
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark"));
        QVERIFY(!answers.messages[0].text.isEmpty());
        QVERIFY(!answers.messages[0].text.contains(QStringLiteral("sucessfully")));
        QVERIFY(w.cmdPrint[1]->isEnabled()); // the selection survived: no refill
    }

    // The templates that come with the installation are where the catalogue looks for them.
    void installedTemplates() {
        const QString source = QStringLiteral(QM_SOURCE_DIR) + QStringLiteral("/templates/");
        for (const char* group : {"Initials", "Follow-ups", "MailAids"}) {
            int templates = 0;
            for (const QString& name : QDir(source + QLatin1String(group)).entryList(QDir::Files))
                if (name.right(4).toLower() == QStringLiteral(".dot"))
                    ++templates;
            QVERIFY2(templates >= 1, group);
        }
        QVERIFY(QFile::exists(source + QStringLiteral("CallList.dot")));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
