// Tables among the text: heading rows, rows kept together, empty lines around tables, tables in
// cells, and tables that run on to the next page.
#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// Two columns of 4000 twips, every rule single.
QByteArray ruledTable(const QByteArray& rows) {
    QByteArray rules;
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
        rules += QByteArray("<w:") + side + " w:val=\"single\" w:sz=\"4\"/>";
    return "<w:tbl><w:tblPr><w:tblBorders>" + rules +
           "</w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w=\"4000\"/><w:gridCol "
           "w:w=\"4000\"/></w:tblGrid>" +
           rows + "</w:tbl>";
}

} // namespace

class TestTableFlow : public QObject {
    Q_OBJECT

private slots:
    void wordHeadingRows() {
        // A heading row (w:tblHeader) over sixty rows: the table runs on to a second page, which opens
        // with the heading again, ruled like the first.
        using namespace docxsamples;
        const auto row = [](const QByteArray& props, const QByteArray& a, const QByteArray& b) {
            return "<w:tr>" + props + "<w:tc>" + paragraph(run(a)) + "</w:tc><w:tc>" + paragraph(run(b)) +
                   "</w:tc></w:tr>";
        };
        QByteArray rows = row("<w:trPr><w:tblHeader/></w:trPr>", "Heading", "Value");
        for (int i = 1; i <= 60; ++i)
            rows += row({}, "Row " + QByteArray::number(i), "x");
        const QByteArray table = ruledTable(rows);
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(
            zipParts(package(document(table + paragraph(run("After"))))), QStringLiteral("heading.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        QCOMPARE(s.copy.pageCount(), 2);
        const auto second = record(s, 1);
        const auto headings = second->textsStarting(QStringLiteral("Heading"));
        QCOMPARE(headings.size(), size_t(1));
        const double textTop = s.bodyTop();
        QVERIFY2(headings.front().baseline.y() - textTop < twipsToLayout(300),
                 qPrintable(QString::number(headings.front().baseline.y() - textTop)));
        for (const Recorder::Text& t : second->texts)
            if (t.text.startsWith(QLatin1String("Row")))
                QVERIFY(t.baseline.y() > headings.front().baseline.y());
        // Ruled above and below, on the same edges as on the first page, once each.
        int above = 0, below = 0;
        for (const Recorder::Line& l : second->lines) {
            if (l.line.dy() != 0)
                continue;
            const double d = l.line.y1() - headings.front().baseline.y();
            above += d < 0 && d > -twipsToLayout(300);
            below += d > 0 && d < twipsToLayout(150);
        }
        QCOMPARE(above, 1);
        QCOMPARE(below, 1);
        QCOMPARE(record(s, 0)->textsStarting(QStringLiteral("Heading")).size(), size_t(1));

        // An RTF table's heading row (\trhdr) prints once: its second page opens with the next row.
        QByteArray body = "\\trowd\\trgaph108\\trleft0\\trhdr" + ruledCell(4000) + ruledCell(8000) +
                          "\\pard\\intbl Heading\\cell Value\\cell \\row ";
        for (int i = 1; i <= 60; ++i)
            body += "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Row " +
                    QByteArray::number(i) + "\\cell x\\cell \\row ";
        const Shown rtf = showWord(body + "\\pard After\\par ");
        QCOMPARE(rtf.copy.pageCount(), 2);
        QVERIFY(record(rtf, 1)->textsStarting(QStringLiteral("Heading")).empty());
        QCOMPARE(record(rtf, 0)->textsStarting(QStringLiteral("Heading")).size(), size_t(1));
    }

    void headingsAboveRowRunningOn() {
        // A heading row of two lines over rows of twelve: the fourth row runs on to page 2, which opens
        // with the heading's copy, ruled around its own two lines, and the rest of that row below it,
        // its top rule between the two; no rule crosses the row's lines there.
        using namespace docxsamples;
        const auto cell = [](const QByteArray& paragraphs) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"4000\" w:type=\"dxa\"/></w:tcPr>" + paragraphs + "</w:tc>";
        };
        QByteArray rows = "<w:tr><w:trPr><w:tblHeader/></w:trPr>" +
                          cell(paragraph(run("Heading")) + paragraph(run("Second"))) +
                          cell(paragraph(run("Value"))) + "</w:tr>";
        for (int i = 1; i <= 6; ++i) {
            QByteArray lines;
            for (int k = 1; k <= 12; ++k)
                lines += paragraph(run("Line " + QByteArray::number(i) + "." + QByteArray::number(k)));
            rows += "<w:tr>" + cell(paragraph(run("Row " + QByteArray::number(i)))) + cell(lines) + "</w:tr>";
        }
        const QByteArray table = ruledTable(rows);
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(zipParts(package(document(table))), "heading.docx"));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        QCOMPARE(s.copy.pageCount(), 2);
        const auto second = record(s, 1);
        const auto heading = second->textsStarting(QStringLiteral("Heading"));
        const auto below = second->textsStarting(QStringLiteral("Second"));
        const auto goingOn = second->textsStarting(QStringLiteral("Line 4."));
        QCOMPARE(heading.size(), size_t(1));
        QCOMPARE(below.size(), size_t(1));
        // The row that runs on goes on below the heading, which stays at the page's top.
        QVERIFY(goingOn.size() >= 2 && goingOn.size() < 12);
        QVERIFY(heading.front().baseline.y() - s.bodyTop() < twipsToLayout(300));
        const double headingLine = heading.front().baseline.y(), secondLine = below.front().baseline.y();
        QVERIFY(goingOn.front().baseline.y() > secondLine);
        // The rules across the table on page 2, top to bottom, down to the next row.
        const double nextRow = second->textsStarting(QStringLiteral("Row 5")).front().baseline.y();
        std::vector<double> across;
        for (const Recorder::Line& l : second->lines)
            if (l.line.dy() == 0 && qAbs(l.line.dx()) > twipsToLayout(7000) && l.line.y1() < nextRow)
                across.push_back(l.line.y1());
        std::sort(across.begin(), across.end());
        QCOMPARE(across.size(), size_t(3));
        QVERIFY(across[0] < headingLine && across[0] > headingLine - twipsToLayout(300));
        QVERIFY2(across[1] > secondLine && across[1] < goingOn.front().baseline.y() - twipsToLayout(150),
                 qPrintable(QStringLiteral("%1 %2").arg(across[1]).arg(secondLine)));
        QVERIFY(across[2] > goingOn.back().baseline.y());
        // The side rules start on those rules, none at the page's top above the heading.
        for (const Recorder::Line& l : second->lines) {
            const double start = qMin(l.line.y1(), l.line.y2());
            if (l.line.dx() == 0 && start < nextRow)
                QVERIFY2(
                    std::any_of(across.begin(), across.end(), [&](double y) { return qAbs(start - y) < 2; }),
                    qPrintable(QString::number(start)));
        }
    }

