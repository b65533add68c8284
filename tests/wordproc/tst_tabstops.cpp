#include "Rendering.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// Where the first paragraph's single line ends, in twips from the margin; -1 when it took more lines.
double lineEnd(const Shown& s) {
    const QTextBlock b = s.copy.body->begin();
    if (b.layout()->lineCount() != 1)
        return -1;
    const QTextLine line = b.layout()->lineAt(0);
    return (line.x() + line.naturalTextWidth()) * 1440 / kLayoutDpi;
}

} // namespace

class TestTabStops : public QObject {
    Q_OBJECT

private slots:
    void rightStopJustPastTheMargin() {
        // A footer's page number set by a right stop a little past the right margin (6.5 inches of text,
        // the stop at 6.53), or up to an inch past it: it stays on the date's line and ends at the stop,
        // past the margin, as LibreOffice sets it; not a line below.
        for (int stop : {9400, 9500, 10080}) {
            const Shown s = showWord("\\pard\\tqr\\tx" + QByteArray::number(stop) + " 07/12/26\\tab 1.\\par");
            const double end = lineEnd(s);
            QVERIFY2(end > stop - 10 && end < stop + 10, qPrintable(QString::number(end)));
        }
        // A paragraph of more than one line keeps its lines within the margin.
        const Shown s = showWord("\\pard\\tqr\\tx9500 Offer\\tab Ends soon, and this paragraph goes on long "
                                 "enough to wrap at the right margin of the page, whatever its face.\\par");
        const QTextBlock b = s.copy.body->begin();
        QVERIFY(b.layout()->lineCount() > 1);
        const QTextLine first = b.layout()->lineAt(0);
        QVERIFY(first.x() + first.naturalTextWidth() <= twipsToLayout(9360) + 0.5);
    }

    void rightStopAtTheMargin() {
        // Word's own header and footer styles put their right stop on the margin itself (6.5 inches of
        // text): a page number set there stays on its line, whatever its font and last figure, and ends
        // at the margin.
        for (const QByteArray& face : {QByteArray("\\froman Cambria"), QByteArray("\\fswiss Calibri"),
                                       QByteArray("\\froman Times New Roman"), QByteArray("\\fswiss Arial")})
            for (const QByteArray& number :
                 {QByteArray("1"), QByteArray("2"), QByteArray("{\\i 3}"), QByteArray("{\\b 7}")}) {
                const Shown s =
                    showWord("\\pard\\fs22\\tqc\\tx4680\\tqr\\tx9360 A footer of some length, with "
                             "a page number and all the rest\\tab Page " +
                                 number + "\\par",
                             face);
                const double end = lineEnd(s);
                QVERIFY2(end > 9360 - 40 && end <= 9360,
                         qPrintable(face + " " + number + ": " + QString::number(end)));
            }
    }

    void rightStopPastTheIndent() {
        // Likewise a right stop past a right indent of an inch: the text stays on its line, and ends at
        // the stop past the indent, as LibreOffice sets it.
        const Shown s = showWord("\\pard\\ri1440\\tqr\\tx8200 Offer\\tab Ends soon\\par");
        const double end = lineEnd(s);
        QVERIFY2(end > 8200 - 10 && end < 8200 + 10, qPrintable(QString::number(end)));
    }

    void stopsWithinTheLineStay() {
        // A right stop inside the line is where the file puts it, with or without a first-line indent.
        for (const QByteArray& indent : {QByteArray(), QByteArray("\\fi720")}) {
            const Shown s = showWord("\\pard" + indent + "\\tqr\\tx8000 Total\\tab $25,000\\par");
            const double end = lineEnd(s);
            QVERIFY2(qAbs(end - 8000) < 20, qPrintable(QString::number(end)));
        }
    }

