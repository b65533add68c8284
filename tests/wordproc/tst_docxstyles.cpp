#include "DocxSamples.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace docxsamples;

namespace {

// One list whose level stands an inch and an eighth in, its number a quarter inch before that.
const QByteArray kNumbering =
    "<w:numbering " + kW +
    "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt "
    "w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/><w:pPr><w:ind w:left=\"1620\" w:hanging=\"360\"/></w:pPr>"
    "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";

const QByteArray kNumbered = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";

// The indents of a paragraph of style "Item", with `own` as its own properties, where Normal has
// `normal` and Item (based on Normal) has `item`.
std::pair<int, int> indents(const QByteArray& normal, const QByteArray& item, const QByteArray& own) {
    const QByteArray styles = "<w:styles " + kW +
                              "><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
                              "w:val=\"Normal\"/><w:pPr>" +
                              normal +
                              "</w:pPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Item\"><w:name "
                              "w:val=\"Item\"/><w:basedOn w:val=\"Normal\"/><w:pPr>" +
                              item + "</w:pPr></w:style></w:styles>";
    const Template t = readDocx(
        zipParts(package(document(paragraph(run("An item"), "<w:pStyle w:val=\"Item\"/>" + own)),
                         {{"styles", "styles.xml", styles}, {"numbering", "numbering.xml", kNumbering}})),
        QStringLiteral("list.docx"));
    const Paragraph& p = std::get<Paragraph>(t.body.blocks.front());
    return {p.format.leftTwips, p.format.firstTwips};
}

} // namespace

class TestDocxStyles : public QObject {
    Q_OBJECT

private slots:
    // Where a list's level and the paragraph's style both set indents: the style that numbers its
    // paragraphs keeps its own indents over the level's (the level's hanging indent stays where the style
    // gives none); a paragraph numbered by its own properties takes the level's; the indents of a style
    // the numbering style is based on give way to the level. As LibreOffice sets them.
    void styleIndentsOutrankTheirListLevel() {
        using Indents = std::pair<int, int>;
        const QByteArray left = "<w:ind w:left=\"1080\"/>";
        QCOMPARE(indents({}, kNumbered + left, {}), Indents(1080, -360));
        QCOMPARE(indents({}, kNumbered + "<w:ind w:left=\"1080\" w:hanging=\"720\"/>", {}),
                 Indents(1080, -720));
        QCOMPARE(indents({}, kNumbered + "<w:ind w:firstLine=\"200\"/>", {}), Indents(1620, 200));
        QCOMPARE(indents({}, left, kNumbered), Indents(1620, -360));
        QCOMPARE(indents({}, kNumbered + left, kNumbered), Indents(1620, -360));
        QCOMPARE(indents("<w:ind w:left=\"0\"/>", kNumbered, {}), Indents(1620, -360));
        // The paragraph's own indents outrank both.
        QCOMPARE(indents({}, kNumbered + left, "<w:ind w:left=\"500\"/>"), Indents(500, -360));
    }

    // A style that sets only part of its spacing or indents before its base comes in the styles part
    // takes the rest from the defaults (a heading from LibreOffice's: 12pt above, 6pt below), as
    // LibreOffice reads it; what it leaves unset, and all of a style after its base, it inherits.
    void partlySetSpacingBeforeItsBase() {
        const auto style = [](const QByteArray& id, const QByteArray& name, const QByteArray& pPr) {
            return "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\"><w:name w:val=\"" + name +
                   "\"/><w:basedOn w:val=\"Body\"/><w:pPr>" + pPr + "</w:pPr></w:style>";
        };
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:pPrDefault><w:pPr><w:spacing w:before=\"60\"/></w:pPr></w:pPrDefault>"
            "</w:docDefaults>" +
            style("H4", "heading 4", "<w:spacing w:before=\"300\"/>") +
            style("Mine", "Mine", "<w:spacing w:after=\"100\"/><w:ind w:left=\"1440\"/>") +
            style("Body", "Body", "<w:spacing w:after=\"200\"/><w:ind w:left=\"720\" w:hanging=\"360\"/>") +
            style("Late", "heading 5", "<w:spacing w:before=\"300\"/>") + "</w:styles>";
        QByteArray body;
        for (const QByteArray id : {"H4", "Mine", "Late"})
            body += paragraph(run(id), "<w:pStyle w:val=\"" + id + "\"/>");
        const Template t = readDocx(zipParts(package(document(body), {{"styles", "styles.xml", styles}})),
                                    QStringLiteral("o.docx"));
        std::vector<std::array<int, 4>> got; // above, below, left indent, first line
        for (const Block& b : t.body.blocks) {
            const ParaFormat& f = std::get<Paragraph>(b).format;
            got.push_back({f.beforeTwips, f.afterTwips, f.leftTwips, f.firstTwips});
        }
        QCOMPARE(got, (std::vector<std::array<int, 4>>{
                          {300, 120, 720, -360}, {60, 100, 1440, 0}, {300, 200, 720, -360}}));
    }

