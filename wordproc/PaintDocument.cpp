#include "wordproc/Pages.h"
#include "wordproc/PaintRules.h"
#include "wordproc/Template.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace wordproc {

// The bottom of a block's last line as the text goes on below it: Qt rounds the block's rectangle up to
// whole pixels.
double textBottom(const QTextBlock& block, const QRectF& rect) {
    const QTextLayout* lines = block.layout();
    if (lines->lineCount() == 0)
        return rect.bottom();
    const QTextLine line = lines->lineAt(lines->lineCount() - 1);
    // A line of a set height has its room where Qt does not set its text: a line lower than its font
    // stands above it, and one of no height, as a row of an exact height hides its text in, all of its
    // text. Measured from the block's top, so that `rect` may be the block's place on a sheet as well as
    // in the document.
    const double top = block.blockFormat().lineHeightType() == QTextBlockFormat::FixedHeight
                           ? rect.top() + lineRoomTop(block, lines->lineCount() - 1) -
                                 block.document()->documentLayout()->blockBoundingRect(block).top()
                           : rect.top() + line.y();
    return top + block.blockFormat().lineHeight(line.height(), kLayoutDpi / 96.0);
}

namespace {

// The first line's indent from the paragraph's own: an indent into the margin is carried by the
// first line's (see the paragraph's format).
double firstIndent(const QTextBlockFormat& format) {
    return format.textIndent() - qMin(0.0, format.leftMargin());
}

// Qt's units in the layout's.
constexpr double kUnit = kLayoutDpi / 96.0;

// The paragraph after `block` in the same story when it follows straight on below it, on the same page:
// the space between them is the margins Qt keeps there.
QTextBlock followingOnThePage(const QTextBlock& block, const QRectF& text) {
    const QTextBlock next = block.next();
    if (!next.isValid() || QTextCursor(next).currentFrame() != QTextCursor(block).currentFrame())
        return {};
    const QRectF below = next.document()->documentLayout()->blockBoundingRect(next);
    const double gap = below.top() - textBottom(block, text);
    // Qt keeps the larger of the one's bottom margin and the other's top margin between them.
    const double margins = qMax(block.blockFormat().bottomMargin(), next.blockFormat().topMargin()) * kUnit;
    return qAbs(gap - margins) < 1 ? next : QTextBlock();
}

// A paragraph's shading covers its lines from indent to indent, and the space between its rules and
// its text, as in the common word processors. Paragraphs in a row shaded alike make one band in
// LibreOffice: the space between them is shaded too, the space after the last one is not.
void paintShading(QPainter& painter, const QTextBlock& block, const QRectF& text) {
    const QTextBlockFormat format = block.blockFormat();
    Rules rules;
    const bool ruled = rulesOf(format, kBordersProperty, rules);
    const auto room = [&](Side side) {
        const Rule& r = rules[size_t(side)];
        return ruled && r.style ? r.space : 0.0;
    };
    const QRgb shade = QRgb(format.property(kShadingProperty).toULongLong());
    // Whether `other` is shaded alike and unruled on the side facing this paragraph.
    const auto alike = [&](const QTextBlock& other, Side facing) {
        const QTextBlockFormat f = other.blockFormat();
        Rules theirs;
        const bool edge = (ruled && rules[size_t(facing == Side::Top ? Side::Bottom : Side::Top)].style) ||
                          (rulesOf(f, kBordersProperty, theirs) && theirs[size_t(facing)].style);
        return !edge && f.hasProperty(kShadingProperty) &&
               QRgb(f.property(kShadingProperty).toULongLong()) == shade;
    };
    double above = 0, below = 0;
    if (const QTextBlock next = followingOnThePage(block, text); next.isValid() && alike(next, Side::Top))
        below = next.blockFormat().doubleProperty(kCarriedSpaceProperty) * kUnit;
    if (const QTextBlock previous = block.previous();
        previous.isValid() && alike(previous, Side::Bottom) &&
        followingOnThePage(previous, block.document()->documentLayout()->blockBoundingRect(previous)) ==
            block)
        above = format.doubleProperty(kOwnSpaceBeforeProperty) * kUnit;
    const double x0 = text.left() + format.leftMargin() + qMin(0.0, firstIndent(format));
    // Qt's rectangle of a block starts at its frame's edge and is as wide as its lines.
    const double x1 = x0 + text.width();
    painter.fillRect(
        QRectF(QPointF(x0 - room(Side::Left), text.top() - room(Side::Top) - above),
               QPointF(x1 + room(Side::Right), textBottom(block, text) + room(Side::Bottom) + below)),
        QColor::fromRgba(shade));
}

void paintBorders(QPainter& painter, const QTextBlock& block, const QRectF& text,
                  const QTextBlockFormat& format) {
    Rules rules;
    if (!rulesOf(format, kBordersProperty, rules))
        return;
    const Rule& top = rules[size_t(Side::Top)];
    const Rule& bottom = rules[size_t(Side::Bottom)];
    const Rule& left = rules[size_t(Side::Left)];
    const Rule& right = rules[size_t(Side::Right)];
    // The rules stand their space away from the text: the side rules on the paragraph's indents, the
    // text set in by their room; the top and bottom rules reach across the side rules.
    const double y0 = top.style ? text.top() - top.space - top.half() : text.top();
    const double below = textBottom(block, text);
    const double y1 = bottom.style ? below + bottom.space + bottom.half() : below;
    const double x0 = text.left() + format.leftMargin() + qMin(0.0, firstIndent(format));
    // Qt's rectangle of a block starts at its frame's edge and is as wide as its lines.
    const double x1 = x0 + text.width();
    const double outer0 = left.style ? x0 - left.space - 2 * left.half() : x0;
    const double outer1 = right.style ? x1 + right.space + 2 * right.half() : x1;
    drawRule(painter, {outer0, y0}, {outer1, y0}, top);
    drawRule(painter, {outer0, y1}, {outer1, y1}, bottom);
    drawRule(painter, {outer0 + left.half(), y0}, {outer0 + left.half(), y1}, left);
    drawRule(painter, {outer1 - right.half(), y0}, {outer1 - right.half(), y1}, right);
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

// Word draws a bar tab as a hairline through the height of the paragraph's lines, so that the bars of
// paragraphs set one under the other join into a column rule: from where Qt sets the lines, which tile
// down the page, not from where their text is painted.
void paintBarTabs(QPainter& painter, const QTextBlock& block, const QRectF& rect) {
    const QList<qreal> bars = block.blockFormat().property(kBarTabsProperty).value<QList<qreal>>();
    const QTextLayout* layout = block.layout();
    if (bars.isEmpty() || layout->lineCount() == 0)
        return;
    const double y0 = rect.top() + layout->lineAt(0).y(), y1 = textBottom(block, rect);
    painter.save();
    painter.setPen(
        QPen(block.charFormat().foreground().color(), twipsToLayout(10), Qt::SolidLine, Qt::FlatCap));
    for (qreal x : bars)
        painter.drawLine(QPointF(rect.left() + x, y0), QPointF(rect.left() + x, y1));
    painter.restore();
}

// The spaces that end a line: from `first` to `end` of the block's text. Word and LibreOffice underline
// them, those that run on past the margin as far as the margin (`edge`); Qt underlines only those within
// the line. A right-aligned or centred line's spaces hang past it, bare.
struct ClosingSpaces {
    int first = 0, end = 0;
    double edge = 0;
    bool bare = false;
};
ClosingSpaces closingSpaces(const QTextBlock& block, const QTextLine& line) {
    const QString text = block.text();
    ClosingSpaces c;
    c.end = line.textStart() + line.textLength();
    while (c.end > line.textStart() && text.at(c.end - 1) == QChar::LineSeparator)
        --c.end;
    c.first = c.end;
    while (c.first > line.textStart() && text.at(c.first - 1) == QLatin1Char(' '))
        --c.first;
    c.edge = line.x() + line.width();
    c.bare = block.blockFormat().alignment() & (Qt::AlignRight | Qt::AlignHCenter);
    return c;
}

// A double underline or strike-through, and the weight of a thick underline, which Qt's layout does not
// draw: as LibreOffice draws them, a double underline two lines of less than the font's rule width from
// where a single one starts, and a thick one of twice the width. And the single underline of the spaces
// that run on past the line's end.
void paintExtraLines(QPainter& painter, const QTextBlock& block, const QPointF& origin) {
    const QTextLayout* layout = block.layout();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat f = fragment.charFormat();
        const int extra =
            f.intProperty(kExtraLinesProperty) & (kDoubleUnderline | kThickUnderline | kDoubleStrike);
        const bool single = f.fontUnderline() && f.underlineStyle() == QTextCharFormat::SingleUnderline;
        if (!extra && !single)
            continue;
        const QFontMetricsF metrics(QFont(f.font(), layoutDevice()));
        const double width = qMax(1.0, metrics.lineWidth());
        const int start = fragment.position() - block.position();
        const int end = start + fragment.length();
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        const QColor color = f.foreground().color();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const ClosingSpaces closing = closingSpaces(block, line);
            const int from = qMax(start, line.textStart()), to = qMin(end, closing.end);
            if (from >= to)
                continue;
            const double x0 = line.cursorToX(from);
            double x1 = line.cursorToX(to);
            if (to > closing.first)
                x1 = closing.bare ? line.cursorToX(qMax(from, closing.first)) : qMin(x1, closing.edge);
            // Qt sets a line's end no further than its edge, and leaves out the spaces that end a line
            // it wraps or breaks, or that run on past its edge; a justified line it wraps reaches the edge.
            const bool broken = closing.end != line.textStart() + line.textLength();
            const bool wraps = i + 1 < layout->lineCount() &&
                               (broken || !(block.blockFormat().alignment() & Qt::AlignJustify));
            const bool past =
                to > closing.first && !closing.bare && (wraps || line.cursorToX(to) > closing.edge - 0.5);
            if (x1 <= x0)
                continue;
            const double baseline = origin.y() + line.y() + line.ascent();
            const auto rule = [&](double left, double y, double w) {
                painter.setPen(QPen(color, w, Qt::SolidLine, Qt::FlatCap));
                painter.drawLine(QPointF(origin.x() + left, y), QPointF(origin.x() + x1, y));
            };
            const double under = baseline + metrics.underlinePos() + width / 2;
            const double spaces = line.cursorToX(qMax(from, closing.first));
            if (single && past && spaces < x1)
                rule(spaces, under, width);
            if (extra & kDoubleUnderline) {
                rule(x0, under - width * 0.2, width * 0.6);
                rule(x0, under + width, width * 0.6);
            } else if (extra & kThickUnderline)
                rule(x0, under + width / 2, 2 * width);
            if (extra & kDoubleStrike) {
                const double strike = baseline - metrics.strikeOutPos();
                rule(x0, strike - width, width);
                rule(x0, strike + width, width);
            }
        }
        painter.restore();
    }
}

