// What the name list shows and how names are chosen: the source dates in REPLACE and ADD mode, the
// display filters, the header sort with its per-header direction, failing queries, and selecting,
// scrolling and deleting names on an empty list, on one longer than the old 32,767-row limit and under a
// display filter.
#include "leads/LeadListModel.h"
#include "leads/LeadListPanel.h"
#include "tests/support/AppFixture.h"

#include <QScrollBar>

class TestNameList : public QObject {
    Q_OBJECT
private slots:
    void sourceDatesReplaceOrAdd();
    void displayFiltersAndHeaderSort();
    void failingQueryIsReportedAndWindowStaysUsable();
    void selectAllAndClearOnAnEmptyList();
    void selectClearAndDeletePast32767Rows();
    void selectAllThenDeleteRemovesWhatIsShown();
};

namespace {
// `count` leads "NAME i" at "00000i MAIN ST" in a new data file, added in one statement.
int fileWithLeads(AppFixture& env, int count) {
    const int file = env.addDataFile(QDate(2013, 3, 5));
    env.connection().execute(
        u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO [Names] "
        "(DataFile_ID, Court_ID, Name, Street, City, State, Zip, Printed, Followed) SELECT %2, 'C', "
        "'NAME ' || i, substr('000000' || i, -6) || ' MAIN ST', 'MIAMI', 'FL', '33101', 0, 0 FROM n"_s
            .arg(count)
            .arg(file));
    return file;
}
} // namespace

void TestNameList::sourceDatesReplaceOrAdd() {
    AppFixture env;
    const int c = env.addDataFile(QDate(2013, 1, 1));
    const int b = env.addDataFile(QDate(2013, 2, 1));
    const int a = env.addDataFile(QDate(2013, 3, 1));
    env.addLead(a, u"A1"_s, u"1 A ST"_s);
    env.addLead(b, u"B2"_s, u"2 B ST"_s);
    env.addLead(b, u"B1"_s, u"1 B ST"_s);
    env.addLead(c, u"C1"_s, u"1 C ST"_s);
    env.open();
    AppFixture::choose(env.datesBox(), 0); // REPLACE on the only marked date: same list
    QCOMPARE(env.view(), u">* March 1, 2013|February 1, 2013|January 1, 2013 / REPLACE / A1 / 1/0"_s);
    AppFixture::choose(env.modeBox(), 1); // changing the mode does nothing by itself
    QCOMPARE(env.view(), u">* March 1, 2013|February 1, 2013|January 1, 2013 / ADD / A1 / 1/0"_s);
    AppFixture::choose(env.datesBox(), 1); // ADD: A and B both marked, both listed by street
    QCOMPARE(env.view(), u"* March 1, 2013|>* February 1, 2013|January 1, 2013 / ADD / A1|B1|B2 / 3/0"_s);
    // Choosing A again only brings the box back to B: no rebuild.
    AppFixture::clickRow(env.namesView(), 1);
    AppFixture::choose(env.datesBox(), 0);
    QCOMPARE(env.view(), u"* March 1, 2013|>* February 1, 2013|January 1, 2013 / ADD / A1|B1|B2 / 3/1"_s);
    QVERIFY(env.namesView()->isSelected(1));
    AppFixture::choose(env.modeBox(), 0); // REPLACE and C: only C
    AppFixture::choose(env.datesBox(), 2);
    QCOMPARE(env.view(), u"March 1, 2013|February 1, 2013|>* January 1, 2013 / REPLACE / C1 / 1/0"_s);
    QVERIFY(env.idle());
}

