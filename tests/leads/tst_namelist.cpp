// What the name list shows: the row format and column fitting, the source dates in REPLACE and ADD
// mode, the display filters, the header sort with its per-header direction, and failing queries.
#include "leads/ColumnFitter.h"
#include "tests/leads/LeadsEnv.h"

#include <QFontMetrics>

class TestNameList : public QObject {
    Q_OBJECT
private slots:
    void rowsCarryEveryColumnAndTheirId();
    void longTextsAreShortenedToTheirHeader();
    void quickFittingAgreesWithMeasuredLayout();
    void sourceDatesReplaceOrAdd();
    void displayFilters();
    void headersSortWithTheirOwnDirection();
    void failingQueryIsReportedAndWindowStaysUsable();
};

void TestNameList::rowsCarryEveryColumnAndTheirId() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    Lead printed;
    printed.court = QStringLiteral("CT-77");
    printed.name = QStringLiteral("JOHN SMITH");
    printed.street = QStringLiteral("10 BAY RD");
    printed.printed = true;
    printed.file = QDate(2013, 3, 5);
    printed.discharge = QDate(2009, 11, 23);
    const int printedId = LeadsEnv::addLead(file, printed);
    Lead bare;
    bare.name = QStringLiteral("ANN LEE");
    bare.street = QStringLiteral("20 BAY RD");
    bare.state = QString();
    bare.zip = QVariant();
    bare.phone = QVariant();
    bare.file = QDate();
    bare.discharge = QDate();
    const int bareId = LeadsEnv::addLead(file, bare);
    Lead nullCity;
    nullCity.name = QStringLiteral("NO CITY");
    nullCity.street = QStringLiteral("30 BAY RD");
    nullCity.city = QVariant();
    nullCity.state = QVariant();
    LeadsEnv::addLead(file, nullCity);

    env.open();
    QCOMPARE(env.texts(),
             (QStringList{
                 QStringLiteral(
                     "CT-77\tJOHN SMITH\t10 BAY RD\tMIAMI, FL\t33101\t(305) 555-0100\t3/5/13\t11/23/09\t+\t"),
                 QStringLiteral("C1\tANN LEE\t20 BAY RD\tMIAMI, \t\t\t\t\t"),
                 QStringLiteral("C1\tNO CITY\t30 BAY RD\t, \t33101\t(305) 555-0100\t3/1/13\t3/4/13\t")}));
    QCOMPARE(env.ids().mid(0, 2), (QList<int>{printedId, bareId}));
}

