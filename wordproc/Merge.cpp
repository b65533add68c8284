#include "wordproc/Merge.h"

#include "errors/Failure.h"
#include "wordproc/MergeFormats.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QLocale>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <set>

namespace wordproc {

struct Merger::Cursor {
    int record = 0;
    bool exhausted = false; // a NEXT found no further record: the rest of the copy stays blank
};

// Writes stories into one QTextDocument.
class Merger::Builder {
public:
    Builder(Merger& merger, QTextDocument& doc) : m(merger), m_doc(doc), m_cursor(&doc) {}

    // The number of the block the next story's text starts in.
    int nextBlock() const { return m_doc.blockCount() - (m_flow.fresh ? 1 : 0); }

    // Changes are batched into one edit, so that Qt lays the text out once, not after every run.
    void begin() { m_cursor.beginEditBlock(); }
    void end() {
        flush();
        m_cursor.endEditBlock();
    }

    void story(const Story& s, Cursor& c) {
        // Empty paragraphs that only follow a closing table take no room: a label sheet that fills its
        // page must not spill an empty line onto a page of its own.
        size_t end = s.blocks.size();
        while (end > 0 && isEmptyParagraph(s.blocks[end - 1]))
            --end;
        if (end == 0 || !std::holds_alternative<Table>(s.blocks[end - 1]))
            end = s.blocks.size();
        // Qt gives a frame's first block no space above it. Where the first paragraph needs some (its
        // space before, or room for a picture above it) an empty block of no height comes first.
        const Paragraph* first = end > 0 ? std::get_if<Paragraph>(&s.blocks.front()) : nullptr;
        if (m_flow.fresh && m_cursor.position() == 0 && first &&
            (first->format.beforeTwips > 0 || !m.m_t->floats.empty())) {
            makeBlockEmptyOfHeight();
            m_flow.fresh = false;
        }
        m_blockStarts.clear();
        for (size_t i = 0; i < end; ++i) {
            m_blockStarts.push_back(nextBlock());
            if (const Paragraph* p = std::get_if<Paragraph>(&s.blocks[i]))
                paragraph(m_cursor, *p, c, m_flow,
                          i + 1 < end ? std::get_if<Paragraph>(&s.blocks[i + 1]) : nullptr);
            else
                table(std::get<Table>(s.blocks[i]), c);
        }
        if (end < s.blocks.size() || (end > 0 && std::holds_alternative<Table>(s.blocks[end - 1])))
            makeBlockEmptyOfHeight();
    }

    // The cursor's block takes no room: a line of no height in a 1-point font.
    void makeBlockEmptyOfHeight() {
        QTextBlockFormat none;
        none.setLineHeight(0, QTextBlockFormat::FixedHeight);
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        m_cursor.setBlockFormat(none);
        m_cursor.setBlockCharFormat(tiny);
    }

    static bool isEmptyParagraph(const Block& b) {
        const Paragraph* p = std::get_if<Paragraph>(&b);
        return p && p->runs.empty() && !p->format.pageBreakBefore;
    }

    // Gives rows with a set height their height, once the text is in and laid out.
    void finish() {
        if (m_sized.empty())
            return;
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        layout->documentSize();
        for (const auto& [qt, t] : m_sized) {
            for (int r = 0; r < qt->rows() && r < int(t->rows.size()); ++r) {
                const Row& row = t->rows[size_t(r)];
                if (row.heightTwips == 0)
                    continue;
                // Measured in device pixels, set as a padding in Qt's 96-dpi units.
                const double height = twipsToLayout(std::abs(double(row.heightTwips)));
                for (int col = 0; col < qt->columns(); ++col) {
                    QTextTableCell cell = qt->cellAt(r, col);
                    const QRectF first = layout->blockBoundingRect(cell.firstCursorPosition().block());
                    const QRectF last = layout->blockBoundingRect(cell.lastCursorPosition().block());
                    const double content = last.bottom() - first.top();
                    QTextTableCellFormat f = cell.format().toTableCellFormat();
                    f.setBottomPadding(qMax(0.0, height - content) * 96.0 / kLayoutDpi);
                    cell.setFormat(f);
                }
            }
        }
    }

    bool hasPageFields() const { return m_pageFields; }

