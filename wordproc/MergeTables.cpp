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

} // namespace

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
    const auto ruleRoom = [](const Border& b) {
        return b.visible() ? qMax(b.widthTwips, 1) * (b.style == Border::Double ? 3 : 1) : 0;
    };
    int outerRule = 0, rightRule = 0;
    for (const Row& row : t.rows)
        if (!row.cells.empty()) {
            if (column(row.leftTwips) == 0)
                outerRule = qMax(outerRule, ruleRoom(edge(row.cells.front().borders, Side::Left)));
            if (column(row.cells.back().rightTwips) == int(columns.size()) - 1)
                rightRule = qMax(rightRule, ruleRoom(edge(row.cells.back().borders, Side::Right)));
        }
    // A centred or right-aligned table is placed by its cells' edges: the row's indent does not move it.
    // Qt centres a table with half the room of its rules on both sides, and the margin, taken from the
    // room it centres in, moves it half as far: LibreOffice centres the cells' edges alone.
    const double shift = def.align == Row::Center ? (rightRule - outerRule) / 2.0 : -outerRule / 2.0;
    tf.setLeftMargin(twipsToLogical((def.align == Row::Left ? columns.front() : 0) + shift));
    tf.setAlignment(def.align == Row::Center  ? Qt::AlignHCenter
                    : def.align == Row::Right ? Qt::AlignRight
                                              : Qt::AlignLeft);
    // Qt sets a table wider than its text at the left margin, whatever its alignment, and a centred one
    // is wider by the room of its rules; LibreOffice still centres it, or sets it right, over both
    // margins.
    const double over = double(columns.back()) - columns.front() - room;
    const double rules = def.align == Row::Center ? (outerRule + rightRule) / 2.0 : 0.0;
    if (def.align != Row::Left && room > 0 && over + rules > 0) {
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
            std::vector<const Cell*> covered{&cell};
            if (cell.vMerge == Cell::VMerge::Restart)
                for (int below = r + 1; below < rows; ++below, ++down) {
                    const Row& next = t.rows[size_t(below)];
                    const Cell* continues = nullptr;
                    for (size_t k = 0; k < next.cells.size() && !continues; ++k)
                        if (next.cells[k].vMerge == Cell::VMerge::Continue && firstColumn(next, k) == c0)
                            continues = &next.cells[k];
                    if (!continues)
                        break;
                    covered.push_back(continues);
                }
            int across = qMin(span, cols - c0);
            while (!free(r, c0, down, across) && down > 1)
                --down;
            while (!free(r, c0, down, across) && across > 1)
                --across;
            for (int y = r; y < r + down; ++y)
                for (int x = c0; x < c0 + across; ++x)
                    taken[size_t(y) * size_t(cols) + size_t(x)] = 1;
            Place place{r, c0, down, across, &cell, 0, covered[size_t(down) - 1]};
            // Its side rules run down from its top over the cells it covers that have them too.
            for (int side = 0; side < 2; ++side) {
                const Side edgeSide = side == 0 ? Side::Left : Side::Right;
                int& ruled = place.ruledRows[side];
                while (ruled < down && edge(covered[size_t(ruled)]->borders, edgeSide).visible())
                    ++ruled;
            }
            places.push_back(place);
        }
    }
    return places;
}

void Merger::Builder::fillAndMerge(QTextTable* qt, const Table& t, const std::vector<int>& columns,
                                   Cursor& c) {
    std::vector<Place> places = placeCells(t, columns);
    // Qt shares a merged cell's least width (its widest letter, its indents and padding) evenly among the
    // columns it spans, and widens a column narrower than its share: a narrow column at a merged cell's
    // left, as gridBefore or a ragged grid leaves, came out points wider than the file makes it, and
    // every edge right of it moved. Such a column is left to an empty cell of its own; the merged cell
    // reaches over it from the next column, its text and rules where the file puts them.
    for (Place& place : places) {
        if (place.rows != 1 || place.cell->direction != Cell::Direction::Across)
            continue;
        while (place.columns > 1) {
            const size_t k = size_t(place.column);
            const double average =
                double(columns[k + size_t(place.columns)] - columns[k]) / double(place.columns);
            if (2.0 * (columns[k + 1] - columns[k]) > average)
                break;
            ++place.column;
            --place.columns;
            ++place.folded;
        }
    }
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
    // The columns a cell reaches over are shaded as it is; their rules are the cell's. Qt sets a whole
    // table in by half its widest rule on its left edge, and lays a row out between its rules: they keep
    // the room of the cell's rules there (Qt paints none of them).
    for (const Place& place : places) {
        if (place.folded == 0)
            continue;
        const QTextTableCellFormat reaching =
            qt->cellAt(place.row, place.column).format().toTableCellFormat();
        for (int x = place.column - place.folded; x < place.column; ++x) {
            QTextTableCell folded = qt->cellAt(place.row, x);
            QTextTableCellFormat f = folded.format().toTableCellFormat();
            f.setProperty(kFoldedCellProperty, true);
            if (place.cell->shading.isValid())
                f.setBackground(place.cell->shading);
            f.setTopBorder(reaching.topBorder());
            f.setTopBorderStyle(reaching.topBorderStyle());
            f.setTopBorderBrush(reaching.topBorderBrush());
            f.setBottomBorder(reaching.bottomBorder());
            f.setBottomBorderStyle(reaching.bottomBorderStyle());
            f.setBottomBorderBrush(reaching.bottomBorderBrush());
            if (x == place.column - place.folded) {
                f.setLeftBorder(reaching.leftBorder());
                f.setLeftBorderStyle(reaching.leftBorderStyle());
                f.setLeftBorderBrush(reaching.leftBorderBrush());
            }
            folded.setFormat(f);
        }
    }
    if (!sized.cells.empty())
        m_sized.push_back(std::move(sized));
}

