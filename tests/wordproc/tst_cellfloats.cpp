#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>
#include <map>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

const QByteArray kLong = "Your new car is ready for collection at our showroom, washed, fuelled and with the "
                         "papers signed, whenever it suits you this week.";

Shown showBody(const QByteArray& body) {
    Shown s;
    s.t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body))), QStringLiteral("c.docx")));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

// A table of one column `width` twips wide, a row for each paragraph given, its properties `tblPr`.
QByteArray table(const std::vector<QByteArray>& rows, int width, const QByteArray& tblPr = {}) {
    const QByteArray w = QByteArray::number(width);
    QByteArray out = "<w:tbl><w:tblPr>" + tblPr + "<w:tblW w:w=\"" + w +
                     "\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>" + "<w:gridCol w:w=\"" + w +
                     "\"/></w:tblGrid>";
    for (const QByteArray& content : rows)
        out += "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"" + w + "\" w:type=\"dxa\"/></w:tcPr>" + content +
               "</w:tc></w:tr>";
    return out + "</w:tbl>";
}

// A table floated in the text, 2000 twips wide, an eighth of an inch from the text beside it.
QByteArray floatingTable(const QByteArray& place = "w:tblpY=\"1\"") {
    return table({paragraph(run("Smith Motors")), paragraph(run("Since 1962"))}, 2000,
                 "<w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" w:vertAnchor=\"text\" " + place +
                     "/>");
}

const QByteArray kOffice = "<w:pict xmlns:o=\"urn:schemas-microsoft-com:office:office\">";
const QByteArray kTextBoxType = "<w:r>" + kOffice +
                                "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" "
                                "o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\"/></w:pict></w:r>";

// A VML text box `top` from its paragraph and 20pt from the text's column, as Word writes its text boxes.
QByteArray vmlBox(const QByteArray& top, const QByteArray& element = "v:shape type=\"#_x0000_t202\"") {
    const QByteArray name = element.split(' ').front();
    return "<w:r><w:pict><" + element + " style=\"position:absolute;margin-left:20pt;margin-top:" + top +
           ";width:100pt;height:30pt\"><v:textbox><w:txbxContent>" + paragraph(run("Year")) +
           "</w:txbxContent></v:textbox></" + name + "></w:pict></w:r>";
}

// A text box 2000 twips wide set in the line (a wp:inline drawing), holding `text`.
QByteArray inlineBox(const QByteArray& text) {
    return "<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"><wp:extent "
           "cx=\"1270000\" cy=\"508000\"/><wp:docPr id=\"1\" name=\"Label\"/><a:graphic><a:graphicData "
           "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp><wps:cNvSpPr "
           "txBox=\"1\"/><wps:spPr><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></wps:spPr><wps:txbx>"
           "<w:txbxContent>" +
           paragraph(run(text)) +
           "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:inline>"
           "</w:drawing></w:r>";
}

const PlacedPicture* boxOf(const Shown& s) {
    for (const PlacedPicture& p : s.copy.pictures)
        if (p.text)
            return &p;
    return nullptr;
}

} // namespace

class TestCellFloats : public QObject {
    Q_OBJECT

private slots:
    // A floating table followed straight by another table stands in that table's first cell, from the
    // cell's text and its first paragraph's top; the cell's text goes beside it while there is room
    // and below it where there is none.
    void frameBeforeTableInItsFirstCell_data() {
        QTest::addColumn<int>("cellWidth");
        QTest::addColumn<QByteArray>("tblPr");
        QTest::addColumn<int>("textTwips"); // the cell's text from the margin
        QTest::addColumn<bool>("below");
        QTest::newRow("beside") << 6000 << QByteArray() << 0 << false;
        QTest::newRow("indented") << 6000 << QByteArray("<w:tblInd w:w=\"2000\" w:type=\"dxa\"/>") << 2000
                                  << false;
        QTest::newRow("narrow") << 1800 << QByteArray("<w:jc w:val=\"right\"/>") << 9360 - 1800 + 108 << true;
    }

