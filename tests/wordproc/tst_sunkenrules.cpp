// Word's sunken and raised rules (outset, inset, embossed, engraved), read from RTF and .docx and laid
// out. LibreOffice prints each as two or three lines about twice the width given across, so a paragraph
// or a row with one takes that much room.
#include "DocxSamples.h"
#include "Rendering.h"
#include "Samples.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

const Borders& paraBorders(const Template& t, size_t i) {
    return std::get<Paragraph>(t.body.blocks.at(i)).format.borders;
}

const Table& firstTableOf(const Template& t) {
    for (const Block& b : t.body.blocks)
        if (const Table* table = std::get_if<Table>(&b))
            return *table;
    qFatal("no table");
}

// The edges' styles and widths in twips, top, left, bottom, right.
QList<std::pair<int, int>> styleAndWidth(const Borders& b) {
    QList<std::pair<int, int>> out;
    for (const Side s : {Side::Top, Side::Left, Side::Bottom, Side::Right})
        out << std::pair<int, int>(edge(b, s).style, edge(b, s).widthTwips);
    return out;
}

} // namespace

class TestSunkenRules : public QObject {
    Q_OBJECT

private slots:
    // A double rule whose lines are each two thirds of the width given, wherever the width stands.
    void rtfRules() {
        const Template t = readRtf(
            samples::rtfHead() + "\\pard\\brdrb\\brdroutset\\brdrw15 Outset\\par "
                                 "\\pard\\brdrb\\brdrw30\\brdrinset Inset\\par "
                                 "\\pard\\box\\brdremboss\\brdrw60 Embossed\\par "
                                 "\\pard\\brdrt\\brdrengrave\\brdrw15\\brdrb\\brdrs\\brdrw15 Engraved\\par "
                                 "\\trowd\\clbrdrb\\brdroutset\\brdrw30 \\clbrdrr\\brdrs\\brdrw30 \\cellx3000"
                                 "\\pard\\intbl Cell\\cell \\row \\pard After\\par }",
            "t.rtf");
        const int d = Border::Double, s = Border::Single, none = Border::None;
        using Edges = QList<std::pair<int, int>>;
        QCOMPARE(styleAndWidth(paraBorders(t, 0)), (Edges{{none, 0}, {none, 0}, {d, 10}, {none, 0}}));
        QCOMPARE(styleAndWidth(paraBorders(t, 1)), (Edges{{none, 0}, {none, 0}, {d, 20}, {none, 0}}));
        QCOMPARE(styleAndWidth(paraBorders(t, 2)), (Edges{{d, 40}, {d, 40}, {d, 40}, {d, 40}}));
        // The next edge's rule is its own.
        QCOMPARE(styleAndWidth(paraBorders(t, 3)), (Edges{{d, 10}, {none, 0}, {s, 15}, {none, 0}}));
        QCOMPARE(styleAndWidth(firstTableOf(t).rows.at(0).cells.at(0).borders),
                 (Edges{{none, 0}, {none, 0}, {d, 20}, {s, 30}}));
    }

    void docxRules() {
        using namespace docxsamples;
        const QByteArray cellPara = paragraph(run("Cell"));
        const QByteArray tbl =
            "<w:tbl><w:tblPr><w:tblBorders><w:insideH w:val=\"inset\" w:sz=\"12\"/></w:tblBorders></w:tblPr>"
            "<w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr><w:tc>" +
            cellPara +
            "</w:tc></w:tr><w:tr><w:tc><w:tcPr><w:tcBorders><w:bottom w:val=\"threeDEngrave\" "
            "w:sz=\"24\"/></w:tcBorders></w:tcPr>" +
            cellPara + "</w:tc></w:tr></w:tbl>";
        const Template t = readDocx(
            zipParts(package(document(
                paragraph(run("Ruled"), "<w:pBdr><w:top w:val=\"outset\" w:sz=\"6\"/><w:left w:val=\"inset\" "
                                        "w:sz=\"12\"/><w:bottom w:val=\"threeDEmboss\" w:sz=\"24\"/><w:right "
                                        "w:val=\"single\" w:sz=\"6\"/></w:pBdr>") +
                tbl + paragraph("")))),
            QStringLiteral("t.docx"));
        const int d = Border::Double;
        QCOMPARE(styleAndWidth(paraBorders(t, 0)),
                 (QList<std::pair<int, int>>{{d, 10}, {d, 20}, {d, 40}, {Border::Single, 15}}));
        const Table& table = firstTableOf(t);
        const Border& between = edge(table.rows.at(0).cells.at(0).borders, Side::Bottom);
        QCOMPARE(between.style, Border::Double);
        QCOMPARE(between.widthTwips, 20);
        const Border& engraved = edge(table.rows.at(1).cells.at(0).borders, Side::Bottom);
        QCOMPARE(engraved.style, Border::Double);
        QCOMPARE(engraved.widthTwips, 40);
    }

    // A 3-point outset rule takes 6 points: LibreOffice sets the paragraph after one 3 points lower than
    // after a single rule as wide, and each row of a table ruled so 3 points taller.
    void roomTaken() {
        const auto pitch = [](const QByteArray& kind) {
            const QByteArray rule = "\\" + kind + "\\brdrw60 ";
            const QByteArray row = "\\trowd\\trgaph108\\clbrdrt" + rule + "\\clbrdrb" + rule + "\\cellx3000";
            const Shown s = showWord("\\pard\\brdrb" + rule + "One\\par \\pard Two\\par " + row +
                                     "\\pard\\intbl A\\cell \\row " + row + "\\pard\\intbl B\\cell \\row " +
                                     row + "\\pard\\intbl C\\cell \\row \\pard After\\par ");
            const QTextDocument& doc = *s.copy.body;
            QTextTable* table = firstTable(doc);
            const double paragraphs = onSheet(s, blockStarting(doc, QStringLiteral("Two"))).top() -
                                      onSheet(s, blockStarting(doc, QStringLiteral("One"))).top();
            const double rows = table ? cellText(s, table, 2, 0).top() - cellText(s, table, 1, 0).top() : 0;
            // The lines drawn below "One": their outer edges.
            double top = 1e9, bottom = -1e9;
            const double below = onSheet(s, blockStarting(doc, QStringLiteral("One"))).bottom();
            for (const Recorder::Line& l : record(s, 0)->lines)
                if (l.line.dy() == 0 && l.line.y1() > below - twipsToLayout(20) &&
                    l.line.y1() < below + twipsToLayout(200)) {
                    top = qMin(top, l.line.y1() - l.width / 2);
                    bottom = qMax(bottom, l.line.y1() + l.width / 2);
                }
            return QList<double>{paragraphs, rows, bottom - top};
        };
        const QList<double> single = pitch("brdrs");
        for (const char* kind : {"brdroutset", "brdrinset", "brdremboss", "brdrengrave"}) {
            const QList<double> sunken = pitch(kind);
            QVERIFY2(qAbs(sunken[0] - single[0] - twipsToLayout(60)) <= 1, kind);
            QVERIFY2(qAbs(sunken[1] - single[1] - twipsToLayout(60)) <= 1, kind);
            QVERIFY2(qAbs(sunken[2] - twipsToLayout(120)) <= 1, kind);
        }
        QVERIFY(qAbs(single[2] - twipsToLayout(60)) <= 1);
    }
};

QTEST_MAIN(TestSunkenRules)
#include "tst_sunkenrules.moc"