void TestNameList::longTextsAreShortenedToTheirHeader() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    const QString longStreet = QStringLiteral("12345 NORTHWEST SOUTHERN BOULEVARD EXTENSION APARTMENT 1234");
    const QString longName = QStringLiteral("MAXIMILIANO BARTHOLOMEW WOLFESCHLEGELSTEINHAUSEN");
    Lead lead;
    lead.name = longName;
    lead.street = longStreet;
    lead.city = QStringLiteral("WEST PALM BEACH GARDENS NORTH SHORES");
    lead.state = QStringLiteral("FL");
    LeadsEnv::addLead(file, lead);
    LeadsEnv::addLead(file, QStringLiteral("AL"), QStringLiteral("ZZ 1 ST"));

    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 2);
    const QFontMetrics metrics(w.font());
    auto twips = [&](const QString& s) { return metrics.horizontalAdvance(s) * 15; };
    const QStringList columns = w.lstNames->text(0).split(QLatin1Char('\t'));
    struct Case {
        QString full;
        int width;
    };
    const std::array<Case, 3> cases{{{longName, 1995},
                                     {longStreet, 2085},
                                     {QStringLiteral("WEST PALM BEACH GARDENS NORTH SHORES, FL"), 1875}}};
    for (size_t i = 0; i < cases.size(); ++i) {
        const QString shown = columns[static_cast<int>(i) + 1];
        QVERIFY2(shown.endsWith(QStringLiteral("...")), qPrintable(shown));
        const QString kept = shown.chopped(3);
        QVERIFY(!kept.isEmpty());
        QVERIFY2(cases[i].full.startsWith(kept), qPrintable(shown));
        // Never wider than the header, and no character more would have fitted.
        QVERIFY2(twips(kept + QStringLiteral("... ")) <= cases[i].width, qPrintable(shown));
        const QString oneMore = cases[i].full.left(kept.size() + 1);
        QVERIFY2(twips(oneMore + QStringLiteral("... ")) > cases[i].width, qPrintable(shown));
    }
    // A short text stays whole.
    QCOMPARE(w.lstNames->text(1).section(QLatin1Char('\t'), 1, 2), QStringLiteral("AL\tZZ 1 ST"));

    // The rule itself at its edges: a text whose width plus a blank equals the header stays whole.
    const ColumnFitter fitter(w.font());
    QString exact = QStringLiteral("W");
    while (twips(exact + QStringLiteral("W ")) <= 1995)
        exact += QLatin1Char('W');
    QCOMPARE(fitter.fit(exact, twips(exact + QLatin1Char(' '))), exact);
    QVERIFY(fitter.fit(exact, twips(exact + QLatin1Char(' ')) - 1).endsWith(QStringLiteral("...")));
    QCOMPARE(fitter.fit(QStringLiteral("WWWW"), 1), QStringLiteral("..."));
}

// The fitting rule written out with a full layout per step, as the reference for the quick one.
static QString fittedByLayout(const QFontMetrics& metrics, const QString& text, int width) {
    auto twips = [&](const QString& s) { return metrics.horizontalAdvance(s) * 15; };
    if (twips(text + QLatin1Char(' ')) <= width)
        return text;
    QString shortened = text;
    do
        shortened.chop(1);
    while (!shortened.isEmpty() && twips(shortened + QStringLiteral("... ")) > width);
    return shortened + QStringLiteral("...");
}

void TestNameList::quickFittingAgreesWithMeasuredLayout() {
    LeadsEnv env;
    LeadsEnv::addDataFile(QDate(2013, 3, 5));
    frmMain& w = env.open();
    const ColumnFitter fitter(w.font());
    const QFontMetrics metrics(w.font());
    // Upper and lower case, digits, punctuation, Latin-1 letters, pairs that kern in many faces, and
    // a few characters beyond Latin-1 that always take the measured road.
    const QString alphabet =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 "
                       ".,'#-&/\"()AVAWTOLYfiflff\u00c9\u00d6\u00df\u00e9\u00f1\u0141\u4e2d");
    quint32 seed = 99;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    for (int i = 0; i < 3000; ++i) {
        QString text;
        const int length = 1 + static_cast<int>(next(60));
        for (int k = 0; k < length; ++k)
            text += alphabet[static_cast<qsizetype>(next(static_cast<quint32>(alphabet.size())))];
        for (int width : {1875, 1995, 2085, 300}) {
            const QString expected = fittedByLayout(metrics, text, width);
            QCOMPARE(fitter.fit(text, width), expected);
        }
    }
}

