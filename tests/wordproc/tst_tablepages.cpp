// Table rows: the room their cells' text takes, where they end on each page and how they are ruled there;
// the columns their merged cells span.
#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QPainter>
#include <QtTest>
#include <map>

using namespace wordproc;
using namespace rendering;

namespace {

// Thirty rows of five lines each that must not break, padded as Word pads cells by default in a .docx
// (29 twips, which Qt's layout rounds): rows go on to the next page whole.
Shown keptRows() {
    QByteArray body;
    for (int i = 1; i <= 30; ++i)
        body += "\\trowd\\trgaph108\\trleft0\\trkeep\\trpaddt29\\trpaddft3\\trpaddb29\\trpaddfb3" +
                ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Row " + QByteArray::number(i) +
                "\\par two\\par three\\par four\\par End " + QByteArray::number(i) + "\\cell x\\cell \\row ";
    return showWord(body + "\\pard After\\par ");
}

// A row whose first cell runs on over pages: one paragraph of numbered words set 200 twips below the
// cell's top and 920 above its foot, its lines spaced as `spacing` says; the second cell holds six short
// paragraphs.
Shown longCell(const QByteArray& spacing = {}) {
    QByteArray words;
    for (int i = 0; i < 700; ++i)
        words += " w" + QByteArray::number(i);
    return showWord(
        "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl\\sb200\\sa920" +
        spacing + words +
        "\\cell \\pard\\intbl Short\\par b\\par c\\par d\\par e\\par f\\cell \\row \\pard After\\par ");
}

const Table& firstTableOf(const Template& t) {
    for (const Block& b : t.body.blocks)
        if (const Table* table = std::get_if<Table>(&b))
            return *table;
    qFatal("no table");
}

} // namespace

class TestTablePages : public QObject {
    Q_OBJECT

private slots:
    void rowMovedWholeLeavesNoRuleAtPageFoot() {
        // The row that opens the next page is ruled at its top there only: the page before ends with the
        // bottom rule of its own last row, below that row's text, and nothing lower.
        const Shown s = keptRows();
        QVERIFY(s.copy.pageCount() >= 2);
        const double foot = twipsToLayout(15840 - 1440);
        for (int page = 0; page + 1 < s.copy.pageCount(); ++page) {
            const auto drawn = record(s, page);
            double lastText = 0;
            for (const Recorder::Text& t : drawn->texts)
                if (t.text.startsWith(QLatin1String("End")))
                    lastText = qMax(lastText, t.baseline.y());
            QVERIFY(lastText > 0);
            for (const Recorder::Line& l : drawn->lines) {
                QVERIFY2(l.line.y1() < foot - 1 && l.line.y2() < foot - 1,
                         qPrintable(QStringLiteral("page %1: rule at %2..%3, foot %4")
                                        .arg(page)
                                        .arg(l.line.y1())
                                        .arg(l.line.y2())
                                        .arg(foot)));
                if (l.line.dy() == 0)
                    QVERIFY2(l.line.y1() < lastText + twipsToLayout(200),
                             qPrintable(QStringLiteral("page %1: rule at %2 below the text's end %3")
                                            .arg(page)
                                            .arg(l.line.y1())
                                            .arg(lastText)));
            }
        }
    }