    void closingSpacesHangPastTheMargin() {
        // Spaces that end a right-aligned or centred paragraph, or stand before its line break, print
        // nothing and leave the words where they would stand without them.
        for (const QByteArray& align : {QByteArray("\\qr"), QByteArray("\\qc")}) {
            const Shown s =
                showWord("\\pard" + align + " Offer ends soon\\par \\pard" + align +
                         " Offer ends soon   \\par \\pard" + align + " Offer ends soon  \\line Today  \\par");
            const auto drawn = record(s, 0);
            const auto offers = drawn->textsStarting(QStringLiteral("Offer"));
            QCOMPARE(offers.size(), size_t(3));
            QVERIFY2(qAbs(offers[1].baseline.x() - offers[0].baseline.x()) < 0.5, align.constData());
            QVERIFY2(qAbs(offers[2].baseline.x() - offers[0].baseline.x()) < 0.5, align.constData());
        }
    }

    void runsOfSpacesAreWider() {
        // Words lined up with runs of spaces keep LibreOffice's columns: in RTF, each space of a run of
        // two or more is a sixth of an em wider than the face's own; a single space is the face's. A file
        // that turns the balancing off (\dntblnsbdb, as Word 2007 and later write) sets them plainly.
        // Spaces that open a paragraph too: "B" after three of them stands where their width ends.
        const auto ends = [](const QByteArray& controls, double& space) {
            const Shown s = showWord(controls + "\\pard\\fs20 A B\\par A  B\\par A      B\\par    B\\par");
            std::vector<double> at;
            for (QTextBlock b = s.copy.body->begin(); b.isValid() && at.size() < 4; b = b.next())
                at.push_back(b.layout()->lineAt(0).cursorToX(int(b.text().size()) - 1));
            QFont face = s.copy.body->begin().begin().fragment().charFormat().font();
            face.setLetterSpacing(QFont::AbsoluteSpacing, 0);
            face.setKerning(false);
            space = QFontMetricsF(face, layoutDevice()).horizontalAdvance(QLatin1Char(' '));
            return at;
        };
        double space = 0;
        const std::vector<double> wide = ends({}, space);
        QCOMPARE(wide.size(), size_t(4));
        const double sixth = 10.0 / 6 * kLayoutDpi / 72;
        QVERIFY2(qAbs(wide[3] - 3 * (space + sixth)) < 0.5,
                 qPrintable(QString::number(wide[3] / (space + sixth))));
        QVERIFY2(qAbs(wide[2] - wide[1] - 4 * (space + sixth)) < 0.5,
                 qPrintable(QString::number(wide[2] - wide[1])));
        QVERIFY2(wide[1] - wide[0] > space + 2 * sixth - 0.5, qPrintable(QString::number(wide[1] - wide[0])));
        QVERIFY2(wide[1] - wide[0] < space + 2 * sixth + 0.5 + kLayoutDpi / 72,
                 qPrintable(QString::number(wide[1] - wide[0])));
        const std::vector<double> plain = ends("\\dntblnsbdb", space);
        QCOMPARE(plain.size(), size_t(4));
        QVERIFY2(qAbs(plain[2] - plain[1] - 4 * space) < 0.5,
                 qPrintable(QString::number(plain[2] - plain[1])));
    }

