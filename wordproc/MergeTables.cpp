#include "errors/Failure.h"
#include "wordproc/MergeBuilder.h"
#include "wordproc/MergeColumns.h"
#include "wordproc/Metafile.h"
#include "wordproc/PaintRules.h"
#include "wordproc/TurnedText.h"
#include "wordproc/WordErrors.h"

#include <QLocale>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <map>

namespace wordproc {

namespace {

// How deep in cells the table being filled stands (its frame has no parent yet to tell).
thread_local int tablesBeingNested = 0;

// The room Qt keeps inside a cell for the rule on one side, out of the width of the cell's text: half of
// the rule. Word and LibreOffice set the text within the cell's margins alone, so a word that just fits
// the cell there must fit here too, and not break before its last letter.
double sideRuleRoom(const Borders& borders, Side side) {
    const Border& b = edge(borders, side);
    return b.visible() ? twipsToLogical(qMax(b.widthTwips, 1) * (b.style == Border::Double ? 3 : 1)) / 2
                       : 0.0;
}

// Where the text of a block ends as Qt flows it: its lines take the height their paragraph gives them,
// where Qt's rectangle of the block holds their natural height. Lines of a fixed height are set that far
// apart, whatever Qt makes of their own positions.
double flowBottom(const QTextBlock& block, const QRectF& rect) {
    const QTextBlockFormat f = block.blockFormat();
    const int lines = block.layout()->lineCount();
    if (lines > 0 && f.lineHeightType() == QTextBlockFormat::FixedHeight)
        return rect.top() + lines * f.lineHeight() * kLayoutDpi / 96.0;
    return textBottom(block, rect);
}

// Whether a cell's text starts on one page and ends on another.
template <typename PageOf>
bool runsOn(QAbstractTextDocumentLayout& layout, const QTextTableCell& cell, const PageOf& page) {
    const QRectF first = layout.blockBoundingRect(cell.firstCursorPosition().block());
    const QRectF last = layout.blockBoundingRect(cell.lastCursorPosition().block());
    return page(first.top()) != page(last.bottom() - 1);
}

// Every change to a laid-out document lays all of it out again: a long table's cells, changed one at a
// time, would take time growing with the square of its length. A batch is one edit.
void setCellFormats(QTextDocument& doc,
                    const std::vector<std::pair<QTextTableCell, QTextTableCellFormat>>& changes) {
    QTextCursor edit(&doc);
    edit.beginEditBlock();
    for (auto [cell, f] : changes)
        cell.setFormat(f);
    edit.endEditBlock();
}

// Where a cell's box starts, as Qt has laid it out, and the height its text, padding and half its rules
// need, before Qt rounds the row.
struct CellExtent {
    double top, need;
};

CellExtent cellExtent(QAbstractTextDocumentLayout& layout, const QTextTableCell& cell) {
    const double scale = kLayoutDpi / 96.0;
    const QTextTableCellFormat f = cell.format().toTableCellFormat();
    const double first = layout.blockBoundingRect(cell.firstCursorPosition().block()).top();
    const QTextBlock lastBlock = cell.lastCursorPosition().block();
    const double last = flowBottom(lastBlock, layout.blockBoundingRect(lastBlock));
    return {first - (f.topPadding() + f.topBorder() / 2) * scale,
            last - first +
                (f.topPadding() + f.bottomPadding() + (f.topBorder() + f.bottomBorder()) / 2) * scale};
}

// Qt rounds each row's height to whole layout pixels, a quarter point, where the common word processors
// keep the rows' exact heights: down a long table of rows of one line the rows stood as much as a point
// a page away from theirs. Each row's cells' bottom padding takes up the difference, so that the row ends
// on the whole pixel at or just above where the exact heights of it and of the rows before it on the page
// end; never below, so that rows that just fill a page still fit on it.
void settleRows(QTextDocument& doc) {
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    if (std::none_of(frames.begin(), frames.end(),
                     [](QTextFrame* f) { return qobject_cast<QTextTable*>(f); }))
        return; // a letter without tables is not laid out here
    QAbstractTextDocumentLayout& layout = *doc.documentLayout();
    layout.documentSize();
    const double scale = kLayoutDpi / 96.0;
    const double pageHeight =
        doc.pageSize().height() > 0 && doc.pageSize().height() < 1e7 ? doc.pageSize().height() : 0;
    const auto page = [&](double y) { return pageHeight > 0 ? int(std::floor(y / pageHeight)) : 0; };
    constexpr double none = std::numeric_limits<double>::max();
    std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> changes;
    for (QTextFrame* frame : frames) {
        QTextTable* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        const int rows = table->rows(), cols = table->columns();
        std::vector<double> top(size_t(rows), none), need(size_t(rows), 0);
        // Rows whose height Qt sets from their own cells alone, on one page.
        std::vector<char> settled(size_t(rows), 1);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                const CellExtent e = cellExtent(layout, cell);
                top[size_t(r)] = qMin(top[size_t(r)], e.top);
                if (cell.rowSpan() > 1) {
                    settled[size_t(qMin(rows, r + cell.rowSpan()) - 1)] = 0;
                    continue;
                }
                if (runsOn(layout, cell, page))
                    settled[size_t(r)] = 0;
                need[size_t(r)] = qMax(need[size_t(r)], e.need);
            }
        double exact = 0, whole = 0; // since the first row of the page, or of the run of settled rows
        for (int r = 0; r < rows; ++r) {
            const size_t i = size_t(r);
            if (top[i] == none)
                settled[i] = 0;
            if (r == 0 || !settled[i - 1] || !settled[i] || page(top[i]) != page(top[i - 1]))
                exact = whole = 0;
            if (!settled[i])
                continue;
            // A row that something else makes taller (a picture beside the text, a cell's own table)
            // keeps its height.
            if (r + 1 < rows && top[i + 1] != none && page(top[i + 1]) == page(top[i]) &&
                qAbs(top[i + 1] - top[i] - std::round(need[i])) > 0.05) {
                settled[i] = 0;
                continue;
            }
            exact += need[i];
            const double end = std::floor(exact + 1.0 / 64);
            const double shift = end - whole - need[i];
            whole = end;
            if (qAbs(shift) < 1.0 / 128)
                continue;
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c || cell.rowSpan() != 1)
                    continue;
                QTextTableCellFormat f = cell.format().toTableCellFormat();
                f.setBottomPadding(f.bottomPadding() + shift / scale);
                changes.emplace_back(cell, f);
            }
        }
    }
    setCellFormats(doc, changes);
}

} // namespace