// Boxes round letters, as LibreOffice draws them: round each line's run of letters that share a box, from
// the top of their line's text (ascent and line gap) to its foot, the rule and its space outside those;
// the room before and after the letters lies inside the box (see roomForLetterBoxes()).
void paintLetterBoxes(QPainter& painter, const QTextBlock& block, const QPointF& origin) {
    struct Piece {
        int from, to;
        Rule rule;
        QVariant box;
        double top, foot; // 0 for the room at a box's end
    };
    std::vector<Piece> pieces;
    const QFont base = block.document()->defaultFont();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat f = fragment.charFormat();
        Rule rule;
        if (f.isImageFormat() || !letterBoxOf(f, rule))
            continue;
        double top = 0, foot = 0;
        if (fragment.text() != QString(QChar(0x2060))) {
            const QFont font(f.font().resolve(base), layoutDevice());
            const QFontMetricsF metrics(font);
            top = wordTop(font, metrics);
            foot = metrics.descent();
        }
        const int start = fragment.position() - block.position();
        pieces.push_back(
            Piece{start, start + fragment.length(), rule, f.property(kLetterBoxProperty), top, foot});
    }
    if (pieces.empty())
        return;
    const QTextLayout* layout = block.layout();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        const int lineFrom = line.textStart(), lineTo = lineFrom + line.textLength();
        const double baseline = origin.y() + line.y() + line.ascent();
        for (size_t k = 0; k < pieces.size();) {
            int from = -1, to = -1;
            double top = 0, foot = 0;
            size_t j = k;
            for (; j < pieces.size(); ++j) {
                const Piece& p = pieces[j];
                if (j > k && (p.from != pieces[j - 1].to || p.box != pieces[k].box))
                    break;
                const int a = qMax(p.from, lineFrom), b = qMin(p.to, lineTo);
                if (a >= b)
                    continue;
                from = from < 0 ? a : from;
                to = b;
                top = qMax(top, p.top);
                foot = qMax(foot, p.foot);
            }
            const Rule& rule = pieces[k].rule;
            k = j;
            if (from < 0 || (top == 0 && foot == 0))
                continue;
            const double room = letterBoxRoom(rule), half = rule.half();
            const double x0 = origin.x() + line.cursorToX(from), x1 = origin.x() + line.cursorToX(to);
            const double y0 = baseline - top - room, y1 = baseline + foot + room;
            drawRule(painter, {x0, y0 + half}, {x1, y0 + half}, rule);
            drawRule(painter, {x0, y1 - half}, {x1, y1 - half}, rule);
            drawRule(painter, {x0 + half, y0}, {x0 + half, y1}, rule);
            drawRule(painter, {x1 - half, y0}, {x1 - half, y1}, rule);
        }
    }
    painter.restore();
}

