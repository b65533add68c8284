#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

const QByteArray kLetter =
    "Thank you for visiting our showroom last week. We would like to invite you to a test drive "
    "of the new models that arrived this month, with financing offers that end soon. ";

// A picture floated by Word: where it lies (`h` and `v`, each a relativeFrom and an offset in EMU or an
// alignment), its size in EMU, its wrap element and its distances from the text.
QByteArray anchored(const QByteArray& h, const QByteArray& v, int cx, int cy, const QByteArray& wrap,
                    const QByteArray& dist = "distT=\"0\" distB=\"0\" distL=\"114300\" distR=\"114300\"") {
    const auto place = [](const QByteArray& axis, const QByteArray& where) {
        const QList<QByteArray> parts = where.split(' ');
        const QByteArray& at = parts.value(1);
        const bool offset = !at.isEmpty() && (at[0] == '-' || (at[0] >= '0' && at[0] <= '9'));
        return "<wp:position" + axis + " relativeFrom=\"" + parts.value(0) + "\">" +
               (offset ? "<wp:posOffset>" + at + "</wp:posOffset>" : "<wp:align>" + at + "</wp:align>") +
               "</wp:position" + axis + ">";
    };
    const QByteArray size = "cx=\"" + QByteArray::number(cx) + "\" cy=\"" + QByteArray::number(cy) + "\"";
    return "<w:r><w:drawing><wp:anchor " + dist +
           " simplePos=\"0\" relativeHeight=\"1\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" "
           "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/>" +
           place("H", h) + place("V", v) + "<wp:extent " + size + "/>" + wrap +
           "<wp:docPr id=\"1\" name=\"Logo\"/><a:graphic><a:graphicData "
           "uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
           "picture\"><pic:pic><pic:nvPicPr><pic:cNvPr "
           "id=\"1\" name=\"logo.png\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip "
           "r:embed=\"rId1\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off "
           "x=\"0\" y=\"0\"/><a:ext " +
           size +
           "/></a:xfrm><a:prstGeom prst=\"rect\"/></pic:spPr></pic:pic></a:graphicData></a:graphic>"
           "</wp:anchor></w:drawing></w:r>";
}

QByteArray plain(const QByteArray& text) {
    return paragraph(run(text, "<w:rFonts w:ascii=\"Liberation Sans\" w:hAnsi=\"Liberation Sans\"/>"),
                     "<w:spacing w:after=\"0\"/>");
}

// The letterhead: the dealer's name with the logo's anchor, the address lines, then a long paragraph.
Shown showLetterhead(const QByteArray& logo, const QByteArray& more = {}) {
    QByteArray body = paragraph(logo + run("Smith Motors"), "<w:spacing w:after=\"0\"/>");
    for (const QByteArray& line :
         {QByteArray("1200 Main Street"), QByteArray("Springfield, IL 62701"), QByteArray("(217) 555-0100")})
        body += plain(line);
    body += more + plain(kLetter + kLetter + kLetter);
    Shown s;
    s.t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body), {{"image", "media/logo.png", png(40, 30)}})),
                 QStringLiteral("l.docx")));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

// The lines level with `picture` end `gap` twips before its left edge (or start as far after its right
// edge when `rightOf`); the others run from margin to margin. Gives how many lines are level with it.
int checkBeside(const Shown& s, const QRectF& picture, int gap, bool rightOf) {
    const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
    const double clear = twipsToLayout(gap);
    int level = 0;
    for (const SheetLine& line : bodyLines(s)) {
        const bool beside = line.rect.top() < picture.bottom() - 1 && line.rect.bottom() > picture.top() + 1;
        const bool fits =
            !beside   ? qAbs(line.rect.left() - left) <= 1 && line.rect.right() >= right - twipsToLayout(200)
            : rightOf ? line.rect.left() >= picture.right() + clear - 1
                      : line.rect.right() <= picture.left() - clear + 1 && qAbs(line.rect.left() - left) <= 1;
        if (!fits) {
            qWarning("%s line out of place: %s", beside ? "beside" : "below", qPrintable(line.text));
            return -1;
        }
        level += beside;
    }
    return level;
}

} // namespace