void Merger::Builder::finish() {
    if (m_sized.empty() && m_spaced.empty() && m_kept.empty()) {
        settleRows(m_doc);
        return;
    }
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    layout->documentSize();
    const double pageHeight =
        m_doc.pageSize().height() > 0 && m_doc.pageSize().height() < 1e7 ? m_doc.pageSize().height() : 0;
    const auto page = [&](double y) { return pageHeight > 0 ? int(std::floor(y / pageHeight)) : 0; };
    // Qt keeps a cell's lines on every page clear of its bottom padding, where LibreOffice fills each
    // page the cell runs on to and leaves the space below its last paragraph only where the cell ends:
    // that space becomes the margin of a paragraph no taller than a hair after it. Qt sets the top
    // padding, which holds the space above the first paragraph, again at the top of each page, where
    // LibreOffice sets the space above the paragraph that goes on there: the padding keeps what the two
    // have in common.
    // The space above the paragraph whose line opens the second page a cell runs on to.
    const auto spaceAboveNextPage = [&](const QTextTableCell& cell) {
        const QTextBlock first = cell.firstCursorPosition().block();
        const QTextBlock last = cell.lastCursorPosition().block();
        const int opening = page(layout->blockBoundingRect(first).top());
        for (QTextBlock b = first; b.isValid() && b.blockNumber() <= last.blockNumber(); b = b.next()) {
            const QTextLayout* lines = b.layout();
            const double top = layout->blockBoundingRect(b).top();
            for (int i = 0; i < lines->lineCount(); ++i)
                if (page(top + lines->lineAt(i).y()) > opening)
                    return b.blockFormat().topMargin();
        }
        return 0.0;
    };
    std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> runOn;
    for (const SpacedCell& sp : m_spaced) {
        const QTextTableCell cell = sp.table->cellAt(sp.row, sp.column);
        if (!cell.isValid() || !runsOn(*layout, cell, page))
            continue;
        QTextTableCellFormat f = cell.format().toTableCellFormat();
        if (sp.above > 0)
            f.setTopPadding(qMax(0.0, f.topPadding() - sp.above + qMin(sp.above, spaceAboveNextPage(cell))));
        f.setBottomPadding(qMax(0.0, f.bottomPadding() - sp.below));
        runOn.emplace_back(cell, f);
    }
    setCellFormats(m_doc, runOn);
    if (!runOn.empty()) {
        QTextCursor edit(&m_doc);
        edit.beginEditBlock();
        for (const auto& [cell, format] : runOn) {
            if (cell.lastCursorPosition().block().blockFormat().bottomMargin() <= 0)
                continue;
            QTextCursor at = cell.lastCursorPosition();
            const int number = at.block().blockNumber();
            QTextBlockFormat hair;
            hair.setLineHeight(0.01, QTextBlockFormat::FixedHeight);
            QTextCharFormat tiny;
            tiny.setFontPointSize(1);
            at.insertBlock(hair, tiny);
            for (int& first : m_blockStarts)
                if (first > number)
                    ++first;
        }
        edit.endEditBlock();
    }
    if (!runOn.empty())
        layout->documentSize();
    // A row of an exact height shows no more of its cells' text than fits: the lines that do not end
    // within it are hidden, and the paragraphs after them. Their text stays in a PDF, unseen, as the
    // text LibreOffice clips at a row's foot does.
    std::vector<QTextBlock> hidden;
    std::vector<int> splits; // where a paragraph's hidden lines start
    std::vector<std::pair<QTextBlock, double>> cut;
    for (const SizedTable& st : m_sized)
        for (const SizedCell& sc : st.cells) {
            const Row& row = st.source->rows[size_t(sc.row)];
            if (row.heightTwips >= 0 || sc.rows != 1)
                continue;
            const QTextTableCell cell = st.table->cellAt(sc.row, sc.column);
            const QTextTableCellFormat f = cell.format().toTableCellFormat();
            const QTextBlock first = cell.firstCursorPosition().block();
            const QTextBlock last = cell.lastCursorPosition().block();
            const double room = twipsToLayout(-double(row.heightTwips)) -
                                (sc.top + sc.bottom + (f.topBorder() + f.bottomBorder()) / 2) * kQtScale;
            const QRectF firstRect = layout->blockBoundingRect(first);
            // A first paragraph of one line taller than the row, as an empty one in a row of two
            // points that spaces a form's lines, is cut to the row's height (Qt would set each line
            // of a longer one that tall).
            if (firstRect.height() > room + 0.5 && first.layout()->lineCount() <= 1)
                cut.emplace_back(first, qMax(0.0, room));
            bool over = false;
            for (QTextBlock b = first; b.isValid() && b.blockNumber() <= last.blockNumber(); b = b.next()) {
                if (QTextCursor(b).currentTable() != st.table)
                    continue; // a table inside the cell is not cut
                if (over) {
                    hidden.push_back(b);
                    continue;
                }
                const QRectF r = layout->blockBoundingRect(b);
                const QTextLayout* lines = b.layout();
                // A line of a set height ends that far below its top, whatever its font's own height:
                // four lines of 206 twips fill a row of 835 in twelve-point text.
                const QTextBlockFormat bf = b.blockFormat();
                const bool fixed = bf.lineHeightType() == QTextBlockFormat::FixedHeight;
                // The first line of the cell stays whatever its height.
                for (int i = b == first ? 1 : 0; i < lines->lineCount() && !over; ++i) {
                    const QTextLine line = lines->lineAt(i);
                    const double height = fixed ? bf.lineHeight() * kQtScale : line.height();
                    if (r.top() + line.y() + height - firstRect.top() <= room + 0.5)
                        continue;
                    over = true;
                    if (i == 0)
                        hidden.push_back(b);
                    else
                        splits.push_back(b.position() + line.textStart());
                }
            }
        }
    // The cuts are one edit, laid out once, as cell formats are.
    QTextCursor edit(&m_doc);
    edit.beginEditBlock();
    for (const auto& [b, room] : cut) {
        QTextBlockFormat f = b.blockFormat();
        f.setTopMargin(0);
        f.setBottomMargin(0);
        f.setLineHeight(room / kQtScale, QTextBlockFormat::FixedHeight);
        QTextCursor(b).setBlockFormat(f);
    }
    // From the last on, so that the positions before stay where they were.
    std::sort(splits.begin(), splits.end(), std::greater<>());
    for (int at : splits) {
        QTextCursor cur(&m_doc);
        cur.setPosition(at);
        cur.insertBlock();
        hidden.push_back(cur.block());
    }
    for (const QTextBlock& b : hidden) {
        QTextCursor cur(b);
        cur.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        if (cur.selectedText().contains(QChar::ObjectReplacementCharacter)) {
            cur.removeSelectedText(); // a picture cannot be made unseen
        } else {
            QTextCharFormat unseen;
            unseen.setForeground(Qt::transparent);
            unseen.setBackground(Qt::NoBrush);
            unseen.setFontUnderline(false);
            unseen.setFontStrikeOut(false);
            cur.mergeCharFormat(unseen);
        }
        QTextBlockFormat none;
        none.setLineHeight(0, QTextBlockFormat::FixedHeight);
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        cur.setBlockFormat(none);
        cur.setBlockCharFormat(tiny);
    }
    edit.endEditBlock();
    for (const SizedTable& st : m_sized)
        fitRows(*layout, st, page);
    settleRows(m_doc);
    if (pageHeight > 0 && !m_kept.empty())
        keepRowsTogether(*layout, pageHeight);
}

