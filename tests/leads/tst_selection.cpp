// Selecting names with the mouse, Select All, Clear and Delete, and a list longer than the old
// 32,767-row limit.
#include "tests/leads/LeadsEnv.h"

class TestSelection : public QObject {
    Q_OBJECT
private slots:
    void clicksSelectAllAndClearDriveCountersAndButtons();
    void selectAllOnEmptyList();
    void deleteDeclinedAndAccepted();
    void failedDeleteKeepsListAndCounters();
    void listIsNotLimitedTo32767Rows();
};

namespace {
int fileWithLeads(int count) {
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    DbConnection->execute(
        QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ") +
        QString::number(count) +
        QStringLiteral(") INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, "
                       "Zip, Printed, Followed) SELECT ") +
        QString::number(file) +
        QStringLiteral(", 'C', 'NAME ' || i, substr('000000' || i, -6) || ' MAIN ST', 'MIAMI', "
                       "'FL', '33101', 0, 0 FROM n"));
    return file;
}
} // namespace

void TestSelection::clicksSelectAllAndClearDriveCountersAndButtons() {
    LeadsEnv env;
    fileWithLeads(500);
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 500);
    QCOMPARE(w.lblAvail->text(), QStringLiteral("500"));

    LeadsEnv::clickRow(w.lstNames, 2);
    QCOMPARE(w.lblSel->text(), QStringLiteral("1"));
    QVERIFY(w.cmdSel[0]->isEnabled());
    QVERIFY(w.cmdPrint[0]->isEnabled());
    LeadsEnv::clickRow(w.lstNames, 6, Qt::ShiftModifier);
    QCOMPARE(w.lblSel->text(), QStringLiteral("5")); // 2..6
    LeadsEnv::clickRow(w.lstNames, 4, Qt::ControlModifier);
    QCOMPARE(w.lblSel->text(), QStringLiteral("4"));
    QVERIFY(!w.lstNames->isSelected(4));
    QVERIFY(w.lstNames->isSelected(6));
    QCOMPARE(w.lstNames->selectedRows(), (std::vector<int>{2, 3, 5, 6}));
    LeadsEnv::clickRow(w.lstNames, 9);
    QCOMPARE(w.lblSel->text(), QStringLiteral("1"));

    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("500"));
    QCOMPARE(w.lstNames->selectedCount(), 500);
    QVERIFY(w.lstNames->isSelected(0) && w.lstNames->isSelected(499));
    QVERIFY(w.cmdSel[0]->isEnabled());
    QVERIFY(w.cmdPrint[0]->isEnabled());
    QVERIFY(w.bEnableClicks);
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // Print also needs a template and a contact.
    QVERIFY(!w.cmdPrint[2]->isEnabled());

    QTest::mouseClick(w.cmdSel[2], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    QCOMPARE(w.lstNames->selectedCount(), 0);
    QVERIFY(!w.cmdSel[0]->isEnabled());
    QVERIFY(!w.cmdPrint[0]->isEnabled());
    QCOMPARE(w.lstNames->count(), 500);
}

void TestSelection::selectAllOnEmptyList() {
    LeadsEnv env;
    LeadsEnv::addDataFile(QDate(2013, 3, 5));
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 0);
    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    QVERIFY(!w.cmdSel[0]->isEnabled());
    QVERIFY(!w.cmdPrint[0]->isEnabled());
    QTest::mouseClick(w.cmdSel[2], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    QVERIFY(env.errorLocations().isEmpty());
}

