// The name search: the Find Name dialog on its own, and searches from the main window that replace,
// widen, filter and are left again by choosing a date.
#include "tests/leads/LeadsEnv.h"

class TestFindName : public QObject {
    Q_OBJECT
private slots:
    void dialogOkFollowsTheTextAndKeysAnswer();
    void cancelAndCloseBoxChangeNothing();
    void searchesReplaceWidenAndFilter();
    void apostropheAndWildcards();
};

namespace {
// Queues what the user does in the next Find Name dialog: type `text`, then press `key`.
void queueSearch(LeadsEnv& env, const QString& text, Qt::Key key = Qt::Key_Return) {
    env.answers.setNextModal([text, key](QDialog& dialog) {
        auto* find = qobject_cast<frmFindName*>(&dialog);
        QVERIFY(find);
        QVERIFY(!find->cmdFindName[0]->isEnabled());
        QCOMPARE(find->txtName->text(), QString());
        QTest::keyClicks(find->txtName, text);
        QTest::keyClick(find->txtName, key);
    });
}
void search(LeadsEnv& env, const QString& text) {
    queueSearch(env, text);
    QTest::mouseClick(env.window->cmdFind, Qt::LeftButton);
}
QStringList sorted(QStringList list) {
    list.sort(Qt::CaseInsensitive);
    return list;
}
} // namespace

void TestFindName::dialogOkFollowsTheTextAndKeysAnswer() {
    {
        frmFindName dialog;
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Find Name"));
        QCOMPARE(dialog.size(), QSize(334, 104));
        QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(dialog.lblFindName->text(), QStringLiteral("Enter a Name or Partial Name to search for:"));
        QCOMPARE(
            dialog.Label1->text(),
            QStringLiteral("(Examples: \"\"John Smith\"\", \"\"John\"\", \"\"Smith\"\", \"\"Sm\"\", etc.)"));
        QCOMPARE(dialog.cmdFindName[0]->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.cmdFindName[1]->text(), QStringLiteral("Cancel"));
        QVERIFY(dialog.cmdFindName[0]->isDefault());
        QCOMPARE(dialog.txtName->geometry(), QRect(12, 44, 307, 21));

        QVERIFY(!dialog.cmdFindName[0]->isEnabled());
        // Enter while OK is disabled does nothing.
        QTest::keyClick(dialog.txtName, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.iResponse, qint16(0));
        QTest::keyClick(dialog.txtName, Qt::Key_A);
        QVERIFY(dialog.cmdFindName[0]->isEnabled());
        QTest::keyClick(dialog.txtName, Qt::Key_Backspace);
        QVERIFY(!dialog.cmdFindName[0]->isEnabled());
        QTest::keyClick(dialog.txtName, Qt::Key_Space); // a blank counts
        QVERIFY(dialog.cmdFindName[0]->isEnabled());
        QTest::keyClick(dialog.txtName, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.iResponse, qint16(1));
        QCOMPARE(dialog.txtName->text(), QStringLiteral(" "));
    }
    {
        frmFindName dialog;
        dialog.show();
        QTest::keyClicks(dialog.txtName, QStringLiteral("SMITH"));
        QTest::keyClick(dialog.txtName, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.iResponse, qint16(2));
    }
    {
        frmFindName dialog;
        dialog.show();
        QTest::keyClicks(dialog.txtName, QStringLiteral("SMITH"));
        dialog.close(); // the close box
        QCOMPARE(dialog.iResponse, qint16(0));
        // Shown again (after a failed search), the box's whole text is selected.
        dialog.show();
        QCOMPARE(dialog.txtName->selectedText(), QStringLiteral("SMITH"));
    }
}

