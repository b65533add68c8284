// Word 2007+ formats read into the template model: tables, styles, theme fonts, spacing, tabs, rules,
// letters and shading, from documents built here part by part.
#include "DocxReading.h"
#include "Sheets.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>
#include <cmath>

using namespace wordproc;
using namespace docxsamples;

class TestDocxFormats : public QObject {
    Q_OBJECT

private slots:
    void tables() {
        // Grid widths and spans make the cells' edges; a cell merged down keeps its text once and the
        // text left in the cell it covers is dropped; the
        // table's borders reach the cells; margins, heights, header rows and alignment come along.
        const QByteArray tbl =
            "<w:tbl><w:tblPr><w:tblInd w:w=\"200\" w:type=\"dxa\"/><w:tblBorders><w:top w:val=\"single\" "
            "w:sz=\"8\"/><w:insideH w:val=\"double\" w:sz=\"4\"/><w:insideV w:val=\"dotted\" "
            "w:sz=\"4\"/></w:tblBorders><w:tblCellMar><w:left w:w=\"100\" w:type=\"dxa\"/><w:right "
            "w:w=\"80\" "
            "w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol "
            "w:w=\"3000\"/><w:gridCol w:w=\"1000\"/></w:tblGrid>"
            "<w:tr><w:trPr><w:tblHeader/><w:cantSplit/><w:trHeight w:val=\"400\" w:hRule=\"exact\"/></w:trPr>"
            "<w:tc><w:tcPr><w:vMerge w:val=\"restart\"/><w:vAlign w:val=\"center\"/></w:tcPr>" +
            paragraph(run("Merged")) +
            "</w:tc><w:tc><w:tcPr><w:gridSpan w:val=\"2\"/><w:shd w:val=\"clear\" "
            "w:fill=\"FF0000\"/></w:tcPr>" +
            paragraph(run("Wide")) + "</w:tc></w:tr><w:tr><w:tc><w:tcPr><w:vMerge/></w:tcPr>" +
            paragraph(run("Covered")) + paragraph(run("Covered too")) +
            "</w:tc><w:tc><w:tcPr><w:tcMar><w:top w:w=\"50\" w:type=\"dxa\"/></w:tcMar></w:tcPr>" +
            paragraph(run("B")) + "</w:tc><w:tc>" + paragraph(run("C")) + "</w:tc></w:tr></w:tbl>";
        const Template t = read(package(document(tbl + paragraph("")),
                                        {{"settings", "settings.xml",
                                          "<w:settings " + kW +
                                              "><w:compat><w:compatSetting w:name=\"compatibilityMode\" "
                                              "w:uri=\"x\" w:val=\"15\"/></w:compat></w:settings>"}}));
        std::vector<const Table*> tables;
        for (const Block& b : t.body.blocks)
            if (const Table* table = std::get_if<Table>(&b))
                tables.push_back(table);
        // Two cells, then three: one table still, its rows cutting the grid differently.
        QCOMPARE(tables.size(), size_t(1));
        QCOMPARE(tables[0]->rows.size(), size_t(2));
        const Row& head = tables[0]->rows.at(0);
        const Row& second = tables[0]->rows.at(1);
        QVERIFY(head.header);
        QVERIFY(head.keepTogether);
        QVERIFY(!second.keepTogether);
        QCOMPARE(head.heightTwips, -400);
        QCOMPARE(head.leftTwips, 200);
        QCOMPARE(head.cells.size(), size_t(2));
        // Inner edges as LibreOffice keeps them, ten-thousandths of the grid's 6000 twips taken down to
        // whole twips (3333 of them: 1999.8); the table's own edge as the grid gives it.
        QCOMPARE(head.cells[0].rightTwips, 2199);
        QCOMPARE(head.cells[1].rightTwips, 6200);
        QCOMPARE(second.cells[1].rightTwips, 5199);
        QCOMPARE(head.cells[0].vMerge, Cell::VMerge::Restart);
        QCOMPARE(second.cells[0].vMerge, Cell::VMerge::Continue);
        QCOMPARE(head.cells[0].vAlign, Cell::VAlign::Center);
        QCOMPARE(paragraphs(t, Story{{head.cells[0].paragraphs.front()}}), QStringList{"Merged"});
        QCOMPARE(second.cells[0].paragraphs.size(), size_t(1));
        QCOMPARE(paragraphs(t, Story{{second.cells[0].paragraphs.front()}}), QStringList{""});
        QCOMPARE(head.cells[1].shading, QColor(255, 0, 0));
        QCOMPARE(edge(head.cells[0].borders, Side::Top).style, Border::Single);
        QCOMPARE(edge(head.cells[0].borders, Side::Top).widthTwips, 20);
        QCOMPARE(edge(head.cells[0].borders, Side::Bottom).style, Border::Double);
        QCOMPARE(edge(head.cells[0].borders, Side::Right).style, Border::Dotted);
        QCOMPARE(edge(head.cells[0].borders, Side::Left).style, Border::None);
        QCOMPARE(head.cells[0].leftPadTwips, 100);
        QCOMPARE(head.cells[0].rightPadTwips, 80);
        QCOMPARE(second.cells[1].topPadTwips, 50);
        QCOMPARE(second.cells[2].topPadTwips, -1);
    }

    // Capitals and small capitals as one run property sets them: capitals win; either one switched off
    // clears what a style below set, but not the other one switched on beside it (a table style's first
    // row in "caps, smallCaps off" prints in capitals in LibreOffice).
    void capitalsAndSmallCapitals_data() {
        QTest::addColumn<QByteArray>("style");
        QTest::addColumn<QByteArray>("own");
        QTest::addColumn<int>("caps");
        const QByteArray caps = "<w:caps/>", small = "<w:smallCaps/>";
        const QByteArray capsOff = "<w:caps w:val=\"0\"/>", smallOff = "<w:smallCaps w:val=\"0\"/>";
        QTest::newRow("caps, small off") << QByteArray() << caps + smallOff << int(CharFormat::Caps::All);
        QTest::newRow("small off, caps") << QByteArray() << smallOff + caps << int(CharFormat::Caps::All);
        QTest::newRow("caps, small") << QByteArray() << caps + small << int(CharFormat::Caps::All);
        QTest::newRow("small, caps off") << QByteArray() << small + capsOff << int(CharFormat::Caps::Small);
        QTest::newRow("style caps, small off") << caps << smallOff << int(CharFormat::Caps::None);
        QTest::newRow("style small, caps off") << small << capsOff << int(CharFormat::Caps::None);
        QTest::newRow("style caps, colour")
            << caps << QByteArray("<w:color w:val=\"FF0000\"/>") << int(CharFormat::Caps::All);
    }