void TestNameList::sourceDatesReplaceOrAdd() {
    LeadsEnv env;
    const int c = LeadsEnv::addDataFile(QDate(2013, 1, 1));
    const int b = LeadsEnv::addDataFile(QDate(2013, 2, 1));
    const int a = LeadsEnv::addDataFile(QDate(2013, 3, 1));
    LeadsEnv::addLead(a, QStringLiteral("A1"), QStringLiteral("1 A ST"));
    LeadsEnv::addLead(b, QStringLiteral("B1"), QStringLiteral("1 B ST"));
    LeadsEnv::addLead(b, QStringLiteral("B2"), QStringLiteral("2 B ST"));
    LeadsEnv::addLead(c, QStringLiteral("C1"), QStringLiteral("1 C ST"));
    frmMain& w = env.open();
    QCOMPARE(env.names(), QStringList{QStringLiteral("A1")});

    // REPLACE on the only marked date: still the only one, same list.
    LeadsEnv::choose(w.cmbDates, 0);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* March 1, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("February 1, 2013"));
    QCOMPARE(env.names(), QStringList{QStringLiteral("A1")});

    // ADD: A and B both marked, both listed (sorted by street across the two).
    LeadsEnv::choose(w.cmbMode, 1);
    QCOMPARE(w.cmbMode->currentText(), QStringLiteral("ADD"));
    QCOMPARE(env.names(), QStringList{QStringLiteral("A1")}); // changing the mode does nothing by itself
    LeadsEnv::choose(w.cmbDates, 1);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* March 1, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("* February 1, 2013"));
    QCOMPARE(env.names(), (QStringList{QStringLiteral("A1"), QStringLiteral("B1"), QStringLiteral("B2")}));
    QCOMPARE(w.lblAvail->text(), QStringLiteral("3"));

    // ADD on a marked date only brings the box back to the last date chosen.
    LeadsEnv::clickRow(w.lstNames, 1);
    QCOMPARE(w.lblSel->text(), QStringLiteral("1"));
    LeadsEnv::choose(w.cmbDates, 0);
    QCOMPARE(w.cmbDates->currentIndex(), 1);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("* March 1, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("* February 1, 2013"));
    QVERIFY(w.lstNames->isSelected(1)); // no rebuild
    QCOMPARE(w.lstNames->count(), 3);
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // REPLACE and C: only C.
    LeadsEnv::choose(w.cmbMode, 0);
    LeadsEnv::choose(w.cmbDates, 2);
    QCOMPARE(w.cmbDates->itemText(0), QStringLiteral("March 1, 2013"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("February 1, 2013"));
    QCOMPARE(w.cmbDates->itemText(2), QStringLiteral("* January 1, 2013"));
    QCOMPARE(env.names(), QStringList{QStringLiteral("C1")});
    QCOMPARE(w.lblAvail->text(), QStringLiteral("1"));
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
}

void TestNameList::displayFilters() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    auto add = [&](const QString& name, const QString& street, bool printed, bool followed) {
        Lead lead;
        lead.name = name;
        lead.street = street;
        lead.printed = printed;
        lead.followed = followed;
        return LeadsEnv::addLead(file, lead);
    };
    add(QStringLiteral("NEW"), QStringLiteral("1 ST"), false, false);
    add(QStringLiteral("PRINTED"), QStringLiteral("2 ST"), true, false);
    add(QStringLiteral("FOLLOWED"), QStringLiteral("3 ST"), true, true);
    frmMain& w = env.open();
    QCOMPARE(env.names(),
             (QStringList{QStringLiteral("NEW"), QStringLiteral("PRINTED"), QStringLiteral("FOLLOWED")}));
    QVERIFY(w.lstNames->text(1).endsWith(QStringLiteral("\t+\t")));
    QVERIFY(!w.lstNames->text(0).contains(QLatin1Char('+')));

    LeadsEnv::choose(w.cmbDisplay, 1);
    QCOMPARE(env.names(), QStringList{QStringLiteral("NEW")});
    QCOMPARE(Tag(w.cmbDisplay), QStringLiteral("1"));
    LeadsEnv::choose(w.cmbDisplay, 2);
    QCOMPARE(env.names(), QStringList{QStringLiteral("PRINTED")});
    QCOMPARE(w.lblAvail->text(), QStringLiteral("1"));

    // Choosing the display already applied does not rebuild: the selection survives.
    LeadsEnv::clickRow(w.lstNames, 0);
    QCOMPARE(w.lblSel->text(), QStringLiteral("1"));
    QVERIFY(w.cmdSel[0]->isEnabled());
    LeadsEnv::choose(w.cmbDisplay, 2);
    QVERIFY(w.lstNames->isSelected(0));
    QCOMPARE(w.lblSel->text(), QStringLiteral("1"));

    // A rebuild drops the selection and the buttons that need one; Preview keeps its state.
    w.cmdPrint[1]->setEnabled(true);
    LeadsEnv::choose(w.cmbDisplay, 0);
    QCOMPARE(w.lstNames->count(), 3);
    QCOMPARE(w.lstNames->selectedCount(), 0);
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
    QVERIFY(!w.cmdSel[0]->isEnabled());
    QVERIFY(!w.cmdPrint[0]->isEnabled());
    QVERIFY(!w.cmdPrint[2]->isEnabled());
    QVERIFY(w.cmdPrint[1]->isEnabled());
}

