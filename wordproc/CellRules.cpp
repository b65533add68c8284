#include "wordproc/Pages.h"
#include "wordproc/PaintRules.h"
#include "wordproc/Template.h"

#include <QAbstractTextDocumentLayout>
#include <QPointer>
#include <QTextDocument>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace wordproc {
namespace {

// A rule from `a` to `b` as the style asks; `width` and lengths in the painter's units.
void drawRule(QPainter& painter, QPointF a, QPointF b, int style, double width, const QColor& color) {
    QPen pen(color, qMax(width, 1.0), Qt::SolidLine, Qt::FlatCap);
    if (style == Border::Dotted)
        pen.setStyle(Qt::DotLine);
    else if (style == Border::Dashed) {
        // LibreOffice's dashes: six points long with three between, longer for heavy rules; Qt's own are
        // four widths long, dots at a thin rule's width.
        const double dash = qMax(twipsToLayout(120), 3 * width) / pen.widthF();
        pen.setDashPattern({dash, dash / 2});
    }
    if (style == Border::Double) {
        // Two lines of the width, that far apart.
        const QPointF d = a.y() == b.y() ? QPointF(0, width) : QPointF(width, 0);
        painter.setPen(pen);
        painter.drawLine(a - d, b - d);
        painter.drawLine(a + d, b + d);
        return;
    }
    painter.setPen(pen);
    painter.drawLine(a, b);
}

} // namespace

bool rulesOf(const QTextFormat& format, int property, Rules& rules) {
    const QList<qreal> e = format.property(property).value<QList<qreal>>();
    if (e.size() != 16)
        return false;
    for (size_t i = 0; i < 4; ++i) {
        const qsizetype k = qsizetype(i) * 4;
        rules[i] = Rule{int(e[k]), twipsToLayout(e[k + 1]), twipsToLayout(e[k + 2]),
                        QColor::fromRgba(QRgb(quint32(e[k + 3])))};
    }
    return true;
}

bool letterBoxOf(const QTextFormat& format, Rule& rule) {
    const QList<qreal> e = format.property(kLetterBoxProperty).value<QList<qreal>>();
    if (e.size() != 4 || int(e[0]) == Border::None)
        return false;
    rule = Rule{int(e[0]), twipsToLayout(e[1]), twipsToLayout(e[2]), QColor::fromRgba(QRgb(quint32(e[3])))};
    return true;
}

void drawRule(QPainter& painter, QPointF a, QPointF b, const Rule& r) {
    if (r.style)
        drawRule(painter, a, b, r.style, r.width, r.color);
}