void Merger::Builder::keepRowsTogether(QAbstractTextDocumentLayout& layout, double pageHeight) {
    // A cell's box as Qt has laid it out: its text, padding and half its rules.
    const auto boxTop = [&](const QTextTableCell& cell) {
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QTextBlock first = cell.firstCursorPosition().block();
        return layout.blockBoundingRect(first).top() - (f.topPadding() + f.topBorder() / 2) * kQtScale;
    };
    const auto boxBottom = [&](const QTextTableCell& cell) {
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QTextBlock last = cell.lastCursorPosition().block();
        return textBottom(last, layout.blockBoundingRect(last)) +
               (f.bottomPadding() + f.bottomBorder() / 2) * kQtScale;
    };
    for (const auto& [qt, source] : m_kept) {
        const int rows = qMin(qt->rows(), int(source->rows.size())), cols = qt->columns();
        for (int r = 0; r < rows; ++r) {
            if (!source->rows[size_t(r)].keepTogether)
                continue;
            layout.documentSize();
            constexpr double none = std::numeric_limits<double>::max();
            double top = none, bottom = -none;
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = qt->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                top = qMin(top, boxTop(cell));
                if (cell.rowSpan() == 1)
                    bottom = qMax(bottom, boxBottom(cell));
            }
            const int page = pageAt(top, pageHeight);
            if (top == none || bottom <= top || pageAt(bottom - 1, pageHeight) == page ||
                bottom - top > pageHeight)
                continue;
            const double pageEnd = (page + 1) * pageHeight;
            if (r <= qt->format().headerRowCount()) {
                // The table's first row, or the first after its headings, which stay with it: the whole
                // table starts the next page, unless it starts this one.
                QTextTableFormat tf = qt->format();
                if (top - page * pageHeight > 1 &&
                    !(tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)) {
                    tf.setPageBreakPolicy(tf.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
                    qt->setFormat(tf);
                }
                continue;
            }
            holdRowOn(*qt, r, pageEnd);
        }
    }
    layout.documentSize();
}

