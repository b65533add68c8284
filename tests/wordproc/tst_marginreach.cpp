#include "Rendering.h"
#include "platform/Fonts.h"

#include <QtTest>
#include <algorithm>
#include <map>
#include <vector>

using namespace wordproc;
using namespace rendering;

namespace {

// Where the lines of the paragraphs start, by each paragraph's first word: the furthest out and the
// furthest in; and where they end, the furthest out.
struct Edges {
    double outer = 1e9, inner = -1e9, right = -1e9;
};

std::map<QString, Edges> edgesOf(const Shown& s) {
    std::map<QString, Edges> edges;
    for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
        const QRectF r = onSheet(s, b);
        Edges& e = edges[b.text().section(QLatin1Char(' '), 0, 0)];
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            e.outer = qMin(e.outer, r.left() + line.x());
            e.inner = qMax(e.inner, r.left() + line.x());
            e.right = qMax(e.right, r.left() + line.x() + line.width());
        }
    }
    return edges;
}

} // namespace

class TestMarginReach : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::useMetricCompatibleFonts(); }

    // Negative indents take every line of a paragraph out into the margins, on both sides; the text
    // around it, and a table after it, stay within the margins. Centred and right-aligned tables stay
    // where they stood, while the paragraph still reaches into the left margin.
    void linesPastBothMargins() {
        const QByteArray words = QByteArray("words ").repeated(60);
        const double margin = twipsToLayout(1440), end = twipsToLayout(12240 - 1440);
        const auto near = [](double a, double b) { return qAbs(a - b) < 1; };
        auto edges =
            edgesOf(showWord("\\pard\\li-720\\ri-1080 Wide " + words + "\\par \\pard Narrow " + words +
                             "\\par \\trowd\\cellx4000\\pard\\intbl Cell\\cell\\row \\pard Last\\par "));
        QVERIFY2(near(edges[QStringLiteral("Wide")].inner, margin - twipsToLayout(720)),
                 qPrintable(QString::number(edges[QStringLiteral("Wide")].inner)));
        QVERIFY2(near(edges[QStringLiteral("Wide")].right, end + twipsToLayout(1080)),
                 qPrintable(QString::number(edges[QStringLiteral("Wide")].right)));
        for (const char* within : {"Narrow", "Last"}) {
            QVERIFY2(near(edges[QLatin1String(within)].inner, margin), within);
            QVERIFY2(near(edges[QLatin1String(within)].right, end), within);
        }
        QVERIFY(qAbs(edges[QStringLiteral("Cell")].inner - margin) < twipsToLayout(200));
        QVERIFY(edges[QStringLiteral("Cell")].right < margin + twipsToLayout(4000) + 1);
        // A right-aligned table with rules stands where it stood without the paragraph reaching out.
        const auto aligned = [&](const QByteArray& indents) {
            return edgesOf(showWord(
                "\\pard" + indents + " Wide " + words +
                "\\par \\trowd\\trqc\\cellx4000\\pard\\intbl Centred\\cell\\row \\pard Between\\par "
                "\\trowd\\trqr\\clbrdrl\\brdrs\\brdrw60\\clbrdrr\\brdrs\\brdrw60\\cellx4000\\pard\\intbl "
                "Right\\cell\\row \\pard Last\\par "));
        };
        edges = aligned("\\li-720\\ri-1080");
        const auto within = aligned({});
        QVERIFY(near(edges[QStringLiteral("Wide")].inner, margin - twipsToLayout(720)));
        QVERIFY(near(edges[QStringLiteral("Wide")].right, end + twipsToLayout(1080)));
        for (const char* table : {"Centred", "Right"})
            QVERIFY2(qAbs(edges[QLatin1String(table)].inner - within.at(QLatin1String(table)).inner) < 0.5,
                     table);
        QVERIFY2(qAbs(edges[QStringLiteral("Centred")].inner - margin - twipsToLayout(9360 - 4000) / 2) < 2,
                 qPrintable(QString::number(edges[QStringLiteral("Centred")].inner)));
    }

    // In a cell too: every line of the paragraph starts past the cell's left edge and may end past its
    // right one, over the next cell's text; the cell's rules and the other cells stay where they were.
    void linesPastCellEdges() {
        const QByteArray words = QByteArray("words ").repeated(30);
        const auto cells = [&](const QByteArray& indents) {
            return showWord("\\trowd\\trgaph108\\clbrdrl\\brdrs\\brdrw20\\clbrdrr\\brdrs\\brdrw20\\cellx4000"
                            "\\cellx8000\\pard\\intbl" +
                            indents + " Wide " + words + "\\cell\\pard\\intbl Next " + words +
                            "\\cell\\row \\pard Last\\par ");
        };
        const Shown out = cells("\\li-720\\ri-1080"), in = cells({});
        const auto edges = edgesOf(out), within = edgesOf(in);
        // Where the rules down the cells' edges are drawn.
        const auto rulesDown = [](const Shown& s) {
            std::vector<double> at;
            for (const Recorder::Line& l : record(s, 0)->lines)
                if (l.line.dx() == 0 && l.line.dy() != 0)
                    at.push_back(l.line.x1());
            std::sort(at.begin(), at.end());
            return at;
        };
        const std::vector<double> rules = rulesDown(out), plainRules = rulesDown(in);
        QVERIFY(!plainRules.empty());
        QCOMPARE(rules.size(), plainRules.size());
        for (size_t i = 0; i < rules.size(); ++i)
            QVERIFY2(qAbs(rules[i] - plainRules[i]) < 0.5, qPrintable(QString::number(rules[i])));
        const auto near = [](double a, double b) { return qAbs(a - b) < 1; };
        const Edges wide = edges.at(QStringLiteral("Wide")), next = edges.at(QStringLiteral("Next"));
        const double margin = twipsToLayout(1440);
        QVERIFY2(near(wide.outer, within.at(QStringLiteral("Wide")).outer - twipsToLayout(720)),
                 qPrintable(QString::number(wide.outer)));
        QVERIFY(near(wide.inner, wide.outer));
        QVERIFY2(wide.outer < margin - twipsToLayout(500), qPrintable(QString::number(wide.outer)));
        QVERIFY2(wide.right > margin + twipsToLayout(4000 + 500), qPrintable(QString::number(wide.right)));
        QVERIFY(wide.right < margin + twipsToLayout(4000 - 108 + 1080) + 1);
        QVERIFY(near(next.outer, within.at(QStringLiteral("Next")).outer) &&
                near(next.right, within.at(QStringLiteral("Next")).right));
        QVERIFY(near(edges.at(QStringLiteral("Last")).outer, margin));
    }
};

QTEST_MAIN(TestMarginReach)
#include "tst_marginreach.moc"