    void frameBeforeTableInItsFirstCell() {
        QFETCH(int, cellWidth);
        QFETCH(QByteArray, tblPr);
        QFETCH(int, textTwips);
        QFETCH(bool, below);
        const Shown s = showBody(paragraph(run("Invoice")) + floatingTable() +
                                 table({paragraph(run(kLong)), paragraph(run("Total"))}, cellWidth, tblPr) +
                                 paragraph(run("Thank you")));
        const PlacedPicture* frame = boxOf(s);
        QVERIFY(frame);
        const QTextBlock cell = blockStarting(*s.copy.body, QStringLiteral("Your new car"));
        const QRectF first = onSheet(s, cell);
        // Its text at the cell's, its rules a cell's margin further out.
        const double textLeft = twipsToLayout(1440 + textTwips);
        QVERIFY2(qAbs(frame->rect.left() - textLeft) < twipsToLayout(30),
                 qPrintable(QString::number(frame->rect.left() - textLeft)));
        // From the cell's first paragraph's top.
        QVERIFY(qAbs(frame->rect.top() - first.top()) < twipsToLayout(20));
        const double clear = frame->rect.left() + twipsToLayout(2000 - 108 + 180);
        const QTextLine line = cell.layout()->lineAt(0);
        if (below) {
            QVERIFY2(first.top() + line.y() >= frame->rect.bottom() - 1,
                     qPrintable(QString::number(first.top())));
        } else {
            // Level with it, a line starts the table's distance from its right rule.
            QVERIFY(first.top() + line.y() < frame->rect.bottom());
            QVERIFY2(qAbs(first.left() + line.x() - clear) < twipsToLayout(30),
                     qPrintable(QString::number(first.left() + line.x() - clear)));
        }
    }

    // A floating table of no set height beside a paragraph: every line level with the table keeps clear
    // of it, not only the first.
    void paragraphBesideFloatingTable() {
        const Shown s = showBody(floatingTable() + paragraph(run(kLong + " " + kLong)));
        const PlacedPicture* frame = boxOf(s);
        QVERIFY(frame);
        int level = 0;
        for (const SheetLine& line : bodyLines(s)) {
            if (!line.text.startsWith(QLatin1String("Your")) && line.rect.left() < frame->rect.left() + 1)
                continue; // the table's own lines
            if (line.rect.top() >= frame->rect.bottom() - 1)
                continue;
            ++level;
            QVERIFY2(line.rect.left() >= frame->rect.left() + twipsToLayout(2000 - 108 + 180) - 1,
                     qPrintable(line.text + QString::number(line.rect.left() - frame->rect.left())));
        }
        QVERIFY(level >= 2);
    }

    // Shapes placed from the text's column in a table's cell are placed from the cell's text: a VML box
    // and a frame of text alike.
    void columnInACellIsTheCells() {
        const QByteArray indented = "<w:tblInd w:w=\"2000\" w:type=\"dxa\"/>";
        const Shown vml =
            showBody(table({paragraph(kTextBoxType + vmlBox("10pt") + run("Anchor"))}, 6000, indented));
        const PlacedPicture* box = boxOf(vml);
        QVERIFY(box);
        QVERIFY2(qAbs(box->rect.left() - twipsToLayout(1440 + 2000 + 400)) < twipsToLayout(30),
                 qPrintable(QString::number(box->rect.left())));
        const Shown placed =
            showBody(paragraph(run("Invoice")) + floatingTable("w:tblpX=\"1000\" w:tblpY=\"300\"") +
                     table({paragraph(run(kLong))}, 6000, indented));
        QVERIFY(boxOf(placed));
        QVERIFY2(qAbs(boxOf(placed)->rect.left() - twipsToLayout(1440 + 2000 + 1000)) < twipsToLayout(30),
                 qPrintable(QString::number(boxOf(placed)->rect.left() / twipsToLayout(1))));
    }