template <typename PageOf>
void Merger::Builder::fitRows(QAbstractTextDocumentLayout& layout, const SizedTable& st, const PageOf& page) {
    QTextTable* qt = st.table;
    const int rows = qt->rows(), cols = qt->columns();
    // Where a cell's box starts and the height its text and padding need, as Qt has laid it out.
    struct Measure {
        double top, need;
    };
    const auto measure = [&](const QTextTableCell& cell, double padTop, double padBottom) {
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const double first = layout.blockBoundingRect(cell.firstCursorPosition().block()).top();
        const QTextBlock lastBlock = cell.lastCursorPosition().block();
        const double last = flowBottom(lastBlock, layout.blockBoundingRect(lastBlock));
        return Measure{first - (f.topPadding() + f.topBorder() / 2) * kQtScale,
                       last - first +
                           (padTop + padBottom + (f.topBorder() + f.bottomBorder()) / 2) * kQtScale};
    };
    constexpr double none = std::numeric_limits<double>::max();
    std::vector<double> top(size_t(rows), none), need(size_t(rows), 0);
    // Rows that break over a page's end, a cell of their own running on; not those of an exact height.
    std::vector<char> broken(size_t(rows), 0);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const QTextTableCell cell = qt->cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            const QTextTableCellFormat f = cell.format().toTableCellFormat();
            const Measure m = measure(cell, f.topPadding(), f.bottomPadding());
            top[size_t(r)] = qMin(top[size_t(r)], m.top);
            if (cell.rowSpan() == 1) {
                need[size_t(r)] = qMax(need[size_t(r)], m.need);
                if (r < int(st.source->rows.size()) && st.source->rows[size_t(r)].heightTwips >= 0 &&
                    runsOn(layout, cell, page))
                    broken[size_t(r)] = 1;
            }
        }
    // Each row's height: the one set, exactly or at least; else what Qt gave it.
    std::vector<double> height(size_t(rows), 0);
    for (int r = 0; r < rows; ++r) {
        const size_t i = size_t(r);
        const bool next =
            r + 1 < rows && top[i] != none && top[i + 1] != none && page(top[i + 1]) == page(top[i]);
        const double natural = next ? top[i + 1] - top[i] : need[i];
        const int set = r < int(st.source->rows.size()) ? st.source->rows[i].heightTwips : 0;
        height[i] = set < 0 ? twipsToLayout(-double(set)) : qMax(natural, twipsToLayout(double(set)));
    }
    std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> changes;
    for (const SizedCell& sc : st.cells) {
        const int last = qMin(rows, sc.row + sc.rows) - 1;
        if (top[size_t(sc.row)] == none || top[size_t(last)] == none ||
            page(top[size_t(sc.row)]) != page(top[size_t(last)]))
            continue;
        double span = 0;
        for (int r = sc.row; r <= last; ++r)
            span += height[size_t(r)];
        QTextTableCell cell = qt->cellAt(sc.row, sc.column);
        if (runsOn(layout, cell, page))
            continue;
        // A row that breaks over a page is as tall as its text makes it: its short cells are not padded
        // down to its foot. Qt keeps a cell's lines on each page clear of its bottom padding, so padding
        // that reaches past the page's end would send their text on to the next page, the row growing
        // by as much.
        if (std::any_of(broken.begin() + sc.row, broken.begin() + last + 1, [](char b) { return b; }))
            continue;
        double padTop = sc.top, padBottom = sc.bottom;
        bool overfull = false;
        if (sc.rows == 1 && st.source->rows[size_t(sc.row)].heightTwips < 0) {
            // A row of an exact height keeps the space above its first paragraph and below its last when
            // they fit in it with the text. When they do not, the text stands at its top, below the space
            // above it if that fits; else at its padding, cut at its foot.
            const double above = cell.firstCursorPosition().block().blockFormat().topMargin();
            const double below = cell.lastCursorPosition().block().blockFormat().bottomMargin();
            if (measure(cell, padTop + above, padBottom + below).need <= span + 0.5) {
                padTop += above;
                padBottom += below;
            } else {
                overfull = true;
                if (measure(cell, padTop + above, padBottom).need <= span + 0.5)
                    padTop += above;
            }
        }
        // Qt rounds a row to whole layout pixels: a row padded to its height to the last digit may come out
        // a pixel taller, and a sheet of labels whose rows fill the page would run over it by that.
        const double slack = (span - measure(cell, padTop, padBottom).need) / kQtScale - 0.2;
        if (slack <= 0.01 && padTop == sc.top && padBottom == sc.bottom)
            continue;
        const double share = overfull                           ? 0.0
                             : sc.align == Cell::VAlign::Center ? 0.5
                             : sc.align == Cell::VAlign::Bottom ? 1.0
                                                                : 0.0;
        QTextTableCellFormat f = cell.format().toTableCellFormat();
        f.setTopPadding(padTop + qMax(0.0, slack) * share);
        f.setBottomPadding(padBottom + qMax(0.0, slack) * (1 - share));
        changes.emplace_back(cell, f);
    }
    setCellFormats(m_doc, changes);
}

