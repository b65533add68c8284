#include "Sheets.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QtTest>

using namespace wordproc;
using namespace sheets;

namespace {

QPoint at(int xTwips, int yTwips) {
    return QPoint(qRound(xTwips * kDpi / 1440), qRound(yTwips * kDpi / 1440));
}

bool near(const QRectF& r, const QRectF& twips) {
    const QRectF expected(twipsToLayout(twips.x()), twipsToLayout(twips.y()), twipsToLayout(twips.width()),
                          twipsToLayout(twips.height()));
    return (r.topLeft() - expected.topLeft()).manhattanLength() < 2 &&
           (r.bottomRight() - expected.bottomRight()).manhattanLength() < 2;
}

const QColor kBrick(200, 30, 40);

} // namespace

class TestDrawings : public QObject {
    Q_OBJECT

private slots:
    // A Word 97 rectangle, placed from the margins: where \dpx and \dpy put it, as large as
    // \dpxsize and \dpysize, filled and outlined in its colours.
    void drawingObjectRectangle() {
        const Printed p = print(letter(
            "Text{\\*"
            "\\do\\dobxmargin\\dobymargin\\dodhgt8192\\dprect\\dpx1440\\dpy720\\dpxsize2880\\dpysize1440"
            "\\dpfillfgcr200\\dpfillfgcg30\\dpfillfgcb40\\dpfillbgcr255\\dpfillbgcg255\\dpfillbgcb255"
            "\\dpfillpat1\\dplinew40\\dplinecor0\\dplinecog0\\dplinecob255}"));
        QCOMPARE(p.t->floats.size(), size_t(1));
        const Floating& fl = p.t->floats.front();
        QVERIFY(fl.shape == Floating::Shape::Box && fl.fill == kBrick && fl.line == QColor(Qt::blue));
        QCOMPARE(fl.lineTwips, 40);
        QCOMPARE(p.copy.pictures.size(), size_t(1));
        QVERIFY(near(p.copy.pictures.front().rect, QRectF(2880, 2160, 2880, 1440)));
        const QImage page = sheet(p);
        QCOMPARE(page.pixelColor(at(2880 + 1440, 2160 + 720)), kBrick);
        QCOMPARE(page.pixelColor(at(2880 + 1440, 2160)), QColor(Qt::blue));
        QCOMPARE(page.pixelColor(at(2880 + 1440, 2160 - 100)), QColor(Qt::white));
    }

    // A Word 97 text box: its text laid out in it, at its place from the paragraph and the margin,
    // with a shaded fill (50% of black over white) and no outline.
    void drawingObjectTextBox() {
        const Printed p = print(letter(
            "First line\\par Anchor{\\*\\do\\dobxmargin\\dobypara\\dodhgt8192\\dptxbx{\\dptxbxtext\\pard "
            "Inside the "
            "box\\par}\\dpx720\\dpy360\\dpxsize3600\\dpysize1080\\dpfillfgcr0\\dpfillfgcg0\\dpfillfgcb0"
            "\\dpfillbgcr255\\dpfillbgcg255\\dpfillbgcb255\\dpfillpat8\\dplinehollow}"));
        QCOMPARE(p.t->textBoxes.size(), size_t(1));
        QCOMPARE(p.copy.pictures.size(), size_t(1));
        const PlacedPicture& box = p.copy.pictures.front();
        QVERIFY(box.text);
        QCOMPARE(box.text->toPlainText().trimmed(), QStringLiteral("Inside the box"));
        QVERIFY(!box.line.isValid());
        QCOMPARE(box.fill, QColor(127, 127, 127));
        QCOMPARE(box.page, 0);
        // Across from the margin; down from the anchoring paragraph, the second line of the letter.
        QVERIFY(qAbs(box.rect.left() - twipsToLayout(1440 + 720)) < 2);
        QCOMPARE(box.rect.width(), twipsToLayout(3600));
        const double paragraphTop = box.rect.top() - twipsToLayout(360);
        QVERIFY(paragraphTop > twipsToLayout(1440 + 200) && paragraphTop < twipsToLayout(1440 + 400));
    }

