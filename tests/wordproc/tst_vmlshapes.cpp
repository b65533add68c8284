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
    return printTemplate(readDocx(zipParts(parts), QStringLiteral("vml.docx")));
}

QByteArray vmlLine(const QByteArray& from, const QByteArray& to, const QByteArray& extra = {},
                   const QByteArray& inner = {}) {
    return "<v:line style=\"position:absolute;z-index:1;mso-position-horizontal-relative:text;"
           "mso-position-vertical-relative:text\" from=\"" +
           from + "\" to=\"" + to + "\" " + extra + ">" + inner + "</v:line>";
}

QByteArray pict(const QByteArray& shapes) {
    return "<w:r><w:pict>" + shapes + "</w:pict></w:r>";
}

} // namespace

class TestVmlShapes : public QObject {
    Q_OBJECT

private slots:
    // Rules drawn over a form as VML lines, anchored in a table cell's paragraph as Word's forms have
    // them: each from the margin across and from its paragraph down, as long as its two points span,
    // in its own colour and weight; one whose outline is switched off draws nothing.
    void linesFromTheirPoints() {
        const QByteArray lines =
            pict(vmlLine("252pt,38.8pt", "525.6pt,38.8pt")) +
            pict(vmlLine("300pt,110pt", "100pt,74pt", "strokecolor=\"red\" strokeweight=\"2pt\"")) +
            pict(vmlLine("10pt,10pt", "20pt,20pt", {}, "<v:stroke on=\"f\"/>"));
        const QByteArray table = "<w:tbl><w:tblGrid><w:gridCol w:w=\"9360\"/></w:tblGrid><w:tr><w:tc>" +
                                 paragraph(run("Above")) + paragraph(lines + run("Item")) +
                                 "</w:tc></w:tr></w:tbl>";
        const Printed l = lay(package(document(paragraph(run("Heading")) + table)));
        QCOMPARE(l.t->floats.size(), size_t(2));
        const Floating& rule = l.t->floats[0];
        QCOMPARE(rule.shape, Floating::Shape::Lines);
        QCOMPARE(QList<int>({rule.leftTwips, rule.topTwips, rule.widthTwips, rule.heightTwips}),
                 QList<int>({5040, 776, 5472, 1}));
        QCOMPARE(rule.points, (std::vector<QPoint>{QPoint(0, 0), QPoint(5472, 0)}));
        QVERIFY(rule.line == QColor(Qt::black) && !rule.fill.isValid());
        QCOMPARE(rule.lineTwips, 15);
        // Drawn from its right end up to the left: the box is where the points lie, whichever comes first.
        const Floating& slant = l.t->floats[1];
        QCOMPARE(QList<int>({slant.leftTwips, slant.topTwips, slant.widthTwips, slant.heightTwips}),
                 QList<int>({2000, 1480, 4000, 720}));
        QCOMPARE(slant.points, (std::vector<QPoint>{QPoint(4000, 720), QPoint(0, 0)}));
        QVERIFY(slant.line == QColor(Qt::red) && slant.lineTwips == 40);

        // On the page, the rule stands from the second paragraph of the cell, below the first.
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        const PlacedPicture& placed = l.copy.pictures[0];
        QCOMPARE(placed.shape, Floating::Shape::Lines);
        QVERIFY(qAbs(placed.rect.left() - twipsToLayout(1440 + 5040)) < 1);
        const double belowTwoLines = twipsToLayout(1440 + 776 + 2 * 200);
        QVERIFY2(placed.rect.top() > belowTwoLines, qPrintable(QString::number(placed.rect.top())));
        QVERIFY(qAbs(l.copy.pictures[1].rect.top() - placed.rect.top() - twipsToLayout(1480 - 776)) < 1);
    }

