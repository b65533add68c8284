#include "wordproc/Pages.h"

#include "errors/Failure.h"
#include "platform/Fonts.h"
#include "wordproc/Template.h"
#include "wordproc/TurnedText.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextOption>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <limits>

namespace wordproc {

QPaintDevice* layoutDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

namespace {

std::unique_ptr<QTextDocument> newDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->documentLayout()->setPaintDevice(layoutDevice());
    doc->setDocumentMargin(0);
    // Templates name Windows faces; they print in the installed faces with the same metrics.
    QFont font =
        platform::namedFont(defaultFamily.isEmpty() ? QStringLiteral("Times New Roman") : defaultFamily, 12);
    font.setHintingPreference(QFont::PreferNoHinting); // as the text's own formats
    doc->setDefaultFont(font);
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(twipsToLogical(page.defaultTabTwips));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    allowTurnedText(*doc);
    return doc;
}

double contentWidth(const PageSetup& page) {
    return twipsToLayout(double(page.widthTwips) - page.leftTwips - page.rightTwips);
}

} // namespace

std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height) {
    auto doc = newDocument(page, defaultFamily);
    if (height <= 0)
        height = twipsToLayout(double(page.heightTwips) - page.topTwips - page.bottomTwips);
    // A body in columns is laid out a column wide: its pages are the columns.
    double width = contentWidth(page);
    if (page.columns > 1) {
        const double gaps = twipsToLayout(page.columnGapTwips) * (page.columns - 1);
        width = qMax(twipsToLayout(720), (width - gaps) / page.columns);
    }
    doc->setPageSize(QSizeF(width, height));
    return doc;
}

std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = newDocument(page, defaultFamily);
    doc->setTextWidth(contentWidth(page));
    return doc;
}

int PageCopy::ownSheets() const {
    if (!body)
        return 0;
    const int across = qMax(1, columns);
    return qMax(1, (body->pageCount() + across - 1) / across);
}

int PageCopy::pageCount() const {
    int n = ownSheets();
    for (const PageCopy& part : parts)
        n += part.pageCount();
    return n;
}

std::pair<const PageCopy*, int> partOf(const PageCopy& copy, int index) {
    const int own = copy.ownSheets();
    if (index < own || copy.parts.empty())
        return {&copy, index};
    index -= own;
    for (const PageCopy& part : copy.parts) {
        const int sheets = part.pageCount();
        if (index < sheets)
            return partOf(part, index);
        index -= sheets;
    }
    return {&copy.parts.back(), index + copy.parts.back().pageCount()};
}

const PageSetup& sheetPage(const PageCopy& copy, int index, const PageSetup& page) {
    const PageCopy* part = partOf(copy, index).first;
    return part->page ? *part->page : page;
}

int MergedDocument::pageCount() const {
    int n = 0;
    for (const PageCopy& c : copies)
        n += c.pageCount();
    return n;
}

QString MergedDocument::plainText() const {
    QStringList parts;
    const auto add = [&parts](const auto& self, const PageCopy& c) -> void {
        if (c.body)
            parts << c.body->toPlainText();
        for (const PageCopy& part : c.parts)
            self(self, part);
    };
    for (const PageCopy& c : copies)
        add(add, c);
    return parts.join(QLatin1Char('\n'));
}

