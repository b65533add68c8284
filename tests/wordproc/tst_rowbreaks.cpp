// Table rows breaking over a page's end: how much of a row stays on the page it starts on.
#include "Rendering.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// A cell centred down its row, ruled all round and padded 15 twips above and below, up to `right`.
QByteArray centredCell(int right) {
    return "\\clvertalc\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\"
           "brdrs"
           "\\brdrw10\\cellx" +
           QByteArray::number(right);
}

// A paragraph `filler` twips tall, then a table of a row of one line and a row whose second cell holds
// three lines and whose first cell holds "B"; every cell's paragraph 90 twips apart from its neighbours.
Shown rowAtFoot(int filler, const QByteArray& above = {}) {
    const QByteArray row = "\\trowd\\trgaph108\\trleft0\\trpaddt15\\trpaddft3\\trpaddb15\\trpaddfb3" +
                           centredCell(1500) + centredCell(9000);
    QByteArray words;
    for (int i = 0; i < 30; ++i)
        words += " word" + QByteArray::number(i);
    return showWord(above + "\\pard\\sl-" + QByteArray::number(filler) + "\\slmult0 Top\\par " + row +
                    "\\pard\\intbl\\sb90\\sa90 A\\cell \\pard\\intbl\\sb90\\sa90 One line\\cell \\row " +
                    row + "\\pard\\intbl\\sb90\\sa90 B\\cell \\pard\\intbl\\sb90\\sa90" + words +
                    "\\cell \\row \\pard After\\par ");
}

// Where each word drawn on a sheet stands: its baseline's height, by the word's first letters.
std::map<QString, double> baselines(const Shown& s, int page) {
    std::map<QString, double> at;
    const auto drawn = record(s, page);
    for (const Recorder::Text& t : drawn->texts)
        for (const QString& w : t.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            at.emplace(w, t.baseline.y());
    return at;
}

} // namespace

class TestRowBreaks : public QObject {
    Q_OBJECT

private slots:
    void firstLineOfARowStaysAtPageFoot() {
        // About 24 points are left below the one-line row: the long row's first line fits there with
        // the space above it and the cell's padding and rules, not with the space below its paragraph
        // as well. LibreOffice breaks the row after that line; its centred short cell stands beside
        // the line, and the rest of the row opens the next page.
        const Shown s = rowAtFoot(11974);
        QCOMPARE(s.copy.pageCount(), 2);
        const std::map<QString, double> first = baselines(s, 0), second = baselines(s, 1);
        QVERIFY2(first.count(QStringLiteral("word0")), "the row's first line went on to the next page");
        QVERIFY(first.count(QStringLiteral("B")));
        QVERIFY(qAbs(first.at(QStringLiteral("B")) - first.at(QStringLiteral("word0"))) < twipsToLayout(20));
        QVERIFY(second.count(QStringLiteral("word29")));
        QVERIFY(!first.count(QStringLiteral("word29")));
        QVERIFY(!second.count(QStringLiteral("B")));
    }

    void rowBreaksWhereKeptParagraphsMoveIt() {
        // A paragraph kept with the next goes on to the second page with it, moving the table 34 points
        // lower, to where the long row's first line just fits above the page's foot: the row breaks
        // there, its short cell's "B" beside that line, not centred down the whole row.
        const Shown s =
            rowAtFoot(11018, "\\pard\\sl-12120\\slmult0 Start\\par \\pard\\keepn\\sl-680\\slmult0 "
                             "Kept\\par \\pard Next\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        const std::map<QString, double> second = baselines(s, 1), third = baselines(s, 2);
        QVERIFY(second.count(QStringLiteral("Kept")));
        QVERIFY2(second.count(QStringLiteral("word0")), "the row's first line went on to the next page");
        QVERIFY2(second.count(QStringLiteral("B")), "the short cell went on to the next page");
        QVERIFY(qAbs(second.at(QStringLiteral("B")) - second.at(QStringLiteral("word0"))) <
                twipsToLayout(20));
        QVERIFY(third.count(QStringLiteral("word29")));
    }
};

QTEST_MAIN(TestRowBreaks)
#include "tst_rowbreaks.moc"