namespace {

// A table cell's edges as Qt has laid it out, and its rules.
struct CellBox {
    QRectF rect;
    Rules rules;
    int row = 0;
    std::array<int, 2> ruledRows{1 << 20, 1 << 20}; // how far down its left and right rules run
    // Of a cell that runs over pages: where its text on each page but the last ends, with its bottom
    // padding and half its rule, by page.
    std::vector<std::pair<int, double>> feet;
};

// The cells of a laid-out table, and the one over each of its rows and columns.
struct CellBoxes {
    int rows = 0, cols = 0;
    std::vector<CellBox> boxes;
    std::vector<int> cover;
    bool ruled = false; // whether any cell has a rule
    int at(int r, int c) const { return cover[size_t(r) * size_t(cols) + size_t(c)]; }
};

// Qt places a cell's text inside its padding and half of each rule's room: the cell's edges lie that far
// out from its text.
CellBoxes cellBoxes(const QTextDocument& doc, QTextTable& table) {
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const double scale = kLayoutDpi / 96.0;
    const int rows = table.rows(), cols = table.columns();
    CellBoxes cells;
    cells.rows = rows;
    cells.cols = cols;
    cells.cover.assign(size_t(rows) * size_t(cols), -1);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const QTextTableCell cell = table.cellAt(r, c);
            if (cell.row() != r || cell.column() != c)
                continue;
            const QTextTableCellFormat f = cell.format().toTableCellFormat();
            if (f.boolProperty(kFoldedCellProperty))
                continue; // the cell right of it reaches over it
            const int reachesOver = qMin(c, f.intProperty(kCellReachColumnsProperty));
            CellBox box;
            cells.ruled = rulesOf(f, kCellRulesProperty, box.rules) || cells.ruled;
            box.row = r;
            if (const QList<qreal> down = f.property(kSideRuleRowsProperty).value<QList<qreal>>();
                down.size() == 2)
                box.ruledRows = {int(down[0]), int(down[1])};
            // Qt places a cell's text inside its padding and half of each rule's room.
            const QTextBlock first = cell.firstCursorPosition().block();
            const QRectF text = layout->blockBoundingRect(first);
            box.rect.setLeft(text.left() -
                             (f.leftPadding() + f.doubleProperty(kCellReachProperty) + f.leftBorder() / 2) *
                                 scale);
            box.rect.setRight(text.right() + (f.rightPadding() + f.rightBorder() / 2) * scale);
            box.rect.setTop(text.top() - (f.topPadding() + f.topBorder() / 2) * scale);
            QTextBlock last = cell.lastCursorPosition().block();
            if (last.blockFormat().hasProperty(kKeptRowRoomProperty) && last != first)
                last = last.previous();
            const double bottom = textBottom(last, layout->blockBoundingRect(last));
            const double below = (f.bottomPadding() + f.bottomBorder() / 2) * scale;
            box.rect.setBottom(bottom + below);
            const double pageHeight = doc.pageSize().height();
            if (pageHeight > 0 && pageAt(box.rect.top(), pageHeight) != pageAt(box.rect.bottom(), pageHeight))
                for (QTextBlock b = first; b.isValid() && b.blockNumber() <= last.blockNumber();
                     b = b.next()) {
                    const double at = layout->blockBoundingRect(b).top();
                    for (int i = 0; i < b.layout()->lineCount(); ++i) {
                        const QTextLine line = b.layout()->lineAt(i);
                        const int page = pageAt(at + line.y(), pageHeight);
                        const double end = at + line.y() + line.height() + below;
                        if (box.feet.empty() || box.feet.back().first != page)
                            box.feet.emplace_back(page, end);
                        else
                            box.feet.back().second = qMax(box.feet.back().second, end);
                    }
                }
            if (!box.feet.empty())
                box.feet.pop_back(); // the last page's foot is the cell's own
            for (int y = r; y < r + cell.rowSpan() && y < rows; ++y)
                for (int x = c - reachesOver; x < c + cell.columnSpan() && x < cols; ++x)
                    cells.cover[size_t(y) * size_t(cols) + size_t(x)] = int(cells.boxes.size());
            cells.boxes.push_back(box);
        }
    return cells;
}

// Where a table's rows start and end, and its columns' left edges (and the last one's right edge).
struct TableLines {
    std::vector<double> top, bottom, x;
    // Of a row that runs over pages: where it ends on each page but its last, by page.
    std::vector<std::vector<std::pair<int, double>>> feet;
};

// False when no cell gives the table's left edge.
bool tableLines(const CellBoxes& cells, double pageHeight, TableLines& lines) {
    const int rows = cells.rows, cols = cells.cols;
    const auto at = [&](int r, int c) { return cells.at(r, c); };
    const std::vector<CellBox>& boxes = cells.boxes;
    const auto page = [&](double y) { return pageHeight > 0 ? pageAt(y, pageHeight) : 0; };
    constexpr double unknown = std::numeric_limits<double>::max();
    // Each row's top and bottom: a row ends where the next one starts, when that is on the same page.
    std::vector<double>& top = lines.top;
    std::vector<double>& bottom = lines.bottom;
    top.assign(size_t(rows), unknown);
    bottom.assign(size_t(rows), -unknown);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (const int b = at(r, c); b >= 0 && (r == 0 || at(r - 1, c) != b))
                top[size_t(r)] = qMin(top[size_t(r)], boxes[size_t(b)].rect.top());
    for (int r = 0; r < rows; ++r) {
        const size_t i = size_t(r);
        if (top[i] == unknown)
            top[i] = r > 0 ? bottom[i - 1] : 0;
        if (r + 1 < rows && top[i + 1] != unknown && page(top[i + 1]) == page(top[i])) {
            bottom[i] = top[i + 1];
            continue;
        }
        for (int c = 0; c < cols; ++c)
            if (const int b = at(r, c); b >= 0)
                bottom[i] = qMax(bottom[i], boxes[size_t(b)].rect.bottom());
        bottom[i] = qMax(bottom[i], top[i]);
    }
    // LibreOffice ends a row that runs on at the foot of its text on each page, where Qt's cells reach on
    // to the page's end.
    lines.feet.assign(size_t(rows), {});
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int b = at(r, c);
            if (b < 0 || (c > 0 && at(r, c - 1) == b) || (r > 0 && at(r - 1, c) == b) ||
                (r + 1 < rows && at(r + 1, c) == b))
                continue;
            auto& feet = lines.feet[size_t(r)];
            for (const auto& pageFoot : boxes[size_t(b)].feet) {
                const auto it = std::find_if(feet.begin(), feet.end(),
                                             [&](const auto& f) { return f.first == pageFoot.first; });
                if (it == feet.end())
                    feet.push_back(pageFoot);
                else
                    it->second = qMax(it->second, pageFoot.second);
            }
        }
    for (auto& feet : lines.feet)
        std::sort(feet.begin(), feet.end());
    // Each column's left edge, from the cells that start there (a column that no cell starts in lies
    // inside cells that span it, and has no edge of its own).
    std::vector<double>& x = lines.x;
    x.assign(size_t(cols) + 1, unknown);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const int b = at(r, c);
            if (b < 0)
                continue;
            if (c == 0 || at(r, c - 1) != b)
                x[size_t(c)] = boxes[size_t(b)].rect.left();
            if (c + 1 == cols || at(r, c + 1) != b)
                x[size_t(c) + 1] = boxes[size_t(b)].rect.right();
        }
    for (size_t c = 1; c < x.size(); ++c)
        if (x[c] == unknown)
            x[c] = x[c - 1];
    return x[0] != unknown;
}