namespace {

// A rule from `a` to `b` as the style asks; `width` and lengths in the painter's units.
void drawRule(QPainter& painter, QPointF a, QPointF b, int style, double width, const QColor& color) {
    QPen pen(color, qMax(width, 1.0), Qt::SolidLine, Qt::FlatCap);
    if (style == Border::Dotted)
        pen.setStyle(Qt::DotLine);
    else if (style == Border::Dashed)
        pen.setStyle(Qt::DashLine);
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

// One edge's rule as kBordersProperty or kCellRulesProperty carries it, lengths in layout pixels.
struct Rule {
    int style = 0;
    double width = 0, space = 0;
    QColor color;
    // Half of what the rule takes across: a double rule is two lines with a line's width between them.
    double half() const { return style ? width * (style == Border::Double ? 1.5 : 0.5) : 0.0; }
};
using Rules = std::array<Rule, 4>;

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

void drawRule(QPainter& painter, QPointF a, QPointF b, const Rule& r) {
    if (r.style)
        drawRule(painter, a, b, r.style, r.width, r.color);
}

// The bottom of a block's last line as the text goes on below it: Qt rounds the block's rectangle up to
// whole pixels.
double textBottom(const QTextBlock& block, const QRectF& rect) {
    const QTextLayout* lines = block.layout();
    if (lines->lineCount() == 0)
        return rect.bottom();
    const QTextLine line = lines->lineAt(lines->lineCount() - 1);
    return rect.top() + line.y() + block.blockFormat().lineHeight(line.height(), kLayoutDpi / 96.0);
}

// A paragraph's shading covers its lines from indent to indent, and the space between its rules and
// its text, as in the common word processors.
void paintShading(QPainter& painter, const QTextBlock& block, const QRectF& text) {
    const QTextBlockFormat format = block.blockFormat();
    Rules rules;
    const bool ruled = rulesOf(format, kBordersProperty, rules);
    const auto room = [&](Side side) {
        const Rule& r = rules[size_t(side)];
        return ruled && r.style ? r.space : 0.0;
    };
    const double x0 = text.left() + format.leftMargin() + qMin(0.0, format.textIndent());
    // Qt's rectangle of a block starts at its frame's edge and is as wide as its lines.
    const double x1 = x0 + text.width();
    painter.fillRect(QRectF(QPointF(x0 - room(Side::Left), text.top() - room(Side::Top)),
                            QPointF(x1 + room(Side::Right), textBottom(block, text) + room(Side::Bottom))),
                     QColor::fromRgba(QRgb(format.property(kShadingProperty).toULongLong())));
}

void paintBorders(QPainter& painter, const QRectF& text, const QTextBlockFormat& format) {
    Rules rules;
    if (!rulesOf(format, kBordersProperty, rules))
        return;
    const Rule& top = rules[size_t(Side::Top)];
    const Rule& bottom = rules[size_t(Side::Bottom)];
    const Rule& left = rules[size_t(Side::Left)];
    const Rule& right = rules[size_t(Side::Right)];
    // The rules stand their space away from the text, on the paragraph's indents.
    const double y0 = top.style ? text.top() - top.space - top.half() : text.top();
    const double y1 = bottom.style ? text.bottom() + bottom.space + bottom.half() : text.bottom();
    const double x0 = text.left() + format.leftMargin() + qMin(0.0, format.textIndent());
    // Qt's rectangle of a block starts at its frame's edge and is as wide as its lines.
    const double x1 = x0 + text.width();
    drawRule(painter, {x0, y0}, {x1, y0}, top);
    drawRule(painter, {x0, y1}, {x1, y1}, bottom);
    drawRule(painter, {x0 - left.space - left.half(), y0}, {x0 - left.space - left.half(), y1}, left);
    drawRule(painter, {x1 + right.space + right.half(), y0}, {x1 + right.space + right.half(), y1}, right);
}

// A table cell's edges as Qt has laid it out, and its rules.
struct CellBox {
    QRectF rect;
    Rules rules;
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
            CellBox box;
            cells.ruled = rulesOf(f, kCellRulesProperty, box.rules) || cells.ruled;
            // Qt places a cell's text inside its padding and half of each rule's room.
            const QTextBlock first = cell.firstCursorPosition().block();
            const QRectF text = layout->blockBoundingRect(first);
            box.rect.setLeft(text.left() - (f.leftPadding() + f.leftBorder() / 2) * scale);
            box.rect.setRight(text.right() + (f.rightPadding() + f.rightBorder() / 2) * scale);
            box.rect.setTop(text.top() - (f.topPadding() + f.topBorder() / 2) * scale);
            const QTextBlock last = cell.lastCursorPosition().block();
            const double bottom = textBottom(last, layout->blockBoundingRect(last));
            box.rect.setBottom(bottom + (f.bottomPadding() + f.bottomBorder() / 2) * scale);
            for (int y = r; y < r + cell.rowSpan() && y < rows; ++y)
                for (int x = c; x < c + cell.columnSpan() && x < cols; ++x)
                    cells.cover[size_t(y) * size_t(cols) + size_t(x)] = int(cells.boxes.size());
            cells.boxes.push_back(box);
        }
    return cells;
}

// Where a table's rows start and end, and its columns' left edges (and the last one's right edge).
struct TableLines {
    std::vector<double> top, bottom, x;
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
    // Heading rows repeated on later pages: their first row, and how far down each page's copy lies.
    const int headers = qMin(headerRows, rows);
    const double headerHeight = headers > 0 && headers < rows ? top[size_t(headers)] - top[0] : 0;
    // The rows that open a page after the first: Qt sets the headings' copy just above them.
    const auto opensPage = [&](int r) {
        return r > 0 && r < rows && page(top[size_t(r)]) != page(top[size_t(r) - 1]);
    };
    // Vertical rules, a row at a time; the half widths they take across, for the rules that meet them.
    std::vector<double> halfDown(size_t(rows) * size_t(cols + 1), 0);
    const auto edgesDown = [&](int r0, int r1, double shift) {
        for (int c = 0; c <= cols; ++c)
            for (int r = r0; r < r1; ++r) {
                const int left = c > 0 ? at(r, c - 1) : -1, right = c < cols ? at(r, c) : -1;
                if (left == right)
                    continue;
                const Rule ruled = pick(rule(left, Side::Right), rule(right, Side::Left));
                if (!ruled.style)
                    continue;
                halfDown[size_t(r) * size_t(cols + 1) + size_t(c)] = ruled.half();
                const QPointF a(x[size_t(c)], top[size_t(r)] + shift),
                    b(x[size_t(c)], bottom[size_t(r)] + shift);
                Segment& last = down.empty() ? down.emplace_back(Segment{a, a, ruled}) : down.back();
                if (last.b == a && last.rule.style == ruled.style && last.rule.width == ruled.width &&
                    last.rule.color == ruled.color)
                    last.b = b;
                else
                    down.push_back(Segment{a, b, ruled});
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
    for (int r = 1; r < rows; ++r) {
        if (!opensPage(r)) {
            edgeAcross(r - 1, r, top[size_t(r)]);
            continue;
        }
        edgeAcross(r - 1, -1, bottom[size_t(r) - 1]);
        // The page's copy of the headings meets the row below it as rows on one page do.
        edgeAcross(headerHeight > 0 && r >= headers ? headers - 1 : -1, r, top[size_t(r)]);
    }
    edgeAcross(rows - 1, -1, bottom[size_t(rows) - 1]);
    if (headerHeight > 0)
        for (int r = headers; r < rows; ++r) {
            if (!opensPage(r))
                continue;
            const double shift = top[size_t(r)] - headerHeight - top[0];
            edgesDown(0, headers, shift);
            edgeAcross(-1, 0, top[0], shift);
            for (int h = 1; h < headers; ++h)
                edgeAcross(h - 1, h, top[size_t(h)], shift);
        }
}

// The rules of a table's cells, stroked on the cells' edges. Each stretch of edge between two cells is
// ruled once, with the wider of their two rules; a row at the foot of a page closes with its own bottom
// rule and the row that opens the next page with its top rule. Heading rows that Qt repeats at the top of
// a page are ruled there too.
void paintCellRules(QPainter& painter, const QTextDocument& doc, QTextTable& table, const QRectF& clip) {
    const double pageHeight = doc.pageSize().height() > 0 ? doc.pageSize().height() : 0;
    const CellBoxes cells = cellBoxes(doc, table);
    if (!cells.ruled)
        return;
    TableLines lines;
    if (!tableLines(cells, pageHeight, lines))
        return;
    std::vector<Segment> across, down;
    ruleSegments(cells, lines, table.format().headerRowCount(), pageHeight, across, down);
    for (const std::vector<Segment>* list : {&across, &down})
        for (const Segment& s : *list) {
            // A rule wholly beyond the clip is not drawn at all: a PDF viewer that snaps thin rules to its
            // pixels would show a hair of it on the clip's edge.
            const double reach = list == &across ? s.rule.half() : 0;
            if (!clip.isEmpty() && (qMax(s.a.y(), s.b.y()) + reach <= clip.top() ||
                                    qMin(s.a.y(), s.b.y()) - reach >= clip.bottom()))
                continue;
            drawRule(painter, s.a, s.b, s.rule);
        }
}

QTextCharFormat formatAt(const QTextBlock& block, int position) {
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (it.fragment().contains(position))
            return it.fragment().charFormat();
    return block.charFormat();
}

void paintLeaders(QPainter& painter, const QTextBlock& block, const QPointF& origin) {
    const QString leaders = block.blockFormat().property(kLeadersProperty).toString();
    if (leaders.trimmed().isEmpty())
        return;
    const QList<QTextOption::Tab> tabs = block.blockFormat().tabPositions();
    const QString text = block.text();
    const QTextLayout* layout = block.layout();
    const double logical = kLayoutDpi / 96.0;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\t'))
            continue;
        const QTextLine line = layout->lineForTextPosition(i);
        if (!line.isValid())
            continue;
        const double x0 = line.cursorToX(i), x1 = line.cursorToX(i + 1);
        // The stop this tab went to: the first one past where it starts, as Qt chooses it.
        const double from = (x0 - line.x()) / logical;
        qsizetype stop = 0;
        while (stop < tabs.size() && tabs[stop].position <= from + 0.01)
            ++stop;
        if (stop >= tabs.size() || stop >= leaders.size() || leaders[stop] == QLatin1Char('0'))
            continue;
        const int kind = leaders[stop].unicode() - '0';
        const QTextCharFormat f = formatAt(block, block.position() + i);
        QFont font = f.font();
        // The painter sizes a font for its own device; the layout's pixels are what the text uses.
        font.setPointSizeF(font.pointSizeF() * kLayoutDpi / painter.device()->logicalDpiY());
        const QFontMetricsF metrics(QFont(f.font(), layoutDevice()));
        const double baseline = origin.y() + line.y() + line.ascent();
        const QColor color = f.foreground().color();
        // Rules are drawn with underscores, as LibreOffice draws them: they line up with the text's.
        const QChar c = kind == TabStop::Hyphens      ? QLatin1Char('-')
                        : kind == TabStop::Equals     ? QLatin1Char('=')
                        : kind == TabStop::MiddleDots ? QChar(0x00B7)
                        : kind == TabStop::Dots       ? QLatin1Char('.')
                                                      : QLatin1Char('_');
        const double w = metrics.horizontalAdvance(c);
        // Leaders run from the text before them to the stop, as LibreOffice sets them: dots and the like
        // spaced a little wider to fill it, the characters of a rule a little closer, so that it is whole.
        const bool rule = kind == TabStop::Underline || kind == TabStop::Thick;
        const int n = int(std::floor((x1 - x0) / w + 0.01)) + (rule ? 1 : 0);
        if (n <= 0)
            continue;
        const double step = (x1 - x0) / n;
        painter.setFont(font);
        painter.setPen(color);
        for (int k = 0; k < n; ++k)
            painter.drawText(QPointF(origin.x() + x0 + k * step, baseline), QString(c));
    }
}

// The blocks whose text may meet `clip` (document coordinates; all blocks when empty), first and last.
// Blocks come down the page in document order but for a table's cells, whose paragraphs may reach below
// the next cell's start: the search keeps an inch of slack either side.
std::pair<QTextBlock, QTextBlock> blocksNear(const QTextDocument& doc, const QRectF& clip) {
    if (clip.isEmpty())
        return {doc.begin(), doc.lastBlock()};
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const double top = clip.top() - kLayoutDpi, bottom = clip.bottom() + kLayoutDpi;
    // The first block that ends below `y`, as far as a search over block numbers finds it.
    const auto firstEndingBelow = [&](double y) {
        int lo = 0, hi = doc.blockCount();
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (layout->blockBoundingRect(doc.findBlockByNumber(mid)).bottom() < y)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const int first = firstEndingBelow(top);
    int last = firstEndingBelow(bottom);
    last = qMin(last, doc.blockCount() - 1);
    return {doc.findBlockByNumber(qMin(first, last)), doc.findBlockByNumber(last)};
}

} // namespace

LeadingAbove::LeadingAbove(const QTextDocument& doc, const QRectF& clip) {
    const auto [first, last] = blocksNear(doc, clip);
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        const int type = b.blockFormat().lineHeightType();
        // Set line heights keep the text where the file puts it in the line.
        if (type == QTextBlockFormat::SingleHeight || type == QTextBlockFormat::ProportionalHeight) {
            QTextLayout* lines = b.layout();
            const QVariant most = b.blockFormat().property(kLeadingProperty);
            for (int i = 0; i < lines->lineCount(); ++i) {
                QTextLine line = lines->lineAt(i);
                const double gap = most.isValid() ? qMin(line.leading(), most.toDouble()) : line.leading();
                if (gap <= 0)
                    continue;
                m_moved.emplace_back(line, line.position());
                line.setPosition(line.position() + QPointF(0, gap));
                m_most = qMax(m_most, gap);
            }
        }
        if (b == last)
            break;
    }
}

LeadingAbove::~LeadingAbove() {
    for (auto& [line, position] : m_moved)
        line.setPosition(position);
}

void paintDocument(QPainter& painter, const QTextDocument& doc, const QRectF& clip) {
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const std::pair<QTextBlock, QTextBlock> near = blocksNear(doc, clip);
    const QTextBlock first = near.first, last = near.second;
    // The blocks near the clip, in order, with their rectangles.
    const auto eachBlock = [&](auto&& paint) {
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            paint(block, block.blockFormat());
            if (block == last)
                break;
        }
    };
    painter.save();
    eachBlock([&](const QTextBlock& block, const QTextBlockFormat& format) {
        if (format.hasProperty(kShadingProperty))
            paintShading(painter, block, layout->blockBoundingRect(block));
    });
    {
        const LeadingAbove gaps(doc, clip);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        // A line that only touches the clip's edge belongs to the neighbouring page: not even an
        // invisible copy of it goes into this page (a PDF would hold its text twice). The last line of
        // the page before reaches its gap further down.
        if (!clip.isEmpty())
            ctx.clip = clip.adjusted(0, 0.5 + gaps.most(), 0, -0.5);
        doc.documentLayout()->draw(&painter, ctx);
        eachBlock([&](const QTextBlock& block, const QTextBlockFormat& format) {
            if (format.hasProperty(kLeadersProperty))
                paintLeaders(painter, block, layout->blockBoundingRect(block).topLeft());
        });
    }
    // The rules keep to the paragraphs' and cells' edges, where the lines stand without their gaps.
    // The tables near the clip: frames come down the page in order, like blocks.
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    auto frame = frames.begin();
    if (!clip.isEmpty())
        frame = std::partition_point(frames.begin(), frames.end(), [&](QTextFrame* f) {
            return layout->frameBoundingRect(f).bottom() < clip.top() - kLayoutDpi;
        });
    for (; frame != frames.end(); ++frame) {
        if (!clip.isEmpty() && layout->frameBoundingRect(*frame).top() > clip.bottom() + kLayoutDpi)
            break;
        if (QTextTable* table = qobject_cast<QTextTable*>(*frame))
            paintCellRules(painter, doc, *table, clip);
    }
    eachBlock([&](const QTextBlock& block, const QTextBlockFormat& format) {
        if (format.hasProperty(kBordersProperty))
            paintBorders(painter, layout->blockBoundingRect(block), format);
    });
    painter.restore();
}