// The first block of the table rows that reach below `top`, at or just before `block`; else `block`. A
// long cell runs on over pages while the cells after it in its row end on the first: a search over block
// numbers may find one of those, or the text after the table, past the long cell's paragraph that
// reaches into the clip.
QTextBlock rowsReaching(const QTextDocument& doc, const QTextBlock& block, double top) {
    const auto outermost = [&](const QTextBlock& b) {
        QTextTable* table = nullptr;
        for (QTextFrame* f = QTextCursor(b).currentFrame(); f && f != doc.rootFrame(); f = f->parentFrame())
            if (auto* t = qobject_cast<QTextTable*>(f))
                table = t;
        return table;
    };
    QTextBlock in = block;
    QTextTable* table = outermost(block);
    if (!table && block.previous().isValid()) {
        in = block.previous();
        table = outermost(in);
    }
    if (!table)
        return block;
    const QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const auto reaches = [&](int row) {
        for (int c = 0; c < table->columns(); ++c)
            if (layout->blockBoundingRect(table->cellAt(row, c).lastCursorPosition().block()).bottom() >= top)
                return true;
        return false;
    };
    int row = table->cellAt(in.position()).row();
    if (in != block && !reaches(row))
        return block;
    while (row > 0 && reaches(row - 1))
        --row;
    const QTextBlock start = table->cellAt(row, 0).firstCursorPosition().block();
    return start.blockNumber() < block.blockNumber() ? start : block;
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
    return {rowsReaching(doc, doc.findBlockByNumber(qMin(first, last)), top), doc.findBlockByNumber(last)};
}

