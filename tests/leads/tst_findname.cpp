// The name search: the Find Name dialog on its own, and searches from the main window that replace,
// widen, filter and are left again by choosing a date.
#include "intake/ProgressWindow.h"
#include "intake/StartupImport.h"
#include "leads/FindNameDialog.h"
#include "tests/support/AppFixture.h"

class TestFindName : public QObject {
    Q_OBJECT
private slots:
    void dialogOkFollowsTheTextAndKeysAnswer();
    void searchesReplaceWidenAndFilter();
    void everyLetterOfAWindows1252ListIgnoresCase();
};

namespace {
// What the user does in the next Find Name dialog: type `text`, then press `key` (or the close box).
void search(AppFixture& env, const QString& text, std::optional<Qt::Key> key = Qt::Key_Return) {
    env.answers.setNextModal([text, key](QDialog& dialog) {
        auto* find = qobject_cast<FindNameDialog*>(&dialog);
        QVERIFY(find && !find->okButton()->isEnabled() && find->nameEdit()->text().isEmpty());
        for (const QChar c : text) // typed key by key, letters beyond ASCII too
            QTest::sendKeyEvent(QTest::Click, find->nameEdit(), Qt::Key(c.toUpper().unicode()), QString(c),
                                Qt::NoModifier);
        if (key)
            QTest::keyClick(find->nameEdit(), *key);
        else
            dialog.close();
    });
    QTest::mouseClick(env.findButton(), Qt::LeftButton);
}
} // namespace

void TestFindName::dialogOkFollowsTheTextAndKeysAnswer() {
    FindNameDialog dialog;
    dialog.show();
    QCOMPARE(dialog.windowTitle(), u"Find Name"_s);
    QVERIFY(dialog.okButton()->isDefault() && !dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Return); // ignored while OK is disabled
    QVERIFY(dialog.isVisible());
    QTest::keyClick(dialog.nameEdit(), Qt::Key_A);
    QVERIFY(dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Backspace);
    QVERIFY(!dialog.okButton()->isEnabled());
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Space); // a blank counts
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Return);
    QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Accepted);
    QCOMPARE(dialog.searchText(), u" "_s);

    // The close box and Escape answer no; shown again (after a failed search), the whole text is
    // selected.
    FindNameDialog second;
    second.show();
    QTest::keyClicks(second.nameEdit(), u"SMITH"_s);
    second.close();
    QVERIFY(!second.isVisible() && second.result() == QDialog::Rejected);
    second.show();
    QCOMPARE(second.nameEdit()->selectedText(), u"SMITH"_s);
    QTest::keyClick(second.nameEdit(), Qt::Key_Escape);
    QVERIFY(!second.isVisible() && second.result() == QDialog::Rejected);
}

