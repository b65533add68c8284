#include "DocxSamples.h"
#include "Sheets.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"

#include <QBuffer>
#include <QtTest>

using namespace wordproc;
using namespace docxsamples;
using namespace sheets;

namespace {

Printed lay(const Parts& parts) {
    return printTemplate(readDocx(zipParts(parts), QStringLiteral("turned.docx")));
}

QColor at(const QImage& page, int xTwips, int yTwips) {
    return page.pixelColor(qRound(xTwips * kDpi / 1440), qRound(yTwips * kDpi / 1440));
}

bool reddish(const QColor& c) {
    return c.red() > 160 && c.blue() < 100;
}

bool bluish(const QColor& c) {
    return c.blue() > 160 && c.red() < 100;
}

// An anchored drawing two inches wide and one tall, its corner `leftTwips`, `topTwips` from the page's;
// `xfrm` holds its turn and mirroring, `inner` is a picture or shape with an "XFRM" for the xfrm.
QByteArray anchored(int leftTwips, int topTwips, const QByteArray& xfrmAttrs, QByteArray inner,
                    const QByteArray& uri) {
    inner.replace("XFRM", "<a:xfrm " + xfrmAttrs +
                              "><a:off x=\"0\" y=\"0\"/><a:ext cx=\"1828800\" cy=\"914400\"/></a:xfrm>");
    return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\"><wp:posOffset>" +
           QByteArray::number(leftTwips * 635) +
           "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>" +
           QByteArray::number(topTwips * 635) +
           "</wp:posOffset></wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapNone/>"
           "<a:graphic><a:graphicData uri=\"" +
           uri + "\">" + inner + "</a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
}

QByteArray shape(int leftTwips, int topTwips, const QByteArray& xfrmAttrs,
                 const QByteArray& geometryAndFill) {
    return anchored(leftTwips, topTwips, xfrmAttrs,
                    "<wps:wsp><wps:spPr>XFRM" + geometryAndFill + "</wps:spPr><wps:bodyPr/></wps:wsp>",
                    "http://schemas.microsoft.com/office/word/2010/wordprocessingShape");
}

QByteArray picture(int leftTwips, int topTwips, const QByteArray& xfrmAttrs) {
    return anchored(leftTwips, topTwips, xfrmAttrs,
                    "<pic:pic xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
                    "<pic:blipFill><a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr>XFRM<a:prstGeom "
                    "prst=\"rect\"/></pic:spPr></pic:pic>",
                    "http://schemas.openxmlformats.org/drawingml/2006/picture");
}

// Red above blue.
QByteArray redOverBlue() {
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 20; ++x)
            image.setPixelColor(x, y, Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray gradient(const QByteArray& way) {
    return "<a:prstGeom prst=\"rect\"/><a:gradFill><a:gsLst><a:gs pos=\"100000\"><a:srgbClr "
           "val=\"0000FF\"/></a:gs><a:gs pos=\"0\"><a:srgbClr val=\"FF0000\"/></a:gs></a:gsLst>" +
           way + "</a:gradFill><a:ln><a:noFill/></a:ln>";
}

} // namespace

class TestTurnedShapes : public QObject {
    Q_OBJECT

private slots:
    // A picture turned half round and mirrored across stands upside down; one only mirrored across
    // keeps its top up; a shape's gradient turns with it. The boxes stay where the file puts them.
    void turnedAndMirroredDrawings() {
        const QByteArray leftToRight = gradient("<a:lin ang=\"0\" scaled=\"0\"/>");
        const Printed l = lay(package(
            document(paragraph(
                run("Text") + picture(1440, 1440, "rot=\"10800000\" flipH=\"1\"") +
                picture(5040, 1440, "flipH=\"1\"") + shape(1440, 4320, "rot=\"10800000\"", leftToRight) +
                shape(5040, 4320, "flipH=\"1\"", leftToRight) + shape(1440, 7200, {}, leftToRight))),
            {{"image", "media/p.png", redOverBlue()}}));
        QCOMPARE(l.t->floats.size(), size_t(5));
        QCOMPARE(l.t->floats[0].rotation, 180);
        QVERIFY(l.t->floats[0].flipH && !l.t->floats[0].flipV);
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        // Upside down: blue above red, in the box the file gives.
        QVERIFY(bluish(at(page, 1440 + 1440, 1440 + 180)));
        QVERIFY(reddish(at(page, 1440 + 1440, 1440 + 1260)));
        QVERIFY(reddish(at(page, 5040 + 1440, 1440 + 180)));
        QVERIFY(bluish(at(page, 5040 + 1440, 1440 + 1260)));
        QCOMPARE(at(page, 1440 + 1440, 1440 - 100), QColor(Qt::white));
        // Turned or mirrored, red is at the right; as the file has it, at the left.
        for (int left : {1440, 5040}) {
            QVERIFY(bluish(at(page, left + 100, 4320 + 720)));
            QVERIFY(reddish(at(page, left + 2780, 4320 + 720)));
        }
        QVERIFY(reddish(at(page, 1440 + 100, 7200 + 720)));
        QVERIFY(bluish(at(page, 1440 + 2780, 7200 + 720)));
    }

