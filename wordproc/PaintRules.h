#pragma once

// Paragraph and cell rules as the page painters draw them.

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QTextFormat>
#include <array>

class QTextBlock;
class QTextDocument;
class QTextTable;

namespace wordproc {

// One edge's rule as kBordersProperty or kCellRulesProperty carries it, lengths in layout pixels.
struct Rule {
    int style = 0;
    double width = 0, space = 0;
    QColor color;
    // Half of what the rule takes across: a double rule is two lines with a line's width between them.
    double half() const { return style ? width * (style == Border::Double ? 1.5 : 0.5) : 0.0; }
};

using Rules = std::array<Rule, 4>;

// Block: an empty line last in a table cell, only to push the row after it on to the next page, when that
// row must not break; the cell's rules end above it.
constexpr int kKeptRowRoomProperty = QTextFormat::UserProperty + 70;
// Cell: how far its box reaches left of where Qt has it, in Qt's table lengths, over how many columns
// (empty cells of their own in Qt, marked kFoldedCellProperty).
constexpr int kCellReachProperty = QTextFormat::UserProperty + 71;
constexpr int kCellReachColumnsProperty = QTextFormat::UserProperty + 72;
constexpr int kFoldedCellProperty = QTextFormat::UserProperty + 73;
// Block: a line cut at the foot of a row of an exact height, that shows only this far below its top
// (layout pixels).
constexpr int kCutLineProperty = QTextFormat::UserProperty + 74;
// Cell: of a cell merged down its column, how many of its rows from the top its left and right rules run
// down, where fewer than all (QList<qreal>): as far as the cells it covers have them, as LibreOffice rules
// it.
constexpr int kSideRuleRowsProperty = QTextFormat::UserProperty + 75;

// The box round a character format's letters (kLetterBoxProperty); false when it has none.
bool letterBoxOf(const QTextFormat& format, Rule& rule);
// What a box round letters takes beside and above and below them (layout pixels): its rule and its space.
inline double letterBoxRoom(const Rule& r) {
    return r.space + 2 * r.half();
}

// Reads the four rules that `property` (kBordersProperty or kCellRulesProperty) carries; false when the
// format has none.
bool rulesOf(const QTextFormat& format, int property, Rules& rules);
void drawRule(QPainter& painter, QPointF a, QPointF b, const Rule& r);

// The bottom of a block's last line as the text goes on below it, `rect` being its bounding rectangle.
double textBottom(const QTextBlock& block, const QRectF& rect);

// The rooms below the last row on each page but the last that Qt fills with that row's shading, which
// painting leaves out.
QPainterPath shadingGaps(const QTextDocument& doc, QTextTable& table);

// The rules of a table's cells near `clip` (document coordinates; the whole table when empty).
void paintCellRules(QPainter& painter, const QTextDocument& doc, QTextTable& table, const QRectF& clip);

} // namespace wordproc
