#include "wordproc/MarginReach.h"

#include "wordproc/Pages.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextTable>
#include <vector>

namespace wordproc {

namespace {

// Qt keeps a frame's lines between the frame's edges, where LibreOffice lets a paragraph's negative
// indents take its lines out into the margins. The body's frame reaches out as far as its paragraphs
// do (`left` and `right`, layout pixels), and each block and frame in it is set in from there by as
// much; each keeps how far it was set in, as the reach grows from story to story.
constexpr int kSetInLeftProperty = QTextFormat::UserProperty + 120;
constexpr int kSetInRightProperty = QTextFormat::UserProperty + 121;
// Frames' lengths are Qt's 96-dpi units, blocks' the layout's pixels.
constexpr double toFrame = 96.0 / kLayoutDpi;

// Sets a block of a frame that reaches `left` and `right` past the margins in by as much.
void setIn(const QTextBlock& b, double left, double right) {
    QTextBlockFormat f = b.blockFormat();
    const double hadLeft = f.doubleProperty(kSetInLeftProperty),
                 hadRight = f.doubleProperty(kSetInRightProperty);
    if (hadLeft == left && hadRight == right)
        return;
    // The first line's indent carried a negative indent (see toBlockFormat); the block's own does now.
    if (!f.hasProperty(kSetInLeftProperty) && f.leftMargin() < 0)
        f.setTextIndent(f.textIndent() - f.leftMargin());
    f.setLeftMargin(f.leftMargin() + left - hadLeft);
    f.setRightMargin(f.rightMargin() + right - hadRight);
    // Bar tabs stand where they stood from the margin.
    if (f.hasProperty(kBarTabsProperty)) {
        QList<qreal> bars = f.property(kBarTabsProperty).value<QList<qreal>>();
        for (qreal& x : bars)
            x += left - hadLeft;
        f.setProperty(kBarTabsProperty, QVariant::fromValue(bars));
    }
    f.setProperty(kSetInLeftProperty, left);
    f.setProperty(kSetInRightProperty, right);
    QTextCursor(b).setBlockFormat(f);
}

// Sets a frame (a table) within one that reaches past its margins in by as much.
void setIn(QTextFrame& frame, double left, double right) {
    QTextFrameFormat f = frame.frameFormat();
    const double moreLeft = left - f.doubleProperty(kSetInLeftProperty);
    const double moreRight = right - f.doubleProperty(kSetInRightProperty);
    if (moreLeft == 0 && moreRight == 0)
        return;
    if (f.position() == QTextFrameFormat::InFlow) {
        f.setLeftMargin(f.leftMargin() + moreLeft * toFrame);
        f.setRightMargin(f.rightMargin() + moreRight * toFrame);
    } else {
        // A box kept clear beside the text stands at the frame's edge: it reaches as far into the text.
        const bool atLeft = f.position() == QTextFrameFormat::FloatLeft;
        f.setWidth(QTextLength(QTextLength::FixedLength,
                               f.width().rawValue() + (atLeft ? moreLeft : moreRight) * toFrame));
    }
    f.setProperty(kSetInLeftProperty, left);
    f.setProperty(kSetInRightProperty, right);
    frame.setFrameFormat(f);
}

// Qt centres a table, or sets it right, short of where it stood once the frame reaches into the left
// margin: a table that stood so in the `text` between the margins (Qt's units) stays about there, set
// in from the left.
void placeFromTheLeft(QTextTable& table, double text) {
    QTextTableFormat f = table.format();
    const Qt::Alignment align = f.alignment();
    if (!(align & (Qt::AlignHCenter | Qt::AlignRight)))
        return;
    double width = 0;
    for (const QTextLength& column : f.columnWidthConstraints()) {
        if (column.type() != QTextLength::FixedLength)
            return;
        width += column.rawValue();
    }
    // Qt counts half the first row's outer rules in the table's width, and its margin.
    if (table.rows() > 0 && table.columns() > 0)
        width += (table.cellAt(0, 0).format().toTableCellFormat().leftBorder() +
                  table.cellAt(0, table.columns() - 1).format().toTableCellFormat().rightBorder()) /
                 2;
    const double room = text - f.leftMargin() - width;
    f.setLeftMargin(f.leftMargin() + (align & Qt::AlignHCenter ? room / 2 : room));
    f.setAlignment((align & ~Qt::AlignHorizontal_Mask) | Qt::AlignLeft);
    table.setFormat(f);
}

} // namespace

void reachPastMargins(QTextDocument& doc, double left, double right) {
    QTextFrame* root = doc.rootFrame();
    if (left <= 0 && right <= 0)
        return;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (QTextCursor(b).currentFrame() == root)
            setIn(b, left, right);
    // The text's width between the margins (Qt's units), before the frame reached past them.
    const QTextFrameFormat was = root->frameFormat();
    const double text =
        doc.pageSize().width() * toFrame - was.leftMargin() - was.rightMargin() -
        (was.doubleProperty(kSetInLeftProperty) + was.doubleProperty(kSetInRightProperty)) * toFrame;
    for (QTextFrame* frame : root->childFrames()) {
        if (QTextTable* table = qobject_cast<QTextTable*>(frame))
            placeFromTheLeft(*table, text);
        setIn(*frame, left, right);
    }
    QTextFrameFormat rf = root->frameFormat();
    rf.setLeftMargin(-left * toFrame);
    rf.setRightMargin(-right * toFrame);
    rf.setProperty(kSetInLeftProperty, left);
    rf.setProperty(kSetInRightProperty, right);
    root->setFrameFormat(rf);
}

double rightReach(const QTextBlock& b) {
    const QTextBlockFormat f = b.blockFormat();
    return f.doubleProperty(kSetInRightProperty) - f.rightMargin();
}

void reachPastCellEdges(QTextDocument& doc) {
    std::vector<QTextTable*> tables;
    std::vector<QTextFrame*> frames{doc.rootFrame()};
    while (!frames.empty()) {
        QTextFrame* frame = frames.back();
        frames.pop_back();
        for (QTextFrame* child : frame->childFrames()) {
            frames.push_back(child);
            if (QTextTable* table = qobject_cast<QTextTable*>(child))
                tables.push_back(table);
        }
    }
    for (QTextTable* table : tables)
        for (int r = 0; r < table->rows(); ++r)
            for (int c = 0; c < table->columns(); ++c) {
                QTextTableCell cell = table->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                // The cell's own paragraphs, not those of a table within it.
                std::vector<QTextBlock> blocks;
                const QTextBlock last = cell.lastCursorPosition().block();
                for (QTextBlock b = cell.firstCursorPosition().block(); b.isValid(); b = b.next()) {
                    if (QTextCursor(b).currentFrame() == table)
                        blocks.push_back(b);
                    if (b == last)
                        break;
                }
                double left = 0, right = 0;
                for (const QTextBlock& b : blocks) {
                    left = qMax(left, -b.blockFormat().leftMargin());
                    right = qMax(right, -b.blockFormat().rightMargin());
                }
                if (left <= 0 && right <= 0)
                    continue;
                for (const QTextBlock& b : blocks)
                    setIn(b, left, right);
                for (QTextFrame* frame : table->childFrames())
                    if (table->cellAt(frame->firstPosition()) == cell)
                        setIn(*frame, left, right);
                // The cell's text edges move out past its edges by as much: its padding, less that.
                QTextTableCellFormat f = cell.format().toTableCellFormat();
                f.setLeftPadding(f.leftPadding() - left * toFrame);
                f.setRightPadding(f.rightPadding() - right * toFrame);
                cell.setFormat(f);
            }
}

} // namespace wordproc