    void rowsOfALeastHeightKeepItAfterRowsBeforeGoOn() {
        // Rows at least 1274 twips tall whose three short lines take less. Before the rows are fitted to
        // their height they fill one page and a half; fitted, three pages. The row that first ran over
        // the first page's end, with its cells' text on two pages, ends on the second page with the rows
        // before it gone on there too: it is as tall as they are, as the rows LibreOffice sets there.
        QByteArray body;
        for (int i = 1; i <= 25; ++i)
            body += "\\trowd\\trgaph108\\trleft0\\trrh1274" + ruledCell(3000) + ruledCell(8000) +
                    "\\pard\\intbl\\fs20 Row " + QByteArray::number(i) +
                    "\\cell a\\par b\\par c\\cell \\row ";
        const Shown s = showWord(body + "\\pard After\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        int rows = 0;
        for (int page = 0; page < s.copy.pageCount(); ++page) {
            const auto drawn = record(s, page);
            const std::vector<Recorder::Text> starts = drawn->textsStarting(QStringLiteral("Row "));
            rows += int(starts.size());
            for (size_t i = 1; i < starts.size(); ++i)
                QVERIFY2(starts[i].baseline.y() - starts[i - 1].baseline.y() > twipsToLayout(1274) - 1,
                         qPrintable(QStringLiteral("page %1: %2 only %3 below %4")
                                        .arg(page)
                                        .arg(starts[i].text)
                                        .arg(starts[i].baseline.y() - starts[i - 1].baseline.y())
                                        .arg(starts[i - 1].text)));
        }
        QCOMPARE(rows, 25);
    }

    void rowHeldOnOpensTheNextPageAtItsTop() {
        // A row that must go on whole is held there by an empty line that fills the row before down to
        // the page's end. Where Qt takes that line on to the next page after all (here: the end it is
        // told lies a hair beyond the one Qt breaks at), the row before would end there and the row
        // after it stand that far below the next page's top; the line is shortened until it stays.
        QTextDocument doc;
        doc.documentLayout()->setPaintDevice(layoutDevice());
        doc.setDocumentMargin(0);
        doc.setPageSize(QSizeF(1200, 900));
        QTextTableFormat tf;
        tf.setBorder(0);
        tf.setCellSpacing(0);
        tf.setCellPadding(0);
        QTextCursor cursor(&doc);
        QTextTable* table = cursor.insertTable(3, 1, tf);
        table->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("First row"));
        QTextCursor second = table->cellAt(1, 0).firstCursorPosition();
        second.insertText(QStringLiteral("Second row"));
        for (int i = 0; i < 3; ++i)
            second.insertText(QStringLiteral("\nline"));
        table->cellAt(2, 0).firstCursorPosition().insertText(QStringLiteral("Third row"));
        QAbstractTextDocumentLayout& layout = *doc.documentLayout();
        layout.documentSize();
        const auto top = [&](int row) {
            return layout.blockBoundingRect(table->cellAt(row, 0).firstCursorPosition().block()).top();
        };
        QVERIFY(top(1) < 300);
        QVERIFY(holdRowOn(*table, 1, 900 + 3));
        layout.documentSize();
        QVERIFY2(top(1) >= 900 && top(1) < 900 + 1,
                 qPrintable(QStringLiteral("second row at %1, the page ends at 900").arg(top(1))));
    }

    void shadedRowsEndAtTheirTextAtPageFoot() {
        // Shaded rows of one 20-point line under a 10-point paragraph: the 32nd starts 18 points above the
        // page's foot, too little for its line, and opens the next page. The 31st ends at its text; the
        // room below it on the first page stays blank, as LibreOffice leaves it. So does the room below a
        // row of two 10-point lines that must not break, which the first would fit.
        const auto rows = [](bool kept) {
            QByteArray out;
            for (int i = 1; i <= 40; ++i) {
                const QByteArray n = QByteArray::number(i);
                out +=
                    "\\trowd\\trgaph0\\trleft0" + QByteArray(kept && i == 32 ? "\\trkeep" : "") +
                    "\\clcbpat2\\cellx4000\\pard\\intbl" +
                    (kept && i == 32 ? "\\sl-200\\slmult0 Row 32\\par two" : "\\sl-400\\slmult0 Row " + n) +
                    "\\cell \\row ";
            }
            return out;
        };
        const double foot = twipsToLayout(15840 - 1440);
        for (const bool kept : {false, true}) {
            const Shown s =
                showWord("\\pard\\sl-200\\slmult0\\fs16 Above\\par " + rows(kept) + "\\pard After\\par ");
            const auto first = record(s, 0);
            QVERIFY(first->textsStarting(QStringLiteral("Row 32")).empty());
            QCOMPARE(record(s, 1)->texts.front().text, QStringLiteral("Row 32"));
            const double lastFoot =
                first->textsStarting(QStringLiteral("Row 3")).back().baseline.y() + twipsToLayout(120);
            const QImage page = sheet(s, 0);
            const QColor shade(255, 230, 153);
            QCOMPARE(page.pixelColor(px(twipsToLayout(1440 + 2000)), px(lastFoot - twipsToLayout(200))),
                     shade);
            for (double y = lastFoot; y < foot - 2; y += 4)
                QVERIFY2(
                    page.pixelColor(px(twipsToLayout(1440 + 2000)), px(y)) == QColor(Qt::white),
                    qPrintable(QStringLiteral("shaded at %1, last row's text ends %2").arg(y).arg(lastFoot)));
        }
    }