double Merger::Builder::lastLineSpacing(const QTextTableCell& cell, const Cell& source) const {
    const auto& paras = source.paragraphs;
    const bool lastIsText = source.tables.empty() || source.tables.back().before < paras.size();
    if (paras.empty() || !lastIsText || !paras.back().format.lineMultiple ||
        paras.back().format.lineTwips <= 240)
        return 0;
    // LibreOffice widens a cell's last line by its spacing of the paragraph's own font, the one its style
    // gives it, not of the text on the line: 6.5-point text at 1.5 lines in a paragraph of 12 points
    // ends a row half a 12-point line below it. In a header or footer the widening comes twice.
    const Paragraph& last = paras.back();
    const QTextBlock block = cell.lastCursorPosition().block();
    const double text = singleLineHeight(block);
    const double own = last.blankFormat >= 0 && size_t(last.blankFormat) < m.m_charFormats.size()
                           ? singleLineHeight(m.m_charFormats[size_t(last.blankFormat)], m_doc.defaultFont())
                           : text;
    const double more = last.format.lineTwips / 240.0 - 1;
    // Qt's line is already its own text's spacing taller.
    return more * ((m_band ? 2 : 1) * own - text) / kQtScale;
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
        starts[{place.row, place.column - place.folded}] = &place;
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
        const QColor behind = m_behind;
        if (source.shading.isValid())
            m_behind = source.shading;
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
        m_behind = behind;
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
        const int from = place.column - place.folded;
        const Cell* before = nested ? nullptr : neighbour(ends, place.row, from);
        const Cell* after = nested ? nullptr : neighbour(starts, place.row, place.column + place.columns);
        const double leftRule = qMax(sideRuleRoom(source.borders, Side::Left),
                                     before ? sideRuleRoom(before->borders, Side::Right) : 0.0);
        const double rightRule = qMax(sideRuleRoom(source.borders, Side::Right),
                                      after ? sideRuleRoom(after->borders, Side::Left) : 0.0);
        const double inLeft = nested ? 0.0 : qMin(leftRule, twipsToLogical(pad[0]));
        const double reach =
            qtColumnEdge(columns, size_t(place.column)) - qtColumnEdge(columns, size_t(from));
        cf.setLeftPadding(twipsToLogical(pad[0] - reach) - inLeft);
        if (place.folded > 0) {
            cf.setProperty(kCellReachProperty, twipsToLogical(reach));
            cf.setProperty(kCellReachColumnsProperty, place.folded);
        }
        cf.setTopPadding(twipsToLogical(pad[1]) + above);
        // The cell's text is as wide as the file makes it, not as the whole pixels Qt makes its columns
        // of: a word that just fits its column, or just does not, breaks as LibreOffice breaks it.
        const size_t left = size_t(from), right = size_t(place.column + place.columns);
        const double wider = qtColumnEdge(columns, right) - qtColumnEdge(columns, left) -
                             (double(columns[right]) - columns[left]);
        cf.setRightPadding(qMax(0.0, twipsToLogical(pad[2] + wider) - rightRule - (leftRule - inLeft)));
        // LibreOffice ends a header's or footer's cell below its last paragraph's space after once more.
        const double foot = exact ? 0.0 : lastLineSpacing(cell, source) + (m_band ? below : 0.0);
        cf.setBottomPadding(twipsToLogical(pad[3]) + below + foot);
        if (above > 0 || below > 0)
            m_spaced.push_back(SpacedCell{qt, place.row, place.column, above, below});
        // A cell merged down the column ends in the rule of the last cell it covers, as LibreOffice
        // draws it: a totals table's blank left part has no foot rule when its last cell says none.
        Borders borders = source.borders;
        if (place.foot)
            edge(borders, Side::Bottom) = edge(place.foot->borders, Side::Bottom);
        setCellBorders(cf, borders);
        if (place.ruledRows[0] < place.rows || place.ruledRows[1] < place.rows)
            cf.setProperty(kSideRuleRowsProperty, QVariant::fromValue(QList<qreal>{
                                                      qreal(place.ruledRows[0]), qreal(place.ruledRows[1])}));
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
        // A cell merged down rows of a set height reaches to their foot, however little it holds: a row
        // that only continues it keeps its height, as in LibreOffice, where Qt would give it none.
        const auto spanned = t.rows.begin() + place.row;
        const bool spanSized =
            place.rows > 1 && place.row + place.rows <= int(t.rows.size()) &&
            std::any_of(spanned, spanned + place.rows, [](const Row& r) { return r.heightTwips != 0; });
        if (rowSized || spanSized || down != Cell::VAlign::Top)
            sized.cells.push_back(SizedCell{place.row, place.column, place.rows, down,
                                            twipsToLogical(pad[1]) + above,
                                            twipsToLogical(pad[3]) + below + foot});
    }
    return sized;
}

} // namespace wordproc
