#include "wordproc/Merge.h"

#include "errors/Failure.h"
#include "wordproc/MergeFormats.h"
#include "wordproc/Metafile.h"
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
#include <limits>
#include <set>

namespace wordproc {

struct Merger::Cursor {
    int record = 0;
    bool exhausted = false; // a NEXT found no further record: the rest of the copy stays blank
};

// Writes stories into one QTextDocument.
class Merger::Builder {
    // Tables whose rows have a set height or whose cells set their text lower than the top: their
    // cells, with the padding the template gives them (Qt's units), to be fitted once laid out.
    struct SizedCell {
        int row, column, rows;
        Cell::VAlign align;
        double top, bottom;
    };
    struct SizedTable {
        QTextTable* table;
        const Table* source;
        std::vector<SizedCell> cells;
    };
    // Where the notes' references stand; the cursors follow the text as it changes.
    struct NoteRef {
        QTextCursor at;
        int note;
        int record;
    };

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

    // Gives rows with a set height their height, and sets the text of cells that ask for it in their
    // middle or at their foot, once the text is in and laid out: Qt knows neither.
    void finish() {
        if (m_sized.empty())
            return;
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        layout->documentSize();
        // A row of an exact height shows no more of its cells' text than fits: the paragraphs after the
        // first that do not end within it are left out.
        std::vector<QTextBlock> hidden;
        std::vector<std::pair<QTextBlock, double>> cut;
        for (const SizedTable& st : m_sized)
            for (const SizedCell& sc : st.cells) {
                const Row& row = st.source->rows[size_t(sc.row)];
                if (row.heightTwips >= 0 || sc.rows != 1)
                    continue;
                const QTextTableCell cell = st.table->cellAt(sc.row, sc.column);
                const QTextTableCellFormat f = cell.format().toTableCellFormat();
                const QTextBlock first = cell.firstCursorPosition().block();
                const QTextBlock last = cell.lastCursorPosition().block();
                const double room = twipsToLayout(-double(row.heightTwips)) -
                                    (sc.top + sc.bottom + (f.topBorder() + f.bottomBorder()) / 2) * kQtScale;
                const QRectF firstRect = layout->blockBoundingRect(first);
                // A first paragraph of one line taller than the row, as an empty one in a row of two
                // points that spaces a form's lines, is cut to the row's height (Qt would set each line
                // of a longer one that tall).
                if (firstRect.height() > room + 0.5 && first.layout()->lineCount() <= 1)
                    cut.emplace_back(first, qMax(0.0, room));
                for (QTextBlock b = first.next(); b.isValid() && b.blockNumber() <= last.blockNumber();
                     b = b.next())
                    if (layout->blockBoundingRect(b).bottom() - firstRect.top() > room + 0.5)
                        hidden.push_back(b);
            }
        for (const auto& [b, room] : cut) {
            QTextBlockFormat f = b.blockFormat();
            f.setTopMargin(0);
            f.setBottomMargin(0);
            f.setLineHeight(room / kQtScale, QTextBlockFormat::FixedHeight);
            QTextCursor(b).setBlockFormat(f);
        }
        for (const QTextBlock& b : hidden) {
            QTextCursor cur(b);
            cur.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            cur.removeSelectedText();
            QTextBlockFormat none;
            none.setLineHeight(0, QTextBlockFormat::FixedHeight);
            QTextCharFormat tiny;
            tiny.setFontPointSize(1);
            cur.setBlockFormat(none);
            cur.setBlockCharFormat(tiny);
        }
        const double pageHeight =
            m_doc.pageSize().height() > 0 && m_doc.pageSize().height() < 1e7 ? m_doc.pageSize().height() : 0;
        const auto page = [&](double y) { return pageHeight > 0 ? int(std::floor(y / pageHeight)) : 0; };
        for (const SizedTable& st : m_sized)
            fitRows(*layout, st, page);
    }

    // Qt's table lengths are in 96-dpi units; the layout's in its device's pixels.
    static constexpr double kQtScale = kLayoutDpi / 96.0;

