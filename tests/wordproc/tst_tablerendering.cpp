#include "Rendering.h"

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
        // The text starts at \trleft, and half the rule beyond.
        QVERIFY(qAbs(cellText(s, table, 0, 0).left() - twipsToLayout(1440 + 108 + 15)) < 1);
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
        // Each text stands its padding and half its cell's left rule in from the edge.
        QVERIFY2(qAbs(x1 - (edge + twipsToLayout(360 + 5))) < 1, qPrintable(QString::number(x1 - edge)));
        QVERIFY2(qAbs(x2 - (edge + twipsToLayout(3000 + 720 + 5))) < 1,
                 qPrintable(QString::number(x2 - edge)));
        // Below the table's top rule (half of its half point inside the cell) by the top padding.
        const auto rules = linesAt(*drawn, Qt::Horizontal, one.top() - twipsToLayout(600 + 5));
        QVERIFY2(!rules.empty(), qPrintable(QString::number(one.top())));
        QVERIFY(qAbs(two.top() - one.top()) < 0.5);
        // Units of 0 leave the row's left padding to the cell gap: its edges stand 108 twips left.
        QVERIFY(linesAt(*drawn, Qt::Vertical, twipsToLayout(1440 - 108)).size() == 1);
        const QRectF three = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Three")));
        QVERIFY(qAbs(three.left() - twipsToLayout(1440 + 5)) < 1);
        // The first row ends 120 twips below its text, where its bottom rule is.
        const QTextBlock b = table->cellAt(0, 0).firstCursorPosition().block();
        const double textEnd = one.top() + b.layout()->lineAt(0).height();
        int closing = 0;
        for (const Recorder::Line& l : drawn->lines)
            closing += l.line.dy() == 0 && qAbs(l.line.y1() - textEnd - twipsToLayout(120 + 5)) < 2;
        QCOMPARE(closing, 1);
    }

    void wordRowHeights() {
        // An exact row of half an inch shows the paragraphs that fit in it; a row of at least 1000 twips
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
        const QString text = s.copy.body->toPlainText();
        QVERIFY(text.contains(QStringLiteral("Kept")) && text.contains(QStringLiteral("Second")));
        QVERIFY(!text.contains(QStringLiteral("Third")) && !text.contains(QStringLiteral("Lost")));
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

    void wordHeadingRows() {
        // A heading row (\trhdr) over sixty rows: the table runs on to a second page, which opens with
        // the heading again, ruled like the first.
        QByteArray body = "\\trowd\\trgaph108\\trleft0\\trhdr" + ruledCell(4000) + ruledCell(8000) +
                          "\\pard\\intbl Heading\\cell Value\\cell \\row ";
        for (int i = 1; i <= 60; ++i)
            body += "\\trowd\\trgaph108\\trleft0" + ruledCell(4000) + ruledCell(8000) + "\\pard\\intbl Row " +
                    QByteArray::number(i) + "\\cell x\\cell \\row ";
        const Shown s = showWord(body + "\\pard After\\par ");
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
};

QTEST_MAIN(TestTableRendering)
#include "tst_tablerendering.moc"