    void capitalsAndSmallCapitals() {
        QFETCH(QByteArray, style);
        QFETCH(QByteArray, own);
        QFETCH(int, caps);
        const QByteArray styles = "<w:styles " + kW +
                                  "><w:style w:type=\"character\" w:styleId=\"Case\"><w:name w:val=\"Case\"/>"
                                  "<w:rPr>" +
                                  style + "</w:rPr></w:style></w:styles>";
        const Template t = readBody(paragraph(run("Word", "<w:rStyle w:val=\"Case\"/>" + own)),
                                    {{"styles", "styles.xml", styles}});
        const Paragraph& p = firstParagraph(t.body);
        QVERIFY(!p.runs.empty());
        QCOMPARE(int(t.formats[size_t(p.runs[0].format)].caps), caps);
    }

    void tablesWithoutGrid() {
        // No grid: the columns share the text's width (12240 less two 1440 margins), or the table's own
        // width, a length or a share; a cell's own length stands. Word 2010's cells start a margin left.
        const auto cell = [](const QByteArray& props, const QByteArray& text) {
            return "<w:tc><w:tcPr>" + props + "</w:tcPr>" + paragraph(run(text)) + "</w:tc>";
        };
        const auto table = [&](const QByteArray& width, const QByteArray& cells) {
            return "<w:tbl><w:tblPr><w:tblW " + width + "/></w:tblPr><w:tr>" + cells + "</w:tr></w:tbl>" +
                   paragraph("");
        };
        const QByteArray four = cell("", "a") + cell("", "b") + cell("<w:gridSpan w:val=\"2\"/>", "cd");
        const Template t = readBody(
            table("w:w=\"0\" w:type=\"auto\"", four) + table("w:w=\"2500\" w:type=\"pct\"", four) +
            table("w:w=\"4000\" w:type=\"dxa\"",
                  cell("<w:tcW w:w=\"3000\" w:type=\"dxa\"/>", "wide") + cell("", "rest")) +
            table("w:w=\"0\" w:type=\"auto\"", cell("<w:textDirection w:val=\"btLr\"/>", "up") +
                                                   cell("<w:textDirection w:val=\"tbRl\"/>", "down") +
                                                   cell("<w:textDirection w:val=\"lrTb\"/>", "across")));
        std::vector<const Row*> rows;
        for (const Block& b : t.body.blocks)
            if (const Table* table = std::get_if<Table>(&b))
                rows.push_back(&table->rows.at(0));
        QCOMPARE(rows.size(), size_t(4));
        const auto rights = [](const Row& r) {
            QList<int> out;
            for (const Cell& c : r.cells)
                out << c.rightTwips - r.leftTwips;
            return out;
        };
        QCOMPARE(rows[0]->leftTwips, -108);
        QCOMPARE(rights(*rows[0]), (QList<int>{2340, 4680, 9360}));
        QCOMPARE(rights(*rows[1]), (QList<int>{1170, 2340, 4680}));
        QCOMPARE(rights(*rows[2]), (QList<int>{3000, 5000}));
        QCOMPARE(rows[0]->cells[0].direction, Cell::Direction::Across);
        QCOMPARE(rows[3]->cells[0].direction, Cell::Direction::Up);
        QCOMPARE(rows[3]->cells[1].direction, Cell::Direction::Down);
        QCOMPARE(rows[3]->cells[2].direction, Cell::Direction::Across);
    }

    void tablesStretchedToTheirWidth() {
        // A table setting its width, a length or a share of the text's (at most all of it), has its grid
        // stretched or shrunk to it, each column keeping its share, fixed layout or not; one whose width
        // names no kind keeps its grid. A share inside a cell or a text box is of its width less its
        // margins.
        const QByteArray grid = "<w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"3000\"/><w:gridCol "
                                "w:w=\"1000\"/></w:tblGrid>";
        const QByteArray cells = "<w:tc>" + paragraph(run("a")) + "</w:tc><w:tc>" + paragraph(run("b")) +
                                 "</w:tc><w:tc>" + paragraph(run("c")) + "</w:tc>";
        const auto table = [&](const QByteArray& props) {
            return "<w:tbl><w:tblPr>" + props + "</w:tblPr>" + grid + "<w:tr>" + cells + "</w:tr></w:tbl>" +
                   paragraph("");
        };
        const QByteArray inner =
            "<w:tbl><w:tblPr><w:tblW w:w=\"5000\" w:type=\"pct\"/></w:tblPr><w:tblGrid>"
            "<w:gridCol w:w=\"1000\"/><w:gridCol w:w=\"1000\"/></w:tblGrid><w:tr><w:tc>" +
            paragraph(run("x")) + "</w:tc><w:tc>" + paragraph(run("y")) + "</w:tc></w:tr></w:tbl>";
        const QByteArray box =
            "<w:p><w:r><w:pict><v:rect style=\"position:absolute;width:200pt;height:50pt\">"
            "<v:textbox inset=\"10pt,0,5pt,0\"><w:txbxContent>" +
            inner + paragraph("") + "</w:txbxContent></v:textbox></v:rect></w:pict></w:r></w:p>";
        const Template t =
            readBody(box + table("<w:tblW w:w=\"8000\" w:type=\"dxa\"/>") +
                     table("<w:tblW w:w=\"2500\" w:type=\"pct\"/><w:tblLayout w:type=\"fixed\"/>") +
                     table("<w:tblW w:w=\"120%\" w:type=\"pct\"/>") + table("<w:tblW w:w=\"8000\"/>") +
                     "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr><w:tc>" + inner +
                     paragraph("") + "</w:tc></w:tr></w:tbl>" + paragraph(""));
        std::vector<const Row*> rows;
        for (const Block& b : t.body.blocks)
            if (const Table* table = std::get_if<Table>(&b))
                rows.push_back(&table->rows.at(0));
        QCOMPARE(rows.size(), size_t(5));
        const auto rights = [](const Row& r) {
            QList<int> out;
            for (const Cell& c : r.cells)
                out << c.rightTwips - r.leftTwips;
            return out;
        };
        QCOMPARE(rights(*rows[0]), (QList<int>{2667, 6667, 8000}));
        QCOMPARE(rights(*rows[1]), (QList<int>{1559, 3899, 4680}));
        QCOMPARE(rights(*rows[2]), (QList<int>{3119, 7799, 9360}));
        QCOMPARE(rights(*rows[3]), (QList<int>{1999, 4999, 6000}));
        const Row& nested = rows[4]->cells.at(0).tables.at(0).table.rows.at(0);
        QCOMPARE(rights(nested), (QList<int>{1892, 3784}));
        QCOMPARE(t.textBoxes.size(), size_t(1));
        const Row& boxed = std::get<Table>(t.textBoxes[0].blocks.at(0)).rows.at(0);
        QCOMPARE(rights(boxed), (QList<int>{1850, 3700}));
    }