struct Segment {
    QPointF a, b;
    Rule rule;
};

// The rules to stroke, across and down; the first `headerRows` rows are the headings Qt repeats at the top
// of a page.
void ruleSegments(const CellBoxes& cells, const TableLines& lines, int headerRows, double pageHeight,
                  std::vector<Segment>& across, std::vector<Segment>& down) {
    const int rows = cells.rows, cols = cells.cols;
    const auto at = [&](int r, int c) { return cells.at(r, c); };
    const std::vector<CellBox>& boxes = cells.boxes;
    const std::vector<double>& top = lines.top;
    const std::vector<double>& bottom = lines.bottom;
    const std::vector<double>& x = lines.x;
    const auto page = [&](double y) { return pageHeight > 0 ? pageAt(y, pageHeight) : 0; };
    const auto pick = [](const Rule& a, const Rule& b) {
        return b.style && (!a.style || b.width > a.width) ? b : a;
    };
    const auto rule = [&](int b, Side side) {
        return b >= 0 ? boxes[size_t(b)].rules[size_t(side)] : Rule{};
    };
    // A cell's side rule beside row `r`: a cell merged down its column has it only as far as it runs.
    const auto sideRule = [&](int b, Side side, int r) {
        if (b < 0)
            return Rule{};
        const CellBox& box = boxes[size_t(b)];
        return r - box.row < box.ruledRows[side == Side::Left ? 0 : 1] ? box.rules[size_t(side)] : Rule{};
    };
    // Heading rows repeated on later pages: their first row, and how far down each page's copy lies.
    const int headers = qMin(headerRows, rows);
    const double headerHeight = headers > 0 && headers < rows ? top[size_t(headers)] - top[0] : 0;
    const auto repeated = [&](int r) { return headerHeight > 0 && r >= headers; };
    // The page a row ends on: one that runs on ends a page or more below where it starts.
    const auto lastPage = [&](int r) {
        const auto& feet = lines.feet[size_t(r)];
        return feet.empty() ? page(top[size_t(r)]) : feet.back().first + 1;
    };
    // The rows that open a page after the first: Qt sets the headings' copy just above them. A row that
    // runs on from the page before opens it instead: the copy stands at the page's top, above the rest of
    // that row.
    const auto opensPage = [&](int r) { return r > 0 && r < rows && page(top[size_t(r)]) > lastPage(r - 1); };
    const auto goesOnAt = [&](int r, int page) {
        return (page + 1) * pageHeight + (repeated(r) ? headerHeight : 0);
    };
    // Vertical rules, a row at a time; the half widths they take across, for the rules that meet them.
    std::vector<double> halfDown(size_t(rows) * size_t(cols + 1), 0);
    const auto edgesDown = [&](int r0, int r1, double shift) {
        for (int c = 0; c <= cols; ++c)
            for (int r = r0; r < r1; ++r) {
                const int left = c > 0 ? at(r, c - 1) : -1, right = c < cols ? at(r, c) : -1;
                if (left == right)
                    continue;
                const Rule ruled = pick(sideRule(left, Side::Right, r), sideRule(right, Side::Left, r));
                if (!ruled.style)
                    continue;
                halfDown[size_t(r) * size_t(cols + 1) + size_t(c)] = ruled.half();
                // A row that runs on is ruled down to its foot on each page, and on from the next
                // page's top.
                std::vector<std::pair<double, double>> pieces;
                double from = top[size_t(r)];
                for (const auto& [page, foot] : lines.feet[size_t(r)]) {
                    pieces.emplace_back(from, foot);
                    from = goesOnAt(r, page);
                }
                pieces.emplace_back(from, bottom[size_t(r)]);
                for (const auto& [y0, y1] : pieces) {
                    const QPointF a(x[size_t(c)], y0 + shift), b(x[size_t(c)], y1 + shift);
                    Segment& last = down.empty() ? down.emplace_back(Segment{a, a, ruled}) : down.back();
                    if (last.b == a && last.rule.style == ruled.style && last.rule.width == ruled.width &&
                        last.rule.color == ruled.color)
                        last.b = b;
                    else
                        down.push_back(Segment{a, b, ruled});
                }
            }
    };
    // Horizontal rules at `y` between the cells of rows `upper` and `lower`, or along one side's cells
    // only (the other -1); `shift` moves the heading rows' copies.
    const auto edgeAcross = [&](int upper, int lower, double y, double shift = 0) {
        const int corner = lower >= 0 ? lower : upper + 1; // the boundary whose corners it closes
        for (int c = 0; c < cols; ++c) {
            const int above = upper >= 0 ? at(upper, c) : -1;
            const int below = lower >= 0 ? at(lower, c) : -1;
            if (above == below && above >= 0)
                continue;
            if (upper >= 0 && lower < 0 && upper + 1 < rows && at(upper + 1, c) == above)
                continue; // the cell goes on below: its foot is further down
            const Rule ruled = pick(rule(above, Side::Bottom), rule(below, Side::Top));
            if (!ruled.style)
                continue;
            // A rule runs on over the ends of the rules across it, so that corners close.
            const auto half = [&](int col) {
                double h = 0;
                for (int row : {corner - 1, corner})
                    if (row >= 0 && row < rows)
                        h = qMax(h, halfDown[size_t(row) * size_t(cols + 1) + size_t(col)]);
                return h;
            };
            // A rule on the edge between two pages stands wholly on the page of its row, as LibreOffice
            // draws it, not half on each.
            double at = y + shift;
            if (pageHeight > 0 && at > 0.5 && qAbs(at - std::round(at / pageHeight) * pageHeight) < 0.5)
                at += lower >= 0 ? ruled.half() : -ruled.half();
            const QPointF a(x[size_t(c)] - half(c), at), b(x[size_t(c) + 1] + half(c + 1), at);
            Segment& last = across.empty() ? across.emplace_back(Segment{a, a, ruled}) : across.back();
            if (qAbs(last.a.y() - a.y()) < 0.01 && last.b.x() >= a.x() && last.rule.style == ruled.style &&
                last.rule.width == ruled.width && last.rule.color == ruled.color)
                last.b = b;
            else
                across.push_back(Segment{a, b, ruled});
        }
    };
    edgesDown(0, rows, 0);
    edgeAcross(-1, 0, top[0]);
    // A row that runs on closes at its foot on each page with its bottom rule, and opens the next with
    // its top rule, under the headings' copy when they repeat.
    for (int r = 0; r < rows; ++r)
        for (const auto& [page, foot] : lines.feet[size_t(r)]) {
            edgeAcross(r, -1, foot);
            edgeAcross(repeated(r) ? headers - 1 : -1, r, goesOnAt(r, page));
        }
    for (int r = 1; r < rows; ++r) {
        if (!opensPage(r)) {
            edgeAcross(r - 1, r, top[size_t(r)]);
            continue;
        }
        edgeAcross(r - 1, -1, bottom[size_t(r) - 1]);
        // The page's copy of the headings meets the row below it as rows on one page do.
        edgeAcross(repeated(r) ? headers - 1 : -1, r, top[size_t(r)]);
    }
    edgeAcross(rows - 1, -1, bottom[size_t(rows) - 1]);
    if (headerHeight <= 0)
        return;
    const auto headings = [&](double shift) {
        edgesDown(0, headers, shift);
        edgeAcross(-1, 0, top[0], shift);
        for (int h = 1; h < headers; ++h)
            edgeAcross(h - 1, h, top[size_t(h)], shift);
    };
    for (int r = headers; r < rows; ++r) {
        if (opensPage(r))
            headings(top[size_t(r)] - headerHeight - top[0]);
        for (const auto& pageFoot : lines.feet[size_t(r)])
            headings((pageFoot.first + 1) * pageHeight - top[0]);
    }
}

} // namespace