    template <typename PageOf>
    void fitRows(QAbstractTextDocumentLayout& layout, const SizedTable& st, const PageOf& page) {
        QTextTable* qt = st.table;
        const int rows = qt->rows(), cols = qt->columns();
        // Where a cell's box starts and the height its text and padding need, as Qt has laid it out.
        struct Measure {
            double top, need;
        };
        const auto measure = [&](const QTextTableCell& cell, double padTop, double padBottom) {
            const QTextTableCellFormat f = cell.format().toTableCellFormat();
            const double first = layout.blockBoundingRect(cell.firstCursorPosition().block()).top();
            const double last = layout.blockBoundingRect(cell.lastCursorPosition().block()).bottom();
            return Measure{first - (f.topPadding() + f.topBorder() / 2) * kQtScale,
                           last - first +
                               (padTop + padBottom + (f.topBorder() + f.bottomBorder()) / 2) * kQtScale};
        };
        constexpr double none = std::numeric_limits<double>::max();
        std::vector<double> top(size_t(rows), none), need(size_t(rows), 0);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                const QTextTableCell cell = qt->cellAt(r, c);
                if (cell.row() != r || cell.column() != c)
                    continue;
                const QTextTableCellFormat f = cell.format().toTableCellFormat();
                const Measure m = measure(cell, f.topPadding(), f.bottomPadding());
                top[size_t(r)] = qMin(top[size_t(r)], m.top);
                if (cell.rowSpan() == 1)
                    need[size_t(r)] = qMax(need[size_t(r)], m.need);
            }
        // Each row's height: the one set, exactly or at least; else what Qt gave it.
        std::vector<double> height(size_t(rows), 0);
        for (int r = 0; r < rows; ++r) {
            const size_t i = size_t(r);
            const bool next =
                r + 1 < rows && top[i] != none && top[i + 1] != none && page(top[i + 1]) == page(top[i]);
            const double natural = next ? top[i + 1] - top[i] : need[i];
            const int set = r < int(st.source->rows.size()) ? st.source->rows[i].heightTwips : 0;
            height[i] = set < 0 ? twipsToLayout(-double(set)) : qMax(natural, twipsToLayout(double(set)));
        }
        std::vector<std::pair<QTextTableCell, QTextTableCellFormat>> changes;
        for (const SizedCell& sc : st.cells) {
            const int last = qMin(rows, sc.row + sc.rows) - 1;
            if (top[size_t(sc.row)] == none || top[size_t(last)] == none ||
                page(top[size_t(sc.row)]) != page(top[size_t(last)]))
                continue;
            double span = 0;
            for (int r = sc.row; r <= last; ++r)
                span += height[size_t(r)];
            QTextTableCell cell = qt->cellAt(sc.row, sc.column);
            const double slack = (span - measure(cell, sc.top, sc.bottom).need) / kQtScale;
            if (slack <= 0.01)
                continue;
            const double share = sc.align == Cell::VAlign::Center   ? 0.5
                                 : sc.align == Cell::VAlign::Bottom ? 1.0
                                                                    : 0.0;
            QTextTableCellFormat f = cell.format().toTableCellFormat();
            f.setTopPadding(sc.top + slack * share);
            f.setBottomPadding(sc.bottom + slack * (1 - share));
            changes.emplace_back(cell, f);
        }
        for (auto& [cell, f] : changes)
            cell.setFormat(f);
    }

    bool hasPageFields() const { return m_pageFields; }

    // Notes' references in the stories to come are kept, for endnotes() and placeNotes().
    void collectNotes() { m_collectNotes = true; }

    // The endnotes referred to so far, after the text, from a new page on, as LibreOffice prints them;
    // each merges the record in force at its reference.
    void endnotes() {
        bool first = true;
        for (const NoteRef& ref : m_noteRefs) {
            const Note& note = m.m_t->notes[size_t(ref.note)];
            if (!note.endnote || note.text.empty())
                continue;
            m_breakNext = first;
            first = false;
            Cursor c{ref.record, false};
            story(note.text, c);
        }
        m_breakNext = false;
    }

    // Sets the footnotes at the foot of the pages their references fall on, and keeps the body clear of
    // them: the lines that would run into the notes go on to the next page, the paragraph split there.
    // Notes taller than most of a page run on to the next page, at worst onto one of their own.
    void placeNotes(std::vector<std::vector<NoteSlice>>& out, double pageHeight) {
        if (std::none_of(m_noteRefs.begin(), m_noteRefs.end(),
                         [&](const NoteRef& r) { return !m.m_t->notes[size_t(r.note)].endnote; }))
            return;
        const double above = twipsToLayout(kNoteAreaTwips);
        // The notes leave at least a quarter of the page to the body, as LibreOffice's do.
        const double most = qMax(pageHeight * 0.75 - above, twipsToLayout(240));
        std::vector<NoteSlice> carry;
        constexpr int kMaxNotePages = 20000;
        for (int p = 0; p < kMaxNotePages; ++p) {
            if (p >= m_doc.pageCount()) {
                if (carry.empty())
                    break;
                addEmptyPage();
            }
            std::vector<NoteSlice> slices, rest;
            // Moving text on takes its references along: the notes are laid out again, a few times at most,
            // and the last time nothing moves, so that no note prints on two pages.
            constexpr int kAttempts = 4;
            for (int attempt = 0; attempt < kAttempts; ++attempt) {
                slices = carry;
                rest.clear();
                std::vector<const NoteRef*> here;
                for (const NoteRef& r : m_noteRefs)
                    if (!m.m_t->notes[size_t(r.note)].endnote && pageOf(r.at, pageHeight) == p)
                        here.push_back(&r);
                if (!here.empty()) {
                    auto doc = layNotes(here);
                    const double h = doc->documentLayout()->documentSize().height();
                    if (h > 0)
                        slices.push_back(NoteSlice{std::move(doc), 0, h});
                }
                if (slices.empty())
                    break;
                double room = most;
                for (size_t i = 0; i < slices.size(); ++i) {
                    NoteSlice& s = slices[i];
                    if (s.to - s.from <= room) {
                        room -= s.to - s.from;
                        continue;
                    }
                    const double cut = lineEndBefore(*s.text, s.from, s.from + room);
                    if (cut > s.from) {
                        rest.push_back(NoteSlice{s.text, cut, s.to});
                        s.to = cut;
                        ++i;
                    }
                    rest.insert(rest.end(), slices.begin() + qsizetype(i), slices.end());
                    slices.erase(slices.begin() + qsizetype(i), slices.end());
                    break;
                }
                double height = above;
                for (const NoteSlice& s : slices)
                    height += s.to - s.from;
                if (attempt + 1 == kAttempts || !moveOn(p, (p + 1) * pageHeight - height, pageHeight))
                    break;
            }
            if (!slices.empty()) {
                out.resize(size_t(p) + 1);
                out[size_t(p)] = std::move(slices);
            }
            carry = std::move(rest);
        }
    }