    void rowsKeptTogether() {
        // Rows of five lines each, thirty of them: some row reaches over the first page's end. A row that
        // must not break (\trkeep) goes on to the next page whole, where one that may breaks there.
        const auto table = [](const QByteArray& keep) {
            QByteArray body;
            for (int i = 1; i <= 30; ++i)
                body += "\\trowd\\trgaph108\\trleft0" + keep + ruledCell(4000) + ruledCell(8000) +
                        "\\pard\\intbl Row " + QByteArray::number(i) +
                        "\\par two\\par three\\par four\\par End " + QByteArray::number(i) +
                        "\\cell x\\cell \\row ";
            return showWord(body + "\\pard After\\par ");
        };
        // The pages that a row's first and last line print on.
        const auto pagesOf = [](const Shown& s) {
            std::map<QString, int> page;
            for (int p = 0; p < s.copy.pageCount(); ++p) {
                const auto drawn = record(s, p);
                for (const Recorder::Text& t : drawn->texts)
                    page[t.text.trimmed()] = p;
            }
            return page;
        };
        const auto brokenRows = [&](const Shown& s) {
            const std::map<QString, int> page = pagesOf(s);
            int broken = 0;
            for (int i = 1; i <= 30; ++i) {
                const auto first = page.find(QStringLiteral("Row %1").arg(i));
                const auto last = page.find(QStringLiteral("End %1").arg(i));
                if (first == page.end() || last == page.end())
                    return -1;
                broken += first->second != last->second;
            }
            return broken;
        };
        QVERIFY(brokenRows(table({})) > 0);
        const Shown kept = table("\\trkeep");
        QCOMPARE(brokenRows(kept), 0);
        // The last row on the first page is ruled below its own text, not at the page's end where Qt's
        // row now ends.
        const auto first = record(kept, 0);
        double lastText = 0, lowestRule = 0;
        for (const Recorder::Text& t : first->texts)
            if (t.text.startsWith(QLatin1String("End")))
                lastText = qMax(lastText, t.baseline.y());
        for (const Recorder::Line& l : first->lines)
            if (l.line.dy() == 0)
                lowestRule = qMax(lowestRule, l.line.y1());
        QVERIFY(lastText > 0);
        QVERIFY2(lowestRule > lastText && lowestRule - lastText < twipsToLayout(200),
                 qPrintable(QStringLiteral("%1 %2").arg(lowestRule).arg(lastText)));
        // The next page opens with the row that did not fit, at its top.
        const auto second = record(kept, 1);
        double top = std::numeric_limits<double>::max();
        for (const Recorder::Text& t : second->texts)
            top = qMin(top, t.baseline.y());
        QVERIFY2(top - kept.bodyTop() < twipsToLayout(400),
                 qPrintable(QStringLiteral("%1 %2").arg(top).arg(kept.bodyTop())));
    }