    void spaceBetweenParagraphs() {
        // A paragraph's space after and the next one's space before: the larger of the two stands
        // between them, not their sum; an RTF template adds them up.
        const QByteArray spaced = "<w:spacing w:before=\"480\" w:after=\"240\"/>";
        const auto t = std::make_shared<const Template>(readBody(
            paragraph(run("One"), spaced) + paragraph(run("Two"), spaced) +
            paragraph(run("Three"), "<w:spacing w:before=\"120\" w:after=\"0\"/>") + paragraph(run("Four"))));
        QVERIFY(t->largerSpaceBetween);
        QVERIFY(!readRtf("{\\rtf1 x\\par}", QStringLiteral("x.rtf")).largerSpaceBetween);
        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QStringList gaps;
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
            if (!b.text().isEmpty())
                gaps << b.text() + QLatin1Char(' ') +
                            QString::number(qRound(b.blockFormat().topMargin() * 15));
        QCOMPARE(gaps, (QStringList{"One 480", "Two 480", "Three 240", "Four 0"}));

        // Word's compatibility setting against HTML's spacing brings the sum back.
        const Template summed =
            read(package(document(paragraph(run("One"), spaced)),
                         {{"settings", "settings.xml",
                           "<w:settings " + kW +
                               "><w:compat><w:doNotUseHTMLParagraphAutoSpacing/></w:compat></w:settings>"}}));
        QVERIFY(!summed.largerSpaceBetween);
    }

    void tableStyleLook() {
        // A table style's first row and banded rows over its whole-table look.
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"table\" w:styleId=\"Grid\"><w:rPr><w:color "
            "w:val=\"0000FF\"/></w:rPr><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"EEEEEE\"/></w:tcPr><w:tblStylePr "
            "w:type=\"firstRow\"><w:rPr><w:b/></w:rPr><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"000080\"/></w:tcPr></w:tblStylePr><w:tblStylePr "
            "w:type=\"band1Horz\"><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"CCFFCC\"/></w:tcPr></w:tblStylePr></w:style></w:styles>";
        QByteArray rows;
        for (const char* text : {"Head", "One", "Two", "Three"})
            rows += "<w:tr><w:tc>" + paragraph(run(text)) + "</w:tc></w:tr>";
        const Template t =
            readBody("<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/><w:tblLook w:val=\"04A0\"/></w:tblPr>"
                     "<w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid>" +
                         rows + "</w:tbl>",
                     {{"styles", "styles.xml", styles}});
        const Table& table = std::get<Table>(t.body.blocks.front());
        QCOMPARE(table.rows.size(), size_t(4));
        QStringList fills;
        for (const Row& r : table.rows)
            fills << r.cells[0].shading.name();
        QCOMPARE(fills, (QStringList{"#000080", "#ccffcc", "#eeeeee", "#ccffcc"}));
        const auto runFormat = [&](size_t row) {
            return t.formats[size_t(
                firstParagraph(Story{{table.rows[row].cells[0].paragraphs.front()}}).runs[0].format)];
        };
        QVERIFY(runFormat(0).bold);
        QVERIFY(!runFormat(1).bold);
        QCOMPARE(runFormat(1).color, QColor(0, 0, 255));
    }

    // A paragraph names a style by its name where no style has that id, and a style without an id
    // (as reporting tools write a style for empty layout cells, with no type either) goes by its name:
    // its empty paragraphs are a point high, not a line of the default size.
    void stylesFoundByName() {
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "</w:style><w:style><w:name w:val=\"EmptyCellLayoutStyle\"/><w:basedOn w:val=\"Normal\"/><w:rPr>"
            "<w:sz w:val=\"2\"/></w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Wide\"><w:name "
            "w:val=\"Wide Spacing\"/><w:pPr><w:spacing w:after=\"480\"/></w:pPr></w:style></w:styles>";
        const Template t = readBody(paragraph({}, "<w:pStyle w:val=\"EmptyCellLayoutStyle\"/>") +
                                        paragraph(run("Wide"), "<w:pStyle w:val=\"Wide Spacing\"/>") +
                                        paragraph(run("Unknown"), "<w:pStyle w:val=\"Nowhere\"/>"),
                                    {{"styles", "styles.xml", styles}});
        QCOMPARE(t.body.blocks.size(), size_t(3));
        const auto at = [&](size_t i) -> const Paragraph& {
            return std::get<Paragraph>(t.body.blocks.at(i));
        };
        QCOMPARE(t.formats[size_t(at(0).markFormat)].halfPoints, 2);
        QCOMPARE(at(1).format.afterTwips, 480);
        QCOMPARE(at(2).format.afterTwips, 0);
        QCOMPARE(t.formats[size_t(at(2).runs.front().format)].halfPoints, 22);
    }