QPainterPath shadingGaps(const QTextDocument& doc, QTextTable& table) {
    QPainterPath gaps;
    const double pageHeight = doc.pageSize().height();
    if (pageHeight <= 0)
        return gaps;
    const CellBoxes cells = cellBoxes(doc, table);
    TableLines lines;
    if (!tableLines(cells, pageHeight, lines))
        return gaps;
    // Qt stretches the last row of a page down to where the next row starts, a page on, and fills the
    // room below its text with its cells' shading; LibreOffice leaves it blank, the rows ending at their
    // text.
    for (int r = 0; r + 1 < cells.rows; ++r) {
        const size_t i = size_t(r);
        const int page = pageAt(lines.bottom[i] - 0.5, pageHeight);
        if (pageAt(lines.top[i + 1], pageHeight) <= page)
            continue;
        bool spans = false;
        for (int c = 0; c < cells.cols && !spans; ++c)
            spans = cells.at(r, c) >= 0 && cells.at(r, c) == cells.at(r + 1, c);
        if (spans)
            continue;
        const double end = (page + 1) * pageHeight;
        if (end > lines.bottom[i])
            gaps.addRect(
                QRectF(QPointF(lines.x.front() - 2, lines.bottom[i]), QPointF(lines.x.back() + 2, end)));
    }
    return gaps;
}

