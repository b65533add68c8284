// Forms as Word writes them: rows ruled by their own table borders, a table that opens the document with
// a footnote in it, and a table running into the footnotes at a page's foot, as LibreOffice prints them.
#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>
#include <algorithm>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

const QByteArray kFootnoteReference =
    "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteReference w:id=\"1\"/></w:r>";

Template readWithNote(const QByteArray& body) {
    const QByteArray notes = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:footnotes " +
                             kW + "><w:footnote w:id=\"1\"><w:p><w:r><w:footnoteRef/></w:r>" +
                             run(" The note.") + "</w:p></w:footnote></w:footnotes>";
    return readDocx(zipParts(package(document(body), {{"footnotes", "footnotes.xml", notes}})), "f.docx");
}

QByteArray cell(const QByteArray& content, const QByteArray& tcPr = {}) {
    return "<w:tc><w:tcPr><w:tcW w:w=\"3000\" w:type=\"dxa\"/>" + tcPr + "</w:tcPr>" + paragraph(content) +
           "</w:tc>";
}

QByteArray table(const QByteArray& rows, const QByteArray& borders = {}) {
    return "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/>" + borders +
           "</w:tblPr><w:tblGrid><w:gridCol w:w=\"3000\"/><w:gridCol w:w=\"3000\"/><w:gridCol "
           "w:w=\"3000\"/></w:tblGrid>" +
           rows + "</w:tbl>";
}

// The edges' styles and widths in twips, top, left, bottom, right.
QList<std::pair<int, int>> styleAndWidth(const Borders& b) {
    QList<std::pair<int, int>> out;
    for (const Side s : {Side::Top, Side::Left, Side::Bottom, Side::Right})
        out << std::pair<int, int>(edge(b, s).style, edge(b, s).widthTwips);
    return out;
}

// A footnote as Word writes it in RTF.
const QByteArray kRtfFootnote = "{\\super\\chftn}{\\footnote\\pard\\plain\\fs20{\\super\\chftn} The note.}";

Shown showTemplate(Template t) {
    Shown s;
    s.t = std::make_shared<const Template>(std::move(t));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

double topOf(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text() == text)
            return b.layout()->lineCount() > 0 ? lineRoomTop(b, 0)
                                               : doc.documentLayout()->blockBoundingRect(b).top();
    return -1;
}

} // namespace

class TestForms : public QObject {
    Q_OBJECT

private slots:
    // A row's own borders rule each of its cells all round, between the cells as well; the row's inside
    // rules are not taken, the cells' own borders still are, and rows without stay as the table rules them.
    void rowBordersRuleEachCell() {
        const QByteArray thick = "w:val=\"single\" w:sz=\"24\"";
        const QByteArray exception =
            "<w:tblPrEx><w:tblBorders><w:top " + thick + "/><w:left " + thick + "/><w:bottom " + thick +
            "/><w:right " + thick +
            "/><w:insideH w:val=\"none\"/><w:insideV w:val=\"none\"/></w:tblBorders></w:tblPrEx>";
        const QByteArray tableBorders =
            "<w:tblBorders><w:insideV w:val=\"single\" w:sz=\"4\"/></w:tblBorders>";
        const Template t = readDocx(
            zipParts(package(document(
                table("<w:tr>" + cell(run("a")) + cell(run("b")) + cell(run("c")) + "</w:tr><w:tr>" +
                          exception + cell(run("d")) + cell(run("e")) +
                          cell(run("f"), "<w:tcBorders><w:top w:val=\"nil\"/></w:tcBorders>") + "</w:tr>",
                      tableBorders) +
                paragraph({})))),
            "r.docx");
        const Table& tbl = std::get<Table>(t.body.blocks.at(0));
        using Edges = QList<std::pair<int, int>>;
        const int s = Border::Single, none = Border::None;
        QCOMPARE(styleAndWidth(tbl.rows.at(0).cells.at(1).borders),
                 (Edges{{none, 0}, {s, 10}, {none, 0}, {s, 10}}));
        QCOMPARE(styleAndWidth(tbl.rows.at(1).cells.at(1).borders),
                 (Edges{{s, 60}, {s, 60}, {s, 60}, {s, 60}}));
        QCOMPARE(styleAndWidth(tbl.rows.at(1).cells.at(2).borders),
                 (Edges{{none, 0}, {s, 60}, {s, 60}, {s, 60}}));
    }