void TestNameList::displayFiltersAndHeaderSort() {
    AppFixture env;
    const int file = env.addDataFile(QDate(2013, 3, 5));
    // Stored order: ids rise down this list.
    env.addLead(file, {.court = "K2", .name = "bravo", .street = "3 C ST", .city = "TAMPA"});
    env.addLead(file, {.court = "K3", .name = "ALPHA", .street = "1 A ST", .printed = true});
    env.addLead(file, {.court = "K1", .name = "Charlie", .street = "2 B ST"});
    env.addLead(file, {"K4", "DELTA", "4 D ST", "ALTAMONTE", "FL", "33101", "(305) 555-0100",
                       QDate(2013, 3, 1), QDate(2013, 3, 4), true, true});
    AppFixture::writeFile(env.folders().initialsFolder + u"Welcome.dot"_s);
    env.open();
    auto display = [&](int index) {
        AppFixture::choose(env.displayBox(), index);
        return env.names() + u" / "_s + env.counters();
    };
    QCOMPARE(display(1), u"Charlie|bravo / 2/0"_s); // NOTE PRINTED
    QCOMPARE(display(2), u"ALPHA / 1/0"_s);         // PRINTED ONLY hides the followed
    // Choosing the display already applied does not rebuild: the selection survives.
    AppFixture::clickRow(env.namesView(), 0);
    QCOMPARE(display(2), u"ALPHA / 1/1"_s);
    QVERIFY(env.namesView()->isSelected(0) && env.deleteButton()->isEnabled());
    // A rebuild drops the selection and the buttons that need one; Preview keeps its template.
    env.templateList()->setCurrentRow(0);
    QCOMPARE(display(0), u"ALPHA|Charlie|bravo|DELTA / 4/0"_s);
    QCOMPARE(env.namesView()->selectedCount(), 0);
    QVERIFY(!env.deleteButton()->isEnabled() && !env.printCallButton()->isEnabled() &&
            !env.printButton()->isEnabled());
    QVERIFY(env.previewButton()->isEnabled());

    // Clicks a header; returns the order, the headers underlined and the names listed.
    auto click = [&](size_t header) {
        QTest::mouseClick(env.header(header), Qt::LeftButton);
        QString underlined;
        for (size_t i = 0; i < env.headers().size(); ++i)
            if (env.header(i)->font().underline())
                underlined += u' ' + QString::number(i);
        return env.window->leadListPanel().sortOrder().clause() + underlined + u" : "_s + env.names();
    };
    // The first click on Court reverses the remembered header: descending, nothing underlined.
    QCOMPARE(click(0), u"Court_ID DESC : DELTA|ALPHA|bravo|Charlie"_s);
    QCOMPARE(QApplication::focusWidget(), env.namesView());
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
    AppFixture env;
    const int older = env.addDataFile(QDate(2013, 2, 1));
    const int file = env.addDataFile(QDate(2013, 3, 5));
    env.addLead(file, u"A"_s, u"1 ST"_s);
    env.addLead(older, u"OLD"_s);
    env.open();
    auto reported = [&](int count) {
        return env.errorLocations() == QStringList(count, u"Form Main: Sub FillNames"_s) && env.idle();
    };
    // A query the database rejects (its table gone); once the table is back, a header click lists again.
    env.sql(u"ALTER TABLE [Names] RENAME TO Gone"_s);
    AppFixture::choose(env.displayBox(), 1);
    QVERIFY(reported(1));
    QCOMPARE(env.view(), u">* March 5, 2013|February 1, 2013 / REPLACE /  / 0/0"_s);
    env.sql(u"ALTER TABLE Gone RENAME TO [Names]"_s);
    QTest::mouseClick(env.header(1), Qt::LeftButton);
    QCOMPARE(env.names(), u"A"_s);

    // A Null name part way through: the rows before it stay, the counters stay 0.
    env.addLead(file, {.name = {}, .street = "ZZ ST"});
    env.addLead(file, u"B"_s, u"2 ST"_s);
    QTest::mouseClick(env.header(2), Qt::LeftButton); // Street ASC: A, B, then the Null name
    QVERIFY(reported(2));
    QVERIFY(env.answers.messages.back().text.contains(u"94"_s));
    QCOMPARE(env.view(), u">* March 5, 2013|February 1, 2013 / REPLACE / A|B / 0/0"_s);

    // The table gone: choosing a date reports it; the date is still marked and the window usable.
    env.connection().execute(u"DROP TABLE [Names]"_s);
    AppFixture::choose(env.datesBox(), 1);
    QVERIFY(reported(3));
    QCOMPARE(env.view(), u"March 5, 2013|>* February 1, 2013 / REPLACE /  / 0/0"_s);
    QTest::mouseClick(env.selectAllButton(), Qt::LeftButton);
    QCOMPARE(env.counters(), u"0/0"_s);
}