    // Gradients as LibreOffice draws them: down at a quarter turn, left to right where no way is
    // given, out from the middle for a path; the first colour stands for the fill behind text.
    void gradientFills() {
        const Printed l = lay(package(document(paragraph(
            run("Text") + shape(1440, 1440, {}, gradient("<a:lin ang=\"5400000\" scaled=\"0\"/>")) +
            shape(5040, 1440, {}, gradient({})) +
            shape(1440, 4320, {},
                  gradient("<a:path path=\"circle\"><a:fillToRect l=\"50000\" t=\"50000\" r=\"50000\" "
                           "b=\"50000\"/></a:path>"))))));
        QCOMPARE(l.t->floats.size(), size_t(3));
        QCOMPARE(l.t->floats[0].fill, QColor(Qt::red));
        QCOMPARE(l.t->floats[0].gradient.size(), size_t(2));
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        QVERIFY(reddish(at(page, 1440 + 1440, 1440 + 60)));
        QVERIFY(bluish(at(page, 1440 + 1440, 1440 + 1380)));
        QVERIFY(reddish(at(page, 5040 + 60, 1440 + 720)));
        QVERIFY(bluish(at(page, 5040 + 2820, 1440 + 720)));
        QVERIFY(reddish(at(page, 1440 + 1440, 4320 + 720)));
        QVERIFY(bluish(at(page, 1440 + 40, 4320 + 40)));
    }

    // A gradient that says no way runs the way of the theme's fill its style names: down here.
    void gradientTakesThemesWay() {
        const QByteArray theme =
            "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
            "<a:fmtScheme><a:fillStyleLst><a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>"
            "<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill><a:gradFill><a:gsLst><a:gs "
            "pos=\"0\"><a:schemeClr val=\"phClr\"/></a:gs></a:gsLst><a:lin ang=\"5400000\"/></a:gradFill>"
            "</a:fillStyleLst></a:fmtScheme></a:themeElements></a:theme>";
        const QByteArray styled = "<wps:wsp><wps:spPr>XFRM" + gradient({}) +
                                  "</wps:spPr><wps:style><a:fillRef idx=\"3\"><a:schemeClr val=\"accent1\"/>"
                                  "</a:fillRef></wps:style><wps:bodyPr/></wps:wsp>";
        const Printed l =
            lay(package(document(paragraph(run("Text") + anchored(1440, 1440, {}, styled,
                                                                  "http://schemas.microsoft.com/office/word/"
                                                                  "2010/wordprocessingShape"))),
                        {{"theme", "theme/theme1.xml", theme}}));
        QCOMPARE(l.t->floats.size(), size_t(1));
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        QVERIFY(reddish(at(page, 1440 + 1440, 1440 + 60)));
        QVERIFY(bluish(at(page, 1440 + 1440, 1440 + 1380)));
    }

    // A freeform whose path is left open: its fill closes it, its outline does not run back to the
    // start.
    void openFreeformOutline() {
        const QByteArray path =
            "<a:custGeom><a:pathLst><a:path w=\"100\" h=\"100\"><a:moveTo><a:pt x=\"0\" y=\"0\"/></a:moveTo>"
            "<a:lnTo><a:pt x=\"100\" y=\"0\"/></a:lnTo><a:lnTo><a:pt x=\"100\" y=\"100\"/></a:lnTo>"
            "</a:path></a:pathLst></a:custGeom>";
        const QByteArray line =
            "<a:ln w=\"38100\"><a:solidFill><a:srgbClr val=\"000000\"/></a:solidFill></a:ln>";
        const Printed l = lay(package(document(paragraph(
            run("Text") + shape(1440, 1440, {}, path + "<a:noFill/>" + line) +
            shape(5040, 1440, {}, path + "<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>" + line)))));
        QCOMPARE(l.t->floats.size(), size_t(2));
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        // The diagonal from the end back to the start, halfway along: on neither.
        QCOMPARE(at(page, 1440 + 1440, 1440 + 720), QColor(Qt::white));
        const QColor edge = at(page, 5040 + 1440, 1440 + 720);
        QVERIFY2(edge.red() > 200 || edge == QColor(Qt::white), qPrintable(edge.name()));
        // The lines it has are drawn.
        QVERIFY(at(page, 1440 + 1440, 1440).value() < 100);
        QVERIFY(reddish(at(page, 5040 + 2400, 1440 + 300)));
    }