void TestFindName::cancelAndCloseBoxChangeNothing() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    LeadsEnv::addLead(file, QStringLiteral("SMITH"));
    LeadsEnv::addLead(file, QStringLiteral("JONES"), QStringLiteral("2 ST"));
    frmMain& w = env.open();
    const QStringList before = env.texts();

    queueSearch(env, QStringLiteral("SMITH"), Qt::Key_Escape);
    QTest::mouseClick(w.cmdFind, Qt::LeftButton);
    env.answers.setNextModal([](QDialog& dialog) {
        QTest::keyClicks(qobject_cast<frmFindName*>(&dialog)->txtName, QStringLiteral("SMITH"));
        dialog.close();
    });
    QTest::mouseClick(w.cmdFind, Qt::LeftButton);
    QCOMPARE(env.answers.modalTitles,
             (QStringList{QStringLiteral("Find Name"), QStringLiteral("Find Name")}));
    QCOMPARE(env.texts(), before);
    QCOMPARE(w.iListSource, qint16(0));
    QCOMPARE(w.cmbDates->count(), 1);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* March 5, 2013"));
    QCOMPARE(Tag(w.cmdFind), QString());
    QVERIFY(w.isEnabled());
    // The dialog was unloaded each time.
    QVERIFY(w.findChild<frmFindName*>() == nullptr);
}

void TestFindName::searchesReplaceWidenAndFilter() {
    LeadsEnv env;
    const int older = LeadsEnv::addDataFile(QDate(2013, 1, 2));
    const int newer = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    auto add = [&](int file, const QString& name, const QString& street, bool printed) {
        Lead lead;
        lead.name = name;
        lead.street = street;
        lead.printed = printed;
        LeadsEnv::addLead(file, lead);
    };
    add(newer, QStringLiteral("SMITH, JOHN"), QStringLiteral("1 ST"), true);
    add(older, QStringLiteral("Goldsmith, Ann"), QStringLiteral("2 ST"), false);
    add(newer, QStringLiteral("JONES, AL"), QStringLiteral("3 ST"), false);
    add(older, QStringLiteral("JONES, BO"), QStringLiteral("4 ST"), true);
    add(newer, QStringLiteral("ADAMS, ED"), QStringLiteral("5 ST"), false);
    frmMain& w = env.open();
    // With ADD chosen beforehand, the first search still replaces: it switches the box to REPLACE.
    LeadsEnv::choose(w.cmbMode, 1);
    LeadsEnv::choose(w.cmbDates, 1);
    QCOMPARE(w.lstNames->count(), 5);

    search(env, QStringLiteral("sm"));
    QCOMPARE(w.iListSource, qint16(1));
    QCOMPARE(sorted(env.names()),
             (QStringList{QStringLiteral("Goldsmith, Ann"), QStringLiteral("SMITH, JOHN")}));
    QCOMPARE(w.cmbDates->count(), 3);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* Name Search Results"));
    QCOMPARE(w.cmbDates->itemData(0).toInt(), -1);
    QCOMPARE(w.cmbDates->currentIndex(), 0);
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("March 5, 2013"));
    QCOMPARE(w.cmbDates->itemText(2), QStringLiteral("January 2, 2013"));
    QCOMPARE(w.cmbMode->currentText(), QStringLiteral("REPLACE"));
    QCOMPARE(w.lblAvail->text(), QStringLiteral("2"));
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // Choosing the search entry itself does nothing.
    LeadsEnv::choose(w.cmbDates, 0);
    QCOMPARE(w.lstNames->count(), 2);

    // ADD widens: either term, the newest term first in the pattern.
    LeadsEnv::choose(w.cmbMode, 1);
    search(env, QStringLiteral("JONES"));
    QCOMPARE(Tag(w.cmdFind), QStringLiteral("JONES%') OR (Name LIKE '%sm"));
    QCOMPARE(sorted(env.names()), (QStringList{QStringLiteral("Goldsmith, Ann"), QStringLiteral("JONES, AL"),
                                               QStringLiteral("JONES, BO"), QStringLiteral("SMITH, JOHN")}));
    QCOMPARE(w.cmbMode->currentText(), QStringLiteral("ADD"));
    QCOMPARE(w.cmbDates->count(), 3);

    // The filter holds for every term, and the sort applies to the whole result.
    LeadsEnv::choose(w.cmbDisplay, 1);
    QCOMPARE(sorted(env.names()),
             (QStringList{QStringLiteral("Goldsmith, Ann"), QStringLiteral("JONES, AL")}));
    LeadsEnv::choose(w.cmbDisplay, 2);
    QCOMPARE(sorted(env.names()), (QStringList{QStringLiteral("JONES, BO"), QStringLiteral("SMITH, JOHN")}));
    LeadsEnv::choose(w.cmbDisplay, 0);
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(env.names(), (QStringList{QStringLiteral("Goldsmith, Ann"), QStringLiteral("JONES, AL"),
                                       QStringLiteral("JONES, BO"), QStringLiteral("SMITH, JOHN")}));

    // REPLACE starts anew.
    LeadsEnv::choose(w.cmbMode, 0);
    search(env, QStringLiteral("adams"));
    QCOMPARE(Tag(w.cmdFind), QStringLiteral("adams"));
    QCOMPARE(env.names(), QStringList{QStringLiteral("ADAMS, ED")});
    QCOMPARE(w.cmbDates->count(), 3);

    // Choosing a date leaves the search: entry gone, pattern cleared, REPLACE, that date alone.
    LeadsEnv::choose(w.cmbMode, 1);
    LeadsEnv::choose(w.cmbDates, 2);
    QCOMPARE(w.iListSource, qint16(0));
    QCOMPARE(w.cmbDates->count(), 2);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("March 5, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("* January 2, 2013"));
    QCOMPARE(w.cmbDates->currentIndex(), 1);
    QCOMPARE(Tag(w.cmdFind), QString());
    QCOMPARE(w.cmbMode->currentText(), QStringLiteral("REPLACE"));
    QCOMPARE(sorted(env.names()),
             (QStringList{QStringLiteral("Goldsmith, Ann"), QStringLiteral("JONES, BO")}));
    QVERIFY(env.errorLocations().isEmpty());

    // And the next search starts from the dates again.
    search(env, QStringLiteral("JONES"));
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* Name Search Results"));
    QCOMPARE(w.cmbDates->itemText(2), QStringLiteral("January 2, 2013"));
    QCOMPARE(env.names().size(), 2);
}