// Of each paragraph near the clip whose lines' rooms do not all lie on its page, the lines that do, from
// `begin` to `end`. A line set closer than its letters are tall reaches into the page before it, and the
// last line of a page into the next: Qt would draw them there, and a PDF would hold their words twice.
// Taken before the lines' gaps move them.
struct LinesOfThePage {
    int begin = 0, end = 0;
};
std::map<int, LinesOfThePage> linesOfThePage(const QRectF& clip, QTextBlock first, const QTextBlock& last) {
    std::map<int, LinesOfThePage> out;
    if (clip.isEmpty())
        return out;
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        if (const QTextLayout* lines = b.layout()) {
            const int count = lines->lineCount();
            LinesOfThePage page{0, count};
            for (int i = 0; i < count; ++i) {
                const double room = lineRoomTop(b, i) + 0.5;
                if (room < clip.top())
                    page.begin = i + 1;
                else if (room >= clip.bottom()) {
                    page.end = i;
                    break;
                }
            }
            if (page.begin > 0 || page.end < count)
                out.emplace(b.blockNumber(), page);
        }
        if (b == last)
            break;
    }
    return out;
}

// Of a paragraph that begins above the clip, Qt draws the last line above it as well: a line of the page
// before, out of sight on this one, whose words a PDF would then hold twice. It draws, too, lines of
// another page that reach into the clip. While this lives, such paragraphs are kept from Qt's drawing;
// paint() draws their lines of this page that meet the clip one by one.
class LinesBelowClipTop {
public:
    LinesBelowClipTop(const QTextDocument& doc, const QRectF& clip, QTextBlock first, const QTextBlock& last,
                      const std::map<int, LinesOfThePage>& pages)
        : m_clip(clip) {
        if (clip.isEmpty())
            return;
        const QAbstractTextDocumentLayout* layout = doc.documentLayout();
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            QTextLayout* lines = b.layout();
            const QRectF rect = layout->blockBoundingRect(b);
            const QPointF origin = rect.topLeft();
            const int count = lines ? lines->lineCount() : 0;
            bool hold = count > 1 && rect.top() < clip.top() && rect.bottom() > clip.top() &&
                        origin.y() + lines->lineAt(0).y() + lines->lineAt(0).height() < clip.top();
            LinesOfThePage page{0, count};
            if (const auto it = pages.find(b.blockNumber()); it != pages.end() && it->second.end <= count) {
                page = it->second;
                for (int i = 0; i < count && !hold; ++i) {
                    const double top = origin.y() + lines->lineAt(i).y();
                    hold = (i < page.begin || i >= page.end) &&
                           top + lines->lineAt(i).height() >= clip.top() && top <= clip.bottom();
                }
            }
            if (hold) {
                Held held{lines, origin, {}, page};
                // Below the clip from the first line on, the paragraph draws nothing.
                const double away = clip.bottom() - origin.y() + 1000;
                for (int i = 0; i < count; ++i) {
                    QTextLine line = lines->lineAt(i);
                    held.positions.push_back(line.position());
                    line.setPosition(QPointF(line.position().x(), away));
                }
                m_held.push_back(std::move(held));
            }
            if (b == last)
                break;
        }
    }
    ~LinesBelowClipTop() { restore(); }
    LinesBelowClipTop(const LinesBelowClipTop&) = delete;
    LinesBelowClipTop& operator=(const LinesBelowClipTop&) = delete;

    void paint(QPainter& painter) {
        restore();
        painter.save();
        painter.setPen(Qt::black);
        for (const Held& held : m_held)
            for (int i = held.page.begin; i < held.page.end; ++i) {
                const QTextLine line = held.lines->lineAt(i);
                const double top = held.origin.y() + line.y();
                if (top + line.height() >= m_clip.top() && top <= m_clip.bottom())
                    line.draw(&painter, held.origin);
            }
        painter.restore();
        m_held.clear();
    }

