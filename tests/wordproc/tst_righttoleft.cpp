#include "DocxReading.h"
#include "Rendering.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

// Where the glyphs of a block's text from `from` on stand, in twips from the text's left edge: their
// leftmost and rightmost sides, whichever way the text runs.
std::pair<double, double> inkSpan(const QTextBlock& b, int from, int length) {
    QRectF all;
    for (const QGlyphRun& g : b.layout()->glyphRuns(from, length))
        all |= g.boundingRect();
    return {all.left() * 1440 / kLayoutDpi, all.right() * 1440 / kLayoutDpi};
}

std::pair<double, double> lineSpan(const QTextBlock& b, int lineIndex = 0) {
    const QTextLine line = b.layout()->lineAt(lineIndex);
    return inkSpan(b, line.textStart(), line.textLength());
}

std::pair<double, double> textSpan(const QTextBlock& b, const QString& piece) {
    return inkSpan(b, int(b.text().indexOf(piece)), int(piece.size()));
}

// US Letter, one-inch margins: 9360 twips of text.
constexpr double kText = 9360;

bool near(double a, double b, double within = 40) {
    return qAbs(a - b) <= within;
}

QString span(std::pair<double, double> s) {
    return QStringLiteral("%1..%2").arg(s.first).arg(s.second);
}

Shown showDocx(const QByteArray& body) {
    Shown s;
    s.t = std::make_shared<const Template>(readBody(body));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

QByteArray bidiCell(const QByteArray& text, int width, const QByteArray& more = {}) {
    return "<w:tc><w:tcPr><w:tcW w:w=\"" + QByteArray::number(width) + "\" w:type=\"dxa\"/>" + more +
           "</w:tcPr>" + paragraph(run(text)) + "</w:tc>";
}

QByteArray threeColumns(const QByteArray& tblPr, const QByteArray& firstCellMore = {}) {
    return "<w:tbl><w:tblPr>" + tblPr +
           "<w:tblBorders><w:left w:val=\"single\" w:sz=\"4\"/><w:right w:val=\"single\" w:sz=\"24\"/>"
           "</w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w=\"1440\"/><w:gridCol w:w=\"2880\"/>"
           "<w:gridCol w:w=\"2160\"/></w:tblGrid><w:tr>" +
           bidiCell("C1", 1440, firstCellMore) + bidiCell("C2", 2880) + bidiCell("C3", 2160) +
           "</w:tr></w:tbl>";
}

int leftEdge(const Row& row, size_t cell) {
    return cell == 0 ? row.leftTwips : row.cells[cell - 1].rightTwips;
}

} // namespace

class TestRightToLeft : public QObject {
    Q_OBJECT

private slots:
    void wordParagraphsRunFromTheRight() {
        // A .docx paragraph marked w:bidi runs from the right: LibreOffice reads jc left (or start, or
        // none) as its start, the right side, and right (or end) as its left side; its left indent and
        // first-line indent stand at the right.
        const Shown s = showDocx(
            paragraph(run("Alpha none"), "<w:bidi/>") +
            paragraph(run("Beta left"), "<w:bidi/><w:jc w:val=\"left\"/>") +
            paragraph(run("Gamma right"), "<w:bidi/><w:jc w:val=\"right\"/>") +
            paragraph(run("Delta end"), "<w:bidi/><w:jc w:val=\"end\"/>") +
            paragraph(run("Epsilon indent"), "<w:bidi/><w:ind w:left=\"2880\" w:firstLine=\"720\"/>") +
            paragraph(run("Zeta closing"), "<w:bidi/><w:jc w:val=\"right\"/><w:ind w:right=\"1440\"/>") +
            paragraph(run("Eta plain"), "<w:jc w:val=\"right\"/>"));
        const QTextDocument& doc = *s.copy.body;
        for (const char* atRight : {"Alpha", "Beta"}) {
            const auto at = lineSpan(blockStarting(doc, QLatin1String(atRight)));
            QVERIFY2(near(at.second, kText), qPrintable(atRight + span(at)));
        }
        for (const char* atLeft : {"Gamma", "Delta"}) {
            const auto at = lineSpan(blockStarting(doc, QLatin1String(atLeft)));
            QVERIFY2(near(at.first, 0), qPrintable(atLeft + span(at)));
        }
        const auto indented = lineSpan(blockStarting(doc, QStringLiteral("Epsilon")));
        QVERIFY2(near(indented.second, kText - 2880 - 720), qPrintable(span(indented)));
        const auto closing = lineSpan(blockStarting(doc, QStringLiteral("Zeta")));
        QVERIFY2(near(closing.first, 1440), qPrintable(span(closing)));
        // A paragraph without w:bidi keeps its sides.
        const auto plain = lineSpan(blockStarting(doc, QStringLiteral("Eta")));
        QVERIFY2(near(plain.second, kText), qPrintable(span(plain)));
    }

