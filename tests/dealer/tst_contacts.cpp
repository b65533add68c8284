#include "platform/Platform.h"
#include "tests/dealer/AppFixture.h"

namespace {

// Two contacts and one without a phone, a named dealership and leads; the main window open on them.
struct ContactApp : AppFixture {
    ContactApp() {
        addLeads(2);
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('JANE DOE', '(555) 111-2222')");
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('BOB SMITH', '(555) 333-4444')");
        sql("INSERT INTO Contact_Info (Name, Phone) VALUES ('NO PHONE', NULL)");
        openMain();
    }
    static std::vector<QStringList> contacts() { return rows("Contact_Info", {"ID", "Name", "Phone"}); }
    platform::ScriptedAnswerer answers;
};

bool saveState(const frmMain& w, bool pending) {
    return w.cmdSave->isEnabled() == pending && Tag(w.cmdSave) == (pending ? "True" : "False");
}

void retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

} // namespace

class TestContacts : public QObject {
    Q_OBJECT
private slots:
    // Loaded in stored order with none chosen and Save off; a pick loads the phone (Null as empty) and
    // leaves Save off.
    void loadAndPick() {
        ContactApp app;
        frmMain& w = *app.window;
        QCOMPARE(w.cmbName->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(w.cmbName->itemText(i), ContactApp::contacts()[i][1]);
            QCOMPARE(w.cmbName->itemData(i).toString(), ContactApp::contacts()[i][0]);
        }
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(w.cmbName->currentText().isEmpty() && w.txtPhone->text().isEmpty());
        QVERIFY(!w.cmdSave->isEnabled());
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Save"));

        AppFixture::choose(w.cmbName, 1);
        QCOMPARE(w.cmbNameListIndex(), 1);
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-4444"));
        QVERIFY(saveState(w, false));
        AppFixture::choose(w.cmbName, 2);
        QVERIFY(w.txtPhone->text().isEmpty());
        QVERIFY(app.answers.messages.empty());

        // A contact gone from the table cannot be loaded: reported, the window usable again.
        AppFixture::sql("DELETE FROM Contact_Info WHERE Name = 'JANE DOE'");
        AppFixture::choose(w.cmbName, 0);
        QCOMPARE(app.answers.messages.size(), size_t(1));
        QCOMPARE(app.answers.messages[0].icon, platform::Icon::Exclamation);
        QVERIFY(app.answers.messages[0].text.contains("Form Main: Sub cmbName_Click"));
        QVERIFY(w.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A new phone for a picked contact updates its row; a typed name with a phone is appended and
    // chosen; a listed name and phone (letter case aside) write nothing and choose the listed entry.
    // Apostrophes are text like any other.
    void saveAndUpdate() {
        ContactApp app;
        frmMain& w = *app.window;
        auto expected = ContactApp::contacts();
        AppFixture::choose(w.cmbName, 0);
        retype(w.txtPhone, "(555) 000-9999");
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(saveState(w, false));
        expected[0][2] = "(555) 000-9999";
        QCOMPARE(ContactApp::contacts(), expected);

        retype(w.txtPhone, "");
        retype(w.cmbName->lineEdit(), "O'BRIEN");
        QVERIFY(saveState(w, false)); // no phone yet
        QTest::keyClicks(w.txtPhone, "ext. 'O'");
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Save"));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(saveState(w, false));
        const auto after = ContactApp::contacts();
        QCOMPARE(after.size(), expected.size() + 1);
        QCOMPARE(after.back().mid(1), (QStringList{"O'BRIEN", "ext. 'O'"}));
        QCOMPARE(w.cmbNameListIndex(), 3);
        QCOMPARE(w.cmbName->itemData(3).toString(), after.back()[0]);

        retype(w.cmbName->lineEdit(), "o'brien");
        retype(w.txtPhone, "EXT. 'O'");
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(ContactApp::contacts(), after);
        QVERIFY(saveState(w, false));
        QCOMPARE(w.cmbNameListIndex(), 3);
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("O'BRIEN"));
        QCOMPARE(w.cmbName->count(), 4);
        AppFixture::choose(w.cmbName, 0);
        AppFixture::choose(w.cmbName, 3);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("ext. 'O'"));
        QVERIFY(app.answers.messages.empty());

        // A row the database refuses (a name over 255 characters) is reported; Save stays pending.
        retype(w.cmbName->lineEdit(), QString(300, 'X'));
        retype(w.txtPhone, "555");
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(app.answers.messages.size(), size_t(1));
        QCOMPARE(app.answers.messages[0].icon, platform::Icon::Exclamation);
        QVERIFY(app.answers.messages[0].text.contains("Form Main: Sub SaveContact"));
        QVERIFY(saveState(w, true));
        QCOMPARE(ContactApp::contacts(), after);
        QCOMPARE(w.cmbName->count(), 4);
        QVERIFY(w.isEnabled());
    }

    // Leaving an emptied phone box puts the stored phone back; leaving an emptied name box after a pick
    // chooses that contact again without reloading the phone. Entering the phone box selects its text.
    void leavingEmptiedBoxes() {
        ContactApp app;
        frmMain& w = *app.window;
        AppFixture::focus(w.cmbName); // tabbing through before any pick leaves the box empty
        AppFixture::tab();
        QVERIFY(w.cmbName->currentText().isEmpty() && w.txtPhone->text().isEmpty());
        QVERIFY(!w.cmdSave->isEnabled());
        AppFixture::choose(w.cmbName, 1);
        AppFixture::focus(w.cmbName);
        AppFixture::tab();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtPhone));
        QCOMPARE(w.txtPhone->selectedText(), QStringLiteral("(555) 333-4444"));
        QTest::keyClick(w.txtPhone, Qt::Key_Backspace);
        QVERIFY(saveState(w, false));
        AppFixture::tab();
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-4444"));
        QVERIFY(saveState(w, false));

        retype(w.txtPhone, "(555) 333-0000");
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), "");
        QCOMPARE(w.cmbNameListIndex(), -1);
        AppFixture::tab();
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(w.cmbNameListIndex(), 1);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-0000"));
        QVERIFY(saveState(w, true));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));
        QVERIFY(app.answers.messages.empty());
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
