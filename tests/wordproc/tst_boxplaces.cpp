#include "DocxSamples.h"
#include "Sheets.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"

#include <QtTest>

using namespace wordproc;
using namespace docxsamples;
using namespace sheets;

namespace {

Printed lay(const QByteArray& body, const QByteArray& sectPr = section()) {
    return printTemplate(readDocx(zipParts(package(document(body, sectPr))), QStringLiteral("boxes.docx")));
}

// A VML text box of `width` points, `top` points down the page, across from `relative` ("" for
// none), holding `text`.
QByteArray vmlBox(const QByteArray& relative, int width, int top, const QByteArray& text,
                  const QByteArray& extra = {}) {
    return "<w:r><w:pict><v:shape type=\"#_x0000_t202\" style=\"position:absolute;margin-left:0;margin-top:" +
           QByteArray::number(top) + "pt;width:" + QByteArray::number(width) + "pt;height:50pt;z-index:-5;" +
           (relative.isEmpty() ? QByteArray() : "mso-position-horizontal-relative:" + relative + ";") +
           "mso-position-vertical-relative:page\" fillcolor=\"#a7cae2\" stroked=\"f\"><v:textbox>"
           "<w:txbxContent>" +
           paragraph(run(text)) + "</w:txbxContent></v:textbox>" + extra + "</v:shape></w:pict></w:r>";
}

// A DrawingML text box placed `from` a column or the margin, 100 pt wide.
QByteArray drawingBox(const QByteArray& from, int top, const QByteArray& text) {
    return "<w:r><w:drawing><wp:anchor distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" simplePos=\"0\" "
           "relativeHeight=\"1\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\">"
           "<wp:simplePos x=\"0\" y=\"0\"/><wp:positionH relativeFrom=\"" +
           from +
           "\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\">"
           "<wp:posOffset>" +
           QByteArray::number(qint64(top) * 12700) +
           "</wp:posOffset></wp:positionV><wp:extent cx=\"1270000\" cy=\"635000\"/><wp:wrapNone/>"
           "<wp:docPr id=\"9\" name=\"Box\"/><a:graphic><a:graphicData "
           "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
           "<wps:cNvSpPr txBox=\"1\"/><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"1270000\" "
           "cy=\"635000\"/></a:xfrm><a:prstGeom prst=\"rect\"/></wps:spPr><wps:txbx><w:txbxContent>" +
           paragraph(run(text)) +
           "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData>"
           "</a:graphic></wp:anchor></w:drawing></w:r>";
}

// The text box holding `text` as placed on the sheets.
const PlacedPicture* placedBox(const Printed& l, const QString& text) {
    for (const PlacedPicture& p : l.copy.pictures)
        if (p.text && p.text->toPlainText().contains(text))
            return &p;
    return nullptr;
}

// Two columns half an inch apart on a Letter page with one-inch margins: each 3 in wide.
const QByteArray kTwoColumns = section("<w:cols w:num=\"2\" w:space=\"720\"/>");
constexpr int kSecondColumnTwips = 1440 + 4320 + 720;

} // namespace

class TestBoxPlaces : public QObject {
    Q_OBJECT

private slots:
    // A box placed across from the text's column (VML "text" or no word at all, DrawingML "column",
    // a frame's "text") stands in the column its paragraph lies in; one placed from the margin stays
    // at the margin whatever column holds its anchor.
    void boxesFromTheAnchorsColumn() {
        const QByteArray frame =
            paragraph(run("Framed"), "<w:framePr w:w=\"2000\" w:hAnchor=\"text\" w:vAnchor=\"page\" "
                                     "w:x=\"0\" w:y=\"13000\" w:wrap=\"none\"/>");
        const QByteArray body = paragraph(run("Left column")) +
                                paragraph("<w:r><w:br w:type=\"column\"/></w:r>") +
                                paragraph(run("Right column") + vmlBox("text", 100, 300, "VmlText")) +
                                paragraph(run("Right again") + vmlBox({}, 100, 400, "VmlNone") +
                                          vmlBox("margin", 100, 500, "VmlMargin")) +
                                paragraph(run("And again") + drawingBox("column", 560, "DrawnColumn") +
                                          drawingBox("margin", 620, "DrawnMargin")) +
                                frame;
        const Printed l = lay(body, kTwoColumns);
        QCOMPARE(pageOfText(*l.copy.body, QStringLiteral("Right column")), 1);
        const auto left = [&](const char* text) {
            const PlacedPicture* p = placedBox(l, QString::fromLatin1(text));
            return p ? qRound(p->rect.left() * 1440 / kLayoutDpi) : -1;
        };
        QCOMPARE(left("VmlText"), kSecondColumnTwips);
        QCOMPARE(left("VmlNone"), kSecondColumnTwips);
        QCOMPARE(left("DrawnColumn"), kSecondColumnTwips);
        QCOMPARE(left("Framed"), kSecondColumnTwips);
        QCOMPARE(left("VmlMargin"), 1440);
        QCOMPARE(left("DrawnMargin"), 1440);
        for (const PlacedPicture& p : l.copy.pictures)
            QCOMPARE(p.page / l.copy.columns, 0);
    }

