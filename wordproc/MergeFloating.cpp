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

namespace wordproc {

bool Merger::Builder::besideText(const Floating& fl) const {
    const PageSetup& pg = m.page();
    const int width = pg.widthTwips - pg.leftTwips - pg.rightTwips;
    const int x = fl.fromX == Floating::From::Page ? fl.leftTwips - pg.leftTwips : fl.leftTwips;
    // In the body a picture the text wraps around keeps it clear whether it lies behind the text or in
    // front of it; a page header's or footer's picture behind the text leaves the lines where they are.
    const bool paged = m_doc.pageSize().height() > 0;
    return fl.wrap == Floating::Wrap::Around && (paged || !fl.behindText) &&
           fl.fromY == Floating::From::Paragraph && qMax(x, width - x - fl.widthTwips) >= 1440;
}

void Merger::Builder::keepClear(QTextCursor& cur, const Floating& fl) {
    const PageSetup& pg = m.page();
    const int width = pg.widthTwips - pg.leftTwips - pg.rightTwips;
    const int x = fl.fromX == Floating::From::Page ? fl.leftTwips - pg.leftTwips : fl.leftTwips;
    // The common word processors keep an eighth of an inch between a picture and the text beside it.
    constexpr int gap = 180;
    // Qt places a floating frame at the edge of the text and keeps text off its box, margins aside:
    // the box reaches from the edge past the picture and from the paragraph's top to its bottom.
    QTextFrameFormat f;
    f.setBorder(0);
    f.setPadding(0);
    f.setMargin(0);
    const bool left = x + fl.widthTwips / 2 < width / 2;
    const int across = left ? qMax(0, x) + fl.widthTwips + gap : gap + qMax(0, width - x);
    f.setWidth(QTextLength(QTextLength::FixedLength, twipsToLogical(across)));
    // Qt takes a frame's height as it stands, unlike its width.
    f.setHeight(twipsToLayout(qMax(0, fl.topTwips) + fl.heightTwips));
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
}

void Merger::Builder::textBox(PlacedPicture& placed, const Floating& fl, int record) {
    const std::array<int, 4>& in = fl.insetTwips;
    PageSetup box = m.m_t->page;
    box.leftTwips = 0;
    box.rightTwips = 0;
    box.widthTwips = qMax(1, fl.widthTwips - in[0] - in[2]);
    auto doc = newBandDocument(box, m.m_t->defaultFamily);
    Builder b(m, *doc);
    Cursor c{record, false};
    b.begin();
    b.story(m.m_t->textBoxes[size_t(fl.text)], c);
    b.end();
    b.finish();
    placed.text = std::move(doc);
    placed.textOffset = QPointF(twipsToLayout(in[0]), twipsToLayout(in[1]));
    placed.fill = fl.fill;
    placed.line = fl.line;
    placed.lineWidth = twipsToLayout(fl.lineTwips);
}

void Merger::Builder::placeFloats(std::vector<PlacedPicture>& out, double origin, double pageHeight,
                                  const QTextDocument* band) {
    const PageSetup& pg = m.page();
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    const double left = twipsToLayout(pg.leftTwips);
    for (const auto& [blockNumber, index, record] : m_anchors) {
        const Floating& fl = m.m_t->floats[size_t(index)];
        const QTextBlock anchor = m_doc.findBlockByNumber(blockNumber);
        if (!anchor.isValid())
            continue;
        const double anchorTop = layout->blockBoundingRect(anchor).top();
        const int page = pageHeight > 0 ? pageAt(anchorTop, pageHeight) : 0;
        const double pageTop = page * pageHeight; // the page's top in the document
        QRectF r(twipsToLayout(fl.leftTwips) + (fl.fromX == Floating::From::Page ? 0 : left), 0,
                 twipsToLayout(fl.widthTwips), twipsToLayout(fl.heightTwips));
        r.moveTop(fl.fromY == Floating::From::Page ? twipsToLayout(fl.topTwips)
                  : fl.fromY == Floating::From::Margin
                      ? twipsToLayout(pg.topTwips + fl.topTwips)
                      : origin + anchorTop - pageTop + twipsToLayout(fl.topTwips));
        PlacedPicture placed{pageHeight > 0 ? page : -1, r,  {},  fl.behindText, {}, {}, {}, {}, 0,
                             Floating::Shape::None,      {}, band};
        if (fl.text >= 0 && size_t(fl.text) < m.m_t->textBoxes.size()) {
            textBox(placed, fl, record);
            // A frame of no set height is as tall as its text.
            if (fl.heightTwips <= 0) {
                r.setHeight(placed.text->documentLayout()->documentSize().height() +
                            twipsToLayout(fl.insetTwips[1] + fl.insetTwips[3]));
                placed.rect = r;
            }
        } else if (fl.shape != Floating::Shape::None) {
            placed.shape = fl.shape;
            placed.fill = fl.fill;
            placed.line = fl.line;
            placed.lineWidth = twipsToLayout(fl.lineTwips);
            for (const QPoint& pt : fl.points)
                placed.points << QPointF(twipsToLayout(pt.x()), twipsToLayout(pt.y()));
        } else
            placed.image = m.pictureImage(fl.picture, r.size());
        out.push_back(std::move(placed));
        if (fl.behindText || fl.wrap == Floating::Wrap::None || besideText(fl))
            continue;
        // A picture wholly in a side margin leaves the text where it is.
        if (r.right() <= left || r.left() >= twipsToLayout(pg.widthTwips - pg.rightTwips))
            continue;
        const double top = pageTop + r.top() - origin;
        const double bottom = pageTop + r.bottom() - origin;
        for (QTextBlock b = anchor; b.isValid(); b = b.next()) {
            if (QTextCursor(b).currentTable())
                break; // tables keep their place
            const QRectF br = layout->blockBoundingRect(b);
            if (br.bottom() <= top)
                continue;
            if (br.top() < bottom) {
                QTextBlockFormat f = b.blockFormat();
                f.setTopMargin(f.topMargin() + (bottom - br.top()) * 96.0 / kLayoutDpi);
                QTextCursor(b).setBlockFormat(f);
            }
            break;
        }
    }
}

} // namespace wordproc