    // A cell merged down the column ends in the rule its last cell gives, not the first's: a totals
    // table's blank left part whose last cell has no foot rule prints none under it, though the table's
    // rules would draw one there; the cells beside it keep theirs.
    void mergedCellEndsInItsLastCellsRule() {
        const QByteArray rules =
            "<w:tblBorders><w:top w:val=\"single\" w:sz=\"4\"/><w:bottom w:val=\"single\" "
            "w:sz=\"4\"/><w:insideH w:val=\"single\" w:sz=\"4\"/></w:tblBorders>";
        const QByteArray body =
            table("<w:tr>" + cell({}, "<w:vMerge w:val=\"restart\"/>") + cell(run("a")) + cell(run("b")) +
                      "</w:tr><w:tr>" +
                      cell({}, "<w:vMerge/><w:tcBorders><w:bottom w:val=\"nil\"/></w:tcBorders>") +
                      cell(run("c")) + cell(run("d")) + "</w:tr>",
                  rules) +
            paragraph(run("After"));
        const Shown s = showTemplate(readDocx(zipParts(package(document(body))), "m.docx"));
        const auto drawn = record(s, 0);
        const double c = baselineOf(*drawn, QStringLiteral("c")),
                     after = baselineOf(*drawn, QStringLiteral("After"));
        QVERIFY(c > 0 && after > c);
        // Whether a rule across runs under the last row at `x` twips from the page's edge.
        const auto ruled = [&](int x) {
            const double at = twipsToLayout(x);
            return std::any_of(drawn->lines.begin(), drawn->lines.end(), [&](const Recorder::Line& l) {
                return qAbs(l.line.dy()) < 0.01 && l.line.y1() > c && l.line.y1() < after &&
                       qMin(l.line.x1(), l.line.x2()) < at && qMax(l.line.x1(), l.line.x2()) > at;
            });
        };
        QVERIFY(!ruled(1440 + 1500));
        QVERIFY(ruled(1440 + 4500));
        QVERIFY(ruled(1440 + 7500));
    }

    // A cell merged down the column has its side rule from its top down over the cells it covers that
    // have it too, no further: a totals table's rule beside its blank left part ends with the totals.
    // Where the first cell has none, none is drawn, whatever the cells below it have.
    void mergedCellsSideRuleEndsWhereItsCellsStopHavingIt() {
        const QByteArray right = "<w:tcBorders><w:right w:val=\"single\" w:sz=\"12\"/></w:tcBorders>";
        const auto rows = [&](const QByteArray& first, const QByteArray& second, const QByteArray& third) {
            return table("<w:tr>" + cell({}, "<w:vMerge w:val=\"restart\"/>" + first) + cell(run("a")) +
                         cell(run("b")) + "</w:tr><w:tr>" + cell({}, "<w:vMerge/>" + second) +
                         cell(run("c")) + cell(run("d")) + "</w:tr><w:tr>" + cell({}, "<w:vMerge/>" + third) +
                         cell(run("e")) + cell(run("f")) + "</w:tr>") +
                   paragraph(run("After"));
        };
        // The rows beside which a rule down the merged cell's right edge runs, of a, c and e's.
        const auto ruledBeside = [&](const QByteArray& body) {
            const Shown s = showTemplate(readDocx(zipParts(package(document(body))), "m.docx"));
            const auto drawn = record(s, 0);
            const double at = twipsToLayout(1440 - 108 + 3000);
            QString out;
            for (const char* word : {"a", "c", "e"}) {
                const double y = baselineOf(*drawn, QLatin1String(word));
                out += std::any_of(drawn->lines.begin(), drawn->lines.end(),
                                   [&](const Recorder::Line& l) {
                                       return qAbs(l.line.dx()) < 0.01 && qAbs(l.line.x1() - at) < 4 &&
                                              qMin(l.line.y1(), l.line.y2()) < y &&
                                              qMax(l.line.y1(), l.line.y2()) > y;
                                   })
                           ? QLatin1String(word)
                           : QStringLiteral("-");
            }
            return out;
        };
        QCOMPARE(ruledBeside(rows(right, right, {})), QStringLiteral("ac-"));
        QCOMPARE(ruledBeside(rows(right, {}, right)), QStringLiteral("a--"));
        QCOMPARE(ruledBeside(rows({}, right, right)), QStringLiteral("---"));
        QCOMPARE(ruledBeside(rows(right, right, right)), QStringLiteral("ace"));
    }