private:
    struct Held {
        QTextLayout* lines;
        QPointF origin; // the layout's origin in the document
        std::vector<QPointF> positions;
        LinesOfThePage page; // the lines whose rooms lie on this page
    };
    void restore() {
        for (const Held& held : m_held)
            for (int i = 0; i < held.lines->lineCount(); ++i)
                held.lines->lineAt(i).setPosition(held.positions.at(size_t(i)));
    }
    QRectF m_clip;
    std::vector<Held> m_held;
};

// The gap LibreOffice sets above a line's text, which Qt sets below it: the face's, no more than its
// paragraph allows.
double gapAbove(const QTextBlockFormat& format, const QTextLine& line) {
    const QVariant most = format.property(kLeadingProperty);
    return qMax(0.0, most.isValid() ? qMin(line.leading(), most.toDouble()) : line.leading());
}

// Lines cut at the foot of a row of an exact height (kCutLineProperty): while this lives, they are kept
// from Qt's drawing, which would show them whole, below `clip` (a drawing without a clip is given one);
// paint() draws the part of each within the row.
class CutLines {
public:
    CutLines(const QTextDocument& doc, QTextBlock first, const QTextBlock& last, QRectF& clip) {
        const QAbstractTextDocumentLayout* layout = doc.documentLayout();
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            QTextLayout* lines = b.layout();
            const QList<qreal> cut = b.blockFormat().property(kCutLineProperty).value<QList<qreal>>();
            if (lines && lines->lineCount() > 0 && cut.size() == 2) {
                const QPointF origin = layout->blockBoundingRect(b).topLeft();
                QTextLine line = lines->lineAt(0);
                // Set lower by its gap, as LeadingAbove sets a line of single height.
                const double gap =
                    gapAbove(b.blockFormat(), line) - b.blockFormat().doubleProperty(kRaiseProperty);
                m_held.push_back(
                    Held{lines, origin, line.position(), cut[0] + gap, origin.y() + cut[0] + cut[1]});
                if (!clip.isValid())
                    clip = QRectF(-1e6, -1e6, 2e6, 2e6);
                line.setPosition(QPointF(line.position().x(), clip.bottom() - origin.y() + 1000));
            }
            if (b == last)
                break;
        }
    }
    ~CutLines() { restore(); }
    CutLines(const CutLines&) = delete;
    CutLines& operator=(const CutLines&) = delete;

    void paint(QPainter& painter) {
        restore();
        for (const Held& held : m_held) {
            painter.save();
            painter.setPen(Qt::black);
            painter.setClipRect(QRectF(QPointF(-1e6, -1e6), QPointF(1e6, held.foot)), Qt::IntersectClip);
            QTextLine line = held.lines->lineAt(0);
            line.setPosition(QPointF(held.position.x(), held.top));
            line.draw(&painter, held.origin);
            line.setPosition(held.position);
            painter.restore();
        }
        m_held.clear();
    }

