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

namespace {

// Block: it starts its page only because the text before it filled the page before, not at a break;
// holds the space above it that it gave up there, and the space below the block before.
constexpr int kRanOnProperty = QTextFormat::UserProperty + 64;
constexpr int kRanOnAfterProperty = QTextFormat::UserProperty + 65;
// Block: the room left empty above its text on the page it opens, in Qt's units, added to its top margin.
constexpr int kRoomAboveProperty = QTextFormat::UserProperty + 66;
// Table: it starts a page only to go on with the paragraph after it.
constexpr int kKeptOnProperty = QTextFormat::UserProperty + 67;
// Block: its top margin takes it from across a page's end to the next page's top.
constexpr int kPushedOnProperty = QTextFormat::UserProperty + 68;

// A paragraph that the notes moved on to the next page now opens it: the block that opened it only
// because the page before was full goes back to running on, with its space above. With `onward`, that
// block may stand further on, after paragraphs that went on with the moved one.
void runOnAfter(QTextBlock moved, bool onward = false) {
    const QTextFrame* root = moved.document()->rootFrame();
    QTextBlock next = moved.next();
    while (onward && next.isValid() && QTextCursor(next).currentFrame() == root &&
           !(next.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)) {
        moved = next;
        next = next.next();
    }
    if (!next.isValid() || !next.blockFormat().hasProperty(kRanOnProperty))
        return;
    QTextBlockFormat f = next.blockFormat();
    f.setTopMargin(f.doubleProperty(kRanOnProperty));
    f.setPageBreakPolicy(f.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
    const double after = f.doubleProperty(kRanOnAfterProperty);
    f.clearProperty(kRanOnProperty);
    f.clearProperty(kRanOnAfterProperty);
    f.clearProperty(kRoomAboveProperty);
    QTextCursor(next).setBlockFormat(f);
    // A table's last paragraph keeps its own space below.
    if (QTextCursor(moved).currentFrame() != root)
        return;
    QTextBlockFormat above = moved.blockFormat();
    above.setBottomMargin(after);
    QTextCursor(moved).setBlockFormat(above);
}

} // namespace

void Merger::Builder::startLower(double height) {
    QTextBlockFormat lower;
    lower.setLineHeight(height * 96.0 / kLayoutDpi, QTextBlockFormat::FixedHeight);
    QTextCharFormat tiny;
    tiny.setFontPointSize(1);
    m_cursor.setBlockFormat(lower);
    m_cursor.setBlockCharFormat(tiny);
    m_flow.fresh = false;
    m_lowered = true;
}

void Merger::Builder::leaveRoomAbove(const QTextBlock& b, int page) {
    const double room = roomAbove(page) / kQtScale;
    QTextBlockFormat f = b.blockFormat();
    const double had = f.doubleProperty(kRoomAboveProperty);
    if (std::abs(room - had) < 1e-9)
        return;
    f.setTopMargin(qMax(0.0, f.topMargin() - had) + room);
    f.setProperty(kRoomAboveProperty, room);
    QTextCursor(b).setBlockFormat(f);
}

void Merger::Builder::cropTallPictures(double pageHeight) {
    if (pageHeight <= 0)
        return;
    m_doc.documentLayout()->documentSize();
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlockFormat format = b.blockFormat();
        // A line of a fixed height shows only that much of any picture on it; a table's rows keep their
        // own rules. Qt fits a line on a page by its own height and the distance added to it.
        if (format.lineHeightType() == QTextBlockFormat::FixedHeight ||
            QTextCursor(b).currentFrame() != m_doc.rootFrame())
            continue;
        const double room = format.lineHeightType() == QTextBlockFormat::LineDistanceHeight
                                ? pageHeight - format.lineHeight() * kQtScale
                                : pageHeight;
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            if (line.height() <= std::floor(room))
                continue;
            QTextFragment tallest;
            double height = 0; // in Qt's 96-dpi units
            for (auto it = b.begin(); !it.atEnd(); ++it) {
                const QTextFragment piece = it.fragment();
                const int at = piece.position() - b.position();
                if (!piece.charFormat().isImageFormat() || at < line.textStart() ||
                    at >= line.textStart() + line.textLength())
                    continue;
                if (piece.charFormat().toImageFormat().height() > height) {
                    tallest = piece;
                    height = piece.charFormat().toImageFormat().height();
                }
            }
            // Qt sets the line a pixel taller than the picture, rounded up.
            const double below = qMax(0.0, line.height() - height * kQtScale);
            const double kept = (std::floor(room) - 1 - std::ceil(below)) / kQtScale;
            if (!tallest.isValid() || kept <= 0)
                continue;
            QTextImageFormat image = tallest.charFormat().toImageFormat();
            const QVariant stored = m_doc.resource(QTextDocument::ImageResource, QUrl(image.name()));
            if (stored.typeId() != QMetaType::QImage || stored.value<QImage>().isNull())
                continue;
            const QImage whole = stored.value<QImage>();
            const int rows = qBound(1, qRound(whole.height() * kept / height), whole.height());
            const QString name = image.name() + QStringLiteral("-top-%1").arg(rows);
            m_doc.addResource(QTextDocument::ImageResource, QUrl(name),
                              QVariant(cropPicture(whole, QRect(0, 0, whole.width(), rows))));
            image.setName(name);
            image.setHeight(kept);
            QTextCursor at(&m_doc);
            at.setPosition(tallest.position());
            at.setPosition(tallest.position() + tallest.length(), QTextCursor::KeepAnchor);
            at.setCharFormat(image);
            // The picture fills the page: its line is not set a little lower than its height, which
            // would leave room under it for the next line. Qt moves on only a line shorter than a page:
            // this one starts a page, without the space above it, unless it opens one already.
            QTextBlockFormat fill = b.blockFormat();
            if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight && format.lineHeight() < 100)
                fill.setLineHeight(100, QTextBlockFormat::SingleHeight);
            const double top = m_doc.documentLayout()->blockBoundingRect(b).top();
            if (i == 0 && top - std::floor(top / pageHeight) * pageHeight > 1) {
                fill.setTopMargin(0);
                fill.setPageBreakPolicy(fill.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
            }
            QTextCursor(b).setBlockFormat(fill);
            // The block's lines are laid out anew.
            break;
        }
    }
}