void setPageNumbers(QTextDocument& doc, int page, int pages, double pageHeight, int firstPage, int columns) {
    struct Spot {
        int position, length, kind;
        QTextCharFormat format;
        int page;
    };
    std::vector<Spot> spots;
    const QAbstractTextDocumentLayout* layout = pageHeight > 0 ? doc.documentLayout() : nullptr;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int kind = f.charFormat().intProperty(kPageFieldProperty);
            if (kind == 0)
                continue;
            int on = page;
            if (layout) {
                const QTextLine line = block.layout()->lineForTextPosition(f.position() - block.position());
                const double y = layout->blockBoundingRect(block).top() + (line.isValid() ? line.y() : 0);
                on = firstPage + pageAt(y, pageHeight) / qMax(1, columns);
            }
            spots.push_back(Spot{f.position(), f.length(), kind, f.charFormat(), on});
        }
    }
    // From the end, so that a number that changes length leaves the earlier positions alone.
    QTextCursor cursor(&doc);
    for (auto it = spots.rbegin(); it != spots.rend(); ++it) {
        const QString text = QString::number(it->kind == 1 ? it->page : pages);
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        if (cursor.selectedText() != text)
            cursor.insertText(text, it->format);
    }
}

namespace {

void paintShape(QPainter& painter, const PlacedPicture& p) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(p.line.isValid()
                       ? QPen(p.line, qMax(1.0, p.lineWidth), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin)
                       : QPen(Qt::NoPen));
    painter.setBrush(p.fill.isValid() ? QBrush(p.fill) : QBrush(Qt::NoBrush));
    switch (p.shape) {
    case Floating::Shape::Box:
        painter.drawRect(p.rect);
        break;
    case Floating::Shape::Ellipse:
        painter.drawEllipse(p.rect);
        break;
    default: {
        const QPolygonF points = p.points.translated(p.rect.topLeft());
        if (p.fill.isValid())
            painter.drawPolygon(points);
        else
            painter.drawPolyline(points);
    }
    }
    painter.restore();
}

} // namespace

