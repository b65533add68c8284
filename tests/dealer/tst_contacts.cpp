#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "tests/dealer/AppFixture.h"

#include <QApplication>
#include <QTest>

namespace {

const QStringList kContactColumns = {QStringLiteral("ID"), QStringLiteral("Name"), QStringLiteral("Phone")};

QStringList names(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

// The installation most of these tests start from: two contacts and one without a phone.
struct ContactApp : AppFixture {
    ContactApp() {
        nameDealers();
        addLeads(2);
        addContact(QStringLiteral("JANE DOE"), QStringLiteral("(555) 111-2222"));
        addContact(QStringLiteral("BOB SMITH"), QStringLiteral("(555) 333-4444"));
        addContact(QStringLiteral("NO PHONE"), QVariant());
    }
    static std::vector<QStringList> contacts() {
        return rows(QStringLiteral("Contact_Info"), kContactColumns);
    }
    platform::ScriptedAnswerer answers;
};

bool saveState(const frmMain& w, bool pending) {
    return w.cmdSave->isEnabled() == pending &&
           Tag(w.cmdSave) == (pending ? QStringLiteral("True") : QStringLiteral("False"));
}

void retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::keyClicks(edit, text);
}

} // namespace

class TestContacts : public QObject {
    Q_OBJECT
private slots:
    // After loading: the contacts in stored order, none chosen, Save off. Picking one loads its phone
    // (a Null phone as empty) and leaves Save off; a pick of the same entry again reloads the phone.
    void loadAndPick() {
        ContactApp app;
        frmMain& w = app.openMain();
        QCOMPARE(names(w.cmbName), (QStringList{"JANE DOE", "BOB SMITH", "NO PHONE"}));
        const auto stored = ContactApp::contacts();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w.cmbName->itemData(i).toString(), stored[i][0]);
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(w.cmbName->currentText().isEmpty());
        QVERIFY(w.txtPhone->text().isEmpty());
        QVERIFY(!w.cmdSave->isEnabled());
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Save"));

        AppFixture::choose(w.cmbName, 1);
        QCOMPARE(w.cmbNameListIndex(), 1);
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-4444"));
        QCOMPARE(Tag(w.txtPhone), QStringLiteral("(555) 333-4444"));
        QCOMPARE(Tag(w.cmbName), QStringLiteral("1"));
        QVERIFY(saveState(w, false));
        QVERIFY(w.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        AppFixture::choose(w.cmbName, 2);
        QVERIFY(w.txtPhone->text().isEmpty());
        QCOMPARE(Tag(w.cmbName), QStringLiteral("2"));

        // Editing the phone, then picking the same contact again, puts its stored phone back.
        AppFixture::choose(w.cmbName, 0);
        retype(w.txtPhone, QStringLiteral("999"));
        QVERIFY(saveState(w, true));
        AppFixture::choose(w.cmbName, 0);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 111-2222"));
        QVERIFY(saveState(w, false));
        QVERIFY(app.answers.messages.empty());
    }