    // Word's text box raised above its paragraph in a table's cell stands at the cell's top, as
    // LibreOffice sets it as a frame of text; a shape of an unknown type, or one in the body, is raised.
    void textBoxNoHigherThanItsCell() {
        // The box's top from its paragraph's, and the cell's top from there, in points.
        double cellTop = 0;
        const auto boxTop = [&](const QByteArray& body) {
            const Shown s = showBody(paragraph(run("Heading")) + paragraph(run("More")) + body);
            const double anchor = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Anchor"))).top();
            cellTop = (onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Above"))).top() - anchor) /
                      twipsToLayout(20);
            const PlacedPicture* box = boxOf(s);
            return box ? (box->rect.top() - anchor) / twipsToLayout(20) : 1e9;
        };
        const auto cell = [](const QByteArray& content) {
            return table({paragraph(run("Above")) + paragraph(content + run("Anchor"))}, 6000);
        };
        // Above the line before the anchor, the cell's first: at the cell's top; below it, or not
        // Word's text box, or in the body, at its offset.
        const double top = boxTop(cell(kTextBoxType + vmlBox("-30pt")));
        QVERIFY2(qAbs(top - cellTop) < 0.5 && cellTop < -5, qPrintable(QString::number(top)));
        QVERIFY(qAbs(boxTop(cell(vmlBox("-30pt", "v:rect"))) - top) < 0.5);
        for (const auto& [body, offset] :
             {std::pair(cell(kTextBoxType + vmlBox("-5pt")), -5), std::pair(cell(vmlBox("-30pt")), -30),
              std::pair(paragraph(kTextBoxType + vmlBox("-30pt") + run("Anchor")), -30)})
            QVERIFY(qAbs(boxTop(body) - offset) < 0.5);
    }

    // A DrawingML text box anchored in a table's cell has its text set off by the box's distance from the
    // text at its left, its outline staying in place, as LibreOffice draws it; one in the body, or a VML
    // text box in a cell, keeps its text at its insets.
    void shapeTextInACellOffByItsGap() {
        const auto anchoredBox = [](const QByteArray& distL) {
            return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"" + distL +
                   "\" distR=\"0\" simplePos=\"0\" relativeHeight=\"1\" behindDoc=\"0\" locked=\"0\" "
                   "layoutInCell=\"1\" allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"1270000\" cy=\"508000\"/><wp:wrapNone/><wp:docPr id=\"1\" "
                   "name=\"Label\"/><a:graphic>"
                   "<a:graphicData uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\">"
                   "<wps:wsp><wps:spPr><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></wps:spPr><wps:txbx>"
                   "<w:txbxContent>" +
                   paragraph(run("Price")) +
                   "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></"
                   "wp:anchor>"
                   "</w:drawing></w:r>";
        };
        const auto textOff = [](const QByteArray& body) {
            const Shown s = showBody(body);
            const PlacedPicture* box = boxOf(s);
            return box ? box->textOffset.x() / twipsToLayout(1) : -1e9;
        };
        const auto inCell = [](const QByteArray& content) { return table({paragraph(content)}, 4000); };
        const double body = textOff(paragraph(anchoredBox("228600")));
        QVERIFY2(qAbs(textOff(inCell(anchoredBox("228600"))) - (body + 360)) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(textOff(inCell(anchoredBox("228600")))).arg(body)));
        QVERIFY(qAbs(textOff(inCell(anchoredBox("0"))) - body) < 1);
        QVERIFY(qAbs(textOff(paragraph(anchoredBox("0"))) - body) < 1);
        const double vmlBody = textOff(paragraph(kTextBoxType + vmlBox("0pt")));
        QVERIFY(qAbs(textOff(inCell(kTextBoxType + vmlBox("0pt"))) - vmlBody) < 1);
    }

    // A text box set in a line stands where its paragraph's line starts, by the paragraph's indent and
    // alignment, in a label sheet's cells each in its own cell: LibreOffice sets one centred in a cell
    // 3000 twips wide 500 twips in from the cell's text.
    void textBoxInLineStandsInItsLine() {
        const auto cell = [](int width, const QByteArray& content) {
            const QByteArray w = QByteArray::number(width);
            return "<w:tc><w:tcPr><w:tcW w:w=\"" + w + "\" w:type=\"dxa\"/></w:tcPr>" + content + "</w:tc>";
        };
        const QByteArray sheet =
            "<w:tbl><w:tblPr><w:tblW w:w=\"9000\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/>"
            "<w:tblCellMar><w:left w:w=\"0\" w:type=\"dxa\"/><w:right w:w=\"0\" w:type=\"dxa\"/>"
            "</w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol w:w=\"3000\"/><w:gridCol w:w=\"3000\"/>"
            "<w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr>" +
            cell(3000, paragraph(inlineBox("First"))) +
            cell(3000, paragraph(inlineBox("Second"), "<w:jc w:val=\"center\"/>")) +
            cell(3000, paragraph(inlineBox("Third"), "<w:jc w:val=\"right\"/>")) + "</w:tr></w:tbl>";
        const Shown s = showBody(paragraph(inlineBox("Indented"), "<w:ind w:left=\"1000\"/>") + sheet);
        std::map<QString, double> left;
        for (const PlacedPicture& p : s.copy.pictures)
            if (p.text)
                left[p.text->toPlainText().trimmed()] = p.rect.left();
        QCOMPARE(left.size(), size_t(4));
        const auto near = [](double a, double b) { return qAbs(a - b) < twipsToLayout(30); };
        QVERIFY2(near(left["Indented"], twipsToLayout(1440 + 1000)),
                 qPrintable(QString::number(left["Indented"])));
        const double first = left["First"];
        QVERIFY2(near(left["Second"] - first, twipsToLayout(3000 + 500)),
                 qPrintable(QString::number(left["Second"] - first)));
        QVERIFY2(near(left["Third"] - first, twipsToLayout(6000 + 1000)),
                 qPrintable(QString::number(left["Third"] - first)));
    }
};

QTEST_MAIN(TestCellFloats)
#include "tst_cellfloats.moc"
