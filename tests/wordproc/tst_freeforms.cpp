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

Printed lay(const Parts& parts) {
    return printTemplate(readDocx(zipParts(parts), QStringLiteral("drawn.docx")));
}

QPoint pixel(int xTwips, int yTwips) {
    return QPoint(qRound(xTwips * kDpi / 1440), qRound(yTwips * kDpi / 1440));
}

// A shape placed from the page's corner, an inch square, drawn by `geometry` in `spPr`'s colours.
QByteArray shape(int leftTwips, int topTwips, const QByteArray& geometry, const QByteArray& spPr) {
    return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\"><wp:posOffset>" +
           QByteArray::number(leftTwips * 635) +
           "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>" +
           QByteArray::number(topTwips * 635) +
           "</wp:posOffset></wp:positionV><wp:extent cx=\"914400\" cy=\"914400\"/><wp:wrapNone/><a:graphic>"
           "<a:graphicData "
           "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp>"
           "<wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"914400\" cy=\"914400\"/></a:xfrm>" +
           geometry + spPr +
           "</wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor>"
           "</w:drawing></w:r>";
}

QByteArray pt(int x, int y) {
    return "<a:pt x=\"" + QByteArray::number(x) + "\" y=\"" + QByteArray::number(y) + "\"/>";
}

QByteArray square(int from, int to) {
    return "<a:moveTo>" + pt(from, from) + "</a:moveTo><a:lnTo>" + pt(to, from) + "</a:lnTo><a:lnTo>" +
           pt(to, to) + "</a:lnTo><a:lnTo>" + pt(from, to) + "</a:lnTo><a:close/>";
}

} // namespace

class TestFreeforms : public QObject {
    Q_OBJECT

private slots:
    // Freeforms drawn in Word: a square with a square hole, filled around the hole; a curve, outlined
    // only, followed through its points.
    void freeformFiguresAndCurves() {
        const QByteArray red = "<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill><a:ln "
                               "w=\"12700\"><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:ln>";
        const QByteArray blueLine =
            "<a:noFill/><a:ln w=\"12700\"><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:ln>";
        const QByteArray frame = "<a:custGeom><a:avLst/><a:gdLst/><a:pathLst><a:path w=\"100\" h=\"100\">" +
                                 square(0, 100) + square(25, 75) + "</a:path></a:pathLst></a:custGeom>";
        const QByteArray curve = "<a:custGeom><a:pathLst><a:path w=\"100\" h=\"100\"><a:moveTo>" +
                                 pt(0, 100) + "</a:moveTo><a:cubicBezTo>" + pt(0, 0) + pt(100, 0) +
                                 pt(100, 100) + "</a:cubicBezTo></a:path></a:pathLst></a:custGeom>";
        const Printed l = lay(package(document(
            paragraph(run("Text") + shape(2880, 2880, frame, red) + shape(5760, 2880, curve, blueLine)))));
        QCOMPARE(l.t->floats.size(), size_t(2));
        const Floating& ring = l.t->floats[0];
        QCOMPARE(ring.shape, Floating::Shape::Lines);
        QVERIFY(ring.fill == QColor(Qt::red) && ring.line == QColor(Qt::blue));
        // Each figure closed on its first point; the hole's figure starts after the outline's five.
        QCOMPARE(ring.figures, std::vector<int>{5});
        QCOMPARE(ring.points.size(), size_t(10));
        QCOMPARE(ring.points[4], QPoint(0, 0));
        QCOMPARE(ring.points[5], QPoint(360, 360));
        QCOMPARE(ring.points[7], QPoint(1080, 1080));
        const Floating& arch = l.t->floats[1];
        QVERIFY(!arch.fill.isValid() && arch.line == QColor(Qt::blue));
        QVERIFY(arch.figures.empty());
        QCOMPARE(arch.points.size(), size_t(17));
        QCOMPARE(arch.points.front(), QPoint(0, 1440));
        // Halfway along, the curve stands three quarters of the way up its box.
        QCOMPARE(arch.points[8], QPoint(720, 360));
        QCOMPARE(arch.points.back(), QPoint(1440, 1440));
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        QCOMPARE(page.pixelColor(pixel(2880 + 180, 2880 + 720)), QColor(Qt::red));
        QCOMPARE(page.pixelColor(pixel(2880 + 720, 2880 + 720)), QColor(Qt::white));
        // Nothing joins the outline to the hole.
        QCOMPARE(page.pixelColor(pixel(2880 + 180, 2880 + 180)), QColor(Qt::red));
        QCOMPARE(page.pixelColor(pixel(5760 + 720, 2880 + 720)), QColor(Qt::white));
        QVERIFY(qBlue(page.pixel(pixel(5760 + 720, 2880 + 360))) > 200 &&
                qRed(page.pixel(pixel(5760 + 720, 2880 + 360))) < 120);
    }

