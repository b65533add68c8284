// Each page's text keeps clear of that page's own header and footer: a first page's tall footer, even
// pages' short headers, a later section's first page.
#include "DocxReading.h"
#include "Rendering.h"

#include <QtTest>

using namespace rendering;

namespace {

// A body line as printed: its text, its sheet, and its top and bottom on the sheet (layout pixels).
struct PrintedLine {
    QString text;
    int sheet = 0;
    double top = 0, bottom = 0;
};

std::vector<PrintedLine> printedLines(const PageCopy& copy) {
    std::vector<PrintedLine> out;
    const double height = copy.body->pageSize().height();
    for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next()) {
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            const QString text = b.text().mid(line.textStart(), line.textLength()).trimmed();
            if (text.isEmpty())
                continue;
            // Qt sets a line of an exact height a little below the top of its room.
            const double middle =
                b.document()->documentLayout()->blockBoundingRect(b).top() + line.y() + line.height() / 2;
            const int sheet = int(std::floor(middle / height));
            const double y = lineRoomTop(b, i);
            const double top = bodyTopOn(copy, sheet, PageSetup{}) + y - sheet * height;
            out.push_back({text, sheet, top, top + twipsToLayout(250)});
        }
    }
    return out;
}

// How far below the top of a document's `index`th table its second row starts (layout pixels).
double firstRowPitch(const QTextDocument& doc, int index) {
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f); t && index-- == 0) {
            const auto top = [&](int row) {
                return doc.documentLayout()
                    ->blockBoundingRect(t->cellAt(row, 0).firstCursorPosition().block())
                    .top();
            };
            return top(1) - top(0);
        }
    return -1;
}

// Two rows of one cell of 12-point text, `spacing` the paragraphs' line spacing, the first row's cell
// opening with `before`.
QByteArray spacedRows(const QByteArray& spacing, const QByteArray& before = {}) {
    const QByteArray row = "\\trowd\\cellx4000\\pard\\intbl" + spacing + "\\fs24 ";
    return row + before + "Row\\cell\\row " + row + "Row\\cell\\row \\pard\\par ";
}

// `count` lines of exactly 12.5 points (a page holds no whole number of them), as paragraphs of their own or
// as one paragraph.
QByteArray numbered(int count, bool onePara) {
    QByteArray out = "\\pard\\sl-250\\slmult0 ";
    for (int i = 1; i <= count; ++i)
        out += "Line " + QByteArray::number(i) +
               (onePara && i < count ? "\\line " : "\\par \\pard\\sl-250\\slmult0 ");
    return out + (onePara ? "\\par " : "");
}

// The sheet's room for text: from below its header (or its top margin) to above its footer.
std::pair<double, double> room(const PageCopy& copy, int sheet) {
    const QTextDocument* header = bandOn(copy, sheet, true);
    const QTextDocument* footer = bandOn(copy, sheet, false);
    const double top = qMax(twipsToLayout(1440), twipsToLayout(720) + (header ? bandHeight(*header) : 0));
    const double bottom = qMax(twipsToLayout(1440), twipsToLayout(720) + (footer ? bandHeight(*footer) : 0));
    return {top, twipsToLayout(15840) - bottom};
}

// Each sheet's text starts at the top of its own room and ends within it; a sheet with its whole room
// holds as many lines as the room takes.
void checkSheets(const Shown& s, const std::vector<int>& fullSheets) {
    const std::vector<PrintedLine> lines = printedLines(s.copy);
    for (int sheet = 0; sheet < s.copy.pageCount(); ++sheet) {
        const auto [top, bottom] = room(s.copy, sheet);
        std::vector<PrintedLine> on;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(on),
                     [&](const PrintedLine& l) { return l.sheet == sheet; });
        QVERIFY2(!on.empty(),
                 qPrintable(QStringLiteral("sheet %1 of %2").arg(sheet).arg(s.copy.pageCount())));
        QVERIFY2(qAbs(on.front().top - top) < 1,
                 qPrintable(QStringLiteral("sheet %1: %2 %3").arg(sheet).arg(on.front().top).arg(top)));
        QVERIFY2(on.back().bottom <= bottom + 0.5, qPrintable(QStringLiteral("sheet %1").arg(sheet)));
        if (std::count(fullSheets.begin(), fullSheets.end(), sheet))
            QCOMPARE(int(on.size()), int((bottom - top) / twipsToLayout(250) + 0.01));
    }
}

const QByteArray kTall = "\\pard F1\\par F2\\par F3\\par F4\\par F5\\par F6\\par F7\\par F8\\par ";

} // namespace

