#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"
#include "wordproc/TurnedText.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

class TestTableRendering : public QObject {
    Q_OBJECT

private slots:
    void tableListsAndLeaders() {
        const Shown s = show("offers.rtf");
        const QTextDocument& doc = *s.copy.body;
        QTextTable* table = nullptr;
        for (QTextFrame* f : doc.rootFrame()->childFrames())
            table = table ? table : qobject_cast<QTextTable*>(f);
        QVERIFY(table);
        // The table hangs a cell gap left of the margin, so that the cells' text starts on the margin:
        // its rules are looked for there.
        const auto cellRect = [&](int row) {
            return onSheet(s, table->cellAt(row, 0).firstCursorPosition().block());
        };
        const double top = cellRect(0).top(), bottom = cellRect(table->rows() - 1).bottom();
        const QRectF frame(twipsToLayout(1440 - 108), top, twipsToLayout(9252 + 108), bottom - top);
        const QImage page = sheet(s, 0);
        // Borders along the table's outer edges and between its columns, the heading row shaded.
        const QRectF edgeBand(frame.left() - 2, frame.top() + 4, 6, frame.height() - 8);
        QVERIFY(ruleShare(page, edgeBand, Qt::Vertical) > 0.97);
        const double column = frame.left() + twipsToLayout(2891 + 108);
        QVERIFY(ruleShare(page, QRectF(column - 4, frame.top() + 4, 8, frame.height() - 8), Qt::Vertical) >
                0.97);
        QVERIFY(ruleShare(page, QRectF(frame.left() + 4, frame.bottom() - 4, frame.width() - 8, 6),
                          Qt::Horizontal) > 0.97);
        // Through the middle of a row's text no rule runs.
        QVERIFY(ruleShare(page, QRectF(frame.left() + 4, cellRect(1).center().y(), frame.width() - 8, 1),
                          Qt::Horizontal) < 0.5);
        const QColor heading = page.pixelColor(px(column) - 8, px(frame.top() + frame.height() / 8));
        QCOMPARE(heading, QColor(217, 217, 217));
        // The rules are half-point lines stroked on the cells' edges, not rectangles filled on whole
        // pixels. LibreOffice's PDF of offers.rtf has its rows' rules 98.05, 112.35, 126.65, 140.95 and
        // 155.25 pt from the sheet's top (Qt sets each row on whole layout pixels, a quarter point at
        // most); its columns' edges are where the file puts them.
        const auto drawn = record(s, 0);
        const auto distinct = [](QList<double> v) {
            std::sort(v.begin(), v.end());
            QList<double> out;
            for (double x : v)
                if (out.isEmpty() || x - out.last() > 0.05)
                    out << x;
            return out;
        };
        QList<double> across, down;
        for (const Recorder::Line& l : drawn->lines) {
            if (l.color != QColor(Qt::black) || !frame.adjusted(-8, -8, 8, 8).contains(l.line.center()))
                continue;
            QCOMPARE(l.width, twipsToLayout(10));
            (l.line.dy() == 0 ? across : down)
                << (l.line.dy() == 0 ? l.line.y1() : l.line.x1()) * 72 / kLayoutDpi;
        }
        const auto near = [](const QList<double>& ours, const QList<double>& theirs, double within) {
            QString out;
            for (qsizetype i = 0; i < qMax(ours.size(), theirs.size()); ++i)
                if (i >= ours.size() || i >= theirs.size() || qAbs(ours[i] - theirs[i]) > within)
                    out += QStringLiteral("%1 not %2; ").arg(ours.value(i, -1)).arg(theirs.value(i, -1));
            return out;
        };
        QCOMPARE(near(distinct(across), {98.05, 112.35, 126.65, 140.95, 155.25}, 0.25), QString());
        QCOMPARE(near(distinct(down), {66.6, 216.55, 366.55, 534.6}, 0.5), QString());
        for (const Recorder::Fill& f : drawn->fills)
            QVERIFY(f.color != QColor(Qt::black));
        // The space after the paragraph before the table and before the one after it stays.
        const QRectF before = onSheet(s, blockStarting(doc, QStringLiteral("Dear")));
        const QRectF after = onSheet(s, blockStarting(doc, QStringLiteral("Every offer")));
        QVERIFY(frame.top() - before.bottom() >= twipsToLayout(240) - 2);
        QVERIFY(after.top() - frame.bottom() >= twipsToLayout(240) - 2);

        // List items: marker at a quarter inch, text at half an inch (the hanging indent).
        for (const QString& item : {QStringLiteral("A full tank"), QStringLiteral("Call your")}) {
            bool seen = false;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                const int tab = int(b.text().indexOf(QLatin1Char('\t')));
                if (tab < 0 || !b.text().mid(tab + 1).startsWith(item))
                    continue;
                seen = true;
                QVERIFY2(qAbs(afterTab(b, tab) - twipsToLayout(720)) < 1, qPrintable(b.text()));
                QVERIFY(qAbs(b.layout()->lineAt(0).cursorToX(0) - twipsToLayout(360)) < 1);
            }
            QVERIFY2(seen, qPrintable(item));
        }

