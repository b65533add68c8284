// The main window as start-up leaves it: the load sequence, the row format, the columns fitted under
// their headers, a first start without lead lists, and closing.
#include "leads/ColumnFitter.h"
#include "platform/Fonts.h"
#include "tests/support/AppFixture.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QRandomGenerator>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void loadShowsNewestDateWithFittedRows();
    void fitterMatchesFullLayoutInEveryFont();
    void firstStartWithoutLeadLists();
    void tabVisitsTheControlsInTheirOrder();
    void exitAndCloseBoxEndTheProgram();
};

void TestMainWindow::loadShowsNewestDateWithFittedRows() {
    AppFixture env;
    env.connection().execute(u"INSERT INTO Dlr_Info (ID, Name) VALUES (99, 'Smith Motors')"_s);
    const int older = env.addDataFile(QDate(2012, 12, 1));
    const int file = env.addDataFile(QDate(2013, 3, 5));
    env.addLead(env.addDataFile(QDate(2013, 1, 15)), u"MIDDLE"_s);
    env.addLead(older, u"OLD"_s);
    const QString longName = u"MAXIMILIANO BARTHOLOMEW WOLFESCHLEGELSTEINHAUSEN"_s;
    const QString longStreet = u"92345 NORTHWEST SOUTHERN BOULEVARD EXTENSION APARTMENT 1234"_s;
    const QString longCity = u"WEST PALM BEACH GARDENS NORTH SHORES"_s;
    env.addLead(file, {.name = longName, .street = longStreet, .city = longCity});
    env.addLead(file, {"C1", "ANN LEE", "20 BAY RD", "MIAMI", "", {}, {}, {}, {}});
    env.addLead(file, {"CT-77", "JOHN SMITH", "10 BAY RD", "MIAMI", "FL", "33101", "(305) 555-0100",
                       QDate(2013, 3, 5), QDate(2009, 11, 23), true});
    env.addLead(file, {.name = "NO CITY", .street = "30 BAY RD", .city = {}, .state = {}});

    MainWindow& w = env.open();
    QCOMPARE(w.windowTitle(), u"Quillmark"_s);
    QCOMPARE(AppFixture::items(env.dealerBox()), u">Acme Auto|Smith Motors"_s);
    QCOMPARE(env.dealerBox()->itemData(1).toInt(), 99);
    QCOMPARE(AppFixture::items(env.datesBox()), u">* March 5, 2013|January 15, 2013|December 1, 2012"_s);
    QCOMPARE(env.datesBox()->itemData(2).toInt(), older);
    QCOMPARE(env.modeBox()->currentText() + env.displayBox()->currentText(), u"REPLACEALL NAMES"_s);
    QCOMPARE(env.counters(), u"4/0"_s);
    for (QPushButton* header : env.headers())
        QVERIFY2(!header->font().underline(), qPrintable(header->text()));
    QVERIFY(!env.deleteButton()->isEnabled() && !env.printCallButton()->isEnabled() &&
            !env.printButton()->isEnabled());
    QVERIFY(env.errorLocations().isEmpty() && env.idle());
    // The rows, sorted by street.
    QStringList rows = env.texts();
    const QStringList shown = rows.takeLast().split(u'\t');
    QCOMPARE(rows,
             (QStringList{
                 u"CT-77\tJOHN SMITH\t10 BAY RD\tMIAMI, FL\t33101\t(305) 555-0100\t3/5/13\t11/23/09\t+\t"_s,
                 u"C1\tANN LEE\t20 BAY RD\tMIAMI, \t\t\t\t\t"_s,
                 u"C1\tNO CITY\t30 BAY RD\t, \t33101\t(305) 555-0100\t3/1/13\t3/4/13\t"_s}));

    // Each column of the first row (all nine filled) starts within a few pixels of its header.
    const std::vector<int> stops = env.namesView()->tabStopPixels();
    QCOMPARE(stops.size(), size_t(9));
    const std::vector<int> offsets =
        TabStopDelegate::pieceOffsets(env.namesView()->text(0), stops, ColumnFitter(env.namesView()->font()));
    const int origin = env.namesView()->viewport()->mapTo(env.namesView()->parentWidget(), QPoint(0, 0)).x();
    for (size_t column = 0; column < 9; ++column)
        QVERIFY2(qAbs(origin + offsets.at(column) - env.header(column)->x()) <= 10,
                 qPrintable(QString::number(column)));

    // Too long: cut to the longest start that fits with "... " under the header, then "...".
    const QFontMetrics metrics(w.font());
    auto twips = [&](const QString& s) { return metrics.horizontalAdvance(s) * 15; };
    const std::pair<QString, int> cases[] = {
        {longName, 1995}, {longStreet, 2085}, {longCity + u", FL"_s, 1875}};
    for (int i = 0; i < 3; ++i) {
        const auto& [full, width] = cases[i];
        const QString kept = shown[i + 1].chopped(3);
        QVERIFY2(shown[i + 1].endsWith(u"..."_s) && !kept.isEmpty() && full.startsWith(kept),
                 qPrintable(kept));
        QVERIFY(twips(kept + u"... "_s) <= width && twips(full.left(kept.size() + 1) + u"... "_s) > width);
    }
    // At the edge a text whose width plus a blank equals the header stays whole.
    const ColumnFitter fitter(w.font());
    QString exact = u"W"_s;
    while (twips(exact + u"W "_s) <= 1995)
        exact += u'W';
    QCOMPARE(fitter.fit(exact, twips(exact + u' ')), exact);
    QVERIFY(fitter.fit(exact, twips(exact + u' ') - 1).endsWith(u"..."_s));
    QCOMPARE(fitter.fit(u"WWWW"_s, 1), u"..."_s);
}