class TestPageBands : public QObject {
    Q_OBJECT

private slots:
    // A letterhead's address at the foot of the first page only: the other pages keep their whole room.
    void tallFirstFooterShortensOnlyTheFirstPage() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\sectd\\titlepg{\\footerf " + kTall + "}{\\footer \\pard Foot\\par }" +
                                    numbered(120, onePara));
            QCOMPARE(s.copy.pageCount(), 3);
            checkSheets(s, {1});
        }
        // The same in a section that starts a sheet of its own.
        Shown s = showRtf("\\sectd\\pard Opening\\par \\sect\\sectd\\titlepg{\\footerf " + kTall +
                          "}{\\footer \\pard Foot\\par }" + numbered(120, false));
        QCOMPARE(s.copy.parts.size(), size_t(1));
        const Shown part{s.t, std::move(s.copy.parts.front())};
        QCOMPARE(part.copy.pageCount(), 3);
        checkSheets(part, {1});
    }

    // A first page without the tall header of the pages after it (a letter's continuation header)
    // holds as many lines as its whole room takes, and the later pages as many as theirs.
    void roomierFirstPageIsFilled() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\sectd\\titlepg{\\header " + kTall + "}" + numbered(150, onePara));
            QVERIFY(s.copy.pageCount() >= 3);
            QCOMPARE(room(s.copy, 0).first, twipsToLayout(1440));
            QVERIFY(room(s.copy, 1).first > twipsToLayout(1440) + 100);
            checkSheets(s, {0, 1});
        }
    }

    // Left and right pages: the odd pages' tall header moves only their text down; even pages, without
    // a header, start at the margin and hold a whole page, also where a paragraph runs on to them.
    void evenPagesWithoutHeaderStartAtTheMargin() {
        for (const bool onePara : {false, true}) {
            const Shown s = showRtf("\\facingp\\sectd{\\headerr " + kTall + "}" + numbered(150, onePara));
            QVERIFY(s.copy.pageCount() >= 3);
            QVERIFY(room(s.copy, 0).first > twipsToLayout(1440) + 100);
            QCOMPARE(room(s.copy, 1).first, twipsToLayout(1440));
            checkSheets(s, {1});
        }
    }

    // LibreOffice sets a header's or footer's table rows lower than the same rows in the body by their
    // cells' last lines' spacing once more: rows of 1.15 lines stand as far apart as of 1.3 lines.
    // Single lines, and a cell's paragraphs before its last, keep the body's spacing.
    void bandTableRowsTakeTheirSpacingTwice() {
        const std::pair<QByteArray, double> cases[] = {
            {"\\sl276\\slmult1", 1.15}, {"\\sl360\\slmult1", 1.5}, {QByteArray(), 1.0}};
        for (const auto& [spacing, lines] : cases) {
            const QByteArray rows = spacedRows(spacing), twoParas = spacedRows(spacing, "First\\par ");
            const Shown s = showRtf("{\\header " + rows + "}{\\footer " + twoParas + "}" + rows + twoParas);
            const double body = firstRowPitch(*s.copy.body, 0);
            const double header = firstRowPitch(*bandOn(s.copy, 0, true), 0);
            const double more = body * (1 - 1 / lines);
            // Qt sets rows in whole layout pixels.
            QVERIFY2(
                body > 0 && qAbs(header - body - more) < 1.0,
                qPrintable(QStringLiteral("%1 lines: header %2, body %3").arg(lines).arg(header).arg(body)));
            // The row of two paragraphs is taller by the last one's spacing alone.
            const double bodyTwo = firstRowPitch(*s.copy.body, 1);
            const double footer = firstRowPitch(*bandOn(s.copy, 0, false), 0);
            QVERIFY2(bodyTwo > body * 1.5 && qAbs(footer - bodyTwo - more) < 1.0,
                     qPrintable(
                         QStringLiteral("%1 lines: footer %2, body %3").arg(lines).arg(footer).arg(bodyTwo)));
        }
    }

    // A cell's last line of small text at 1.5 lines, in paragraphs of 12 points: LibreOffice ends the row
    // half a 12-point line below the text in the body and a whole one in a header, whatever the paragraph
    // mark's own size; text of 12 points keeps its rows 1.5 lines apart in the body. A header's cell ends
    // its last paragraph's space after below that space once more.
    void cellsEndByTheirParagraphFontsSpacing() {
        using namespace docxsamples;
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New "
            "Roman\"/><w:sz w:val=\"22\"/></w:rPr></w:rPrDefault></w:docDefaults><w:style "
            "w:type=\"paragraph\" "
            "w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:rPr><w:sz "
            "w:val=\"24\"/></w:rPr></w:style></w:styles>";
        const auto table = [](const QByteArray& size, const QByteArray& spacing) {
            QByteArray rows;
            for (const char* text : {"One", "Two"})
                rows += "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"3000\" w:type=\"dxa\"/></w:tcPr>" +
                        paragraph(run(text, "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\"/><w:sz w:val=\"" +
                                                size + "\"/>"),
                                  "<w:spacing " + spacing + "/><w:rPr><w:sz w:val=\"13\"/></w:rPr>") +
                        "</w:tc></w:tr>";
            return "<w:tbl><w:tblPr><w:tblW w:w=\"3000\" w:type=\"dxa\"/></w:tblPr><w:tblGrid><w:gridCol "
                   "w:w=\"3000\"/></w:tblGrid>" +
                   rows + "</w:tbl>" + paragraph({});
        };
        const QByteArray wide = "w:line=\"360\" w:lineRule=\"auto\"", after = "w:after=\"120\"";
        const QByteArray tables = table("13", wide) + table("24", wide) + table("13", after);
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(
                         document(tables, section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
                         {{"header", "header1.xml", "<w:hdr " + kW + ">" + tables + "</w:hdr>"},
                          {"styles", "styles.xml", styles}})),
                     QStringLiteral("rows.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const QTextDocument& header = *bandOn(s.copy, 0, true);
        // As LibreOffice sets them, in points: 7.5 for a small line, 13.8 for the paragraph's own font.
        const double expected[2][3] = {{14.3, 20.7, 13.5}, {21.1, 27.6, 19.5}};
        for (int table = 0; table < 3; ++table)
            for (int band = 0; band < 2; ++band) {
                const double pitch = firstRowPitch(band ? header : *s.copy.body, table) / twipsToLayout(20);
                QVERIFY2(qAbs(pitch - expected[band][table]) < 0.6,
                         qPrintable(QStringLiteral("table %1 in the %2: %3, not %4")
                                        .arg(table)
                                        .arg(band ? "header" : "body")
                                        .arg(pitch)
                                        .arg(expected[band][table])));
            }
    }

    // A header's table row of a set height taller than its text makes the header that tall: the body
    // starts below the row, not where the row's text alone would end.
    void headerRowOfASetHeightPushesTheBodyDown() {
        for (const int height : {1800, 3000}) {
            const Shown s = showRtf("{\\header \\trowd\\trrh" + QByteArray::number(height) +
                                    "\\cellx3000\\pard\\intbl Top\\cell\\row \\pard\\par }\\pard Body\\par ");
            // The header's edge, the row and the empty paragraph after it.
            const double below = twipsToLayout(720 + height + 240);
            QVERIFY2(
                qAbs(s.bodyTop() - below) < twipsToLayout(60),
                qPrintable(QStringLiteral("%1: body at %2, not %3").arg(height).arg(s.bodyTop()).arg(below)));
        }
    }

    // An empty paragraph after a header's table stands its space above below the table once, as
    // LibreOffice sets it: the header ends a line and that space below the row.
    void emptyParagraphAfterHeaderTableKeepsItsSpaceOnce() {
        const Shown s = showRtf(
            "{\\header \\trowd\\cellx3000\\pard\\intbl Top\\cell\\row \\pard\\sb480\\par }\\pard Body\\par ");
        // The header's edge, the row's line, the space and the empty line.
        const double below = twipsToLayout(720 + 276 + 480 + 276);
        QVERIFY2(qAbs(s.bodyTop() - below) < twipsToLayout(60),
                 qPrintable(QStringLiteral("body at %1, not %2").arg(s.bodyTop()).arg(below)));
    }

    // A table that runs on to pages of less room: no row starts in a page's header.
    void tablesStayClearOfTallerHeaders() {
        QByteArray rows;
        for (int i = 1; i <= 150; ++i)
            rows += "\\trowd\\cellx4000\\pard\\intbl\\sl-250\\slmult0 Row " + QByteArray::number(i) +
                    "\\cell\\row ";
        const Shown s = showRtf("\\facingp\\sectd{\\headerr " + kTall + "}" + rows + "\\pard End\\par ");
        QVERIFY(s.copy.pageCount() >= 3);
        for (const PrintedLine& l : printedLines(s.copy)) {
            const auto [top, bottom] = room(s.copy, l.sheet);
            QVERIFY2(l.top >= top - 0.5 && l.bottom <= bottom + 0.5,
                     qPrintable(QStringLiteral("%1: %2 %3").arg(l.text).arg(l.top).arg(top)));
        }
    }
};

QTEST_MAIN(TestPageBands)
#include "tst_pagebands.moc"