    // Where a table's cells are merged once filled, the blocks before a later row's paragraphs change:
    // a shape anchored there still stands from its own paragraph, not from one further down.
    void anchorBelowMergedCells() {
        const auto cell = [](const QByteArray& content, const QByteArray& tcPr = {}) {
            return "<w:tc>" + (tcPr.isEmpty() ? QByteArray() : "<w:tcPr>" + tcPr + "</w:tcPr>") + content +
                   "</w:tc>";
        };
        const QByteArray rule = pict(vmlLine("0pt,0pt", "100pt,0pt"));
        const QByteArray table =
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr>" +
            cell(paragraph(rule + run("Across")), "<w:gridSpan w:val=\"2\"/>") + "</w:tr><w:tr>" +
            cell(paragraph(run("First")) + paragraph(rule + run("Second")) + paragraph(run("Third"))) +
            cell(paragraph(run("Right"))) + "</w:tr></w:tbl>";
        const Printed l = lay(package(document(table)));
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        const auto top = [&](const QString& text) {
            for (QTextBlock b = l.copy.body->begin(); b.isValid(); b = b.next())
                if (b.text().endsWith(text))
                    return l.copy.body->documentLayout()->blockBoundingRect(b).top();
            return -1.0;
        };
        const double between = top(QStringLiteral("Second")) - top(QStringLiteral("Across"));
        QVERIFY(between > 0 && top(QStringLiteral("Third")) > top(QStringLiteral("Second")));
        const double drawn = l.copy.pictures[1].rect.top() - l.copy.pictures[0].rect.top();
        QVERIFY2(qAbs(drawn - between) < 1, qPrintable(QStringLiteral("%1 %2").arg(drawn).arg(between)));
    }

    // A line inside a VML group gives its points in the group's units, mapped onto the group's box.
    void lineInAGroup() {
        const QByteArray group = pict(
            "<v:group style=\"position:absolute;margin-left:36pt;margin-top:18pt;width:144pt;height:72pt;"
            "mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" "
            "coordorigin=\"100,100\" coordsize=\"200,100\">" +
            vmlLine("100,150", "300,150", "strokecolor=\"#0000ff\"") + "</v:group>");
        const Printed l = lay(package(document(paragraph(group + run("Text")))));
        QCOMPARE(l.t->floats.size(), size_t(1));
        const Floating& rule = l.t->floats[0];
        QCOMPARE(rule.shape, Floating::Shape::Lines);
        QCOMPARE(rule.fromX, Floating::From::Page);
        QCOMPARE(QList<int>({rule.leftTwips, rule.topTwips, rule.widthTwips}),
                 QList<int>({720, 360 + 720, 2880}));
        QVERIFY(rule.line == QColor(Qt::blue));
    }

    // A watermark, as Word's header holds one: WordArt centred between the margins, turned, in a
    // see-through fill, drawn as the letters' outlines (no text to read) on every page behind the text.
    void watermarkInTheHeader() {
        const QByteArray mark = pict(
            "<v:shape type=\"#_x0000_t136\" style=\"position:absolute;margin-left:0;margin-top:0;"
            "width:432pt;height:108pt;rotation:315;z-index:-251658752;mso-position-horizontal:center;"
            "mso-position-horizontal-relative:margin;mso-position-vertical:center;"
            "mso-position-vertical-relative:margin\" fillcolor=\"silver\" stroked=\"f\"><v:fill "
            "opacity=\".5\"/><v:textpath style=\"font-family:&quot;Liberation Sans&quot;;font-size:1pt\" "
            "string=\"DRAFT\"/></v:shape>");
        const QByteArray header = "<w:hdr " + kW + ">" + paragraph(mark) + "</w:hdr>";
        const Printed l =
            lay(package(document(paragraph(run("Text")), section("<w:headerReference w:type=\"default\" "
                                                                 "r:id=\"rId1\"/>")),
                        {{"header", "header1.xml", header}}));
        QCOMPARE(l.copy.pictures.size(), size_t(1));
        const PlacedPicture& p = l.copy.pictures.front();
        QCOMPARE(p.shape, Floating::Shape::WordArt);
        QCOMPARE(p.wordArt, QStringLiteral("DRAFT"));
        QCOMPARE(p.rotation, 315.0);
        QVERIFY(p.behindText);
        QCOMPARE(qRound(p.fill.alphaF() * 100), 50);
        // Centred between the one-inch margins of a Letter page.
        QVERIFY2(qAbs(p.rect.center().x() - twipsToLayout(12240 / 2)) < 2,
                 qPrintable(QString::number(p.rect.left())));
        QVERIFY2(qAbs(p.rect.center().y() - twipsToLayout(15840 / 2)) < 2,
                 qPrintable(QString::number(p.rect.top())));
        // Its letters darken the middle of the page, grey and see-through.
        const QImage page = sheet(l);
        int grey = 0;
        const QPoint middle(page.width() / 2, page.height() / 2);
        for (int y = middle.y() - 100; y < middle.y() + 100; ++y)
            for (int x = middle.x() - 100; x < middle.x() + 100; ++x)
                grey += qGray(page.pixel(x, y)) < 240;
        QVERIFY2(grey > 2000, qPrintable(QString::number(grey)));
        QVERIFY(qGray(page.pixel(5, 5)) == 255);
    }