private:
    struct Held {
        QTextLayout* lines;
        QPointF origin;   // the layout's origin in the document
        QPointF position; // the line's own
        double top;       // where the line stands in its layout, uncut
        double foot;      // where the row's text ends
    };
    void restore() {
        for (const Held& held : m_held)
            held.lines->lineAt(0).setPosition(held.position);
    }
    std::vector<Held> m_held;
};

} // namespace

LeadingAbove::LeadingAbove(const QTextDocument& doc, const QRectF& clip) {
    const auto [first, last] = blocksNear(doc, clip);
    for (QTextBlock b = first; b.isValid(); b = b.next()) {
        const int type = b.blockFormat().lineHeightType();
        const bool fitted =
            b.blockFormat().hasProperty(kFittedHeightProperty) && type == QTextBlockFormat::FixedHeight;
        if (type == QTextBlockFormat::FixedHeight && !fitted) {
            // Qt stands the text of a line of set height its face's line gap higher than four fifths of
            // the height down, where LibreOffice stands it whatever the face.
            QTextLayout* lines = b.layout();
            for (int i = 0; i < lines->lineCount(); ++i) {
                QTextLine line = lines->lineAt(i);
                const double gap = qMax(0.0, line.leading());
                if (gap <= 0)
                    continue;
                m_moved.emplace_back(line, line.position());
                line.setPosition(line.position() + QPointF(0, gap));
                m_most = qMax(m_most, gap);
            }
        } else if (type == QTextBlockFormat::SingleHeight || type == QTextBlockFormat::ProportionalHeight ||
                   fitted) {
            QTextLayout* lines = b.layout();
            const double blockTop = fitted ? b.document()->documentLayout()->blockBoundingRect(b).top() : 0.0;
            const double raise = b.blockFormat().doubleProperty(kRaiseProperty);
            for (int i = 0; i < lines->lineCount(); ++i) {
                QTextLine line = lines->lineAt(i);
                const double gap = gapAbove(b.blockFormat(), line);
                // A fitted line stands where Qt sets a fixed one: it goes to the top of its room.
                double shift = gap + (fitted ? lineRoomTop(b, i) - blockTop - line.y() : 0.0) - raise;
                // The first of lines closer than single stands four fifths down its room.
                if (i == 0 && b.blockFormat().boolProperty(kCloseLinesProperty))
                    shift = lineRoomTop(b, 0) - b.document()->documentLayout()->blockBoundingRect(b).top() +
                            lineRoomHeight(b, 0) * 4 / 5 - line.y() - line.ascent();
                if (shift == 0)
                    continue;
                m_moved.emplace_back(line, line.position());
                line.setPosition(line.position() + QPointF(0, shift));
                m_most = qMax(m_most, gap);
                m_raised = qMax(m_raised, raise);
                // A fitted line's own height reaches below its room as well.
                if (fitted)
                    m_most =
                        qMax(m_most, gap + line.height() - b.blockFormat().lineHeight() * kLayoutDpi / 96.0);
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
        const std::map<int, LinesOfThePage> pages = linesOfThePage(clip, first, last);
        const LeadingAbove gaps(doc, clip);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        // A line that only touches the clip's edge belongs to the neighbouring page: not even an
        // invisible copy of it goes into this page (a PDF would hold its text twice). The last line of
        // the page before reaches its gap further down, the first of the page after, raised, as far up.
        if (!clip.isEmpty())
            ctx.clip = clip.adjusted(0, 0.5 + gaps.most(), 0, -0.5 - gaps.raised());
        LinesBelowClipTop split(doc, ctx.clip, first, last, pages);
        CutLines cutLines(doc, first, last, ctx.clip);
        QPainterPath unshaded;
        for (QTextFrame* f : doc.rootFrame()->childFrames()) {
            const QRectF box = layout->frameBoundingRect(f);
            if (QTextTable* table = qobject_cast<QTextTable*>(f);
                table && (clip.isEmpty() || (box.bottom() > clip.top() && box.top() < clip.bottom())))
                unshaded.addPath(shadingGaps(doc, *table));
        }
        painter.save();
        if (!unshaded.isEmpty()) {
            QPainterPath all;
            all.addRect(clip.isEmpty() ? QRectF(-1e6, -1e6, 2e6, 2e6) : clip);
            painter.setClipPath(all.subtracted(unshaded), Qt::IntersectClip);
        }
        doc.documentLayout()->draw(&painter, ctx);
        painter.restore();
        split.paint(painter);
        cutLines.paint(painter);
        eachBlock([&](const QTextBlock& block, const QTextBlockFormat& format) {
            if (format.hasProperty(kLeadersProperty))
                paintLeaders(painter, block, layout->blockBoundingRect(block).topLeft());
            paintExtraLines(painter, block, layout->blockBoundingRect(block).topLeft());
            paintLetterBoxes(painter, block, layout->blockBoundingRect(block).topLeft());
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
        // Tables inside the table's cells draw their own rules, over the cell's.
        const QList<QTextFrame*> children = (*frame)->childFrames();
        std::vector<QTextFrame*> inner(children.begin(), children.end());
        while (!inner.empty()) {
            QTextFrame* f = inner.back();
            inner.pop_back();
            if (QTextTable* table = qobject_cast<QTextTable*>(f)) {
                paintCellRules(painter, doc, *table, clip);
                const QList<QTextFrame*> more = f->childFrames();
                inner.insert(inner.end(), more.begin(), more.end());
            }
        }
    }
    eachBlock([&](const QTextBlock& block, const QTextBlockFormat& format) {
        if (format.hasProperty(kBordersProperty))
            paintBorders(painter, block, layout->blockBoundingRect(block), format);
        if (format.hasProperty(kBarTabsProperty))
            paintBarTabs(painter, block, layout->blockBoundingRect(block));
    });
    painter.restore();
}

} // namespace wordproc