    // Rows that hold only a cell merged down into them keep the heights they are given, as LibreOffice
    // sets them: a form's title cell spanning the table is as tall as its two rows, though its text
    // would fit in a line. Without a height the rows take their text's.
    void rowsOfAMergedCellKeepTheirHeights() {
        const QByteArray span = "<w:gridSpan w:val=\"3\"/>";
        const auto below = [&](const QByteArray& firstHeight, const QByteArray& secondHeight) {
            const QByteArray body =
                paragraph(run("Top")) +
                table("<w:tr>" + firstHeight + cell(run("Merged"), span + "<w:vMerge w:val=\"restart\"/>") +
                      "</w:tr><w:tr>" + secondHeight + cell({}, span + "<w:vMerge/>") + "</w:tr><w:tr>" +
                      cell(run("Below")) + cell(run("b")) + cell(run("c")) + "</w:tr>") +
                paragraph(run("After"));
            const Shown s = showTemplate(readDocx(zipParts(package(document(body))), "m.docx"));
            const auto drawn = record(s, 0);
            return baselineOf(*drawn, QStringLiteral("Below")) - baselineOf(*drawn, QStringLiteral("Merged"));
        };
        const QByteArray high = "<w:trPr><w:trHeight w:val=\"1000\"/></w:trPr>";
        const QByteArray low = "<w:trPr><w:trHeight w:val=\"400\"/></w:trPr>";
        const double plain = below({}, {});
        QVERIFY2(plain > 0 && plain < twipsToLayout(400), qPrintable(QString::number(plain)));
        QCOMPARE_GE(below(low, high), twipsToLayout(1400) - 2);
        QCOMPARE_LE(below(low, high), twipsToLayout(1400) + twipsToLayout(40));
        QCOMPARE_GE(below({}, high), twipsToLayout(1000) - 2);
    }

    // A table that opens the document of a footnote or an endnote, in any row or after the table,
    // stands below an empty paragraph; one in a document without notes, or after text, stands where
    // it is.
    void footnoteTableOpeningTheDocumentStandsBelowAnEmptyLine() {
        const QByteArray plain = "<w:tr>" + cell(run("a")) + cell(run("b")) + cell(run("c")) + "</w:tr>";
        const QByteArray noted =
            "<w:tr>" + cell(run("d")) + cell(run("e") + kFootnoteReference) + cell(run("f")) + "</w:tr>";
        const auto firstBlocks = [](const Template& t) {
            QStringList out;
            for (size_t i = 0; i < 2 && i < t.body.blocks.size(); ++i) {
                const Paragraph* p = std::get_if<Paragraph>(&t.body.blocks[i]);
                out << (!p                ? QStringLiteral("table")
                        : p->runs.empty() ? QStringLiteral("empty")
                                          : p->runs[0].text);
            }
            return out;
        };
        QCOMPARE(firstBlocks(readWithNote(table(plain + noted) + paragraph(run("After")))),
                 (QStringList{"empty", "table"}));
        QCOMPARE(
            firstBlocks(readWithNote(table(plain + plain) + paragraph(run("After") + kFootnoteReference))),
            (QStringList{"empty", "table"}));
        const QByteArray endnote = "<w:r><w:endnoteReference w:id=\"1\"/></w:r>";
        QCOMPARE(firstBlocks(readWithNote(table(plain) + paragraph(run("After")) + paragraph(endnote))),
                 (QStringList{"empty", "table"}));
        QCOMPARE(firstBlocks(readWithNote(table(plain + plain) + paragraph(run("After")))),
                 (QStringList{"table", "After"}));
        QCOMPARE(firstBlocks(readWithNote(paragraph(run("Before")) + table(noted))),
                 (QStringList{"Before", "table"}));

        // Laid out, the table stands a line lower than without the note.
        const Shown with = showTemplate(readWithNote(table(noted) + paragraph(run("After"))));
        const Shown without = showTemplate(readWithNote(table(plain) + paragraph(run("After"))));
        QTextTable* a = firstTable(*with.copy.body);
        QTextTable* b = firstTable(*without.copy.body);
        QVERIFY(a && b);
        QVERIFY(cellText(with, a, 0, 0).top() - cellText(without, b, 0, 0).top() > twipsToLayout(200));
    }