class TestFloatWrap : public QObject {
    Q_OBJECT

private slots:
    void logoPlacedOnThePage() {
        // The logo an inch down at the page's right edge less 2.5 inches, the address beside it: the lines
        // level with it stop an eighth of an inch before it, those below run to the margin.
        const Shown s = showLetterhead(anchored("page 5486400", "page 914400", 1828800, 1371600,
                                                "<wp:wrapSquare wrapText=\"bothSides\"/>"));
        const Floating& fl = s.t->floats.at(0);
        QVERIFY(fl.wrap == Floating::Wrap::Around && fl.side == Floating::Side::Both);
        QCOMPARE(fl.gapTwips[0], 180);
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& logo = s.copy.pictures.front();
        QCOMPARE(logo.page, 0);
        QVERIFY(qAbs(logo.rect.left() - twipsToLayout(8640)) < 1 &&
                qAbs(logo.rect.top() - twipsToLayout(1440)) < 1);
        // The address and the letter's first lines, not all of them.
        const int level = checkBeside(s, logo.rect, 180, false);
        QVERIFY2(level >= 6 && level < 14, qPrintable(QString::number(level)));
    }

    void logoPlacedOnTheMarginWithWideGap() {
        // A logo at the top left corner of the margins, the text only at its right, a quarter inch clear.
        const Shown s = showLetterhead(anchored("margin 0", "margin 0", 1371600, 1371600,
                                                "<wp:wrapSquare wrapText=\"right\"/>",
                                                "distT=\"0\" distB=\"0\" distL=\"0\" distR=\"228600\""));
        const Floating& fl = s.t->floats.at(0);
        QVERIFY(fl.side == Floating::Side::Right && fl.gapTwips[2] == 360 && fl.gapTwips[0] == 0);
        const PlacedPicture& logo = s.copy.pictures.at(0);
        QVERIFY(qAbs(logo.rect.left() - twipsToLayout(1440)) < 1 &&
                qAbs(logo.rect.top() - twipsToLayout(1440)) < 1);
        QVERIFY(checkBeside(s, logo.rect, 360, true) >= 6);
    }

    void textKeptToTheSideAsked() {
        // A picture left of the middle, the text asked on its left where there is less room: the lines
        // level with it end before it, none runs on its right.
        const Shown s = showLetterhead(
            anchored("margin 1371600", "paragraph 0", 1371600, 914400, "<wp:wrapSquare wrapText=\"left\"/>"));
        QVERIFY(s.t->floats.at(0).side == Floating::Side::Left);
        const PlacedPicture& logo = s.copy.pictures.at(0);
        QVERIFY(checkBeside(s, logo.rect, 180, false) >= 3);
    }

    void pictureAnchoredAfterText() {
        // The picture's run comes after the paragraph's first words: its paragraph still flows beside it
        // from its top, a tight outline taken as the picture's box.
        const QByteArray logo = anchored("margin right", "paragraph 0", 1828800, 1371600,
                                         "<wp:wrapTight wrapText=\"bothSides\"><wp:wrapPolygon edited=\"0\">"
                                         "<wp:start x=\"0\" y=\"0\"/><wp:lineTo x=\"0\" y=\"21600\"/>"
                                         "</wp:wrapPolygon></wp:wrapTight>");
        const Shown s = showLetterhead({}, paragraph(run(kLetter) + logo + run(kLetter + kLetter)));
        const PlacedPicture& picture = s.copy.pictures.at(0);
        QVERIFY(qAbs(picture.rect.right() - twipsToLayout(12240 - 1440)) < 1);
        const QTextBlock anchor = blockStarting(*s.copy.body, QString::fromUtf8(kLetter.left(20)));
        QVERIFY(qAbs(onSheet(s, anchor).top() - picture.rect.top()) < 1);
        QVERIFY(checkBeside(s, picture.rect, 180, false) >= 3);
    }

