// What the name list shows and how names are chosen: the source dates in REPLACE and ADD mode, the
// display filters, the header sort with its per-header direction, failing queries, and selecting and
// deleting names on an empty list and on one longer than the old 32,767-row limit.
#include "tests/leads/LeadsEnv.h"

class TestNameList : public QObject {
    Q_OBJECT
private slots:
    void sourceDatesReplaceOrAdd();
    void displayFiltersAndHeaderSort();
    void failingQueryIsReportedAndWindowStaysUsable();
    void selectAllAndClearOnAnEmptyList();
    void selectClearAndDeletePast32767Rows();
};

namespace {
// `count` leads "NAME i" at "00000i MAIN ST" in a new data file, added in one statement.
int fileWithLeads(int count) {
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    DbConnection->execute(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO [Names] "
        "(DataFile_ID, Court_ID, Name, Street, City, State, Zip, Printed, Followed) SELECT %2, 'C', "
        "'NAME ' || i, substr('000000' || i, -6) || ' MAIN ST', 'MIAMI', 'FL', '33101', 0, 0 FROM n"_s
            .arg(count)
            .arg(file));
    return file;
}
} // namespace

void TestNameList::sourceDatesReplaceOrAdd() {
    LeadsEnv env;
    const int c = LeadsEnv::addDataFile(QDate(2013, 1, 1));
    const int b = LeadsEnv::addDataFile(QDate(2013, 2, 1));
    const int a = LeadsEnv::addDataFile(QDate(2013, 3, 1));
    LeadsEnv::addLead(a, u"A1"_s, u"1 A ST"_s);
    LeadsEnv::addLead(b, u"B2"_s, u"2 B ST"_s);
    LeadsEnv::addLead(b, u"B1"_s, u"1 B ST"_s);
    LeadsEnv::addLead(c, u"C1"_s, u"1 C ST"_s);
    frmMain& w = env.open();
    LeadsEnv::choose(w.cmbDates, 0); // REPLACE on the only marked date: same list
    QCOMPARE(env.view(), u">* March 1, 2013|February 1, 2013|January 1, 2013 / REPLACE / A1 / 1/0"_s);
    LeadsEnv::choose(w.cmbMode, 1); // changing the mode does nothing by itself
    QCOMPARE(env.view(), u">* March 1, 2013|February 1, 2013|January 1, 2013 / ADD / A1 / 1/0"_s);
    LeadsEnv::choose(w.cmbDates, 1); // ADD: A and B both marked, both listed by street
    QCOMPARE(env.view(), u"* March 1, 2013|>* February 1, 2013|January 1, 2013 / ADD / A1|B1|B2 / 3/0"_s);
    // Choosing A again only brings the box back to B: no rebuild.
    LeadsEnv::clickRow(w.lstNames, 1);
    LeadsEnv::choose(w.cmbDates, 0);
    QCOMPARE(env.view(), u"* March 1, 2013|>* February 1, 2013|January 1, 2013 / ADD / A1|B1|B2 / 3/1"_s);
    QVERIFY(w.lstNames->isSelected(1));
    LeadsEnv::choose(w.cmbMode, 0); // REPLACE and C: only C
    LeadsEnv::choose(w.cmbDates, 2);
    QCOMPARE(env.view(), u"March 1, 2013|February 1, 2013|>* January 1, 2013 / REPLACE / C1 / 1/0"_s);
    QVERIFY(env.idle());
}