    // A document that takes its styles from its template (w:linkStyles) is spaced, where the defaults
    // and styles give no spacing, 10pt below and 1.15 lines, as LibreOffice prints it without the
    // template; what the defaults or a style give outranks that, and "0" leaves it as Word's own.
    void linkedStylesSpaceAsNewWordDocument() {
        const auto spacing = [](const QByteArray& settings, const QByteArray& defaults) {
            const QByteArray styles =
                "<w:styles " + kW + "><w:docDefaults><w:pPrDefault><w:pPr>" + defaults +
                "</w:pPr></w:pPrDefault></w:docDefaults><w:style w:type=\"paragraph\" w:styleId=\"Tight\">"
                "<w:name w:val=\"Tight\"/><w:pPr><w:spacing w:line=\"240\" w:lineRule=\"auto\"/></w:pPr>"
                "</w:style></w:styles>";
            const Template t =
                readDocx(zipParts(package(document(paragraph(run("Plain")) +
                                                   paragraph(run("Tight"), "<w:pStyle w:val=\"Tight\"/>")),
                                          {{"styles", "styles.xml", styles},
                                           {"settings", "settings.xml",
                                            "<w:settings " + kW + ">" + settings + "</w:settings>"}})),
                         QStringLiteral("linked.docx"));
            std::vector<std::array<int, 3>> got; // below, line, spaced by lines
            for (const Block& b : t.body.blocks) {
                const ParaFormat& f = std::get<Paragraph>(b).format;
                got.push_back({f.afterTwips, f.lineTwips, int(f.lineMultiple)});
            }
            return got;
        };
        using Got = std::vector<std::array<int, 3>>;
        QCOMPARE(spacing("<w:linkStyles/>", {}), (Got{{200, 276, 1}, {200, 240, 1}}));
        QCOMPARE(spacing("<w:linkStyles/>", "<w:spacing w:after=\"40\"/>"),
                 (Got{{40, 276, 1}, {40, 240, 1}}));
        QCOMPARE(spacing("<w:linkStyles w:val=\"0\"/>", {}), (Got{{0, 0, 0}, {0, 240, 1}}));
        QCOMPARE(spacing({}, {}), (Got{{0, 0, 0}, {0, 240, 1}}));
    }