    // Lines and a group: a line through its points from the primitive's corner, an ellipse beside it,
    // both of one drawing object; a polygon closed and filled.
    void drawingObjectLinesAndGroups() {
        const Template t = readRtf(
            letter(
                "{\\*\\do\\dobxpage\\dobypage\\dpgroup\\dpcount2\\dpline\\dpptx0\\dppty720\\dpptx1440\\dppty0"
                "\\dpx2000\\dpy3000\\dpxsize1440\\dpysize720\\dplinew20\\dpellipse\\dpx4000\\dpy3000"
                "\\dpxsize720\\dpysize720\\dpfillpat0\\dpendgroup}"
                "{\\*\\do\\dobxpage\\dobypage\\dppolygon\\dppolycount3\\dpptx0\\dppty0\\dpptx100\\dppty0"
                "\\dpptx50\\dppty100\\dpx0\\dpy0\\dpxsize100\\dpysize100\\dpfillpat1}"),
            QStringLiteral("group.rtf"));
        QCOMPARE(t.floats.size(), size_t(3));
        const Floating& line = t.floats[0];
        QVERIFY(line.shape == Floating::Shape::Lines && !line.fill.isValid());
        QCOMPARE(line.points, (std::vector<QPoint>{{0, 720}, {1440, 0}}));
        QVERIFY(line.fromX == Floating::From::Page && line.fromY == Floating::From::Page);
        QCOMPARE(QList<int>({line.leftTwips, line.topTwips, line.widthTwips, line.heightTwips}),
                 QList<int>({2000, 3000, 1440, 720}));
        const Floating& ellipse = t.floats[1];
        QVERIFY(ellipse.shape == Floating::Shape::Ellipse && !ellipse.fill.isValid());
        QCOMPARE(ellipse.leftTwips, 4000);
        const Floating& polygon = t.floats[2];
        QVERIFY(polygon.shape == Floating::Shape::Lines && polygon.fill == QColor(Qt::black));
        QCOMPARE(polygon.points.size(), size_t(3));
    }

    // Shapes of Word 2000 and later without a picture or text: a filled rectangle prints, a line
    // runs corner to corner the way its flip says.
    void shapesWithoutPicture() {
        const QByteArray rect =
            "{\\shp{\\*"
            "\\shpinst\\shpleft720\\shptop360\\shpright2160\\shpbottom1080\\shpbxmargin\\shpbymargin"
            "\\shpwr3{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fillColor}{\\sv 2629320}}{\\sp{\\sn "
            "fLine}{\\sv 0}}}}";
        const QByteArray line =
            "{\\shp{\\*\\shpinst\\shpleft0\\shptop2880\\shpright1440\\shpbottom3600\\shpbxmargin\\shpbymargin"
            "\\shpwr3{\\sp{\\sn shapeType}{\\sv 20}}{\\sp{\\sn fFlipV}{\\sv 1}}}}";
        const Printed p = print(letter("Text" + rect + line));
        QCOMPARE(p.t->floats.size(), size_t(2));
        const Floating& box = p.t->floats[0];
        QVERIFY(box.shape == Floating::Shape::Box && !box.line.isValid());
        QCOMPARE(box.fill, kBrick);
        QCOMPARE(p.t->floats[1].points, (std::vector<QPoint>{{0, 720}, {1440, 0}}));
        const QImage page = sheet(p);
        QCOMPARE(page.pixelColor(at(1440 + 1440, 1440 + 720)), kBrick);
        QCOMPARE(page.pixelColor(at(1440 + 2400, 1440 + 720)), QColor(Qt::white));
        // The line rises from the lower left to the upper right of its box.
        QVERIFY(qGray(page.pixel(at(1440 + 720, 1440 + 2880 + 360))) < 160);
        QCOMPARE(page.pixelColor(at(1440 + 200, 1440 + 2880 + 100)), QColor(Qt::white));
    }

    // Word 2010 sizes a shape by a share of the page or its margins (tenths of a percent); the size it
    // last worked out gives way, as LibreOffice prints it. US Letter with inch margins: the text's room
    // is 9360 by 12960 twips.
    void sizeByShareOfThePage() {
        const QByteArray box =
            "{\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright3727\\shpbottom668\\shpbxmargin"
            "\\shpbymargin\\shpwr3{\\sp{\\sn fFitShapeToText}{\\sv 1}}{\\sp{\\sn pctHoriz}{\\sv "
            "400}}{\\sp{\\sn pctVert}{\\sv 200}}{\\sp{\\sn sizerelh}{\\sv 0}}{\\sp{\\sn "
            "sizerelv}{\\sv 0}}{\\shptxt Here is a text box\\par}}}";
        const QByteArray rect =
            "{\\shp{\\*\\shpinst\\shpleft0\\shptop7200\\shpright1000\\shpbottom7920\\shpbxpage"
            "\\shpbypage\\shpwr3{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn pctHoriz}{\\sv 500}}"
            "{\\sp{\\sn sizerelh}{\\sv 1}}{\\sp{\\sn pctVert}{\\sv 1000}}{\\sp{\\sn sizerelv}"
            "{\\sv 2}}}}";
        const Printed p = print(letter("Text" + box + rect));
        QCOMPARE(p.t->floats.size(), size_t(2));
        QCOMPARE(QList<int>({p.t->floats[0].widthTwips, p.t->floats[0].heightTwips}),
                 QList<int>({3744, 2592}));
        QCOMPARE(QList<int>({p.t->floats[1].widthTwips, p.t->floats[1].heightTwips}),
                 QList<int>({6120, 1440}));
        // The box is drawn at that size: its outline runs down to a fifth of the text's room.
        const QImage page = sheet(p);
        QVERIFY(qGray(page.pixel(at(1440 + 1800, 1440 + 2592))) < 160);
        QCOMPARE(page.pixelColor(at(1440 + 1800, 1440 + 1000)), QColor(Qt::white));
    }
};

QTEST_MAIN(TestDrawings)
#include "tst_drawings.moc"