    // Rows that fit above the footnotes stay on the page; only the row that runs into them goes on to
    // the next page, not the whole table.
    void rowRunningIntoTheNotesGoesOnAlone() {
        const auto row = [](const char* text) {
            return QByteArray("\\trowd\\trgaph108\\cellx4000\\pard\\intbl ") + text + "\\cell \\row ";
        };
        int split = 0;
        for (int lines = 36; lines < 52; ++lines) {
            QByteArray body = "\\pard\\plain\\fs24 Opening" + kRtfFootnote + "\\par ";
            for (int i = 0; i < lines; ++i)
                body += "\\pard\\plain\\fs24 Line " + QByteArray::number(i) + "\\par ";
            body += "\\pard\\plain\\fs24 " + row("First row") + row("Second row") + row("Third row") +
                    "\\pard After\\par ";
            const Shown s = showRtf(body);
            const QTextDocument& doc = *s.copy.body;
            const double pageHeight = doc.pageSize().height();
            const double first = topOf(doc, QStringLiteral("First row"));
            const double third = topOf(doc, QStringLiteral("Third row"));
            const double last = topOf(doc, QStringLiteral("Line %1").arg(lines - 1));
            QVERIFY(first > 0 && third > first && last > 0);
            if (pageAt(last, pageHeight) != 0)
                continue;
            if (pageAt(first, pageHeight) == 0 && pageAt(third, pageHeight) == 1)
                ++split;
            // The table went on whole: its first row, or the line before it, must not have fitted above the
            // note.
            if (pageAt(first, pageHeight) == 1) {
                const double rows = topOf(doc, QStringLiteral("Second row")) - first;
                const double notesTop = pageHeight - (s.copy.notes.empty() || s.copy.notes[0].empty()
                                                          ? 0.0
                                                          : s.copy.notes[0][0].to - s.copy.notes[0][0].from);
                QVERIFY2(last + 3 * rows > notesTop, qPrintable(QStringLiteral("%1 lines").arg(lines)));
            }
        }
        QVERIFY(split > 0);
    }