    // A text box set against a side stands its distance from the text in from that side when the text
    // goes round it, as LibreOffice places it; at the margin's left edge the margin gives that room. A
    // picture stands at the side.
    void alignedBoxKeepsItsDistance_data() {
        QTest::addColumn<QByteArray>("h");
        QTest::addColumn<QByteArray>("v");
        QTest::addColumn<QByteArray>("wrap");
        QTest::addColumn<bool>("shape");
        QTest::addColumn<QPoint>("corner"); // the box's top left corner, in twips from the page's
        const QByteArray square = "<wp:wrapSquare wrapText=\"bothSides\"/>";
        const int right = 12240 - 1440 - 1828800 / 635;
        QTest::newRow("right margin") << QByteArray("margin right") << QByteArray("margin 0") << square
                                      << true << QPoint(right - 360, 1440);
        QTest::newRow("right, in front") << QByteArray("margin right") << QByteArray("margin 0")
                                         << QByteArray("<wp:wrapNone/>") << true << QPoint(right, 1440);
        QTest::newRow("left of the page")
            << QByteArray("page left") << QByteArray("margin 0") << square << true << QPoint(360, 1440);
        QTest::newRow("left margin") << QByteArray("margin left") << QByteArray("margin 0") << square << true
                                     << QPoint(1440, 1440);
        QTest::newRow("top") << QByteArray("margin 0") << QByteArray("page top") << square << true
                             << QPoint(1440, 360);
        QTest::newRow("bottom") << QByteArray("margin 0") << QByteArray("margin bottom") << square << true
                                << QPoint(1440, 15840 - 1440 - 914400 / 635 - 360);
        QTest::newRow("picture at the right")
            << QByteArray("margin right") << QByteArray("margin 0") << square << false << QPoint(right, 1440);
    }

    void alignedBoxKeepsItsDistance() {
        QFETCH(QByteArray, h);
        QFETCH(QByteArray, v);
        QFETCH(QByteArray, wrap);
        QFETCH(bool, shape);
        QFETCH(QPoint, corner);
        const QByteArray dist = "distT=\"228600\" distB=\"228600\" distL=\"228600\" distR=\"228600\"";
        QByteArray drawing = anchored(h, v, 1828800, 914400, wrap, dist);
        if (shape) {
            const qsizetype from = drawing.indexOf("<a:graphic>");
            const qsizetype to = drawing.indexOf("</a:graphic>") + 12;
            drawing.replace(
                from, to - from,
                "<a:graphic><a:graphicData uri=\"http://schemas.microsoft.com/office/word/2010/"
                "wordprocessingShape\"><wps:wsp><wps:spPr><a:prstGeom prst=\"rect\"/></wps:spPr>"
                "<wps:txbx><w:txbxContent>" +
                    paragraph(run("Open Saturday")) +
                    "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>");
        }
        const Shown s = showLetterhead(drawing);
        const QRectF r = s.copy.pictures.at(0).rect;
        QVERIFY2(
            qAbs(r.left() - twipsToLayout(corner.x())) < 1 && qAbs(r.top() - twipsToLayout(corner.y())) < 1,
            qPrintable(
                QStringLiteral("%1 %2").arg(r.left() * 1440 / kLayoutDpi).arg(r.top() * 1440 / kLayoutDpi)));
    }

    void pictureRaisedAboveItsParagraph() {
        // A logo lifted half an inch above its paragraph's top: the lines below its foot run from margin
        // to margin again, half an inch sooner than for one level with the paragraph.
        const Shown s = showLetterhead(anchored("margin right", "paragraph -457200", 1828800, 1371600,
                                                "<wp:wrapSquare wrapText=\"bothSides\"/>"));
        const PlacedPicture& logo = s.copy.pictures.at(0);
        QVERIFY(qAbs(logo.rect.top() - twipsToLayout(1440 - 720)) < 1);
        const int level = checkBeside(s, logo.rect, 180, false);
        QVERIFY2(level >= 3, qPrintable(QString::number(level)));
    }

    void topAndBottomKeepsItsGap() {
        // Nothing beside a picture the text keeps above and below; its own paragraph starts its gap
        // below it.
        const QByteArray logo =
            anchored("margin center", "paragraph 0", 1828800, 914400, "<wp:wrapTopAndBottom/>",
                     "distT=\"0\" distB=\"228600\" distL=\"0\" distR=\"0\"");
        const Shown s = showLetterhead({}, plain("Dear customer,") + paragraph(logo + run("Offers"), {}));
        const PlacedPicture& picture = s.copy.pictures.at(0);
        QCOMPARE(s.t->floats.at(0).gapTwips[3], 360);
        const QTextBlock after = blockStarting(*s.copy.body, QStringLiteral("Offers"));
        QVERIFY2(qAbs(onSheet(s, after).top() - (picture.rect.bottom() + twipsToLayout(360))) < 2,
                 qPrintable(QString::number(onSheet(s, after).top() - picture.rect.bottom())));
    }

