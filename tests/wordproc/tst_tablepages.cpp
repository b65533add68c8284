// Tables that run over pages: where their rows end on each page and how they are ruled there.
#include "Rendering.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// Thirty rows of five lines each that must not break, padded as Word pads cells by default in a .docx
// (29 twips, which Qt's layout rounds): rows go on to the next page whole.
Shown keptRows() {
    QByteArray body;
    for (int i = 1; i <= 30; ++i)
        body += "\\trowd\\trgaph108\\trleft0\\trkeep\\trpaddt29\\trpaddft3\\trpaddb29\\trpaddfb3" +
                ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Row " + QByteArray::number(i) +
                "\\par two\\par three\\par four\\par End " + QByteArray::number(i) + "\\cell x\\cell \\row ";
    return showWord(body + "\\pard After\\par ");
}

} // namespace

class TestTablePages : public QObject {
    Q_OBJECT

private slots:
    void rowMovedWholeLeavesNoRuleAtPageFoot() {
        // The row that opens the next page is ruled at its top there only: the page before ends with the
        // bottom rule of its own last row, below that row's text, and nothing lower.
        const Shown s = keptRows();
        QVERIFY(s.copy.pageCount() >= 2);
        const double foot = twipsToLayout(15840 - 1440);
        for (int page = 0; page + 1 < s.copy.pageCount(); ++page) {
            const auto drawn = record(s, page);
            double lastText = 0;
            for (const Recorder::Text& t : drawn->texts)
                if (t.text.startsWith(QLatin1String("End")))
                    lastText = qMax(lastText, t.baseline.y());
            QVERIFY(lastText > 0);
            for (const Recorder::Line& l : drawn->lines) {
                QVERIFY2(l.line.y1() < foot - 1 && l.line.y2() < foot - 1,
                         qPrintable(QStringLiteral("page %1: rule at %2..%3, foot %4")
                                        .arg(page)
                                        .arg(l.line.y1())
                                        .arg(l.line.y2())
                                        .arg(foot)));
                if (l.line.dy() == 0)
                    QVERIFY2(l.line.y1() < lastText + twipsToLayout(200),
                             qPrintable(QStringLiteral("page %1: rule at %2 below the text's end %3")
                                            .arg(page)
                                            .arg(l.line.y1())
                                            .arg(lastText)));
            }
        }
    }
};

QTEST_MAIN(TestTablePages)
#include "tst_tablepages.moc"