void TestNameList::selectAllAndClearOnAnEmptyList() {
    AppFixture env;
    env.addDataFile(QDate(2013, 3, 5));
    env.open();
    QTest::mouseClick(env.selectAllButton(), Qt::LeftButton);
    QCOMPARE(env.counters(), u"0/0"_s);
    QVERIFY(!env.deleteButton()->isEnabled() && !env.printCallButton()->isEnabled());
    QTest::mouseClick(env.clearButton(), Qt::LeftButton);
    QVERIFY(env.counters() == u"0/0"_s && env.errorLocations().isEmpty());
}

void TestNameList::selectClearAndDeletePast32767Rows() {
    AppFixture env;
    const int file = fileWithLeads(env, 32768);
    env.addLead(env.addDataFile(QDate(2012, 1, 1)), u"ELSEWHERE"_s);
    env.open();
    NameList* list = env.namesView();
    // Only the rows shown have been read; scrolling to the end shows the last name.
    QVERIFY(list->leadModel()->rowsRead() <= 2 * LeadListModel::BatchRows);
    auto onScreen = [list](int row) {
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        return rect.top() >= 0 && rect.bottom() < list->viewport()->height();
    };
    auto scrollTo = [list](int value) {
        list->verticalScrollBar()->setValue(value);
        list->viewport()->repaint();
    };
    QVERIFY(onScreen(0) && !onScreen(32767));
    scrollTo(list->verticalScrollBar()->maximum());
    QVERIFY(onScreen(32767) && !onScreen(0));
    QVERIFY(list->text(32767).contains(u"\tNAME 32768\t032768 MAIN ST\t"_s));
    QVERIFY(list->leadModel()->rowsRead() <= 4 * LeadListModel::BatchRows);
    scrollTo(0);
    auto namesInDatabase = [&] { return env.scalar(u"SELECT COUNT(*) FROM [Names]"_s); };
    auto click = [&](int row, Qt::KeyboardModifiers modifiers = {}) {
        AppFixture::clickRow(env.namesView(), row, modifiers);
        return env.counters();
    };
    // Presses Delete (0), Select All (1) or Clear (2).
    auto press = [&](int button, platform::Button answer = platform::Yes) {
        if (button == 0) // Delete asks first
            env.answers.setNextAnswer(answer);
        const std::array<QPushButton*, 3> buttons{env.deleteButton(), env.selectAllButton(),
                                                  env.clearButton()};
        QTest::mouseClick(buttons[static_cast<size_t>(button)], Qt::LeftButton);
        return env.counters();
    };
    QCOMPARE(click(2), u"32768/1"_s);
    QVERIFY(env.deleteButton()->isEnabled() && env.printCallButton()->isEnabled());
    QCOMPARE(click(6, Qt::ShiftModifier), u"32768/5"_s);
    QCOMPARE(click(4, Qt::ControlModifier), u"32768/4"_s);
    QCOMPARE(env.namesView()->selectedRows(), (std::vector<int>{2, 3, 5, 6}));
    // The selection stays while the list scrolls away from it and back.
    scrollTo(list->verticalScrollBar()->maximum() / 2);
    scrollTo(list->verticalScrollBar()->maximum());
    scrollTo(0);
    QCOMPARE(env.namesView()->selectedRows(), (std::vector<int>{2, 3, 5, 6}));
    QCOMPARE(env.counters(), u"32768/4"_s);
    QCOMPARE(click(9), u"32768/1"_s);
    QCOMPARE(press(1), u"32768/32768"_s); // Select All
    QCOMPARE(env.namesView()->selectedCount(), 32768);
    QVERIFY(env.deleteButton()->isEnabled() && env.printCallButton()->isEnabled());
    QVERIFY(!env.printButton()->isEnabled()); // Print also needs a template and a contact
    QVERIFY(env.idle());
    QCOMPARE(press(2), u"32768/0"_s); // Clear
    QCOMPARE(env.namesView()->selectedCount(), 0);
    QVERIFY(!env.deleteButton()->isEnabled() && !env.printCallButton()->isEnabled());

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
    QVERIFY(!env.deleteButton()->isEnabled() && !env.printCallButton()->isEnabled() &&
            !env.printButton()->isEnabled());
    QCOMPARE(namesInDatabase(), 32767);
    QCOMPARE(env.scalar(u"SELECT COUNT(*) FROM [Names] WHERE ID IN (%1, %2)"_s.arg(before[1]).arg(before[4])),
             0);
    QCOMPARE(env.scalar(u"SELECT COUNT(*) FROM DataFiles WHERE ID = %1"_s.arg(file)), 1);
    QVERIFY(env.errorLocations().isEmpty());

    // A delete the database refuses: reported, and list, selection and counters unchanged.
    env.connection().execute(
        u"CREATE TRIGGER keep BEFORE DELETE ON Names BEGIN SELECT RAISE(ABORT, 'kept'); END"_s);
    click(0);
    click(3, Qt::ControlModifier);
    const QList<int> kept = env.ids();
    QCOMPARE(press(0), u"32766/2"_s);
    QCOMPARE(env.errorLocations(), QStringList{u"Form Main: Sub cmdSel_Click"_s});
    QCOMPARE(env.ids(), kept);
    QVERIFY(env.namesView()->isSelected(0) && env.namesView()->isSelected(3) &&
            env.deleteButton()->isEnabled());
    QVERIFY(env.idle() && namesInDatabase() == 32767);

    // Without the trigger: all but the last row (reached by the user) deleted; a rebuild agrees.
    env.connection().execute(u"DROP TRIGGER keep"_s);
    press(1);
    QCOMPARE(click(32765, Qt::ControlModifier), u"32766/32765"_s);
    QCOMPARE(press(0), u"1/0"_s);
    QTest::mouseClick(env.header(1), Qt::LeftButton);
    QCOMPARE(env.names(), u"NAME 32768"_s);
    QCOMPARE(namesInDatabase(), 2);
}