// The table-driven fitter gives exactly what a full layout per removed character gives, in every
// installed face and at two sizes: on lead-like text, on kerning pairs, ligatures and the soft hyphen
// (which a sum of pairs cannot follow), and on characters beyond the code page.
void TestMainWindow::fitterMatchesFullLayoutInEveryFont() {
    const QStringList words = {u"MAXIMILIANO"_s, u"O'BRIEN,"_s,       u"WOLFESCHLEGEL"_s,
                               u"12345"_s,       u"APT #12-B"_s,      u"ST. LOUIS, MO"_s,
                               u"AVAWAYA"_s,     u"Tyrone"_s,         u"Waffle"_s,
                               u"fiftyfifth"_s,  u"M\u00dcLLER"_s,    u"\u00c9LO\u00cfSE"_s,
                               u"\u0152UVRE"_s,  u"\u201cJR\u201d"_s, u"\u2026"_s,
                               u"\u20ac5"_s,     u"WAL\u00adLACE"_s,  u"\u0141\u00d3D\u0179"_s,
                               u"\u4e2d"_s};
    QString alphabet;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        alphabet += QChar(c);
    alphabet += u"\u00c0\u00c9\u00d6\u00df\u00e6\u00e9\u00f1\u00ff\u2013\u2018\u2019"_s;
    QRandomGenerator random(99);
    QStringList texts;
    for (int i = 0; i < 120; ++i) {
        QString text;
        for (int k = random.bounded(1, 7); k > 0; --k)
            text += words[random.bounded(int(words.size()))] + u' ';
        for (int k = random.bounded(0, 12); k > 0; --k)
            text += alphabet[random.bounded(int(alphabet.size()))];
        texts << text.trimmed();
    }
    texts << QString() << u" "_s << u"W"_s;

    std::vector<QFont> faces{platform::windowFont()};
    for (const QString& family : QFontDatabase::families())
        faces.emplace_back(family);
    for (size_t face = 0; face < faces.size(); ++face) {
        QFont font = faces[face];
        for (qreal size : {8.25, 13.0}) {
            font.setPointSizeF(size);
            const QFontMetrics metrics(font);
            auto twips = [&](const QString& s) { return metrics.horizontalAdvance(s) * 15; };
            const ColumnFitter fitter(font);
            for (const QString& text : texts) {
                QCOMPARE(fitter.widthPixels(text), metrics.horizontalAdvance(text));
                for (int width : {1875, 1995, 2085, 300, 1}) {
                    QString expected = text;
                    if (twips(text + u' ') > width) {
                        do
                            expected.chop(1);
                        while (!expected.isEmpty() && twips(expected + u"... "_s) > width);
                        expected += u"..."_s;
                    }
                    QVERIFY2(fitter.fit(text, width) == expected,
                             qPrintable(u"%1 %2pt, %3 twips: %4"_s.arg(QFontInfo(font).family())
                                            .arg(size)
                                            .arg(width)
                                            .arg(text)));
                }
            }
            if (face != 0)
                continue;
            // Lead text in the code page, without ligatures, comes from the window font's table.
            const int before = fitter.laidOutInFull();
            for (const QString& text : {u"O'BRIEN, JOHN"_s, u"92345 NORTHWEST SOUTHERN BOULEVARD APT 12"_s})
                fitter.fit(text, 1995);
            QCOMPARE(fitter.laidOutInFull(), before);
        }
    }
}