std::array<int, 4> Merger::Builder::cellPadding(const Row& row, const Cell& cell) {
    const auto pick = [](int own, int fromRow, int fallback) {
        return own >= 0 ? own : fromRow >= 0 ? fromRow : fallback;
    };
    return {pick(cell.leftPadTwips, row.leftPadTwips, row.gapTwips),
            pick(cell.topPadTwips, row.topPadTwips, 0),
            pick(cell.rightPadTwips, row.rightPadTwips, row.gapTwips),
            pick(cell.bottomPadTwips, row.bottomPadTwips, 0)};
}

namespace {

// The table's columns, its place on the line and its heading rows; `room` is the width of the text it
// stands in, in twips (0: not known).
QTextTableFormat tableFormat(const Table& t, const std::vector<int>& columns, double room = 0) {
    const auto column = [&](int x) { return columnAt(columns, x); };
    const Row& def = t.rows.front();
    const int rows = int(t.rows.size());
    QTextTableFormat tf;
    tf.setCellSpacing(0);
    tf.setCellPadding(0);
    tf.setMargin(0);
    // The cells draw their own rules.
    tf.setBorder(0);
    tf.setBorderStyle(QTextFrameFormat::BorderStyle_None);
    tf.setBorderCollapse(true);
    // A row may start left of the margin (Word's default: minus the cell gap), so that the cells' text
    // lines up with the text around the table.
    // Qt sets a table in by half the room of its left rules, which stand on the edge in LibreOffice.
    int outerRule = 0;
    for (const Row& row : t.rows)
        if (!row.cells.empty() && column(row.leftTwips) == 0) {
            const Border& b = edge(row.cells.front().borders, Side::Left);
            if (b.visible())
                outerRule = qMax(outerRule, qMax(b.widthTwips, 1) * (b.style == Border::Double ? 3 : 1));
        }
    // A centred or right-aligned table is placed by its cells' edges: the row's indent does not move it.
    tf.setLeftMargin(twipsToLogical((def.align == Row::Left ? columns.front() : 0) - outerRule / 2.0));
    tf.setAlignment(def.align == Row::Center  ? Qt::AlignHCenter
                    : def.align == Row::Right ? Qt::AlignRight
                                              : Qt::AlignLeft);
    // Qt sets a table wider than its text at the left margin, whatever its alignment; LibreOffice still
    // centres it, or sets it right, over both margins.
    const double over = double(columns.back()) - columns.front() - room;
    if (def.align != Row::Left && room > 0 && over > 0) {
        tf.setAlignment(Qt::AlignLeft);
        tf.setLeftMargin(twipsToLogical(-over / (def.align == Row::Center ? 2 : 1) - outerRule / 2.0));
    }
    QList<QTextLength> widths;
    for (size_t i = 1; i < columns.size(); ++i)
        widths.append(QTextLength(QTextLength::FixedLength,
                                  twipsToLogical(qtColumnEdge(columns, i) - qtColumnEdge(columns, i - 1))));
    tf.setColumnWidthConstraints(widths);
    // Rows marked as headings at the table's top come again at the top of each page it runs on to.
    int headers = 0;
    while (headers < rows && t.rows[size_t(headers)].header)
        ++headers;
    if (headers < rows)
        tf.setHeaderRowCount(headers);
    return tf;
}

} // namespace