    void cellTextStandsItsMarginFromTheRulesMiddle() {
        // However wide a cell's side rules, its text starts its margin in from the middle of the left
        // one and keeps as wide as the margins leave it, as LibreOffice sets it: rows of no rules, of
        // thin rules, of three-point double rules and of a six-point rule, wider than the margin, all
        // start their text at one place and break it alike. So does the unruled cell beside, whose left
        // edge takes the first cell's right rule.
        QByteArray words;
        for (int i = 0; i < 40; ++i)
            words += " w" + QByteArray::number(i);
        QByteArray rows;
        for (const QByteArray& rule : {QByteArray(), QByteArray("\\brdrs\\brdrw10 "),
                                       QByteArray("\\brdrdb\\brdrw60 "), QByteArray("\\brdrs\\brdrw120 ")}) {
            QByteArray cell;
            if (!rule.isEmpty())
                for (const char* side : {"t", "l", "b", "r"})
                    cell += "\\clbrdr" + QByteArray(side) + rule;
            rows += "\\trowd\\trgaph108\\trleft0" + cell + "\\cellx4000\\cellx8000\\pard\\intbl" + words +
                    "\\cell Beside\\cell \\row \\pard\\par ";
        }
        const Shown s = showWord(rows);
        const auto drawn = record(s, 0);
        const std::vector<Recorder::Text> starts = drawn->textsStarting(QStringLiteral("w0"));
        QCOMPARE(starts.size(), size_t(4));
        QVERIFY(std::abs(starts[0].baseline.x() - twipsToLayout(1440)) < 1);
        for (const Recorder::Text& t : starts)
            QVERIFY2(std::abs(t.baseline.x() - starts[0].baseline.x()) < 1,
                     qPrintable(QStringLiteral("text at %1, unruled at %2")
                                    .arg(t.baseline.x())
                                    .arg(starts[0].baseline.x())));
        const std::vector<Recorder::Text> beside = drawn->textsStarting(QStringLiteral("Beside"));
        QCOMPARE(beside.size(), size_t(4));
        for (const Recorder::Text& t : beside)
            QVERIFY2(std::abs(t.baseline.x() - twipsToLayout(1440 + 4000)) < 1,
                     qPrintable(QStringLiteral("beside at %1").arg(t.baseline.x())));
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const int lines = table->cellAt(0, 0).firstCursorPosition().block().layout()->lineCount();
        QVERIFY(lines > 1);
        for (QTextFrame* f : s.copy.body->rootFrame()->childFrames())
            if (auto* t = qobject_cast<QTextTable*>(f))
                QCOMPARE(t->cellAt(0, 0).firstCursorPosition().block().layout()->lineCount(), lines);
    }

    void closingEmptyParagraphBeforeAMergedCellKeepsItsSpace() {
        // The row's cell ends 17 points above the page's foot, a cell merged down the column after it: its
        // last, empty paragraph, a 14-point line 14 points below the text above, does not fit there and
        // opens the next page, as LibreOffice sets the row, rather than fit without its space.
        const QByteArray exact = "\\pard\\intbl\\sl-280\\slmult0 ";
        QByteArray lines;
        for (int i = 1; i <= 44; ++i)
            lines += exact + "Line " + QByteArray::number(i) + "\\par ";
        const QByteArray row = "\\trowd\\trgaph0\\trleft0" + ruledCell(4000);
        const Shown s =
            showWord(row + ruledCell(8000, 10, "\\clvmgf") + exact + "Top\\cell Side\\cell \\row " + row +
                     ruledCell(8000, 10, "\\clvmrg") + lines +
                     "\\pard\\intbl\\sb280\\sl-280\\slmult0\\cell \\cell \\row \\pard After\\par ");
        const QTextDocument& doc = *s.copy.body;
        const QTextBlock last = blockStarting(doc, QStringLiteral("Line 44"));
        QVERIFY(last.isValid() && last.next().text().isEmpty());
        QCOMPARE(pageAt(lineRoomTop(last, 0), doc.pageSize().height()), 0);
        QCOMPARE(pageAt(lineRoomTop(last.next(), 0), doc.pageSize().height()), 1);
    }