    // A picture as wide as the text over a paragraph's first line: the line goes below it as far as it
    // stood below the text before it, that text's space after and both paragraphs' line spacing
    // taken along, as LibreOffice sets it.
    void firstLineBelowPicture_data() {
        QTest::addColumn<QByteArray>("spacing");
        QTest::addColumn<int>("afterTwips");
        QTest::addColumn<double>("spacedLines"); // lines of spacing beyond single, both paragraphs
        QTest::newRow("space after") << QByteArray("<w:spacing w:after=\"200\"/>") << 200 << 0.0;
        QTest::newRow("one and a half") << QByteArray("<w:spacing w:after=\"0\" w:line=\"360\" "
                                                      "w:lineRule=\"auto\"/>")
                                        << 0 << 1.0;
        QTest::newRow("exact") << QByteArray("<w:spacing w:after=\"0\" w:line=\"400\" w:lineRule=\"exact\"/>")
                               << 0 << 0.0;
    }

    void firstLineBelowPicture() {
        QFETCH(QByteArray, spacing);
        QFETCH(int, afterTwips);
        QFETCH(double, spacedLines);
        const QByteArray wide = anchored("margin 0", "paragraph 100000", 5943600, 1371600,
                                         "<wp:wrapSquare wrapText=\"bothSides\"/>");
        const QByteArray font = "<w:rFonts w:ascii=\"Liberation Serif\" w:hAnsi=\"Liberation Serif\"/>";
        QByteArray body = paragraph(run("Dear customer,", font), spacing);
        body += paragraph(wide + run("Offers", font), spacing) + paragraph(run("Regards", font), spacing);
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body), {{"image", "media/logo.png", png(40, 30)}})),
                     QStringLiteral("p.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const PlacedPicture& picture = s.copy.pictures.at(0);
        const QTextBlock offers = blockStarting(*s.copy.body, QStringLiteral("Offers"));
        const double single = offers.layout()->lineAt(0).height();
        const double below = lineRoomTop(offers, 0) + s.bodyTop() - picture.rect.bottom();
        const double expected = twipsToLayout(afterTwips) + spacedLines * single;
        QVERIFY2(qAbs(below - expected) < twipsToLayout(20),
                 qPrintable(QStringLiteral("%1 below, %2 expected").arg(below).arg(expected)));
    }

    // A form's reference box: a table placed on the page at the right margin, set in from it by its
    // distance from the text there. Its rule stands at that place, its text a cell's margin within, and
    // the lines level with it end before it.
    void tablePlacedOnThePage_data() {
        QTest::addColumn<QByteArray>("place");
        QTest::addColumn<int>("ruleTwips"); // its left rule, from the page's left edge
        QTest::addColumn<bool>("textRight");
        QTest::newRow("right") << QByteArray("w:tblpXSpec=\"right\"") << 1440 + 9360 - 2800 - 360 << false;
        QTest::newRow("left") << QByteArray("w:tblpXSpec=\"left\"") << 1440 + 180 << true;
        QTest::newRow("at") << QByteArray("w:tblpX=\"1000\"") << 1440 + 1000 - 108 << true;
    }

    void tablePlacedOnThePage() {
        QFETCH(QByteArray, place);
        QFETCH(int, ruleTwips);
        QFETCH(bool, textRight);
        QByteArray rows;
        for (const char* cell : {"CREDO REFERENCE", "03/599"})
            rows += "<w:tr><w:trPr><w:trHeight w:val=\"400\"/></w:trPr><w:tc><w:tcPr><w:tcW w:w=\"2800\" "
                    "w:type=\"dxa\"/></w:tcPr>" +
                    paragraph(run(cell)) + "</w:tc></w:tr>";
        const QByteArray table = "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"360\" "
                                 "w:vertAnchor=\"page\" w:horzAnchor=\"margin\" " +
                                 place +
                                 " w:tblpY=\"1800\"/><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr>"
                                 "<w:tblGrid><w:gridCol w:w=\"2800\"/></w:tblGrid>" +
                                 rows + "</w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(table + plain(kLetter + kLetter + kLetter + kLetter)))),
                     QStringLiteral("f.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const auto drawn = record(s, 0);
        const auto label = drawn->textsStarting(QStringLiteral("CREDO"));
        QCOMPARE(label.size(), size_t(1));
        const double rule = twipsToLayout(ruleTwips);
        // The label is the cell's first text: a cell's margin in from the rule.
        QVERIFY2(qAbs(label.front().baseline.x() - (rule + twipsToLayout(108))) < twipsToLayout(20),
                 qPrintable(QString::number(label.front().baseline.x() - rule)));
        const QRectF box(rule, twipsToLayout(1800), twipsToLayout(2800), twipsToLayout(800));
        int level = 0;
        for (const SheetLine& line : bodyLines(s)) {
            if (line.rect.top() >= box.bottom() || line.rect.bottom() <= box.top())
                continue;
            ++level;
            QVERIFY2(textRight ? line.rect.left() >= box.right() : line.rect.right() <= box.left(),
                     qPrintable(line.text));
        }
        QVERIFY(level >= 2);
    }

    void paragraphBelowTableInTheText() {
        // A table as wide as the text placed in it: the paragraph below starts at its foot, keeping none
        // of the space after the paragraph above the table.
        const QByteArray row = "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"9000\" w:type=\"dxa\"/></w:tcPr>" +
                               paragraph(run("Trade-in value")) + "</w:tc></w:tr>";
        const QByteArray table = "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" "
                                 "w:vertAnchor=\"text\" w:tblpY=\"1\"/><w:tblW w:w=\"0\" w:type=\"auto\"/>"
                                 "</w:tblPr><w:tblGrid><w:gridCol w:w=\"9000\"/></w:tblGrid>" +
                                 row + row + "</w:tbl>";
        const QByteArray body = paragraph(run("Your offer"), "<w:spacing w:after=\"400\"/>") + table +
                                paragraph(run("Signed"), "<w:spacing w:after=\"0\"/>");
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(body))), QStringLiteral("t.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const QTextBlock signedBlock = blockStarting(*s.copy.body, QStringLiteral("Signed"));
        const double below = lineRoomTop(signedBlock, 0) + s.bodyTop() - s.copy.pictures.at(0).rect.bottom();
        QVERIFY2(qAbs(below) < twipsToLayout(40), qPrintable(QString::number(below)));
    }

    void topAndBottomOverTheParagraphBefore() {
        // A picture raised into the paragraph before its own, the text kept above and below it: that
        // paragraph goes below the picture too and its own follows, the picture staying where its
        // paragraph first stood; the lines above the picture keep their places.
        const QByteArray logo =
            anchored("margin center", "paragraph -114300", 1828800, 914400, "<wp:wrapTopAndBottom/>",
                     "distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"");
        const Shown s = showLetterhead({}, plain("Dear customer,") + paragraph(logo + run("Offers"), {}));
        const PlacedPicture& picture = s.copy.pictures.at(0);
        const QRectF above = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("(217)")));
        const QRectF dear = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Dear")));
        const QRectF offers = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Offers")));
        QVERIFY(qAbs(picture.rect.top() - (above.bottom() + above.height() - twipsToLayout(180))) < 3);
        QVERIFY2(qAbs(dear.top() - picture.rect.bottom()) < 2,
                 qPrintable(QStringLiteral("%1 %2").arg(dear.top()).arg(picture.rect.bottom())));
        QVERIFY(qAbs(offers.top() - dear.bottom()) < 2);

        // Raised over the page's first paragraph and above the margin: that paragraph starts below it.
        const QByteArray high =
            anchored("margin center", "paragraph -228600", 1828800, 914400, "<wp:wrapTopAndBottom/>",
                     "distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"");
        Shown top;
        top.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(plain("First") + paragraph(high + run("Second"), {})),
                                      {{"image", "media/logo.png", png(40, 30)}})),
                     QStringLiteral("t.docx")));
        top.copy = Merger(top.t, nullptr).next();
        const QRectF first = onSheet(top, blockStarting(*top.copy.body, QStringLiteral("First")));
        QVERIFY(top.copy.pictures.at(0).rect.top() < twipsToLayout(1440));
        QVERIFY2(qAbs(first.top() - top.copy.pictures.at(0).rect.bottom()) < 2,
                 qPrintable(QString::number(first.top())));
    }

    // A picture in a table's cell the text keeps above and below: the cell's text goes below it and the
    // row grows to hold both, a row of a least height included, not by that height again.
    void topAndBottomInACell_data() {
        QTest::addColumn<QByteArray>("rowHeight");
        QTest::newRow("as tall as its text") << QByteArray();
        QTest::newRow("at least an inch") << QByteArray("<w:trPr><w:trHeight w:val=\"1440\"/></w:trPr>");
    }

    void topAndBottomInACell() {
        QFETCH(QByteArray, rowHeight);
        const QByteArray logo =
            anchored("column 0", "paragraph 160655", 1371600, 914400, "<wp:wrapTopAndBottom/>",
                     "distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"");
        const QByteArray cell = "<w:tc><w:tcPr><w:tcW w:w=\"2880\" w:type=\"dxa\"/></w:tcPr>";
        const QByteArray table =
            "<w:tbl><w:tblPr><w:tblW w:w=\"5760\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/></w:tblPr>"
            "<w:tblGrid><w:gridCol w:w=\"2880\"/><w:gridCol w:w=\"2880\"/></w:tblGrid><w:tr>" +
            rowHeight + cell + paragraph(logo + run("Product"), "<w:spacing w:after=\"0\"/>") + "</w:tc>" +
            cell + plain("Price") + "</w:tc></w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(plain("Labels") + table + plain("After")),
                                      {{"image", "media/logo.png", png(40, 30)}})),
                     QStringLiteral("c.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const PlacedPicture& picture = s.copy.pictures.at(0);
        const QRectF labels = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Labels")));
        const QRectF product = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Product")));
        const QRectF price = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Price")));
        const QRectF after = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After")));
        // The picture stands from where the cell's text stood, level with its neighbour's.
        QVERIFY2(qAbs(picture.rect.top() - (price.top() + twipsToLayout(160655.0 / 635))) < 2,
                 qPrintable(QStringLiteral("%1 %2").arg(picture.rect.top()).arg(price.top())));
        QVERIFY(price.top() < labels.bottom() + twipsToLayout(300));
        QVERIFY2(qAbs(product.top() - picture.rect.bottom()) < 2,
                 qPrintable(QStringLiteral("%1 %2").arg(product.top()).arg(picture.rect.bottom())));
        QVERIFY2(qAbs(after.top() - product.bottom()) < twipsToLayout(60),
                 qPrintable(QStringLiteral("%1 %2").arg(after.top()).arg(product.bottom())));
    }

    void logoInTheHeader() {
        // The letterhead in the page header, its logo placed on the page: the address lines in the header
        // stay beside it and end before it, the header keeps to its own band above the body.
        QByteArray header = "<w:hdr " + kW + ">" +
                            paragraph(anchored("page 5486400", "page 457200", 1828800, 1097280,
                                               "<wp:wrapSquare wrapText=\"bothSides\"/>") +
                                      run("Smith Motors"));
        for (const QByteArray& line : {QByteArray("1200 Main Street"), QByteArray("Springfield, IL 62701")})
            header += plain(line);
        header += "</w:hdr>";
        Parts parts = package(
            document(plain(kLetter), section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
            {{"header", "header1.xml", header}, {"image", "media/logo.png", png(40, 30)}});
        parts.emplace_back("word/_rels/header1.xml.rels", relationships({{"image", "media/logo.png"}}));
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(zipParts(parts), QStringLiteral("h.docx")));
        s.copy = Merger(s.t, nullptr).next();
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& logo = s.copy.pictures.front();
        QVERIFY(qAbs(logo.rect.top() - twipsToLayout(720)) < 1 &&
                qAbs(logo.rect.left() - twipsToLayout(8640)) < 1);
        const QTextDocument& band = *s.copy.header;
        int lines = 0;
        for (QTextBlock b = band.begin(); b.isValid(); b = b.next()) {
            const QRectF r = band.documentLayout()->blockBoundingRect(b);
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                if (line.textLength() == 0)
                    continue;
                ++lines;
                // The band starts at the header's distance from the sheet's top.
                QVERIFY2(twipsToLayout(720) + r.top() + line.y() < logo.rect.bottom(), qPrintable(b.text()));
                QVERIFY(twipsToLayout(1440) + r.left() + line.x() + line.width() <=
                        logo.rect.left() - twipsToLayout(180) + 1);
            }
        }
        QCOMPARE(lines, 3);
        QVERIFY(s.bodyTop() < logo.rect.bottom() + twipsToLayout(720));
    }

    // A picture in a line whose frame gives no distance on a side stands an eighth of an inch clear of
    // the text there, as LibreOffice sets it; a distance given, whatever it is, keeps nothing.
    void inlinePictureRoomBeside_data() {
        QTest::addColumn<QByteArray>("dist");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("none given") << QByteArray() << 180 << 180;
        QTest::newRow("left given") << QByteArray("distL=\"0\"") << 0 << 180;
        QTest::newRow("both given") << QByteArray("distL=\"114300\" distR=\"114300\"") << 0 << 0;
    }

    void inlinePictureRoomBeside() {
        QFETCH(QByteArray, dist);
        QFETCH(int, before);
        QFETCH(int, after);
        const QByteArray size = "cx=\"914400\" cy=\"457200\"";
        const QByteArray picture =
            "<w:r><w:drawing><wp:inline " + dist + "><wp:extent " + size +
            "/><wp:docPr id=\"1\" name=\"Logo\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip "
            "r:embed=\"rId1\"/></pic:blipFill><pic:spPr><a:xfrm><a:ext " +
            size +
            "/></a:xfrm></pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(picture + run("After"))),
                                      {{"image", "media/logo.png", png(40, 20)}})),
                     QStringLiteral("i.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const QTextBlock block = s.copy.body->begin();
        const QTextLine line = block.layout()->lineAt(0);
        QVERIFY(block.text().endsWith(QLatin1String("After")));
        QVERIFY(qAbs(line.cursorToX(1) - twipsToLayout(before + 1440 + after)) < 1);
        const QImage page = sheet(s, 0);
        const double top = onSheet(s, block).top() + line.y() + line.ascent() - twipsToLayout(360);
        const double left = twipsToLayout(1440 + before);
        QCOMPARE(page.pixelColor(px(left + twipsToLayout(40)), px(top)), QColor(Qt::darkBlue));
        if (before > 0)
            QCOMPARE(page.pixelColor(px(left - twipsToLayout(40)), px(top)), QColor(Qt::white));
    }

    void rtfShapeOnThePage() {
        // Word's RTF for a picture on the page, the text at its left only, a quarter inch away.
        const QByteArray shape =
            "{\\shp{\\*\\shpinst\\shpleft7200\\shptop1440\\shpright9360\\shpbottom3240\\shpbxpage\\shpbypage"
            "\\shpwr2\\shpwrk1\\shpfblwtxt0\\shpz0{\\sp{\\sn shapeType}{\\sv 75}}{\\sp{\\sn dxWrapDistLeft}"
            "{\\sv 228600}}{\\sp{\\sn pib}{\\sv "
            "{\\pict\\pngblip\\picw40\\pich30\\picwgoal2160\\pichgoal1800 " +
            png(40, 30).toHex() + "}}}}}";
        const Shown s = showWord("\\pard\\plain " + shape + "Smith Motors\\par 1200 Main Street\\par " +
                                 kLetter + kLetter + kLetter + "\\par");
        QCOMPARE(s.t->floats.size(), size_t(1));
        const Floating& fl = s.t->floats.front();
        QVERIFY(fl.fromY == Floating::From::Page && fl.side == Floating::Side::Left && fl.gapTwips[0] == 360);
        const PlacedPicture& picture = s.copy.pictures.at(0);
        QVERIFY(qAbs(picture.rect.left() - twipsToLayout(7200)) < 1 &&
                qAbs(picture.rect.top() - twipsToLayout(1440)) < 1);
        QVERIFY(checkBeside(s, picture.rect, 360, false) >= 4);
    }
};

QTEST_MAIN(TestFloatWrap)
#include "tst_floatwrap.moc"