    // The page of the document that the story's block `index` starts on, as the last story() laid it
    // out in pages of `pageHeight`.
    int pageOfStoryBlock(size_t index, double pageHeight) const {
        if (index >= m_blockStarts.size())
            return m_doc.pageCount();
        int number = m_blockStarts[index];
        for (int split : m_splits)
            if (split <= number)
                ++number;
        const QTextBlock b = m_doc.findBlockByNumber(number);
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
    // before, as in the common word processors; Qt keeps the space. Qt knows neither widows and orphans
    // nor paragraphs kept with the next one: the pages are broken again here where they ask for it.
    void dropSpaceAtPageTops(double pageHeight) {
        if (m_doc.pageCount() <= 1)
            return;
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        const QTextFrame* root = m_doc.rootFrame();
        const auto lineTop = [&](const QTextBlock& b, int line) {
            return line >= 0 && line < b.layout()->lineCount() ? lineRoomTop(b, line)
                                                               : layout->blockBoundingRect(b).top();
        };
        // The page of a block's first or last line: a line that does not fit moves on to the next page.
        const auto pageOf = [&](const QTextBlock& b, bool last) {
            return pageAt(lineTop(b, last ? b.layout()->lineCount() - 1 : 0), pageHeight);
        };
        const auto inRoot = [&](const QTextBlock& b) {
            return b.isValid() && QTextCursor(b).currentFrame() == root;
        };
        const auto keep = [](const QTextBlock& b) { return b.blockFormat().intProperty(kKeepProperty); };
        // A picture's line may be taller than a page: its paragraph breaks where Qt breaks it.
        const auto holdsPicture = [](const QTextBlock& b) {
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (it.fragment().charFormat().isImageFormat())
                    return true;
            return false;
        };
        // Whether text of the page stands above the block: else moving it on would only leave a page empty.
        const auto belowPageTop = [&](const QTextBlock& b) {
            const QTextBlock before = b.previous();
            return before.isValid() && pageOf(before, true) == pageOf(b, false);
        };
        // Nor does the space after the paragraph before a page's first reach over to that page.
        const auto dropSpaceBefore = [&](const QTextBlock& b) {
            if (inRoot(b.previous()) && b.previous().blockFormat().bottomMargin() > 0) {
                QTextBlockFormat f = b.previous().blockFormat();
                f.setBottomMargin(0);
                QTextCursor(b.previous()).setBlockFormat(f);
            }
        };
        // The block starts a new page, without the space above it.
        const auto startPage = [&](const QTextBlock& b) {
            dropSpaceBefore(b);
            QTextBlockFormat f = b.blockFormat();
            f.setTopMargin(0);
            f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(b).setBlockFormat(f);
        };
        int page = 0;
        int moves = 0; // paragraphs moved on with the next one, no more than there are blocks
        // The layout follows each change as far as the next question about a position needs it.
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            // A paragraph kept with the next one goes on to the next one's page, with those before it
            // kept with it, unless they fill a page of their own.
            if (inRoot(b) && inRoot(b.previous()) && (keep(b.previous()) & kKeepWithNext) &&
                pageOf(b, false) > pageOf(b.previous(), true) && moves < m_doc.blockCount()) {
                QTextBlock chain = b.previous();
                while (inRoot(chain.previous()) && (keep(chain.previous()) & kKeepWithNext) &&
                       pageOf(chain.previous(), true) == pageOf(chain, false))
                    chain = chain.previous();
                if (belowPageTop(chain)) {
                    ++moves;
                    startPage(chain);
                    b = chain;
                    page = pageOf(b, true);
                    continue;
                }
            }
            if (!inRoot(b)) {
                // A table's rows fill the page too: the paragraph after a table that ran on to a new
                // page does not start that page.
                page = qMax(page, pageOf(b, true));
                continue;
            }
            if (pageOf(b, false) > page) {
                // Whether the text ran on to the new page or a break put it there, the paragraph stays
                // on it: without the space above it might fit at the foot of the page before, where it
                // did not fit with it. A break keeps the space, as LibreOffice sets it.
                if (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                    dropSpaceBefore(b);
                else
                    startPage(b);
            }
            if ((keep(b) & kWidowControl) && pageOf(b, false) < pageOf(b, true) && !holdsPicture(b))
                keepWidowsAndOrphans(b, pageHeight, lineTop, belowPageTop(b), startPage);
            // Pages only go on: an empty line of no height that opens the document stands a little
            // above its top, and must not make the first paragraph start a page of its own.
            page = qMax(page, pageOf(b, true));
        }
    }

    // A paragraph that runs over a page's end leaves at least two lines on the page and takes at least
    // two on to the next, as in the common word processors: where it would leave one it starts on the
    // next page, where it would take one it takes the line before as well, in a block of its own.
    template <typename LineTop, typename StartPage>
    void keepWidowsAndOrphans(const QTextBlock& b, double pageHeight, const LineTop& lineTop,
                              bool belowPageTop, const StartPage& startPage) {
        const int n = b.layout()->lineCount();
        std::vector<int> pages(size_t(n), 0);
        for (int i = 0; i < n; ++i)
            pages[size_t(i)] = pageAt(lineTop(b, i), pageHeight);
        const auto linesOn = [&](int page) { return int(std::count(pages.begin(), pages.end(), page)); };
        if (linesOn(pages.front()) < 2) {
            if (belowPageTop)
                startPage(b);
            return;
        }
        const int last = pages.back();
        if (linesOn(last) >= 2)
            return;
        const int cut = n - 2; // the line to go on with the last one
        const int left = linesOn(pages[size_t(cut)]) - 1;
        if (left < (pages[size_t(cut)] == pages.front() ? 2 : 1)) {
            if (belowPageTop)
                startPage(b);
            return;
        }
        const QTextBlockFormat format = b.blockFormat();
        const bool justified = format.alignment() & Qt::AlignJustify;
        QTextCursor at(b);
        at.setPosition(b.position() + b.layout()->lineAt(cut).textStart());
        QTextBlockFormat rest = format;
        rest.setTextIndent(0);
        rest.setTopMargin(0);
        rest.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        at.insertBlock(rest, b.charFormat());
        QTextBlockFormat head = format;
        head.setBottomMargin(0);
        QTextCursor(b).setBlockFormat(head);
        // The first part's last line was not the paragraph's last: it stays justified.
        if (justified)
            b.layout()->setFlags(Qt::TextJustificationForced);
        for (int& start : m_blockStarts)
            if (start > b.blockNumber())
                ++start;
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

private:
    // The page of the document that the text at `at` lies on.
    int pageOf(const QTextCursor& at, double pageHeight) const {
        const QTextBlock b = at.block();
        const QTextLine line = b.layout()->lineForTextPosition(at.position() - b.position());
        const double y = m_doc.documentLayout()->blockBoundingRect(b).top() + (line.isValid() ? line.y() : 0);
        return pageAt(y, pageHeight);
    }

    // The notes of `refs`, one after the other, as wide as the body.
    std::shared_ptr<QTextDocument> layNotes(const std::vector<const NoteRef*>& refs) {
        std::shared_ptr<QTextDocument> doc = newBandDocument(m.m_t->page, m.m_t->defaultFamily);
        Builder b(m, *doc);
        b.begin();
        for (const NoteRef* r : refs) {
            Cursor c{r->record, false};
            b.story(m.m_t->notes[size_t(r->note)].text, c);
        }
        b.end();
        b.finish();
        return doc;
    }

    // The foot of the last line of `doc` that ends between `from` and `to`; failing that the foot of the
    // first line below `from`, so that each page takes at least a line; `from` when there is none.
    static double lineEndBefore(const QTextDocument& doc, double from, double to) {
        const QAbstractTextDocumentLayout* layout = doc.documentLayout();
        double best = from, first = std::numeric_limits<double>::max();
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            const double top = layout->blockBoundingRect(b).top();
            const QTextLayout* lines = b.layout();
            for (int i = 0; i < lines->lineCount(); ++i) {
                const double foot = top + lines->lineAt(i).y() + lines->lineAt(i).height();
                if (foot <= from + 0.5)
                    continue;
                first = qMin(first, foot);
                if (foot <= to + 0.5)
                    best = qMax(best, foot);
            }
        }
        return best > from ? best : first < std::numeric_limits<double>::max() ? first : from;
    }

    // A new empty page at the end of the document, for notes that run on past the text.
    void addEmptyPage() {
        QTextCursor end(&m_doc);
        end.movePosition(QTextCursor::End);
        QTextBlockFormat f;
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        // A line of no height would not make the page count.
        f.setLineHeight(1, QTextBlockFormat::FixedHeight);
        QTextCharFormat tiny;
        tiny.setFontPointSize(1);
        end.insertBlock(f, tiny);
    }

    // Moves the first line of page `page` that reaches below `limit` (document coordinates) on to the
    // next page, with what follows it; false when there is none, or it cannot move: it opens its page,
    // or it lies in a table that started on a page before.
    bool moveOn(int page, double limit, double pageHeight) {
        QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
        const double pageTop = page * pageHeight;
        for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
            const QRectF rect = layout->blockBoundingRect(b);
            if (rect.bottom() <= limit + 0.5)
                continue;
            const QTextLayout* lines = b.layout();
            for (int i = 0; i < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                const double top = rect.top() + line.y();
                const int on = pageAt(top, pageHeight);
                if (on < page || top + line.height() <= limit + 0.5)
                    continue;
                if (on > page || top - pageTop < 1)
                    return false;
                if (QTextTable* table = QTextCursor(b).currentTable()) {
                    const double tableTop = layout->frameBoundingRect(table).top();
                    QTextTableFormat tf = table->format();
                    if (pageAt(tableTop, pageHeight) != page || tableTop - pageTop < 1 ||
                        tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
                        return false;
                    tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                    table->setFormat(tf);
                    return true;
                }
                QTextBlockFormat f = b.blockFormat();
                if (i == 0) {
                    f.setTopMargin(0);
                    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                    QTextCursor(b).setBlockFormat(f);
                    return true;
                }
                // The paragraph goes on at the next page's top: no space above it, no first-line indent.
                QTextBlockFormat head = f;
                head.setBottomMargin(0);
                f.setTopMargin(0);
                f.setTextIndent(0);
                f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                const int number = b.blockNumber();
                QTextCursor at(b);
                at.setPosition(b.position() + line.textStart());
                at.insertBlock(f, b.charFormat());
                QTextCursor(m_doc.findBlockByNumber(number)).setBlockFormat(head);
                m_splits.push_back(number + 1);
                return true;
            }
        }
        return false;
    }

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
            // Qt lays an empty block straight after a table behind the table, where it takes no room:
            // an empty paragraph there goes into a block of its own after it.
            if (p.runs.empty() && flow.fresh)
                flow.fresh = false;
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
        if (m_breakNext && &flow == &m_flow) {
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            f.setTopMargin(twipsToLogical(p.format.beforeTwips));
            m_breakNext = false;
        }
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
            case Run::Note:
                if (m_collectNotes && !c.exhausted && r.index >= 0 && size_t(r.index) < m.m_t->notes.size()) {
                    flush();
                    // The text that follows is inserted at the cursor's place, which stays before it.
                    QTextCursor at = cur;
                    at.setKeepPositionOnInsert(true);
                    m_noteRefs.push_back(NoteRef{at, r.index, c.record});
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
            m_doc.addResource(QTextDocument::ImageResource, QUrl(name),
                              QVariant(m.pictureImage(r.index, QSizeF(twipsToLayout(pic.widthTwips),
                                                                      twipsToLayout(pic.heightTwips)))));
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

    // The padding of a cell in twips, on its own or from its row: left, top, right, bottom.
    static std::array<int, 4> cellPadding(const Row& row, const Cell& cell) {
        const auto pick = [](int own, int fromRow, int fallback) {
            return own >= 0 ? own : fromRow >= 0 ? fromRow : fallback;
        };
        return {pick(cell.leftPadTwips, row.leftPadTwips, row.gapTwips),
                pick(cell.topPadTwips, row.topPadTwips, 0),
                pick(cell.rightPadTwips, row.rightPadTwips, row.gapTwips),
                pick(cell.bottomPadTwips, row.bottomPadTwips, 0)};
    }

    void table(const Table& t, Cursor& c) {
        if (t.rows.empty())
            return;
        // The columns fall where any row has a cell edge; edges a few twips apart, as rows drawn by
        // hand have them, are one.
        constexpr int kSameEdge = 20;
        std::vector<int> edges;
        for (const Row& row : t.rows) {
            edges.push_back(row.leftTwips);
            for (const Cell& cell : row.cells)
                edges.push_back(cell.rightTwips);
        }
        std::sort(edges.begin(), edges.end());
        // No more columns than a row can have cells: Qt's layout of a table slows with each column, and
        // a file can give every row edges of its own.
        constexpr size_t kMaxColumns = 64;
        std::vector<int> columns;
        for (qint64 same = kSameEdge; columns.empty() || columns.size() > kMaxColumns + 1; same *= 2) {
            columns.clear();
            for (int e : edges)
                if (columns.empty() || e - qint64(columns.back()) > same)
                    columns.push_back(e);
        }
        if (columns.size() < 2)
            return;
        const auto column = [&](int x) {
            const auto it = std::lower_bound(columns.begin(), columns.end(), x);
            if (it == columns.end())
                return int(columns.size()) - 1;
            if (it != columns.begin() && x - *std::prev(it) < *it - x)
                return int(it - columns.begin()) - 1;
            return int(it - columns.begin());
        };
        const Row& def = t.rows.front();
        const int rows = int(t.rows.size());
        const int cols = int(columns.size()) - 1;
        QTextTableFormat tf;
        tf.setCellSpacing(0);
        tf.setCellPadding(0);
        tf.setMargin(0);
        // The cells draw their own rules.
        tf.setBorder(0);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_None);
        tf.setBorderCollapse(true);
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
        // A row may start left of the margin (Word's default: minus the cell gap), so that the cells' text
        // lines up with the text around the table.
        // Qt sets a table in by half the room of its left rules, which stand on the edge in LibreOffice.
        int outerRule = 0;
        for (const Row& row : t.rows)
            if (!row.cells.empty() && column(row.leftTwips) == 0) {
                const Border& b = edge(row.cells.front().borders, Side::Left);
                if (b.visible())
                    outerRule = qMax(outerRule, qMax(b.widthTwips, 1) * (b.style == Border::Double ? 3 : 1));
            }
        tf.setLeftMargin(twipsToLogical(columns.front() - outerRule / 2.0));
        tf.setAlignment(def.align == Row::Center  ? Qt::AlignHCenter
                        : def.align == Row::Right ? Qt::AlignRight
                                                  : Qt::AlignLeft);
        QList<QTextLength> widths;
        for (size_t i = 1; i < columns.size(); ++i)
            widths.append(QTextLength(QTextLength::FixedLength,
                                      twipsToLogical(qMax(1.0, double(columns[i]) - columns[i - 1]))));
        tf.setColumnWidthConstraints(widths);
        // Rows marked as headings at the table's top come again at the top of each page it runs on to.
        int headers = 0;
        while (headers < rows && t.rows[size_t(headers)].header)
            ++headers;
        if (headers < rows)
            tf.setHeaderRowCount(headers);
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
        // Where each cell lies: its columns, and the rows a cell merged down the column spans.
        struct Place {
            int row, column, rows, columns;
            const Cell* cell;
        };
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
                if (cell.vMerge == Cell::VMerge::Restart)
                    for (int below = r + 1; below < rows; ++below, ++down) {
                        const Row& next = t.rows[size_t(below)];
                        bool continues = false;
                        for (size_t k = 0; k < next.cells.size() && !continues; ++k)
                            continues =
                                next.cells[k].vMerge == Cell::VMerge::Continue && firstColumn(next, k) == c0;
                        if (!continues)
                            break;
                    }
                int across = qMin(span, cols - c0);
                while (!free(r, c0, down, across) && down > 1)
                    --down;
                while (!free(r, c0, down, across) && across > 1)
                    --across;
                for (int y = r; y < r + down; ++y)
                    for (int x = c0; x < c0 + across; ++x)
                        taken[size_t(y) * size_t(cols) + size_t(x)] = 1;
                places.push_back(Place{r, c0, down, across, &cell});
            }
        }
        // LibreOffice gives all cells of a row the largest top and bottom padding any of them has.
        std::vector<std::pair<int, int>> rowPadding(size_t(rows), {0, 0});
        for (const Place& place : places) {
            const std::array<int, 4> pad = cellPadding(t.rows[size_t(place.row)], *place.cell);
            auto& [above, below] = rowPadding[size_t(place.row)];
            above = qMax(above, pad[1]);
            below = qMax(below, pad[3]);
        }
        SizedTable sized{qt, &t, {}};
        for (const Place& place : places) {
            const Row& row = t.rows[size_t(place.row)];
            const Cell& source = *place.cell;
            QTextTableCell cell = qt->cellAt(place.row, place.column);
            QTextCursor cc = cell.firstCursorPosition();
            Flow flow;
            const auto& paras = source.paragraphs;
            for (size_t i = 0; i < paras.size(); ++i)
                paragraph(cc, paras[i], c, flow, i + 1 < paras.size() ? &paras[i + 1] : nullptr);
            // The cell's format lives on the character format of its first block, which the paragraphs
            // have just set: it is completed now, not before.
            QTextTableCellFormat cf = cell.format().toTableCellFormat();
            std::array<int, 4> pad = cellPadding(row, source);
            std::tie(pad[1], pad[3]) = rowPadding[size_t(place.row)];
            cf.setLeftPadding(twipsToLogical(pad[0]));
            cf.setTopPadding(twipsToLogical(pad[1]));
            cf.setRightPadding(twipsToLogical(pad[2]));
            cf.setBottomPadding(twipsToLogical(pad[3]));
            setCellBorders(cf, source.borders);
            if (source.shading.isValid())
                cf.setBackground(source.shading);
            cell.setFormat(cf);
            const bool rowSized = place.rows == 1 && row.heightTwips != 0;
            if (rowSized || source.vAlign != Cell::VAlign::Top)
                sized.cells.push_back(SizedCell{place.row, place.column, place.rows, source.vAlign,
                                                twipsToLogical(pad[1]), twipsToLogical(pad[3])});
        }
        // Merged once filled: a cell's paragraphs set its first block's character format, which is where
        // Qt keeps how many rows and columns it spans.
        for (const Place& place : places)
            if (place.rows > 1 || place.columns > 1)
                qt->mergeCells(place.row, place.column, place.rows, place.columns);
        if (!sized.cells.empty())
            m_sized.push_back(std::move(sized));
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
    std::vector<SizedTable> m_sized;
    bool m_collectNotes = false;
    bool m_breakNext = false; // the next paragraph of the story starts a new page
    std::vector<NoteRef> m_noteRefs;
    std::vector<int> m_splits; // blocks that placeNotes() split off, in order
};