void Merger::Builder::table(const Table& t, Cursor& c) {
    if (t.rows.empty())
        return;
    const std::vector<int> columns = tableColumns(t);
    if (columns.size() < 2)
        return;
    const int rows = int(t.rows.size());
    const int cols = int(columns.size()) - 1;
    // The space after the paragraph before the table is kept above it, in a block of no height: Qt
    // would repeat a table's own top margin at the top of each page the table runs on to.
    if (m_flow.afterTwips > 0 && !m_flow.fresh && !m_cursor.currentTable()) {
        QTextBlockFormat gap;
        gap.setLineHeight(0, QTextBlockFormat::FixedHeight);
        gap.setTopMargin(twipsToLogical(m_flow.afterTwips));
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        m_cursor.insertBlock(gap, tiny);
    }
    QTextTableFormat tf = tableFormat(t, columns, m_doc.textWidth() * 1440.0 / kLayoutDpi);
    if ((t.pageBreakBefore && !m_lowered) || m_breakNext)
        tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    m_breakNext = false;
    m_lowered = false;

    // Qt lays a table over the empty block it is inserted into: an empty paragraph before the table
    // keeps its line when the table goes into a block of its own after it.
    if (!m_flow.fresh && m_cursor.block().length() == 1 && !m_cursor.currentTable()) {
        const QTextCharFormat mark = m_cursor.blockCharFormat();
        m_cursor.insertBlock(QTextBlockFormat(), mark);
    }
    QTextTable* qt = m_cursor.insertTable(rows, cols, tf);
    fillAndMerge(qt, t, columns, c);
    if (std::any_of(t.rows.begin(), t.rows.end(), [](const Row& row) { return row.keepTogether; }))
        m_kept.emplace_back(qt, &t);
    m_cursor.movePosition(QTextCursor::End);
    m_flow = Flow{}; // the empty paragraph Qt keeps after a table takes the next paragraph
    m_table = qt;
}

void Merger::Builder::nestedTable(QTextCursor& cur, const Table& t, Cursor& c, Flow& flow) {
    if (t.rows.empty())
        return;
    const std::vector<int> columns = tableColumns(t);
    if (columns.size() < 2)
        return;
    // The cell keeps a first block of its own, before the table, from which its edges are measured;
    // a table first in its cell stands below an empty line of no height. The space after the paragraph
    // before the table is kept in the same way.
    if (flow.fresh || flow.afterTwips > 0 || cur.block().length() == 1) {
        QTextBlockFormat gap;
        gap.setLineHeight(0, QTextBlockFormat::FixedHeight);
        gap.setTopMargin(flow.fresh ? 0 : twipsToLogical(flow.afterTwips));
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        if (flow.fresh) {
            cur.setBlockFormat(gap);
            cur.setBlockCharFormat(tiny);
        } else {
            cur.insertBlock(gap, tiny);
        }
    }
    QTextTableFormat tf = tableFormat(t, columns);
    // Qt shares a cell's least width evenly among the columns it spans, so that a table filling a cell
    // across a narrow column and a wide one would widen the narrow one: the table asks for no width of
    // its own, and its columns keep the widths the file gives them.
    if (tf.alignment() == Qt::AlignLeft)
        tf.setRightMargin(-twipsToLogical(double(columns.back()) - columns.front()));
    QTextTable* qt = cur.insertTable(int(t.rows.size()), int(columns.size()) - 1, tf);
    ++tablesBeingNested;
    fillAndMerge(qt, t, columns, c);
    --tablesBeingNested;
    // The text after the table goes into the empty block Qt keeps after it.
    cur = qt->lastCursorPosition();
    cur.movePosition(QTextCursor::NextBlock);
    flow = Flow{};
    flow.table = qt;
}

std::vector<Merger::Builder::Place> Merger::Builder::placeCells(const Table& t,
                                                                const std::vector<int>& columns) {
    const auto column = [&](int x) { return columnAt(columns, x); };
    const int rows = int(t.rows.size());
    const int cols = int(columns.size()) - 1;
    std::vector<Place> places;
    std::vector<char> taken(size_t(rows) * size_t(cols), 0);
    const auto free = [&](int r, int c0, int nr, int nc) {
        for (int i = r; i < r + nr; ++i)
            for (int k = c0; k < c0 + nc; ++k)
                if (taken[size_t(i) * size_t(cols) + size_t(k)])
                    return false;
        return true;
    };
    const auto firstColumn = [&](const Row& row, size_t i) {
        return column(i == 0 ? row.leftTwips : row.cells[i - 1].rightTwips);
    };
    for (int r = 0; r < rows; ++r) {
        const Row& row = t.rows[size_t(r)];
        for (size_t i = 0; i < row.cells.size(); ++i) {
            const Cell& cell = row.cells[i];
            const int c0 = qMin(firstColumn(row, i), cols - 1);
            const int span = qMax(1, column(cell.rightTwips) - c0);
            if (taken[size_t(r) * size_t(cols) + size_t(c0)])
                continue; // the cell above runs on over this one
            int down = 1;
            if (cell.vMerge == Cell::VMerge::Restart)
                for (int below = r + 1; below < rows; ++below, ++down) {
                    const Row& next = t.rows[size_t(below)];
                    bool continues = false;
                    for (size_t k = 0; k < next.cells.size() && !continues; ++k)
                        continues =
                            next.cells[k].vMerge == Cell::VMerge::Continue && firstColumn(next, k) == c0;
                    if (!continues)
                        break;
                }
            int across = qMin(span, cols - c0);
            while (!free(r, c0, down, across) && down > 1)
                --down;
            while (!free(r, c0, down, across) && across > 1)
                --across;
            for (int y = r; y < r + down; ++y)
                for (int x = c0; x < c0 + across; ++x)
                    taken[size_t(y) * size_t(cols) + size_t(x)] = 1;
            places.push_back(Place{r, c0, down, across, &cell});
        }
    }
    return places;
}

