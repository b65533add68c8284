// A table row that fits at a page's foot by the height its lines are set to stays on that page.
#include "wordproc/Pages.h"
#include "wordproc/PaintRules.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <cmath>
#include <limits>
#include <vector>

namespace wordproc {

namespace {

constexpr double kScale = kLayoutDpi / 96.0;

// A row's box as Qt has laid it out: from its cells' tops (above their padding and half their top rules)
// to the lowest of their feet (below their text, bottom padding and half their bottom rules).
struct RowBox {
    double top = std::numeric_limits<double>::max(), bottom = -std::numeric_limits<double>::max();
    bool spanned = false; // a cell of the row spans rows
};

RowBox rowBox(QAbstractTextDocumentLayout& layout, const QTextTable& table, int row) {
    RowBox box;
    for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(row, c);
        if (cell.column() != c)
            continue;
        if (cell.rowSpan() > 1 || cell.row() != row) {
            box.spanned = true;
            continue;
        }
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QTextBlock first = cell.firstCursorPosition().block();
        const QTextBlock last = cell.lastCursorPosition().block();
        box.top = qMin(box.top,
                       layout.blockBoundingRect(first).top() - (f.topPadding() + f.topBorder() / 2) * kScale);
        box.bottom = qMax(box.bottom, textBottom(last, layout.blockBoundingRect(last)) +
                                          (f.bottomPadding() + f.bottomBorder() / 2) * kScale);
    }
    return box;
}

// The row's paragraphs set as fixed heights of the spacing they have, so that Qt fits their lines by it;
// nothing when one of them has lines of different heights, which a fixed height would make alike.
std::vector<std::pair<QTextBlock, QTextBlockFormat>> fittedRow(const QTextTable& table, int row) {
    std::vector<std::pair<QTextBlock, QTextBlockFormat>> fitted;
    for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(row, c);
        if (cell.column() != c || cell.row() != row)
            continue;
        const QTextBlock end = cell.lastCursorPosition().block().next();
        for (QTextBlock b = cell.firstCursorPosition().block(); b.isValid() && b != end; b = b.next()) {
            QTextBlockFormat f = b.blockFormat();
            const int type = f.lineHeightType();
            if (type != QTextBlockFormat::SingleHeight && type != QTextBlockFormat::ProportionalHeight)
                continue;
            const QTextLayout* lines = b.layout();
            if (lines->lineCount() == 0)
                continue;
            // Qt's own height of a line, which a proportional spacing scales.
            const auto raw = [&](int i) {
                const QTextLine line = lines->lineAt(i);
                return std::ceil(line.ascent() + line.descent() + line.leading());
            };
            for (int i = 1; i < lines->lineCount(); ++i)
                if (raw(i) != raw(0))
                    return {};
            const double percent = type == QTextBlockFormat::ProportionalHeight ? f.lineHeight() : 100.0;
            f.setLineHeight(raw(0) * percent / 100 / kScale, QTextBlockFormat::FixedHeight);
            f.setProperty(kFittedHeightProperty, percent);
            fitted.emplace_back(b, f);
        }
    }
    return fitted;
}

void setBlockFormats(QTextDocument& doc,
                     const std::vector<std::pair<QTextBlock, QTextBlockFormat>>& formats) {
    QTextCursor edit(&doc);
    edit.beginEditBlock();
    for (const auto& [block, f] : formats)
        QTextCursor(block).setBlockFormat(f);
    edit.endEditBlock();
}

} // namespace