    void wordParagraphDirectionIsTheFilesOwn() {
        // Hebrew at the start of a paragraph without w:bidi runs left to right, as LibreOffice sets it,
        // not from the right as Qt would guess; Latin text in a w:bidi paragraph runs from the right.
        const QString hebrew = QString::fromUtf8("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d");
        const Shown s = showDocx(paragraph(run(hebrew.toUtf8() + " and more")) +
                                 paragraph(run("Latin first"), "<w:bidi/>"));
        const QTextBlock first = s.copy.body->begin();
        QCOMPARE(first.textDirection(), Qt::LeftToRight);
        QVERIFY2(near(lineSpan(first).first, 0), qPrintable(span(lineSpan(first))));
        QCOMPARE(first.next().textDirection(), Qt::RightToLeft);
        // Names merged in a right-to-left paragraph keep their own order, set at the right.
        const auto line = lineSpan(first.next());
        QVERIFY2(near(line.second, kText), qPrintable(span(line)));
    }

    void rtfParagraphsKeepTheSidesTheyName() {
        // An RTF paragraph's \ql and \qr are the sides they say, \rtlpar or not, as LibreOffice reads
        // them; its \li and \fi stand at the right and \ri at the left; justified, its last line stands at
        // the right.
        const Shown s = showWord(
            "\\pard\\rtlpar Alpha plain\\par"
            "\\pard\\rtlpar\\qr Beta right\\par"
            "\\pard\\rtlpar\\qr\\li2880\\fi720 Gamma indented\\par"
            "\\pard\\rtlpar\\ql\\ri1440 Delta end indent\\par"
            "\\pard\\rtlpar\\qj Epsilon words words words words words words words words words words words "
            "words words words words words words words words words words words words last\\par");
        const QTextDocument& doc = *s.copy.body;
        const auto plain = lineSpan(blockStarting(doc, QStringLiteral("Alpha")));
        QVERIFY2(near(plain.first, 0), qPrintable(span(plain)));
        const auto right = lineSpan(blockStarting(doc, QStringLiteral("Beta")));
        QVERIFY2(near(right.second, kText), qPrintable(span(right)));
        const auto indented = lineSpan(blockStarting(doc, QStringLiteral("Gamma")));
        QVERIFY2(near(indented.second, kText - 3600), qPrintable(span(indented)));
        const auto end = lineSpan(blockStarting(doc, QStringLiteral("Delta")));
        QVERIFY2(near(end.first, 1440), qPrintable(span(end)));
        const QTextBlock justified = blockStarting(doc, QStringLiteral("Epsilon"));
        QCOMPARE(justified.layout()->lineCount(), 2);
        const auto last = lineSpan(justified, 1);
        QVERIFY2(near(last.second, kText) && last.first > 2000, qPrintable(span(last)));
    }

    void tabStopsCountFromTheRight() {
        // In a right-to-left paragraph a stop stands its distance from the right indent: a left stop's
        // text starts there and runs on leftward, a right stop's text ends there.
        const Shown s = showWord("\\pard\\rtlpar\\qr\\tx2880 Alpha\\tab Beta\\par"
                                 "\\pard\\rtlpar\\qr\\tqr\\tx4320 Gamma\\tab Delta\\par");
        const QTextDocument& doc = *s.copy.body;
        const auto left = textSpan(blockStarting(doc, QStringLiteral("Alpha")), QStringLiteral("Beta"));
        QVERIFY2(near(left.second, kText - 2880), qPrintable(span(left)));
        const auto right = textSpan(blockStarting(doc, QStringLiteral("Gamma")), QStringLiteral("Delta"));
        QVERIFY2(near(right.first, kText - 4320), qPrintable(span(right)));
    }