    // A box as wide as its column that the text would flow round leaves no room beside it there: the
    // lines of its paragraph stay in that column rather than being pushed on past a frame wider than
    // the column.
    void columnWideBoxKeepsItsParagraph() {
        QByteArray words;
        for (int i = 0; i < 12; ++i)
            words += "Words that fill the column. ";
        const QByteArray body =
            paragraph(run("Left column")) + paragraph("<w:r><w:br w:type=\"column\"/></w:r>") +
            paragraph(
                run("Right column " + words) +
                vmlBox("text", 216, 600, "Wide",
                       "<w10:wrap xmlns:w10=\"urn:schemas-microsoft-com:office:word\" type=\"square\"/>")) +
            paragraph(run("Closing words"));
        const Printed l = lay(body, kTwoColumns);
        QCOMPARE(pageOfText(*l.copy.body, QStringLiteral("Right column")), 1);
        QCOMPARE(pageOfText(*l.copy.body, QStringLiteral("Closing words")), 1);
        QCOMPARE(l.copy.ownSheets(), 1);
    }

    // A paragraph's frame set in the line, as Word writes it where a paragraph takes its style's frame
    // off, is no frame: the paragraph stays in the text between its neighbours, in a table's cell as in
    // the body; a frame set at a place still floats.
    void inlineFramesStayInTheText() {
        const QByteArray inline_ = "<w:framePr w:hSpace=\"0\" w:wrap=\"auto\" w:hAnchor=\"text\" "
                                   "w:xAlign=\"left\" w:yAlign=\"inline\"/>";
        const QByteArray cell = "<w:tc><w:tcPr><w:tcW w:w=\"4000\" w:type=\"dxa\"/></w:tcPr>" +
                                paragraph(run("In a cell"), inline_) + "</w:tc>";
        const QByteArray body =
            paragraph(run("Before")) + paragraph(run("In the body"), inline_) + paragraph(run("After")) +
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr>" + cell + "</w:tr></w:tbl>" +
            paragraph(run("Floated"), "<w:framePr w:w=\"2000\" w:hAnchor=\"page\" w:vAnchor=\"page\" "
                                      "w:x=\"7000\" w:y=\"9000\" w:yAlign=\"top\"/>");
        const Printed l = lay(body);
        QCOMPARE(l.t->floats.size(), size_t(1));
        QVERIFY(placedBox(l, QStringLiteral("Floated")));
        QVERIFY(!placedBox(l, QStringLiteral("In the body")) && !placedBox(l, QStringLiteral("In a cell")));
        const QString text = l.copy.body->toPlainText();
        const qsizetype at = text.indexOf(QStringLiteral("In the body"));
        QVERIFY(text.indexOf(QStringLiteral("Before")) < at && at < text.indexOf(QStringLiteral("After")));
        QVERIFY(text.contains(QStringLiteral("In a cell")));
    }

    // An empty paragraph whose mark is hidden takes no line, in a text box as in the body: the box's
    // text starts at its top and the body's next paragraph follows straight on. A box holding only such
    // a paragraph keeps it, and is drawn.
    void hiddenEmptyParagraphsTakeNoLine() {
        const QByteArray hidden = paragraph({}, "<w:rPr><w:vanish/><w:sz w:val=\"48\"/></w:rPr>");
        const auto box = [](int top, const QByteArray& content) {
            return "<w:r><w:pict><v:shape type=\"#_x0000_t202\" style=\"position:absolute;margin-left:0;"
                   "margin-top:" +
                   QByteArray::number(top) +
                   "pt;width:200pt;height:100pt;z-index:1;mso-position-vertical-relative:page\" "
                   "fillcolor=\"red\"><v:textbox inset=\"0,0,0,0\"><w:txbxContent>" +
                   content + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>";
        };
        const QByteArray body =
            paragraph(run("Alpha")) + hidden + hidden +
            paragraph(run("Beta") + box(400, hidden + paragraph(run("Boxed"))) + box(550, hidden)) +
            paragraph(run("Gamma"));
        const Printed l = lay(body);
        QCOMPARE(l.t->body.blocks.size(), size_t(3));
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        const auto top = [](const QTextDocument& doc, const QString& text) {
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                if (b.text().contains(text))
                    return doc.documentLayout()->blockBoundingRect(b).top();
            return -1.0;
        };
        const QTextDocument& doc = *l.copy.body;
        const double line = top(doc, QStringLiteral("Beta")) - top(doc, QStringLiteral("Alpha"));
        QVERIFY2(line > 0 && line < twipsToLayout(20 * 15), qPrintable(QString::number(line)));
        const PlacedPicture* placed = placedBox(l, QStringLiteral("Boxed"));
        QVERIFY(placed);
        QCOMPARE(top(*placed->text, QStringLiteral("Boxed")), 0.0);
    }