    void characterDefaultsWhereTheStylesGiveNone() {
        // LibreOffice prints Calibri at 11 points where the styles give no character defaults, or there
        // are no styles, but Word's Times New Roman at 10 where the defaults are there and leave them out.
        const QByteArray normal =
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "</w:style>";
        const auto styles = [&](const QByteArray& defaults) {
            return std::vector<Related>{
                {"styles", "styles.xml", "<w:styles " + kW + ">" + defaults + normal + "</w:styles>"}};
        };
        const struct {
            std::vector<Related> related;
            int halfPoints;
            const char* family;
        } cases[] = {
            {{}, 22, "Calibri"},
            {styles({}), 22, "Calibri"},
            {styles("<w:docDefaults><w:pPrDefault><w:pPr/></w:pPrDefault></w:docDefaults>"), 22, "Calibri"},
            {styles("<w:docDefaults><w:rPrDefault><w:rPr/></w:rPrDefault></w:docDefaults>"), 20,
             "Times New Roman"},
            {styles("<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\"/>"
                    "</w:rPr></w:rPrDefault></w:docDefaults>"),
             20, "Arial"},
        };
        for (const auto& c : cases) {
            const Template t = readBody(paragraph(run("Text")), c.related);
            const Paragraph& p = std::get<Paragraph>(t.body.blocks.at(0));
            QCOMPARE(t.formats[size_t(p.runs.front().format)].halfPoints, c.halfPoints);
            QCOMPARE(t.defaultFamily, QLatin1String(c.family));
        }
    }

    void stylesAndThemeFonts() {
        // Defaults, then a style chain: each style over the one it is based on, theme fonts by name.
        const QByteArray theme = "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                 "name=\"T\"><a:themeElements>"
                                 "<a:fontScheme name=\"F\"><a:majorFont><a:latin typeface=\"Liberation "
                                 "Serif\"/></a:majorFont><a:minorFont>"
                                 "<a:latin typeface=\"Liberation "
                                 "Sans\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>";
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\" "
            "w:hAnsiTheme=\"minorHAnsi\"/>"
            "<w:sz w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" "
            "w:line=\"259\" "
            "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
            "w:val=\"Normal\"/></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Base\"><w:basedOn w:val=\"Normal\"/><w:pPr><w:jc "
            "w:val=\"center\"/>"
            "<w:spacing w:before=\"240\" w:line=\"300\" "
            "w:lineRule=\"exact\"/><w:contextualSpacing/></w:pPr><w:rPr><w:b/><w:sz "
            "w:val=\"28\"/></w:rPr></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Derived\"><w:basedOn w:val=\"Base\"/><w:pPr><w:ind "
            "w:left=\"720\" "
            "w:hanging=\"360\"/><w:tabs><w:tab w:val=\"right\" w:leader=\"dot\" "
            "w:pos=\"9000\"/></w:tabs><w:pBdr><w:bottom "
            "w:val=\"single\" w:sz=\"4\" w:space=\"1\" w:color=\"FF0000\"/></w:pBdr></w:pPr>"
            "<w:rPr><w:i/><w:rFonts w:asciiTheme=\"majorHAnsi\" "
            "w:hAnsiTheme=\"majorHAnsi\"/></w:rPr></w:style>"
            "<w:style w:type=\"character\" w:styleId=\"Loud\"><w:rPr><w:caps/><w:color "
            "w:val=\"C00000\"/></w:rPr></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn "
            "w:val=\"Loop\"/></w:style></w:styles>";
        const Template t = readBody(
            paragraph(run("Plain")) +
                paragraph(run("Derived") + run("loud", "<w:rStyle w:val=\"Loud\"/>"),
                          "<w:pStyle w:val=\"Derived\"/>") +
                paragraph(run("again"), "<w:pStyle w:val=\"Derived\"/>") +
                paragraph(run("circle"),
                          "<w:pStyle w:val=\"Loop\"/><w:spacing w:line=\"360\" w:lineRule=\"atLeast\"/>"),
            {{"theme", "theme/theme1.xml", theme}, {"styles", "styles.xml", styles}});
        QCOMPARE(t.defaultFamily, QStringLiteral("Liberation Sans"));
        const auto paragraphAt = [&](size_t i) -> const Paragraph& {
            return std::get<Paragraph>(t.body.blocks.at(i));
        };
        const CharFormat& plain = t.formats[size_t(paragraphAt(0).runs[0].format)];
        QCOMPARE(plain.family, QStringLiteral("Liberation Sans"));
        QCOMPARE(plain.halfPoints, 22);
        QVERIFY(!plain.bold);
        QCOMPARE(paragraphAt(0).format.afterTwips, 160);
        QVERIFY(paragraphAt(0).format.lineMultiple);
        // Word's 1.08 lines, kept as the twips of the 108% LibreOffice reads them as.
        QCOMPARE(paragraphAt(0).format.lineTwips, 260);
        const CharFormat& derived = t.formats[size_t(paragraphAt(1).runs[0].format)];
        QCOMPARE(derived.family, QStringLiteral("Liberation Serif"));
        QVERIFY(derived.bold && derived.italic);
        QCOMPARE(derived.halfPoints, 28);
        const CharFormat& loud = t.formats[size_t(paragraphAt(1).runs[1].format)];
        QVERIFY(loud.bold && loud.caps == CharFormat::Caps::All);
        QCOMPARE(loud.color, QColor(0xC0, 0, 0));
        const ParaFormat& f = paragraphAt(1).format;
        QCOMPARE(f.align, ParaFormat::Center);
        QCOMPARE(f.leftTwips, 720);
        QCOMPARE(f.firstTwips, -360);
        QCOMPARE(f.lineTwips, -300);
        QCOMPARE(f.tabs.size(), size_t(1));
        QCOMPARE(f.tabs[0].twips, 9000);
        QCOMPARE(f.tabs[0].kind, TabStop::Right);
        QCOMPARE(f.tabs[0].leader, TabStop::Dots);
        QCOMPARE(edge(f.borders, Side::Bottom).color, QColor(255, 0, 0));
        QCOMPARE(edge(f.borders, Side::Bottom).spaceTwips, 20);
        // Contextual spacing: no space between the two paragraphs of one style.
        QCOMPARE(paragraphAt(1).format.beforeTwips, 240);
        QCOMPARE(paragraphAt(1).format.afterTwips, 0);
        QCOMPARE(paragraphAt(2).format.beforeTwips, 0);
        QCOMPARE(paragraphAt(3).format.lineTwips, 360);
        QVERIFY(!paragraphAt(3).format.lineMultiple);
    }