void TestFindName::apostropheAndWildcards() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    LeadsEnv::addLead(file, QStringLiteral("O'BRIEN, PAT"), QStringLiteral("1 ST"));
    LeadsEnv::addLead(file, QStringLiteral("OBRIEN, SAM"), QStringLiteral("2 ST"));
    LeadsEnv::addLead(file, QStringLiteral("SMYTH, JO"), QStringLiteral("3 ST"));
    LeadsEnv::addLead(file, QStringLiteral("SMITH, AL"), QStringLiteral("4 ST"));
    frmMain& w = env.open();

    search(env, QStringLiteral("o'brien"));
    QVERIFY(env.errorLocations().isEmpty());
    QCOMPARE(env.names(), QStringList{QStringLiteral("O'BRIEN, PAT")});

    LeadsEnv::choose(w.cmbMode, 1);
    search(env, QStringLiteral("'"));
    QVERIFY(env.errorLocations().isEmpty());
    QCOMPARE(env.names(), QStringList{QStringLiteral("O'BRIEN, PAT")});

    LeadsEnv::choose(w.cmbMode, 0);
    search(env, QStringLiteral("SM_TH"));
    QCOMPARE(sorted(env.names()), (QStringList{QStringLiteral("SMITH, AL"), QStringLiteral("SMYTH, JO")}));
    search(env, QStringLiteral("O%BRIEN"));
    QCOMPARE(sorted(env.names()),
             (QStringList{QStringLiteral("O'BRIEN, PAT"), QStringLiteral("OBRIEN, SAM")}));
    QVERIFY(env.errorLocations().isEmpty());
}

QTEST_MAIN(TestFindName)
#include "tst_findname.moc"
