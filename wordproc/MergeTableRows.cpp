// Tables once laid out: rows fitted to their cells' text and set heights, kept together where they
// must not break, and the spaces of cells that run on over pages.
#include "wordproc/MergeBuilder.h"
#include "wordproc/PaintRules.h"

#include <QAbstractTextDocumentLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace wordproc {

namespace {
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

// The heights rows were fitted to, by table and row.
using SetHeights = std::map<const QTextTable*, std::map<int, double>>;

// Qt rounds each row's height to whole layout pixels, a quarter point, where the common word processors
// keep the rows' exact heights: down a long table of rows of one line the rows stood as much as a point
// a page away from theirs. Each row's cells' bottom padding takes up the difference, so that the row ends
// on the whole pixel at or just above where the exact heights of it and of the rows before it on the page
// end; never below, so that rows that just fill a page still fit on it. A row of a set height counts as
// that tall, not as the hair less its cells were padded to, but for a 256th of a pixel: rows that fill
// the page to the last digit end just within it, and the block Qt keeps after a table stays on it.
void settleRows(QTextDocument& doc, const SetHeights& setHeights = {}) {
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
        const auto set = setHeights.find(table);
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
            double height = need[i];
            if (set != setHeights.end())
                if (const auto it = set->second.find(r);
                    it != set->second.end() && qAbs(it->second - height) < 1)
                    height = it->second - 1.0 / 256;
            exact += height;
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

void Merger::Builder::keepCellsToPadding(const QTextTable* only) {
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
    // A row whose cell's first line fits at the page's foot above the cell's padding and rule breaks
    // there in LibreOffice; Qt, keeping the space below the cell's last paragraph clear as well, takes
    // the whole row on to the next page.
    const auto firstLineFitsAbove = [&](const SpacedCell& sp, const QTextTableCell& cell) {
        const QTextBlock first = cell.firstCursorPosition().block();
        const QTextLayout* lines = first.layout();
        if (sp.row < 1 || sp.below <= 0 || lines->lineCount() == 0 ||
            (lines->lineCount() == 1 && first == cell.lastCursorPosition().block()))
            return false;
        const double top = layout->blockBoundingRect(first).top();
        const int at = page(top);
        double above = -std::numeric_limits<double>::max();
        for (int c = 0; c < sp.table->columns(); ++c) {
            const QTextTableCell prev = sp.table->cellAt(sp.row - 1, c);
            if (prev.row() != sp.row - 1 || prev.column() != c || prev.rowSpan() != 1)
                continue;
            const QTextTableCellFormat pf = prev.format().toTableCellFormat();
            const QTextBlock last = prev.lastCursorPosition().block();
            above = qMax(above, textBottom(last, layout->blockBoundingRect(last)) +
                                    (pf.bottomPadding() + pf.bottomBorder() / 2) * kQtScale);
        }
        if (at < 1 || page(above) != at - 1)
            return false;
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QTextLine line = lines->lineAt(0);
        const double need = (f.topPadding() + f.topBorder() / 2) * kQtScale + line.y() +
                            first.blockFormat().lineHeight(line.height(), kQtScale) +
                            (f.bottomPadding() - sp.below + f.bottomBorder()) * kQtScale;
        // Qt sets the rows a little higher here than it lays them out at last: a point to spare.
        return above + need <= at * pageHeight - kLayoutDpi / 72;
    };
    // The cells of a row that breaks over a page's end all keep to their padding there.
    std::set<std::pair<const QTextTable*, int>> breaking;
    for (const SpacedCell& sp : m_spaced) {
        if ((only && sp.table != only) || m_keptToPadding.count({sp.table, sp.row, sp.column}))
            continue;
        const QTextTableCell cell = sp.table->cellAt(sp.row, sp.column);
        if (cell.isValid() && cell.rowSpan() == 1 &&
            (runsOn(*layout, cell, page) || (pageHeight > 0 && firstLineFitsAbove(sp, cell))))
            breaking.emplace(sp.table, sp.row);
    }
    std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> runOn;
    for (const SpacedCell& sp : m_spaced) {
        if ((only && sp.table != only) || m_keptToPadding.count({sp.table, sp.row, sp.column}))
            continue;
        const QTextTableCell cell = sp.table->cellAt(sp.row, sp.column);
        if (!cell.isValid())
            continue;
        // A cell not yet running on breaks, if at all, within its first paragraph: that paragraph's
        // space above is the one both pages keep.
        const bool runs = runsOn(*layout, cell, page);
        if (!runs && (cell.rowSpan() != 1 || !breaking.count({sp.table, sp.row})))
            continue;
        QTextTableCellFormat f = cell.format().toTableCellFormat();
        if (!runs) {
            // A row that breaks is as tall as its text makes it on each page: a short cell centred or
            // set at the foot of the whole row stands at its top, as it was before it was fitted.
            for (const SizedTable& st : m_sized)
                if (st.table == sp.table)
                    for (const SizedCell& sc : st.cells)
                        if (sc.row == sp.row && sc.column == sp.column && sc.align != Cell::VAlign::Top) {
                            f.setTopPadding(sc.top);
                            f.setBottomPadding(sc.bottom);
                        }
        }
        if (sp.above > 0 && runs)
            f.setTopPadding(qMax(0.0, f.topPadding() - sp.above + qMin(sp.above, spaceAboveNextPage(cell))));
        f.setBottomPadding(qMax(0.0, f.bottomPadding() - sp.below));
        runOn.emplace_back(cell, f);
        m_keptToPadding.emplace(sp.table, sp.row, sp.column);
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
}

void Merger::Builder::finish() {
    breakLinesAsLibreOfficeFits(m_doc);
    breakBesideFields(m_doc, m_fieldSpans);
    hangPunctuation(m_doc);
    justifyLines(m_doc, m.m_t->justifyBrokenLines);
    reachStopsPastEnd();
    if (m_sized.empty() && m_spaced.empty() && m_kept.empty()) {
        settleRows(m_doc);
        return;
    }
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    layout->documentSize();
    const double pageHeight =
        m_doc.pageSize().height() > 0 && m_doc.pageSize().height() < 1e7 ? m_doc.pageSize().height() : 0;
    const auto page = [&](double y) { return pageHeight > 0 ? int(std::floor(y / pageHeight)) : 0; };
    keepCellsToPadding(nullptr);
    // A row of an exact height shows no more of its cells' text than fits: a line that starts within
    // it and ends below is cut at its foot less its padding, as LibreOffice clips it; the lines after
    // it are hidden, and the paragraphs after them. Their text stays in a PDF, unseen, as the text
    // LibreOffice clips at a row's foot does.
    std::vector<QTextBlock> hidden;
    std::vector<std::pair<int, double>> splits; // where a paragraph's hidden (0) or cut lines start
    std::vector<std::pair<QTextBlock, double>> cut;
    std::vector<std::tuple<QTextBlock, double, double>> clipped; // a cut line's top in its block, its room
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
                    // (Lines of a set height are left whole or hidden.)
                    const double shown = fixed ? 0.0 : room - (r.top() + line.y() - firstRect.top());
                    if (shown > 0.5 && i + 1 < lines->lineCount())
                        splits.emplace_back(b.position() + lines->lineAt(i + 1).textStart(), 0.0);
                    if (shown <= 0.5 && i == 0)
                        hidden.push_back(b);
                    else if (shown > 0.5 && i == 0)
                        clipped.emplace_back(b, line.y(), shown);
                    else
                        splits.emplace_back(b.position() + line.textStart(), qMax(0.0, shown));
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
    for (const auto& [at, shown] : splits) {
        QTextCursor cur(&m_doc);
        cur.setPosition(at);
        cur.insertBlock();
        if (shown > 0) {
            // The paragraph's first part ends where it did; its space below stood after the last line.
            QTextBlockFormat before = cur.block().previous().blockFormat();
            before.setBottomMargin(0);
            QTextCursor(cur.block().previous()).setBlockFormat(before);
            QTextBlockFormat after = cur.block().blockFormat();
            after.setTopMargin(0);
            cur.setBlockFormat(after);
            clipped.emplace_back(cur.block(), 0.0, shown);
        } else {
            hidden.push_back(cur.block());
        }
    }
    // A cut line takes no more room than the row has left (Qt then sets it higher in its room);
    // paintDocument() draws no more of it, where it stood.
    for (const auto& [b, top, shown] : clipped) {
        QTextBlockFormat f = b.blockFormat();
        f.setBottomMargin(0);
        f.setLineHeight(shown / kQtScale, QTextBlockFormat::FixedHeight);
        f.setProperty(kCutLineProperty, QVariant::fromValue(QList<qreal>{top, shown}));
        QTextCursor(b).setBlockFormat(f);
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
    // A row that ran over a page's end when first fitted, and so kept its natural height, may stand
    // whole on the next page once the taller rows before it have gone on there: it is fitted again.
    // Only cells not fitted yet are: a row fitted on one page and since gone on to the next stands
    // below the page's top as Qt moved it, its room there not what it was fitted to.
    SetHeights setHeights;
    std::vector<std::vector<char>> fitted;
    for (const SizedTable& st : m_sized)
        fitted.emplace_back(st.cells.size(), 0);
    bool changed = true;
    for (int pass = 0; pass < 3 && changed; ++pass) {
        changed = false;
        for (size_t i = 0; i < m_sized.size(); ++i)
            setHeights[m_sized[i].table].merge(fitRows(*layout, m_sized[i], fitted[i], changed, page));
    }
    settleRows(m_doc, setHeights);
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
std::map<int, double> Merger::Builder::fitRows(QAbstractTextDocumentLayout& layout, const SizedTable& st,
                                               std::vector<char>& fitted, bool& changed, const PageOf& page) {
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
    std::map<int, double> setHeights;
    for (int r = 0; r < rows; ++r) {
        const size_t i = size_t(r);
        const bool next =
            r + 1 < rows && top[i] != none && top[i + 1] != none && page(top[i + 1]) == page(top[i]);
        const double natural = next ? top[i + 1] - top[i] : need[i];
        const int set = r < int(st.source->rows.size()) ? st.source->rows[i].heightTwips : 0;
        height[i] = set < 0 ? twipsToLayout(-double(set)) : qMax(natural, twipsToLayout(double(set)));
        if (set < 0 || (set > 0 && twipsToLayout(double(set)) >= need[i]))
            setHeights[r] = twipsToLayout(double(qAbs(set)));
    }
    std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> changes;
    for (size_t k = 0; k < st.cells.size(); ++k) {
        const SizedCell& sc = st.cells[k];
        if (fitted[k])
            continue;
        const int last = qMin(rows, sc.row + sc.rows) - 1;
        // A row that only continues merged cells starts no cell of its own: it stands where they stand.
        int placed = last;
        while (placed > sc.row && top[size_t(placed)] == none)
            --placed;
        if (top[size_t(sc.row)] == none || page(top[size_t(sc.row)]) != page(top[size_t(placed)]))
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
        fitted[k] = 1;
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
        const double wasTop = f.topPadding(), wasBottom = f.bottomPadding();
        f.setTopPadding(padTop + qMax(0.0, slack) * share);
        f.setBottomPadding(padBottom + qMax(0.0, slack) * (1 - share));
        if (qAbs(f.topPadding() - wasTop) > 0.01 || qAbs(f.bottomPadding() - wasBottom) > 0.01)
            changes.emplace_back(cell, f);
    }
    changed = changed || !changes.empty();
    setCellFormats(m_doc, changes);
    return setHeights;
}

} // namespace wordproc
