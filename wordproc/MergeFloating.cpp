#include "errors/Failure.h"
#include "wordproc/MergeBuilder.h"
#include "wordproc/Metafile.h"
#include "wordproc/WordErrors.h"

#include <QLocale>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace wordproc {

namespace {

// How much of a shadow softened by `blur` falls at v across a span from lo to hi: it fades from each
// edge over as far again inside as out, as LibreOffice's does.
double softened(double v, double lo, double hi, double blur) {
    return qBound(0.0, (v - lo) / (2 * blur) + 0.5, 1.0) * qBound(0.0, (hi - v) / (2 * blur) + 0.5, 1.0);
}

void paintShadow(QPainter& painter, const QRectF& cast, const QColor& color, double blur) {
    blur = qMax(1.0, blur);
    const QRect area = cast.adjusted(-blur, -blur, blur, blur).toAlignedRect();
    if (area.isEmpty() || qint64(area.width()) * area.height() > 64LL * 1024 * 1024)
        return;
    QImage shade(area.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < shade.height(); ++y) {
        const double down = softened(area.top() + y + 0.5, cast.top(), cast.bottom(), blur);
        auto* line = reinterpret_cast<QRgb*>(shade.scanLine(y));
        for (int x = 0; x < shade.width(); ++x) {
            const double share = down * softened(area.left() + x + 0.5, cast.left(), cast.right(), blur);
            QColor c = color;
            c.setAlphaF(float(color.alphaF() * share));
            line[x] = qPremultiply(c.rgba());
        }
    }
    painter.drawImage(area.topLeft(), shade);
}

// A picture drawn into `box` (pixels, `perTwip` to the twip) with its outline and shadow.
void paintPicture(QPainter& painter, const QRectF& box, const QImage& image, const Picture& pic,
                  double perTwip) {
    const double width = pic.lineColor.isValid() ? pic.lineTwips * perTwip : 0;
    const double out = pic.lineOutside ? width : 0;
    const QRectF outer = box.adjusted(-out, -out, out, out);
    if (pic.shadowColor.isValid())
        paintShadow(painter, outer.translated(QPointF(pic.shadowShift) * perTwip), pic.shadowColor,
                    pic.shadowBlurTwips * perTwip);
    // Over the edge the outline takes its width from the picture, which shrinks to the room within it.
    const QRectF inner = pic.lineOutside ? box : box.adjusted(width, width, -width, -width);
    if (inner.width() > 0 && inner.height() > 0)
        painter.drawImage(inner, image);
    if (width <= 0)
        return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(pic.lineColor, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(outer.adjusted(width / 2, width / 2, -width / 2, -width / 2));
}

// How much taller than its single height a paragraph's line is set by spacing given in lines; spacing
// given in points adds nothing.
double spacedExtra(const QTextBlock& b, const QTextLine& line) {
    const QTextBlockFormat f = b.blockFormat();
    if (f.lineHeightType() == QTextBlockFormat::ProportionalHeight)
        return qMax(0.0, line.height() * (f.lineHeight() / 100 - 1));
    if (f.lineHeightType() == QTextBlockFormat::FixedHeight && f.hasProperty(kFittedHeightProperty))
        return qMax(0.0, f.lineHeight() * kLayoutDpi / 96 - line.height());
    return 0.0;
}

// The room (logical pixels) LibreOffice leaves below a picture over a paragraph's first line before
// that line, on top of the paragraph's own space above: the space the paragraph before it keeps below
// its text and the spacing of both paragraphs' lines, as if the picture stood between them. The
// page's first paragraph takes nothing more.
double keptBelowPicture(const QTextBlock& b, const QAbstractTextDocumentLayout* layout, double pageHeight) {
    const QTextLayout* own = b.layout();
    if (!own || own->lineCount() == 0)
        return 0;
    QTextBlock before = b.previous();
    // Blocks kept of no height stand for a section's start or a picture's room, not for text.
    while (before.isValid() && layout->blockBoundingRect(before).height() <= twipsToLayout(40) &&
           !QTextCursor(before).currentTable())
        before = before.previous();
    if (!before.isValid() || QTextCursor(before).currentTable() || !before.layout() ||
        before.layout()->lineCount() == 0)
        return 0;
    const double at = layout->blockBoundingRect(b).top();
    if (pageHeight > 0 &&
        pageAt(layout->blockBoundingRect(before).top(), pageHeight) != pageAt(at, pageHeight))
        return 0;
    const QTextLine last = before.layout()->lineAt(before.layout()->lineCount() - 1);
    return before.blockFormat().bottomMargin() +
           (spacedExtra(before, last) + spacedExtra(b, own->lineAt(0))) * 96.0 / kLayoutDpi;
}

} // namespace

QMargins pictureBleed(const Picture& pic, const QMargins& room) {
    const int out = pic.lineColor.isValid() && pic.lineOutside ? pic.lineTwips : 0;
    const int soft = pic.shadowColor.isValid() ? pic.shadowBlurTwips + 1 : 0;
    const auto reach = [&](int kept, int shift) {
        return qBound(0, out + (soft > 0 ? soft + qMax(0, shift) : 0) - qMax(0, kept), 1440);
    };
    return QMargins(reach(room.left(), -pic.shadowShift.x()), reach(room.top(), -pic.shadowShift.y()),
                    reach(room.right(), pic.shadowShift.x()), reach(room.bottom(), pic.shadowShift.y()));
}

QImage framedPicture(QImage shown, const Picture& pic, const QMargins& room) {
    // A few pixels to the point at least, so that the room comes out near its size in whole pixels.
    const QSize fine(pic.widthTwips / 5, pic.heightTwips / 5);
    if (shown.width() < fine.width() && fine.width() <= 8192 && fine.height() <= 8192)
        shown = shown.scaled(fine, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double perTwip = shown.width() / double(qMax(1, pic.widthTwips));
    QImage framed(shown.width() + qRound((room.left() + room.right()) * perTwip),
                  shown.height() + qRound((room.top() + room.bottom()) * perTwip),
                  QImage::Format_ARGB32_Premultiplied);
    framed.fill(Qt::transparent);
    QPainter painter(&framed);
    paintPicture(painter,
                 QRectF(QPoint(qRound(room.left() * perTwip), qRound(room.top() * perTwip)), shown.size()),
                 shown, pic, perTwip);
    painter.end();
    return framed;
}

int Merger::Builder::textTwips() const {
    // A body set in columns is laid out a column wide.
    const PageSetup& pg = m.page();
    const double paged = m_doc.pageSize().height() > 0 ? m_doc.pageSize().width() : 0;
    return paged > 0 ? qRound(paged * 1440 / kLayoutDpi) : pg.widthTwips - pg.leftTwips - pg.rightTwips;
}

bool Merger::Builder::clearsLeft(const Floating& fl, int* room) const {
    const PageSetup& pg = m.page();
    const int width = textTwips();
    const int x = fl.fromX == Floating::From::Page ? fl.leftTwips - pg.leftTwips : fl.leftTwips;
    const int leftRoom = x - fl.gapTwips[0];
    const int rightRoom = width - x - fl.widthTwips - fl.gapTwips[2];
    // Qt flows text by one side of a picture only: the side the file asks for, else the wider.
    const bool left = fl.side == Floating::Side::Right  ? true
                      : fl.side == Floating::Side::Left ? false
                                                        : rightRoom > leftRoom;
    if (room)
        *room = left ? rightRoom + fl.gapTwips[2] : leftRoom + fl.gapTwips[0];
    return left;
}

int Merger::Builder::reach(const Floating& fl, bool left) const {
    const PageSetup& pg = m.page();
    const int width = textTwips();
    const int x = fl.fromX == Floating::From::Page ? fl.leftTwips - pg.leftTwips : fl.leftTwips;
    return left ? qMax(0, x + fl.widthTwips + fl.gapTwips[2]) : qMax(0, width - x + fl.gapTwips[0]);
}

bool Merger::Builder::besideText(const Floating& fl) const {
    // In the body a picture the text wraps around keeps it clear whether it lies behind the text or in
    // front of it; a page header's or footer's picture behind the text leaves the lines where they are.
    const bool paged = m_doc.pageSize().height() > 0;
    // One wholly in a side margin, its gap too, leaves the lines as they are.
    int room = 0;
    const bool left = clearsLeft(fl, &room);
    return fl.wrap == Floating::Wrap::Around && (paged || !fl.behindText) && room >= 1440 &&
           reach(fl, left) > 0;
}

QTextFrame* Merger::Builder::keepClear(QTextCursor& cur, const Floating& fl) {
    // Qt places a floating frame at the edge of the text and keeps text off its box, margins aside:
    // the box reaches from the edge past the picture and its gap, and from the paragraph's top to the
    // picture's bottom.
    QTextFrameFormat f;
    f.setBorder(0);
    f.setPadding(0);
    f.setMargin(0);
    const bool left = clearsLeft(fl);
    const int across = reach(fl, left);
    f.setWidth(QTextLength(QTextLength::FixedLength, twipsToLogical(across)));
    // Qt takes a frame's height as it stands, unlike its width.
    // One placed on the page or its margin is measured from its paragraph once that is laid out.
    const bool byParagraph = fl.fromY == Floating::From::Paragraph;
    // One raised above its paragraph's top reaches that much less far below it.
    f.setHeight(twipsToLayout(qMax(0, (byParagraph ? fl.topTwips : 0) + fl.heightTwips + fl.gapTwips[3])));
    f.setPosition(left ? QTextFrameFormat::FloatLeft : QTextFrameFormat::FloatRight);
    const QTextBlockFormat paragraph = cur.blockFormat();
    const QTextCharFormat mark = cur.blockCharFormat();
    QTextFrame* frame = cur.insertFrame(f);
    // Qt keeps the paragraph's block before the frame: it takes no room, and the paragraph goes on in
    // the block after the frame.
    QTextCursor before(frame->firstCursorPosition());
    before.movePosition(QTextCursor::PreviousBlock);
    QTextBlockFormat none;
    none.setLineHeight(0, QTextBlockFormat::FixedHeight);
    // A page break before the paragraph comes before its picture as well.
    none.setPageBreakPolicy(paragraph.pageBreakPolicy());
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    before.setBlockFormat(none);
    before.setBlockCharFormat(tiny);
    cur = frame->lastCursorPosition();
    cur.movePosition(QTextCursor::NextBlock);
    QTextBlockFormat after = paragraph;
    after.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
    cur.setBlockFormat(after);
    cur.setBlockCharFormat(mark);
    return frame;
}

void Merger::Builder::reachClear(QTextFrame* frame, double anchorTop, double bottom) {
    QTextFrameFormat f = frame->frameFormat();
    const double height = qMax(0.0, bottom - anchorTop);
    if (std::abs(f.height().rawValue() - height) < 0.5)
        return;
    f.setHeight(height);
    frame->setFrameFormat(f);
    // Qt lays the text out again for a frame's new format only when told, and the lines beside it only
    // when they are named.
    const int from = qMax(0, frame->firstPosition() - 1);
    m_doc.markContentsDirty(from, m_doc.characterCount() - from);
}

void Merger::Builder::textBox(PlacedPicture& placed, const Floating& fl, int record) {
    const std::array<int, 4>& in = fl.insetTwips;
    PageSetup box = m.m_t->page;
    box.leftTwips = 0;
    box.rightTwips = 0;
    // Turned lines run the box's height.
    const bool turned = fl.flow != Floating::Flow::Across;
    box.widthTwips = qMax(1, turned ? fl.heightTwips - in[1] - in[3] : fl.widthTwips - in[0] - in[2]);
    auto doc = newBandDocument(box, m.m_t->defaultFamily);
    Builder b(m, *doc);
    b.m_behind = fl.fill;
    Cursor c{record, false};
    b.begin();
    b.story(m.m_t->textBoxes[size_t(fl.text)], c);
    b.end();
    b.finish();
    // Rows given their heights once laid out change only their cells' formats, which Qt does not lay
    // out again until told: the box is measured from the text as it will be drawn.
    doc->markContentsDirty(0, doc->characterCount());
    placed.text = std::move(doc);
    placed.textOffset = QPointF(twipsToLayout(in[0]), twipsToLayout(in[1]));
    placed.turned = fl.flow;
    // Text anchored lower in its box takes the room its lines leave; text taller than the box starts
    // at its top inset all the same.
    if (fl.textAnchor != Floating::TextAnchor::Top && fl.heightTwips > 0 && !fl.fitText && !turned) {
        const double room = twipsToLayout(fl.heightTwips - in[1] - in[3]) -
                            placed.text->documentLayout()->documentSize().height();
        if (room > 0)
            placed.textOffset.ry() += fl.textAnchor == Floating::TextAnchor::Middle ? room / 2 : room;
    }
    placed.fill = fl.fill;
    placed.line = fl.line;
    placed.lineWidth = twipsToLayout(fl.lineTwips);
    placed.dashes = QList<qreal>(fl.dashes.begin(), fl.dashes.end());
    if (fl.shape == Floating::Shape::Ellipse)
        placed.frame = fl.shape;
    placed.rounding = fl.rounding;
}

namespace {

// Where a drawing `width` wide set in the block's first line starts: LibreOffice sets it by the
// paragraph's indents and alignment, in a table's cell from the cell's edge.
double lineStartFor(QAbstractTextDocumentLayout* layout, const QTextBlock& block, double width) {
    const QTextLayout* lines = block.layout();
    // A cell's lines stand from the cell, which stands in its table.
    const double origin = layout->blockBoundingRect(block).left();
    if (!lines || lines->lineCount() == 0)
        return origin;
    const QTextLine first = lines->lineAt(0);
    const double start = origin + first.x();
    const double room = first.width() - width;
    const Qt::Alignment align = block.blockFormat().alignment();
    if (align & Qt::AlignHCenter)
        return start + room / 2;
    if (align & Qt::AlignRight)
        return start + room;
    return start;
}

} // namespace

void Merger::Builder::placeFloats(std::vector<PlacedPicture>& out, double origin, double pageHeight,
                                  const QTextDocument* band) {
    const PageSetup& pg = m.page();
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    const double left = twipsToLayout(pg.leftTwips);
    // Each picture of a paragraph stands from the paragraph's top as it was before any of them moved
    // its text down: the pieces of a drawing set in a line keep their places in it.
    // LibreOffice measures a picture placed from its paragraph from the paragraph's top above its own
    // space before (below the space after the paragraph before). One the text flows beside is measured
    // from its frame, which Qt sets there already.
    std::unordered_map<int, double> tops, spaces;
    for (const Anchor& a : m_anchors)
        spaces.try_emplace(a.block.blockNumber(),
                           a.block.blockFormat().doubleProperty(kOwnSpaceBeforeProperty) * kLayoutDpi / 96.0);
    for (const auto& [mark, index, record, clear] : m_anchors) {
        const Floating& fl = m.m_t->floats[size_t(index)];
        const QTextBlock anchor = mark.block();
        const int blockNumber = anchor.blockNumber();
        if (!anchor.isValid())
            continue;
        const double space = fl.fromY == Floating::From::Paragraph && !clear ? spaces[blockNumber] : 0.0;
        const double anchorTop =
            tops.try_emplace(blockNumber, layout->blockBoundingRect(anchor).top()).first->second - space;
        const int page = pageHeight > 0 ? pageAt(anchorTop + space, pageHeight) : 0;
        const double pageTop = page * pageHeight; // the page's top in the document
        // Where that page stands on its sheet.
        const double at = pageHeight > 0 && m_rooms ? m_rooms(page).top : origin;
        // The body's pages are its columns, side by side on a sheet.
        const int column = pageHeight > 0 && !band && pg.columns > 1 ? page % pg.columns : 0;
        const double columnLeft = fl.fromX == Floating::From::Column
                                      ? column * (m_doc.pageSize().width() + twipsToLayout(pg.columnGapTwips))
                                      : 0.0;
        // In a table's cell the text's column is the cell's, inside its padding: where its first
        // paragraph's lines start, less their indents.
        const QTextTable* cellTable = QTextCursor(anchor).currentTable();
        double columnStart = columnLeft;
        if (fl.fromX == Floating::From::Column && cellTable) {
            const QTextBlock first = cellTable->cellAt(anchor.position()).firstCursorPosition().block();
            const QTextBlockFormat f = first.blockFormat();
            columnStart = layout->blockBoundingRect(first).left() -
                          (f.leftMargin() + qMin(0.0, f.textIndent())) * kLayoutDpi / 96.0;
        }
        QRectF r(twipsToLayout(fl.leftTwips) + (fl.fromX == Floating::From::Page ? 0 : left) + columnStart, 0,
                 twipsToLayout(fl.widthTwips), twipsToLayout(fl.heightTwips));
        if (fl.inLineTwips > 0)
            r.moveLeft(left + twipsToLayout(fl.leftTwips) +
                       lineStartFor(layout, anchor, twipsToLayout(fl.inLineTwips)));
        r.moveTop(fl.fromY == Floating::From::Page ? twipsToLayout(fl.topTwips)
                  : fl.fromY == Floating::From::Margin
                      ? twipsToLayout(pg.topTwips + fl.topTwips)
                      : at + anchorTop - pageTop + twipsToLayout(fl.topTwips));
        if (fl.belowCellTop && fl.fromY == Floating::From::Paragraph)
            if (cellTable) {
                const QTextTableCell cell = cellTable->cellAt(anchor.position());
                const QTextTableCellFormat f = cell.format().toTableCellFormat();
                // Qt places a cell's text inside its padding and half its top rule's room.
                const double cellTop = layout->blockBoundingRect(cell.firstCursorPosition().block()).top() -
                                       (f.topPadding() + f.topBorder() / 2) * kLayoutDpi / 96.0;
                r.moveTop(qMax(r.top(), at + cellTop - pageTop));
            }
        PlacedPicture placed;
        placed.page = pageHeight > 0 ? page : -1;
        placed.rect = r;
        placed.behindText = fl.behindText;
        placed.zOrder = fl.zOrder;
        placed.band = band;
        placed.rotation = fl.rotation;
        placed.flipH = fl.flipH;
        placed.flipV = fl.flipV;
        placed.gradient = fl.gradient;
        placed.gradientAngle = fl.gradientAngle;
        placed.gradientFromMiddle = fl.gradientFromMiddle;
        if (fl.text >= 0 && size_t(fl.text) < m.m_t->textBoxes.size()) {
            textBox(placed, fl, record);
            if (cellTable && fl.textByGapInCell)
                placed.textOffset.rx() += twipsToLayout(fl.gapTwips[0]);
            // A frame of no set height is as tall as its text, and so is a box sized to its text.
            if (fl.heightTwips <= 0 || fl.fitText) {
                r.setHeight(placed.text->documentLayout()->documentSize().height() +
                            twipsToLayout(fl.insetTwips[1] + fl.insetTwips[3]));
                placed.rect = r;
            }
        } else if (fl.shape != Floating::Shape::None) {
            placed.shape = fl.shape;
            placed.rounding = fl.rounding;
            placed.fill = fl.fill;
            placed.line = fl.line;
            placed.lineWidth = twipsToLayout(fl.lineTwips);
            placed.dashes = QList<qreal>(fl.dashes.begin(), fl.dashes.end());
            for (const QPoint& pt : fl.points)
                placed.points << QPointF(twipsToLayout(pt.x()), twipsToLayout(pt.y()));
            placed.figures = fl.figures;
            placed.wordArt = fl.wordArt;
            placed.wordArtFamily = fl.wordArtFamily;
        } else {
            placed.image = m.pictureImage(fl.picture, r.size());
            const Picture* pic = placed.image.isNull() ? nullptr : &m.m_t->pictures[size_t(fl.picture)];
            if (pic && (pic->lineColor.isValid() || pic->shadowColor.isValid())) {
                // Its outline and shadow are drawn over what lies round it; the text keeps clear of its
                // box only.
                const QMargins bleed = pictureBleed(*pic, {});
                placed.image = m.framedPictureImage(fl.picture, r.size(), bleed);
                placed.rect =
                    r.marginsAdded(QMarginsF(twipsToLayout(bleed.left()), twipsToLayout(bleed.top()),
                                             twipsToLayout(bleed.right()), twipsToLayout(bleed.bottom())));
            }
        }
        out.push_back(std::move(placed));
        // The lines by a box sized to its text keep clear of it as it now stands, not as the file gave it;
        // so do those by a frame of no set height, a table's say.
        if (clear && (fl.fitText || fl.heightTwips <= 0) && fl.fromY == Floating::From::Paragraph)
            reachClear(clear, at + anchorTop - pageTop, r.bottom() + twipsToLayout(fl.gapTwips[3]));
        if (clear && fl.fromY != Floating::From::Paragraph) {
            // The lines beside it end with the page's text, however far down the picture reaches.
            double bottom = r.bottom() + twipsToLayout(fl.gapTwips[3]);
            if (pageHeight > 0)
                bottom = qMin(bottom, at + pageHeight - 1);
            reachClear(clear, at + anchorTop - pageTop, bottom);
        }
        if (fl.behindText || fl.wrap == Floating::Wrap::None || besideText(fl))
            continue;
        // A picture wholly in a side margin leaves the text where it is.
        if (r.right() <= left || r.left() >= twipsToLayout(pg.widthTwips - pg.rightTwips))
            continue;
        const double top = pageTop + r.top() - at;
        const double bottom = pageTop + r.bottom() + twipsToLayout(fl.gapTwips[3]) - at;
        // The page's text keeps clear of the picture, not only the text from its anchor on: a paragraph
        // before the anchor that the picture reaches up over goes below it as well, the picture staying
        // where its anchor first put it.
        QTextBlock first = anchor;
        for (QTextBlock b = anchor.previous(); b.isValid() && !cellTable; b = b.previous()) {
            // Where the block after it starts, above its space before: a block's own box may reach a
            // little into the next.
            const QRectF br = layout->blockBoundingRect(b);
            const double nextTop =
                layout->blockBoundingRect(b.next()).top() -
                b.next().blockFormat().doubleProperty(kOwnSpaceBeforeProperty) * kLayoutDpi / 96.0;
            if (QTextCursor(b).currentTable() || nextTop <= top + 0.5 ||
                (pageHeight > 0 && pageAt(br.top(), pageHeight) != page))
                break;
            // A block kept of no height (a section's or a table's stand-in) is no text to move.
            if (br.height() > twipsToLayout(40))
                first = b;
        }
        // In a cell the text below is the cell's own, which grows its row. A drawing set in a line there
        // has its room in that line already.
        if (cellTable && fl.inLineTwips > 0)
            continue;
        QTextTableCell anchorCell = cellTable ? cellTable->cellAt(anchor.position()) : QTextTableCell();
        const int cellEnd = cellTable ? anchorCell.lastPosition() : -1;
        for (QTextBlock b = first; b.isValid(); b = b.next()) {
            if (cellTable ? b.position() > cellEnd || QTextCursor(b).currentTable() != cellTable
                          : QTextCursor(b).currentTable() != nullptr)
                break; // tables keep their place
            const QRectF br = layout->blockBoundingRect(b);
            if (br.bottom() <= top)
                continue;
            if (br.top() < bottom && cellTable && b == anchorCell.firstCursorPosition().block()) {
                // Qt sets a cell's first lines below its padding and takes no space before them.
                QTextTableCellFormat f = anchorCell.format().toTableCellFormat();
                const double push = (bottom - br.top()) * 96.0 / kLayoutDpi;
                f.setTopPadding(f.topPadding() + push);
                // A row of at least a set height padded its short cells down to it: the text pushed down
                // takes up that room first.
                for (const SizedTable& st : m_sized)
                    if (st.table == cellTable)
                        for (const SizedCell& sc : st.cells)
                            if (sc.row == anchorCell.row() && sc.column == anchorCell.column())
                                f.setBottomPadding(qMax(sc.bottom, f.bottomPadding() - push));
                anchorCell.setFormat(f);
            } else if (br.top() < bottom) {
                QTextBlockFormat f = b.blockFormat();
                // A table placed in the text is no picture between two paragraphs: the paragraph below it
                // keeps its own spacing only.
                const bool table =
                    fl.text >= 0 && !m.m_t->textBoxes[size_t(fl.text)].blocks.empty() &&
                    std::holds_alternative<Table>(m.m_t->textBoxes[size_t(fl.text)].blocks.front());
                f.setTopMargin(f.topMargin() + (bottom - br.top()) * 96.0 / kLayoutDpi +
                               (table ? 0.0 : keptBelowPicture(b, layout, pageHeight)));
                QTextCursor(b).setBlockFormat(f);
            }
            break;
        }
    }
}

} // namespace wordproc