// Under NOTE PRINTED, Select All and Delete remove exactly the names shown: the printed names of the
// date and the names of another date stay.
void TestNameList::selectAllThenDeleteRemovesWhatIsShown() {
    AppFixture env;
    const int file = fileWithLeads(env, 3000);
    env.connection().execute(u"UPDATE [Names] SET Printed = -1 WHERE ID % 7 = 0"_s);
    env.addLead(env.addDataFile(QDate(2012, 1, 1)), u"ELSEWHERE"_s);
    const int printed = env.scalar(u"SELECT COUNT(*) FROM [Names] WHERE Printed"_s);
    env.open();
    AppFixture::choose(env.displayBox(), 1); // NOTE PRINTED
    QCOMPARE(env.counters(), u"%1/0"_s.arg(3000 - printed));
    QTest::mouseClick(env.selectAllButton(), Qt::LeftButton);
    QCOMPARE(env.counters(), u"%1/%1"_s.arg(3000 - printed));
    env.answers.setNextAnswer(platform::Yes);
    QTest::mouseClick(env.deleteButton(), Qt::LeftButton);
    QCOMPARE(env.counters(), u"0/0"_s);
    QCOMPARE(env.scalar(u"SELECT COUNT(*) FROM [Names] WHERE DataFile_ID = %1 AND Printed"_s.arg(file)),
             printed);
    QCOMPARE(env.scalar(u"SELECT COUNT(*) FROM [Names]"_s), printed + 1);
    AppFixture::choose(env.displayBox(), 0); // ALL NAMES
    QCOMPARE(env.counters(), u"%1/0"_s.arg(printed));
    QVERIFY(env.errorLocations().isEmpty());
}

QTEST_MAIN(TestNameList)
#include "tst_namelist.moc"