void keepRowsAtPageFoot(QTextTable& table, double pageHeight) {
    if (pageHeight <= 0)
        return;
    const auto page = [&](double y) { return int(std::floor(y / pageHeight)); };
    QTextDocument& doc = *table.document();
    QAbstractTextDocumentLayout& layout = *doc.documentLayout();
    for (int r = 1; r < table.rows(); ++r) {
        layout.documentSize();
        const RowBox before = rowBox(layout, table, r - 1), box = rowBox(layout, table, r);
        if (before.spanned || box.spanned || box.bottom <= box.top || page(box.top) != page(before.top) + 1 ||
            page(box.bottom - 1) != page(box.top))
            continue;
        // Qt fits a proportional line at the page's foot by its font's height, taller than the line is
        // set: a row that fits by its set height went on to the next page all the same.
        const double end = (page(before.top) + 1) * pageHeight;
        if (before.bottom + box.bottom - box.top > end - 0.5)
            continue;
        const std::vector<std::pair<QTextBlock, QTextBlockFormat>> fitted = fittedRow(table, r);
        if (fitted.empty())
            continue;
        std::vector<std::pair<QTextBlock, QTextBlockFormat>> was;
        for (const auto& [block, f] : fitted)
            was.emplace_back(block, block.blockFormat());
        setBlockFormats(doc, fitted);
        layout.documentSize();
        // A row Qt moves on for another reason goes back as it was; so does one after which Qt would
        // leave the next row or paragraph running past the page's end, taking it for the next page's.
        const auto straddles = [&](double top, double bottom) {
            return top < end - 0.5 && bottom > end + 0.5;
        };
        bool wrong = page(rowBox(layout, table, r).top) != page(before.top);
        if (r + 1 < table.rows()) {
            const RowBox next = rowBox(layout, table, r + 1);
            wrong = wrong || straddles(next.top, next.bottom);
        } else if (const QTextBlock after = table.lastCursorPosition().block().next();
                   after.isValid() && after.layout()->lineCount() > 0) {
            const double top = lineRoomTop(after, 0);
            wrong = wrong || straddles(top, top + after.blockFormat().lineHeight(
                                                      after.layout()->lineAt(0).height(), kScale));
        }
        if (wrong)
            setBlockFormats(doc, was);
    }
}

bool holdRowOn(QTextTable& table, int row, double pageEnd) {
    if (row < 1 || row >= table.rows())
        return false;
    QAbstractTextDocumentLayout& layout = *table.document()->documentLayout();
    layout.documentSize();
    // The row before grows to just short of the page's end: the row's first lines no longer fit there,
    // and Qt takes the row on to the next page. An empty line of that height, last in the row's tallest
    // cell, holds the room (Qt keeps a cell's bottom padding clear of every page's end, so padding would
    // push the cell's own text on); its rules leave the line out.
    QTextTableCell tallest;
    double tallestBottom = -std::numeric_limits<double>::max();
    for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(row - 1, c);
        if (cell.row() != row - 1 || cell.column() != c || cell.rowSpan() != 1)
            continue;
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QTextBlock last = cell.lastCursorPosition().block();
        const double bottom = textBottom(last, layout.blockBoundingRect(last)) +
                              (f.bottomPadding() + f.bottomBorder() / 2) * kScale;
        if (bottom > tallestBottom) {
            tallestBottom = bottom;
            tallest = cell;
        }
    }
    double top = std::numeric_limits<double>::max();
    for (int c = 0; c < table.columns(); ++c) {
        const QTextTableCell cell = table.cellAt(row, c);
        if (cell.row() != row || cell.column() != c)
            continue;
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        top = qMin(top, layout.blockBoundingRect(cell.firstCursorPosition().block()).top() -
                            (f.topPadding() + f.topBorder() / 2) * kScale);
    }
    if (!tallest.isValid() || pageEnd - 0.5 - top <= 0)
        return false;
    QTextBlockFormat room;
    room.setLineHeight(0, QTextBlockFormat::FixedHeight);
    room.setProperty(kKeptRowRoomProperty, true);
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    QTextCursor end = tallest.lastCursorPosition();
    end.insertBlock(room, tiny);
    layout.documentSize();
    // The line ends as low as the cell's text may reach on the page: above its bottom padding and rule,
    // which Qt keeps clear of the page's end.
    const QTextTableCellFormat f = tallest.format().toTableCellFormat();
    const double lineTop = layout.blockBoundingRect(end.block()).top();
    double height = pageEnd - 0.5 - lineTop - (f.bottomPadding() + f.bottomBorder()) * kScale;
    // Qt may yet take a line ending a hair above the page's end on to the next page (its own rounding
    // of where the table stands): the row before would then end there, below the headings Qt repeats,
    // and the row after it below that. The line is made shorter until it stays.
    for (int tries = 0; tries < 3 && height > 0; ++tries) {
        room.setLineHeight(height / kScale, QTextBlockFormat::FixedHeight);
        end.setBlockFormat(room);
        layout.documentSize();
        const QTextLayout* lines = end.block().layout();
        if (lines->lineCount() == 0 || lineTop + lines->lineAt(0).y() < pageEnd - 0.5)
            break;
        height -= 2 * kScale;
    }
    return true;
}

} // namespace wordproc