    // A table of contents' stored entries print without their character styles, as LibreOffice sets
    // them: the links' blue underlining goes, what the runs say themselves stays. Text after the table
    // keeps its styles.
    void contentsEntriesLoseTheirCharacterStyles() {
        const QByteArray styles = "<w:styles " + kW +
                                  "><w:style w:type=\"character\" w:styleId=\"Hyperlink\"><w:name "
                                  "w:val=\"Hyperlink\"/><w:rPr><w:color "
                                  "w:val=\"0563C1\"/><w:u w:val=\"single\"/></w:rPr></w:style></w:styles>";
        const QByteArray link = "<w:rStyle w:val=\"Hyperlink\"/>";
        const QByteArray body =
            paragraph(
                "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space=\"preserve\"> "
                "TOC \\o \"1-3\" \\h </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>"
                "<w:hyperlink w:anchor=\"_Toc1\">" +
                run("Entry", link) + run("Green", link + "<w:color w:val=\"00FF00\"/>") + "</w:hyperlink>") +
            // The table runs on to a second entry, a page reference inside it, before it ends.
            paragraph("<w:hyperlink w:anchor=\"_Toc2\">" + run("Second", link) +
                      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGEREF _Toc2 \\h "
                      "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                      run("7", link + "<w:b/>") +
                      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:hyperlink>" +
                      "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>") +
            paragraph("<w:hyperlink w:anchor=\"_Toc1\">" + run("Link", link) + "</w:hyperlink>");
        const Template t = readDocx(zipParts(package(document(body), {{"styles", "styles.xml", styles}})),
                                    QStringLiteral("contents.docx"));
        QHash<QString, CharFormat> formats;
        for (const Block& b : t.body.blocks)
            for (const Run& r : std::get<Paragraph>(b).runs)
                if (r.kind == Run::Text)
                    formats.insert(r.text, t.formats[size_t(r.format)]);
        QVERIFY(formats.contains(QStringLiteral("Entry")));
        QVERIFY(!formats[QStringLiteral("Entry")].underline);
        QVERIFY(formats[QStringLiteral("Entry")].color != QColor(0x05, 0x63, 0xC1));
        QCOMPARE(formats[QStringLiteral("Green")].color, QColor(0, 0xFF, 0));
        QVERIFY(!formats[QStringLiteral("Green")].underline);
        QVERIFY(formats.contains(QStringLiteral("Second")));
        QVERIFY(!formats[QStringLiteral("Second")].underline);
        QVERIFY(!formats[QStringLiteral("7")].underline);
        QVERIFY(formats[QStringLiteral("Link")].underline);
        QCOMPARE(formats[QStringLiteral("Link")].color, QColor(0x05, 0x63, 0xC1));
    }
    // In a table, LibreOffice lets the table style's letters outrank a run's character style: all those
    // the paragraph's own style leaves unset; what the run says itself outranks both.
    void tableStyleOutranksCharacterStyles() {
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"character\" w:styleId=\"Grey\"><w:name w:val=\"Grey\"/><w:rPr><w:b "
            "w:val=\"0\"/><w:i/><w:color w:val=\"808080\"/><w:sz w:val=\"18\"/></w:rPr></w:style><w:style "
            "w:type=\"paragraph\" w:styleId=\"Green\"><w:name w:val=\"Green\"/><w:rPr><w:color "
            "w:val=\"00AA00\"/><w:sz w:val=\"32\"/></w:rPr></w:style><w:style w:type=\"table\" "
            "w:styleId=\"T\"><w:name w:val=\"T\"/><w:rPr><w:b/><w:color w:val=\"0000FF\"/><w:sz "
            "w:val=\"28\"/></w:rPr></w:style></w:styles>";
        const QByteArray grey = "<w:rStyle w:val=\"Grey\"/>";
        const auto cell = [](const QByteArray& p) { return "<w:tc>" + p + "</w:tc>"; };
        const QByteArray body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"T\"/></w:tblPr><w:tblGrid><w:gridCol "
                                "w:w=\"3000\"/><w:gridCol "
                                "w:w=\"3000\"/><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr>" +
                                cell(paragraph(run("styled", grey))) +
                                cell(paragraph(run("green", grey), "<w:pStyle w:val=\"Green\"/>")) +
                                cell(paragraph(run("red", grey + "<w:color w:val=\"FF0000\"/>"))) +
                                "</w:tr></w:tbl>" + paragraph(run("outside", grey));
        const Template t = readDocx(zipParts(package(document(body), {{"styles", "styles.xml", styles}})),
                                    QStringLiteral("table.docx"));
        const Row& row = std::get<Table>(t.body.blocks.at(0)).rows.at(0);
        const auto cellFormat = [&](size_t c) {
            return t.formats[size_t(row.cells.at(c).paragraphs.at(0).runs.at(0).format)];
        };
        const CharFormat styled = cellFormat(0), green = cellFormat(1), red = cellFormat(2);
        QVERIFY(styled.bold && styled.italic);
        QCOMPARE(styled.color, QColor(0, 0, 0xFF));
        QCOMPARE(styled.halfPoints, 28);
        // The paragraph's style sets colour and size: there the character style's stand.
        QVERIFY(green.bold && green.italic);
        QCOMPARE(green.color, QColor(0x80, 0x80, 0x80));
        QCOMPARE(green.halfPoints, 18);
        QCOMPARE(red.color, QColor(0xFF, 0, 0));
        const CharFormat outside =
            t.formats[size_t(std::get<Paragraph>(t.body.blocks.at(1)).runs.at(0).format)];
        QVERIFY(!outside.bold);
        QCOMPARE(outside.color, QColor(0x80, 0x80, 0x80));
    }
};

QTEST_MAIN(TestDocxStyles)
#include "tst_docxstyles.moc"