    // A page number in a circle centred in the bottom margin, as Word's footer galleries make it, and
    // boxes with rounded corners: the circle stands in the margin's own area, and the fills follow the
    // outlines, leaving the corners of their boxes clear.
    void circlesAndRoundedBoxes() {
        const QByteArray circle =
            pict("<v:oval style=\"position:absolute;margin-left:0;margin-top:0;width:50pt;height:50pt;"
                 "mso-position-horizontal:center;mso-position-horizontal-relative:margin;"
                 "mso-position-vertical:center;mso-position-vertical-relative:bottom-margin-area\" "
                 "fillcolor=\"black\" stroked=\"f\"><v:textbox><w:txbxContent>" +
                 paragraph(run("7")) + "</w:txbxContent></v:textbox></v:oval>");
        const QByteArray footer = "<w:ftr " + kW + ">" + paragraph(circle) + "</w:ftr>";
        const auto rounded = [](const QByteArray& top, const QByteArray& arc) {
            return pict("<v:roundrect style=\"position:absolute;margin-left:0;margin-top:" + top +
                        ";width:200pt;height:100pt;mso-position-horizontal-relative:page;"
                        "mso-position-vertical-relative:page\" " +
                        arc + " fillcolor=\"black\" stroked=\"f\"/>");
        };
        const Printed l =
            lay(package(document(paragraph(rounded("100pt", "arcsize=\"32768f\"") + rounded("300pt", {}) +
                                           rounded("500pt", "arcsize=\"0.1\"")),
                                 section("<w:footerReference w:type=\"default\" r:id=\"rId1\"/>")),
                        {{"footer", "footer1.xml", footer}}));
        QCOMPARE(l.t->floats.size(), size_t(4));
        QList<double> rounding;
        for (const Floating& f : l.t->floats)
            if (f.shape == Floating::Shape::Box)
                rounding << f.rounding;
        QCOMPARE(rounding, QList<double>({0.5, 0.2, 0.1})); // a fifth where the file does not say
        QCOMPARE(l.copy.pictures.size(), size_t(4));
        const auto circleAt = std::find_if(l.copy.pictures.begin(), l.copy.pictures.end(),
                                           [](const PlacedPicture& p) { return bool(p.text); });
        QVERIFY(circleAt != l.copy.pictures.end());
        const PlacedPicture& placed = *circleAt;
        QCOMPARE(placed.frame, Floating::Shape::Ellipse);
        // Centred in the inch below the Letter page's bottom margin, between the side margins.
        QVERIFY2(qAbs(placed.rect.center().y() - twipsToLayout(15840 - 720)) < 1,
                 qPrintable(QString::number(placed.rect.center().y())));
        QVERIFY(qAbs(placed.rect.center().x() - twipsToLayout(12240 / 2)) < 1);

        const QImage page = sheet(l);
        const auto grey = [&](double xTwips, double yTwips) {
            return qGray(page.pixel(qRound(xTwips * kDpi / 1440), qRound(yTwips * kDpi / 1440)));
        };
        // The circle's middle is filled, the corners of its box are not.
        QCOMPARE(grey(6120, 15840 - 720), 0);
        QCOMPARE(grey(6120 - 450, 15840 - 720 - 450), 255);
        // A corner of the half-rounded box lies outside its 50pt arc; the box's middle and the edge
        // beside the arc are filled. The box rounded by a tenth keeps a corner 5pt in.
        QCOMPARE(grey(40, 2000 + 40), 255);
        QCOMPARE(grey(2000, 2000 + 20), 0);
        QCOMPARE(grey(1100, 2000 + 40), 0);
        QCOMPARE(grey(10, 10000 + 10), 255);
        QCOMPARE(grey(140, 10000 + 140), 0);
    }

