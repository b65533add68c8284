#include "letters/TemplatePicker.h"
#include "platform/Platform.h"
#include "tests/support/AppFixture.h"

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
    // Only names ending in ".dot", ".dotx" or ".docx" (any case) are templates, listed without it
    // (".dot" alone as an empty entry, and in full where two share a title). Preview needs a template; Print
    // a contact name, a phone, a template and a selected name.
    void listingAndButtons() {
        AppFixture app;
        app.addLeads(3);
        QVERIFY(QDir().mkpath(app.dir.path() + "/app/Templates/Initials/sub.dot"));
        for (const char* name : {"A.DOT", "b.dot", "c.doc", "d.dotx", ".dot", "e.dot.bak", "F.Docx", "g.dotm",
                                 "h.dot", "H.dotx"})
            AppFixture::writeFile(app.dir.path() + "/app/Templates/Initials/" + name);
        auto& answers = app.answers;
        MainWindow& w = app.open();
        QCOMPARE(entries(app.templateList()), (QStringList{"", "A", "F", "H.dotx", "b", "d", "h.dot"}));
        // Each entry stands for its own file.
        QStringList chosen;
        for (int row = 0; row < app.templateList()->count(); ++row) {
            app.templateList()->setCurrentRow(row);
            chosen << QFileInfo(*w.templatePicker().chosenTemplatePath()).fileName();
        }
        chosen.sort();
        QCOMPARE(chosen, (QStringList{".dot", "A.DOT", "F.Docx", "H.dotx", "b.dot", "d.dotx", "h.dot"}));
        app.templateList()->clearSelection();
        app.templateList()->setCurrentItem(nullptr);
        QVERIFY(!app.previewButton()->isEnabled());

        AppFixture::clickRow(app.templateList(), 1);
        QVERIFY(app.previewButton()->isEnabled());
        QVERIFY(!app.printButton()->isEnabled());
        QTest::keyClicks(app.nameBox()->lineEdit(), "PAT SELLER");
        QTest::keyClicks(app.phoneEdit(), "555-0100");
        QVERIFY(!app.printButton()->isEnabled());
        AppFixture::clickRow(app.namesView(), 1);
        QVERIFY(app.printButton()->isEnabled());
        for (QLineEdit* box : {app.phoneEdit(), app.nameBox()->lineEdit()}) {
            box->selectAll();
            QTest::keyClick(box, Qt::Key_Backspace);
            QVERIFY(!app.printButton()->isEnabled());
            QTest::keyClicks(box, " ");
            QVERIFY(app.printButton()->isEnabled());
        }
        w.templatePicker().fill(); // a refill drops the template choice
        QVERIFY(!app.previewButton()->isEnabled());
        QVERIFY(!app.printButton()->isEnabled());
        QVERIFY(answers.messages.empty());

        // Any group option refills from its own folder; a missing folder is reported and the list kept.
        AppFixture::writeFile(app.dir.path() + "/app/Templates/MailAids/Labels.dot");
        app.mailAidsOption()->setChecked(true);
        QCOMPARE(entries(app.templateList()), QStringList{"Labels"});
        QVERIFY(QDir(app.dir.path() + "/app/Templates/Follow-ups").removeRecursively());
        app.followUpsOption()->setChecked(true);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark Error"));
        QVERIFY(answers.messages[0].text.contains("Form Main: Sub FillPromos"));
        QCOMPARE(entries(app.templateList()), QStringList{"Labels"});
    }

    // The import offers Word's templates of both kinds, copies the chosen file into the group's folder
    // under its own name, replacing one of the same name, lists it once and says so; a cancelled dialog
    // does nothing; a failed copy shows a critical box.
    void import() {
        AppFixture app;
        app.addLeads(1);
        const QString target = app.dir.path() + "/app/Templates/Initials/Offer.dot";
        const QString outside = app.dir.path() + "/Offer.dot";
        AppFixture::writeFile(target, "old");
        AppFixture::writeFile(outside, "new");
        auto& answers = app.answers;
        app.open();

        QTest::mouseClick(app.importTemplateButton(), Qt::LeftButton); // cancelled
        QCOMPARE(answers.fileRequests.size(), size_t(1));
        QCOMPARE(answers.fileRequests[0].filter, QStringLiteral("Word templates|*.dot *.dotx *.docx"));
        QVERIFY(answers.messages.empty());

        answers.setNextFileName(outside);
        QTest::mouseClick(app.importTemplateButton(), Qt::LeftButton);
        QFile copy(target);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), QByteArray("new"));
        QCOMPARE(entries(app.templateList()), QStringList{"Offer"});
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].text, QStringLiteral("New template has been sucessfully added"));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Information);

        answers.setNextFileName(app.dir.path() + "/missing.dot");
        QTest::mouseClick(app.importTemplateButton(), Qt::LeftButton);
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(answers.messages[1].icon, platform::Icon::Critical);
        QCOMPARE(answers.messages[1].title, QStringLiteral("Quillmark"));
        QVERIFY(!answers.messages[1].text.isEmpty() && !answers.messages[1].text.contains("sucessfully"));

        // The chosen group's folder receives the copy.
        app.followUpsOption()->setChecked(true);
        answers.setNextFileName(outside);
        QTest::mouseClick(app.importTemplateButton(), Qt::LeftButton);
        QVERIFY(QFile::exists(app.dir.path() + "/app/Templates/Follow-ups/Offer.dot"));
        QCOMPARE(entries(app.templateList()), QStringList{"Offer"});
        QCOMPARE(answers.messages.size(), size_t(3));

        // A Word 2007+ template stays one, under its own name.
        const QString dotx = app.dir.path() + "/Spring Offer.dotx";
        AppFixture::writeFile(dotx, "PK\x03\x04");
        answers.setNextFileName(dotx);
        QTest::mouseClick(app.importTemplateButton(), Qt::LeftButton);
        QVERIFY(QFile::exists(app.dir.path() + "/app/Templates/Follow-ups/Spring Offer.dotx"));
        QCOMPARE(entries(app.templateList()), (QStringList{"Offer", "Spring Offer"}));
    }
};

QTEST_MAIN(TestCatalogue)
#include "tst_catalogue.moc"
