// Word 2007+ drawings read into the template model: charts, pictures, text boxes, shapes and VML
// groups, from documents built here part by part.
#include "DocxReading.h"
#include "Sheets.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/Metafile.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace wordproc;
using namespace docxsamples;

class TestDocxDrawings : public QObject {
    Q_OBJECT

private slots:
    // A chart prints from the values Word keeps with it: its title, the names of its categories and
    // series, and the value axis's round numbers are words on the page; each bar stands as high as its
    // value on that axis, in its series' colour.
    void chartFromItsValues() {
        const QByteArray chart =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><c:chartSpace "
            "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/"
            "main\"><c:chart><c:title><c:tx><c:rich>"
            "<a:p><a:r><a:t>Sales by "
            "month</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea><c:barChart>"
            "<c:barDir val=\"col\"/><c:ser><c:tx><c:strRef><c:strCache><c:pt "
            "idx=\"0\"><c:v>Sedans</c:v></c:pt>"
            "</c:strCache></c:strRef></c:tx><c:spPr><a:solidFill><a:srgbClr val=\"C81E28\"/></a:solidFill>"
            "</c:spPr><c:cat><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>March</c:v></c:pt><c:pt idx=\"1\">"
            "<c:v>April</c:v></c:pt></c:strCache></c:strRef></c:cat><c:val><c:numRef><c:numCache><c:pt "
            "idx=\"0\"><c:v>40</c:v></c:pt><c:pt idx=\"1\"><c:v>80</c:v></c:pt></c:numCache></c:numRef>"
            "</c:val></c:ser></c:barChart></c:plotArea><c:legend><c:legendPos "
            "val=\"r\"/></c:legend></c:chart>"
            "</c:chartSpace>";
        const Template t = readBody(
            paragraph(
                "<w:r><w:drawing><wp:inline><wp:extent cx=\"5486400\" cy=\"3200400\"/><a:graphic>"
                "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
                "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rId1\"/>"
                "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>"),
            {{"chart", "charts/chart1.xml", chart}});
        QCOMPARE(t.pictures.size(), size_t(1));
        const Picture& pic = t.pictures.front();
        QCOMPARE(QSize(pic.widthTwips, pic.heightTwips), QSize(8640, 5040));
        QVERIFY(!pic.image.isNull());
        QStringList words;
        std::map<QString, QPointF> at;
        for (const MetafileText& text : metafileText(pic.image))
            for (const MetafileText::Piece& piece : text.pieces) {
                words << piece.text;
                at[piece.text] = text.place.map(piece.at);
            }
        for (const char* word : {"Sales by month", "Sedans", "March", "April", "0", "20", "40", "60", "80"})
            QVERIFY2(words.contains(QLatin1String(word)), qPrintable(words.join(QLatin1Char('|'))));
        // The axis runs to the round number above the highest value, and no further.
        QVERIFY2(!words.contains(QStringLiteral("100")) || !words.contains(QStringLiteral("120")),
                 qPrintable(words.join(QLatin1Char('|'))));
        // April's bar is twice as high as March's, from the axis's 0; each stands over its category.
        const QImage& image = pic.image;
        const auto barOver = [&](double x) {
            int top = -1, bottom = -1;
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(int(x), y) == QColor(0xC8, 0x1E, 0x28)) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
            return std::make_pair(top, bottom);
        };
        const QPointF march = at.at(QStringLiteral("March")), april = at.at(QStringLiteral("April"));
        const double zero = at.at(QStringLiteral("0")).y();
        const auto [marchTop, marchFoot] = barOver(march.x() + 10);
        const auto [aprilTop, aprilFoot] = barOver(april.x() + 10);
        QVERIFY(marchTop > 0 && aprilTop > 0);
        QVERIFY2(qAbs(marchFoot - aprilFoot) <= 1 && qAbs(marchFoot - zero) < 20,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(marchFoot).arg(aprilFoot).arg(zero)));
        const double ratio = double(aprilFoot - aprilTop) / (marchFoot - marchTop);
        QVERIFY2(qAbs(ratio - 2) < 0.05, qPrintable(QString::number(ratio)));
        // The legend stands right of the plot, beyond the last bar.
        QVERIFY(at.at(QStringLiteral("Sedans")).x() > april.x());
    }

    // The chart area's outline goes round the picture, in its colour lightened as Word's theme shades
    // are (black, its lightness scaled and raised by 85%, is a light grey); a chart without one has none.
    void chartAreaOutline() {
        const auto chart = [](const QByteArray& area) {
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><c:chartSpace "
                   "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
                   "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><c:chart><c:plotArea>"
                   "<c:barChart><c:barDir val=\"col\"/><c:ser><c:val><c:numRef><c:numCache><c:pt idx=\"0\">"
                   "<c:v>4</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser></c:barChart></c:plotArea>"
                   "</c:chart>" +
                   area + "</c:chartSpace>";
        };
        const QByteArray inline_ =
            "<w:r><w:drawing><wp:inline><wp:extent cx=\"2743200\" cy=\"1828800\"/><a:graphic>"
            "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
            "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rId%1\"/>"
            "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
        const Template t = readBody(
            paragraph(QByteArray(inline_).replace("%1", "1") + QByteArray(inline_).replace("%1", "2")),
            {{"chart", "charts/chart1.xml",
              chart("<c:spPr><a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"000000\"><a:lumMod "
                    "val=\"15000\"/><a:lumOff val=\"85000\"/></a:srgbClr></a:solidFill></a:ln></c:spPr>")},
             {"chart", "charts/chart2.xml", chart("<c:spPr><a:ln><a:noFill/></a:ln></c:spPr>")}});
        QCOMPARE(t.pictures.size(), size_t(2));
        const QImage& outlined = t.pictures[0].image;
        const QImage& plain = t.pictures[1].image;
        QVERIFY(!outlined.isNull() && !plain.isNull());
        for (const QPoint at : {QPoint(outlined.width() / 2, 1), QPoint(1, outlined.height() / 2),
                                QPoint(outlined.width() - 2, outlined.height() / 2)}) {
            const QColor c = outlined.pixelColor(at);
            QVERIFY2(qAbs(c.red() - 217) <= 2 && c.red() == c.green() && c.green() == c.blue(),
                     qPrintable(c.name()));
            QCOMPARE(plain.pixelColor(at), QColor(Qt::white));
        }
        // Inside its line the area stays white.
        QCOMPARE(outlined.pixelColor(outlined.width() / 2, 12), QColor(Qt::white));
    }

    // Word's own title where the chart gives no text: the series' name for one series, "Chart Title"
    // for more; a pie's legend names its categories.
    void chartTitlesAndLegends() {
        const auto chartOf = [](const QByteArray& plot, const QByteArray& title) {
            const QByteArray chart =
                "<?xml version=\"1.0\"?><c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/"
                "2006/chart\"><c:chart>" +
                title + "<c:autoTitleDeleted val=\"0\"/><c:plotArea>" + plot +
                "</c:plotArea><c:legend><c:legendPos val=\"b\"/></c:legend></c:chart></c:chartSpace>";
            const Template t = readBody(
                paragraph(
                    "<w:r><w:drawing><wp:inline><wp:extent cx=\"2743200\" cy=\"1828800\"/><a:graphic>"
                    "<a:graphicData><c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/"
                    "chart\" r:id=\"rId1\"/></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>"),
                {{"chart", "charts/chart1.xml", chart}});
            QStringList words;
            for (const MetafileText& text : metafileText(t.pictures.at(0).image))
                for (const MetafileText::Piece& piece : text.pieces)
                    words << piece.text;
            return words;
        };
        const auto series = [](const QByteArray& name, const QByteArray& values) {
            QByteArray points;
            int i = 0;
            for (const QByteArray& v : values.split(','))
                points += "<c:pt idx=\"" + QByteArray::number(i++) + "\"><c:v>" + v + "</c:v></c:pt>";
            return "<c:ser><c:tx><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>" + name +
                   "</c:v></c:pt></c:strCache></c:strRef></c:tx><c:cat><c:strLit><c:pt idx=\"0\"><c:v>North"
                   "</c:v></c:pt><c:pt idx=\"1\"><c:v>South</c:v></c:pt></c:strLit></c:cat><c:val><c:numRef>"
                   "<c:numCache>" +
                   points + "</c:numCache></c:numRef></c:val></c:ser>";
        };
        const QStringList pie = chartOf("<c:pieChart>" + series("Share", "3,1") + "</c:pieChart>", {});
        QCOMPARE(pie, (QStringList{"Share", "North", "South"}));
        const QStringList bars = chartOf("<c:barChart><c:barDir val=\"bar\"/>" + series("Vans", "1,2") +
                                             series("Trucks", "2,1") + "</c:barChart>",
                                         "<c:title><c:overlay val=\"0\"/></c:title>");
        for (const char* word : {"Chart Title", "Vans", "Trucks", "North", "South", "0", "1", "2"})
            QVERIFY2(bars.contains(QLatin1String(word)), qPrintable(bars.join(QLatin1Char('|'))));
        QVERIFY(!bars.contains(QStringLiteral("Share")));
    }

    // What a picture's crop leaves fills its frame, in a line or anchored. A:srcRect gives the shares cut
    // from each side in thousandths of a percent, and a negative share leaves that much empty room on its
    // side instead; VML's v:imagedata gives them in 65536ths, and LibreOffice takes only positive ones.
    void croppedPictureFillsItsFrame() {
        // Quarters of red, blue (top), green and yellow (bottom).
        QImage quarters(40, 40, QImage::Format_RGB32);
        quarters.fill(Qt::red);
        QPainter paint(&quarters);
        paint.fillRect(20, 0, 20, 20, Qt::blue);
        paint.fillRect(0, 20, 20, 20, Qt::green);
        paint.fillRect(20, 20, 20, 20, Qt::yellow);
        paint.end();
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        quarters.save(&buffer, "PNG");
        // The colours at the middles of the quarters of the two inches square an inch from the page's
        // top left corner, by the first letters of their names.
        const auto shown = [&](const QByteArray& run) {
            const QImage page = sheets::sheet(
                sheets::printTemplate(readBody(paragraph(run), {{"image", "media/image1.png", bytes}})));
            QString seen;
            for (const double down : {1.5, 2.5})
                for (const double across : {1.5, 2.5}) {
                    const QColor c =
                        page.pixelColor(qRound(across * sheets::kDpi), qRound(down * sheets::kDpi));
                    seen += c == QColor(Qt::red)      ? u'r'
                            : c == QColor(Qt::blue)   ? u'b'
                            : c == QColor(Qt::green)  ? u'g'
                            : c == QColor(Qt::yellow) ? u'y'
                            : c == QColor(Qt::white)  ? u'w'
                                                      : u'?';
                }
            return seen;
        };
        // Anchored there, or first in the body's line within one-inch margins.
        const auto drawing = [&](bool anchored, const QByteArray& crop) {
            const QByteArray frame = anchored ? "anchor" : "inline";
            const QByteArray place = anchored
                                         ? " behindDoc=\"0\"><wp:positionH relativeFrom=\"page\">"
                                           "<wp:posOffset>914400</wp:posOffset></wp:positionH><wp:positionV "
                                           "relativeFrom=\"page\"><wp:posOffset>914400</wp:posOffset>"
                                           "</wp:positionV><wp:wrapNone/>"
                                         : ">";
            return shown("<w:r><w:drawing><wp:" + frame + place +
                         "<wp:extent cx=\"1828800\" cy=\"1828800\"/><a:graphic><a:graphicData "
                         "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
                         "<pic:blipFill><a:blip r:embed=\"rId1\"/>" +
                         crop +
                         "<a:stretch><a:fillRect/></a:stretch></pic:blipFill></pic:pic></a:graphicData>"
                         "</a:graphic></wp:" +
                         frame + "></w:drawing></w:r>");
        };
        for (const bool anchored : {false, true}) {
            QCOMPARE(drawing(anchored, {}), QStringLiteral("rbgy"));
            // The right half, stretched over the whole frame.
            QCOMPARE(drawing(anchored, "<a:srcRect l=\"50000\"/>"), QStringLiteral("bbyy"));
            // The top quarter, as a letterhead's strip is cut from a whole page.
            QCOMPARE(drawing(anchored, "<a:srcRect b=\"75000\"/>"), QStringLiteral("rbrb"));
            // Half the picture's width of empty room at its left: the picture in the frame's right two
            // thirds.
            QCOMPARE(drawing(anchored, "<a:srcRect l=\"-50000\"/>"), QStringLiteral("wbwy"));
            // Strict files give percentages; a crop that leaves nothing is not one.
            QCOMPARE(drawing(anchored, "<a:srcRect r=\"50%\" b=\"50%\"/>"), QStringLiteral("rrrr"));
            QCOMPARE(drawing(anchored, "<a:srcRect l=\"60000\" r=\"40000\"/>"), QStringLiteral("rbgy"));
        }
        const auto vml = [&](const QByteArray& crop) {
            return shown(
                "<w:r><w:pict><v:shape style=\"width:144pt;height:144pt\"><v:imagedata r:id=\"rId1\" " +
                crop + "/></v:shape></w:pict></w:r>");
        };
        QCOMPARE(vml({}), QStringLiteral("rbgy"));
        QCOMPARE(vml("cropleft=\"32768f\""), QStringLiteral("bbyy"));
        QCOMPARE(vml("cropbottom=\"49152f\""), QStringLiteral("rbrb"));
        QCOMPARE(vml("cropleft=\"0.5\" croptop=\"50%\" cropright=\"-16384f\""), QStringLiteral("rbgy"));
    }

    void anchoredPicture() {
        // An anchored picture lies where its offsets say, from the page across and the paragraph down;
        // an inline one stands in its line at its extent.
        const auto drawing = [](const QByteArray& frame, const QByteArray& place) {
            return "<w:r><w:drawing><wp:" + frame + place +
                   "<wp:extent cx=\"1828800\" cy=\"914400\"/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
                   "picture\"><pic:pic><pic:blipFill><a:blip "
                   "r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:" +
                   frame.left(frame.indexOf(' ') < 0 ? frame.size() : frame.indexOf(' ')) +
                   "></w:drawing></w:r>";
        };
        const Template t = readBody(
            paragraph(
                drawing(
                    "anchor behindDoc=\"0\"",
                    ">"
                    "<wp:positionH relativeFrom=\"page\"><wp:posOffset>914400</wp:posOffset></wp:positionH>"
                    "<wp:positionV "
                    "relativeFrom=\"paragraph\"><wp:posOffset>457200</wp:posOffset></wp:positionV>"
                    "<wp:wrapSquare wrapText=\"bothSides\"/>") +
                run("Beside")) +
                paragraph(drawing(
                    "anchor behindDoc=\"1\"",
                    "><wp:positionH relativeFrom=\"margin\"><wp:align>center</wp:align></wp:positionH>"
                    "<wp:positionV "
                    "relativeFrom=\"page\"><wp:align>bottom</wp:align></wp:positionV><wp:wrapNone/>")) +
                paragraph(drawing("inline", ">")),
            {{"image", "media/image1.png", png(40, 20)}});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& f = t.floats[0];
        QCOMPARE(f.fromX, Floating::From::Page);
        QCOMPARE(f.fromY, Floating::From::Paragraph);
        QCOMPARE(f.leftTwips, 1440);
        QCOMPARE(f.topTwips, 720);
        QCOMPARE(f.widthTwips, 2880);
        QCOMPARE(f.heightTwips, 1440);
        QCOMPARE(f.wrap, Floating::Wrap::Around);
        QVERIFY(!f.behindText);
        QCOMPARE(t.pictures[size_t(f.picture)].image.size(), QSize(40, 20));
        // Centred in the margins' 9360 twips; at the page's foot.
        const Floating& g = t.floats[1];
        QCOMPARE(g.fromX, Floating::From::Margin);
        QCOMPARE(g.leftTwips, (9360 - 2880) / 2);
        QCOMPARE(g.fromY, Floating::From::Page);
        QCOMPARE(g.topTwips, 15840 - 1440);
        QVERIFY(g.behindText);
        QCOMPARE(g.wrap, Floating::Wrap::None);
        const Paragraph& third = std::get<Paragraph>(t.body.blocks.at(2));
        QCOMPARE(third.runs.size(), size_t(1));
        QCOMPARE(third.runs[0].kind, Run::Picture);
        QCOMPARE(t.pictures[size_t(third.runs[0].index)].widthTwips, 2880);
    }

    void pictureBehindTextWrapped() {
        // A picture behind the text that the text wraps around all the same: the lines level with it end
        // before its left edge; no line runs under it.
        const QByteArray anchor =
            "<w:r><w:drawing><wp:anchor behindDoc=\"1\"><wp:positionH relativeFrom=\"column\"><wp:posOffset>"
            "3657600</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/"
            "drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip r:embed=\"rId1\"/></pic:blipFill>"
            "</pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        QByteArray words;
        for (int i = 0; i < 60; ++i)
            words += "wrapped words ";
        const auto t = std::make_shared<const Template>(
            readBody(paragraph(anchor + run(words)), {{"image", "media/image1.png", png(40, 20)}}));
        QCOMPARE(t->floats.size(), size_t(1));
        QVERIFY(t->floats[0].behindText);
        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(1));
        const QRectF picture = copy.pictures[0].rect;
        QVERIFY(qAbs(picture.left() - twipsToLayout(1440 + 5760)) < 2);
        int level = 0, below = 0;
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next()) {
            const QRectF r = copy.body->documentLayout()->blockBoundingRect(b).translated(twipsToLayout(1440),
                                                                                          copy.bodyTop);
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                if (line.textLength() == 0 || !b.text().contains(QStringLiteral("wrapped")))
                    continue;
                const double top = r.top() + line.y();
                if (top < picture.bottom() && top + line.height() > picture.top()) {
                    ++level;
                    QVERIFY(r.left() + line.x() + line.naturalTextWidth() <= picture.left());
                } else {
                    ++below;
                }
            }
        }
        QVERIFY(level >= 2);
        QVERIFY(below >= 1);
    }

    // A picture's outline lies over its edge, the picture shrunk within it, as LibreOffice draws a plain
    // one; round its outside for one with a 3-D look or a shadow, which falls beyond the room its effect
    // extent keeps. Neither moves the text.
    void pictureOutlines() {
        const auto letter = [](const QByteArray& effects, const QByteArray& room) {
            const QByteArray picture =
                "<w:r><w:drawing><wp:inline distL=\"0\" distR=\"0\"><wp:extent cx=\"2540000\" "
                "cy=\"1270000\"/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"" +
                room +
                "\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rId1\"/>"
                "</pic:blipFill><pic:spPr><a:ln w=\"88900\"><a:solidFill><a:srgbClr val=\"FF0000\"/>"
                "</a:solidFill></a:ln>" +
                effects + "</pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
            auto t = std::make_shared<const Template>(readBody(paragraph(picture) + paragraph(run("Below")),
                                                               {{"image", "media/p.png", png(40, 20)}}));
            Merger merger(t, nullptr);
            const PageCopy copy = merger.next();
            // The sheet at 144 dpi, two pixels to the point; where "Below" stands.
            const QImage page = sheets::paint(copy, 0, t->page, 144);
            const QTextBlock below = copy.body->lastBlock();
            return std::pair(page, copy.body->documentLayout()->blockBoundingRect(below).top());
        };
        const auto red = [](QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; };
        const auto blue = [](QRgb c) { return qBlue(c) > 100 && qRed(c) < 60; };
        // Half way down the picture, which stands at the margins, an inch from the sheet's edges.
        const int middle = 144 + 100, edge = 144;
        const auto [plain, plainBelow] = letter({}, "0");
        QVERIFY(red(plain.pixel(edge + 3, middle)) && red(plain.pixel(edge + 12, middle)));
        QVERIFY(blue(plain.pixel(edge + 17, middle)));
        QCOMPARE(plain.pixel(edge - 3, middle), qRgb(255, 255, 255));
        QVERIFY(red(plain.pixel(edge + 395, middle)) && blue(plain.pixel(edge + 382, middle)));
        const auto [raised, raisedBelow] =
            letter("<a:scene3d><a:camera prst=\"orthographicFront\"/></a:scene3d>", "0");
        QVERIFY(red(raised.pixel(edge - 3, middle)) && red(raised.pixel(edge - 12, middle)));
        QVERIFY(blue(raised.pixel(edge + 3, middle)) && blue(raised.pixel(edge + 396, middle)));
        QVERIFY(red(raised.pixel(edge + 403, middle)));
        QCOMPARE(raisedBelow, plainBelow);
        // A shadow a point below, softened over four: grey below the outline, past the room of one point
        // kept under the picture; the text below stands a point lower only (Qt rounds the line up).
        const auto [shaded, shadedBelow] =
            letter("<a:effectLst><a:outerShdw blurRad=\"50800\" dist=\"12700\" dir=\"5400000\"><a:srgbClr "
                   "val=\"000000\"><a:alpha val=\"40000\"/></a:srgbClr></a:outerShdw></a:effectLst>",
                   "12700");
        QVERIFY(red(shaded.pixel(edge + 100, 144 + 200 + 7)));
        for (int y : {144 + 200 + 16, 144 + 200 + 19}) {
            const QRgb c = shaded.pixel(edge + 100, y);
            QVERIFY2(qGray(c) < 235 && qAbs(qRed(c) - qBlue(c)) < 8, qPrintable(QString::number(c, 16)));
        }
        QCOMPARE(shaded.pixel(edge + 100, 144 + 200 + 40), qRgb(255, 255, 255));
        QVERIFY(qAbs(shadedBelow - plainBelow - twipsToLayout(20)) < 3);
        // A picture placed on the page likewise, its shadow beyond its box.
        const QByteArray placed =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\"><wp:posOffset>"
            "914400</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>1828800"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"2540000\" "
            "cy=\"1270000\"/><wp:wrapNone/><a:graphic>"
            "<a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr><a:ln "
            "w=\"88900\"><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill></a:ln>";
        for (const bool shadow : {false, true}) {
            const auto t = std::make_shared<const Template>(readBody(
                paragraph(placed +
                          (shadow ? "<a:effectLst><a:outerShdw blurRad=\"50800\"><a:srgbClr val=\"000000\"/>"
                                    "</a:outerShdw></a:effectLst>"
                                  : "") +
                          "</pic:spPr></pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>"),
                {{"image", "media/p.png", png(40, 20)}}));
            Merger merger(t, nullptr);
            const QImage page = sheets::paint(merger.next(), 0, t->page, 144);
            const int top = 288, across = top + 100;
            QVERIFY(red(page.pixel(edge + (shadow ? -3 : 3), across)));
            QVERIFY(blue(page.pixel(edge + (shadow ? 3 : 17), across)));
            QVERIFY((qGray(page.pixel(edge + 100, top + 200 + (shadow ? 16 : 2))) < 250) == shadow);
        }
    }

    // An outlined picture, in a line or placed on the page, is framed once for the whole merge: every
    // letter shows the same image, which a PDF of the letters then holds once, not once a letter.
    void outlinedPicturesFramedOnce() {
        const QByteArray picture =
            "<wp:extent cx=\"2540000\" cy=\"1270000\"/><a:graphic><a:graphicData><pic:pic><pic:blipFill>"
            "<a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr><a:ln w=\"88900\"><a:solidFill><a:srgbClr "
            "val=\"FF0000\"/></a:solidFill></a:ln></pic:spPr></pic:pic></a:graphicData></a:graphic>";
        const QByteArray inlined = "<w:r><w:drawing><wp:inline>" + picture + "</wp:inline></w:drawing></w:r>";
        const QByteArray placed =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"page\"><wp:posOffset>"
            "914400</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"page\"><wp:posOffset>5486400"
            "</wp:posOffset></wp:positionV><wp:wrapNone/>" +
            picture + "</wp:anchor></w:drawing></w:r>";
        const auto t = std::make_shared<const Template>(readBody(
            paragraph(inlined) + paragraph(placed + run("Text")), {{"image", "media/p.png", png(40, 20)}}));
        Merger merger(t, DataSource::parse("\"Name\"\r\n\"A\"\r\n\"B\"\r\n", "data.txt"));
        const PageCopy first = merger.next(), second = merger.next();
        const auto inLine = [](const PageCopy& copy) {
            return copy.body->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("qm-picture-0")))
                .value<QImage>();
        };
        // Framed: drawn larger than the picture's own pixels, its outline round them.
        QVERIFY(inLine(first).width() > 40);
        QCOMPARE(inLine(first).cacheKey(), inLine(second).cacheKey());
        QCOMPARE(first.pictures.size(), size_t(1));
        QCOMPARE(second.pictures.size(), size_t(1));
        QVERIFY(first.pictures.front().image.width() > 40);
        QCOMPARE(first.pictures.front().image.cacheKey(), second.pictures.front().image.cacheKey());
    }

    void textBoxes() {
        // A text box from Word's drawing shapes, never also from its VML fallback; an older VML one.
        const QByteArray txbx = "<w:txbxContent>" + paragraph(run("In the box")) + "</w:txbxContent>";
        const Template t = readBody(paragraph(
            "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor "
            "behindDoc=\"0\"><wp:positionH "
            "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
            "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
            "cx=\"914400\" "
            "cy=\"457200\"/><wp:wrapTopAndBottom/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/"
            "wordprocessingShape\"><wps:wsp><wps:spPr><a:solidFill><a:srgbClr "
            "val=\"FFFF00\"/></a:solidFill><a:ln w=\"12700\"><a:solidFill><a:srgbClr "
            "val=\"000000\"/></a:solidFill></a:ln></wps:spPr><wps:txbx>" +
            txbx +
            "</wps:txbx><wps:bodyPr lIns=\"0\" tIns=\"0\" rIns=\"0\" "
            "bIns=\"0\"/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice>"
            "<mc:Fallback><w:pict><v:shape style=\"position:absolute;width:72pt;height:36pt\"><v:textbox>" +
            txbx + "</v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r>" +
            "<w:r><w:pict><v:shape "
            "style=\"position:absolute;margin-left:36pt;margin-top:18pt;width:144pt;height:72pt;"
            "mso-position-horizontal-relative:page\" fillcolor=\"#00ff00\" stroked=\"f\"><v:textbox>"
            "<w:txbxContent>" +
            paragraph(run("Old box")) + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>"));
        QCOMPARE(t.textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), QStringList{"In the box"});
        QCOMPARE(paragraphs(t, t.textBoxes[1]), QStringList{"Old box"});
        QCOMPARE(t.floats.size(), size_t(2));
        QCOMPARE(t.floats[0].fill, QColor(255, 255, 0));
        QCOMPARE(t.floats[0].lineTwips, 20);
        QCOMPARE(t.floats[0].widthTwips, 1440);
        QCOMPARE(t.floats[0].insetTwips, (std::array<int, 4>{0, 0, 0, 0}));
        QCOMPARE(t.floats[0].wrap, Floating::Wrap::TopBottom);
        const Floating& old = t.floats[1];
        QCOMPARE(old.fromX, Floating::From::Page);
        QCOMPARE(old.leftTwips, 720);
        QCOMPARE(old.topTwips, 360);
        QCOMPARE(old.widthTwips, 2880);
        QCOMPARE(old.fill, QColor(0, 255, 0));
        QVERIFY(!old.line.isValid());
    }

    void drawnShapes() {
        // Boxes, ellipses and lines drawn in Word, in their fill and outline; a shape in neither draws
        // nothing, and one of another geometry is left out.
        const auto shape = [](const QByteArray& geometry, const QByteArray& spPr,
                              const QByteArray& xfrm = {}) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>635000</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"914400\" cy=\"457200\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:spPr>" +
                   xfrm + "<a:prstGeom prst=\"" + geometry + "\"/>" + spPr +
                   "</wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></"
                   "w:r>";
        };
        const QByteArray red = "<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>";
        const QByteArray blueLine =
            "<a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:ln>";
        const Template t = readBody(paragraph(
            shape("rect", red + blueLine) + shape("ellipse", red) +
            shape("line", blueLine, "<a:xfrm flipH=\"1\"/>") + shape("rect", "<a:noFill/>") +
            shape("heart", red) +
            "<w:r><w:pict><v:rect style=\"position:absolute;margin-left:18.75pt;margin-top:9.9pt;"
            "width:198.75pt;height:48.75pt;z-index:1\" fillcolor=\"#fde9d9 [665]\" strokecolor=\"#9bbb59\" "
            "strokeweight=\"5pt\"/><v:oval style=\"position:absolute;width:36pt;height:36pt\" "
            "filled=\"f\"/><v:rect style=\"width:36pt;height:36pt\"/></w:pict></w:r>" +
            shape("roundRect", red)));
        QCOMPARE(t.floats.size(), size_t(6));
        QVERIFY(t.textBoxes.empty() && t.pictures.empty());
        const Floating& box = t.floats[0];
        QCOMPARE(box.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({box.leftTwips, box.widthTwips, box.heightTwips, box.lineTwips}),
                 QList<int>({1000, 1440, 720, 40}));
        QVERIFY(box.fill == QColor(255, 0, 0) && box.line == QColor(0, 0, 255));
        QCOMPARE(box.wrap, Floating::Wrap::None);
        QCOMPARE(t.floats[1].shape, Floating::Shape::Ellipse);
        QVERIFY(t.floats[1].fill == QColor(255, 0, 0) && !t.floats[1].line.isValid());
        const Floating& line = t.floats[2];
        QCOMPARE(line.shape, Floating::Shape::Lines);
        QVERIFY(!line.fill.isValid() && line.line == QColor(0, 0, 255));
        QCOMPARE(line.points, (std::vector<QPoint>{QPoint(1440, 0), QPoint(0, 720)}));
        const Floating& old = t.floats[3];
        QCOMPARE(old.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({old.leftTwips, old.topTwips, old.widthTwips, old.heightTwips, old.lineTwips}),
                 QList<int>({375, 198, 3975, 975, 100}));
        QVERIFY(old.fill == QColor(0xfd, 0xe9, 0xd9) && old.line == QColor(0x9b, 0xbb, 0x59));
        QCOMPARE(t.floats[4].shape, Floating::Shape::Ellipse);
        QVERIFY(!t.floats[4].fill.isValid() && t.floats[4].line == QColor(Qt::black));
        // A rounded box's corners: a sixth of its shorter side unless it says, a third of half of it.
        QCOMPARE(t.floats[5].shape, Floating::Shape::Box);
        QVERIFY(qAbs(t.floats[5].rounding - 1.0 / 3) < 0.001);
        QCOMPARE(box.rounding, 0.0);
    }

    void dashedOutlines() {
        // Dashes as LibreOffice 7.4 draws them, in the line's widths: DrawingML's presets and its own
        // lengths (thousandths of a percent), VML's named styles, and VML's numbers as short dots.
        const auto shape = [](int left, const QByteArray& dash) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>" +
                   QByteArray::number(left) +
                   "</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"1828800\" cy=\"457200\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:spPr><a:prstGeom prst=\"rect\"/><a:noFill/><a:ln "
                   "w=\"25400\"><a:solidFill><a:srgbClr val=\"000000\"/></a:solidFill>" +
                   dash +
                   "</a:ln></wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></"
                   "w:drawing></w:r>";
        };
        const auto vml = [](const QByteArray& style) {
            return "<v:line style=\"position:absolute;z-index:1\" from=\"0,0\" to=\"100pt,0\" "
                   "strokeweight=\"1pt\"><v:stroke dashstyle=\"" +
                   style + "\"/></v:line>";
        };
        const Template t = readBody(paragraph(
            shape(0, "<a:prstDash val=\"lgDashDot\"/>") + shape(2540000, "<a:prstDash val=\"solid\"/>") +
            shape(0, "<a:prstDash val=\"sysDot\"/>") +
            shape(0, "<a:custDash><a:ds d=\"400000\" sp=\"100000\"/></a:custDash>") + "<w:r><w:pict>" +
            vml("dash") + vml("longdashdotdot") + vml("shortdashdot") + vml("1 1") + vml("solid") +
            "</w:pict></w:r>"));
        QCOMPARE(t.floats.size(), size_t(9));
        const std::vector<std::vector<double>> expected{
            {8, 3, 1, 3}, {}, {1, 1}, {4, 1}, {4, 3}, {8, 3, 1, 3, 1, 3}, {3, 1, 1, 1}, {1, 1}, {}};
        for (size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(t.floats[i].dashes, expected[i]);

        // On the page the dashed box's top edge is broken where the solid one's is whole.
        const sheets::Printed p = sheets::printTemplate(readBody(paragraph(
            shape(0, "<a:prstDash val=\"lgDashDot\"/>") + shape(2540000, "<a:prstDash val=\"solid\"/>"))));
        QCOMPARE(p.copy.pictures.size(), size_t(2));
        const QImage page = sheets::sheet(p);
        const auto pieces = [&](const PlacedPicture& placed) {
            const double scale = sheets::kDpi / kLayoutDpi;
            const int y = qRound(placed.rect.top() * scale);
            int marks = 0;
            bool dark = false;
            for (int x = qRound(placed.rect.left() * scale) + 4; x < qRound(placed.rect.right() * scale) - 4;
                 ++x) {
                bool now = false;
                for (int d = -2; d <= 2; ++d)
                    now = now || qGray(page.pixel(x, y + d)) < 128;
                marks += now && !dark;
                dark = now;
            }
            return marks;
        };
        // Two inches of a 2-point rule in dashes of 16 points and dots of 2, 6 points apart: about ten.
        const int dashed = pieces(p.copy.pictures[0]);
        QVERIFY2(dashed >= 8 && dashed <= 11, qPrintable(QString::number(dashed)));
        QCOMPARE(pieces(p.copy.pictures[1]), 1);
    }

    void themeColoursLightenedAndDarkened() {
        // Office's default blue (4472C4) darkened: a shape's fill by a quarter of its luminance (and 35%
        // opaque), its
        // outline by the half shade Word's shape style gives it, and text named only by the theme colour
        // as Word's headings have it. Word shows 2F5597, 2F528F and 2F5496 for these.
        const QByteArray theme = "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                 "name=\"T\"><a:themeElements><a:clrScheme name=\"O\"><a:accent1><a:srgbClr "
                                 "val=\"4472C4\"/></a:accent1></a:clrScheme></a:themeElements></a:theme>";
        const QByteArray shape =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\" simplePos=\"0\" relativeHeight=\"1\" "
            "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH "
            "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
            "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
            "cx=\"914400\" "
            "cy=\"457200\"/><wp:wrapNone/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr>"
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:schemeClr val=\"accent1\"><a:alpha "
            "val=\"35000\"/><a:lumMod val=\"75000\"/></a:schemeClr></a:solidFill><a:ln "
            "w=\"12700\"><a:solidFill><a:schemeClr "
            "val=\"accent1\"><a:shade val=\"50000\"/></a:schemeClr></a:solidFill></a:ln></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        const Template t = readBody(
            paragraph(shape + run("Heading", "<w:color w:themeColor=\"accent1\" w:themeShade=\"BF\"/>") +
                      run("Light", "<w:color w:val=\"auto\" w:themeColor=\"accent1\" w:themeTint=\"99\"/>")),
            {{"theme", "theme/theme1.xml", theme}});
        const auto near = [](const QColor& c, QRgb want) {
            const QColor w(want);
            return qAbs(c.red() - w.red()) <= 1 && qAbs(c.green() - w.green()) <= 1 &&
                   qAbs(c.blue() - w.blue()) <= 1;
        };
        QCOMPARE(t.floats.size(), size_t(1));
        QVERIFY2(near(t.floats[0].fill, 0x2F5597), qPrintable(t.floats[0].fill.name()));
        QVERIFY2(near(t.floats[0].line, 0x2F528F), qPrintable(t.floats[0].line.name()));
        // The fill is see-through by its opacity, whatever else changes it; the outline is not.
        QVERIFY2(qAbs(t.floats[0].fill.alphaF() - 0.35) < 0.01,
                 qPrintable(QString::number(t.floats[0].fill.alphaF())));
        QCOMPARE(t.floats[0].line.alpha(), 255);
        const std::vector<Run>& runs = firstParagraph(t.body).runs;
        QColor heading, light;
        for (const Run& r : runs) {
            if (r.text == QLatin1String("Heading"))
                heading = t.formats[size_t(r.format)].color;
            if (r.text == QLatin1String("Light"))
                light = t.formats[size_t(r.format)].color;
        }
        QVERIFY2(near(heading, 0x2F5496), qPrintable(heading.name()));
        // A tint of 99 (60%) keeps three fifths of the luminance and takes the rest from white: 8EAADB.
        QVERIFY2(near(light, 0x8EAADB), qPrintable(light.name()));
    }

    void vmlGroups() {
        // Older drawings group their text boxes in VML: a piece's box is in the group's own units, from
        // coordorigin over coordsize, laid onto the group's box; an inline group stands in the text, one
        // placed absolutely where its style puts it, and a group within a group maps twice.
        const auto box = [](const QByteArray& style, const QByteArray& text) {
            return "<v:shape type=\"#_x0000_t202\" style=\"position:absolute;" + style +
                   "\"><v:textbox><w:txbxContent>" + paragraph(run(text)) +
                   "</w:txbxContent></v:textbox></v:shape>";
        };
        const Template t = readBody(
            paragraph(
                "<w:r><w:pict><v:group style=\"width:144pt;height:72pt;mso-position-horizontal-relative:char;"
                "mso-position-vertical-relative:line\" coordorigin=\"1000,2000\" coordsize=\"2000,1000\">" +
                box("left:1500;top:2500;width:1000;height:500", "Inline piece") +
                "</v:group></w:pict></w:r>") +
            paragraph(
                "<w:r><w:pict><v:group style=\"position:absolute;margin-left:36pt;margin-top:18pt;"
                "width:144pt;height:144pt;mso-position-horizontal-relative:page\" coordsize=\"100,100\">"
                "<v:group style=\"position:absolute;left:50;top:50;width:50;height:50\" "
                "coordorigin=\"0,0\" coordsize=\"10,10\">" +
                box("left:5;top:0;width:5;height:10", "Nested piece") +
                "</v:group></v:group></w:pict></w:r>"));
        QCOMPARE(t.textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), QStringList{"Inline piece"});
        QCOMPARE(paragraphs(t, t.textBoxes[1]), QStringList{"Nested piece"});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& inline_ = t.floats[0];
        QCOMPARE(inline_.fromY, Floating::From::Paragraph);
        // The inline group's line holds its room: its pieces push no text.
        QCOMPARE(inline_.wrap, Floating::Wrap::None);
        QCOMPARE(inline_.leftTwips, 720);
        QCOMPARE(inline_.topTwips, 720);
        QCOMPARE(inline_.widthTwips, 1440);
        QCOMPARE(inline_.heightTwips, 720);
        // 2880 twips over 100 units, then half of that over 10: the piece is 720 wide from 720 + 2160.
        const Floating& nested = t.floats[1];
        QCOMPARE(nested.fromX, Floating::From::Page);
        QCOMPARE(nested.leftTwips, 720 + 1440 + 720);
        QCOMPARE(nested.topTwips, 360 + 1440);
        QCOMPARE(nested.widthTwips, 720);
        QCOMPARE(nested.heightTwips, 1440);
    }

    void groupInTheMargin() {
        // A group of two text boxes, from Word's drawing group rather than its VML fallback, placed by
        // the fallback offset of a Word 2010 position, down the left margin from the text area's top:
        // the letter's text stays at the top, beside it.
        const auto box = [](const QByteArray& y, const QByteArray& text) {
            return "<wps:wsp><wps:spPr><a:xfrm><a:off x=\"0\" y=\"" + y +
                   "\"/><a:ext cx=\"457200\" cy=\"914400\"/></a:xfrm></wps:spPr><wps:txbx><w:txbxContent>" +
                   paragraph(run(text)) + "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp>";
        };
        const QByteArray group =
            "<w:r><mc:AlternateContent><mc:Choice Requires=\"wpg\"><w:drawing><wp:anchor "
            "behindDoc=\"0\" "
            "xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\">"
            "<mc:AlternateContent><mc:Choice Requires=\"wp14\"><wp:positionH "
            "relativeFrom=\"page\"><wp14:pctPosHOffset>5000</wp14:pctPosHOffset></wp:positionH></mc:Choice>"
            "<mc:Fallback><wp:positionH relativeFrom=\"page\"><wp:posOffset>228600</wp:posOffset>"
            "</wp:positionH></mc:Fallback></mc:AlternateContent><wp:positionV relativeFrom=\"margin\">"
            "<wp:align>top</wp:align></wp:positionV><wp:extent cx=\"457200\" cy=\"2743200\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:wgp "
            "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:grpSpPr>"
            "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"457200\" cy=\"2743200\"/><a:chOff x=\"0\" y=\"0\"/>"
            "<a:chExt cx=\"457200\" cy=\"2743200\"/></a:xfrm></wpg:grpSpPr>" +
            box("0", "Top box") + box("1828800", "Lower box") +
            "</wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict>"
            "<v:shape style=\"position:absolute;width:36pt;height:216pt\"><v:textbox><w:txbxContent>" +
            paragraph(run("Fallback")) +
            "</w:txbxContent></v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r>";
        const auto t = std::make_shared<const Template>(
            readBody(paragraph(group + run("Letter text")) + paragraph(run("More text"))));
        QCOMPARE(t->textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(*t, t->textBoxes[1]), QStringList{"Lower box"});
        QCOMPARE(t->floats.size(), size_t(2));
        QCOMPARE(t->floats[0].fromX, Floating::From::Page);
        QCOMPARE(t->floats[0].leftTwips, 360);
        QCOMPARE(t->floats[1].topTwips, 2880);
        QCOMPARE(t->floats[1].fromY, Floating::From::Margin);

        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(2));
        QTextBlock first = copy.body->begin();
        while (first.isValid() && !first.text().contains(QStringLiteral("Letter text")))
            first = first.next();
        QVERIFY(first.isValid());
        QVERIFY(copy.body->documentLayout()->blockBoundingRect(first).top() < twipsToLayout(360));
    }

    void textAnchoredInItsBox() {
        // Text set at the top, middle or foot of a box two inches tall, from Word's drawing shapes and
        // from VML: the room its lines leave goes above them, half of it or all.
        const auto box = [](const QByteArray& anchor, const QByteArray& text) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"914400\" cy=\"1828800\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:txbx>"
                   "<w:txbxContent>" +
                   paragraph(run(text)) +
                   "</w:txbxContent></wps:txbx><wps:bodyPr tIns=\"91440\" bIns=\"45720\"" + anchor +
                   "/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        };
        const auto t = std::make_shared<const Template>(readBody(paragraph(
            box({}, "Top") + box(" anchor=\"ctr\"", "Middle") + box(" anchor=\"b\"", "Foot") +
            "<w:r><w:pict><v:shape style=\"position:absolute;width:72pt;height:144pt;v-text-anchor:bottom\">"
            "<v:textbox inset=\"7.2pt,7.2pt,7.2pt,3.6pt\"><w:txbxContent>" +
            paragraph(run("Old foot")) + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>")));
        QCOMPARE(t->floats.size(), size_t(4));
        QCOMPARE(t->floats[0].textAnchor, Floating::TextAnchor::Top);
        QCOMPARE(t->floats[1].textAnchor, Floating::TextAnchor::Middle);
        QCOMPARE(t->floats[2].textAnchor, Floating::TextAnchor::Bottom);
        QCOMPARE(t->floats[3].textAnchor, Floating::TextAnchor::Bottom);

        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(4));
        for (const PlacedPicture& p : copy.pictures)
            QVERIFY(p.text);
        const double lines = copy.pictures[0].text->documentLayout()->documentSize().height();
        const double top = twipsToLayout(144), bottom = twipsToLayout(72);
        const double room = twipsToLayout(2880) - top - bottom - lines;
        QVERIFY(room > twipsToLayout(2000));
        QCOMPARE(copy.pictures[0].textOffset.y(), top);
        QVERIFY(qAbs(copy.pictures[1].textOffset.y() - (top + room / 2)) < 1);
        QVERIFY(qAbs(copy.pictures[2].textOffset.y() - (top + room)) < 1);
        // The box's foot less its bottom inset is where its last line ends.
        const PlacedPicture& old = copy.pictures[3];
        QVERIFY(qAbs(old.textOffset.y() + old.text->documentLayout()->documentSize().height() -
                     (old.rect.height() - twipsToLayout(72))) < 1);
    }

    void boxSizedToItsText() {
        // A text box Word sizes to its text is as tall as its lines and insets, whether the file gives
        // it more room or less; the lines beside it go back to the full width just below it.
        const auto box = [](const QByteArray& cy, bool fit, const QList<QByteArray>& texts) {
            QByteArray inner;
            for (const QByteArray& text : texts)
                inner += paragraph(run(text));
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\" distB=\"45720\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>1828800</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>182880</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"2360930\" cy=\"" +
                   cy +
                   "\"/><wp:wrapSquare wrapText=\"bothSides\"/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:txbx>"
                   "<w:txbxContent>" +
                   inner + "</w:txbxContent></wps:txbx><wps:bodyPr tIns=\"45720\" bIns=\"45720\">" +
                   (fit ? "<a:spAutoFit/>" : "") +
                   "</wps:bodyPr></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        };
        const QByteArray beside = run(QByteArray("Lorem ipsum dolor sit amet consectetur. ").repeated(12));
        const double inset = twipsToLayout(72 + 72);
        // The box given two inches for one line, a fifth of an inch for six, and two inches kept.
        struct Case {
            QByteArray cy;
            bool fit;
            QList<QByteArray> texts;
        };
        for (const Case& k : {Case{"1828800", true, {"Here is a text box."}},
                              Case{"182880", true, {"One", "Two", "Three", "Four", "Five", "Six"}},
                              Case{"1828800", false, {"Here is a text box."}}}) {
            const auto t =
                std::make_shared<const Template>(readBody(paragraph(box(k.cy, k.fit, k.texts) + beside)));
            QCOMPARE(t->floats.size(), size_t(1));
            QCOMPARE(t->floats[0].fitText, k.fit);
            Merger merger(t, nullptr);
            const PageCopy copy = merger.next();
            QCOMPARE(copy.pictures.size(), size_t(1));
            const PlacedPicture& placed = copy.pictures[0];
            QVERIFY(placed.text);
            const double lines = placed.text->documentLayout()->documentSize().height();
            const double height = k.fit ? lines + inset : twipsToLayout(2880);
            QVERIFY2(qAbs(placed.rect.height() - height) < 1,
                     qPrintable(QString::number(placed.rect.height())));
            // The first full line of the paragraph beside the box starts below it and its gap, the line
            // before it no lower than that.
            QTextBlock b = copy.body->begin();
            while (b.isValid() && !b.text().contains(QStringLiteral("Lorem")))
                b = b.next();
            QVERIFY(b.isValid());
            const double full = copy.body->textWidth() - copy.body->documentMargin() * 2;
            const double bottom = placed.rect.bottom() + twipsToLayout(72) - copy.bodyTop;
            int first = -1;
            for (int i = 0; i < b.layout()->lineCount() && first < 0; ++i)
                if (b.layout()->lineAt(i).width() > full - 2)
                    first = i;
            QVERIFY(first > 0);
            // The paragraph opens the page: its first line's top is the body's.
            const auto top = [&](int line) {
                return b.layout()->lineAt(line).y() - b.layout()->lineAt(0).y();
            };
            QVERIFY(top(first) >= bottom - 1);
            QVERIFY(top(first - 1) < bottom);
        }
    }

    void groupInItsOwnUnits() {
        // Word's groups converted from older drawings count their pieces in small units of their own
        // (here 1104 by 736 to a group of 2.5 by 1.6 inches): a picture and a box keep their share of it.
        const auto piece = [](const QByteArray& x, const QByteArray& y, const QByteArray& cx,
                              const QByteArray& cy) {
            return "<a:xfrm><a:off x=\"" + x + "\" y=\"" + y + "\"/><a:ext cx=\"" + cx + "\" cy=\"" + cy +
                   "\"/></a:xfrm>";
        };
        const QByteArray group =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"column\"><wp:posOffset>"
            "-635000</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"2286000\" "
            "cy=\"1463040\"/><wp:wrapNone/><a:graphic>"
            "<a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:wgp "
            "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:grpSpPr>"
            "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"2286000\" cy=\"1463040\"/><a:chOff x=\"1920\" "
            "y=\"2400\"/><a:chExt cx=\"1104\" cy=\"736\"/></a:xfrm></wpg:grpSpPr><pic:pic><pic:blipFill>"
            "<a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr>" +
            piece("2196", "2584", "552", "368") + "</pic:spPr></pic:pic><wps:wsp><wps:spPr>" +
            piece("2472", "2400", "552", "184") +
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        const Template t =
            readBody(paragraph(group + run("Heading")), {{"image", "media/image1.png", png(40, 20)}});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& picture = t.floats[0];
        QVERIFY(picture.picture >= 0);
        // A quarter of the group's width in from its left, 1000 twips left of the margin; a quarter
        // down; half its width and height.
        QCOMPARE(QList<int>({picture.leftTwips, picture.topTwips, picture.widthTwips, picture.heightTwips}),
                 QList<int>({-1000 + 900, 576, 1800, 1152}));
        const Floating& box = t.floats[1];
        QCOMPARE(box.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({box.leftTwips, box.topTwips, box.widthTwips, box.heightTwips}),
                 QList<int>({-1000 + 1800, 0, 1800, 576}));
    }

    void sizeByShareOfThePage() {
        // A rule down the page Word 2010 sizes at 105% of the margins' height and a box at half the
        // page's width: the extents it wrote are stale. The page is Letter with one-inch margins.
        const auto shape = [](const QByteArray& sizes, const QByteArray& geometry) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"1\" "
                   "xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\">"
                   "<wp:positionH relativeFrom=\"page\"><wp:posOffset>2642235</wp:posOffset></wp:positionH>"
                   "<wp:positionV relativeFrom=\"page\"><wp:align>center</wp:align></wp:positionV><wp:extent "
                   "cx=\"27432\" cy=\"1257300\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:spPr>"
                   "<a:prstGeom prst=\"" +
                   geometry +
                   "\"/><a:ln w=\"6350\"><a:solidFill><a:srgbClr "
                   "val=\"B2B2B2\"/></a:solidFill></a:ln></wps:spPr>"
                   "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>" +
                   sizes + "</wp:anchor></w:drawing></w:r>";
        };
        const Template t = readBody(paragraph(
            shape("<wp14:sizeRelV "
                  "relativeFrom=\"margin\"><wp14:pctHeight>105000</wp14:pctHeight></wp14:sizeRelV>",
                  "line") +
            shape("<wp14:sizeRelH relativeFrom=\"page\"><wp14:pctWidth>50000</wp14:pctWidth></wp14:sizeRelH>",
                  "rect") +
            run("Text")));
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& rule = t.floats[0];
        QCOMPARE(rule.heightTwips, (15840 - 2880) * 105 / 100);
        // Centred on the page at its own height.
        QCOMPARE(rule.topTwips, (15840 - rule.heightTwips) / 2);
        QCOMPARE(rule.widthTwips, 43);
        QCOMPARE(t.floats[1].widthTwips, 12240 / 2);
        QCOMPARE(t.floats[1].heightTwips, 1980);
    }
};

QTEST_MAIN(TestDocxDrawings)
#include "tst_docxdrawings.moc"