void TestSelection::deleteDeclinedAndAccepted() {
    LeadsEnv env;
    const int file = fileWithLeads(6);
    const int other = LeadsEnv::addDataFile(QDate(2012, 1, 1));
    LeadsEnv::addLead(other, QStringLiteral("ELSEWHERE"));
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 6);
    const QList<int> before = env.ids();

    LeadsEnv::clickRow(w.lstNames, 1);
    LeadsEnv::clickRow(w.lstNames, 4, Qt::ControlModifier);
    env.answers.setNextAnswer(platform::No);
    QTest::mouseClick(w.cmdSel[0], Qt::LeftButton);
    QCOMPARE(env.answers.messages.size(), size_t(1));
    const platform::Message& question = env.answers.messages.front();
    QCOMPARE(question.title, QStringLiteral("Confirm Delete"));
    QCOMPARE(question.text,
             QStringLiteral(
                 "Are you sure you want to delete the selected Names?\r\n\r\nThis action cannot be undone."));
    QCOMPARE(question.icon, platform::Icon::Exclamation);
    QCOMPARE(question.buttons, platform::Buttons::YesNo);
    QCOMPARE(question.defaultButton, platform::Yes);
    QCOMPARE(env.ids(), before);
    QCOMPARE(w.lblSel->text(), QStringLiteral("2"));
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 7);

    env.answers.setNextAnswer(platform::Yes);
    QTest::mouseClick(w.cmdSel[0], Qt::LeftButton);
    QCOMPARE(env.ids(), (QList<int>{before[0], before[2], before[3], before[5]}));
    QCOMPARE(w.lblAvail->text(), QStringLiteral("4"));
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    QVERIFY(!w.cmdSel[0]->isEnabled());
    QVERIFY(!w.cmdPrint[0]->isEnabled());
    QVERIFY(!w.cmdPrint[2]->isEnabled());
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 5);
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM [Names] WHERE ID IN (") +
                              QString::number(before[1]) + QLatin1Char(',') + QString::number(before[4]) +
                              QLatin1Char(')')),
             0);
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM DataFiles WHERE ID = ") +
                              QString::number(file)),
             1);
    QVERIFY(env.errorLocations().isEmpty());

    // A rebuild agrees with what is left.
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(w.lstNames->count(), 4);
}

void TestSelection::failedDeleteKeepsListAndCounters() {
    LeadsEnv env;
    fileWithLeads(5);
    frmMain& w = env.open();
    DbConnection->execute(QStringLiteral(
        "CREATE TRIGGER keep_names BEFORE DELETE ON Names BEGIN SELECT RAISE(ABORT, 'names are kept'); END"));
    LeadsEnv::clickRow(w.lstNames, 0);
    LeadsEnv::clickRow(w.lstNames, 3, Qt::ControlModifier);
    const QList<int> before = env.ids();
    env.answers.setNextAnswer(platform::Yes);
    QTest::mouseClick(w.cmdSel[0], Qt::LeftButton);
    QCOMPARE(env.errorLocations(), QStringList{QStringLiteral("Form Main: Sub cmdSel_Click")});
    QCOMPARE(env.ids(), before);
    QCOMPARE(w.lblAvail->text(), QStringLiteral("5"));
    QCOMPARE(w.lblSel->text(), QStringLiteral("2"));
    QVERIFY(w.lstNames->isSelected(0) && w.lstNames->isSelected(3));
    QVERIFY(w.cmdSel[0]->isEnabled());
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 5);
}

void TestSelection::listIsNotLimitedTo32767Rows() {
    LeadsEnv env;
    fileWithLeads(40000);
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 40000);
    QCOMPARE(w.lblAvail->text(), QStringLiteral("40000"));
    QVERIFY(w.lstNames->text(39999).contains(QStringLiteral("040000 MAIN ST")));
    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("40000"));
    // The last row can be reached and deselected by the user.
    LeadsEnv::clickRow(w.lstNames, 39999, Qt::ControlModifier);
    QCOMPARE(w.lblSel->text(), QStringLiteral("39999"));
    env.answers.setNextAnswer(platform::Yes);
    QTest::mouseClick(w.cmdSel[0], Qt::LeftButton);
    QCOMPARE(w.lstNames->count(), 1);
    QCOMPARE(w.lstNames->text(0).section(QLatin1Char('\t'), 1, 1), QStringLiteral("NAME 40000"));
    QCOMPARE(LeadsEnv::scalar(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 1);
}

QTEST_MAIN(TestSelection)
#include "tst_selection.moc"