    void emptyLineBeforeTable() {
        // An empty paragraph between a caption and a table keeps its line.
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + "\\pard\\intbl Cell\\cell \\row ";
        const Shown spaced = showWord("\\pard Caption\\par \\par " + row + "\\pard After\\par ");
        const Shown close = showWord("\\pard Caption\\par " + row + "\\pard After\\par ");
        const auto gap = [](const Shown& s) {
            return cellText(s, firstTable(*s.copy.body), 0, 0).top() -
                   onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Caption"))).top();
        };
        const QTextBlock caption = blockStarting(*spaced.copy.body, QStringLiteral("Caption"));
        const double line = caption.layout()->lineAt(0).height();
        QVERIFY2(qAbs(gap(spaced) - gap(close) - line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap(spaced)).arg(gap(close))));
        QVERIFY(gap(close) < line + twipsToLayout(40));
    }

    void emptyLineAfterTable() {
        // An empty paragraph straight after a table keeps its line, as one before it does (Qt would lay
        // it behind the table).
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + "\\pard\\intbl Cell\\cell \\row ";
        const auto gap = [&](const QByteArray& between) {
            const Shown s = showWord("\\pard Caption\\par " + row + "\\pard " + between + "After\\par ");
            return onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After"))).top() -
                   cellText(s, firstTable(*s.copy.body), 0, 0).top();
        };
        const Shown one = showWord("\\pard Line\\par Next\\par ");
        const double line = onSheet(one, blockStarting(*one.copy.body, QStringLiteral("Next"))).top() -
                            onSheet(one, blockStarting(*one.copy.body, QStringLiteral("Line"))).top();
        QVERIFY2(qAbs(gap("\\par ") - gap("") - line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap("\\par ")).arg(gap(""))));
        QVERIFY2(qAbs(gap("\\par \\par ") - gap("") - 2 * line) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap("\\par \\par ")).arg(gap(""))));
        // Its space above stands between the table and its line once, as LibreOffice sets it, and its
        // space below after that line; so it does at any line height.
        QVERIFY2(qAbs(gap("\\sb480\\par \\pard ") - gap("") - line - twipsToLayout(480)) < 1.5,
                 qPrintable(QStringLiteral("%1 %2").arg(gap("\\sb480\\par \\pard ")).arg(gap(""))));
        QVERIFY2(qAbs(gap("\\sb480\\sa240\\par \\pard ") - gap("") - line - twipsToLayout(720)) < 1.5,
                 qPrintable(QStringLiteral("%1").arg(gap("\\sb480\\sa240\\par \\pard "))));
        QVERIFY2(qAbs(gap("\\sb480\\sl-600\\slmult0\\par \\pard ") - gap("") - twipsToLayout(1080)) < 1.5,
                 qPrintable(QStringLiteral("%1").arg(gap("\\sb480\\sl-600\\slmult0\\par \\pard "))));
    }

    void spacedEmptyLineAfterTableAtPageFoot() {
        // A table of 43 rows of 280 twips ends less than the empty paragraph's 120 twips of space above
        // it short of the page's foot: that paragraph opens the second page, without the space, and the
        // small table and "End" follow it there, as LibreOffice sets them; no page is left empty.
        QByteArray rows;
        for (int i = 0; i < 43; ++i)
            rows +=
                "\\trowd\\trgaph108\\trleft0\\trrh-280" + ruledCell(4000) + "\\pard\\intbl Row\\cell \\row ";
        for (const int left : {20, 60, 96}) {
            const QByteArray top = QByteArray::number(12960 - 43 * 280 - left);
            const Shown s = showWord("\\pard\\sl-" + top + "\\slmult0 Top\\par " + rows +
                                     "\\pard\\sb120\\par \\trowd\\trgaph108\\trleft0\\cellx4000\\pard\\intbl "
                                     "Small\\cell \\row \\pard End\\par ");
            QCOMPARE(s.copy.pageCount(), 2);
            const auto second = record(s, 1);
            const double small = baselineOf(*second, QStringLiteral("Small"));
            // The empty line's height above the small table's first line, and no space.
            QVERIFY2(small > 0 && small - s.bodyTop() < twipsToLayout(276 + 276),
                     qPrintable(QStringLiteral("%1: %2").arg(left).arg(small - s.bodyTop())));
            QVERIFY(baselineOf(*second, QStringLiteral("End")) > small);
        }
    }

    void emptyLineAfterClosingTable() {
        // A letter's empty paragraph after its closing table keeps its line, as Word's does: a table that
        // leaves less room than a line at the page's foot sends it on to a page of its own. A label sheet
        // lets it take no room, so that a sheet that fills its page stays one page.
        const auto pages = [](int rowTwips, const QByteArray& mailMerge) {
            QByteArray rows;
            for (int i = 0; i < 21; ++i)
                rows += "\\trowd\\trgaph108\\trrh-" + QByteArray::number(rowTwips) + ruledCell(4000) +
                        "\\pard\\intbl Label\\cell \\row ";
            const auto t = std::make_shared<const Template>(readRtf(
                "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}}\\paperw12240\\paperh15840"
                "\\margl1440\\margr1440\\margt1440\\margb1440 " +
                    mailMerge + rows + "\\pard\\par }",
                QStringLiteral("sheet.rtf")));
            return Merger(t, nullptr).next().pageCount();
        };
        const QByteArray labels = "{\\*\\mailmerge \\mmmaintypelabels}";
        // 21 rows of 612 twips leave 108 twips of the page's 12960; of 600, 360.
        QCOMPARE(pages(612, {}), 2);
        QCOMPARE(pages(600, {}), 1);
        QCOMPARE(pages(612, labels), 1);
    }

    void emptyLineAfterTableInFooter() {
        // A footer's empty paragraph after its table keeps its line, as one with text does: the footer
        // grows up from its foot by that line, and the table stands as high in both. A footer that ends
        // with its table stands as high as with a plain empty paragraph after it, as LibreOffice sets it,
        // whatever the paragraph before the table said.
        const QByteArray row =
            "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + "\\pard\\intbl Cell\\cell \\row ";
        const auto cellBaseline = [&](const QByteArray& after) {
            const Shown s = showWord("{\\footer " + row + after + "}\\pard Body\\par ");
            return baselineOf(*record(s, 0), QStringLiteral("Cell"));
        };
        const double empty = cellBaseline("\\pard\\par ");
        const double text = cellBaseline("\\pard Last\\par ");
        const double none = cellBaseline("");
        QVERIFY(empty > 0 && text > 0);
        QVERIFY2(qAbs(empty - text) < 1, qPrintable(QStringLiteral("%1 %2").arg(empty).arg(text)));
        QVERIFY2(qAbs(none - empty) < 1, qPrintable(QStringLiteral("%1 %2").arg(none).arg(empty)));
        const Shown spaced =
            showWord("{\\footer \\pard\\sa400\\sl480\\slmult1 " + row + "}\\pard Body\\par ");
        const double after = baselineOf(*record(spaced, 0), QStringLiteral("Cell"));
        QVERIFY2(qAbs(after - empty) < 1, qPrintable(QStringLiteral("%1 %2").arg(after).arg(empty)));
        // That closing line is set in the letters of the footer's own group, not those of a group in it,
        // and at the default style's line spacing: Word's footers name their size at the group's start.
        const auto closing = [&](const QByteArray& head, const QByteArray& styles) {
            const Shown s = showWord(styles + "{\\footer " + head + row + "}\\pard Body\\par ");
            return baselineOf(*record(s, 0), QStringLiteral("Cell"));
        };
        const double large = closing("\\fs48 ", {});
        const double nested = closing("{\\fs48 }", {});
        const double doubled = closing({}, "{\\stylesheet{\\sl480\\slmult1 Normal;}}");
        QVERIFY2(none - large > twipsToLayout(200), qPrintable(QStringLiteral("%1 %2").arg(none).arg(large)));
        QVERIFY2(qAbs(nested - none) < 1, qPrintable(QStringLiteral("%1 %2").arg(nested).arg(none)));
        QVERIFY2(none - doubled > twipsToLayout(200),
                 qPrintable(QStringLiteral("%1 %2").arg(none).arg(doubled)));
    }

    // A Word table inside a cell of another: "Outer above", a table of two rows and two cells ruled
    // 1.5 points, "Outer below" in the first cell. The outer row's definition stands only before its
    // cells, so the nested rows' own definitions must not replace it.
    void nestedTableInRtfCell() {
        const QByteArray inner = "\\trowd\\trgaph108\\trleft0\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3" +
                                 ruledCell(2000, 30) + ruledCell(4000, 30);
        const auto innerRow = [&](const char* a, const char* b) {
            return "\\pard\\intbl\\itap2 " + QByteArray(a) + "\\nestcell " + b +
                   "\\nestcell \\pard\\intbl\\itap2 {\\*\\nesttableprops" + inner +
                   "\\nestrow}{\\nonesttables\\par}";
        };
        const Shown s = showWord(
            "\\pard Before\\par \\trowd\\trgaph108\\trleft0\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3" +
            ruledCell(4500) + ruledCell(9000) + "\\pard\\intbl Outer above\\par " +
            innerRow("Inner one", "Inner two") + innerRow("Inner three", "Inner four") +
            "\\pard\\intbl\\itap1 Outer below\\cell Outer right\\cell \\row \\pard After\\par ");
        QCOMPARE(s.t->body.blocks.size(), size_t(3));
        const Table& outer = std::get<Table>(s.t->body.blocks[1]);
        QCOMPARE(outer.rows.size(), size_t(1));
        QCOMPARE(outer.rows[0].cells.size(), size_t(2));
        QCOMPARE(outer.rows[0].cells[0].rightTwips, 4500 - 108);
        QCOMPARE(outer.rows[0].cells[1].rightTwips, 9000 - 108);
        const Cell& holder = outer.rows[0].cells[0];
        QCOMPARE(holder.paragraphs.size(), size_t(2));
        QCOMPARE(holder.paragraphs[1].runs.front().text, QStringLiteral("Outer below"));
        QCOMPARE(holder.tables.size(), size_t(1));
        QCOMPARE(holder.tables[0].before, size_t(1));
        const Table& nested = holder.tables[0].table;
        QCOMPARE(nested.rows.size(), size_t(2));
        QCOMPARE(nested.rows[1].cells.size(), size_t(2));
        QCOMPARE(nested.rows[1].cells[1].paragraphs.front().runs.front().text, QStringLiteral("Inner four"));
        // Inside a cell the nested row's edge, not its text, stands at \trleft.
        QCOMPARE(nested.rows[0].leftTwips, 0);
        QCOMPARE(nested.rows[0].cells[0].rightTwips, 2000);
        QVERIFY(outer.rows[0].cells[1].tables.empty());

        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({1, 2}));
        QTextTable* inside = nullptr;
        for (QTextFrame* f : table->childFrames())
            if (auto* t = qobject_cast<QTextTable*>(f))
                inside = t;
        QVERIFY(inside);
        QCOMPARE(QList<int>({inside->rows(), inside->columns()}), QList<int>({2, 2}));
        const QRectF above = cellText(s, table, 0, 0);
        QCOMPARE(table->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("Outer above"));
        const QRectF one = cellText(s, inside, 0, 0), two = cellText(s, inside, 0, 1),
                     three = cellText(s, inside, 1, 0);
        const QRectF below = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Outer below")));
        const QRectF right = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Outer right")));
        // Down the first cell: its first paragraph, the nested rows, its last paragraph, in that order
        // and without overlapping; the cell beside it starts level with the first.
        QVERIFY2(one.top() >= above.bottom() && three.top() >= one.bottom() && below.top() >= three.bottom(),
                 qPrintable(QStringLiteral("%1 %2 %3 %4")
                                .arg(above.bottom())
                                .arg(one.top())
                                .arg(three.top())
                                .arg(below.top())));
        QVERIFY(qAbs(right.top() - above.top()) < 0.5);
        // The nested cells' text starts its left padding and half its 1.5-point rule in from the outer
        // cell's text; the second nested column 2000 twips further on.
        QVERIFY2(qAbs(one.left() - above.left() - twipsToLayout(108 + 15)) < 1.5,
                 qPrintable(QString::number(one.left() - above.left())));
        QVERIFY2(qAbs(two.left() - one.left() - twipsToLayout(2000)) < 1.5,
                 qPrintable(QString::number(two.left() - one.left())));
        QVERIFY(right.left() > two.right());
        // The nested cells draw their own 1.5-point rules, once each, on their left edges; the outer
        // table its half-point ones.
        const auto drawn = record(s, 0);
        const double innerEdge = one.left() - twipsToLayout(108 + 15);
        const auto innerLeft = linesAt(*drawn, Qt::Vertical, innerEdge);
        QVERIFY2(!innerLeft.empty(), qPrintable(QString::number(innerEdge)));
        for (const Recorder::Line& l : innerLeft)
            QCOMPARE(l.width, twipsToLayout(30));
        double ruled = 0;
        for (const Recorder::Line& l : innerLeft)
            ruled += qAbs(l.line.dy());
        QVERIFY2(qAbs(ruled - (three.bottom() - one.top())) < twipsToLayout(200),
                 qPrintable(QString::number(ruled)));
        int thin = 0;
        for (const Recorder::Line& l : drawn->lines)
            thin += l.width == twipsToLayout(10) && l.line.dx() == 0 && l.line.x1() > two.right();
        QVERIFY(thin >= 2); // the outer cells' shared edge and the table's right edge
    }

    // A table first in its cell, three deep: the cell keeps its own first line, of no height, so that
    // its edges are measured from the cell and not from the table inside it.
    void nestedTableFirstInCell() {
        const QByteArray inner = "{\\*\\nesttableprops\\trowd\\trgaph108\\trleft0" + ruledCell(1500) +
                                 "\\nestrow}{\\nonesttables\\par}";
        const QByteArray deepest = "{\\*\\nesttableprops\\trowd\\trgaph108\\trleft0" + ruledCell(1000) +
                                   "\\nestrow}{\\nonesttables\\par}";
        const Shown s = showWord("\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + ruledCell(8000) +
                                 "\\pard\\intbl\\itap3 Deep\\nestcell \\pard\\intbl\\itap3 " + deepest +
                                 "\\pard\\intbl\\itap2 Middle\\nestcell \\pard\\intbl\\itap2 " + inner +
                                 "\\pard\\intbl\\itap1 Last\\cell Beside\\cell \\row \\pard After\\par ");
        const Table& outer = std::get<Table>(s.t->body.blocks[0]);
        const Cell& holder = outer.rows[0].cells[0];
        QCOMPARE(holder.tables.size(), size_t(1));
        QCOMPARE(holder.tables[0].before, size_t(0));
        const Cell& middle = holder.tables[0].table.rows[0].cells[0];
        QCOMPARE(middle.paragraphs.back().runs.front().text, QStringLiteral("Middle"));
        QCOMPARE(middle.tables.size(), size_t(1));
        QCOMPARE(middle.tables[0].table.rows[0].cells[0].paragraphs.front().runs.front().text,
                 QStringLiteral("Deep"));

        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QVERIFY(!QTextCursor(table->cellAt(0, 0).firstCursorPosition())
                     .currentTable()
                     ->parentFrame()
                     ->inherits("QTextTable"));
        const QRectF beside = cellText(s, table, 0, 1);
        const QRectF deep = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Deep")));
        const QRectF last = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Last")));
        // Each table in its row stands half a point of rule below the one around it.
        QVERIFY2(deep.top() >= beside.top() && deep.top() < beside.top() + twipsToLayout(60),
                 qPrintable(QString::number(deep.top() - beside.top())));
        QVERIFY(last.top() > deep.bottom());
        // The first cell's rules still run from the table's top to below "Last", at its own edges.
        const auto drawn = record(s, 0);
        const double edge = beside.left() - twipsToLayout(108);
        double down = 0;
        for (const Recorder::Line& l : linesAt(*drawn, Qt::Vertical, edge))
            down += qAbs(l.line.dy());
        QVERIFY2(down > last.bottom() - beside.top(), qPrintable(QString::number(down)));
    }

    void nestedTableInDocxCell() {
        using namespace docxsamples;
        const QByteArray rules =
            "<w:tblBorders><w:top w:val=\"single\" w:sz=\"8\"/><w:left w:val=\"single\" "
            "w:sz=\"8\"/><w:bottom w:val=\"single\" w:sz=\"8\"/><w:right w:val=\"single\" "
            "w:sz=\"8\"/><w:insideH w:val=\"single\" w:sz=\"8\"/><w:insideV "
            "w:val=\"single\" w:sz=\"8\"/></w:tblBorders>";
        const auto cell = [](int width, const QByteArray& content) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"" + QByteArray::number(width) +
                   "\" w:type=\"dxa\"/></w:tcPr>" + content + "</w:tc>";
        };
        const QByteArray inner = "<w:tbl><w:tblPr>" + rules +
                                 "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol "
                                 "w:w=\"2000\"/></w:tblGrid><w:tr>" +
                                 cell(2000, paragraph(run("Inner one"))) +
                                 cell(2000, paragraph(run("Inner two"))) + "</w:tr></w:tbl>";
        const QByteArray outer =
            "<w:tbl><w:tblPr>" + rules +
            "</w:tblPr><w:tblGrid><w:gridCol w:w=\"4500\"/><w:gridCol "
            "w:w=\"4500\"/></w:tblGrid><w:tr>" +
            cell(4500, paragraph(run("Outer above")) + inner + paragraph(run("Outer below"))) +
            cell(4500, paragraph(run("Outer right"))) + "</w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(run("Before")) + outer + paragraph(run("After"))))),
                     QStringLiteral("nested.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        QCOMPARE(s.t->body.blocks.size(), size_t(3));
        const Cell& holder = std::get<Table>(s.t->body.blocks[1]).rows[0].cells[0];
        QCOMPARE(holder.paragraphs.size(), size_t(2));
        QCOMPARE(holder.tables.size(), size_t(1));
        QCOMPARE(holder.tables[0].before, size_t(1));
        // Inside a cell the nested table's edge stands at its indent, the cell's text edge; its text its
        // padding and half its 1-point rule further in.
        QCOMPARE(holder.tables[0].table.rows[0].leftTwips, 0);
        const QTextBlock aboveBlock = blockStarting(*s.copy.body, QStringLiteral("Outer above"));
        const QTextBlock oneBlock = blockStarting(*s.copy.body, QStringLiteral("Inner one"));
        const QRectF above = onSheet(s, aboveBlock);
        const QRectF one = onSheet(s, oneBlock);
        const QRectF two = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Inner two")));
        const QRectF below = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Outer below")));
        QVERIFY(one.top() > roomFoot(s, aboveBlock) && below.top() > roomFoot(s, oneBlock));
        QVERIFY(qAbs(two.top() - one.top()) < 0.5);
        QVERIFY2(qAbs(one.left() - above.left() - twipsToLayout(108 + 10)) < 1.5,
                 qPrintable(QString::number(one.left() - above.left())));
        // The nested table's rules are drawn: its cells' shared edge, 2000 twips from its left.
        const auto drawn = record(s, 0);
        const auto shared =
            linesAt(*drawn, Qt::Vertical, one.left() - twipsToLayout(108 + 10) + twipsToLayout(2000));
        QVERIFY(!shared.empty());
        for (const Recorder::Line& l : shared)
            QVERIFY(qMin(l.line.y1(), l.line.y2()) > roomFoot(s, aboveBlock) - 1 &&
                    qMax(l.line.y1(), l.line.y2()) < below.top() + 1);
    }

    // An empty paragraph between a table in a cell and the cell's next text keeps its line, as one
    // after a table in the body does; one that only closes the cell takes no room.
    void emptyLineAfterNestedTable() {
        using namespace docxsamples;
        const auto cell = [](int width, const QByteArray& content) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"" + QByteArray::number(width) +
                   "\" w:type=\"dxa\"/></w:tcPr>" + content + "</w:tc>";
        };
        const QByteArray inner = "<w:tbl><w:tblGrid><w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr>" +
                                 cell(2000, paragraph(run("Inner"))) + "</w:tr></w:tbl>";
        const auto show = [&](const QByteArray& afterInner) {
            const QByteArray outer = "<w:tbl><w:tblGrid><w:gridCol w:w=\"4500\"/></w:tblGrid><w:tr>" +
                                     cell(4500, paragraph(run("Above")) + inner + afterInner) +
                                     "</w:tr></w:tbl>";
            Shown s;
            s.t = std::make_shared<const Template>(readDocx(
                zipParts(package(document(outer + paragraph(run("After"))))), QStringLiteral("nested.docx")));
            s.copy = Merger(s.t, nullptr).next();
            s.copy.body->documentLayout()->documentSize();
            return s;
        };
        const auto top = [](const Shown& s, const char* text) {
            return onSheet(s, blockStarting(*s.copy.body, QString::fromLatin1(text))).top();
        };
        const Shown close = show(paragraph(run("Below")));
        const Shown spaced = show("<w:p/>" + paragraph(run("Below")));
        const QTextBlock above = blockStarting(*close.copy.body, QStringLiteral("Above"));
        const double line = roomFoot(close, above) - onSheet(close, above).top();
        const double gap = top(spaced, "Below") - top(close, "Below");
        QVERIFY2(qAbs(gap - line) < 1.5, qPrintable(QStringLiteral("%1 %2").arg(gap).arg(line)));
        // The empty paragraph that ends the cell: the table below the row follows the nested table.
        const Shown closing = show("<w:p/>");
        const double rest = top(closing, "After") - top(closing, "Inner");
        QVERIFY2(rest < 2 * line, qPrintable(QStringLiteral("%1 %2").arg(rest).arg(line)));
        // Nor does the space after it.
        const Shown spacedClosing = show("<w:p><w:pPr><w:spacing w:after=\"400\"/></w:pPr></w:p>");
        const double spacedRest = top(spacedClosing, "After") - top(spacedClosing, "Inner");
        QVERIFY2(qAbs(spacedRest - rest) < 1, qPrintable(QStringLiteral("%1 %2").arg(spacedRest).arg(rest)));
    }

    // A LibreOffice letter whose table of offers runs on to a second page: LibreOffice 7.4 ends page 1
    // with "Model 31" and starts page 2 with "Model 32", its rule on the top margin. The space after
    // the paragraph above the table stays above it, on the first page only.
    void tableRunsOnToTheNextPage() {
        const Shown s = show("table-over-break.rtf");
        QCOMPARE(s.copy.pageCount(), 2);
        const QTextDocument& doc = *s.copy.body;
        const double pageHeight = doc.pageSize().height();
        QTextTable* table = firstTable(doc);
        QVERIFY(table);
        int firstOnTwo = -1;
        for (int r = 0; r < table->rows() && firstOnTwo < 0; ++r)
            if (doc.documentLayout()
                    ->blockBoundingRect(table->cellAt(r, 0).firstCursorPosition().block())
                    .top() >= pageHeight)
                firstOnTwo = r;
        QVERIFY(firstOnTwo > 0);
        QCOMPARE(table->cellAt(firstOnTwo, 0).firstCursorPosition().block().text(),
                 QStringLiteral("Model 32"));
        // The row's rule stands wholly on page 2, at its top: its cell's text a rule and the row's (no)
        // padding below the text area's top.
        const auto drawn = record(s, 1);
        const double rowTop =
            doc.documentLayout()
                ->blockBoundingRect(table->cellAt(firstOnTwo, 0).firstCursorPosition().block())
                .top() -
            pageHeight;
        QVERIFY2(rowTop < twipsToLayout(30), qPrintable(QString::number(rowTop)));
        double topRule = 1e9, edge = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && l.line.y1() < topRule) {
                topRule = l.line.y1();
                edge = l.line.y1() - l.width / 2;
            }
        QVERIFY2(edge >= s.bodyTop() - 0.01 && edge < s.bodyTop() + 1,
                 qPrintable(QString::number(edge - s.bodyTop())));
        // Page 1 draws no rule at or past its text area's foot, not even half of page 2's first.
        const auto first = record(s, 0);
        const double foot = s.bodyTop() + pageHeight;
        for (const Recorder::Line& l : first->lines)
            QVERIFY2(qMin(l.line.y1(), l.line.y2()) < foot - 0.01 || l.line.dy() != 0,
                     qPrintable(QString::number(l.line.y1())));
        // On page 1, 12 points (\\sa240) between the paragraph above and the table's first rule.
        const QRectF above = onSheet(s, blockStarting(doc, QStringLiteral("These are")));
        const double tableTop = cellText(s, table, 0, 0).top();
        QVERIFY2(qAbs(tableTop - above.bottom() - twipsToLayout(240)) < twipsToLayout(30),
                 qPrintable(QString::number(tableTop - above.bottom())));
    }

    void rowRunningOnClosesAtItsTextFoot() {
        // A ruled row whose text runs on to the next page ends, on the first, just below its last line
        // there, with its bottom rule, as LibreOffice draws it; its side rules end there, not at the
        // page's end, and go on from the next page's top, where its top rule opens it again.
        QByteArray body = "\\pard\\plain\\sa5000 Above\\par\\trowd\\trgaph70" + ruledCell(4000);
        for (int i = 1; i <= 40; ++i)
            body += "\\pard\\plain\\intbl Line " + QByteArray::number(i) + (i < 40 ? "\\par" : "\\cell\\row");
        const Shown s = showWord(body);
        QCOMPARE(s.copy.pageCount(), 2);
        const auto first = record(s, 0);
        double lastBaseline = -1;
        for (const Recorder::Text& t : first->texts)
            if (t.text.startsWith(QStringLiteral("Line")))
                lastBaseline = qMax(lastBaseline, t.baseline.y());
        QVERIFY(lastBaseline > 0);
        const double foot = s.bodyTop() + s.copy.body->pageSize().height();
        QVERIFY2(foot - lastBaseline > twipsToLayout(100), qPrintable(QString::number(foot - lastBaseline)));
        // The bottom rule: across the cell, below the last line's baseline by less than a line.
        double closing = -1;
        for (const Recorder::Line& l : first->lines)
            if (l.line.dy() == 0 && l.line.y1() > lastBaseline &&
                l.line.y1() < lastBaseline + twipsToLayout(240) && qAbs(l.line.dx()) > twipsToLayout(3000))
                closing = l.line.y1();
        QVERIFY2(closing > 0, qPrintable(QString::number(lastBaseline)));
        int sides = 0;
        for (const Recorder::Line& l : first->lines)
            if (l.line.dx() == 0) {
                ++sides;
                QVERIFY2(qMax(l.line.y1(), l.line.y2()) <= closing + 1,
                         qPrintable(QStringLiteral("%1 %2").arg(l.line.y2()).arg(closing)));
            }
        QCOMPARE(sides, 2);
        // On the next page the row opens at the text area's top with its top rule, its side rules
        // starting there.
        const auto second = record(s, 1);
        sides = 0;
        int tops = 0;
        for (const Recorder::Line& l : second->lines) {
            if (l.line.dx() == 0 && qAbs(qMin(l.line.y1(), l.line.y2()) - s.bodyTop()) < 1)
                ++sides;
            if (l.line.dy() == 0 && qAbs(l.line.y1() - s.bodyTop()) < 2 &&
                qAbs(l.line.dx()) > twipsToLayout(3000))
                ++tops;
        }
        QCOMPARE(sides, 2);
        QCOMPARE(tops, 1);
    }

    void longTableKeepsItsRowsExactPitch() {
        // Rows of one line stand as far apart as the lines of the text around them, plus the rule
        // between them, down the whole table: Qt's rounding of each row to whole layout pixels does not
        // add up, and no row ends below where its exact height puts it (11 and 12 points round the other
        // ways; the text's lines and the cells' are set to 1/64 of a pixel, apart).
        for (const QByteArray& size : {QByteArray("22"), QByteArray("24")}) {
            QByteArray body =
                "\\pard\\plain\\fs" + size + " First\\par\\pard\\plain\\fs" + size + " Second\\par";
            for (int i = 0; i < 36; ++i)
                body += "\\trowd\\trgaph70\\clbrdrt\\brdrs\\brdrw10\\clbrdrb\\brdrs\\brdrw10\\cellx4000"
                        "\\pard\\plain\\intbl\\fs" +
                        size + " Row\\cell\\row";
            body += "\\pard\\plain\\fs" + size + " After\\par";
            const Shown s = showRtf(body);
            const QTextDocument& doc = *s.copy.body;
            QTextTable* table = firstTable(doc);
            QVERIFY(table);
            QCOMPARE(table->rows(), 36);
            const auto top = [&](const QTextBlock& b) {
                return doc.documentLayout()->blockBoundingRect(b).top();
            };
            const double line = top(blockStarting(doc, QStringLiteral("Second"))) -
                                top(blockStarting(doc, QStringLiteral("First")));
            QVERIFY(line > 40);
            const double pitch = line + twipsToLayout(10);
            const double first = top(table->cellAt(0, 0).firstCursorPosition().block());
            for (int r = 1; r < table->rows(); ++r) {
                const double off = top(table->cellAt(r, 0).firstCursorPosition().block()) - first - r * pitch;
                QVERIFY2(off <= 0.5 && off > -1.5,
                         qPrintable(QStringLiteral("%1 pt, row %2: %3").arg(QString(size)).arg(r).arg(off)));
            }
        }
    }
};

QTEST_MAIN(TestTableFlow)
#include "tst_tableflow.moc"