    // A group inside a group: its pieces measured in its own units, mapped onto the room it takes in
    // the outer group's, which maps onto the page.
    void groupInAGroup() {
        const auto xfrm = [](const QByteArray& off, const QByteArray& ext, const QByteArray& children) {
            return "<a:xfrm><a:off " + off + "/><a:ext " + ext + "/>" + children + "</a:xfrm>";
        };
        const QByteArray group =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>0</wp:posOffset>"
            "</wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapNone/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:wgp "
            "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:grpSpPr>" +
            xfrm("x=\"0\" y=\"0\"", "cx=\"1828800\" cy=\"914400\"",
                 "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"2000\" cy=\"1000\"/>") +
            "</wpg:grpSpPr><wpg:grpSp><wpg:grpSpPr>" +
            xfrm("x=\"1000\" y=\"500\"", "cx=\"1000\" cy=\"500\"",
                 "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"100\" cy=\"100\"/>") +
            "</wpg:grpSpPr><wps:wsp><wps:spPr>" + xfrm("x=\"50\" y=\"50\"", "cx=\"50\" cy=\"50\"", {}) +
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></wpg:grpSp></wpg:wgp></a:graphicData></a:graphic></wp:anchor></"
            "w:drawing>"
            "</w:r>";
        const Printed l = lay(package(document(paragraph(run("Text") + group))));
        QCOMPARE(l.t->floats.size(), size_t(1));
        const Floating& box = l.t->floats[0];
        // The inner group starts halfway across and down the outer one, a unit of it 14.4 twips across
        // and 7.2 down.
        QCOMPARE(QList<int>({box.leftTwips, box.topTwips, box.widthTwips, box.heightTwips}),
                 QList<int>({1440 + 720, 720 + 360, 720, 360}));
    }

    // A box the header's lines flow beside, reaching an inch below them: the header ends with its text,
    // and the body starts there, below the half-inch top margin, the box hanging over it.
    void headerEndsWithItsTextBesideABox() {
        const QByteArray box =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"column\"><wp:posOffset>"
            "3657600</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr>"
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        const QByteArray sectPr =
            "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId1\"/><w:pgSz w:w=\"12240\" "
            "w:h=\"15840\"/><w:pgMar w:top=\"720\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" "
            "w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/></w:sectPr>";
        const Printed l =
            lay(package(document(paragraph(run("Body text")), sectPr),
                        {{"header", "header1.xml",
                          "<w:hdr " + kW + ">" + paragraph(box + run("Header text")) + "</w:hdr>"}}));
        QCOMPARE(l.copy.pictures.size(), size_t(1));
        const PlacedPicture& placed = l.copy.pictures[0];
        QVERIFY(qAbs(placed.rect.top() - twipsToLayout(720)) < 1);
        QVERIFY(qAbs(placed.rect.height() - twipsToLayout(1440)) < 1);
        // One line of header text past the margin: about a fifth of an inch, far short of the box's foot.
        QVERIFY(l.copy.bodyTop > twipsToLayout(720 + 200));
        QVERIFY(l.copy.bodyTop < twipsToLayout(720 + 400));
    }

    // A drawing canvas set in a header's line: its pieces stand where the canvas puts them, from the one
    // paragraph's top, and the header grows by the canvas's height, though the pieces fill only its
    // upper two thirds, moving the body's text down.
    void canvasInALine() {
        const auto wsp = [](int x, int y, int cx, int cy, const QByteArray& geometry,
                            const QByteArray& colour) {
            return "<wps:wsp><wps:spPr><a:xfrm><a:off x=\"" + QByteArray::number(x) + "\" y=\"" +
                   QByteArray::number(y) + "\"/><a:ext cx=\"" + QByteArray::number(cx) + "\" cy=\"" +
                   QByteArray::number(cy) + "\"/></a:xfrm><a:prstGeom prst=\"" + geometry +
                   "\"/><a:solidFill><a:srgbClr val=\"" + colour +
                   "\"/></a:solidFill></wps:spPr><wps:bodyPr/></wps:wsp>";
        };
        const QByteArray canvas =
            "<w:r><mc:AlternateContent><mc:Choice Requires=\"wpc\"><w:drawing><wp:inline><wp:extent "
            "cx=\"1828800\" cy=\"1371600\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas\"><wpc:wpc "
            "xmlns:wpc=\"http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas\"><wpc:bg/>"
            "<wpc:whole/>" +
            wsp(0, 0, 1828800, 914400, "rect", "0000FF") +
            wsp(457200, 228600, 457200, 457200, "ellipse", "FF0000") +
            "</wpc:wpc></a:graphicData></a:graphic></wp:inline></w:drawing></mc:Choice><mc:Fallback/>"
            "</mc:AlternateContent></w:r>";
        const Printed l =
            lay(package(document(paragraph(run("Body text")),
                                 section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
                        {{"header", "header1.xml", "<w:hdr " + kW + ">" + paragraph(canvas) + "</w:hdr>"}}));
        QCOMPARE(l.t->floats.size(), size_t(2));
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        const PlacedPicture& board = l.copy.pictures[0];
        const PlacedPicture& dot = l.copy.pictures[1];
        QCOMPARE(board.shape, Floating::Shape::Box);
        QCOMPARE(dot.shape, Floating::Shape::Ellipse);
        QVERIFY(qAbs(dot.rect.top() - board.rect.top() - twipsToLayout(360)) < 1);
        QVERIFY(qAbs(dot.rect.left() - board.rect.left() - twipsToLayout(720)) < 1);
        QVERIFY(qAbs(board.rect.top() - twipsToLayout(720)) < 1);
        // The header starts half an inch down and holds the canvas, an inch and a half tall.
        QVERIFY(l.copy.bodyTop >= twipsToLayout(720 + 2160) - 1);
    }
};

QTEST_MAIN(TestFreeforms)
#include "tst_freeforms.moc"