void Merger::Builder::dropSpaceAtPageTops(double pageHeight) {
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
    // A page break of the file's own, not one that only moved the text on.
    const auto breaksBefore = [](const QTextBlock& b) {
        const QTextBlockFormat f = b.blockFormat();
        return (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) && !f.hasProperty(kRanOnProperty);
    };
    // The table of the page's text that ends straight before the block.
    const auto tableBefore = [&](const QTextBlock& b) -> QTextTable* {
        if (!inRoot(b) || !b.previous().isValid() || inRoot(b.previous()))
            return nullptr;
        QTextTable* table = QTextCursor(b.previous()).currentTable();
        while (table && table->parentFrame() != root)
            table = qobject_cast<QTextTable*>(table->parentFrame());
        return table && table->lastPosition() + 1 == b.position() ? table : nullptr;
    };
    // A picture's line may be taller than a page: its paragraph breaks where Qt breaks it. A picture
    // that fits a page is a line like any other, and a line of text left alone above it at a page's
    // foot goes on with it.
    const auto tallerThanPage = [&](const QTextBlock& b) {
        for (int i = 0; i < b.layout()->lineCount(); ++i)
            if (b.layout()->lineAt(i).height() >= pageHeight)
                return true;
        return false;
    };
    const auto crossesPageEnd = [&](const QTextBlock& b) {
        if (b.layout()->lineCount() == 0)
            return false;
        const QTextBlockFormat f = b.blockFormat();
        const double room = f.lineHeightType() == QTextBlockFormat::FixedHeight
                                ? f.lineHeight() * kLayoutDpi / 96.0
                                : b.layout()->lineAt(0).height();
        const double top = lineRoomTop(b, 0);
        const double end = (pageAt(top, pageHeight) + 1) * pageHeight;
        return top < end && top + room > end + 0.5;
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
        // A table keeps the space above the paragraph after it as its own below: reaching past the page's
        // end, it would make Qt count the page after as the table's, and break before the paragraph
        // once more.
        if (QTextTable* table = tableBefore(b); table && table->format().bottomMargin() > 0) {
            QTextTableFormat tf = table->format();
            tf.setBottomMargin(0);
            table->setFormat(tf);
        }
    };
    const auto keepsSpaceAt = [&](int page) { return page < m_columns && page % m_columns != 0; };
    // The block starts a new page, without the space above it; LibreOffice keeps that space at the top of
    // each column after the first on the body's first sheet.
    const auto startPage = [&](const QTextBlock& b) {
        const double after = inRoot(b.previous()) ? b.previous().blockFormat().bottomMargin() : 0.0;
        // A block that starts at a page's very top is there already: Qt would break before it again and
        // leave that page empty.
        const double top = layout->blockBoundingRect(b).top();
        const bool there = top > 0 && std::abs(top - std::round(top / pageHeight) * pageHeight) < 0.5;
        // With text above it on its page, the block moves on to the next.
        const int target = pageOf(b, false) + (belowPageTop(b) ? 1 : 0);
        const bool keepSpace = keepsSpaceAt(target);
        dropSpaceBefore(b);
        QTextBlockFormat f = b.blockFormat();
        if (!keepSpace) {
            if (!(f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) && inRoot(b.previous())) {
                f.setProperty(kRanOnProperty, f.topMargin());
                f.setProperty(kRanOnAfterProperty, after);
            }
            f.setTopMargin(0);
        } else {
            // The space kept is the paragraph's own: the space after the one before stays behind.
            f.setTopMargin(qMax(0.0, f.topMargin() - f.doubleProperty(kCarriedSpaceProperty)));
            f.clearProperty(kCarriedSpaceProperty);
        }
        f.clearProperty(kRoomAboveProperty);
        const bool broke = f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore;
        if (!there)
            f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(b).setBlockFormat(f);
        // Where the space above the block had carried it over the page's end below a table that ends close
        // to it, Qt breaks before it once more and leaves a page empty: the block is set down that page's
        // top by its space above instead.
        if (!there && !broke && pageOf(b, false) > target) {
            f.setPageBreakPolicy(f.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(b).setBlockFormat(f);
            const double rest = target * pageHeight - layout->blockBoundingRect(b).top();
            if (rest > 0) {
                f.setTopMargin(f.topMargin() + rest / kQtScale);
                QTextCursor(b).setBlockFormat(f);
            }
        }
        leaveRoomAbove(b, pageOf(b, false));
    };
    int page = 0;
    int moves = 0; // paragraphs moved on with the next one, no more than there are blocks
    const QTextTable* rowsKept = nullptr;
    // The layout follows each change as far as the next question about a position needs it.
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
        // A paragraph kept with the next one goes on to the next one's page, with those before it
        // kept with it, unless they fill a page of their own. One the file breaks the page before stays
        // where it is, as LibreOffice leaves it: the break parts them whatever it is kept with.
        if (inRoot(b) && inRoot(b.previous()) && (keep(b.previous()) & kKeepWithNext) && !breaksBefore(b) &&
            pageOf(b, false) > pageOf(b.previous(), true) && moves < m_doc.blockCount()) {
            QTextBlock chain = b.previous();
            while (inRoot(chain.previous()) && (keep(chain.previous()) & kKeepWithNext) &&
                   pageOf(chain.previous(), true) == pageOf(chain, false))
                chain = chain.previous();
            if (belowPageTop(chain)) {
                ++moves;
                startPage(chain);
                runOnAfter(b.previous());
                b = chain;
                page = pageOf(b, true);
                continue;
            }
        }
        if (inRoot(b) && b.previous().isValid() && !inRoot(b.previous()) && moves < m_doc.blockCount() &&
            keepTableFootWith(b, pageHeight)) {
            ++moves;
            page = pageOf(b.previous(), false);
        }
        if (!inRoot(b)) {
            // A table's rows are placed as its first row is reached, the text above it settled.
            QTextTable* table = QTextCursor(b).currentTable();
            if (table && table != rowsKept && table->parentFrame() == root) {
                rowsKept = table;
                keepCellsToPadding(table);
                keepRowsAtPageFoot(*table, pageHeight);
            }
            // A table's rows fill the page too: the paragraph after a table that ran on to a new
            // page does not start that page.
            page = qMax(page, pageOf(b, true));
            continue;
        }
        // Qt may leave a first line across a page's end where the text above it moved after Qt laid it
        // out, as under a table: the line does not fit there, and opens the next page.
        if (crossesPageEnd(b) && belowPageTop(b) && !tallerThanPage(b)) {
            const double top = lineRoomTop(b, 0);
            const int next = pageAt(top, pageHeight) + 1;
            const double end = next * pageHeight;
            QTextBlockFormat f = b.blockFormat();
            f.setTopMargin(f.topMargin() * (keepsSpaceAt(next) ? 2 : 1) + end - top);
            f.setProperty(kPushedOnProperty, true);
            QTextCursor(b).setBlockFormat(f);
            page = qMax(page, pageOf(b, false));
        }
        if (pageOf(b, false) > page) {
            // Whether the text ran on to the new page or a break put it there, the paragraph stays
            // on it: without the space above it might fit at the foot of the page before, where it
            // did not fit with it. A break keeps the space, as LibreOffice sets it.
            if (b.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
                dropSpaceBefore(b);
                leaveRoomAbove(b, pageOf(b, false));
            } else if (!b.blockFormat().hasProperty(kPushedOnProperty)) {
                startPage(b);
            }
        }
        // A paragraph kept together goes on to the next page whole, unless it is longer than a page.
        if ((keep(b) & kKeepTogether) && pageOf(b, false) < pageOf(b, true) && belowPageTop(b) &&
            layout->blockBoundingRect(b).height() <= pageHeight)
            startPage(b);
        else if ((keep(b) & kWidowControl) && pageOf(b, false) < pageOf(b, true) && !tallerThanPage(b))
            keepWidowsAndOrphans(b, pageHeight, lineTop, belowPageTop(b), startPage);
        // A paragraph that runs on to a page whose sheet leaves its text less room goes on there as a
        // paragraph of its own, with that room above it.
        if (m_rooms && pageOf(b, false) < pageOf(b, true) && !tallerThanPage(b)) {
            const int from = pageOf(b, false);
            for (int i = 1; i < b.layout()->lineCount(); ++i) {
                const int on = pageAt(lineTop(b, i), pageHeight);
                if (on > from && roomAbove(on) > 0) {
                    breakBeforeLine(b, i);
                    // A line at the page's very top is there already: Qt would break before it again.
                    const QTextBlock rest = b.next();
                    if (pageOf(rest, false) > on) {
                        QTextBlockFormat f = rest.blockFormat();
                        f.setPageBreakPolicy(f.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
                        QTextCursor(rest).setBlockFormat(f);
                    }
                    break;
                }
            }
        }
        // Pages only go on: an empty line of no height that opens the document stands a little
        // above its top, and must not make the first paragraph start a page of its own.
        page = qMax(page, pageOf(b, true));
    }
}

bool Merger::Builder::roomsKept(double pageHeight) const {
    if (!m_rooms || pageHeight <= 0)
        return true;
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    for (QTextFrame* frame : m_doc.rootFrame()->childFrames()) {
        const QTextTable* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        const QRectF r = layout->frameBoundingRect(frame);
        const int first = pageAt(r.top(), pageHeight);
        const int last = pageAt(r.bottom() - 1, pageHeight);
        for (int page = first; page <= last; ++page)
            if (roomAbove(page) > 0 && (page > first || r.top() - first * pageHeight < 1))
                return false;
    }
    return true;
}

void Merger::Builder::unkeepTables() {
    for (QTextFrame* frame : m_doc.rootFrame()->childFrames()) {
        QTextTable* table = qobject_cast<QTextTable*>(frame);
        if (!table || !table->format().hasProperty(kKeptOnProperty))
            continue;
        QTextTableFormat tf = table->format();
        tf.clearProperty(kKeptOnProperty);
        tf.setPageBreakPolicy(tf.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
        table->setFormat(tf);
    }
}

bool Merger::Builder::keepTableFootWith(const QTextBlock& next, double pageHeight) {
    QTextTable* table = QTextCursor(next.previous()).currentTable();
    while (table && table->parentFrame() != m_doc.rootFrame())
        table = qobject_cast<QTextTable*>(table->parentFrame());
    if (!table)
        return false;
    // LibreOffice keeps a table's last row with the paragraph after it where the row's first paragraph
    // is kept with the next: the row goes on with it, or the table when that row is its only one.
    const int last = table->rows() - 1;
    const QTextTableCell cell = table->cellAt(last, 0);
    if (cell.row() != last ||
        !(cell.firstCursorPosition().block().blockFormat().intProperty(kKeepProperty) & kKeepWithNext))
        return false;
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    const auto pageOfTop = [&](const QTextBlock& b) {
        return pageAt(b.layout()->lineCount() > 0 ? lineRoomTop(b, 0) : layout->blockBoundingRect(b).top(),
                      pageHeight);
    };
    const int page = pageOfTop(cell.firstCursorPosition().block());
    // An empty paragraph after the table has a block of its own, the one Qt keeps straight after the table
    // lying behind it. Its line goes on to the next page where it does not fit at this one's foot.
    QTextBlock after = next;
    const double tableFoot = layout->frameBoundingRect(table).bottom();
    if (next.text().isEmpty() && layout->blockBoundingRect(next).bottom() <= tableFoot + 0.5 &&
        next.next().isValid() && QTextCursor(next.next()).currentFrame() == m_doc.rootFrame())
        after = next.next();
    int nextPage = pageOfTop(after);
    if (after.layout()->lineCount() > 0)
        nextPage = qMax(nextPage,
                        pageAt(lineRoomTop(after, 0) + after.layout()->lineAt(0).height() - 1, pageHeight));
    if (nextPage <= page)
        return false;
    if (last > 0) {
        const QTextBlock above = table->cellAt(last - 1, 0).lastCursorPosition().block();
        if (pageOfTop(above) != page || !holdRowOn(*table, last, (page + 1) * pageHeight))
            return false;
        runOnAfter(after.previous());
        return true;
    }
    QTextTableFormat tf = table->format();
    const double top = layout->frameBoundingRect(table).top();
    if (tf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore || top - page * pageHeight < 1)
        return false;
    tf.setPageBreakPolicy(tf.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
    tf.setProperty(kKeptOnProperty, true);
    table->setFormat(tf);
    runOnAfter(after.previous());
    return true;
}

template <typename LineTop, typename StartPage>
void Merger::Builder::keepWidowsAndOrphans(const QTextBlock& b, double pageHeight, const LineTop& lineTop,
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
    breakBeforeLine(b, cut);
}

void Merger::Builder::breakBeforeLine(const QTextBlock& b, int cut) {
    const QTextBlockFormat format = b.blockFormat();
    const bool justified = format.alignment() & Qt::AlignJustify;
    QTextCursor at(b);
    const int start = b.layout()->lineAt(cut).textStart();
    // A line break that ends the first part would leave it an empty last line: the paragraph's end
    // takes its place.
    const bool lineBreak = start > 0 && b.text().at(start - 1) == QChar::LineSeparator;
    at.setPosition(b.position() + start - (lineBreak ? 1 : 0));
    at.setPosition(b.position() + start, QTextCursor::KeepAnchor);
    QTextBlockFormat rest = format;
    rest.setTextIndent(0);
    rest.setTopMargin(0);
    rest.clearProperty(kRoomAboveProperty);
    rest.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    at.insertBlock(rest, b.charFormat());
    QTextBlockFormat head = format;
    head.setBottomMargin(0);
    QTextCursor(b).setBlockFormat(head);
    // The first part's last line was not the paragraph's last: it stays justified.
    if (justified && !lineBreak)
        b.layout()->setFlags(Qt::TextJustificationForced);
    for (int& first : m_blockStarts)
        if (first > b.blockNumber())
            ++first;
}

int Merger::Builder::pageOf(const QTextCursor& at, double pageHeight) const {
    const QTextBlock b = at.block();
    const QTextLine line = b.layout()->lineForTextPosition(at.position() - b.position());
    const double y = line.isValid() ? lineRoomTop(b, line.lineNumber())
                                    : m_doc.documentLayout()->blockBoundingRect(b).top();
    return pageAt(y, pageHeight);
}

void Merger::Builder::addEmptyPage() {
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

bool Merger::Builder::moveOn(int page, double limit, double pageHeight) {
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    const double pageTop = page * pageHeight;
    for (QTextBlock b = m_doc.begin(); b.isValid(); b = b.next()) {
        const QRectF rect = layout->blockBoundingRect(b);
        if (rect.bottom() <= limit + 0.5)
            continue;
        const QTextLayout* lines = b.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const double top = lineRoomTop(b, i);
            const int on = pageAt(top, pageHeight);
            if (on < page || top + lineRoomHeight(b, i) <= limit + 0.5)
                continue;
            if (on > page || top - pageTop < 1)
                return false;
            if (QTextTable* table = QTextCursor(b).currentTable()) {
                // The row that runs into the notes goes on, the rows above it staying: LibreOffice breaks
                // a table between rows there. A first row, or one of the headings, takes the table along.
                const int row = table->cellAt(QTextCursor(b)).row();
                if (table->parentFrame() == m_doc.rootFrame() && row > table->format().headerRowCount()) {
                    const QTextBlock above = table->cellAt(row - 1, 0).lastCursorPosition().block();
                    if (pageAt(layout->blockBoundingRect(above).top(), pageHeight) == page &&
                        holdRowOn(*table, row, pageTop + pageHeight))
                        return true;
                }
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
            // The lines that stay keep widows and orphans off the pages, as they were kept before the
            // notes took their room; a paragraph kept together goes on whole.
            int cut = i;
            const int keeps = f.intProperty(kKeepProperty);
            const double firstTop = lineRoomTop(b, 0);
            if (cut > 0 && pageAt(firstTop, pageHeight) == page && firstTop - pageTop >= 1) {
                if (keeps & kKeepTogether) {
                    cut = 0;
                } else if (keeps & kWidowControl) {
                    cut = qMin(cut, lines->lineCount() - 2);
                    if (cut < 2)
                        cut = 0;
                }
            }
            if (cut == 0) {
                // It opens the page only because the notes filled the one before: what is kept with it
                // may yet go on before it.
                f.setProperty(kRanOnProperty, f.topMargin());
                const QTextBlock before = b.previous();
                f.setProperty(kRanOnAfterProperty,
                              before.isValid() && QTextCursor(before).currentFrame() == m_doc.rootFrame()
                                  ? before.blockFormat().bottomMargin()
                                  : 0.0);
                f.setTopMargin(0);
                f.clearProperty(kRoomAboveProperty);
                f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
                QTextCursor(b).setBlockFormat(f);
                runOnAfter(b, true);
                leaveRoomAbove(b, page + 1);
                return true;
            }
            // The paragraph goes on at the next page's top: no space above it, no first-line indent.
            QTextBlockFormat head = f;
            head.setBottomMargin(0);
            f.setTopMargin(0);
            f.clearProperty(kRoomAboveProperty);
            f.setTextIndent(0);
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            const int number = b.blockNumber();
            QTextCursor at(b);
            at.setPosition(b.position() + lines->lineAt(cut).textStart());
            at.insertBlock(f, b.charFormat());
            QTextCursor(m_doc.findBlockByNumber(number)).setBlockFormat(head);
            m_splits.push_back(number + 1);
            runOnAfter(m_doc.findBlockByNumber(number + 1), true);
            leaveRoomAbove(m_doc.findBlockByNumber(number + 1), page + 1);
            return true;
        }
    }
    return false;
}

} // namespace wordproc