QTextDocument* bandOn(const PageCopy& whole, int sheet, bool header) {
    const std::pair<const PageCopy*, int> at = partOf(whole, sheet);
    const PageCopy& copy = *at.first;
    const int index = at.second;
    const int number = copy.firstPage + index;
    const bool even = copy.evenPages && number % 2 == 0;
    const SectionBands* section = nullptr;
    for (const SectionBands& s : copy.sections)
        if (s.fromPage <= index)
            section = &s;
    if (section) {
        if (section->titlePage && index == section->fromPage)
            return (header ? section->firstHeader : section->firstFooter).get();
        if (even)
            return (header ? section->evenHeader : section->evenFooter).get();
        return (header ? section->header : section->footer).get();
    }
    if (copy.titlePage && number == 1)
        return (header ? copy.firstHeader : copy.firstFooter).get();
    if (even)
        return (header ? copy.evenHeader : copy.evenFooter).get();
    return (header ? copy.header : copy.footer).get();
}

void paintSheet(QPainter& painter, const PageCopy& whole, int sheet, const PageSetup& paper) {
    // Plain names rather than a structured binding: the lambdas below capture them.
    const std::pair<const PageCopy*, int> at = partOf(whole, sheet);
    const PageCopy& copy = *at.first;
    const int index = at.second;
    const PageSetup& page = copy.page ? *copy.page : paper;
    if (!copy.body)
        return;
    QTextDocument* const header = bandOn(copy, index, true);
    QTextDocument* const footer = bandOn(copy, index, false);
    const QTextDocument& doc = *copy.body;
    const QSizeF size = doc.pageSize();
    const double left = twipsToLayout(page.leftTwips);
    const double pageWidth = twipsToLayout(page.widthTwips);
    const int columns = qMax(1, copy.columns);
    const double columnStep = size.width() + twipsToLayout(page.columnGapTwips);
    const auto pictures = [&](bool behind) {
        for (const PlacedPicture& p : copy.pictures) {
            if ((p.page / columns != index && p.page >= 0) || p.behindText != behind ||
                (p.band && p.band != header && p.band != footer))
                continue;
            if (p.shape != Floating::Shape::None) {
                paintShape(painter, p);
                continue;
            }
            if (!p.text) {
                painter.drawImage(p.rect, p.image);
                continue;
            }
            // A text box covers what lies under it, as in the common word processors.
            if (p.fill.isValid())
                painter.fillRect(p.rect, p.fill);
            painter.save();
            painter.translate(p.rect.topLeft() + p.textOffset);
            paintDocument(painter, *p.text);
            painter.restore();
            if (p.line.isValid()) {
                painter.save();
                painter.setPen(QPen(p.line, p.lineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(p.rect);
                painter.restore();
            }
        }
    };
    const auto band = [&](QTextDocument* band, bool header) {
        if (!band)
            return;
        setPageNumbers(*band, copy.firstPage + index, copy.numberedPages());
        const double top = header ? twipsToLayout(page.headerTwips)
                                  : twipsToLayout(page.heightTwips - page.footerTwips) -
                                        band->documentLayout()->documentSize().height();
        painter.save();
        painter.translate(left, top);
        paintDocument(painter, *band);
        painter.restore();
    };
    pictures(true);
    const double top = index == 0 && copy.firstBodyTop >= 0 ? copy.firstBodyTop
                       : copy.bodyTop >= 0                  ? copy.bodyTop
                                                            : twipsToLayout(page.topTwips);
    // A body in columns: its pages side by side, each column's notes at its own foot.
    for (int column = 0; column < columns; ++column) {
        const int at = index * columns + column;
        if (column > 0 && at >= doc.pageCount())
            break;
        const double x = left + column * columnStep;
        if (column > 0 && page.columnRule) {
            const double ruleX = x - (columnStep - size.width()) / 2;
            painter.save();
            painter.setPen(QPen(Qt::black, twipsToLayout(10), Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(QPointF(ruleX, top), QPointF(ruleX, top + size.height()));
            painter.restore();
        }
        painter.save();
        painter.translate(x, top);
        // Lines of a paragraph that runs on to the next page lie below this page's text area; a column's
        // text keeps to the column, and a single column's may reach into the margins.
        const QRectF area = columns > 1 ? QRectF(0, at * size.height(), size.width(), size.height())
                                        : QRectF(-left, at * size.height(), pageWidth, size.height());
        painter.translate(0, -at * size.height());
        painter.setClipRect(area);
        paintDocument(painter, doc, area);
        painter.restore();
        if (size_t(at) < copy.notes.size() && !copy.notes[size_t(at)].empty()) {
            const std::vector<NoteSlice>& slices = copy.notes[size_t(at)];
            double y = top + size.height();
            for (const NoteSlice& slice : slices)
                y -= slice.to - slice.from;
            const double width = size.width();
            const double ruleY = y - twipsToLayout(kNoteRuleGapTwips);
            if (page.noteRule) {
                painter.save();
                painter.setPen(QPen(Qt::black, twipsToLayout(kNoteRuleTwips), Qt::SolidLine, Qt::FlatCap));
                painter.drawLine(QPointF(x, ruleY), QPointF(x + width / 4, ruleY));
                painter.restore();
            }
            for (const NoteSlice& slice : slices) {
                const QRectF part(0, slice.from, width, slice.to - slice.from);
                painter.save();
                painter.translate(x, y - slice.from);
                painter.setClipRect(part.adjusted(-left, 0, left, 0));
                paintDocument(painter, *slice.text, part);
                painter.restore();
                y += slice.to - slice.from;
            }
        }
    }
    band(header, true);
    band(footer, false);
    pictures(false);
}

} // namespace wordproc
