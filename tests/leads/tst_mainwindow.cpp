// The main window as start-up leaves it: the load sequence, the layout the list's columns depend on,
// and closing.
#include "tests/leads/LeadsEnv.h"

#include <QFontMetrics>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void loadsNewestDateSortedByStreet();
    void columnsLineUpUnderTheirHeaders();
    void loadWithoutDataFilesReportsAndStillShows();
    void exitAndCloseBoxEndTheProgram();
};

void TestMainWindow::loadsNewestDateSortedByStreet() {
    LeadsEnv env;
    // Two dealerships: listed by name, the first one chosen.
    DbConnection->execute(QStringLiteral("INSERT INTO Dlr_Info (ID, Name) VALUES (99, 'Smith Motors')"));
    const int older = LeadsEnv::addDataFile(QDate(2012, 12, 1));
    const int newest = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    const int middle = LeadsEnv::addDataFile(QDate(2013, 1, 15));
    LeadsEnv::addLead(newest, QStringLiteral("CAROL"), QStringLiteral("3 ELM ST"));
    LeadsEnv::addLead(newest, QStringLiteral("ALICE"), QStringLiteral("1 ASH ST"));
    LeadsEnv::addLead(newest, QStringLiteral("BOB"), QStringLiteral("2 OAK ST"));
    LeadsEnv::addLead(older, QStringLiteral("OLD"), QStringLiteral("0 OLD ST"));
    LeadsEnv::addLead(middle, QStringLiteral("MID"), QStringLiteral("0 MID ST"));

    frmMain& w = env.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillmark"));
    QCOMPARE(w.cmbDealer->count(), 2);
    QCOMPARE(w.cmbDealer->itemText(0), QStringLiteral("Acme Auto"));
    QCOMPARE(w.cmbDealer->itemText(1), QStringLiteral("Smith Motors"));
    QCOMPARE(w.cmbDealer->currentIndex(), 0);
    QCOMPARE(w.cmbDealer->itemData(1).toInt(), 99);

    QCOMPARE(w.cmbDates->count(), 3);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* March 5, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("January 15, 2013"));
    QCOMPARE(w.cmbDates->itemText(2), QStringLiteral("December 1, 2012"));
    QCOMPARE(w.cmbDates->itemData(0).toInt(), newest);
    QCOMPARE(w.cmbDates->itemData(2).toInt(), older);
    QCOMPARE(w.cmbDates->currentIndex(), 0);
    QCOMPARE(w.cmbMode->currentText(), QStringLiteral("REPLACE"));
    QCOMPARE(w.cmbDisplay->currentText(), QStringLiteral("ALL NAMES"));

    QCOMPARE(env.names(),
             (QStringList{QStringLiteral("ALICE"), QStringLiteral("BOB"), QStringLiteral("CAROL")}));
    QCOMPARE(w.lblAvail->text(), QStringLiteral("3"));
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    for (QPushButton* header : w.cmdSort)
        QVERIFY2(!header->font().underline(), qPrintable(header->text()));
    QVERIFY(!w.cmdSel[0]->isEnabled());
    QVERIFY(!w.cmdPrint[0]->isEnabled());
    QVERIFY(!w.cmdPrint[2]->isEnabled());
    QVERIFY(w.isEnabled());
    QVERIFY(env.errorLocations().isEmpty());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Fixed size, no maximize button, the template options hidden with the first chosen.
    QCOMPARE(w.size(), QSize(723, 551));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.optPromos[0]->isChecked());
    for (QRadioButton* option : w.optPromos)
        QVERIFY(!option->isVisible());
    QCOMPARE(w.cmdSave->text(), QStringLiteral("Save"));
    QVERIFY(!w.cmdSave->isEnabled());

    // Tab moves through the source-date group into the name group in the window's order.
    w.cmbDates->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.cmbDisplay);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.cmdFind);
}

void TestMainWindow::columnsLineUpUnderTheirHeaders() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    Lead lead;
    lead.name = QStringLiteral("JOHN SMITH");
    lead.printed = true;
    LeadsEnv::addLead(file, lead);
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 1);

    // Each column starts under its header button, within a few pixels (the stops are in dialog units
    // of the font, the headers in twips).
    const std::vector<int> stops = w.lstNames->tabStopPixels();
    QCOMPARE(stops.size(), size_t(9));
    const QFontMetrics metrics(w.lstNames->font());
    const std::vector<int> offsets = TabStopDelegate::pieceOffsets(w.lstNames->text(0), stops, metrics);
    QVERIFY(offsets.size() >= 9);
    const QPoint listOrigin = w.lstNames->viewport()->mapTo(w.Frame2, QPoint(0, 0));
    for (size_t column = 0; column < 9; ++column) {
        const int headerLeft = w.cmdSort[column]->x();
        const int columnLeft = listOrigin.x() + offsets[column];
        QVERIFY2(
            qAbs(columnLeft - headerLeft) <= 10,
            qPrintable(
                QStringLiteral("column %1 at %2, header at %3").arg(column).arg(columnLeft).arg(headerLeft)));
    }
    // The header row sits above the list, inside the panel.
    for (QPushButton* header : w.cmdSort) {
        QCOMPARE(header->parentWidget(), w.Frame2);
        QCOMPARE(header->y(), 16);
        QCOMPARE(header->height(), 17);
        QVERIFY(w.pnlNames->geometry().contains(header->geometry()));
    }
    QCOMPARE(w.cmdSort[1]->toolTip(), QStringLiteral("Sort by Name"));
    QCOMPARE(w.cmdSort[2]->toolTip(), QStringLiteral("Sort by Street Address"));
    QVERIFY(w.pnlNames->geometry().contains(w.lstNames->geometry()));
}

void TestMainWindow::loadWithoutDataFilesReportsAndStillShows() {
    LeadsEnv env;
    QFile templ(InitialsFolder + QStringLiteral("Welcome.dot"));
    QVERIFY(templ.open(QIODevice::WriteOnly));
    templ.write("{\\rtf1 x}");
    templ.close();

    frmMain& w = env.open();
    QCOMPARE(env.errorLocations(), QStringList{QStringLiteral("Form Main: Sub Form_Load")});
    QVERIFY(w.isVisible());
    QVERIFY(w.isEnabled());
    QCOMPARE(w.cmbDates->count(), 0);
    QCOMPARE(w.lstNames->count(), 0);
    // The rest of the load was skipped: no templates listed.
    QCOMPARE(w.lstPromos->count(), 0);
    QCOMPARE(w.cmbDealer->currentText(), QStringLiteral("Acme Auto"));
}

void TestMainWindow::exitAndCloseBoxEndTheProgram() {
    {
        LeadsEnv env;
        LeadsEnv::addDataFile(QDate(2013, 3, 5));
        frmMain& w = env.open();
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        QVERIFY(env.ended);
        QVERIFY(!DbConnection || DbConnection->state() == db::adStateClosed);
        QVERIFY(!w.isVisible());
        QVERIFY(env.answers.messages.empty());
    }
    {
        LeadsEnv env;
        LeadsEnv::addDataFile(QDate(2013, 3, 5));
        frmMain& w = env.open();
        QVERIFY(!env.ended);
        w.close(); // the close box
        QVERIFY(env.ended);
        QVERIFY(!DbConnection || DbConnection->state() == db::adStateClosed);
        QVERIFY(env.answers.messages.empty());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