    // Word's line tool draws a straight connector: a shape of type 32 joining its box's corners, alone or
    // in a group, turned over where the shape or its group says.
    void straightConnectors() {
        const QByteArray alone =
            pict("<v:shape type=\"#_x0000_t32\" style=\"position:absolute;margin-left:36pt;margin-top:0;"
                 "width:144pt;height:72pt;flip:y;mso-position-horizontal-relative:page;"
                 "mso-position-vertical-relative:page\" strokecolor=\"red\" strokeweight=\"3pt\"/>");
        const QByteArray group = pict(
            "<v:group style=\"position:absolute;margin-left:36pt;margin-top:144pt;width:144pt;"
            "height:72pt;flip:x;mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" "
            "coordorigin=\"0,0\" coordsize=\"200,100\"><v:shape type=\"#_x0000_t32\" "
            "style=\"position:absolute;left:0;top:50;width:100;height:0\"/></v:group>");
        const Printed l = lay(package(document(paragraph(alone + group + run("Text")))));
        QCOMPARE(l.t->floats.size(), size_t(2));
        const Floating& slant = l.t->floats[0];
        QCOMPARE(slant.shape, Floating::Shape::Lines);
        QCOMPARE(QList<int>({slant.leftTwips, slant.topTwips, slant.widthTwips, slant.heightTwips}),
                 QList<int>({720, 0, 2880, 1440}));
        QCOMPARE(slant.points, (std::vector<QPoint>{QPoint(0, 1440), QPoint(2880, 0)}));
        QVERIFY(slant.line == QColor(Qt::red) && slant.lineTwips == 60);
        // The group's left half, mirrored into its right half: a level line.
        const Floating& level = l.t->floats[1];
        QCOMPARE(level.shape, Floating::Shape::Lines);
        QCOMPARE(QList<int>({level.leftTwips, level.topTwips, level.widthTwips}),
                 QList<int>({2160, 3600, 1440}));
        QCOMPARE(level.points, (std::vector<QPoint>{QPoint(1440, 0), QPoint(0, 0)}));
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        QCOMPARE(l.copy.pictures[1].shape, Floating::Shape::Lines);
    }