    // A new phone for a picked contact is an update of that row; a typed name with a phone is a new
    // contact, appended and chosen; a name and phone already listed (letter case aside) write nothing
    // and choose the listed contact.
    void saveAndUpdate() {
        ContactApp app;
        frmMain& w = app.openMain();
        const auto before = ContactApp::contacts();

        AppFixture::choose(w.cmbName, 0);
        retype(w.txtPhone, QStringLiteral("(555) 000-9999"));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(saveState(w, false));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));
        auto expected = before;
        expected[0][2] = QStringLiteral("(555) 000-9999");
        QCOMPARE(ContactApp::contacts(), expected);
        QCOMPARE(Tag(w.txtPhone), QStringLiteral("(555) 000-9999"));

        // A new contact: the name edit alone leaves nothing to save until there is a phone too.
        retype(w.txtPhone, QString());
        QVERIFY(saveState(w, false));
        retype(w.cmbName->lineEdit(), QStringLiteral("CARL NEW"));
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(saveState(w, false));
        QTest::keyClicks(w.txtPhone, "(555) 777-8888");
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Save"));
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(saveState(w, false));
        const auto after = ContactApp::contacts();
        QCOMPARE(after.size(), before.size() + 1);
        QCOMPARE(after.back().mid(1), (QStringList{"CARL NEW", "(555) 777-8888"}));
        QCOMPARE(names(w.cmbName).last(), QStringLiteral("CARL NEW"));
        QCOMPARE(w.cmbNameListIndex(), 3);
        QCOMPARE(w.cmbName->itemData(3).toString(), after.back()[0]);
        QCOMPARE(Tag(w.cmbName), QStringLiteral("3"));
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 777-8888")); // not reloaded, still as typed

        // The same contact typed again in other letter case: nothing written, the listed one chosen.
        retype(w.cmbName->lineEdit(), QStringLiteral("bob smith"));
        retype(w.txtPhone, QStringLiteral("(555) 333-4444"));
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(ContactApp::contacts(), after);
        QVERIFY(saveState(w, false));
        QCOMPARE(w.cmbNameListIndex(), 1);
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(Tag(w.cmbName), QStringLiteral("1"));
        QCOMPARE(w.cmbName->count(), 4);
        QVERIFY(app.answers.messages.empty());
    }

    // Apostrophes in a name or phone are saved, found again and picked like any other text.
    void apostrophes() {
        ContactApp app;
        frmMain& w = app.openMain();
        QTest::keyClicks(w.cmbName->lineEdit(), "O'BRIEN");
        QTest::keyClicks(w.txtPhone, "ext. 'O'");
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(app.answers.messages.empty());
        QCOMPARE(ContactApp::contacts().back().mid(1), (QStringList{"O'BRIEN", "ext. 'O'"}));
        QCOMPARE(w.cmbNameListIndex(), 3);

        retype(w.cmbName->lineEdit(), QStringLiteral("o'brien"));
        retype(w.txtPhone, QStringLiteral("EXT. 'O'"));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QVERIFY(app.answers.messages.empty());
        QCOMPARE(ContactApp::contacts().size(), size_t(4));
        QCOMPARE(w.cmbNameListIndex(), 3);

        AppFixture::choose(w.cmbName, 0);
        AppFixture::choose(w.cmbName, 3);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("ext. 'O'"));
    }

    // Leaving an emptied phone box puts the stored phone back; leaving an emptied name box after a pick
    // chooses that contact again without reloading the phone; both decide the Save state anew.
    void leavingEmptiedBoxes() {
        ContactApp app;
        frmMain& w = app.openMain();

        // Tabbing through the empty name box before any pick leaves it empty; a pick still works.
        AppFixture::focus(w.cmbName);
        AppFixture::tab();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtPhone));
        QVERIFY(w.cmbName->currentText().isEmpty());
        QVERIFY(saveState(w, false));
        AppFixture::choose(w.cmbName, 1);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-4444"));

        // Phone emptied and left.
        AppFixture::focus(w.txtPhone);
        retype(w.txtPhone, QString());
        QVERIFY(saveState(w, false));
        AppFixture::tab();
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-4444"));
        QVERIFY(saveState(w, false));

        // Name emptied and left, phone unchanged: the pick is back, nothing to save.
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), QString());
        QCOMPARE(w.cmbNameListIndex(), -1);
        QVERIFY(!w.cmdPrint[2]->isEnabled());
        AppFixture::tab();
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(w.cmbNameListIndex(), 1);
        QVERIFY(saveState(w, false));

        // Name emptied and left with a changed phone: the phone stays as typed and is pending.
        retype(w.txtPhone, QStringLiteral("(555) 333-0000"));
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), QString());
        AppFixture::tab();
        QCOMPARE(w.cmbName->currentText(), QStringLiteral("BOB SMITH"));
        QCOMPARE(w.cmbNameListIndex(), 1);
        QCOMPARE(w.txtPhone->text(), QStringLiteral("(555) 333-0000"));
        QVERIFY(saveState(w, true));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));

        // A phone that differs from the stored one only in letter case is no change.
        AppFixture::choose(w.cmbName, 0);
        retype(w.txtPhone, QStringLiteral("(555) 111-2222 X"));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        retype(w.txtPhone, QStringLiteral("(555) 111-2222 x"));
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), QString());
        AppFixture::tab();
        QVERIFY(saveState(w, false));
        QVERIFY(app.answers.messages.empty());
    }

    // Without a pick, an emptied phone comes back empty and an emptied name stays empty: there is no
    // contact to save then.
    void leavingWithoutPick() {
        ContactApp app;
        frmMain& w = app.openMain();
        AppFixture::focus(w.cmbName);
        QTest::keyClicks(w.cmbName->lineEdit(), "NEW PERSON");
        AppFixture::tab();
        QTest::keyClicks(w.txtPhone, "123");
        QVERIFY(saveState(w, true));
        retype(w.txtPhone, QString());
        AppFixture::tab();
        QVERIFY(w.txtPhone->text().isEmpty());
        QVERIFY(saveState(w, false));

        // A phone alone makes no contact.
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), QString());
        AppFixture::tab();
        QVERIFY(w.cmbName->currentText().isEmpty());
        QTest::keyClicks(w.txtPhone, "123");
        QVERIFY(saveState(w, false));
        w.SaveContact();
        QCOMPARE(ContactApp::contacts().size(), size_t(3));
        QTest::keyClicks(w.cmbName->lineEdit(), "N");
        QVERIFY(saveState(w, true));
        AppFixture::focus(w.cmbName);
        retype(w.cmbName->lineEdit(), QString());
        AppFixture::tab();
        QVERIFY(w.cmbName->currentText().isEmpty());
        QVERIFY(saveState(w, false));
        QCOMPARE(ContactApp::contacts().size(), size_t(3));
    }

    // Entering the phone box with Tab selects its whole text, so typing replaces the phone.
    void phoneBoxSelectsAll() {
        ContactApp app;
        frmMain& w = app.openMain();
        AppFixture::choose(w.cmbName, 0);
        AppFixture::focus(w.cmbName);
        AppFixture::tab();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(w.txtPhone));
        QCOMPARE(w.txtPhone->selectedText(), QStringLiteral("(555) 111-2222"));
        QTest::keyClicks(w.txtPhone, "7");
        QCOMPARE(w.txtPhone->text(), QStringLiteral("7"));
        QCOMPARE(w.cmdSave->text(), QStringLiteral("Update"));
    }

    // Failures are reported with the procedure's location; the window is usable again and a failed
    // save stays pending.
    void failures() {
        ContactApp app;
        frmMain& w = app.openMain();
        DbConnection->execute(QStringLiteral("DELETE FROM Contact_Info WHERE Name = 'JANE DOE'"));
        AppFixture::choose(w.cmbName, 0);
        QCOMPARE(app.answers.messages.size(), size_t(1));
        QVERIFY(app.answers.messages[0].text.contains(QStringLiteral("Form Main: Sub cmbName_Click")));
        QVERIFY(w.isEnabled());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(w.bEnablePhoneChange);

        // The picked row is gone, so its update fails and stays pending.
        retype(w.txtPhone, QStringLiteral("1"));
        QVERIFY(saveState(w, true));
        QTest::mouseClick(w.cmdSave, Qt::LeftButton);
        QCOMPARE(app.answers.messages.size(), size_t(2));
        QVERIFY(app.answers.messages[1].text.contains(QStringLiteral("Form Main: Sub SaveContact")));
        QVERIFY(saveState(w, true));
        QVERIFY(w.isEnabled());
        QVERIFY(w.bEnableClicks);
        QCOMPARE(ContactApp::contacts().size(), size_t(2));
    }
};

QTEST_MAIN(TestContacts)
#include "tst_contacts.moc"