// The rules of a table's cells, stroked on the cells' edges. Each stretch of edge between two cells is
// ruled once, with the wider of their two rules; a row at the foot of a page closes with its own bottom
// rule and the row that opens the next page with its top rule. Heading rows that Qt repeats at the top of
// a page are ruled there too.
void paintCellRules(QPainter& painter, const QTextDocument& doc, QTextTable& table, const QRectF& clip) {
    const double pageHeight = doc.pageSize().height() > 0 ? doc.pageSize().height() : 0;
    // A table is painted once for each sheet it runs over, and working out its rules visits every cell:
    // a long table's rules are worked out once, for the sheets that follow too. The guarded pointer
    // tells a table apart from a later one at the same address.
    struct Worked {
        QPointer<QTextTable> table;
        double pageHeight = 0;
        QSizeF size;
        int first = -1, last = -1;
        std::vector<Segment> across, down;
    };
    thread_local Worked worked;
    const QSizeF size = doc.documentLayout()->documentSize();
    if (worked.table != &table || worked.pageHeight != pageHeight || worked.size != size ||
        worked.first != table.firstPosition() || worked.last != table.lastPosition()) {
        worked = Worked{&table, pageHeight, size, table.firstPosition(), table.lastPosition(), {}, {}};
        const CellBoxes cells = cellBoxes(doc, table);
        TableLines lines;
        if (cells.ruled && tableLines(cells, pageHeight, lines))
            ruleSegments(cells, lines, table.format().headerRowCount(), pageHeight, worked.across,
                         worked.down);
    }
    const std::vector<Segment>&across = worked.across, &down = worked.down;
    for (const std::vector<Segment>* list : {&across, &down})
        for (const Segment& s : *list) {
            // A rule wholly beyond the clip is not drawn at all: a PDF viewer that snaps thin rules to its
            // pixels would show a hair of it on the clip's edge. Nor is one that reaches into it by less
            // than half a pixel: a cell's edge, worked out from its text and padding, may stand that much
            // above the page's end, though its row opens the next page.
            const double reach = (list == &across ? s.rule.half() : 0) - 0.5;
            if (!clip.isEmpty() && (qMax(s.a.y(), s.b.y()) + reach <= clip.top() ||
                                    qMin(s.a.y(), s.b.y()) - reach >= clip.bottom()))
                continue;
            drawRule(painter, s.a, s.b, s.rule);
        }
}

} // namespace wordproc