    // The page of the document that the story's block `index` starts on, as the last story() laid it
    // out in pages of `pageHeight`.
    int pageOfStoryBlock(size_t index, double pageHeight) const {
        if (index >= m_blockStarts.size())
            return m_doc.pageCount();
        const QTextBlock b = m_doc.findBlockByNumber(m_blockStarts[index]);
        if (!b.isValid())
            return m_doc.pageCount();
        const QTextLayout* lines = b.layout();
        const double y = m_doc.documentLayout()->blockBoundingRect(b).top() +
                         (lines && lines->lineCount() > 0 ? lines->lineAt(0).y() : 0.0);
        return pageAt(y, pageHeight);
    }

    // The story's first page starts `height` layout pixels lower than the others: an empty line of that
    // height comes first.
    void startLower(double height) {
        QTextBlockFormat lower;
        lower.setLineHeight(height * 96.0 / kLayoutDpi, QTextBlockFormat::FixedHeight);
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        m_cursor.setBlockFormat(lower);
        m_cursor.setBlockCharFormat(tiny);
        m_flow.fresh = false;
        m_lowered = true;
    }

    // Whether text flows beside a floating picture: where it is to and there is an inch of room.
    bool besideText(const Floating& fl) const {
        const PageSetup& pg = m.m_t->page;
        const int width = pg.widthTwips - pg.leftTwips - pg.rightTwips;
        const int x = fl.fromX == Floating::From::Page ? fl.leftTwips - pg.leftTwips : fl.leftTwips;
        return fl.wrap == Floating::Wrap::Around && !fl.behindText && fl.fromY == Floating::From::Paragraph &&
               qMax(x, width - x - fl.widthTwips) >= 1440;
    }

    // Keeps the lines clear of a picture with an empty floating frame that covers it; the picture is
    // painted over that place. `cur`, at the start of an empty paragraph, goes on after it.
    void keepClear(QTextCursor& cur, const Floating& fl) {
        const PageSetup& pg = m.m_t->page;
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
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        before.setBlockFormat(none);
        before.setBlockCharFormat(tiny);
        cur = frame->lastCursorPosition();
        cur.movePosition(QTextCursor::NextBlock);
        cur.setBlockFormat(paragraph);
        cur.setBlockCharFormat(mark);
    }

    // A paragraph that the text runs on to a new page starts at the page's top, without its space
    // before, as in the common word processors; Qt keeps the space.
    void dropSpaceAtPageTops(double pageHeight) {
        if (m_doc.pageCount() <= 1)
            return;
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        const QTextFrame* root = m_doc.rootFrame();
        // The page of a block's first or last line: a line that does not fit moves on to the next page.
        const auto pageOf = [&](const QTextBlock& b, bool last) {
            const QTextLayout* lines = b.layout();
            const double y =
                layout->blockBoundingRect(b).top() +
                (lines->lineCount() > 0 ? lines->lineAt(last ? lines->lineCount() - 1 : 0).y() : 0);
            return pageAt(y, pageHeight);
        };
        int page = 0;
        // The layout follows each change as far as the next question about a position needs it.
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            QTextCursor at(b);
            if (at.currentFrame() != root) {
                // A table's rows fill the page too: the paragraph after a table that ran on to a new
                // page does not start that page.
                page = qMax(page, pageOf(b, true));
                continue;
            }
            if (pageOf(b, false) > page) {
                // Nor does the space after the paragraph before it reach over to this page, whether the
                // text ran on to it or a break put it there.
                QTextCursor before(b.previous());
                if (b.previous().isValid() && before.currentFrame() == root &&
                    b.previous().blockFormat().bottomMargin() > 0) {
                    QTextBlockFormat f = b.previous().blockFormat();
                    f.setBottomMargin(0);
                    before.setBlockFormat(f);
                }
            }
            if (pageOf(b, false) > page &&
                b.blockFormat().pageBreakPolicy() != QTextFormat::PageBreak_AlwaysBefore) {
                // The paragraph stays on its page: without the space it might fit at the foot of the
                // page before, where it did not fit with it.
                QTextBlockFormat f = b.blockFormat();
                f.setTopMargin(0);
                f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
                at.setBlockFormat(f);
            }
            // Pages only go on: an empty line of no height that opens the document stands a little
            // above its top, and must not make the first paragraph start a page of its own.
            page = qMax(page, pageOf(b, true));
        }
    }

