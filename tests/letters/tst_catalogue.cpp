#include "platform/Platform.h"
#include "tests/dealer/AppFixture.h"

namespace {

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    out.sort();
    return out;
}

} // namespace

class TestCatalogue : public QObject {
    Q_OBJECT
private slots:
    // Only names ending in ".dot" (any case) are templates, listed without it (".dot" alone as an empty
    // entry). Preview needs a template; Print a contact name, a phone, a template and a selected name.
    void listingAndButtons() {
        AppFixture app;
        AppFixture::addLeads(3);
        QVERIFY(QDir().mkpath(app.dir.path() + "/app/Templates/Initials/sub.dot"));
        for (const char* name : {"A.DOT", "b.dot", "c.doc", "d.dotx", ".dot", "e.dot.bak"})
            AppFixture::writeFile(app.dir.path() + "/app/Templates/Initials/" + name);
        platform::ScriptedAnswerer answers;
        frmMain& w = app.openMain();
        QCOMPARE(entries(w.lstPromos), (QStringList{"", "A", "b"}));
        QVERIFY(!w.cmdPrint[1]->isEnabled());

        AppFixture::click(w.lstPromos, 1);
        QVERIFY(w.cmdPrint[1]->isEnabled());
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        QTest::keyClicks(w.cmbName->lineEdit(), "PAT SELLER");
        QTest::keyClicks(w.txtPhone, "555-0100");
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        AppFixture::click(w.lstNames, 1);
        QVERIFY(w.cmdPrint[2]->isEnabled());
        for (QLineEdit* box : {w.txtPhone, w.cmbName->lineEdit()}) {
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Backspace);
            QVERIFY(!w.cmdPrint[2]->isEnabled());
            QTest::keyClicks(box, " ");
            QVERIFY(w.cmdPrint[2]->isEnabled());
        }
        w.FillPromos(); // a refill drops the template choice
        QVERIFY(!w.cmdPrint[1]->isEnabled());
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        QVERIFY(answers.messages.empty());

        // Any group option refills from its own folder; a missing folder is reported and the list kept.
        AppFixture::writeFile(app.dir.path() + "/app/Templates/MailAids/Labels.dot");
        w.optPromos[2]->setChecked(true);
        QCOMPARE(entries(w.lstPromos), QStringList{"Labels"});
        QVERIFY(QDir(app.dir.path() + "/app/Templates/Follow-ups").removeRecursively());
        w.optPromos[1]->setChecked(true);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark Error"));
        QVERIFY(answers.messages[0].text.contains("Form Main: Sub FillPromos"));
        QCOMPARE(entries(w.lstPromos), QStringList{"Labels"});
    }

    // The import copies the chosen file into the group's folder, replacing one of the same name, lists
    // it once and says so; a cancelled dialog does nothing; a failed copy shows a critical box.
    void import() {
        AppFixture app;
        AppFixture::addLeads(1);
        const QString target = app.dir.path() + "/app/Templates/Initials/Offer.dot";
        const QString outside = app.dir.path() + "/Offer.dot";
        AppFixture::writeFile(target, "old");
        AppFixture::writeFile(outside, "new");
        platform::ScriptedAnswerer answers;
        frmMain& w = app.openMain();

        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton); // cancelled
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QCOMPARE(answers.fileRequests[0].filter, QStringLiteral("Microsoft Word Template(.dot)|*.dot"));
        QVERIFY(answers.messages.empty());

        answers.setNextFileName(outside);
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QFile copy(target);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("new"));
        QCOMPARE(entries(w.lstPromos), QStringList{"Offer"});
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].text, QStringLiteral("New template has been sucessfully added"));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Information);

        answers.setNextFileName(app.dir.path() + "/missing.dot");
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(answers.messages[1].icon, platform::Icon::Critical);
        QCOMPARE(answers.messages[1].title, QStringLiteral("Quillmark"));
        QVERIFY(!answers.messages[1].text.isEmpty() && !answers.messages[1].text.contains("sucessfully"));

        // The chosen group's folder receives the copy.
        w.optPromos[1]->setChecked(true);
        answers.setNextFileName(outside);
        QTest::mouseClick(w.cmdImportNewTemplate, Qt::LeftButton);
        QVERIFY(QFile::exists(app.dir.path() + "/app/Templates/Follow-ups/Offer.dot"));
        QCOMPARE(entries(w.lstPromos), QStringList{"Offer"});
        QCOMPARE(answers.messages.size(), size_t(3));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