void Merger::Builder::fillAndMerge(QTextTable* qt, const Table& t, const std::vector<int>& columns,
                                   Cursor& c) {
    const std::vector<Place> places = placeCells(t, columns);
    SizedTable sized = fillCells(qt, t, columns, places, c);
    // Where a row is shorter than the table (cells left out before or after it), nothing stands: the
    // empty line Qt keeps there must not make the row taller than its own cells.
    std::vector<char> covered(size_t(qt->rows()) * size_t(qt->columns()), 0);
    for (const Place& place : places)
        for (int y = place.row; y < place.row + place.rows; ++y)
            for (int x = place.column; x < place.column + place.columns; ++x)
                covered[size_t(y) * size_t(qt->columns()) + size_t(x)] = 1;
    QTextBlockFormat none;
    none.setLineHeight(0, QTextBlockFormat::FixedHeight);
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    for (int y = 0; y < qt->rows(); ++y)
        for (int x = 0; x < qt->columns(); ++x)
            if (!covered[size_t(y) * size_t(qt->columns()) + size_t(x)]) {
                QTextCursor empty = qt->cellAt(y, x).firstCursorPosition();
                empty.setBlockFormat(none);
                empty.setBlockCharFormat(tiny);
            }
    // Merged once filled: a cell's paragraphs set its first block's character format, which is where
    // Qt keeps how many rows and columns it spans.
    // Qt's merge joins the last block of the cell before a covered one with that cell's empty block, which
    // then takes the covered block's format: a closing empty paragraph would lose its space above.
    std::vector<QTextBlockFormat> lastFormats;
    lastFormats.reserve(places.size());
    for (const Place& place : places)
        lastFormats.push_back(qt->cellAt(place.row, place.column).lastCursorPosition().blockFormat());
    for (const Place& place : places)
        if (place.rows > 1 || place.columns > 1)
            qt->mergeCells(place.row, place.column, place.rows, place.columns);
    for (size_t i = 0; i < places.size(); ++i) {
        QTextCursor last = qt->cellAt(places[i].row, places[i].column).lastCursorPosition();
        if (last.blockFormat() != lastFormats[i])
            last.setBlockFormat(lastFormats[i]);
    }
    if (!sized.cells.empty())
        m_sized.push_back(std::move(sized));
}