// A new user's first day: no lead list yet. No error; an empty list with both counters at 0, whatever
// the filter or the order; no names to print a call list for; the templates are listed, so that
// Preview works.
void TestMainWindow::firstStartWithoutLeadLists() {
    AppFixture env;
    AppFixture::writeFile(env.folders().initialsFolder + u"Welcome.dot"_s);
    env.open();
    QCOMPARE(env.view(), u" / REPLACE /  / 0/0"_s);
    QVERIFY(!env.printCallButton()->isEnabled() && !env.previewButton()->isEnabled());
    QCOMPARE(env.templateList()->count(), 1);
    AppFixture::choose(env.displayBox(), 1);
    QTest::mouseClick(env.header(2), Qt::LeftButton);
    QCOMPARE(env.view(), u" / REPLACE /  / 0/0"_s);
    env.templateList()->setCurrentRow(0);
    QVERIFY(env.previewButton()->isEnabled());
    QVERIFY(env.errorLocations().isEmpty() && env.idle());
}

// With every control enabled, Tab goes through the contact group, the source date group, the name
// group's buttons, the list, the command row, the header buttons, the templates and the import buttons,
// and comes back to the dealership.
void TestMainWindow::tabVisitsTheControlsInTheirOrder() {
    AppFixture env;
    env.addLeads(2);
    AppFixture::writeFile(env.folders().initialsFolder + u"Welcome.dot"_s);
    env.open();
    env.templateList()->setCurrentRow(0);
    AppFixture::clickRow(env.namesView(), 0);
    QTest::keyClicks(env.nameBox()->lineEdit(), u"PAT SELLER"_s);
    QTest::keyClicks(env.phoneEdit(), u"555-0100"_s);
    QVERIFY(env.saveButton()->isEnabled() && env.deleteButton()->isEnabled() &&
            env.printButton()->isEnabled());

    AppFixture::focus(env.dealerBox());
    QStringList visited;
    for (int i = 0; i < 29; ++i) {
        QWidget* focused = QApplication::focusWidget();
        // The name box's text field has the focus for the box.
        if (qobject_cast<QComboBox*>(focused->parentWidget()))
            focused = focused->parentWidget();
        visited << focused->objectName();
        AppFixture::tab();
    }
    QCOMPARE(visited, (QStringList{u"dealerBox"_s,
                                   u"contactNameBox"_s,
                                   u"phoneEdit"_s,
                                   u"saveContactButton"_s,
                                   u"modeBox"_s,
                                   u"datesBox"_s,
                                   u"displayBox"_s,
                                   u"findNameButton"_s,
                                   u"deleteButton"_s,
                                   u"selectAllButton"_s,
                                   u"clearButton"_s,
                                   u"namesView"_s,
                                   u"printCallButton"_s,
                                   u"previewButton"_s,
                                   u"printButton"_s,
                                   u"exitButton"_s,
                                   u"sortByCourt"_s,
                                   u"sortByName"_s,
                                   u"sortByStreet"_s,
                                   u"sortByCity"_s,
                                   u"sortByZip"_s,
                                   u"sortByPhone"_s,
                                   u"sortByFileDate"_s,
                                   u"sortByDischarge"_s,
                                   u"sortByPrinted"_s,
                                   u"templateList"_s,
                                   u"importTemplateButton"_s,
                                   u"importDataFileButton"_s,
                                   u"dealerBox"_s}));
}

void TestMainWindow::exitAndCloseBoxEndTheProgram() {
    for (bool closeBox : {false, true}) {
        AppFixture env;
        env.addDataFile(QDate(2013, 3, 5));
        MainWindow& w = env.open();
        QVERIFY(!env.ended);
        if (closeBox)
            w.close();
        else
            QTest::mouseClick(env.exitButton(), Qt::LeftButton);
        QVERIFY(env.ended && !w.isVisible() && env.answers.messages.empty());
        QVERIFY(!env.context.databaseOpen());
    }
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