    void visualTablesRunRightToLeft() {
        // w:bidiVisual: the table stands where it would, its first cell at the right, each cell's left
        // and right rules swapped; the table's outer left rule (thin) ends up at its right.
        const Template t = readBody(threeColumns(
            "<w:bidiVisual/>", "<w:tcBorders><w:left w:val=\"single\" w:sz=\"36\"/></w:tcBorders>"));
        const Template plain = readBody(threeColumns({}));
        const Row& row = std::get<Table>(t.body.blocks.front()).rows.front();
        const Row& ltr = std::get<Table>(plain.body.blocks.front()).rows.front();
        QCOMPARE(row.cells.size(), size_t(3));
        QCOMPARE(runsText(t, row.cells[0].paragraphs.front().runs), QStringLiteral("C3"));
        QCOMPARE(runsText(t, row.cells[2].paragraphs.front().runs), QStringLiteral("C1"));
        QCOMPARE(row.leftTwips, ltr.leftTwips);
        QCOMPARE(row.cells.back().rightTwips, ltr.cells.back().rightTwips);
        QCOMPARE(row.cells[0].rightTwips - leftEdge(row, 0), 2160);
        QVERIFY(qAbs(row.cells[1].rightTwips - leftEdge(row, 1) - 2880) <= 1);
        // The thick outer rule the table gives its right side stands at its left, and the first cell's
        // own thick left rule at the table's right.
        QCOMPARE(edge(row.cells[0].borders, Side::Left).widthTwips, 60);
        QCOMPARE(edge(row.cells[2].borders, Side::Right).widthTwips, 90);
        QCOMPARE(edge(row.cells[2].borders, Side::Left).widthTwips,
                 edge(ltr.cells[0].borders, Side::Right).widthTwips);
    }

    void rtfRowsRunRightToLeftOnlyByRtlrow() {
        // \rtlrow mirrors the row's cells; \taprtl LibreOffice leaves left to right.
        const QByteArray cells = ruledCell(1440) + ruledCell(4320) + ruledCell(6480) +
                                 "\\pard\\intbl C1\\cell C2\\cell C3\\cell\\row\\pard\\par";
        const Template mirrored = readRtf("{\\rtf1\\ansi\\trowd\\rtlrow\\trgaph108" + cells + "}", "r.rtf");
        const Template kept = readRtf("{\\rtf1\\ansi\\trowd\\taprtl\\trgaph108" + cells + "}", "r.rtf");
        const Row& row = std::get<Table>(mirrored.body.blocks.front()).rows.front();
        const Row& ltr = std::get<Table>(kept.body.blocks.front()).rows.front();
        QCOMPARE(runsText(mirrored, row.cells.front().paragraphs.front().runs), QStringLiteral("C3"));
        QCOMPARE(runsText(kept, ltr.cells.front().paragraphs.front().runs), QStringLiteral("C1"));
        QCOMPARE(row.leftTwips, ltr.leftTwips);
        QCOMPARE(row.cells.back().rightTwips, ltr.cells.back().rightTwips);
        QCOMPARE(row.cells.back().rightTwips - leftEdge(row, 2), 1440);
    }