void TestNameList::displayFiltersAndHeaderSort() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    // Stored order: ids rise down this list.
    LeadsEnv::addLead(file, {.court = "K2", .name = "bravo", .street = "3 C ST", .city = "TAMPA"});
    LeadsEnv::addLead(file, {.court = "K3", .name = "ALPHA", .street = "1 A ST", .printed = true});
    LeadsEnv::addLead(file, {.court = "K1", .name = "Charlie", .street = "2 B ST"});
    LeadsEnv::addLead(file, {"K4", "DELTA", "4 D ST", "ALTAMONTE", "FL", "33101", "(305) 555-0100",
                             QDate(2013, 3, 1), QDate(2013, 3, 4), true, true});
    frmMain& w = env.open();
    auto display = [&](int index) {
        LeadsEnv::choose(w.cmbDisplay, index);
        return env.names() + u" / "_s + env.counters();
    };
    QCOMPARE(display(1), u"Charlie|bravo / 2/0"_s); // NOTE PRINTED
    QCOMPARE(display(2), u"ALPHA / 1/0"_s);         // PRINTED ONLY hides the followed
    // Choosing the display already applied does not rebuild: the selection survives.
    LeadsEnv::clickRow(w.lstNames, 0);
    QCOMPARE(display(2), u"ALPHA / 1/1"_s);
    QVERIFY(w.lstNames->isSelected(0) && w.cmdSel[0]->isEnabled());
    // A rebuild drops the selection and the buttons that need one; Preview keeps its state.
    w.cmdPrint[1]->setEnabled(true);
    QCOMPARE(display(0), u"ALPHA|Charlie|bravo|DELTA / 4/0"_s);
    QCOMPARE(w.lstNames->selectedCount(), 0);
    QVERIFY(!w.cmdSel[0]->isEnabled() && !w.cmdPrint[0]->isEnabled() && !w.cmdPrint[2]->isEnabled());
    QVERIFY(w.cmdPrint[1]->isEnabled());

    // Clicks a header; returns the sort clause, the headers underlined and the names listed.
    auto click = [&](size_t header) {
        QTest::mouseClick(w.cmdSort[header], Qt::LeftButton);
        QString underlined;
        for (size_t i = 0; i < w.cmdSort.size(); ++i)
            if (w.cmdSort[i]->font().underline())
                underlined += u' ' + QString::number(i);
        return Tag(w.lstNames) + underlined + u" : "_s + env.names();
    };
    // The first click on Court reverses the remembered header: descending, nothing underlined.
    QCOMPARE(click(0), u"Court_ID DESC : DELTA|ALPHA|bravo|Charlie"_s);
    QCOMPARE(QApplication::focusWidget(), w.lstNames);
    // Name twice: ascending (case ignored), then descending; after Street, Name keeps descending.
    QCOMPARE(click(1), u"Name ASC 1 : ALPHA|bravo|Charlie|DELTA"_s);
    QCOMPARE(click(1), u"Name DESC 1 : DELTA|Charlie|bravo|ALPHA"_s);
    QCOMPARE(click(2), u"Street ASC 2 : ALPHA|Charlie|bravo|DELTA"_s);
    QCOMPARE(click(1), u"Name DESC 1 : DELTA|Charlie|bravo|ALPHA"_s);
    // City, State sorts by city only; the two MIAMI rows keep database order.
    QCOMPARE(click(3), u"City ASC 3 : DELTA|ALPHA|Charlie|bravo"_s);
    // P ascending lists the printed names first (yes is stored as -1).
    const QString printed = click(8);
    QVERIFY2(printed.startsWith(u"Printed ASC 8 : ALPHA|DELTA|"_s) ||
                 printed.startsWith(u"Printed ASC 8 : DELTA|ALPHA|"_s),
             qPrintable(printed));
    QVERIFY(env.idle());
}

void TestNameList::failingQueryIsReportedAndWindowStaysUsable() {
    LeadsEnv env;
    const int older = LeadsEnv::addDataFile(QDate(2013, 2, 1));
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    LeadsEnv::addLead(file, u"A"_s, u"1 ST"_s);
    LeadsEnv::addLead(older, u"OLD"_s);
    frmMain& w = env.open();
    auto reported = [&](int count) {
        return env.errorLocations() == QStringList(count, u"Form Main: Sub FillNames"_s) && env.idle();
    };
    // A sort clause the database rejects; a header click sets a good one again.
    SetTag(w.lstNames, u"NoSuchColumn ASC"_s);
    LeadsEnv::choose(w.cmbDisplay, 1);
    QVERIFY(reported(1));
    QCOMPARE(env.view(), u">* March 5, 2013|February 1, 2013 / REPLACE /  / 0/0"_s);
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(env.names(), u"A"_s);

    // A Null name part way through: the rows before it stay, the counters stay 0.
    LeadsEnv::addLead(file, {.name = {}, .street = "ZZ ST"});
    LeadsEnv::addLead(file, u"B"_s, u"2 ST"_s);
    QTest::mouseClick(w.cmdSort[2], Qt::LeftButton); // Street ASC: A, B, then the Null name
    QVERIFY(reported(2));
    QVERIFY(env.answers.messages.back().text.contains(u"94"_s));
    QCOMPARE(env.view(), u">* March 5, 2013|February 1, 2013 / REPLACE / A|B / 0/0"_s);

    // The table gone: choosing a date reports it; the date is still marked and the window usable.
    DbConnection->execute(u"DROP TABLE [Names]"_s);
    LeadsEnv::choose(w.cmbDates, 1);
    QVERIFY(reported(3));
    QCOMPARE(env.view(), u"March 5, 2013|>* February 1, 2013 / REPLACE /  / 0/0"_s);
    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(env.counters(), u"0/0"_s);
}

void TestNameList::selectAllAndClearOnAnEmptyList() {
    LeadsEnv env;
    LeadsEnv::addDataFile(QDate(2013, 3, 5));
    frmMain& w = env.open();
    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(env.counters(), u"0/0"_s);
    QVERIFY(!w.cmdSel[0]->isEnabled() && !w.cmdPrint[0]->isEnabled());
    QTest::mouseClick(w.cmdSel[2], Qt::LeftButton);
    QVERIFY(env.counters() == u"0/0"_s && env.errorLocations().isEmpty());
}