Merger::Builder::SizedTable Merger::Builder::fillCells(QTextTable* qt, const Table& t,
                                                       const std::vector<int>& columns,
                                                       const std::vector<Place>& places, Cursor& c) {
    // LibreOffice gives all cells of a row the largest top and bottom padding any of them has.
    std::vector<std::pair<int, int>> rowPadding(t.rows.size(), {0, 0});
    for (const Place& place : places) {
        const std::array<int, 4> pad = cellPadding(t.rows[size_t(place.row)], *place.cell);
        auto& [above, below] = rowPadding[size_t(place.row)];
        above = qMax(above, pad[1]);
        below = qMax(below, pad[3]);
    }
    // Qt gives an edge between two cells the wider of their rules, and keeps half of it inside each.
    std::map<std::pair<int, int>, const Place*> starts, ends;
    for (const Place& place : places) {
        starts[{place.row, place.column}] = &place;
        ends[{place.row, place.column + place.columns}] = &place;
    }
    const auto neighbour = [](const std::map<std::pair<int, int>, const Place*>& at, int row, int column) {
        const auto it = at.find({row, column});
        return it == at.end() ? nullptr : it->second->cell;
    };
    const bool nested = tablesBeingNested > 0;
    SizedTable sized{qt, &t, {}};
    for (const Place& place : places) {
        const Row& row = t.rows[size_t(place.row)];
        const Cell& source = *place.cell;
        QTextTableCell cell = qt->cellAt(place.row, place.column);
        QTextCursor cc = cell.firstCursorPosition();
        Flow flow;
        const auto& paras = source.paragraphs;
        size_t nextTable = 0;
        const auto tablesBefore = [&](size_t i) {
            for (; nextTable < source.tables.size() && source.tables[nextTable].before <= i; ++nextTable)
                nestedTable(cc, source.tables[nextTable].table, c, flow);
        };
        for (size_t i = 0; i < paras.size(); ++i) {
            tablesBefore(i);
            const bool tableNext =
                nextTable < source.tables.size() && source.tables[nextTable].before == i + 1;
            paragraph(cc, paras[i], c, flow, i + 1 < paras.size() && !tableNext ? &paras[i + 1] : nullptr);
        }
        tablesBefore(std::numeric_limits<size_t>::max());
        // The cell's format lives on the character format of its first block, which the paragraphs
        // have just set: it is completed now, not before.
        QTextTableCellFormat cf = cell.format().toTableCellFormat();
        std::array<int, 4> pad = cellPadding(row, source);
        std::tie(pad[1], pad[3]) = rowPadding[size_t(place.row)];
        // Qt sets a cell's first paragraph at the cell's top and its last at the foot, without the
        // space above the one and below the other that LibreOffice keeps: the padding holds them. A row
        // of an exact height takes them once it is laid out, when they fit.
        const bool exact = row.heightTwips < 0;
        const double above = exact ? 0 : cell.firstCursorPosition().block().blockFormat().topMargin();
        const double below = exact ? 0 : cell.lastCursorPosition().block().blockFormat().bottomMargin();
        // LibreOffice sets the text its margin in from the middle of the side rule, however wide the
        // rule: the inner half of the rule takes from the margin, where Qt adds it to the padding. A
        // table inside a cell keeps its text half its own rule further in, as Qt sets it.
        const Cell* before = nested ? nullptr : neighbour(ends, place.row, place.column);
        const Cell* after = nested ? nullptr : neighbour(starts, place.row, place.column + place.columns);
        const double leftRule = qMax(sideRuleRoom(source.borders, Side::Left),
                                     before ? sideRuleRoom(before->borders, Side::Right) : 0.0);
        const double rightRule = qMax(sideRuleRoom(source.borders, Side::Right),
                                      after ? sideRuleRoom(after->borders, Side::Left) : 0.0);
        const double inLeft = nested ? 0.0 : qMin(leftRule, twipsToLogical(pad[0]));
        cf.setLeftPadding(twipsToLogical(pad[0]) - inLeft);
        cf.setTopPadding(twipsToLogical(pad[1]) + above);
        // The cell's text is as wide as the file makes it, not as the whole pixels Qt makes its columns
        // of: a word that just fits its column, or just does not, breaks as LibreOffice breaks it.
        const size_t left = size_t(place.column), right = size_t(place.column + place.columns);
        const double wider = qtColumnEdge(columns, right) - qtColumnEdge(columns, left) -
                             (double(columns[right]) - columns[left]);
        cf.setRightPadding(qMax(0.0, twipsToLogical(pad[2] + wider) - rightRule - (leftRule - inLeft)));
        cf.setBottomPadding(twipsToLogical(pad[3]) + below);
        if (above > 0 || below > 0)
            m_spaced.push_back(SpacedCell{qt, place.row, place.column, above, below});
        const bool lastIsText = source.tables.empty() || source.tables.back().before < paras.size();
        if (m_band && !exact && !paras.empty() && lastIsText && paras.back().format.lineMultiple &&
            paras.back().format.lineTwips > 240)
            m_bandSpaced.push_back(BandSpacedCell{qt, place.row, place.column,
                                                  double(qint64(paras.back().format.lineTwips) * 100 / 240)});
        setCellBorders(cf, source.borders);
        if (source.shading.isValid())
            cf.setBackground(source.shading);
        cell.setFormat(cf);
        const bool rowSized = place.rows == 1 && row.heightTwips != 0;
        Cell::VAlign down = source.vAlign;
        if (source.direction != Cell::Direction::Across) {
            // Turned lines run the length of a row of an exact height; a row of a least height grows to
            // lines as long as their text, as does any other. In a taller cell they stand where their
            // paragraph's alignment puts their start or end.
            const int room = qMax(0, qAbs(row.heightTwips) - pad[1] - pad[3]);
            const double length = !rowSized             ? 0
                                  : row.heightTwips < 0 ? twipsToLayout(qMax(1, room))
                                                        : -twipsToLayout(room);
            turnCellText(cell, source.direction, source.vAlign, length);
            const ParaFormat::Align along = paras.empty() ? ParaFormat::Left : paras.front().format.align;
            const bool up = source.direction == Cell::Direction::Up;
            down = along == ParaFormat::Center          ? Cell::VAlign::Center
                   : (along == ParaFormat::Right) == up ? Cell::VAlign::Top
                                                        : Cell::VAlign::Bottom;
        }
        if (rowSized || down != Cell::VAlign::Top)
            sized.cells.push_back(SizedCell{place.row, place.column, place.rows, down,
                                            twipsToLogical(pad[1]) + above, twipsToLogical(pad[3]) + below});
    }
    return sized;
}

} // namespace wordproc