void TestFindName::searchesReplaceWidenAndFilter() {
    AppFixture env;
    const int older = env.addDataFile(QDate(2013, 1, 2));
    const int newer = env.addDataFile(QDate(2013, 3, 5));
    env.addLead(newer, u"SMITH, JOHN"_s, u"1 ST"_s, true);
    env.addLead(older, u"Goldsmith, Ann"_s, u"2 ST"_s);
    env.addLead(newer, u"JONES, AL"_s, u"3 ST"_s);
    env.addLead(older, u"JONES, BO"_s, u"4 ST"_s, true);
    env.addLead(newer, u"ADAMS, ED"_s, u"5 ST"_s);
    env.addLead(older, u"O'BRIEN, PAT"_s, u"6 ST"_s);
    env.addLead(older, u"OBRIEN, SAM"_s, u"7 ST"_s);
    env.addLead(older, u"SMYTH, JO"_s, u"8 ST"_s);
    MainWindow& w = env.open();
    const QString start = env.view();
    QCOMPARE(start, u">* March 5, 2013|January 2, 2013 / REPLACE / SMITH, JOHN|JONES, AL|ADAMS, ED / 3/0"_s);

    // Cancel (Escape) and the close box change nothing, and the dialog is unloaded each time.
    search(env, u"SMITH"_s, Qt::Key_Escape);
    search(env, u"SMITH"_s, std::nullopt);
    QCOMPARE(env.answers.modalTitles, (QStringList{u"Find Name"_s, u"Find Name"_s}));
    QCOMPARE(env.view(), start);
    QVERIFY(w.findChild<FindNameDialog*>() == nullptr);

    // With ADD chosen beforehand, the first search still replaces: it switches the box to REPLACE.
    AppFixture::choose(env.modeBox(), 1);
    AppFixture::choose(env.datesBox(), 1);
    QCOMPARE(env.namesView()->count(), 8);
    search(env, u"sm"_s);
    const QString results = u">* Name Search Results|March 5, 2013|January 2, 2013 / "_s;
    QCOMPARE(env.view(), results + u"REPLACE / SMITH, JOHN|Goldsmith, Ann|SMYTH, JO / 3/0"_s);
    AppFixture::choose(env.datesBox(), 0); // choosing the search entry itself does nothing
    QCOMPARE(env.view(), results + u"REPLACE / SMITH, JOHN|Goldsmith, Ann|SMYTH, JO / 3/0"_s);

    // ADD widens: either term; filter and sort cover all terms.
    AppFixture::choose(env.modeBox(), 1);
    search(env, u"JONES"_s);
    QCOMPARE(env.view(), results + u"ADD / SMITH, JOHN|Goldsmith, Ann|JONES, AL|JONES, BO|SMYTH, JO / 5/0"_s);
    AppFixture::choose(env.displayBox(), 1);
    QCOMPARE(env.names(), u"Goldsmith, Ann|JONES, AL|SMYTH, JO"_s);
    AppFixture::choose(env.displayBox(), 2);
    QCOMPARE(env.names(), u"SMITH, JOHN|JONES, BO"_s);
    AppFixture::choose(env.displayBox(), 0);
    QTest::mouseClick(env.header(1), Qt::LeftButton);
    QCOMPARE(env.names(), u"Goldsmith, Ann|JONES, AL|JONES, BO|SMITH, JOHN|SMYTH, JO"_s);

    AppFixture::choose(env.modeBox(), 0); // REPLACE starts anew
    search(env, u"adams"_s);
    QCOMPARE(env.view(), results + u"REPLACE / ADAMS, ED / 1/0"_s);

    // Choosing a date leaves the search: entry gone, REPLACE, that date alone.
    AppFixture::choose(env.modeBox(), 1);
    AppFixture::choose(env.datesBox(), 2);
    QCOMPARE(
        env.view(),
        u"March 5, 2013|>* January 2, 2013 / REPLACE / Goldsmith, Ann|JONES, BO|O'BRIEN, PAT|OBRIEN, SAM|SMYTH, JO / 5/0"_s);

    // A quote is safe, alone too and inside the widened pattern; _ and % are wildcards.
    search(env, u"o'brien"_s);
    QCOMPARE(env.names(), u"O'BRIEN, PAT"_s);
    AppFixture::choose(env.modeBox(), 1);
    search(env, u"'"_s);
    QCOMPARE(env.names(), u"O'BRIEN, PAT"_s);
    AppFixture::choose(env.modeBox(), 0);
    search(env, u"SM_TH"_s);
    QCOMPARE(env.names(), u"Goldsmith, Ann|SMITH, JOHN|SMYTH, JO"_s);
    search(env, u"O%BRIEN"_s);
    QCOMPARE(env.names(), u"O'BRIEN, PAT|OBRIEN, SAM"_s);
    QVERIFY(env.errorLocations().isEmpty() && env.idle());
}

// A court list as it arrives, in Windows-1252, imported at start-up, searched and sorted by a user.
void TestFindName::everyLetterOfAWindows1252ListIgnoresCase() {
    AppFixture env;
    QByteArray lines;
    int street = 0;
    for (const char* name : {"ZED, AL", "\xD6KONOMOU, ELENI", "M\xDCLLER, HANS", "OKAFOR, ADA",
                             "m\xFCller, eva", "\xC9MILE, ZO\xCB", "MULLER, JO", "OLSEN, OLE"})
        lines += QByteArray("C1,\"") + name + "\"," + QByteArray::number(++street) +
                 " MAIN ST,\"MIAMI, FL\",33101,03/01/26,00/00/00,\r\n";
    QFile file(env.folders().dataFolder + "03052026.lst");
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size());
    file.close();
    ProgressWindow progress;
    QVERIFY(scanAndImport(env.context, progress).empty());
    env.open();

    search(env, u"müller"_s);
    QCOMPARE(env.names(), u"MÜLLER, HANS|müller, eva"_s);
    search(env, u"é"_s);
    QCOMPARE(env.names(), u"ÉMILE, ZOË"_s);
    search(env, u"ökonomou, e"_s);
    QCOMPARE(env.names(), u"ÖKONOMOU, ELENI"_s);

    AppFixture::choose(env.datesBox(), 1);
    QTest::mouseClick(env.header(1), Qt::LeftButton);
    QCOMPARE(
        env.names(),
        u"ÉMILE, ZOË|müller, eva|MÜLLER, HANS|MULLER, JO|OKAFOR, ADA|ÖKONOMOU, ELENI|OLSEN, OLE|ZED, AL"_s);
    QVERIFY(env.errorLocations().isEmpty() && env.idle());
}

QTEST_MAIN(TestFindName)
#include "tst_findname.moc"