Merger::Merger(std::shared_ptr<const Template> tmpl, std::shared_ptr<const DataSource> data)
    : m_t(std::move(tmpl)), m_data(std::move(data)), m_now(QDateTime::currentDateTime()) {
    splitParts();
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

void Merger::splitParts() {
    // A catalog's body repeats for every record: its sections are not told apart.
    if (m_t->type == MainType::Catalog && m_data)
        return;
    const std::vector<Block>& blocks = m_t->body.blocks;
    std::vector<int> starts; // the sections that start a new sheet, and have text of their own
    int last = 0;
    for (size_t i = 0; i < m_t->sections.size(); ++i) {
        const Section& section = m_t->sections[i];
        if (section.newPage && section.firstBlock > last && size_t(section.firstBlock) < blocks.size()) {
            starts.push_back(int(i));
            last = section.firstBlock;
        }
    }
    if (starts.empty())
        return;
    m_parts.resize(starts.size() + 1);
    for (size_t k = 0; k < m_parts.size(); ++k) {
        BodyPart& part = m_parts[k];
        part.section = k == 0 ? -1 : starts[k - 1];
        part.firstBlock = k == 0 ? 0 : m_t->sections[size_t(part.section)].firstBlock;
        part.endSection = k < starts.size() ? starts[k] : int(m_t->sections.size());
        part.page = k == 0 ? &m_t->page : &m_t->sections[size_t(part.section)].page;
        const int end = k < starts.size() ? m_t->sections[size_t(starts[k])].firstBlock : int(blocks.size());
        part.body.blocks.assign(blocks.begin() + part.firstBlock, blocks.begin() + end);
        // The part starts a sheet of its own: the break that ended the section before is behind it.
        if (k > 0 && !part.body.blocks.empty()) {
            Block& first = part.body.blocks.front();
            if (Paragraph* p = std::get_if<Paragraph>(&first))
                p->format.pageBreakBefore = false;
            else
                std::get<Table>(first).pageBreakBefore = false;
        }
    }
}

void Merger::buildParts(PageCopy& copy, Cursor& cursor) {
    const int record = cursor.record;
    for (size_t k = 0; k < m_parts.size(); ++k) {
        PageCopy& out = k == 0 ? copy : copy.parts.emplace_back();
        if (k > 0)
            out.page = *m_parts[k].page;
        buildPart(out, m_parts[k], record, cursor, k + 1 == m_parts.size());
    }
    // The parts number their sheets as one run; their fields are set once all are laid out.
    const int total = copy.numberedPages();
    int next = copy.firstPage;
    const auto number = [&](PageCopy& part) {
        part.firstPage = next;
        next += part.ownSheets();
        if (&part != &copy)
            part.totalPages = total;
        if (part.pageFields && part.body) {
            copy.pageFields = true;
            setPageNumbers(*part.body, 0, total, part.body->pageSize().height(), part.firstPage,
                           part.columns);
        }
    };
    number(copy);
    for (PageCopy& part : copy.parts)
        number(part);
}

void Merger::buildPart(PageCopy& copy, const BodyPart& part, int first, Cursor& cursor, bool last) {
    const PageSetup& page = *part.page;
    // As buildCopy() lays the bands out, on this part's paper; each part keeps clear of its own only.
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
    double top = 0, bottom = 0, firstTop = 0;
    bool titled = false;
    copy.evenPages = m_t->evenPages;
    const auto sectionBands = [&](const Section& section, bool opening) {
        SectionBands& out = copy.sections.emplace_back();
        out.titlePage = section.titlePage;
        top = qMax(top, band(section.header, out.header, true));
        bottom = qMax(bottom, band(section.footer, out.footer, false));
        if (section.titlePage) {
            const double own = band(section.firstHeader, out.firstHeader, true);
            if (opening)
                firstTop = own;
            else
                top = qMax(top, own);
            bottom = qMax(bottom, band(section.firstFooter, out.firstFooter, false));
        }
        if (m_t->evenPages) {
            top = qMax(top, band(section.evenHeader, out.evenHeader, true));
            bottom = qMax(bottom, band(section.evenFooter, out.evenFooter, false));
        }
    };
    if (part.section < 0) {
        top = band(m_t->header, copy.header, true);
        bottom = band(m_t->footer, copy.footer, false);
        firstTop = top;
        copy.titlePage = m_t->titlePage;
        if (m_t->titlePage) {
            firstTop = band(m_t->firstHeader, copy.firstHeader, true);
            bottom = qMax(bottom, band(m_t->firstFooter, copy.firstFooter, false));
        }
        if (m_t->evenPages) {
            top = qMax(top, band(m_t->evenHeader, copy.evenHeader, true));
            bottom = qMax(bottom, band(m_t->evenFooter, copy.evenFooter, false));
        }
        titled = m_t->titlePage && copy.firstPage == 1;
    } else {
        // The part's own section shows its bands from the part's first sheet on.
        top = twipsToLayout(page.topTwips);
        bottom = twipsToLayout(page.bottomTwips);
        const Section& own = m_t->sections[size_t(part.section)];
        firstTop = top;
        sectionBands(own, true);
        titled = own.titlePage;
    }
    for (int i = part.section + 1; i < part.endSection; ++i)
        sectionBands(m_t->sections[size_t(i)], false);
    const double height = qMax(twipsToLayout(720), twipsToLayout(page.heightTwips) - top - bottom);
    copy.bodyTop = top;
    copy.columns = qMax(1, page.columns);
    copy.body = newPagedDocument(page, m_t->defaultFamily, height);
    Builder body(*this, *copy.body);
    body.begin();
    // The first sheet's text starts below its own header, lower or higher than the others'.
    if (titled && firstTop > top)
        body.startLower(firstTop - top);
    else if (titled && firstTop < top)
        copy.firstBodyTop = firstTop;
    body.collectNotes();
    body.story(part.body, cursor);
    if (last)
        body.endnotes();
    body.end();
    if (!checkLayout(*copy.body).holds)
        throw tooLong();
    body.finish();
    body.placeFloats(copy.pictures, top, height);
    body.dropSpaceAtPageTops(height);
    body.placeNotes(copy.notes, height);
    copy.pageFields = copy.pageFields || body.hasPageFields();
    // The sections that run on within the part: their headers start on the sheet after the one they
    // start on.
    const size_t own = part.section < 0 ? 0 : 1;
    for (int i = part.section + 1; i < part.endSection; ++i) {
        const Section& section = m_t->sections[size_t(i)];
        const int from = body.pageOfStoryBlock(size_t(section.firstBlock - part.firstBlock), height);
        copy.sections[own + size_t(i - part.section - 1)].fromPage = from / copy.columns + 1;
    }
}

void Merger::buildCopy(PageCopy& copy, Cursor& cursor) {
    if (!m_parts.empty()) {
        buildParts(copy, cursor);
        return;
    }
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
    copy.columns = qMax(1, page.columns);
    // Once the body's text is in: rows' heights, floating pictures, page tops and page numbers.
    const auto complete = [&](Builder& body) {
        body.finish();
        body.placeFloats(copy.pictures, top, height);
        body.dropSpaceAtPageTops(height);
        body.placeNotes(copy.notes, height);
        if (body.hasPageFields()) {
            copy.pageFields = true;
            setPageNumbers(*copy.body, 0, copy.numberedPages(), height, copy.firstPage, copy.columns);
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
        body.collectNotes();
        body.story(m_t->body, cursor);
        body.endnotes();
        body.end();
        if (!checkLayout(*copy.body).holds)
            throw tooLong();
        complete(body);
        // A section's headers start on its first page; those of a section that runs on from the page
        // before it, on the next page.
        for (size_t i = 0; i < m_t->sections.size(); ++i) {
            const Section& section = m_t->sections[i];
            const int from = body.pageOfStoryBlock(size_t(section.firstBlock), height);
            copy.sections[i].fromPage = from / copy.columns + (section.newPage ? 0 : 1);
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
        body.collectNotes();
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
        if (r.top() < last - kMaxOverlap)
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
            setPageNumbers(*copy.body, 0, m_catalogPages, copy.body->pageSize().height(), copy.firstPage,
                           copy.columns);
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

QImage Merger::pictureImage(int index, QSizeF pixels) {
    if (index < 0 || size_t(index) >= m_t->pictures.size())
        return {};
    const Picture& pic = m_t->pictures[size_t(index)];
    if (!pic.image.isNull() || pic.metafile.isEmpty())
        return pic.image;
    const QSize size(qMax(1, qRound(pixels.width())), qMax(1, qRound(pixels.height())));
    const auto key = std::make_tuple(index, size.width(), size.height());
    auto it = m_drawnMetafiles.find(key);
    if (it == m_drawnMetafiles.end())
        it = m_drawnMetafiles.emplace(key, renderMetafile(pic.metafile, pic.enhanced, size)).first;
    return it->second;
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