    // Shapes set in the strips of margin along the page's edges, as Word's letter templates set their
    // page numbers and sidebars: aligned within the strip, kept an eighth of an inch from the edge they
    // are set against unless the file gives another distance, or offset from the strip's own edge. An
    // ellipse holding text is drawn round, its box's corners left clear.
    void shapesInTheMarginStrips() {
        const auto oval = [](const QByteArray& style, const QByteArray& inner = {}) {
            return pict(
                "<v:oval style=\"position:absolute;margin-left:30pt;margin-top:0;width:41pt;height:41pt;" +
                style + "\" fillcolor=\"#d34817\" stroked=\"f\">" + inner + "</v:oval>");
        };
        const QByteArray text = "<v:textbox inset=\"0,0,0,0\"><w:txbxContent>" + paragraph(run("7")) +
                                "</w:txbxContent></v:textbox>";
        const QByteArray shapes =
            oval("mso-position-horizontal:right;mso-position-horizontal-relative:left-margin-area;"
                 "mso-position-vertical:top;mso-position-vertical-relative:bottom-margin-area",
                 text) +
            oval("mso-wrap-distance-left:0;mso-position-horizontal:left;"
                 "mso-position-horizontal-relative:left-margin-area;mso-position-vertical:bottom;"
                 "mso-position-vertical-relative:top-margin-area") +
            oval("margin-top:5pt;mso-position-horizontal-relative:right-margin-area;"
                 "mso-position-vertical-relative:top-margin-area");
        const Printed l = lay(package(document(paragraph(shapes + run("Text")))));
        QCOMPARE(l.t->floats.size(), size_t(3));
        for (const Floating& f : l.t->floats)
            QVERIFY(f.fromX == Floating::From::Page && f.fromY == Floating::From::Page);
        const auto place = [&](size_t i) {
            return QList<int>({l.t->floats[i].leftTwips, l.t->floats[i].topTwips});
        };
        // Letter paper, one-inch margins, a 41pt (820 twips) circle.
        QCOMPARE(place(0), QList<int>({1440 - 180 - 820, 15840 - 1440}));
        QCOMPARE(place(1), QList<int>({0, 1440 - 820}));
        QCOMPARE(place(2), QList<int>({12240 - 1440 + 600, 100}));
        QVERIFY(l.t->floats[0].text >= 0);

        QCOMPARE(l.copy.pictures.size(), size_t(3));
        const PlacedPicture& number = l.copy.pictures[0];
        QCOMPARE(number.frame, Floating::Shape::Ellipse);
        QVERIFY2(qAbs(number.rect.left() - twipsToLayout(440)) < 1 &&
                     qAbs(number.rect.top() - twipsToLayout(14400)) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(number.rect.left()).arg(number.rect.top())));
        const QImage page = sheet(l);
        const double scale = page.width() / twipsToLayout(12240);
        const auto at = [&](double x, double y) {
            return page.pixelColor(int(twipsToLayout(x) * scale), int(twipsToLayout(y) * scale));
        };
        const QColor middle = at(440 + 100, 14400 + 410), corner = at(440 + 30, 14400 + 30);
        QVERIFY2(middle.red() > 180 && middle.blue() < 80, qPrintable(middle.name()));
        QCOMPARE(corner, QColor(Qt::white));
    }

    // Drawings stack by their z-order, not by where they stand in the file: the higher in front. A
    // header's lie under the body's, whatever their order.
    void shapesStackedByTheirOrder() {
        const auto box = [](const char* z, const char* color, const char* left) {
            return pict(QByteArray("<v:rect style=\"position:absolute;margin-left:") + left +
                        "pt;margin-top:200pt;width:60pt;height:60pt;z-index:" + z +
                        ";mso-position-horizontal-relative:page;mso-position-vertical-relative:page\" "
                        "fillcolor=\"" +
                        color + "\" stroked=\"f\"/>");
        };
        const QByteArray header = "<w:hdr " + kW + ">" + paragraph(box("5", "#00ff00", "150")) + "</w:hdr>";
        const Printed l = lay(
            package(document(paragraph(box("2", "#ff0000", "100") + box("1", "#0000ff", "130") + run("Text")),
                             section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
                    {{"header", "header1.xml", header}}));
        QCOMPARE(l.copy.pictures.size(), size_t(3));
        const QImage page = sheet(l);
        const double scale = page.width() / twipsToLayout(12240);
        const auto at = [&](int points) {
            return page.pixelColor(int(twipsToLayout(points * 20) * scale),
                                   int(twipsToLayout(230 * 20) * scale));
        };
        QCOMPARE(at(145), QColor(Qt::red));
        QCOMPARE(at(175), QColor(Qt::blue));
        QCOMPARE(at(200), QColor(Qt::green));
    }

    // WordArt set in a line, in the body and in a text box: a picture of the shape's size, so that its
    // line is as tall as the shape and pushes the text below down, with its letters drawn in the fill.
    void wordArtInTheLine() {
        const auto art = [](const QByteArray& text) {
            return pict("<v:shape type=\"#_x0000_t136\" style=\"width:300pt;height:60pt\" "
                        "fillcolor=\"black\"><v:textpath style=\"font-family:&quot;Liberation Serif&quot;\" "
                        "string=\"" +
                        text + "\"/></v:shape>");
        };
        const QByteArray box =
            pict("<v:rect style=\"position:absolute;margin-left:0;margin-top:0;width:200pt;"
                 "height:100pt\"><v:textbox><w:txbxContent>" +
                 paragraph(art("BOXED")) + "</w:txbxContent></v:textbox></v:rect>");
        const Printed l = lay(package(
            document(paragraph(run("Before")) + paragraph(art("BULLETIN")) + paragraph(box + run("After")))));
        QCOMPARE(l.t->pictures.size(), size_t(2));
        QCOMPARE(l.t->pictures[0].wordArt, QStringLiteral("BULLETIN"));
        QCOMPARE(l.t->pictures[1].wordArt, QStringLiteral("BOXED"));
        QCOMPARE(QList<int>({l.t->pictures[0].widthTwips, l.t->pictures[0].heightTwips}),
                 QList<int>({6000, 1200}));
        double before = -1, after = -1;
        for (QTextBlock b = l.copy.body->begin(); b.isValid(); b = b.next()) {
            const double top = l.copy.body->documentLayout()->blockBoundingRect(b).top();
            if (b.text().endsWith(QStringLiteral("Before")))
                before = top;
            else if (b.text().endsWith(QStringLiteral("After")))
                after = top;
        }
        QVERIFY2(after - before > twipsToLayout(1200),
                 qPrintable(QStringLiteral("%1 %2").arg(before).arg(after)));
        // Its letters darken the line between the two paragraphs.
        const QImage page = sheet(l);
        const double scale = page.width() / twipsToLayout(12240);
        int dark = 0;
        for (int y = int((before + twipsToLayout(1440 + 300)) * scale);
             y < int((after + twipsToLayout(1440)) * scale); ++y)
            for (int x = int(twipsToLayout(1440) * scale); x < int(twipsToLayout(1440 + 6000) * scale); ++x)
                dark += qGray(page.pixel(x, y)) < 128;
        QVERIFY2(dark > 500, qPrintable(QString::number(dark)));
    }
};

QTEST_MAIN(TestVmlShapes)
#include "tst_vmlshapes.moc"