    void automaticSpacingInLists() {
        // Paragraphs spaced automatically (as a web page's) keep their 14 points around a list, but
        // none between the items of one list; an item of another list keeps its space.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt "
            "w:val=\"decimal\"/><w:lvlText "
            "w:val=\"%1.\"/></w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId "
            "w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
        const QByteArray spacing = "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:after=\"100\" "
                                   "w:afterAutospacing=\"1\"/>";
        const auto item = [&](const char* num, const char* text) {
            return paragraph(run(text), QByteArray("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"") + num +
                                            "\"/></w:numPr>" + spacing);
        };
        const QByteArray own = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"2\"/></w:numPr><w:spacing "
                               "w:before=\"100\" w:after=\"100\"/>";
        const Template t =
            readBody(paragraph(run("Intro"), spacing) + item("1", "a") + item("1", "b") + item("2", "c") +
                         paragraph(run("d"), own) + paragraph(run("After"), spacing),
                     {{"numbering", "numbering.xml", numbering}});
        const auto at = [&](size_t i) { return std::get<Paragraph>(t.body.blocks.at(i)).format; };
        // Nothing above the document's first paragraph, as on a web page.
        QCOMPARE(at(0).beforeTwips, 0);
        QCOMPARE(at(0).afterTwips, 280);
        QCOMPARE(at(1).beforeTwips, 280);
        QCOMPARE(at(1).afterTwips, 0);
        QCOMPARE(at(2).beforeTwips, 0);
        QCOMPARE(at(2).afterTwips, 280);
        QCOMPARE(at(3).beforeTwips, 280);
        QCOMPARE(at(3).afterTwips, 0);
        // An item spaced by its own values loses its space above below one spaced automatically.
        QCOMPARE(at(4).beforeTwips, 0);
        QCOMPARE(at(4).afterTwips, 100);
        QCOMPARE(at(5).beforeTwips, 280);
    }

    void absoluteAndBarTabs() {
        // LibreOffice sets an absolute tab at the paragraph's own stops, whatever its alignment, and
        // gives it no stop of its own; one aligned left starts a new line after text, and is a plain
        // tab where the paragraph starts. A bar tab is a rule, never a stop.
        const QByteArray ptab = "<w:r><w:ptab w:relativeTo=\"%1\" w:alignment=\"%2\" w:leader=\"%3\"/></w:r>";
        const auto tab = [&](const char* relative, const char* align, const char* leader) {
            return QString::fromLatin1(ptab)
                .arg(QLatin1String(relative), QLatin1String(align), QLatin1String(leader))
                .toLatin1();
        };
        const Template t = read(package(
            document(paragraph(run("Offer") + tab("indent", "center", "hyphen") + run("Mid") +
                                   tab("indent", "right", "none") + run("End"),
                               "<w:ind w:left=\"1000\" w:right=\"2000\"/>") +
                         paragraph(run("Name") + "<w:r><w:tab/></w:r>" + run("Dealer"),
                                   "<w:tabs><w:tab w:val=\"bar\" w:pos=\"2880\"/><w:tab w:val=\"left\" "
                                   "w:pos=\"3600\"/></w:tabs>") +
                         paragraph(tab("margin", "left", "none") + run("Model") +
                                   tab("indent", "left", "dot") + run("Price") +
                                   tab("margin", "left", "none") + run("Term")),
                     section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
            {{"header", "header1.xml",
              "<w:hdr " + kW + ">" +
                  paragraph(run("Ford City") + tab("margin", "center", "none") + run("Service") +
                                tab("margin", "right", "dot") + run("Page 1"),
                            "<w:tabs><w:tab w:val=\"center\" w:pos=\"4680\"/></w:tabs>") +
                  "</w:hdr>"}}));
        const Paragraph& header = firstParagraph(t.header);
        QCOMPARE(paragraphs(t, t.header), QStringList{"Ford City\tService\tPage 1"});
        QCOMPARE(header.format.tabs.size(), size_t(1));
        QCOMPARE(header.format.tabs[0].twips, 4680);
        QCOMPARE(header.format.tabs[0].leader, TabStop::NoLeader);
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"Offer\tMid\tEnd", "Name\tDealer", "\tModel/Price/Term"}));
        QVERIFY(firstParagraph(t.body).format.tabs.empty());
        const Paragraph& barred = std::get<Paragraph>(t.body.blocks.at(1));
        QCOMPARE(barred.format.barTabs, std::vector<int>{2880});
        QCOMPARE(barred.format.tabs.size(), size_t(1));
        QCOMPARE(barred.format.tabs[0].twips, 3600);
    }

    void plainTextControlsRunTheirLinesTogether() {
        // LibreOffice prints a plain-text control's text without its line breaks, in the line or as a
        // block of its own; a rich-text control keeps them.
        const QByteArray lines =
            run("12 Main St") + "<w:r><w:br/></w:r>" + run("Dover") + "<w:r><w:cr/></w:r>" + run("DE");
        const auto control = [](const QByteArray& pr, const QByteArray& content) {
            return "<w:sdt><w:sdtPr>" + pr + "</w:sdtPr><w:sdtContent>" + content + "</w:sdtContent></w:sdt>";
        };
        const Template t = readBody(paragraph(control("<w:text w:multiLine=\"1\"/>", lines)) +
                                    control("<w:text/>", paragraph(lines)) + paragraph(control({}, lines)) +
                                    paragraph(lines));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"12 Main StDoverDE", "12 Main StDoverDE",
                                                     "12 Main St/Dover/DE", "12 Main St/Dover/DE"}));
    }

    void paragraphsAndRuns() {
        // Page breaks inside a paragraph, hidden text, content controls, symbols, run properties.
        const Template t = readBody(
            paragraph(
                run("before") + "<w:r><w:br w:type=\"page\"/><w:t>after</w:t><w:br/><w:t>line</w:t></w:r>" +
                    run("hidden", "<w:vanish/>") + "<w:sdt><w:sdtContent>" + run(" control") +
                    "</w:sdtContent></w:sdt><w:r><w:sym w:font=\"Wingdings\" w:char=\"F0FC\"/></w:r>" +
                    run("x", "<w:vertAlign w:val=\"superscript\"/><w:u "
                             "w:val=\"single\"/><w:strike/><w:smallCaps/><w:spacing w:val=\"-15\"/>"
                             "<w:position w:val=\"4\"/><w:w w:val=\"80\"/>") +
                    "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del><w:ins>" + run("new") + "</w:ins>",
                "<w:keepNext/><w:keepLines/><w:shd w:val=\"clear\" w:fill=\"FFFF00\"/><w:spacing "
                "w:beforeAutospacing=\"1\"/>") +
            "<w:sdt><w:sdtContent>" + paragraph(run("block control")) + "</w:sdtContent></w:sdt>" +
            paragraph("<w:r><w:ruby><w:rubyPr/><w:rt>" + run("guide") + "</w:rt><w:rubyBase>" + run("base") +
                      "</w:rubyBase></w:ruby></w:r>"));
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"before", QStringLiteral("after/line control\u2714xgonenew"), "block control",
                              "base"}));
        const Paragraph& second = std::get<Paragraph>(t.body.blocks.at(1));
        QVERIFY(second.format.pageBreakBefore);
        QVERIFY(!firstParagraph(t.body).format.pageBreakBefore);
        QVERIFY(second.format.keepWithNext && second.format.keepTogether);
        QCOMPARE(second.format.shading, QColor(255, 255, 0));
        QCOMPARE(second.format.beforeTwips, 280);
        const CharFormat* x = nullptr;
        for (const Run& r : second.runs)
            if (r.kind == Run::Text && r.text == QLatin1String("x"))
                x = &t.formats[size_t(r.format)];
        QVERIFY(x);
        QVERIFY(x->script == CharFormat::Script::Super && x->underline && x->strike &&
                x->caps == CharFormat::Caps::Small);
        QCOMPARE(QList<int>({x->spacingTwips, x->raiseHalfPoints, x->widthPercent}),
                 QList<int>({-15, 4, 80}));
    }

    // A character of Word's symbol fonts is the symbol it pictures (a letterhead's telephone and
    // envelope, a form's check box, Dingbats' ticks and arrows), printed in the symbol face; one of
    // another font prints as written.
    void symbolsOfNamedFonts() {
        const auto sym = [](const char* font, const char* code) {
            return QByteArray("<w:r><w:sym w:font=\"") + font + "\" w:char=\"" + code + "\"/></w:r>";
        };
        const Template t = readBody(
            paragraph(sym("Wingdings", "F028") + sym("Wingdings", "F02A") + sym("Wingdings", "F0FE") +
                      sym("Wingdings", "004A") + sym("Symbol", "F061") + sym("Monotype Sorts", "F033") +
                      sym("ZapfDingbats", "F0EA") + sym("Zapf Dingbats", "F0AC") + sym("Arial", "2605")));
        const Paragraph& p = firstParagraph(t.body);
        QCOMPARE(paragraphs(t, t.body), QStringList{QString::fromUtf8("☎✉☑☺α✓➪①★")});
        QStringList families;
        for (const Run& r : p.runs)
            families << r.text + QLatin1Char('=') + t.formats.at(size_t(r.format)).family;
        QCOMPARE(families.size(), 2);
        QVERIFY(families.front().endsWith(QLatin1String("=OpenSymbol")));
        QVERIFY(!families.back().endsWith(QLatin1String("=OpenSymbol")));
    }

    void underlineAndStrikeKinds() {
        const Template t = readBody(
            paragraph(run("twice", "<w:u w:val=\"double\"/>") + run("heavy", "<w:u w:val=\"thick\"/>") +
                      run("dots", "<w:u w:val=\"dotted\"/>") + run("dashes", "<w:u w:val=\"dashLong\"/>") +
                      run("waves", "<w:u w:val=\"wave\"/>") + run("words", "<w:u w:val=\"words\"/>") +
                      run("plain", "<w:u w:val=\"single\"/>") + run("none", "<w:u w:val=\"none\"/>") +
                      run("coloured only", "<w:u w:color=\"000000\"/>") + run("struck", "<w:dstrike/>") +
                      run("once", "<w:strike/>")));
        using Line = CharFormat::Line;
        std::map<QString, CharFormat> f;
        for (const Run& r : firstParagraph(t.body).runs)
            f[r.text] = t.formats[size_t(r.format)];
        const std::vector<std::pair<QString, Line>> kinds = {
            {"twice", Line::Double}, {"heavy", Line::Thick}, {"dots", Line::Dotted}, {"dashes", Line::Dashed},
            {"waves", Line::Wave},   {"words", Line::Words}, {"plain", Line::Single}};
        for (const auto& [text, kind] : kinds) {
            QVERIFY2(f[text].underline, qPrintable(text));
            QVERIFY2(f[text].underlineStyle == kind, qPrintable(text));
        }
        QVERIFY(!f["none"].underline);
        QVERIFY(!f["coloured only"].underline);
        QVERIFY(f["struck"].strike && f["struck"].doubleStrike);
        QVERIFY(f["once"].strike && !f["once"].doubleStrike);
    }

    void pairedAndTripleRules() {
        const Template t = readBody(
            paragraph(run("Ruled"), "<w:pBdr><w:top w:val=\"thinThickSmallGap\" w:sz=\"12\"/><w:left "
                                    "w:val=\"thickThinLargeGap\" w:sz=\"12\"/><w:bottom w:val=\"triple\" "
                                    "w:sz=\"6\"/><w:right w:val=\"single\" w:sz=\"12\"/></w:pBdr>"));
        const Borders& b = firstParagraph(t.body).format.borders;
        QCOMPARE(edge(b, Side::Top).style, Border::Double);
        QCOMPARE(edge(b, Side::Top).widthTwips, 18);
        QCOMPARE(edge(b, Side::Left).widthTwips, 30);
        QCOMPARE(edge(b, Side::Bottom).style, Border::Double);
        QCOMPARE(edge(b, Side::Bottom).widthTwips, 25);
        QCOMPARE(edge(b, Side::Right).style, Border::Single);
        QCOMPARE(edge(b, Side::Right).widthTwips, 30);
    }

    void boxedParagraphs() {
        // With settings, a boxed paragraph's text stands on its indents and the side rules beyond them;
        // without, it is set in by each rule's space and width. A rule above keeps its room where the
        // paragraph opens a page: first in the body, after a break before it, after a break.
        const QByteArray side = " w:val=\"single\" w:sz=\"8\" w:space=\"4\"/>";
        const QByteArray box = "<w:pBdr><w:top w:val=\"single\" w:sz=\"24\"/><w:left" + side + "<w:right" +
                               side + "</w:pBdr><w:ind w:left=\"720\" w:right=\"720\"/>";
        const auto lines = [](const QByteArray& pPr, const std::vector<Related>& related = {}) {
            const Template t =
                readBody(paragraph(run("Box"), pPr) + paragraph(run("Plain")) +
                             paragraph(run("Box"), "<w:pageBreakBefore/>" + pPr) +
                             paragraph("<w:r><w:br w:type=\"page\"/></w:r>") + paragraph(run("Box"), pPr),
                         related);
            const PageCopy copy = Merger(std::make_shared<const Template>(t), nullptr).next();
            QList<double> out;
            for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
                if (b.text() == QLatin1String("Box"))
                    out << copy.body->documentLayout()->blockBoundingRect(b).top() + b.layout()->lineAt(0).y()
                        << b.layout()->lineAt(0).x();
            return out;
        };
        const QList<double> plain = lines("<w:ind w:left=\"720\"/>");
        const QList<double> set = lines(box, {{"settings", "settings.xml", "<w:settings " + kW + "/>"}});
        const QList<double> setIn = lines(box);
        QCOMPARE(set.size(), 6);
        const double room = twipsToLayout(60), indent = twipsToLayout(720);
        for (int i = 0; i < 6; i += 2) {
            QCOMPARE(set[i] - plain[i], room);
            QCOMPARE((QList<double>{set[i + 1], setIn[i + 1]}),
                     (QList<double>{indent, indent + twipsToLayout(100)}));
        }
    }

    void pageBordersAndLineNumbers() {
        const Template t = read(package(document(
            paragraph(run("Ruled")),
            section("<w:pgBorders w:offsetFrom=\"page\"><w:top w:val=\"double\" w:sz=\"6\" w:space=\"24\"/>"
                    "<w:left w:val=\"single\" w:sz=\"8\" w:space=\"20\" w:color=\"FF0000\"/></w:pgBorders>"
                    "<w:lnNumType w:countBy=\"5\" w:start=\"9\" w:distance=\"567\" "
                    "w:restart=\"continuous\"/>"))));
        const Border& top = edge(t.page.pageBorders, Side::Top);
        QCOMPARE(top.style, Border::Double);
        QCOMPARE(top.spaceTwips, 480);
        QCOMPARE(edge(t.page.pageBorders, Side::Left).color, QColor(255, 0, 0));
        QVERIFY(!edge(t.page.pageBorders, Side::Bottom).visible());
        QVERIFY(!t.page.pageBordersFromText);
        QCOMPARE(t.page.lineNumberStep, 5);
        QCOMPARE(t.page.lineNumberStart, 10);
        QCOMPARE(t.page.lineNumberGapTwips, 567);
        QVERIFY(t.page.lineNumberRestart == PageSetup::Restart::Continuous);
        const Template plain = readBody(paragraph(run("Plain")));
        QCOMPARE(plain.page.lineNumberStep, 0);
        QVERIFY(!edge(plain.page.pageBorders, Side::Top).visible());
    }

    void kerningOfRuns() {
        // Not said, turned off, from a size on.
        const Template t = readBody(paragraph(run("said") + run("off", "<w:kern w:val=\"0\"/>") +
                                              run("from", "<w:kern w:val=\"28\"/>")));
        QList<int> kerning;
        for (const Run& r : firstParagraph(t.body).runs)
            kerning << t.formats[size_t(r.format)].kerningFrom;
        QCOMPARE(kerning, (QList<int>{-1, 0, 28}));
        // Defaults of the document's own leave it off where they do not say.
        const Template given =
            readBody(paragraph(run("off") + run("from", "<w:kern w:val=\"28\"/>")),
                     {{"styles", "styles.xml",
                       QByteArray("<w:styles ") + kW +
                           "><w:docDefaults><w:rPrDefault><w:rPr/></w:rPrDefault></w:docDefaults>"
                           "</w:styles>"}});
        kerning.clear();
        for (const Run& r : firstParagraph(given.body).runs)
            kerning << given.formats[size_t(r.format)].kerningFrom;
        QCOMPARE(kerning, (QList<int>{0, 28}));
    }

    void boxesRoundLetters() {
        // w:bdr in a run's properties: one rule on all four sides, its width in eighths of a point and its
        // space in points, from a character style as well; "none" is no box.
        const QByteArray styles =
            "<?xml version=\"1.0\"?><w:styles " + kW +
            "><w:style w:type=\"character\" w:styleId=\"Field\"><w:rPr><w:bdr w:val=\"double\" w:sz=\"4\" "
            "w:space=\"0\" w:color=\"auto\"/></w:rPr></w:style></w:styles>";
        const Template t = readBody(
            paragraph(run("Boxed", "<w:bdr w:val=\"single\" w:sz=\"8\" w:space=\"4\" w:color=\"FF0000\"/>") +
                      run("Styled", "<w:rStyle w:val=\"Field\"/>") +
                      run("Unboxed",
                          "<w:rStyle w:val=\"Field\"/><w:bdr w:val=\"none\" w:sz=\"0\" w:space=\"0\"/>")),
            {{"styles", "styles.xml", styles}});
        const auto box = [&](const QString& text) {
            for (const Run& r : firstParagraph(t.body).runs)
                if (r.kind == Run::Text && r.text == text)
                    return t.formats[size_t(r.format)].border;
            return Border{};
        };
        const Border boxed = box(QStringLiteral("Boxed"));
        QCOMPARE(boxed.style, Border::Single);
        QCOMPARE(QList<int>({boxed.widthTwips, boxed.spaceTwips}), QList<int>({20, 80}));
        QCOMPARE(boxed.color, QColor(255, 0, 0));
        QCOMPARE(box(QStringLiteral("Styled")).style, Border::Double);
        QCOMPARE(box(QStringLiteral("Styled")).widthTwips, 10);
        QVERIFY(!box(QStringLiteral("Unboxed")).visible());
    }

    void highlightAndShadingBehindLetters() {
        // A highlight shows over the run's shading, whichever comes first; a paragraph mark's shows on no
        // letter; the letters are printed on the colour.
        const Template t = readBody(paragraph(
            run("Marked", "<w:highlight w:val=\"yellow\"/><w:shd w:val=\"clear\" w:fill=\"00FF00\"/>") +
                run("Shaded", "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"D9D9D9\"/>") +
                run("Plain", "<w:highlight w:val=\"none\"/><w:shd w:val=\"clear\" w:fill=\"auto\"/>"),
            "<w:rPr><w:highlight w:val=\"red\"/></w:rPr>"));
        const auto background = [&](const QString& text) {
            for (const Run& r : firstParagraph(t.body).runs)
                if (r.kind == Run::Text && r.text == text)
                    return t.formats[size_t(r.format)].background;
            return QColor(Qt::magenta);
        };
        QCOMPARE(background(QStringLiteral("Marked")), QColor(255, 255, 0));
        QCOMPARE(background(QStringLiteral("Shaded")), QColor(0xD9, 0xD9, 0xD9));
        QVERIFY(!background(QStringLiteral("Plain")).isValid());
        QVERIFY(!t.formats[size_t(firstParagraph(t.body).markFormat)].background.isValid());

        Merger merger(std::make_shared<const Template>(t), nullptr);
        const PageCopy copy = merger.next();
        QSet<QRgb> behind;
        for (auto it = copy.body->begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (it.fragment().text() == QLatin1String("Marked"))
                QCOMPARE(f.background().color(), QColor(255, 255, 0));
            if (f.background().style() != Qt::NoBrush)
                behind.insert(f.background().color().rgb());
        }
        QCOMPARE(behind, (QSet<QRgb>{QColor(255, 255, 0).rgb(), QColor(0xD9, 0xD9, 0xD9).rgb()}));
    }

    // Text of the automatic colour turns white on a dark background (Word's and LibreOffice's rule: a
    // luminance of 62 in 255 or less): a cell's shading, a paragraph's, its own run's, a text box's fill.
    // Text of a colour of its own keeps it, and a paragraph shaded light in a dark cell stays black.
    void automaticTextOnDarkBackgrounds() {
        const auto cell = [](const QByteArray& fill, const QByteArray& content) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/><w:shd w:val=\"clear\" "
                   "w:color=\"auto\" w:fill=\"" +
                   fill + "\"/></w:tcPr>" + content + "</w:tc>";
        };
        const auto shaded = [](const QByteArray& fill) {
            return "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"" + fill + "\"/>";
        };
        const QByteArray table =
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/><w:gridCol "
            "w:w=\"2000\"/></w:tblGrid><w:tr>" +
            cell("3E3E3E", paragraph(run("DarkCell")) +
                               paragraph(run("OwnRed", "<w:color w:val=\"FF0000\"/>")) +
                               paragraph(run("LightInDark"), shaded("FFFFFF"))) +
            cell("404040", paragraph(run("GreyCell"))) + cell("C00000", paragraph(run("RedCell"))) +
            "</w:tr></w:tbl>";
        const QByteArray box =
            "<w:r><w:pict><v:rect style=\"position:absolute;margin-left:300pt;margin-top:0;width:150pt;"
            "height:60pt;mso-position-horizontal-relative:page\" fillcolor=\"#202020\"><v:textbox>"
            "<w:txbxContent>" +
            paragraph(run("InTheBox")) + "</w:txbxContent></v:textbox></v:rect></w:pict></w:r>";
        // The same fill a fifth opaque darkens the paper little.
        const QByteArray paleBox =
            "<w:r><w:pict><v:rect style=\"position:absolute;margin-left:300pt;margin-top:100pt;width:150pt;"
            "height:60pt;mso-position-horizontal-relative:page\" fillcolor=\"#202020\"><v:fill "
            "opacity=\".2\"/>"
            "<v:textbox><w:txbxContent>" +
            paragraph(run("InPaleBox")) + "</w:txbxContent></v:textbox></v:rect></w:pict></w:r>";
        const sheets::Printed l = sheets::printTemplate(read(
            package(document(table + paragraph(run("DarkParagraph"), shaded("000000")) +
                             paragraph(run("DarkRun", shaded("202020")) + run("Plain") + box + paleBox)))));
        QHash<QString, QColor> colours;
        const auto collect = [&](const QTextDocument& doc) {
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it)
                    colours.insert(it.fragment().text(), it.fragment().charFormat().foreground().color());
        };
        collect(*l.copy.body);
        QCOMPARE(l.copy.pictures.size(), size_t(2));
        for (const PlacedPicture& p : l.copy.pictures) {
            QVERIFY(p.text);
            collect(*p.text);
        }
        const QColor white(Qt::white), black(Qt::black);
        for (const char* text : {"DarkCell", "RedCell", "DarkParagraph", "DarkRun", "InTheBox"})
            QVERIFY2(colours.value(QLatin1String(text)) == white,
                     qPrintable(colours.value(QLatin1String(text)).name() + text));
        for (const char* text : {"LightInDark", "GreyCell", "Plain", "InPaleBox"})
            QVERIFY2(colours.value(QLatin1String(text)) == black, text);
        QCOMPARE(colours.value(QStringLiteral("OwnRed")), QColor(Qt::red));
    }

    // Small capitals as LibreOffice sets them: the small letters as capitals four fifths of the size,
    // the capitals as they are, and the line as tall as full-size text's.
    void smallCapitals() {
        const auto para = [](const QByteArray& text, bool small) {
            return "<w:p><w:r><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" w:hAnsi=\"Liberation Serif\"/>" +
                   QByteArray(small ? "<w:smallCaps/>" : "") + "<w:sz w:val=\"48\"/></w:rPr><w:t>" + text +
                   "</w:t></w:r></w:p>";
        };
        const sheets::Printed l =
            sheets::printTemplate(read(package(document(para("Mixed words", true) + para("Plain", false)))));
        const QTextBlock caps = l.copy.body->begin();
        QCOMPARE(caps.text(), QStringLiteral("MIXED WORDS"));
        QList<double> sizes;
        for (auto it = caps.begin(); !it.atEnd(); ++it)
            sizes << it.fragment().charFormat().fontPointSize();
        QCOMPARE(sizes.front(), 24.0);
        QVERIFY(sizes.contains(24.0 * 0.8));
        const auto height = [&](const QTextBlock& b) {
            return l.copy.body->documentLayout()->blockBoundingRect(b).height();
        };
        QCOMPARE(height(caps), height(caps.next()));
    }
};

QTEST_MAIN(TestDocxFormats)
#include "tst_docxformats.moc"