    // A VML group set in the line (not placed absolutely), as a letterhead's rules are: its line is as
    // tall as the group, its pieces stand from that line's top, and they push no text further down.
    void groupInTheLineTakesItsHeight() {
        const QByteArray group =
            "<w:r><w:pict><v:group style=\"width:300pt;height:40pt;mso-position-horizontal-relative:char;"
            "mso-position-vertical-relative:line\" coordorigin=\"0,0\" coordsize=\"3000,400\"><v:shape "
            "type=\"#_x0000_t32\" style=\"position:absolute;left:0;top:200;width:3000;height:0\" "
            "strokecolor=\"blue\" strokeweight=\"3pt\"/></v:group></w:pict></w:r>";
        const QByteArray spaced = "<w:spacing w:before=\"120\" w:after=\"0\"/>";
        const Printed l = lay(paragraph(run("Alpha"), spaced) + paragraph(group, spaced) +
                              paragraph(run("Beta"), "<w:spacing w:before=\"0\" w:after=\"0\"/>"));
        QCOMPARE(l.t->floats.size(), size_t(1));
        QCOMPARE(l.t->floats[0].wrap, Floating::Wrap::None);
        QCOMPARE(l.copy.pictures.size(), size_t(1));
        const QTextDocument& doc = *l.copy.body;
        const QTextBlock groupBlock =
            doc.findBlock(doc.toPlainText().indexOf(QChar::ObjectReplacementCharacter));
        const QRectF line = doc.documentLayout()->blockBoundingRect(groupBlock);
        const double beta = doc.documentLayout()->blockBoundingRect(groupBlock.next()).top();
        // The group's line, below the space before, as tall as the group and a little more at most.
        const double tall = beta - line.top();
        QVERIFY2(tall >= twipsToLayout(800) - 1 && tall < twipsToLayout(800 + 100),
                 qPrintable(QString::number(tall)));
        // The rule halfway down the group, on the sheet: the body's top is the page's top margin.
        const double rule = l.copy.pictures[0].rect.top() - twipsToLayout(1440);
        QVERIFY2(qAbs(rule - (line.top() + twipsToLayout(400))) < 2, qPrintable(QString::number(rule)));
    }

    // A VML text box whose lines run down it (layout-flow:vertical), or up it from its foot
    // (mso-layout-flow-alt:bottom-to-top): its lines are as long as the box is tall, and its text is
    // drawn turned, from the box's top or foot and against the side the lines' tops face, a little in
    // from the edges whatever insets and anchor the file gives.
    void turnedTextBoxes() {
        const auto box = [](int left, const QByteArray& flow, const QByteArray& text) {
            return "<w:r><w:pict><v:shape type=\"#_x0000_t202\" style=\"position:absolute;margin-left:" +
                   QByteArray::number(left) +
                   "pt;margin-top:100pt;width:60pt;height:300pt;z-index:1;mso-position-horizontal-"
                   "relative:page;mso-position-vertical-relative:page;v-text-anchor:middle\" "
                   "stroked=\"f\"><v:textbox style=\"" +
                   flow + "\" inset=\"20pt,20pt,20pt,20pt\"><w:txbxContent>" + paragraph(run(text)) +
                   "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>";
        };
        const Printed l =
            lay(paragraph(box(100, "layout-flow:vertical;mso-layout-flow-alt:bottom-to-top", "Upward words") +
                          box(300, "layout-flow:vertical", "Downward words") + run("Anchor")));
        QCOMPARE(l.t->floats.size(), size_t(2));
        QCOMPARE(l.t->floats[0].flow, Floating::Flow::Up);
        QCOMPARE(l.t->floats[1].flow, Floating::Flow::Down);
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        // The ink of the box at `left` points: where it lies, in points on the page.
        const auto ink = [&](int left) {
            QRectF found;
            const int x0 = left * kDpi / 72, x1 = (left + 60) * kDpi / 72;
            for (int y = 100 * kDpi / 72; y < 400 * kDpi / 72; ++y)
                for (int x = x0; x < x1; ++x)
                    if (qGray(page.pixel(x, y)) < 128)
                        found |= QRectF(x * 72.0 / kDpi, y * 72.0 / kDpi, 1, 1);
            return found;
        };
        const QRectF up = ink(100), down = ink(300);
        QVERIFY2(up.height() > 3 * up.width() && down.height() > 3 * down.width(),
                 qPrintable(QStringLiteral("%1x%2 %3x%4")
                                .arg(up.width())
                                .arg(up.height())
                                .arg(down.width())
                                .arg(down.height())));
        // Up from the foot, the lines' tops to the left; down from the top, their tops to the right.
        QVERIFY2(up.bottom() > 390 && up.bottom() < 400 && up.left() < 100 + 10,
                 qPrintable(QStringLiteral("%1 %2").arg(up.left()).arg(up.bottom())));
        QVERIFY2(down.top() > 100 && down.top() < 110 && down.right() > 360 - 10,
                 qPrintable(QStringLiteral("%1 %2").arg(down.right()).arg(down.top())));
    }
};

QTEST_MAIN(TestBoxPlaces)
#include "tst_boxplaces.moc"
