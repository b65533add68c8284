#include "dealer/ContactPanel.h"
#include "tests/support/AppFixture.h"

namespace {

// Two contacts and one without a phone, a named dealership and leads; the main window open on them.
struct ContactApp : AppFixture {
    ContactApp() {
        addLeads(2);
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('JANE DOE', '(555) 111-2222')");
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('BOB SMITH', '(555) 333-4444')");
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('NO PHONE', NULL)");
        open();
    }
    std::vector<QStringList> contacts() { return rows("Contact_Info", {"ID", "Name", "Phone"}); }
    // Whether a save waits: the button shows it, and the panel saves before letters are printed.
    bool savePending(bool pending) const {
        return saveButton()->isEnabled() == pending && window->contactPanel().savePending() == pending;
    }
    int pickedEntry() const { return window->contactPanel().nameListIndex(); }
};

} // namespace

class TestContacts : public QObject {
    Q_OBJECT
private slots:
    // Loaded in stored order with none chosen and Save off; a pick loads the phone (Null as empty) and
    // leaves Save off.
    void loadAndPick() {
        ContactApp app;
        QCOMPARE(app.nameBox()->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(app.nameBox()->itemText(i), app.contacts()[i][1]);
            QCOMPARE(app.nameBox()->itemData(i).toString(), app.contacts()[i][0]);
        }
        QCOMPARE(app.pickedEntry(), -1);
        QVERIFY(app.nameBox()->currentText().isEmpty() && app.phoneEdit()->text().isEmpty());
        QVERIFY(!app.saveButton()->isEnabled());
        QCOMPARE(app.saveButton()->text(), QStringLiteral("Save"));

        AppFixture::choose(app.nameBox(), 1);
        QCOMPARE(app.pickedEntry(), 1);
        QCOMPARE(app.nameBox()->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(app.phoneEdit()->text(), QStringLiteral("(555) 333-4444"));
        QVERIFY(app.savePending(false));
        AppFixture::choose(app.nameBox(), 2);
        QVERIFY(app.phoneEdit()->text().isEmpty());
        QVERIFY(app.answers.messages.empty());

        // A contact gone from the table cannot be loaded: reported, the window usable again.
        app.sql("DELETE FROM Contact_Info WHERE Name = 'JANE DOE'");
        AppFixture::choose(app.nameBox(), 0);
        QCOMPARE(app.answers.messages.size(), size_t(1));
        QCOMPARE(app.answers.messages[0].icon, platform::Icon::Exclamation);
        QVERIFY(app.answers.messages[0].text.contains("Form Main: Sub cmbName_Click"));
        QVERIFY(app.window->isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A new phone for a picked contact updates its row; a typed name with a phone is appended and
    // chosen; a listed name and phone (letter case aside) write nothing and choose the listed entry.
    // Apostrophes are text like any other.
    void saveAndUpdate() {
        ContactApp app;
        auto expected = app.contacts();
        AppFixture::choose(app.nameBox(), 0);
        AppFixture::retype(app.phoneEdit(), "(555) 000-9999");
        QCOMPARE(app.saveButton()->text(), QStringLiteral("Update"));
        QVERIFY(app.savePending(true));
        QTest::mouseClick(app.saveButton(), Qt::LeftButton);
        QVERIFY(app.savePending(false));
        expected[0][2] = "(555) 000-9999";
        QCOMPARE(app.contacts(), expected);

        AppFixture::retype(app.phoneEdit(), "");
        AppFixture::retype(app.nameBox()->lineEdit(), "O'BRIEN");
        QVERIFY(app.savePending(false)); // no phone yet
        QTest::keyClicks(app.phoneEdit(), "ext. 'O'");
        QCOMPARE(app.saveButton()->text(), QStringLiteral("Save"));
        QTest::mouseClick(app.saveButton(), Qt::LeftButton);
        QVERIFY(app.savePending(false));
        const auto after = app.contacts();
        QCOMPARE(after.size(), expected.size() + 1);
        QCOMPARE(after.back().mid(1), (QStringList{"O'BRIEN", "ext. 'O'"}));
        QCOMPARE(app.pickedEntry(), 3);
        QCOMPARE(app.nameBox()->itemData(3).toString(), after.back()[0]);

        AppFixture::retype(app.nameBox()->lineEdit(), "o'brien");
        AppFixture::retype(app.phoneEdit(), "EXT. 'O'");
        QCOMPARE(app.pickedEntry(), -1);
        QVERIFY(app.savePending(true));
        QTest::mouseClick(app.saveButton(), Qt::LeftButton);
        QCOMPARE(app.contacts(), after);
        QVERIFY(app.savePending(false));
        QCOMPARE(app.pickedEntry(), 3);
        QCOMPARE(app.nameBox()->currentText(), QStringLiteral("O'BRIEN"));
        QCOMPARE(app.nameBox()->count(), 4);
        AppFixture::choose(app.nameBox(), 0);
        AppFixture::choose(app.nameBox(), 3);
        QCOMPARE(app.phoneEdit()->text(), QStringLiteral("ext. 'O'"));
        QVERIFY(app.answers.messages.empty());

        // A row the database refuses (a name over 255 characters) is reported; Save stays pending.
        AppFixture::retype(app.nameBox()->lineEdit(), QString(300, 'X'));
        AppFixture::retype(app.phoneEdit(), "555");
        QVERIFY(app.savePending(true));
        QTest::mouseClick(app.saveButton(), Qt::LeftButton);
        QCOMPARE(app.answers.messages.size(), size_t(1));
        QCOMPARE(app.answers.messages[0].icon, platform::Icon::Exclamation);
        QVERIFY(app.answers.messages[0].text.contains("Form Main: Sub SaveContact"));
        QVERIFY(app.savePending(true));
        QCOMPARE(app.contacts(), after);
        QCOMPARE(app.nameBox()->count(), 4);
        QVERIFY(app.window->isEnabled());
    }

    // A phone typed while no contact is picked and the name box is empty leaves nothing to save; a name
    // typed after it makes the new contact savable.
    void phoneWithoutName() {
        ContactApp app;
        QCOMPARE(app.pickedEntry(), -1);
        QVERIFY(app.nameBox()->currentText().isEmpty());
        QTest::keyClicks(app.phoneEdit(), "(555) 777-8888");
        QCOMPARE(app.phoneEdit()->text(), QStringLiteral("(555) 777-8888"));
        QVERIFY(app.savePending(false));
        AppFixture::retype(app.nameBox()->lineEdit(), "NEW NAME");
        QVERIFY(app.savePending(true));
        QCOMPARE(app.saveButton()->text(), QStringLiteral("Save"));
    }

    // Leaving an emptied phone box puts the stored phone back; leaving an emptied name box after a pick
    // chooses that contact again without reloading the phone. Entering the phone box selects its text.
    void leavingEmptiedBoxes() {
        ContactApp app;
        AppFixture::focus(app.nameBox()); // tabbing through before any pick leaves the box empty
        AppFixture::tab();
        QVERIFY(app.nameBox()->currentText().isEmpty() && app.phoneEdit()->text().isEmpty());
        QVERIFY(!app.saveButton()->isEnabled());
        AppFixture::choose(app.nameBox(), 1);
        AppFixture::focus(app.nameBox());
        AppFixture::tab();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(app.phoneEdit()));
        QCOMPARE(app.phoneEdit()->selectedText(), QStringLiteral("(555) 333-4444"));
        QTest::keyClick(app.phoneEdit(), Qt::Key_Backspace);
        QVERIFY(app.savePending(false));
        AppFixture::tab();
        QCOMPARE(app.phoneEdit()->text(), QStringLiteral("(555) 333-4444"));
        QVERIFY(app.savePending(false));

        AppFixture::retype(app.phoneEdit(), "(555) 333-0000");
        AppFixture::focus(app.nameBox());
        AppFixture::retype(app.nameBox()->lineEdit(), "");
        QCOMPARE(app.pickedEntry(), -1);
        AppFixture::tab();
        QCOMPARE(app.nameBox()->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(app.pickedEntry(), 1);
        QCOMPARE(app.phoneEdit()->text(), QStringLiteral("(555) 333-0000"));
        QVERIFY(app.savePending(true));
        QCOMPARE(app.saveButton()->text(), QStringLiteral("Update"));
        QVERIFY(app.answers.messages.empty());
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