void TestNameList::headersSortWithTheirOwnDirection() {
    LeadsEnv env;
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    auto add = [&](const QString& court, const QString& name, const QString& street, const QString& city,
                   bool printed) {
        Lead lead;
        lead.court = court;
        lead.name = name;
        lead.street = street;
        lead.city = city;
        lead.printed = printed;
        return LeadsEnv::addLead(file, lead);
    };
    // Stored order: ids rise down this list.
    add(QStringLiteral("K2"), QStringLiteral("bravo"), QStringLiteral("3 C ST"), QStringLiteral("TAMPA"),
        false);
    add(QStringLiteral("K3"), QStringLiteral("ALPHA"), QStringLiteral("1 A ST"), QStringLiteral("MIAMI"),
        true);
    add(QStringLiteral("K1"), QStringLiteral("Charlie"), QStringLiteral("2 B ST"), QStringLiteral("MIAMI"),
        false);
    add(QStringLiteral("K4"), QStringLiteral("DELTA"), QStringLiteral("4 D ST"), QStringLiteral("ALTAMONTE"),
        true);
    frmMain& w = env.open();
    const QStringList byStreet{QStringLiteral("ALPHA"), QStringLiteral("Charlie"), QStringLiteral("bravo"),
                               QStringLiteral("DELTA")};
    QCOMPARE(env.names(), byStreet);
    auto underlined = [&] {
        QList<int> out;
        for (int i = 0; i < 9; ++i)
            if (w.cmdSort[static_cast<size_t>(i)]->font().underline())
                out << i;
        return out;
    };

    // The first click on Court reverses the remembered header: descending, nothing underlined.
    QTest::mouseClick(w.cmdSort[0], Qt::LeftButton);
    QCOMPARE(Tag(w.lstNames), QStringLiteral("Court_ID DESC"));
    QCOMPARE(env.names(), (QStringList{QStringLiteral("DELTA"), QStringLiteral("ALPHA"),
                                       QStringLiteral("bravo"), QStringLiteral("Charlie")}));
    QVERIFY(underlined().isEmpty());
    QCOMPARE(QApplication::focusWidget(), w.lstNames);

    // Name: ascending (case ignored) and underlined; again: descending.
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(env.names(), (QStringList{QStringLiteral("ALPHA"), QStringLiteral("bravo"),
                                       QStringLiteral("Charlie"), QStringLiteral("DELTA")}));
    QCOMPARE(underlined(), QList<int>{1});
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(Tag(w.lstNames), QStringLiteral("Name DESC"));
    QCOMPARE(env.names().first(), QStringLiteral("DELTA"));

    // Street, then Name again: Name keeps its last direction.
    QTest::mouseClick(w.cmdSort[2], Qt::LeftButton);
    QCOMPARE(env.names(), byStreet);
    QCOMPARE(underlined(), QList<int>{2});
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(Tag(w.lstNames), QStringLiteral("Name DESC"));
    QCOMPARE(env.names().first(), QStringLiteral("DELTA"));
    QCOMPARE(underlined(), QList<int>{1});

    // City, State sorts by city only; the two MIAMI rows keep database order.
    QTest::mouseClick(w.cmdSort[3], Qt::LeftButton);
    QCOMPARE(Tag(w.lstNames), QStringLiteral("City ASC"));
    QCOMPARE(env.names(), (QStringList{QStringLiteral("DELTA"), QStringLiteral("ALPHA"),
                                       QStringLiteral("Charlie"), QStringLiteral("bravo")}));

    // P ascending lists the printed names first (yes is stored as -1).
    QTest::mouseClick(w.cmdSort[8], Qt::LeftButton);
    QCOMPARE(Tag(w.lstNames), QStringLiteral("Printed ASC"));
    const QStringList byPrinted = env.names();
    QCOMPARE(QSet<QString>(byPrinted.begin(), byPrinted.begin() + 2),
             (QSet<QString>{QStringLiteral("ALPHA"), QStringLiteral("DELTA")}));
    QCOMPARE(underlined(), QList<int>{8});
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestNameList::failingQueryIsReportedAndWindowStaysUsable() {
    LeadsEnv env;
    const int older = LeadsEnv::addDataFile(QDate(2013, 2, 1));
    const int file = LeadsEnv::addDataFile(QDate(2013, 3, 5));
    LeadsEnv::addLead(file, QStringLiteral("A"), QStringLiteral("1 ST"));
    LeadsEnv::addLead(older, QStringLiteral("OLD"), QStringLiteral("1 ST"));
    frmMain& w = env.open();
    QCOMPARE(w.lstNames->count(), 1);

    // A sort clause the database rejects.
    SetTag(w.lstNames, QStringLiteral("NoSuchColumn ASC"));
    LeadsEnv::choose(w.cmbDisplay, 1);
    QCOMPARE(env.errorLocations(), QStringList{QStringLiteral("Form Main: Sub FillNames")});
    QCOMPARE(w.lstNames->count(), 0);
    QCOMPARE(w.lblAvail->text(), QStringLiteral("0"));
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    // Still usable: a header click sets a good clause again.
    QTest::mouseClick(w.cmdSort[1], Qt::LeftButton);
    QCOMPARE(env.names(), QStringList{QStringLiteral("A")});

    // A Null name part way through: the rows before it stay, the counters stay 0.
    DbConnection->execute(QStringLiteral("INSERT INTO [Names] (DataFile_ID, Name, Street) VALUES (") +
                          QString::number(file) + QStringLiteral(", NULL, 'ZZ ST')"));
    LeadsEnv::addLead(file, QStringLiteral("B"), QStringLiteral("2 ST"));
    QTest::mouseClick(w.cmdSort[2], Qt::LeftButton); // Street ASC: A, B, then the Null name
    QCOMPARE(env.errorLocations().size(), 2);
    QCOMPARE(env.errorLocations().last(), QStringLiteral("Form Main: Sub FillNames"));
    QVERIFY(env.answers.messages.back().text.contains(QStringLiteral("94")));
    QCOMPARE(env.names(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
    QCOMPARE(w.lblAvail->text(), QStringLiteral("0"));

    // The table gone: choosing a date reports it, and the window stays usable.
    DbConnection->execute(QStringLiteral("DROP TABLE [Names]"));
    LeadsEnv::choose(w.cmbDates, 1);
    QCOMPARE(env.errorLocations().size(), 3);
    QCOMPARE(env.errorLocations().last(), QStringLiteral("Form Main: Sub FillNames"));
    QCOMPARE(w.cmbDates->itemText(1), QStringLiteral("* February 1, 2013"));
    QCOMPARE(w.lstNames->count(), 0);
    QVERIFY(w.isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTest::mouseClick(w.cmdSel[1], Qt::LeftButton);
    QCOMPARE(w.lblSel->text(), QStringLiteral("0"));
}

QTEST_MAIN(TestNameList)
#include "tst_namelist.moc"