    void listNumbersAlignedAtTheIndent() {
        // Roman numbers of a list level set to end at the first line's indent (\leveljc2), to be centred
        // on it (1) or to start there (0): "i." and "iii." end, centre or start at a quarter inch, and the
        // items' text all starts at the half inch after the tab.
        const QByteArray items = "\\pard\\fi-360\\li720\\ls1 Apples\\par Pears\\par Plums\\par ";
        for (const int jc : {0, 1, 2}) {
            const Shown s = showWord(
                "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc2\\leveljc" +
                QByteArray::number(jc) +
                "\\levelfollow0\\levelstartat1{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li720}"
                "\\listid7}}{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}" +
                items);
            int paragraph = 0;
            for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
                const int tab = int(b.text().indexOf(QLatin1Char('\t')));
                if (tab < 1)
                    continue;
                const QTextLine line = b.layout()->lineAt(0);
                const auto twips = [&](int cursor) { return line.cursorToX(cursor) * 1440 / kLayoutDpi; };
                const double anchor = jc == 0 ? twips(0) : jc == 1 ? (twips(0) + twips(tab)) / 2 : twips(tab);
                QVERIFY2(qAbs(anchor - 360) < 10, qPrintable(QStringLiteral("jc %1, %2: %3 at %4")
                                                                 .arg(jc)
                                                                 .arg(b.text())
                                                                 .arg(twips(0))
                                                                 .arg(twips(tab))));
                QVERIFY2(
                    qAbs(twips(tab + 1) - 720) < 10,
                    qPrintable(
                        QStringLiteral("jc %1, %2: text at %3").arg(jc).arg(b.text()).arg(twips(tab + 1))));
                ++paragraph;
            }
            QCOMPARE(paragraph, 3);
        }
    }

    // Default stops stand every half inch from the margin, as LibreOffice 7.4 sets them, not from where
    // an indented line starts: a tab at an indent of 1434 twips goes on to 1440, not to 2154; past a
    // hanging indent's stop, to the next half inch from the margin. The second tab follows a word of
    // about 700 twips.
    void defaultStopsFromTheMargin_data() {
        QTest::addColumn<QByteArray>("indents");
        QTest::addColumn<QByteArray>("word");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::newRow("left 1434") << QByteArray("\\li1434") << QByteArray("L1434F0") << 1440 << 2880;
        QTest::newRow("left 1434, first line 200")
            << QByteArray("\\li1434\\fi200") << QByteArray("L1434F200") << 2160 << 3600;
        QTest::newRow("left 360") << QByteArray("\\li360") << QByteArray("L360F0") << 720 << 1440;
        QTest::newRow("left 360, first line 200")
            << QByteArray("\\li360\\fi200") << QByteArray("L360F200") << 720 << 2160;
        QTest::newRow("left 1000, hanging 300")
            << QByteArray("\\li1000\\fi-300") << QByteArray("L1000F-300") << 1000 << 2160;
    }

    void defaultStopsFromTheMargin() {
        QFETCH(QByteArray, indents);
        QFETCH(QByteArray, word);
        QFETCH(int, first);
        QFETCH(int, second);
        const Shown s = showWord("\\deftab720\\pard" + indents + "\\fs20\\tab " + word + "\\tab second\\par",
                                 "\\fswiss Arial");
        const QTextBlock b = s.copy.body->begin();
        const int next = int(b.text().indexOf(QLatin1Char('\t'), 1));
        QVERIFY(next > 0);
        const double one = afterTab(b, 0) * 1440 / kLayoutDpi, two = afterTab(b, next) * 1440 / kLayoutDpi;
        QVERIFY2(qAbs(one - first) < 10 && qAbs(two - second) < 10,
                 qPrintable(QStringLiteral("%1, %2").arg(one).arg(two)));
    }

    void barTabsRuleTheLinesWithoutStopping() {
        // A bar tab at two inches is a rule down both paragraphs' lines, no stop: the tab goes on to
        // the left stop at two and a half inches.
        const Shown s = showWord("\\pard\\tb2880\\tx3600 Name\\tab Dealer\\par"
                                 "\\pard\\tb2880\\tx3600 Jane Smith\\tab Ford City\\par"
                                 "\\pard After\\par");
        const QTextBlock first = s.copy.body->begin();
        QVERIFY(qAbs(afterTab(first, 4) - twipsToLayout(3600)) < 1);
        const auto drawn = record(s, 0);
        const auto bars = linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 + 2880));
        QCOMPARE(bars.size(), size_t(2));
        const QRectF one = onSheet(s, first), two = onSheet(s, first.next());
        const QRectF after = onSheet(s, first.next().next());
        double top = 1e9, bottom = -1e9;
        for (const Recorder::Line& l : bars) {
            top = qMin(top, qMin(l.line.y1(), l.line.y2()));
            bottom = qMax(bottom, qMax(l.line.y1(), l.line.y2()));
        }
        // Down both paragraphs' text, not into the one after.
        QVERIFY2(qAbs(top - one.top()) < 1 && qAbs(bottom - two.bottom()) < 1 && bottom <= after.top() + 0.5,
                 qPrintable(QStringLiteral("%1 %2 %3 %4 %5")
                                .arg(top)
                                .arg(bottom)
                                .arg(one.top())
                                .arg(two.bottom())
                                .arg(after.top())));
    }
};

QTEST_MAIN(TestTabStops)
#include "tst_tabstops.moc"