    // A cell that runs on over pages fills each page down to its margin, keeps the space below its last
    // paragraph where it ends, and sets the space above its first at the top of every page, as
    // LibreOffice sets such a cell.
    void longCellFillsItsPagesAndKeepsItsSpaces() {
        const Shown s = longCell();
        const QTextDocument& doc = *s.copy.body;
        const QAbstractTextDocumentLayout* layout = doc.documentLayout();
        const double pageHeight = doc.pageSize().height();
        const QTextBlock words = blockStarting(doc, QStringLiteral("w0 "));
        const double top = layout->blockBoundingRect(words).top();
        const double shortTop = layout->blockBoundingRect(blockStarting(doc, QStringLiteral("Short"))).top();
        QVERIFY2(qAbs(top - shortTop - twipsToLayout(200)) < twipsToLayout(20),
                 qPrintable(QString::number(top - shortTop)));
        // Per page: the highest and lowest of the words' lines.
        std::map<int, std::pair<double, double>> pages;
        for (int i = 0; i < words.layout()->lineCount(); ++i) {
            const QTextLine line = words.layout()->lineAt(i);
            const double y = lineRoomTop(words, i);
            auto [it, added] = pages.try_emplace(pageAt(y, pageHeight), y, y + line.height());
            it->second.first = qMin(it->second.first, y);
            it->second.second = qMax(it->second.second, y + line.height());
        }
        QVERIFY(pages.size() >= 3);
        for (const auto& [page, span] : pages) {
            const double pageTop = page * pageHeight;
            if (page > pages.begin()->first)
                QVERIFY2(
                    qAbs(span.first - pageTop - twipsToLayout(200)) < twipsToLayout(40),
                    qPrintable(QStringLiteral("page %1 starts %2 down").arg(page).arg(span.first - pageTop)));
            if (page < pages.rbegin()->first)
                QVERIFY2(pageTop + pageHeight - span.second < twipsToLayout(400),
                         qPrintable(QStringLiteral("page %1 ends %2 above its foot")
                                        .arg(page)
                                        .arg(pageTop + pageHeight - span.second)));
        }
        // The paragraph after the table stands the space below the words' last line.
        const double after = layout->blockBoundingRect(blockStarting(doc, QStringLiteral("After"))).top();
        const double gap = after - pages.rbegin()->second.second;
        QVERIFY2(qAbs(gap - twipsToLayout(920)) < twipsToLayout(60), qPrintable(QString::number(gap)));
    }

    void longCellDrawsEachLineOnce() {
        // A page draws none of the lines the page before ends with above its own margin, where a PDF
        // would hold their words twice. Double spacing sets the lines lower in their rooms.
        const Shown s = longCell("\\sl480\\slmult1");
        for (int page = 1; page < s.copy.pageCount(); ++page) {
            const auto drawn = record(s, page);
            for (const Recorder::Text& t : drawn->texts)
                QVERIFY2(t.baseline.y() > twipsToLayout(1440),
                         qPrintable(QStringLiteral("page %1: text at %2").arg(page).arg(t.baseline.y())));
        }
    }