    void drawingsInRightToLeftParagraphsMirror() {
        // A drawing anchored in a w:bidi paragraph stands its offset in from the right of the room it is
        // placed in; one aligned keeps the side it names.
        const auto anchor = [](const QByteArray& position, const QByteArray& from) {
            return "<w:r><w:drawing><wp:anchor simplePos=\"0\" relativeHeight=\"1\" behindDoc=\"1\" "
                   "locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/>"
                   "<wp:positionH relativeFrom=\"" +
                   from + "\">" + position +
                   "</wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset>"
                   "</wp:positionV><wp:extent cx=\"1828800\" cy=\"457200\"/><wp:wrapNone/><wp:docPr id=\"1\" "
                   "name=\"p\"/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic><pic:blipFill>"
                   "<a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr><a:prstGeom prst=\"rect\"/></pic:spPr>"
                   "</pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        };
        const QByteArray offset = "<wp:posOffset>914400</wp:posOffset>";
        const std::vector<Related> picture{{"image", "media/p.png", png(8, 2)}};
        const auto placed = [&](const QByteArray& pPr, const QByteArray& position, const QByteArray& from) {
            const Template t = read(package(document(paragraph(anchor(position, from), pPr)), picture));
            return t.floats.empty() ? -1 : t.floats.front().leftTwips;
        };
        // Two inches wide (2880 twips), an inch (1440) in.
        QCOMPARE(placed({}, offset, "column"), 1440);
        QCOMPARE(placed("<w:bidi/>", offset, "column"), 9360 - 1440 - 2880);
        QCOMPARE(placed("<w:bidi/>", offset, "page"), 12240 - 1440 - 2880);
        QCOMPARE(placed("<w:bidi/>", "<wp:align>left</wp:align>", "column"), 0);
    }

    void fieldsStandApartInRightToLeftParagraphs() {
        // Two names merged side by side in a right-to-left paragraph: LibreOffice sets the first at the
        // right and the second left of it, as marks of their own, not as one run of Latin letters.
        const Shown s = showDocx(paragraph(simpleField("MERGEFIELD first", "Firstname") + run(" ") +
                                               simpleField("MERGEFIELD last", "Lastname"),
                                           "<w:bidi/>") +
                                 paragraph(simpleField("MERGEFIELD first", "Onename") + run(" ") +
                                           simpleField("MERGEFIELD last", "Twoname")));
        const QTextBlock names = blockStarting(*s.copy.body, QString(QChar(0x2067)));
        QVERIFY(names.isValid());
        const auto first = textSpan(names, QStringLiteral("Firstname"));
        const auto last = textSpan(names, QStringLiteral("Lastname"));
        QVERIFY2(near(first.second, kText) && last.second < first.first,
                 qPrintable(span(first) + " " + span(last)));
        // Left to right nothing changes.
        const QTextBlock plain = blockStarting(*s.copy.body, QStringLiteral("Onename"));
        QVERIFY(plain.isValid());
        QVERIFY(textSpan(plain, QStringLiteral("Onename")).second <
                textSpan(plain, QStringLiteral("Twoname")).first);
    }

    void complexScriptTextTakesItsOwnFace() {
        // Hebrew letters, and the signs and spaces after them, print in the run's w:cs face at its
        // w:szCs size and w:bCs weight; Latin letters in the run's own.
        const QString hebrew = QString::fromUtf8("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d");
        const Template t = readBody(paragraph(run(
            hebrew.toUtf8() + ": 12 Main street",
            "<w:rFonts w:ascii=\"Liberation Serif\" w:hAnsi=\"Liberation Serif\" w:cs=\"Liberation Sans\"/>"
            "<w:b/><w:sz w:val=\"24\"/><w:szCs w:val=\"20\"/>")));
        const Paragraph& p = firstParagraph(t.body);
        QCOMPARE(p.runs.size(), size_t(2));
        QCOMPARE(p.runs[0].text, hebrew + QStringLiteral(": 12 "));
        const CharFormat& complex = t.formats[size_t(p.runs[0].format)];
        const CharFormat& latin = t.formats[size_t(p.runs[1].format)];
        QCOMPARE(complex.family, QStringLiteral("Liberation Sans"));
        QCOMPARE(complex.halfPoints, 20);
        QVERIFY(!complex.bold);
        QCOMPARE(latin.family, QStringLiteral("Liberation Serif"));
        QCOMPARE(latin.halfPoints, 24);
        QVERIFY(latin.bold);
    }

    void rightToLeftThemeFontsFollowTheSettingsScript() {
        // minorBidi and majorBidi are the theme's faces for the script of the settings' w:themeFontLang
        // w:bidi language, as LibreOffice takes them: Latin text asked in them prints in that face.
        const QByteArray theme =
            "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
            "<a:fontScheme><a:majorFont><a:latin typeface=\"Liberation Mono\"/><a:cs typeface=\"\"/>"
            "<a:font script=\"Hebr\" typeface=\"Liberation Serif\"/><a:font script=\"Arab\" "
            "typeface=\"Liberation Sans\"/></a:majorFont><a:minorFont><a:latin typeface=\"Liberation Mono\"/>"
            "<a:cs typeface=\"\"/><a:font script=\"Hebr\" typeface=\"Liberation Sans\"/><a:font "
            "script=\"Arab\" typeface=\"Liberation Serif\"/></a:minorFont></a:fontScheme></a:themeElements>"
            "</a:theme>";
        const QByteArray body =
            paragraph(run("Minor", "<w:rFonts w:asciiTheme=\"minorBidi\" w:hAnsiTheme=\"minorBidi\"/>")) +
            paragraph(run("Major", "<w:rFonts w:asciiTheme=\"majorBidi\" w:hAnsiTheme=\"majorBidi\"/>")) +
            paragraph(run("Latin", "<w:rFonts w:asciiTheme=\"minorHAnsi\" w:hAnsiTheme=\"minorHAnsi\"/>"));
        const auto families = [&](const QByteArray& language) {
            const Template t = read(package(
                document(body), {{"theme", "theme/theme1.xml", theme},
                                 {"settings", "settings.xml",
                                  "<w:settings " + kW + "><w:themeFontLang w:val=\"en-US\" w:bidi=\"" +
                                      language + "\"/></w:settings>"}}));
            QStringList out;
            for (const Block& b : t.body.blocks)
                out << t.formats[size_t(std::get<Paragraph>(b).runs.front().format)].family;
            return out;
        };
        QCOMPARE(families("he-IL"), QStringList({"Liberation Sans", "Liberation Serif", "Liberation Mono"}));
        QCOMPARE(families("ar-SA"), QStringList({"Liberation Serif", "Liberation Sans", "Liberation Mono"}));
    }

    void framedTablesMirrorBeforeRightToLeftParagraphs() {
        // A table in a frame placed by its offset from the margin (w:tblpPr), anchored in the
        // right-to-left paragraph after it, stands mirrored: its outer rules as far in from the right
        // margin (a cell's padding out) as they would stand from the left.
        const QByteArray table =
            "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" w:vertAnchor=\"text\" "
            "w:horzAnchor=\"margin\" w:tblpY=\"124\"/><w:bidiVisual/><w:tblW w:w=\"0\" w:type=\"auto\"/>"
            "</w:tblPr><w:tblGrid><w:gridCol w:w=\"1440\"/><w:gridCol w:w=\"2880\"/></w:tblGrid><w:tr>" +
            bidiCell("C1", 1440) + bidiCell("C2", 2880) + "</w:tr></w:tbl>";
        const auto placed = [&](const QByteArray& pPr) {
            const Template t = readBody(table + paragraph(run("After"), pPr));
            return t.floats.empty() ? -99999 : t.floats.front().leftTwips;
        };
        QCOMPARE(placed({}), 0);
        // 9360 twips of text; the rules stand 108 twips out from the text at each side.
        QCOMPARE(placed("<w:bidi/>"), 9360 - 4320 + 2 * 108);
    }

    void listNumbersEndAtTheIndentFromTheRight() {
        // A number aligned left, in a right-to-left paragraph, has its left side on the first line's
        // indent in LibreOffice: it ends there, as one aligned right does left to right.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt "
            "w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/><w:lvlJc w:val=\"left\"/><w:pPr><w:ind "
            "w:left=\"720\" w:hanging=\"360\"/></w:pPr></w:lvl></w:abstractNum><w:num w:numId=\"1\">"
            "<w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
        const QByteArray numPr = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
        const Template t = read(
            package(document(paragraph(run("Item"), "<w:bidi/>" + numPr) + paragraph(run("Item"), numPr)),
                    {{"numbering", "numbering.xml", numbering}}));
        QCOMPARE(std::get<Paragraph>(t.body.blocks[0]).format.numberAlign, ParaFormat::Right);
        QCOMPARE(std::get<Paragraph>(t.body.blocks[1]).format.numberAlign, ParaFormat::Left);
    }
};

QTEST_MAIN(TestRightToLeft)
#include "tst_righttoleft.moc"