        // Leaders: dots up to the right-aligned price, a rule for \tlul, nothing without a leader.
        const QTextBlock oil = blockStarting(doc, QStringLiteral("Oil change\t"));
        const QTextBlock brake = blockStarting(doc, QStringLiteral("Brake inspection\t"));
        QVERIFY(oil.isValid() && brake.isValid());
        const auto gap = [&](const QTextBlock& b) {
            const int tab = int(b.text().indexOf(QLatin1Char('\t')));
            const QTextLine line = b.layout()->lineAt(0);
            const QRectF r = onSheet(s, b);
            return QRectF(r.left() + line.cursorToX(tab) + 4, r.top() + line.y(),
                          line.cursorToX(tab + 1) - line.cursorToX(tab) - 8, line.height());
        };
        QVERIFY(qAbs(onSheet(s, oil).left() + oil.layout()->lineAt(0).naturalTextWidth() -
                     twipsToLayout(1440 + 9360)) < 2);
        const int dots = marksAlong(page, gap(oil));
        const auto leaders = record(s, 0);
        QVERIFY2(dots > 40, qPrintable(QString::number(dots)));
        QVERIFY(ruleShare(page, gap(brake), Qt::Horizontal) > 0.97);
        // As LibreOffice sets them, leaders start where the text before the tab ends and fill the space
        // to the stop: 127 dots after "Oil change", 63 underscores after "Tyre rotation" in its PDF (a
        // rule takes one character more than fit, set closer, so that it has no gap), one more or less where
        // the fonts differ a little.
        for (const auto& [start, c, count] :
             {std::tuple{QStringLiteral("Oil change\t"), QLatin1Char('.'), 127},
              std::tuple{QStringLiteral("Tyre rotation\t"), QLatin1Char('_'), 63}}) {
            const QTextBlock b = blockStarting(doc, start);
            const QTextLine line = b.layout()->lineAt(0);
            const double baseline = onSheet(s, b).top() + line.y() + line.ascent();
            const double from = onSheet(s, b).left() + line.cursorToX(int(start.size()) - 1);
            QList<double> xs;
            for (const Recorder::Text& t : leaders->texts)
                if (t.text == QString(c) && qAbs(t.baseline.y() - baseline) < 4)
                    xs << t.baseline.x();
            QVERIFY2(qAbs(xs.size() - count) <= 1, qPrintable(QString::number(xs.size())));
            QVERIFY2(qAbs(*std::min_element(xs.begin(), xs.end()) - from) < 1, qPrintable(start));
        }
        // The text before them is as wide as in LibreOffice's PDF (52.2 and 62.1 pt): the fonts' own
        // widths, not whole layout pixels, and pairs such as "Ty" kerned, as the file asks.
        for (const auto& [start, width] : {std::pair{QStringLiteral("Oil change\t"), 52.2},
                                           std::pair{QStringLiteral("Tyre rotation\t"), 62.1}}) {
            const QTextBlock b = blockStarting(doc, start);
            const double ours = b.layout()->lineAt(0).cursorToX(int(start.size()) - 1) * 72 / kLayoutDpi;
            QVERIFY2(qAbs(ours - width) < 0.15, qPrintable(QStringLiteral("%1: %2 pt").arg(start).arg(ours)));
        }
        const QTextBlock intro = blockStarting(doc, QStringLiteral("Every offer"));
        QVERIFY(!intro.blockFormat().hasProperty(kLeadersProperty));
    }

    // Word's tables as LibreOffice prints them. A row's edges stand its left padding left of where Word
    // gives them, so that the first cell's text starts at \trleft.
    void wordTableBorders() {
        // Row 1: a 1.5-point rule round the first cell, the second ruled 1 point (\brdrth, twice its
        // 0.5 point) above and below and 0.5 point on the right, none on the left: the first cell's right
        // rule stands alone on the edge they share. Row 2: the first cell has no right rule, the second a
        // left one.
        const QByteArray row1 =
            "\\trowd\\trgaph108\\trleft108\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3" +
            ruledCell(3108, 30) +
            "\\clbrdrt\\brdrth\\brdrw10 \\clbrdrb\\brdrth\\brdrw10 \\clbrdrr\\brdrs\\brdrw10 "
            "\\cellx6108";
        const QByteArray row2 = "\\trowd\\trgaph108\\trleft108\\trpaddl108\\trpaddr108\\trpaddfl3\\trpaddfr3"
                                "\\clbrdrb\\brdrs\\brdrw10 \\cellx3108\\clbrdrl\\brdrs\\brdrw20 \\cellx6108";
        const Shown s = showWord("\\pard Before\\par " + row1 + "\\pard\\intbl One\\cell Two\\cell \\row " +
                                 row2 + "\\pard\\intbl Three\\cell Four\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({2, 2}));
        const double margin = twipsToLayout(1440);
        const double left = margin, shared = margin + twipsToLayout(3000),
                     right = margin + twipsToLayout(6000);
        // The text starts at \trleft, however wide the rule.
        QVERIFY(qAbs(cellText(s, table, 0, 0).left() - twipsToLayout(1440 + 108)) < 1);
        const auto drawn = record(s, 0);
        // Each edge is ruled once, with its own rule's width, on the edge itself.
        const auto shared1 = linesAt(*drawn, Qt::Vertical, shared);
        QCOMPARE(shared1.size(), size_t(2));
        const double top = cellText(s, table, 0, 0).top(), middle = cellText(s, table, 1, 0).top();
        for (const Recorder::Line& l : shared1) {
            const bool first = qMin(l.line.y1(), l.line.y2()) < middle - 4;
            QCOMPARE(l.width, twipsToLayout(first ? 30 : 20));
        }
        const auto outer = linesAt(*drawn, Qt::Vertical, left);
        QVERIFY(outer.size() == 1 && outer.front().width == twipsToLayout(30));
        QVERIFY(qMax(outer.front().line.y1(), outer.front().line.y2()) < middle + 1);
        const auto far = linesAt(*drawn, Qt::Vertical, right);
        QVERIFY(far.size() == 1 && far.front().width == twipsToLayout(10));
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0)
                QVERIFY2(qAbs(l.line.x1() - left) < 0.5 || qAbs(l.line.x1() - shared) < 0.5 ||
                             qAbs(l.line.x1() - right) < 0.5,
                         qPrintable(QString::number(l.line.x1())));
        // The edge between the rows: the first cell's 1.5-point rule, and the second's 1-point one.
        int across = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && qAbs(l.line.y1() - middle) < twipsToLayout(200)) {
                ++across;
                const bool first = l.line.center().x() < shared;
                QCOMPARE(l.width, twipsToLayout(first ? 30 : 20));
            }
        QCOMPARE(across, 2);
        // On the painted sheet the rules are as thick as their widths: 1.5 and 1 point, 0.5 point.
        const QImage page = sheet(s, 0);
        const double ruleTop = top - twipsToLayout(15);
        QCOMPARE(darkRun(page, left + twipsToLayout(1500), ruleTop, Qt::Horizontal), 3);
        QCOMPARE(darkRun(page, shared + twipsToLayout(1500), ruleTop, Qt::Horizontal), 2);
        QCOMPARE(darkRun(page, right, top + twipsToLayout(100), Qt::Vertical), 1);
        QCOMPARE(darkRun(page, shared, top + twipsToLayout(100), Qt::Vertical), 3);
    }

    void wordCellPadding() {
        // The row's padding (left 360, top 240, bottom 120) and the second cell's own (\clpadt is its
        // left, 720; \clpadl its top, 600): a row's cells all take its largest top padding.
        const Shown s = showWord(
            "\\trowd\\trgaph108\\trleft0\\trpaddl360\\trpaddt240\\trpaddb120\\trpaddr108\\trpaddfl3\\trpaddft"
            "3"
            "\\trpaddfb3\\trpaddfr3" +
            ruledCell(3000) + ruledCell(6000, 10, "\\clpadl600\\clpadt720\\clpadfl3\\clpadft3 ") +
            "\\pard\\intbl One\\cell Two\\cell \\row \\pard Between\\par "
            "\\trowd\\trgaph108\\trleft0\\trpaddl360\\trpaddfl0" +
            ruledCell(3000) + ruledCell(6000) +
            "\\pard\\intbl Three\\cell Four\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const auto drawn = record(s, 0);
        const double edge = twipsToLayout(1440 - 360);
        QCOMPARE(linesAt(*drawn, Qt::Vertical, edge).size(), size_t(1));
        const QRectF one = cellText(s, table, 0, 0), two = cellText(s, table, 0, 1);
        const double x1 =
            one.left() + table->cellAt(0, 0).firstCursorPosition().block().layout()->lineAt(0).x();
        const double x2 =
            two.left() + table->cellAt(0, 1).firstCursorPosition().block().layout()->lineAt(0).x();
        // Each text stands its padding in from the middle of its cell's left rule.
        QVERIFY2(qAbs(x1 - (edge + twipsToLayout(360))) < 1, qPrintable(QString::number(x1 - edge)));
        QVERIFY2(qAbs(x2 - (edge + twipsToLayout(3000 + 720))) < 1, qPrintable(QString::number(x2 - edge)));
        // Below the table's top rule (half of its half point inside the cell) by the top padding.
        const auto rules = linesAt(*drawn, Qt::Horizontal, one.top() - twipsToLayout(600 + 5));
        QVERIFY2(!rules.empty(), qPrintable(QString::number(one.top())));
        QVERIFY(qAbs(two.top() - one.top()) < 0.5);
        // Units of 0 leave the row's left padding to the cell gap: its edges stand 108 twips left.
        QVERIFY(linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 - 108)).size() == 1);
        const QRectF three = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Three")));
        QVERIFY(qAbs(three.left() - twipsToLayout(1440)) < 1);
        // The first row ends 120 twips below its text, where its bottom rule is.
        const QTextBlock b = table->cellAt(0, 0).firstCursorPosition().block();
        const double textEnd = one.top() + b.layout()->lineAt(0).height();
        int closing = 0;
        for (const Recorder::Line& l : drawn->lines)
            closing += l.line.dy() == 0 && qAbs(l.line.y1() - textEnd - twipsToLayout(120 + 5)) < 2;
        QCOMPARE(closing, 1);
    }

    void wordRowHeights() {
        // An exact row of half an inch shows the paragraphs that start in it, the last cut at its foot; a
        // row of at least 1000 twips
        // with one line is that tall; a row set lower than its line grows to hold it.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s =
            showWord(def + "\\trrh-720" + ruledCell(4000) + ruledCell(8000) +
                     "\\pard\\intbl Kept\\par Second\\par Third\\par Lost\\cell B\\cell \\row " + def +
                     "\\trrh1000" + ruledCell(4000) + ruledCell(8000) +
                     "\\pard\\intbl Short\\cell C\\cell \\row " + def + "\\trrh100" + ruledCell(4000) +
                     ruledCell(8000) + "\\pard\\intbl Taller\\cell D\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        // The paragraph that starts below the foot keeps its text, unseen and taking no room.
        for (const char* word : {"Lost"}) {
            const QTextBlock b = blockStarting(*s.copy.body, QLatin1String(word));
            QVERIFY(b.isValid());
            QCOMPARE(QTextCursor(b).charFormat().foreground().color().alpha(), 0);
            QCOMPARE(b.blockFormat().lineHeight(), 0.0);
        }
        for (const char* word : {"Kept", "Second", "Third"})
            QVERIFY(QTextCursor(blockStarting(*s.copy.body, QLatin1String(word)))
                        .charFormat()
                        .foreground()
                        .color()
                        .alpha() > 0);
        const double a = cellText(s, table, 0, 1).top(), b = cellText(s, table, 1, 1).top(),
                     c = cellText(s, table, 2, 1).top();
        // Qt sets rows on whole layout pixels.
        QVERIFY2(qAbs(b - a - twipsToLayout(720)) < 1.5, qPrintable(QString::number(b - a)));
        QVERIFY2(qAbs(c - b - twipsToLayout(1000)) < 1.5, qPrintable(QString::number(c - b)));
        const QTextBlock taller = table->cellAt(2, 0).firstCursorPosition().block();
        const double after = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After"))).top();
        QVERIFY(after - c >= taller.layout()->lineAt(0).height());
        // The rules close the exact row at its set height.
        const auto drawn = record(s, 0);
        QCOMPARE(linesAt(*drawn, Qt::Horizontal, a - twipsToLayout(5)).size(), size_t(1));
        QCOMPARE(linesAt(*drawn, Qt::Horizontal, b - twipsToLayout(5)).size(), size_t(1));
    }

    // A paragraph that wraps in a row of an exact height shows the lines that fit; the rest of its text
    // is there, unseen, and the row keeps its height.
    // A word that fits between its cell's margins stays whole, as in Word, however wide the cell's
    // rules are: they stand on the cell's edges, not in its text. A cell narrower than the word breaks it.
    void wordThatJustFitsItsCell() {
        const auto cellLines = [](int right) {
            const Shown s = showWord("\\trowd\\trgaph108\\trleft0" + ruledCell(right, 30) +
                                     "\\pard\\intbl Unbreakableword\\cell \\row \\pard After\\par ");
            QTextTable* table = firstTable(*s.copy.body);
            const QTextBlock b = table ? table->cellAt(0, 0).firstCursorPosition().block() : QTextBlock();
            return std::make_pair(
                b.isValid() ? b.layout()->lineCount() : -1,
                b.isValid() && b.layout()->lineCount() > 0 ? b.layout()->lineAt(0).naturalTextWidth() : 0.0);
        };
        const auto [wideLines, width] = cellLines(6000);
        QCOMPARE(wideLines, 1);
        const int needed = 2 * 108 + int(std::ceil(width / twipsToLayout(1)));
        QCOMPARE(cellLines(needed + 4).first, 1);
        QVERIFY(cellLines(needed - 40).first > 1);
    }

    // Qt makes each column whole pixels of its device wide: seven columns of 567 twips would each come
    // out 565 wide, the last one's text starting 12 twips left of LibreOffice's. Each edge stands within
    // half a pixel of the file's, and the text between each cell's margins is exactly as wide as the
    // file makes it.
    void columnsKeepTheirWidthsToTheTwip() {
        QByteArray row = "\\trowd\\trgaph75\\trleft0";
        for (int k = 1; k <= 7; ++k)
            row += "\\cellx" + QByteArray::number(567 * k);
        row += "\\pard\\intbl ";
        for (int k = 0; k < 7; ++k)
            row += "c" + QByteArray::number(k) + "\\cell ";
        const Shown s = showWord(row + "\\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(table->columns(), 7);
        const double left = cellText(s, table, 0, 0).left();
        for (int k = 0; k < 7; ++k) {
            const QRectF text = cellText(s, table, 0, k);
            const double from = (text.left() - left) * 1440 / kLayoutDpi;
            QVERIFY2(qAbs(from - 567 * k) <= 2.5, qPrintable(QStringLiteral("%1: %2").arg(k).arg(from)));
            QVERIFY2(qAbs(text.width() * 1440 / kLayoutDpi - (567 - 2 * 75)) < 0.2,
                     qPrintable(QStringLiteral("%1: %2").arg(k).arg(text.width() * 1440 / kLayoutDpi)));
        }
    }

    // Word fits a column to its widest word, and LibreOffice keeps a Word 2007+ table's inner edges as
    // ten-thousandths of its width, taken down to whole twips: a bold 12-point "Obs" (413.55 twips)
    // between margins 414 twips apart breaks, where "Time", "Treatment" and "Number", just as tight,
    // stay whole, as LibreOffice 7.4 prints them.
    void wordsAsWideAsTheirColumns() {
        using namespace docxsamples;
        const int grid[] = {564, 684, 1124, 1243, 1004};
        const char* words[] = {"Obs", "Time", "Censored", "Treatment", "Number"};
        QByteArray table =
            "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:tblCellMar><w:left w:w=\"75\" "
            "w:type=\"dxa\"/><w:right w:w=\"75\" w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid>";
        QByteArray row = "<w:tr>";
        for (int i = 0; i < 5; ++i) {
            table += "<w:gridCol w:w=\"" + QByteArray::number(grid[i]) + "\"/>";
            row +=
                "<w:tc><w:tcPr><w:tcW w:w=\"0\" w:type=\"auto\"/></w:tcPr>" +
                paragraph(run(words[i], "<w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New Roman\"/>"
                                        "<w:b/><w:sz w:val=\"24\"/>"),
                          "<w:jc w:val=\"right\"/>") +
                "</w:tc>";
        }
        table += "</w:tblGrid>" + row + "</w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(run("Before")) + table + paragraph(run("After"))))),
                     QStringLiteral("fitted.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        QTextTable* qt = firstTable(*s.copy.body);
        QVERIFY(qt);
        QCOMPARE(qt->columns(), 5);
        const auto lines = [&](int column) {
            return qt->cellAt(0, column).firstCursorPosition().block().layout()->lineCount();
        };
        QCOMPARE(lines(0), 2);
        QCOMPARE(lines(1), 1);
        QCOMPARE(lines(3), 1);
        QCOMPARE(lines(4), 1);
    }

    void exactRowCutsAWrappedParagraph() {
        const QByteArray def = "\\trowd\\trgaph108\\trleft0\\trrh-400";
        const Shown s =
            showWord(def + ruledCell(1500) + ruledCell(6000) +
                     "\\pard\\intbl Alpha beta gamma delta epsilon zeta\\cell Beside\\cell \\row " + def +
                     ruledCell(1500) + ruledCell(6000) +
                     "\\pard\\intbl Next\\cell Row\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const QTextBlock shown = table->cellAt(0, 0).firstCursorPosition().block();
        QVERIFY(shown.text().startsWith(QStringLiteral("Alpha")));
        QCOMPARE(shown.layout()->lineCount(), 1);
        // The second line starts within the row: it is cut at the row's foot, the rest hidden.
        const QTextBlock cut = shown.next(), rest = cut.next();
        QCOMPARE(QTextCursor(cut).currentTable(), table);
        QCOMPARE(cut.layout()->lineCount(), 1);
        QVERIFY(QTextCursor(cut).charFormat().foreground().color().alpha() > 0);
        QVERIFY(rest.text().endsWith(QStringLiteral("zeta")));
        QCOMPARE(QTextCursor(rest).charFormat().foreground().color().alpha(), 0);
        QCOMPARE(shown.text() + cut.text() + rest.text(),
                 QStringLiteral("Alpha beta gamma delta epsilon zeta"));
        const double a = cellText(s, table, 0, 1).top(), b = cellText(s, table, 1, 1).top();
        QVERIFY2(qAbs(b - a - twipsToLayout(400)) < 1.5, qPrintable(QString::number(b - a)));
    }

    void exactRowOfExactLines() {
        // Lines of an exact height smaller than their text's fill an exact row by that height: four of
        // 206 twips show in a row of 835 at twelve points; the fifth, past its foot, is hidden.
        QByteArray body = "\\trowd\\trgaph70\\trrh-835" + ruledCell(4000);
        for (int i = 1; i <= 5; ++i)
            body += "\\pard\\intbl\\sl-206\\slmult0\\fs24 Line" + QByteArray::number(i) +
                    (i < 5 ? "\\par " : "\\cell\\row ");
        const Shown s = showWord(body + "\\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QTextBlock b = table->cellAt(0, 0).firstCursorPosition().block();
        for (int i = 1; i <= 5; ++i, b = b.next()) {
            QCOMPARE(b.text(), QStringLiteral("Line%1").arg(i));
            QCOMPARE(QTextCursor(b).charFormat().foreground().color().alpha() == 0, i == 5);
        }
        // The row's rules stand its height apart, the hidden line holding no room above the foot.
        const auto drawn = record(s, 0);
        double top = 1e9, bottom = -1e9;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0) {
                top = qMin(top, l.line.y1());
                bottom = qMax(bottom, l.line.y1());
            }
        QVERIFY2(qAbs(bottom - top - twipsToLayout(835)) < 1.5, qPrintable(QString::number(bottom - top)));
    }

    void exactRowLowerThanItsLine() {
        // A form spaces its rows with exact rows of two points holding an empty paragraph: the row is
        // two points, not a line, tall.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const QByteArray row = ruledCell(4000) + "\\pard\\intbl ";
        const Shown s = showWord(def + row + "Name\\cell \\row " + def + "\\trrh-40" + row + "\\cell \\row " +
                                 def + row + "Address\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const double a = cellText(s, table, 0, 0).top(), b = cellText(s, table, 1, 0).top(),
                     c = cellText(s, table, 2, 0).top();
        QVERIFY2(qAbs(c - b - twipsToLayout(40)) < 1.5, qPrintable(QString::number(c - b)));
        QVERIFY2(c - a < 2 * (b - a), qPrintable(QStringLiteral("%1 %2").arg(b - a).arg(c - a)));
    }

    void cellParagraphSpacing() {
        // LibreOffice keeps the space above a cell's first paragraph and below its last inside the cell:
        // 240 twips above a line set it that far below the row's top rule, and 360 below it keep the next
        // row that far down. A row of an exact height does not grow for them.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s = showWord(
            def + ruledCell(4000) + ruledCell(8000) +
            "\\pard\\intbl\\sb240\\sa360 Spaced\\cell \\pard\\intbl B\\cell \\row " + def + ruledCell(4000) +
            ruledCell(8000) + "\\pard\\intbl Bare\\cell C\\cell \\row " + def + "\\trrh-400" +
            ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl\\sa360 Exact\\cell D\\cell \\row " + def +
            ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Last\\cell E\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const QTextBlock spaced = table->cellAt(0, 0).firstCursorPosition().block();
        const double line =
            spaced.blockFormat().lineHeight(spaced.layout()->lineAt(0).height(), kLayoutDpi / 96.0);
        const double a = cellText(s, table, 0, 0).top(), b = cellText(s, table, 1, 0).top(),
                     c = cellText(s, table, 2, 0).top(), d = cellText(s, table, 3, 0).top();
        // Rows start on whole layout pixels: each row's top may be up to one off.
        QVERIFY2(qAbs(b - a - (line + twipsToLayout(360 + 10))) < 2, qPrintable(QString::number(b - a)));
        // The cell beside it, with no space of its own, starts where the row does.
        QVERIFY2(qAbs(a - cellText(s, table, 0, 1).top() - twipsToLayout(240)) < 1.5,
                 qPrintable(QString::number(a - cellText(s, table, 0, 1).top())));
        QVERIFY2(qAbs(d - c - twipsToLayout(400)) < 1.5, qPrintable(QString::number(d - c)));
        // Its line fits and keeps its height, the space below it left out.
        const QTextBlock exact = table->cellAt(2, 0).firstCursorPosition().block();
        QCOMPARE(exact.blockFormat().lineHeight(exact.layout()->lineAt(0).height(), kLayoutDpi / 96.0), line);
        // The top rule stands above the spaced text by the space and half the rule.
        const auto drawn = record(s, 0);
        QCOMPARE(linesAt(*drawn, Qt::Horizontal, a - twipsToLayout(240 + 5)).size(), size_t(1));
    }

    void leastRowOfProportionalLines() {
        // Calibri's lines are set closer than Qt's natural line: a row of at least 851 twips holding one is
        // 851 twips tall, not less by the line's unused room; an exact spacer row of two points between two
        // such rows stays two points.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const QByteArray least = def + "\\trrh851" + ruledCell(4000) + ruledCell(8000);
        const Shown s =
            showWord(least + "\\pard\\intbl\\fs22 One\\cell A\\cell \\row " + least +
                         "\\pard\\intbl\\fs22 Two\\cell B\\cell \\row " + def + "\\trrh-40" +
                         ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl\\fs22 \\cell \\cell \\row " +
                         least + "\\pard\\intbl\\fs22 Three\\cell C\\cell \\row \\pard After\\par ",
                     "\\fswiss Calibri");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const double a = cellText(s, table, 0, 0).top(), b = cellText(s, table, 1, 0).top(),
                     c = cellText(s, table, 2, 0).top(), d = cellText(s, table, 3, 0).top();
        QVERIFY2(qAbs(b - a - twipsToLayout(851)) < 1.5, qPrintable(QString::number(b - a)));
        QVERIFY2(qAbs(c - b - twipsToLayout(851)) < 1.5, qPrintable(QString::number(c - b)));
        QVERIFY2(qAbs(d - c - twipsToLayout(40)) < 1.5, qPrintable(QString::number(d - c)));
        const double after = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("After"))).top();
        QVERIFY2(qAbs(after - d - twipsToLayout(851)) < 2, qPrintable(QString::number(after - d)));
    }

    void centredAndRightAlignedTables() {
        // Word 2007+ tables of 9038 and 8138 twips on a text width of 9360, centred and set right: their
        // cells' edges are placed, whatever the indent and cell margin (108) before them, so that the first
        // cell's text starts 161 + 108 and 1222 + 108 twips in from the margin, as LibreOffice sets them.
        using namespace docxsamples;
        const auto tableOf = [](const QByteArray& jc, int first, int second) {
            const QByteArray cell = "<w:tc><w:tcPr><w:tcW w:w=\"%1\" w:type=\"dxa\"/></w:tcPr>" +
                                    paragraph(run("%2")) + "</w:tc>";
            return "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/><w:jc w:val=\"" + jc +
                   "\"/><w:tblInd w:w=\"720\" w:type=\"dxa\"/><w:tblCellMar><w:left w:w=\"108\" "
                   "w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/></w:tblCellMar><w:tblLayout "
                   "w:type=\"fixed\"/></w:tblPr><w:tblGrid><w:gridCol w:w=\"" +
                   QByteArray::number(first) + "\"/><w:gridCol w:w=\"" + QByteArray::number(second) +
                   "\"/></w:tblGrid><w:tr>" + QString::fromLatin1(cell).arg(first).arg(jc + "A").toLatin1() +
                   QString::fromLatin1(cell).arg(second).arg(jc + "B").toLatin1() + "</w:tr></w:tbl>";
        };
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(run("Before")) + tableOf("center", 3085, 5953) +
                                               paragraph(run("Between")) + tableOf("right", 3085, 5053) +
                                               paragraph(run("After"))))),
                     QStringLiteral("aligned.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const double centred = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("centerA"))).left();
        QVERIFY2(qAbs(centred - twipsToLayout(1440 + 161 + 108)) < 1.5, qPrintable(QString::number(centred)));
        const double right = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("rightA"))).left();
        QVERIFY2(qAbs(right - twipsToLayout(1440 + 1222 + 108)) < 1.5, qPrintable(QString::number(right)));
    }

    void centredTablesWithWideSideRules() {
        // Centred tables of 8000 twips on a text width of 9360, ruled on their sides with double rules of
        // 3 points and single ones of 3 and 0.5: LibreOffice centres the cells' edges, whatever the rules'
        // widths, the first cell's text 680 + 115 twips in from the margin. One as wide as the text stands
        // on both margins, its text 115 in.
        using namespace docxsamples;
        const auto tableOf = [](const QByteArray& name, const QByteArray& left, const QByteArray& right,
                                int width = 8000) {
            const auto rule = [](const char* side, const QByteArray& style) {
                const QByteArray size = style == "thin" ? "4" : "24";
                return "<w:" + QByteArray(side) + " w:val=\"" + (style == "double" ? "double" : "single") +
                       "\" w:sz=\"" + size + "\" w:space=\"0\" w:color=\"auto\"/>";
            };
            const QByteArray half = QByteArray::number(width / 2);
            const QByteArray cell = "<w:tc><w:tcPr><w:tcW w:w=\"" + half + "\" w:type=\"dxa\"/><w:tcBorders>";
            return "<w:tbl><w:tblPr><w:tblW w:w=\"" + QByteArray::number(width) +
                   "\" w:type=\"dxa\"/><w:jc w:val=\"center\"/><w:tblLayout "
                   "w:type=\"fixed\"/><w:tblCellMar><w:left "
                   "w:w=\"115\" w:type=\"dxa\"/><w:right w:w=\"43\" "
                   "w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol "
                   "w:w=\"" +
                   half + "\"/><w:gridCol w:w=\"" + half + "\"/></w:tblGrid><w:tr>" + cell +
                   rule("left", left) + "</w:tcBorders></w:tcPr>" + paragraph(run(name)) + "</w:tc>" + cell +
                   rule("right", right) + "</w:tcBorders></w:tcPr>" + paragraph(run("x")) +
                   "</w:tc></w:tr></w:tbl>" + paragraph(run("Between"));
        };
        Shown s;
        s.t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(
                         tableOf("Doubled", "double", "double") + tableOf("Thick", "thick", "thick") +
                         tableOf("Mixed", "double", "thin") + tableOf("Filling", "thick", "thick", 9360)))),
                     QStringLiteral("ruled.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        for (const char* name : {"Doubled", "Thick", "Mixed", "Filling"}) {
            const double left = onSheet(s, blockStarting(*s.copy.body, QLatin1String(name))).left();
            const int in = QByteArray(name) == "Filling" ? 0 : 680;
            QVERIFY2(qAbs(left - twipsToLayout(1440 + in + 115)) < 1.5,
                     qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(left)));
        }
    }

    void tablesWiderThanTheirText() {
        // Rows of 15876 twips on a text width of 15706, centred and set right: they stand out over both
        // margins, by half the difference and by all of it on the left, as LibreOffice sets them.
        const auto rowOf = [](const char* align, const char* a, const char* b) {
            return "\\trowd" + QByteArray(align) + "\\trleft-5" + ruledCell(7000) + ruledCell(15871) +
                   "\\pard\\intbl " + a + "\\cell " + b + "\\cell \\row \\pard Between\\par ";
        };
        Shown s;
        s.t = std::make_shared<const Template>(
            readRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\paperw16840\\paperh11907\\margl567"
                    "\\margr567\\margt1440\\margb1440 " +
                        rowOf("\\trqc", "Centred", "C") + rowOf("\\trqr", "Righted", "R") + "}",
                    QStringLiteral("wide.rtf")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        const double centred = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Centred"))).left();
        QVERIFY2(qAbs(centred - twipsToLayout(567 - 85 + 5)) < 1.5, qPrintable(QString::number(centred)));
        const double right = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Righted"))).left();
        QVERIFY2(qAbs(right - twipsToLayout(567 - 170 + 5)) < 1.5, qPrintable(QString::number(right)));
    }

    void spacedCellRunsOnToTheNextPage() {
        // A cell of seventy lines, the first with 400 twips above it, runs on to page 2. Its text goes on
        // at page 2's top, as LibreOffice sets it, not that space lower: Qt would set the cell's top
        // padding, which holds the space, again there.
        QByteArray lines = "\\pard\\intbl\\sb400 Line 0";
        for (int i = 1; i < 70; ++i)
            lines += "\\par \\pard\\intbl Line " + QByteArray::number(i);
        const Shown s = showWord("\\trowd\\trgaph108\\trleft0" + ruledCell(6000) + lines +
                                 "\\cell \\row \\pard After\\par ");
        QCOMPARE(s.copy.pageCount(), 2);
        const QTextDocument& doc = *s.copy.body;
        const double pageHeight = doc.pageSize().height();
        QTextTable* table = firstTable(doc);
        QVERIFY(table);
        double firstOnTwo = -1;
        for (QTextBlock b = table->cellAt(0, 0).firstCursorPosition().block(); b.isValid() && firstOnTwo < 0;
             b = b.next())
            // Qt moves a line that does not fit down to the next page within its block.
            if (const double top =
                    doc.documentLayout()->blockBoundingRect(b).top() + b.layout()->lineAt(0).y();
                top >= pageHeight)
                firstOnTwo = top - pageHeight;
        QVERIFY2(firstOnTwo >= 0 && firstOnTwo < twipsToLayout(100), qPrintable(QString::number(firstOnTwo)));
    }

    void wordMergedCells() {
        // Merged across (\clmgf, \clmrg) in the first row, down (\clvmgf, \clvmrg) the first column of
        // the next two.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s =
            showWord(def + ruledCell(3000, 10, "\\clmgf") + ruledCell(6000, 10, "\\clmrg") + ruledCell(9000) +
                     "\\pard\\intbl One cell across two columns here\\cell \\cell Right\\cell \\row " + def +
                     ruledCell(3000, 10, "\\clvmgf") + ruledCell(6000) + ruledCell(9000) +
                     "\\pard\\intbl Down\\cell B2\\cell C2\\cell \\row " + def +
                     ruledCell(3000, 10, "\\clvmrg") + ruledCell(6000) + ruledCell(9000) +
                     "\\pard\\intbl \\cell B3\\par more\\cell C3\\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({3, 3}));
        QCOMPARE(table->cellAt(0, 0).columnSpan(), 2);
        QCOMPARE(table->cellAt(1, 0).rowSpan(), 2);
        QVERIFY(table->cellAt(2, 0) == table->cellAt(1, 0));
        const QTextBlock across = table->cellAt(0, 0).firstCursorPosition().block();
        QCOMPARE(across.text(), QStringLiteral("One cell across two columns here"));
        QCOMPARE(across.layout()->lineCount(), 1);
        const auto drawn = record(s, 0);
        QCOMPARE(drawn->textsStarting(QStringLiteral("Down")).size(), size_t(1));
        // No rule inside a merged cell: none down its middle edge in the first row, none across the
        // first column between the second and third rows.
        const double r0 = cellText(s, table, 0, 2).top(), r1 = cellText(s, table, 1, 1).top(),
                     r2 = cellText(s, table, 2, 1).top();
        for (const Recorder::Line& l : linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 - 108 + 3000)))
            QVERIFY(qMin(l.line.y1(), l.line.y2()) > r1 - twipsToLayout(40));
        for (const Recorder::Line& l : linesAt(*drawn, Qt::Horizontal, r2 - twipsToLayout(5)))
            QVERIFY(qMin(l.line.x1(), l.line.x2()) > twipsToLayout(1440 - 108 + 3000) - 4);
        QVERIFY(r0 < r1 && r1 < r2);
    }

    // The rows of one Word table may cut its grid differently and stay one table: a cell merged down
    // runs on over a row of more cells; a row that stops short of the grid's end keeps its exact
    // height; a table filling a cell across a narrow column and a wide one leaves the narrow one its
    // width.
    void wordRowsOfDifferentCells() {
        using namespace docxsamples;
        const auto cell = [](const QByteArray& props, const QByteArray& content) {
            return "<w:tc><w:tcPr>" + props + "</w:tcPr>" + content + "</w:tc>";
        };
        const QByteArray span = "<w:gridSpan w:val=\"2\"/>";
        const QByteArray inner = "<w:tbl><w:tblGrid><w:gridCol w:w=\"3000\"/><w:gridCol "
                                 "w:w=\"3000\"/></w:tblGrid><w:tr>" +
                                 cell({}, paragraph(run("Inner"))) + cell({}, paragraph(run("Beside"))) +
                                 "</w:tr></w:tbl>";
        const QByteArray outer =
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"600\"/><w:gridCol w:w=\"6000\"/><w:gridCol "
            "w:w=\"600\"/></w:tblGrid><w:tr>" +
            cell("<w:vMerge w:val=\"restart\"/>", paragraph(run("Down"))) +
            cell(span, paragraph(run("Top"))) + "</w:tr><w:tr>" + cell("<w:vMerge/>", paragraph("")) +
            cell({}, paragraph(run("Mid"))) + cell({}, paragraph(run("E"))) +
            "</w:tr><w:tr><w:trPr><w:gridAfter w:val=\"2\"/><w:trHeight w:val=\"40\" "
            "w:hRule=\"exact\"/></w:trPr>" +
            cell({}, paragraph("")) + "</w:tr><w:tr>" + cell(span, inner + paragraph("")) +
            cell({}, paragraph(run("Low"))) + "</w:tr></w:tbl>";
        Shown s;
        s.t = std::make_shared<const Template>(readDocx(
            zipParts(package(document(outer + paragraph(run("After"))))), QStringLiteral("rows.docx")));
        s.copy = Merger(s.t, nullptr).next();
        s.copy.body->documentLayout()->documentSize();
        QCOMPARE(std::count_if(s.t->body.blocks.begin(), s.t->body.blocks.end(),
                               [](const Block& b) { return std::holds_alternative<Table>(b); }),
                 1);
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        QCOMPARE(QList<int>({table->rows(), table->columns()}), QList<int>({4, 3}));
        QCOMPARE(table->cellAt(0, 0).rowSpan(), 2);
        QVERIFY(table->cellAt(1, 0) == table->cellAt(0, 0));
        const QRectF down = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Down")));
        const QTextBlock midBlock = blockStarting(*s.copy.body, QStringLiteral("Mid"));
        const QRectF mid = onSheet(s, midBlock);
        const QRectF edge = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("E")));
        const QRectF inside = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Inner")));
        const QRectF low = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Low")));
        // The columns keep their 600, 6000 and 600 twips.
        QVERIFY2(qAbs(mid.left() - down.left() - twipsToLayout(600)) < 1.5,
                 qPrintable(QString::number(mid.left() - down.left())));
        QVERIFY2(qAbs(edge.left() - mid.left() - twipsToLayout(6000)) < 1.5,
                 qPrintable(QString::number(edge.left() - mid.left())));
        QVERIFY2(qAbs(low.left() - down.left() - twipsToLayout(6600)) < 1.5,
                 qPrintable(QString::number(low.left() - down.left())));
        // The short row is 40 twips high, not a line: the next row starts below it by that much.
        const double shortRow = cellText(s, table, 3, 0).top() - cellText(s, table, 2, 0).top();
        QVERIFY2(qAbs(shortRow - twipsToLayout(40)) < 1.5, qPrintable(QString::number(shortRow)));
        QVERIFY(inside.top() > roomFoot(s, midBlock));
    }

    void wordCellAlignment() {
        // Beside a cell of four lines: one set in its middle (\clvertalc), one at its foot (\clvertalb),
        // and a cell merged down two rows set in the middle of both.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0";
        const Shown s = showWord(
            def + ruledCell(2000) + ruledCell(4000, 10, "\\clvertalc") + ruledCell(6000, 10, "\\clvertalb") +
            ruledCell(8000, 10, "\\clvmgf\\clvertalc") +
            "\\pard\\intbl 1\\par 2\\par 3\\par 4\\cell Middle\\cell Foot\\cell Both\\cell \\row " + def +
            ruledCell(2000) + ruledCell(4000) + ruledCell(6000) + ruledCell(8000, 10, "\\clvmrg") +
            "\\pard\\intbl 5\\par 6\\cell x\\cell y\\cell \\cell \\row \\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const QRectF first = cellText(s, table, 0, 0), next = cellText(s, table, 1, 0);
        const QTextBlock four = table->cellAt(0, 0).lastCursorPosition().block();
        const double textEnd = onSheet(s, four).top() + four.layout()->lineAt(0).height();
        const double line = four.layout()->lineAt(0).height();
        const QRectF middle = cellText(s, table, 0, 1), foot = cellText(s, table, 0, 2);
        QVERIFY2(qAbs(middle.top() + line / 2 - (first.top() + textEnd) / 2) < 2,
                 qPrintable(QString::number(middle.top() - first.top())));
        QVERIFY2(qAbs(foot.top() + line - textEnd) < 2,
                 qPrintable(QString::number(foot.top() - first.top())));
        const QRectF both = cellText(s, table, 0, 3);
        const QTextBlock six = table->cellAt(1, 0).lastCursorPosition().block();
        const double end = onSheet(s, six).top() + six.layout()->lineAt(0).height();
        QVERIFY2(qAbs(both.top() + line / 2 - (first.top() + end) / 2) < 2,
                 qPrintable(QString::number(both.top() - first.top())));
        QVERIFY(next.top() > textEnd - 1);
    }

    void turnedCellText() {
        // A row 1800 twips high: text across, text read upwards in the cell's middle, text read
        // downwards at the top of its lines (the cell's right), and a row of no set height below with
        // upward text that sets its height.
        const QByteArray def = "\\trowd\\trgaph108\\trleft0\\trrh1800";
        const QByteArray auto_ = "\\trowd\\trgaph108\\trleft0";
        const Shown s =
            showWord(def + ruledCell(2000) + ruledCell(4000, 10, "\\cltxbtlr\\clvertalc") +
                     ruledCell(6000, 10, "\\cltxtbrl") +
                     "\\pard\\intbl Across\\cell Upwards\\cell Downwards\\cell \\row " + auto_ +
                     ruledCell(2000) + ruledCell(4000, 10, "\\cltxbtlr") + ruledCell(6000) +
                     "\\pard\\intbl x\\cell A longer line read upwards\\cell y\\cell \\row " + auto_ +
                     "\\trrh-600" + ruledCell(2000) + ruledCell(4000, 10, "\\cltxbtlr") + ruledCell(6000) +
                     "\\pard\\intbl x\\cell Lines of an exact row wrap at its height\\cell y\\cell \\row "
                     "\\pard After\\par ");
        QTextTable* table = firstTable(*s.copy.body);
        QVERIFY(table);
        const auto turned = [&](int row, int column) {
            const QTextBlock b = table->cellAt(row, column).firstCursorPosition().block();
            QTextCursor c(b);
            c.movePosition(QTextCursor::NextCharacter);
            return c.charFormat().property(kTurnedTextProperty).value<QSharedPointer<QTextDocument>>();
        };
        QVERIFY(!turned(0, 0));
        const QSharedPointer<QTextDocument> up = turned(0, 1), down = turned(0, 2), longer = turned(1, 1);
        QVERIFY(up && down && longer);
        QCOMPARE(up->toPlainText(), QStringLiteral("Upwards"));
        QCOMPARE(down->toPlainText(), QStringLiteral("Downwards"));
        // The lines of a row of a set height run its length; those of any other row their own.
        QCOMPARE(up->textWidth(), twipsToLayout(1800));
        QVERIFY(longer->textWidth() < twipsToLayout(4000));
        QVERIFY(longer->textWidth() > up->idealWidth() * 2);
        const QSharedPointer<QTextDocument> exact = turned(2, 1);
        QVERIFY(exact);
        QCOMPARE(exact->textWidth(), twipsToLayout(600));
        QVERIFY(exact->firstBlock().layout()->lineCount() > 2);

        const auto drawn = record(s, 0);
        const auto one = [&](const QString& start) {
            const std::vector<Recorder::Text> t = drawn->textsStarting(start);
            return t.size() == 1 ? t.front() : Recorder::Text{};
        };
        const Recorder::Text across = one(QStringLiteral("Across")), upwards = one(QStringLiteral("Upwards")),
                             downwards = one(QStringLiteral("Downwards")),
                             tall = one(QStringLiteral("A longer"));
        QVERIFY(!across.text.isEmpty() && !upwards.text.isEmpty() && !downwards.text.isEmpty() &&
                !tall.text.isEmpty());
        QVERIFY(across.transform.m12() == 0);
        QCOMPARE(upwards.transform.m12(), -1.0);
        QCOMPARE(downwards.transform.m12(), 1.0);
        const QRectF upCell = cellText(s, table, 0, 1), downCell = cellText(s, table, 0, 2);
        const double rowTop = upCell.top(), rowFoot = rowTop + twipsToLayout(1800);
        const double line = up->documentLayout()->documentSize().height();
        QVERIFY(line > 10 && line < twipsToLayout(400));
        // Upwards from the row's foot, its line in the cell's middle and its baseline right of that.
        QVERIFY2(qAbs(upwards.baseline.y() - rowFoot) < 1 && upwards.baseline.x() > upCell.center().x() &&
                     upwards.baseline.x() < upCell.center().x() + line / 2,
                 qPrintable(QStringLiteral("%1 %2").arg(upwards.baseline.x()).arg(upwards.baseline.y())));
        // Downwards from the row's top, with its line's top at the cell's right.
        QVERIFY2(qAbs(downwards.baseline.y() - rowTop) < 1 && downwards.baseline.x() < downCell.right() &&
                     downwards.baseline.x() > downCell.right() - line,
                 qPrintable(QStringLiteral("%1 %2").arg(downwards.baseline.x()).arg(downwards.baseline.y())));
        // The second row is as tall as its turned line is long.
        const double secondTop = cellText(s, table, 1, 0).top();
        QVERIFY(secondTop >= rowFoot - 1);
        const double after = cellText(s, table, 2, 0).top();
        QVERIFY2(after - secondTop > longer->textWidth() - 1, qPrintable(QString::number(after - secondTop)));
        QVERIFY(after - secondTop < longer->textWidth() + twipsToLayout(400));
    }
};

QTEST_MAIN(TestTableRendering)
#include "tst_tablerendering.moc"