    void automaticSpacingKeepsOffCellEdges() {
        // Automatic spacing (14 points, as a web page's paragraphs have) stands between the paragraphs of
        // a cell, but neither above its first nor below its last, as LibreOffice sets a .docx; outside the
        // table it stays.
        using namespace docxsamples;
        const QByteArray before = "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:after=\"0\"/>";
        const QByteArray after = "<w:spacing w:after=\"100\" w:afterAutospacing=\"1\"/>";
        const QByteArray both = "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:after=\"100\" "
                                "w:afterAutospacing=\"1\"/>";
        const auto cell = [](const QByteArray& paragraphs) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"4000\" w:type=\"dxa\"/></w:tcPr>" + paragraphs + "</w:tc>";
        };
        const QByteArray table =
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr>" +
            cell(paragraph(run("First"), both) + paragraph(run("Middle"), both) +
                 paragraph(run("Last"), both)) +
            cell(paragraph(run("Alone"), both)) + "</w:tr></w:tbl>";
        const Template t = readDocx(zipParts(package(document(paragraph(run("Above"), after) + table +
                                                              paragraph(run("Below"), before)))),
                                    QStringLiteral("auto.docx"));
        const Table& read = firstTableOf(t);
        QCOMPARE(read.rows.size(), size_t(1));
        const std::vector<Paragraph>& paras = read.rows[0].cells.at(0).paragraphs;
        QCOMPARE(paras.size(), size_t(3));
        QCOMPARE(paras[0].format.beforeTwips, 0);
        QCOMPARE(paras[0].format.afterTwips, 280);
        QCOMPARE(paras[1].format.beforeTwips, 280);
        QCOMPARE(paras[1].format.afterTwips, 280);
        QCOMPARE(paras[2].format.beforeTwips, 280);
        QCOMPARE(paras[2].format.afterTwips, 0);
        const Paragraph& alone = read.rows[0].cells.at(1).paragraphs.at(0);
        QCOMPARE(alone.format.beforeTwips, 0);
        QCOMPARE(alone.format.afterTwips, 0);
        QCOMPARE(std::get<Paragraph>(t.body.blocks.front()).format.afterTwips, 280);
        QCOMPARE(std::get<Paragraph>(t.body.blocks.back()).format.beforeTwips, 280);
    }

    // Rows of a set height, at least or exactly, follow each other by that height, as in LibreOffice:
    // Qt's whole pixels do not add up down the page.
    void rowsOfASetHeightKeepTheirPitch() {
        for (const char* height : {"397", "-397"}) {
            QByteArray body;
            for (int i = 0; i < 30; ++i)
                body += "\\trowd\\trgaph108\\trleft0\\trrh" + QByteArray(height) + ruledCell(3000) +
                        ruledCell(6000) + "\\pard\\intbl R" + QByteArray::number(i) + "\\cell x\\cell \\row ";
            const Shown s = showWord(body + "\\pard After\\par ");
            QTextTable* table = firstTable(*s.copy.body);
            QVERIFY(table);
            const double first = cellText(s, table, 0, 0).top();
            for (int r : {10, 20, 29}) {
                const double off = cellText(s, table, r, 0).top() - first - r * twipsToLayout(397);
                QVERIFY2(qAbs(off) <= 1,
                         qPrintable(QStringLiteral("%1 row %2: %3").arg(height).arg(r).arg(off)));
            }
        }
    }
    // A narrow column at the left of merged cells (a row's gridBefore, or a ragged grid) keeps the width
    // the file gives it, however wide the merged cells' indents and letters: every edge right of it
    // stands where the file puts it, and the merged cells are ruled on their own edges only.
    void exactRowCutsALineAtItsFoot() {
        // A row of exactly 600 twips padded 200 below leaves its text 400: of three twelve-point lines the
        // second starts within them and shows down to there, cut, where it would stand uncut; the third,
        // starting below, is hidden.
        const Shown s =
            showWord("\\trowd\\trgaph108\\trleft0\\trrh-600\\trpaddb200\\trpaddfb3" + ruledCell(4000) +
                     "\\pard\\intbl\\fs24 First\\par Second\\par Third\\cell \\row \\pard After\\par ");
        const QTextDocument& doc = *s.copy.body;
        const auto alpha = [&](const char* word) {
            const QTextBlock b = blockStarting(doc, QLatin1String(word));
            return b.isValid() ? QTextCursor(b).charFormat().foreground().color().alpha() : -1;
        };
        QVERIFY(alpha("Second") > 0);
        QCOMPARE(alpha("Third"), 0);
        const auto drawn = record(s, 0);
        const auto first = drawn->textsStarting(QStringLiteral("First"));
        const auto second = drawn->textsStarting(QStringLiteral("Second"));
        QCOMPARE(int(first.size()), 1);
        QCOMPARE(int(second.size()), 1);
        const double pitch = blockStarting(doc, QStringLiteral("First")).layout()->lineAt(0).height();
        QVERIFY2(qAbs(second[0].baseline.y() - first[0].baseline.y() - pitch) < 1.5,
                 qPrintable(
                     QStringLiteral("%1 %2").arg(second[0].baseline.y() - first[0].baseline.y()).arg(pitch)));
        // The row keeps its height; no ink of the cut line between the text's foot and the row's.
        std::vector<double> across;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0)
                across.push_back(l.line.y1());
        std::sort(across.begin(), across.end());
        QVERIFY(!across.empty());
        const double top = across.front(), bottom = across.back();
        QVERIFY2(qAbs(bottom - top - twipsToLayout(600)) < 1.5, qPrintable(QString::number(bottom - top)));
        QImage sheet(qRound(twipsToLayout(12240)), qRound(twipsToLayout(15840)), QImage::Format_RGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        paintSheet(painter, s.copy, 0, s.t->page);
        painter.end();
        const auto inkBetween = [&](double from, double to) {
            const int left = qRound(twipsToLayout(1440 + 108)), right = qRound(twipsToLayout(1440 + 2500));
            for (int y = qRound(from); y < qRound(to); ++y)
                for (int x = left; x < right; ++x)
                    if (qGray(sheet.pixel(x, y)) < 128)
                        return true;
            return false;
        };
        const double foot = top + twipsToLayout(400);
        QVERIFY(inkBetween(foot - twipsToLayout(40), foot));
        QVERIFY(!inkBetween(foot + 2, bottom - 4));
    }

    void narrowColumnAtMergedCellsKeepsItsWidth() {
        using namespace docxsamples;
        const auto cell = [](int span, const QByteArray& content) {
            return "<w:tc><w:tcPr>" +
                   (span > 1 ? "<w:gridSpan w:val=\"" + QByteArray::number(span) + "\"/>" : QByteArray()) +
                   "</w:tcPr>" + content + "</w:tc>";
        };
        QByteArray rules = "<w:tblBorders>";
        for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"})
            rules +=
                QByteArray("<w:") + side + " w:val=\"single\" w:sz=\"6\" w:space=\"0\" w:color=\"000000\"/>";
        const QByteArray table =
            "<w:tbl><w:tblPr>" + rules +
            "</w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w=\"79\"/><w:gridCol w:w=\"489\"/><w:gridCol "
            "w:w=\"4472\"/><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr><w:trPr><w:gridBefore "
            "w:val=\"1\"/></w:trPr>" +
            cell(3, paragraph(run("Name"))) + "</w:tr><w:tr>" +
            cell(2, paragraph(run("1"), "<w:ind w:left=\"216\"/>")) + cell(1, paragraph(run("Crew"))) +
            cell(1, paragraph(run("x"))) + "</w:tr><w:tr>" + cell(4, paragraph(run("Across"))) +
            "</w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(
            zipParts(package(document(table + paragraph(run("After"))))), QStringLiteral("narrow.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const auto left = [&](const char* text) {
            return onSheet(s, blockStarting(*s.copy.body, QString::fromLatin1(text))).left();
        };
        const double across = left("Across");
        for (const auto& [text, edge] : {std::pair("Name", 79), std::pair("Crew", 568), std::pair("x", 5040)})
            QVERIFY2(
                qAbs(left(text) - across - twipsToLayout(edge)) < 1,
                qPrintable(QStringLiteral("%1: %2").arg(text).arg((left(text) - across) / twipsToLayout(1))));
        // The rule on the narrow column's right edge runs down the first row only.
        const QRectF name = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Name")));
        const QRectF crew = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Crew")));
        const auto drawn = record(s, 0);
        const double edge = across + twipsToLayout(79) - twipsToLayout(108);
        const std::vector<Recorder::Line> down = linesAt(*drawn, Qt::Vertical, edge);
        QVERIFY(!down.empty());
        for (const Recorder::Line& l : down)
            QVERIFY2(qMax(l.line.y1(), l.line.y2()) < crew.top() &&
                         qMin(l.line.y1(), l.line.y2()) < name.bottom(),
                     qPrintable(QStringLiteral("%1..%2").arg(l.line.y1()).arg(l.line.y2())));
    }

    // A row that leaves its last column out (gridAfter) is, in LibreOffice, as tall as an empty paragraph
    // of the document's own style and its spacing, which fills that column: 12 points of Times and 6
    // points above and below (and its rules), not its own small text alone. The filling draws no rule.
    void rowEndingShortIsAsTallAsAnEmptyParagraph() {
        using namespace docxsamples;
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New "
            "Roman\"/></w:rPr></w:rPrDefault></w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" "
            "w:styleId=\"Normal\"><w:name w:val=\"Normal\"/><w:pPr><w:spacing w:before=\"120\" "
            "w:after=\"120\"/></w:pPr><w:rPr><w:sz w:val=\"24\"/></w:rPr></w:style></w:styles>";
        const auto cell = [](const char* text) {
            return "<w:tc><w:tcPr><w:tcW w:w=\"3000\" w:type=\"dxa\"/></w:tcPr>" +
                   paragraph(run(text, "<w:sz w:val=\"10\"/>"), "<w:spacing w:before=\"0\" w:after=\"0\"/>") +
                   "</w:tc>";
        };
        const QByteArray rule = "w:val=\"single\" w:sz=\"4\" w:space=\"0\" w:color=\"000000\"/>";
        const QByteArray table = "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblLayout "
                                 "w:type=\"fixed\"/><w:tblBorders><w:top " +
                                 rule + "<w:left " + rule + "<w:bottom " + rule + "<w:right " + rule +
                                 "<w:insideH " + rule + "<w:insideV " + rule +
                                 "</w:tblBorders></w:tblPr><w:tblGrid><w:gridCol w:w=\"3000\"/><w:gridCol "
                                 "w:w=\"3000\"/></w:tblGrid><w:tr>" +
                                 cell("A1") + cell("A2") +
                                 "</w:tr><w:tr><w:trPr><w:gridAfter w:val=\"1\"/><w:wAfter w:w=\"3000\" "
                                 "w:type=\"dxa\"/><w:trHeight "
                                 "w:val=\"166\"/></w:trPr>" +
                                 cell("B1") + "</w:tr><w:tr>" + cell("C1") + cell("C2") + "</w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(
            zipParts(package(document(table + paragraph(run("After"))), {{"styles", "styles.xml", styles}})),
            QStringLiteral("short.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const auto top = [&](const char* text) {
            return onSheet(s, blockStarting(*s.copy.body, QString::fromLatin1(text))).top();
        };
        const double pitch = (top("C1") - top("B1")) / twipsToLayout(20);
        QVERIFY2(qAbs(pitch - 26.3) < 0.6, qPrintable(QString::number(pitch)));
        // The short row's rules down stop at its own cell's right edge.
        const auto drawn = record(s, 0);
        const double middle = (top("B1") + top("C1")) / 2;
        const double edge = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("A2"))).left();
        int down = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0 && qMin(l.line.y1(), l.line.y2()) < middle &&
                qMax(l.line.y1(), l.line.y2()) > middle) {
                ++down;
                QVERIFY2(l.line.x1() < edge,
                         qPrintable(QStringLiteral("rule at %1, cell at %2").arg(l.line.x1()).arg(edge)));
            }
        QCOMPARE(down, 2);
        // A row that claims more columns than the grid has keeps its own cells alone.
        QCOMPARE(std::get<Table>(s.t->body.blocks.front()).rows[1].cells.size(), size_t(2));
        const QByteArray over =
            QByteArray(table).replace("<w:gridAfter w:val=\"1\"/>", "<w:gridAfter w:val=\"2\"/>");
        const Template t = readDocx(zipParts(package(document(over), {{"styles", "styles.xml", styles}})),
                                    QStringLiteral("over.docx"));
        QCOMPARE(std::get<Table>(t.body.blocks.front()).rows[1].cells.size(), size_t(1));
    }
};

QTEST_MAIN(TestTablePages)
#include "tst_tablepages.moc"