    // A table's last row whose first paragraph is kept with the next goes on to the next page with the
    // paragraph after the table, the rows above it staying; a table of that row alone goes on whole.
    void tableFootKeptWithTheNextParagraph() {
        const QByteArray kept = "<w:keepNext/>";
        const auto keptCell = [&](const char* text) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"3000\" w:type=\"dxa\"/></w:tcPr>" +
                   paragraph(run(text), kept) + "</w:tc>";
        };
        // The paragraph after is taller than a row: at some length the row fits and the paragraph does not.
        for (const bool single : {false, true}) {
            int movedOn = 0;
            for (int lines = 36; lines < 60; ++lines) {
                QByteArray body;
                for (int i = 0; i < lines; ++i)
                    body += paragraph(run("Line " + QByteArray::number(i)));
                const QByteArray last =
                    "<w:tr>" + keptCell("Last row") + cell(run("b")) + cell(run("c")) + "</w:tr>";
                body += table(single ? last
                                     : "<w:tr>" + cell(run("First row")) + cell(run("e")) + cell(run("f")) +
                                           "</w:tr>" + last) +
                        paragraph(run("After", "<w:sz w:val=\"60\"/>"));
                const Shown s = showTemplate(readDocx(zipParts(package(document(body))), "k.docx"));
                const QTextDocument& doc = *s.copy.body;
                const double pageHeight = doc.pageSize().height();
                const int after = pageAt(topOf(doc, QStringLiteral("After")), pageHeight);
                const int row = pageAt(topOf(doc, QStringLiteral("Last row")), pageHeight);
                const int line = pageAt(topOf(doc, QStringLiteral("Line %1").arg(lines - 1)), pageHeight);
                QVERIFY2(row == after, qPrintable(QStringLiteral("%1 lines").arg(lines)));
                // The last row went on alone, or the table of that row: the page before keeps its lines.
                const int first = single ? row : pageAt(topOf(doc, QStringLiteral("First row")), pageHeight);
                if (row > line && (single || first == line))
                    ++movedOn;
            }
            QVERIFY(movedOn > 0);
        }
    }

    // The same where the paragraph after is an empty one that ends the document, also where the room a
    // footnote takes at the page's foot moves the text on: the row still goes with the paragraph.
    void tableFootKeptWithAnEmptyParagraphBelowNotes() {
        const QByteArray last = "<w:tr><w:tc><w:tcPr><w:tcW w:w=\"3000\" w:type=\"dxa\"/></w:tcPr>" +
                                paragraph(run("Last row"), "<w:keepNext/>") + paragraph(run("more")) +
                                "</w:tc>" + cell(run("b")) + cell(run("c")) + "</w:tr>";
        for (const bool noted : {false, true}) {
            int movedOn = 0;
            for (int lines = 44; lines < 62; ++lines) {
                QByteArray body = paragraph(run("Noted") + (noted ? kFootnoteReference : QByteArray()));
                for (int i = 0; i < lines; ++i)
                    body += paragraph(run("Line " + QByteArray::number(i)));
                body += table(last) + "<w:p/>";
                const Shown s = showTemplate(readWithNote(body));
                const QTextDocument& doc = *s.copy.body;
                const double pageHeight = doc.pageSize().height();
                const QTextBlock end = doc.lastBlock();
                const int after = pageAt(lineRoomTop(end, 0), pageHeight);
                const int row = pageAt(topOf(doc, QStringLiteral("Last row")), pageHeight);
                QVERIFY2(row == after, qPrintable(QStringLiteral("%1 lines").arg(lines)));
                // Nor does a page of lines hold only the few that the note's room moved on.
                const int line = pageAt(topOf(doc, QStringLiteral("Line %1").arg(lines - 1)), pageHeight);
                QVERIFY2(line <= 1, qPrintable(QStringLiteral("%1 lines").arg(lines)));
                if (row > line)
                    ++movedOn;
            }
            QVERIFY(movedOn > 0);
        }
    }

    // An empty paragraph under a table at a page's foot that does not fit there opens the next page,
    // and the text after it follows on that page: no page is left empty between them.
    void emptyParagraphUnderATableOpensTheNextPage() {
        const QByteArray margins =
            "<w:tblBorders><w:top w:val=\"single\" w:sz=\"6\" w:space=\"0\" w:color=\"C1C1C1\"/><w:bottom "
            "w:val=\"single\" w:sz=\"2\" w:space=\"0\" "
            "w:color=\"C1C1C1\"/></w:tblBorders><w:tblCellMar><w:top "
            "w:w=\"75\" w:type=\"dxa\"/><w:bottom w:w=\"75\" w:type=\"dxa\"/></w:tblCellMar>";
        const QByteArray rows = "<w:tr><w:trPr><w:tblHeader/></w:trPr>" + cell(run("Head")) + cell(run("e")) +
                                cell(run("f")) + "</w:tr><w:tr>" + cell(run("Foot")) + cell(run("h")) +
                                cell(run("i")) + "</w:tr>";
        int across = 0;
        for (int twips = 11000; twips < 13000; twips += 50) {
            // A paragraph of one line of that exact height, then the table, the empty paragraph and the rest.
            QByteArray body = paragraph(run("Spacer"), "<w:spacing w:line=\"" + QByteArray::number(twips) +
                                                           "\" w:lineRule=\"exact\"/>");
            body += table(rows, margins) + paragraph({}, "<w:rPr><w:sz w:val=\"20\"/></w:rPr>") +
                    table("<w:tr>" + cell(run("Note")) + cell(run("k")) + cell(run("l")) + "</w:tr>",
                          "<w:tblCellSpacing w:w=\"15\" w:type=\"dxa\"/>") +
                    paragraph(run("After"));
            const Shown s = showTemplate(readDocx(zipParts(package(document(body))), "e.docx"));
            const QTextDocument& doc = *s.copy.body;
            const double pageHeight = doc.pageSize().height();
            const int foot = pageAt(topOf(doc, QStringLiteral("Foot")), pageHeight);
            const int note = pageAt(topOf(doc, QStringLiteral("Note")), pageHeight);
            QVERIFY2(note <= foot + 1, qPrintable(QStringLiteral("%1 twips").arg(twips)));
            if (note > foot)
                ++across;
        }
        QVERIFY(across > 0);
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