    // VML gradients as LibreOffice draws them: from the shape's colour at the foot to its second one at
    // the top; turned by the angle; the second colour at the start with a focus of 100%, in the middle
    // with 50%. A VML shape turned and mirrored is read so.
    void vmlGradients() {
        const auto rect = [](int leftPt, int topPt, const QByteArray& fill, const QByteArray& style = {}) {
            return "<w:r><w:pict><v:rect style=\"position:absolute;margin-left:" +
                   QByteArray::number(leftPt) + "pt;margin-top:" + QByteArray::number(topPt) +
                   "pt;width:144pt;height:72pt;mso-position-horizontal-relative:page;"
                   "mso-position-vertical-relative:page" +
                   style + "\" fillcolor=\"red\" stroked=\"f\">" + fill + "</v:rect></w:pict></w:r>";
        };
        const Printed l = lay(package(
            document(paragraph(run("Text") + rect(72, 72, "<v:fill type=\"gradient\" color2=\"blue\"/>") +
                               rect(288, 72, "<v:fill type=\"gradient\" color2=\"blue\" angle=\"90\"/>") +
                               rect(72, 216, "<v:fill type=\"gradient\" color2=\"blue\" focus=\"100%\"/>") +
                               rect(288, 216, "<v:fill type=\"gradient\" color2=\"blue\" focus=\"50%\"/>") +
                               rect(72, 360, {}, ";rotation:90;flip:y")))));
        QCOMPARE(l.t->floats.size(), size_t(5));
        QCOMPARE(l.t->floats[4].rotation, 90);
        QVERIFY(l.t->floats[4].flipV && !l.t->floats[4].flipH);
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        QVERIFY(bluish(at(page, 1440 + 1440, 1440 + 60)));
        QVERIFY(reddish(at(page, 1440 + 1440, 1440 + 1380)));
        QVERIFY(bluish(at(page, 5760 + 60, 1440 + 720)));
        QVERIFY(reddish(at(page, 5760 + 2820, 1440 + 720)));
        QVERIFY(reddish(at(page, 1440 + 1440, 4320 + 60)));
        QVERIFY(bluish(at(page, 1440 + 1440, 4320 + 1380)));
        QVERIFY(reddish(at(page, 5760 + 1440, 4320 + 60)));
        QVERIFY(bluish(at(page, 5760 + 1440, 4320 + 720)));
        QVERIFY(reddish(at(page, 5760 + 1440, 4320 + 1380)));
        // Turned a quarter about its middle: an inch wide, two tall.
        QCOMPARE(at(page, 1440 + 200, 7200 + 720), QColor(Qt::white));
        QCOMPARE(at(page, 1440 + 1440, 7200 - 500), QColor(Qt::red));
    }

    // Word's block arrows in RTF: the head from where the adjustment says (three quarters along unless
    // it says), the shaft half the arrow's width.
    void rtfBlockArrows() {
        const auto arrow = [](int left, int type, const QByteArray& props) {
            return "{\\shp{\\*\\shpinst\\shpleft" + QByteArray::number(left) + "\\shptop1440\\shpright" +
                   QByteArray::number(left + 1440) +
                   "\\shpbottom2880\\shpbxpage\\shpbypage\\shpwr3{\\sp{\\sn shapeType}{\\sv " +
                   QByteArray::number(type) + "}}{\\sp{\\sn fillColor}{\\sv 255}}" + props + "}}";
        };
        const Printed l =
            print(letter(arrow(1440, 67, {}) + arrow(4320, 67, "{\\sp{\\sn adjustValue}{\\sv 10800}}") +
                         arrow(7200, 13, {}) + "Text"));
        QCOMPARE(l.t->floats.size(), size_t(3));
        const QImage page = paint(l.copy, 0, l.t->page, kDpi);
        // Down: the shaft's middle, beside it, the head's wide part.
        QCOMPARE(at(page, 1440 + 720, 1440 + 400), QColor(Qt::red));
        QCOMPARE(at(page, 1440 + 150, 1440 + 400), QColor(Qt::white));
        QCOMPARE(at(page, 1440 + 150, 1440 + 1130), QColor(Qt::red));
        QCOMPARE(at(page, 1440 + 200, 1440 + 780), QColor(Qt::white));
        // Its head from halfway down.
        QCOMPARE(at(page, 4320 + 200, 1440 + 780), QColor(Qt::red));
        // Right: the head at the right, pointing at the middle of the box's right side.
        QCOMPARE(at(page, 7200 + 1300, 1440 + 720), QColor(Qt::red));
        QCOMPARE(at(page, 7200 + 1300, 1440 + 150), QColor(Qt::white));
        QCOMPARE(at(page, 7200 + 300, 1440 + 150), QColor(Qt::white));
        QCOMPARE(at(page, 7200 + 300, 1440 + 720), QColor(Qt::red));
    }
};

QTEST_MAIN(TestTurnedShapes)
#include "tst_turnedshapes.moc"