void TestNameList::selectClearAndDeletePast32767Rows() {
    LeadsEnv env;
    const int file = fileWithLeads(32768);
    LeadsEnv::addLead(LeadsEnv::addDataFile(QDate(2012, 1, 1)), u"ELSEWHERE"_s);
    frmMain& w = env.open();
    QVERIFY(w.lstNames->text(32767).contains(u"032768 MAIN ST"_s));
    auto namesInDatabase = [] { return LeadsEnv::scalar(u"SELECT COUNT(*) FROM [Names]"_s); };
    auto click = [&](int row, Qt::KeyboardModifiers modifiers = {}) {
        LeadsEnv::clickRow(w.lstNames, row, modifiers);
        return env.counters();
    };
    auto press = [&](int button, platform::Button answer = platform::Yes) {
        if (button == 0) // Delete asks first
            env.answers.setNextAnswer(answer);
        QTest::mouseClick(w.cmdSel[static_cast<size_t>(button)], Qt::LeftButton);
        return env.counters();
    };
    QCOMPARE(click(2), u"32768/1"_s);
    QVERIFY(w.cmdSel[0]->isEnabled() && w.cmdPrint[0]->isEnabled());
    QCOMPARE(click(6, Qt::ShiftModifier), u"32768/5"_s);
    QCOMPARE(click(4, Qt::ControlModifier), u"32768/4"_s);
    QCOMPARE(w.lstNames->selectedRows(), (std::vector<int>{2, 3, 5, 6}));
    QCOMPARE(click(9), u"32768/1"_s);
    QCOMPARE(press(1), u"32768/32768"_s); // Select All
    QCOMPARE(w.lstNames->selectedCount(), 32768);
    QVERIFY(w.cmdSel[0]->isEnabled() && w.cmdPrint[0]->isEnabled());
    QVERIFY(!w.cmdPrint[2]->isEnabled()); // Print also needs a template and a contact
    QVERIFY(w.bEnableClicks && env.idle());
    QCOMPARE(press(2), u"32768/0"_s); // Clear
    QCOMPARE(w.lstNames->selectedCount(), 0);
    QVERIFY(!w.cmdSel[0]->isEnabled() && !w.cmdPrint[0]->isEnabled());

    // Delete declined: nothing changes; the question as the user sees it.
    const QList<int> before = env.ids().mid(0, 6);
    click(1);
    QCOMPARE(click(4, Qt::ControlModifier), u"32768/2"_s);
    QCOMPARE(press(0, platform::No), u"32768/2"_s);
    QCOMPARE(env.answers.messages.size(), size_t(1));
    const platform::Message& question = env.answers.messages.front();
    QCOMPARE(question.title + u": "_s + question.text,
             u"Confirm Delete: Are you sure you want to delete the selected Names?\r\n\r\n"
             "This action cannot be undone."_s);
    QVERIFY(question.icon == platform::Icon::Exclamation && question.buttons == platform::Buttons::YesNo &&
            question.defaultButton == platform::Yes);
    QCOMPARE(env.ids().mid(0, 6), before);
    QCOMPARE(namesInDatabase(), 32769);

    // Accepted: exactly the selected names go, from the list and the database.
    QCOMPARE(press(0), u"32766/0"_s);
    QCOMPARE(env.ids().mid(0, 4), (QList<int>{before[0], before[2], before[3], before[5]}));
    QVERIFY(!w.cmdSel[0]->isEnabled() && !w.cmdPrint[0]->isEnabled() && !w.cmdPrint[2]->isEnabled());
    QCOMPARE(namesInDatabase(), 32767);
    QCOMPARE(LeadsEnv::scalar(
                 u"SELECT COUNT(*) FROM [Names] WHERE ID IN (%1, %2)"_s.arg(before[1]).arg(before[4])),
             0);
    QCOMPARE(LeadsEnv::scalar(u"SELECT COUNT(*) FROM DataFiles WHERE ID = %1"_s.arg(file)), 1);
    QVERIFY(env.errorLocations().isEmpty());

    // A delete the database refuses: reported, and list, selection and counters unchanged.
    DbConnection->execute(
        u"CREATE TRIGGER keep BEFORE DELETE ON Names BEGIN SELECT RAISE(ABORT, 'kept'); END"_s);
    click(0);
    click(3, Qt::ControlModifier);
    const QList<int> kept = env.ids();
    QCOMPARE(press(0), u"32766/2"_s);
    QCOMPARE(env.errorLocations(), QStringList{u"Form Main: Sub cmdSel_Click"_s});
    QCOMPARE(env.ids(), kept);
    QVERIFY(w.lstNames->isSelected(0) && w.lstNames->isSelected(3) && w.cmdSel[0]->isEnabled());
    QVERIFY(env.idle() && namesInDatabase() == 32767);

    // Without the trigger: all but the last row (reached by the user) deleted; a rebuild agrees.
    DbConnection->execute(u"DROP TRIGGER keep"_s);
    press(1);
    QCOMPARE(click(32765, Qt::ControlModifier), u"32766/32765"_s);
    QCOMPARE(press(0), u"1/0"_s);
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(env.names(), u"NAME 32768"_s);
    QCOMPARE(namesInDatabase(), 2);
}

QTEST_MAIN(TestNameList)
#include "tst_namelist.moc"