    // Lays out a text box's text with the record in force at its anchor, to be painted in its box.
    void textBox(PlacedPicture& placed, const Floating& fl, int record) {
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

    // Places the pictures anchored in this document, whose top lies `origin` below the sheet's top and
    // whose pages are `pageHeight` tall (0: a header or footer, on every page). Text that must not run
    // under a picture starts below it.
    void placeFloats(std::vector<PlacedPicture>& out, double origin, double pageHeight,
                     const QTextDocument* band = nullptr) {
        const PageSetup& pg = m.m_t->page;
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
            PlacedPicture placed{pageHeight > 0 ? page : -1, r, {}, fl.behindText, {}, {}, {}, {}, 0, band};
            if (fl.text >= 0 && size_t(fl.text) < m.m_t->textBoxes.size()) {
                textBox(placed, fl, record);
                // A frame of no set height is as tall as its text.
                if (fl.heightTwips <= 0) {
                    r.setHeight(placed.text->documentLayout()->documentSize().height() +
                                twipsToLayout(fl.insetTwips[1] + fl.insetTwips[3]));
                    placed.rect = r;
                }
            } else
                placed.image = m.m_t->pictures[size_t(fl.picture)].image;
            out.push_back(std::move(placed));
            if (fl.behindText || fl.wrap == Floating::Wrap::None || besideText(fl))
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

private:
    // Where the paragraphs of one flow (the story, a table cell) stand.
    struct Flow {
        bool fresh = true; // the flow's empty first block takes the next paragraph
        int afterTwips = 0;
        const Paragraph* previous = nullptr;
    };

    static bool sameBorders(const Paragraph* a, const Paragraph* b) {
        return a && b && anyVisible(a->format.borders) && a->format.borders == b->format.borders;
    }

    void paragraph(QTextCursor& cur, const Paragraph& p, Cursor& c, Flow& flow, const Paragraph* next) {
        auto it = m.m_blockFormats.find(&p);
        if (it == m.m_blockFormats.end())
            it = m.m_blockFormats.emplace(&p, toBlockFormat(p.format)).first;
        QTextBlockFormat f = it->second;
        // Space after a paragraph and space before the next add up in the common word processors; Qt
        // would take the larger of the two.
        f.setTopMargin(twipsToLogical(p.format.beforeTwips + flow.afterTwips));
        setBorders(f, p.format.borders, sameBorders(flow.previous, &p), sameBorders(&p, next));
        if (m_table && &flow == &m_flow) {
            // Qt gives the block after a table no space above it; the table keeps that space below.
            QTextTableFormat tf = m_table->format();
            tf.setBottomMargin(f.topMargin());
            m_table->setFormat(tf);
            m_table = nullptr;
        }
        if (p.format.pageBreakBefore && !flow.fresh)
            // A new page drops the space after the paragraph before the break, and keeps the space
            // before this one, as LibreOffice sets it.
            f.setTopMargin(twipsToLogical(p.format.beforeTwips));
        if (m_lowered && &flow == &m_flow) {
            // Only the first page's lowered start comes before it: no page of its own.
            f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            m_lowered = false;
        }
        const QTextCharFormat& mark = m.m_charFormats[size_t(p.markFormat)];
        if (flow.fresh && cur.position() == 0 && p.format.pageBreakBefore) {
            // A break before the very first paragraph would leave an empty first page.
            f.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
            cur.setBlockFormat(f);
            cur.setBlockCharFormat(mark);
        } else if (flow.fresh) {
            cur.setBlockFormat(f);
            cur.setBlockCharFormat(mark);
        } else {
            cur.insertBlock(f, mark);
        }
        flow = Flow{false, p.format.afterTwips, &p};
        const QTextBlock start = cur.block();
        runs(cur, p.runs, c);
        flush();
        setExactLineHeights(start, cur.block());
    }

    // Text of one format is gathered and inserted at once: fewer, longer insertions lay out faster.
    void text(QTextCursor& cur, const QString& s, int format, const Cursor& c) {
        if (c.exhausted || s.isEmpty())
            return;
        if (m_pendingCursor != &cur || m_pendingFormat != format)
            flush();
        m_pendingCursor = &cur;
        m_pendingFormat = format;
        m_pending += s;
    }

    void flush() {
        if (m_pendingCursor && !m_pending.isEmpty())
            m_pendingCursor->insertText(m_pending, m.m_charFormats[size_t(m_pendingFormat)]);
        m_pending.clear();
        m_pendingCursor = nullptr;
        m_pendingFormat = -1;
    }

    void runs(QTextCursor& cur, const std::vector<Run>& list, Cursor& c) {
        for (const Run& r : list) {
            switch (r.kind) {
            case Run::Text:
                text(cur, r.text, r.format, c);
                break;
            case Run::Tab:
                text(cur, QStringLiteral("\t"), r.format, c);
                break;
            case Run::LineBreak:
                text(cur, QString(QChar::LineSeparator), r.format, c);
                break;
            case Run::Picture:
                picture(cur, r, c);
                break;
            case Run::Field:
                field(cur, r, c);
                break;
            case Run::Floating:
                if (!c.exhausted && r.index >= 0 && size_t(r.index) < m.m_t->floats.size()) {
                    const Floating& fl = m.m_t->floats[size_t(r.index)];
                    flush();
                    // A picture that opens its paragraph and leaves room beside it has the text flow
                    // around it.
                    if (besideText(fl) && cur.block().length() == 1 && !cur.currentTable())
                        keepClear(cur, fl);
                    m_anchors.push_back(Anchor{cur.block().blockNumber(), r.index, c.record});
                }
                break;
            }
        }
    }

    void picture(QTextCursor& cur, const Run& r, const Cursor& c) {
        if (c.exhausted || r.index < 0 || size_t(r.index) >= m.m_t->pictures.size())
            return;
        const Picture& pic = m.m_t->pictures[size_t(r.index)];
        flush();
        const QString name = QStringLiteral("qm-picture-%1").arg(r.index);
        if (m_pictures.insert(r.index).second)
            m_doc.addResource(QTextDocument::ImageResource, QUrl(name), QVariant(pic.image));
        QTextImageFormat f;
        f.merge(m.m_charFormats[size_t(r.format)]);
        f.setName(name);
        f.setWidth(twipsToLogical(pic.widthTwips));
        f.setHeight(twipsToLogical(pic.heightTwips));
        cur.insertImage(f);
    }

    // The format a field's value takes: the stored result's with MERGEFORMAT, else the field code's.
    int valueFormat(const Field& f) const {
        if (f.mergeFormat)
            for (const Run& r : f.result)
                if (r.kind == Run::Text)
                    return r.format;
        return f.codeFormat;
    }

    void field(QTextCursor& cur, const Run& r, Cursor& c) {
        if (r.index < 0 || size_t(r.index) >= m.m_t->fields.size())
            return;
        const Field& f = m.m_t->fields[size_t(r.index)];
        const bool merging = m.m_data != nullptr;
        switch (f.kind) {
        case Field::Merge: {
            if (!merging) {
                runs(cur, f.result, c);
                return;
            }
            const QString value =
                applyCaseSwitches(m.m_data->value(c.record, m.m_columns[size_t(r.index)]), f.caseSwitches);
            if (!value.isEmpty())
                text(cur, f.before + value + f.after, valueFormat(f), c);
            return;
        }
        case Field::Next:
            if (merging && !c.exhausted) {
                ++c.record;
                if (c.record >= m.m_data->recordCount()) {
                    c.record = m.m_data->recordCount() - 1;
                    c.exhausted = true;
                }
            }
            return;
        case Field::Date:
            text(cur, formatDatePicture(m.m_now, f.datePicture), valueFormat(f), c);
            return;
        case Field::Page:
        case Field::NumPages: {
            if (c.exhausted)
                return;
            // The stored number stands until the pages are known; the painting sets each page's own.
            QString shown;
            for (const Run& run : f.result)
                if (run.kind == Run::Text)
                    shown += run.text;
            shown = shown.trimmed();
            flush();
            QTextCharFormat format = m.m_charFormats[size_t(valueFormat(f))];
            format.setProperty(kPageFieldProperty, f.kind == Field::Page ? 1 : 2);
            cur.insertText(shown.isEmpty() ? QStringLiteral("1") : shown, format);
            m_pageFields = true;
            return;
        }
        case Field::Other:
            runs(cur, f.result, c);
            return;
        }
    }

    void table(const Table& t, Cursor& c) {
        if (t.rows.empty() || t.rows.front().cells.empty())
            return;
        const Row& def = t.rows.front();
        const int rows = int(t.rows.size());
        const int cols = int(def.cells.size());
        QTextTableFormat tf;
        tf.setCellSpacing(0);
        tf.setCellPadding(0);
        tf.setMargin(0);
        // The cells draw their own rules.
        tf.setBorder(0);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_None);
        tf.setBorderCollapse(true);
        // The space after the paragraph before the table is kept above it.
        tf.setTopMargin(twipsToLogical(m_flow.afterTwips));
        // A row may start left of the margin (Word's default: minus the cell gap), so that the cells' text
        // lines up with the text around the table.
        tf.setLeftMargin(twipsToLogical(def.leftTwips));
        tf.setAlignment(def.align == Row::Center  ? Qt::AlignHCenter
                        : def.align == Row::Right ? Qt::AlignRight
                                                  : Qt::AlignLeft);
        QList<QTextLength> widths;
        double left = def.leftTwips;
        for (const Cell& cell : def.cells) {
            widths.append(
                QTextLength(QTextLength::FixedLength, twipsToLogical(qMax(1.0, cell.rightTwips - left))));
            left = cell.rightTwips;
        }
        tf.setColumnWidthConstraints(widths);
        if (t.pageBreakBefore && !m_lowered)
            tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        m_lowered = false;

        QTextTable* qt = m_cursor.insertTable(rows, cols, tf);
        bool sized = false;
        for (int r = 0; r < rows; ++r) {
            const Row& row = t.rows[size_t(r)];
            sized = sized || row.heightTwips != 0;
            for (int col = 0; col < cols && col < int(row.cells.size()); ++col) {
                QTextTableCell cell = qt->cellAt(r, col);
                const Cell& source = row.cells[size_t(col)];
                QTextCursor cc = cell.firstCursorPosition();
                Flow flow;
                const auto& paras = source.paragraphs;
                for (size_t i = 0; i < paras.size(); ++i)
                    paragraph(cc, paras[i], c, flow, i + 1 < paras.size() ? &paras[i + 1] : nullptr);
                // The cell's format lives on the character format of its first block, which the paragraphs
                // have just set: it is completed now, not before.
                QTextTableCellFormat cf = cell.format().toTableCellFormat();
                const int leftPad = source.leftPadTwips >= 0 ? source.leftPadTwips : row.gapTwips;
                cf.setLeftPadding(twipsToLogical(leftPad));
                cf.setRightPadding(
                    twipsToLogical(source.rightPadTwips >= 0 ? source.rightPadTwips : row.gapTwips));
                cf.setTopPadding(0);
                cf.setBottomPadding(0);
                setCellBorders(cf, source.borders);
                if (source.shading.isValid())
                    cf.setBackground(source.shading);
                cell.setFormat(cf);
            }
        }
        if (sized)
            m_sized.emplace_back(qt, &t);
        m_cursor.movePosition(QTextCursor::End);
        m_flow = Flow{}; // the empty paragraph Qt keeps after a table takes the next paragraph
        m_table = qt;
    }

    Merger& m;
    QTextDocument& m_doc;
    QTextCursor m_cursor;
    Flow m_flow;
    QTextTable* m_table = nullptr; // the table just closed, until the paragraph after it
    struct Anchor {
        int block;  // the anchor's block
        int index;  // the float
        int record; // the record in force there, for a text box's fields
    };
    std::vector<Anchor> m_anchors;
    bool m_pageFields = false;
    bool m_lowered = false;         // startLower() gave the first page's empty first line
    std::vector<int> m_blockStarts; // per block of the last story: the document block it starts in
    QString m_pending;
    int m_pendingFormat = -1;
    QTextCursor* m_pendingCursor = nullptr;
    std::set<int> m_pictures;
    std::vector<std::pair<QTextTable*, const Table*>> m_sized;
};

Merger::Merger(std::shared_ptr<const Template> tmpl, std::shared_ptr<const DataSource> data)
    : m_t(std::move(tmpl)), m_data(std::move(data)), m_now(QDateTime::currentDateTime()) {
    m_columns.assign(m_t->fields.size(), -1);
    if (m_data) {
        for (size_t i = 0; i < m_t->fields.size(); ++i) {
            const Field& f = m_t->fields[i];
            if (f.kind != Field::Merge)
                continue;
            m_columns[i] = m_data->fieldIndex(f.name);
            if (m_columns[i] < 0)
                throw Failure(
                    errors::MergeFieldMissing,
                    QStringLiteral("The merge field \"%1\" of the template \"%2\" is not in the data "
                                   "source \"%3\".")
                        .arg(f.name, m_t->fileName, m_data->name()));
        }
        if (m_data->recordCount() == 0)
            throw Failure(
                errors::NoRecords,
                QStringLiteral("The data source \"%1\" holds no records to merge.").arg(m_data->name()));
    }
    // Each font family and each size the layout meets costs a font of its own, and a long run of them
    // makes Qt's layout crawl; a letter needs a handful. Past a few dozen of either, a further one is
    // set in the document's default family, or the nearest size already in use.
    constexpr size_t kMaxFamilies = 32;
    constexpr size_t kMaxSizes = 32;
    std::set<QString> families;
    std::set<int> sizes;
    m_charFormats.reserve(m_t->formats.size());
    for (CharFormat f : m_t->formats) {
        if (!families.count(f.family) && (families.size() < kMaxFamilies || f.family.isEmpty()))
            families.insert(f.family);
        else if (!families.count(f.family))
            f.family.clear();
        if (!sizes.count(f.halfPoints) && sizes.size() < kMaxSizes) {
            sizes.insert(f.halfPoints);
        } else if (!sizes.count(f.halfPoints)) {
            const auto above = sizes.lower_bound(f.halfPoints);
            const int up = above != sizes.end() ? *above : INT_MAX;
            const int down = above != sizes.begin() ? *std::prev(above) : INT_MIN;
            f.halfPoints = qint64(up) - f.halfPoints < qint64(f.halfPoints) - down ? up : down;
        }
        m_charFormats.push_back(toCharFormat(f, m_t->defaultFamily));
    }
}

Merger::~Merger() = default;

bool Merger::atEnd() const {
    return m_done;
}

void Merger::buildCopy(PageCopy& copy, Cursor& cursor) {
    const int first = cursor.record;
    const PageSetup& page = m_t->page;
    // Lays a header or footer out; gives how far from its edge of the sheet the body keeps on the pages
    // that show it: its margin, or further when the band is taller than the room the margin leaves it,
    // as in the common word processors.
    const auto band = [&](const Story& story, std::unique_ptr<QTextDocument>& out, bool header) -> double {
        const double margin = twipsToLayout(header ? page.topTwips : page.bottomTwips);
        if (story.empty())
            return margin;
        out = newBandDocument(page, m_t->defaultFamily);
        Cursor c{first, false};
        Builder b(*this, *out);
        b.begin();
        b.story(story, c);
        b.end();
        b.finish();
        copy.pageFields = copy.pageFields || b.hasPageFields();
        const double height = out->documentLayout()->documentSize().height();
        b.placeFloats(copy.pictures,
                      header ? twipsToLayout(page.headerTwips)
                             : twipsToLayout(page.heightTwips - page.footerTwips) - height,
                      0, out.get());
        const double edge = twipsToLayout(header ? page.headerTwips : page.footerTwips);
        return qMax(margin, edge + out->documentLayout()->documentSize().height());
    };
    // The body is one document of pages of one height: its pages keep clear of the tallest header and
    // footer they may show, but for the first page's own header, which only moves the first page's text.
    double top = band(m_t->header, copy.header, true);
    double bottom = band(m_t->footer, copy.footer, false);
    double firstTop = top;
    copy.titlePage = m_t->titlePage;
    copy.evenPages = m_t->evenPages;
    if (m_t->titlePage) {
        firstTop = band(m_t->firstHeader, copy.firstHeader, true);
        bottom = qMax(bottom, band(m_t->firstFooter, copy.firstFooter, false));
    }
    if (m_t->evenPages) {
        top = qMax(top, band(m_t->evenHeader, copy.evenHeader, true));
        bottom = qMax(bottom, band(m_t->evenFooter, copy.evenFooter, false));
    }
    // A catalog's body repeats for every record: its sections are not told apart.
    const bool sections = m_t->type != MainType::Catalog || !m_data;
    if (sections) {
        for (const Section& section : m_t->sections) {
            SectionBands& out = copy.sections.emplace_back();
            out.titlePage = section.titlePage;
            top = qMax(top, band(section.header, out.header, true));
            bottom = qMax(bottom, band(section.footer, out.footer, false));
            if (section.titlePage) {
                top = qMax(top, band(section.firstHeader, out.firstHeader, true));
                bottom = qMax(bottom, band(section.firstFooter, out.firstFooter, false));
            }
            if (m_t->evenPages) {
                top = qMax(top, band(section.evenHeader, out.evenHeader, true));
                bottom = qMax(bottom, band(section.evenFooter, out.evenFooter, false));
            }
        }
    }
    const bool titled = m_t->titlePage && copy.firstPage == 1;
    const double height = qMax(twipsToLayout(720), twipsToLayout(page.heightTwips) - top - bottom);
    copy.bodyTop = top;
    // Once the body's text is in: rows' heights, floating pictures, page tops and page numbers.
    const auto complete = [&](Builder& body) {
        body.finish();
        body.placeFloats(copy.pictures, top, height);
        body.dropSpaceAtPageTops(height);
        if (body.hasPageFields()) {
            copy.pageFields = true;
            setPageNumbers(*copy.body, 0, copy.numberedPages(), height, copy.firstPage);
        }
    };
    // The first page's text starts below its own header, which may be taller or shorter than the
    // others: lower, or higher with the page ending as far above the footer.
    const auto lowerFirstPage = [&](Builder& body) {
        if (!titled || firstTop == top)
            return;
        if (firstTop > top)
            body.startLower(firstTop - top);
        else
            copy.firstBodyTop = firstTop;
    };
    if (m_t->type != MainType::Catalog || !m_data) {
        copy.body = newPagedDocument(page, m_t->defaultFamily, height);
        Builder body(*this, *copy.body);
        body.begin();
        lowerFirstPage(body);
        body.story(m_t->body, cursor);
        body.end();
        if (!checkLayout(*copy.body).holds)
            throw tooLong();
        complete(body);
        // A section's headers start on its first page; those of a section that runs on from the page
        // before it, on the next page.
        for (size_t i = 0; i < m_t->sections.size(); ++i) {
            const Section& section = m_t->sections[i];
            const int from = body.pageOfStoryBlock(size_t(section.firstBlock), height);
            copy.sections[i].fromPage = from + (section.newPage ? 0 : 1);
        }
        return;
    }
    if (m_t->type != MainType::Catalog || !m_data) {
        copy.body = newPagedDocument(page, m_t->defaultFamily, height);
        Builder body(*this, *copy.body);
        body.begin();
        body.story(m_t->body, cursor);
        body.end();
        if (!checkLayout(*copy.body).holds)
            throw tooLong();
        complete(body);
        return;
    }
    // A catalog: the body once per record, one after the other, in pieces of about kMaxPiecePages.
    // Records [first, limit) are tried; a piece that grows too long is built again with fewer.
    int limit = m_data->recordCount();
    while (true) {
        copy.body = newPagedDocument(page, m_t->defaultFamily, height);
        Builder body(*this, *copy.body);
        std::vector<std::pair<int, int>> starts; // each record's number and the block its text starts in
        int r = first;
        int cut = -1;
        int sinceCheck = 0;
        body.begin();
        lowerFirstPage(body);
        while (r < limit && cut < 0) {
            starts.emplace_back(r, body.nextBlock());
            cursor = Cursor{r, false};
            body.story(m_t->body, cursor);
            r = cursor.record + 1;
            // Checked ever more seldom, so that laying the piece out again and again stays linear.
            if (++sinceCheck < qMax(64, int(starts.size()) / 2) && r < limit)
                continue;
            sinceCheck = 0;
            body.end();
            cut = pieceEnd(*copy.body, starts);
            body.begin();
        }
        body.end();
        if (cut < 0) {
            complete(body);
            return;
        }
        limit = cut;
    }
}

Merger::LayoutCheck Merger::checkLayout(QTextDocument& doc) {
    // Qt lays text out in 26.6 fixed point: past some 33 million layout pixels (about 12,900 pages)
    // its positions wrap around and the document comes out as one blank page. Wrapped positions show
    // as a block or table that starts above the one before it.
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const double size = layout->documentSize().height();
    LayoutCheck check;
    check.pages = doc.pageCount();
    if (!(size >= 0 && size < kMaxLayoutPixels))
        return check;
    double last = 0;
    for (QTextFrame::iterator it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        const QRectF r = it.currentFrame() ? layout->frameBoundingRect(it.currentFrame())
                                           : layout->blockBoundingRect(it.currentBlock());
        if (r.top() < last - 1)
            return check;
        last = r.top();
    }
    check.holds = true;
    return check;
}

int Merger::pieceEnd(QTextDocument& doc, const std::vector<std::pair<int, int>>& starts) {
    const LayoutCheck check = checkLayout(doc);
    if (check.holds && check.pages <= kMaxPiecePages)
        return -1;
    if (starts.size() < 2) {
        if (!check.holds)
            throw tooLong();
        return -1; // one record longer than a piece: it stands alone
    }
    if (!check.holds)
        return starts[starts.size() / 2].first; // positions are not to be trusted: halve and try again
    // The piece ends before the last record that starts at the top of a page within the limit, so that
    // the next piece goes on exactly where this one's pages end; failing that, before the last record
    // that starts within the limit.
    const double pageHeight = doc.pageSize().height();
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    int within = -1;
    for (size_t i = starts.size() - 1; i >= 1; --i) {
        // Qt moves the lines of a paragraph that do not fit to the next page, not the paragraph itself.
        const QTextBlock block = doc.findBlockByNumber(starts[i].second);
        const QTextLayout* lines = block.layout();
        const double y = layout->blockBoundingRect(block).top() +
                         (lines && lines->lineCount() > 0 ? lines->lineAt(0).y() : 0.0);
        const double page = std::floor(y / pageHeight);
        if (page >= kMaxPiecePages)
            continue;
        if (y - page * pageHeight < kPageTopSlack)
            return starts[i].first;
        if (within < 0)
            within = starts[i].first;
    }
    return within >= 0 ? within : starts[1].first;
}

Failure Merger::tooLong() const {
    return Failure(errors::DocumentTooLong,
                   QStringLiteral("One copy of the template \"%1\" is too long to lay out: it would run "
                                  "past %2 pages.")
                       .arg(m_t->fileName)
                       .arg(kMaxLayoutPixels / twipsToLayout(m_t->page.heightTwips), 0, 'f', 0));
}

PageCopy Merger::next() {
    PageCopy copy;
    if (m_done)
        return copy;
    Cursor cursor{m_record, false};
    const bool catalog = m_t->type == MainType::Catalog && m_data;
    if (catalog) {
        copy.firstPage = m_pagesBefore + 1;
        copy.totalPages = m_catalogPages;
    }
    buildCopy(copy, cursor);
    m_record = cursor.record + 1;
    m_done = !m_data || m_record >= m_data->recordCount();
    if (catalog) {
        if (m_pagesBefore == 0 && !m_done && copy.pageFields) {
            // NUMPAGES of a catalog in pieces needs every piece's pages: they are laid out once to be
            // counted. Only catalogs past a thousand pages that show page numbers pay for it.
            m_catalogPages = copy.pageCount() + countRemainingPages();
            copy.totalPages = m_catalogPages;
            setPageNumbers(*copy.body, 0, m_catalogPages, copy.body->pageSize().height(), copy.firstPage);
        }
        m_pagesBefore += copy.pageCount();
    }
    return copy;
}

int Merger::countRemainingPages() {
    int pages = 0;
    for (int r = m_record; r < m_data->recordCount();) {
        PageCopy piece;
        Cursor cursor{r, false};
        buildCopy(piece, cursor);
        pages += piece.pageCount();
        r = cursor.record + 1;
    }
    return pages;
}

std::shared_ptr<MergedDocument> Merger::all(const QString& name) {
    auto doc = std::make_shared<MergedDocument>();
    doc->page = m_t->page;
    doc->name = name;
    while (!atEnd())
        doc->copies.push_back(next());
    return doc;
}

} // namespace wordproc
