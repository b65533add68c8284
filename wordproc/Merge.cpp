#include "errors/Failure.h"
#include "wordproc/MergeBuilder.h"
#include "wordproc/MergeFormats.h"
#include "wordproc/Metafile.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QLocale>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>
#include <optional>
#include <set>

namespace wordproc {

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
    // makes Qt's layout crawl; a letter needs a handful. Past a few dozen of either, a further family
    // is set in the installed face that stands for it (of which there are few), or else the document's
    // default family, and a further size in the nearest size already in use.
    constexpr size_t kMaxFamilies = 32;
    constexpr size_t kMaxSizes = 32;
    std::set<QString> families;
    std::set<int> sizes;
    m_charFormats.reserve(m_t->formats.size());
    for (CharFormat f : m_t->formats) {
        if (!families.count(f.family) && (families.size() < kMaxFamilies || f.family.isEmpty()))
            families.insert(f.family);
        else if (!families.count(f.family))
            f.family = QFont::substitutes(f.family).value(0);
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
    // The sections in columns are shared out by the heights of their text, which its formats set.
    setSectionColumns();
    splitParts();
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
    m_earlierEndnotes.clear();
    int next = copy.firstPage; // the number of the part's first sheet, whose even pages show their own bands
    for (size_t k = 0; k < m_parts.size(); ++k) {
        if (k > 0) {
            const PageCopy& before = k == 1 ? copy : copy.parts.back();
            next = before.firstPage + before.ownSheets();
            if (k == 1 && m_t->page.pageNumberStart > 0)
                next += m_t->page.pageNumberStart - 1;
            if (m_parts[k].page->pageNumberStart > 0)
                next = m_parts[k].page->pageNumberStart;
        }
        PageCopy& out = k == 0 ? copy : copy.parts.emplace_back();
        out.firstPage = next;
        if (k > 0)
            out.page = *m_parts[k].page;
        buildPart(out, m_parts[k], record, cursor);
    }
    buildEndnotes(copy, m_earlierEndnotes);
    // The parts number their sheets as one run; their fields are set once all are laid out.
    const int total = copy.numberedPages();
    next = copy.firstPage;
    const auto number = [&](PageCopy& part) {
        if (&part != &copy && part.page && part.page->pageNumberStart > 0)
            next = part.page->pageNumberStart;
        part.firstPage = next;
        next += part.ownSheets();
        // The first section's own start number shows in its fields, and the sections after count on from it.
        if (&part == &copy && m_t->page.pageNumberStart > 0)
            next += m_t->page.pageNumberStart - 1;
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

// Lays a header or footer out on `page`; gives how far from its edge of the sheet the body keeps on the
// pages that show it: its margin, or further when the band is taller than the room the margin leaves it,
// as in the common word processors.
double Merger::layBand(PageCopy& copy, const PageSetup& page, const Story& story,
                       std::unique_ptr<QTextDocument>& out, bool header, int first) {
    const double margin = twipsToLayout(header ? page.topTwips : page.bottomTwips);
    if (story.empty())
        return margin;
    out = newBandDocument(page, m_t->defaultFamily);
    Cursor c{first, false};
    Builder b(*this, *out);
    b.setBand();
    b.begin();
    b.story(story, c);
    b.end();
    b.finish();
    // Rows given their heights once laid out change only their cells' formats, which Qt lays out again
    // only when told: the band is measured as it will be drawn, its rows at their set heights.
    out->markContentsDirty(0, out->characterCount());
    copy.pageFields = copy.pageFields || b.hasPageFields();
    // A header's pictures may move its text down, as a drawing set in one of its lines does, and so
    // make it taller; a footer's are placed from its top, which its height sets.
    if (header)
        b.placeFloats(copy.pictures, twipsToLayout(page.headerTwips), 0, out.get());
    const double height = bandHeight(*out);
    if (!header)
        b.placeFloats(copy.pictures, twipsToLayout(page.heightTwips - page.footerTwips) - height, 0,
                      out.get());
    const double edge = twipsToLayout(header ? page.headerTwips : page.footerTwips);
    return qMax(margin, edge + height);
}

namespace {

// Qt keeps a page's height in 26.6 fixed point, cut down to a 64th of a layout pixel, and lays page n out
// from n times that: a body's pages are of a height it holds exactly, so that the pages counted here
// fall where Qt's fall, however many there are. LibreOffice fits a line that ends right at the page's
// foot; Qt's lines, each of the nearest 64th to its height in whole twips, may end there a little
// lower after a page of them. The page holds that much more, under a twip, below its room.
constexpr double kFootSlack = 0.75; // twips
double pageHeightQtHolds(double height) {
    return std::floor((height + twipsToLayout(kFootSlack)) * 64) / 64;
}

// How far the headers and footers reach into each kind of page, from the sheet's top and bottom edges:
// the pages that show the plain ones, even pages when they show their own, and the first page.
struct BandRoom {
    double top = 0, bottom = 0;
    double evenTop = 0, evenBottom = 0;
    double firstTop = 0, firstBottom = 0;
    void keepClear(double t, double b) {
        top = qMax(top, t);
        evenTop = qMax(evenTop, t);
        bottom = qMax(bottom, b);
        evenBottom = qMax(evenBottom, b);
    }
};

// The room a section's (or the document's own) headers and footers leave on each kind of page.
template <typename Bands, typename Out, typename LayBand>
BandRoom bandRoom(const Bands& bands, bool even, Out& out, const LayBand& band, bool titled) {
    BandRoom room;
    room.top = room.evenTop = room.firstTop = band(bands.header, out.header, true);
    room.bottom = room.evenBottom = room.firstBottom = band(bands.footer, out.footer, false);
    if (titled) {
        room.firstTop = band(bands.firstHeader, out.firstHeader, true);
        room.firstBottom = band(bands.firstFooter, out.firstFooter, false);
    }
    if (even) {
        room.evenTop = band(bands.evenHeader, out.evenHeader, true);
        room.evenBottom = band(bands.evenFooter, out.evenFooter, false);
    }
    return room;
}

// A section that runs on shows its bands from some later page on: all pages but the first keep clear of
// them. It never shows its first page's bands: its first page is the one it starts on.
template <typename LayBand>
void keepClearOf(PageCopy& copy, const Section& section, BandRoom& room, const LayBand& band) {
    SectionBands& out = copy.sections.emplace_back();
    out.titlePage = section.titlePage && section.newPage;
    const BandRoom more = bandRoom(section, copy.evenPages, out, band, out.titlePage);
    room.keepClear(qMax(more.top, qMax(more.evenTop, more.firstTop)),
                   qMax(more.bottom, qMax(more.evenBottom, more.firstBottom)));
}

// The room with every page but the first clear of the tallest of the bands they show.
BandRoom uniform(BandRoom room) {
    room.keepClear(qMax(room.top, room.evenTop), qMax(room.bottom, room.evenBottom));
    return room;
}

// The body's pages are as tall as the roomiest page, or of the pages after the first unless
// `firstToo`; a page that its own header and footer leave less room keeps the difference empty above its
// text, as LibreOffice keeps each page's text clear of that page's own header and footer. Gives the
// body's page height.
double placeBody(PageCopy& copy, const BandRoom& room, const PageSetup& page, bool titled, bool firstToo,
                 bool gridInMiddle) {
    const double paper = twipsToLayout(page.heightTwips);
    // A grid of lines holds as many whole lines as the page's room has, which LibreOffice sets in the
    // middle of that room: the rest lies half above, half below. Not in a document with notes, whose
    // grid LibreOffice starts at the room's top.
    const double grid = gridInMiddle ? twipsToLayout(page.lineGridTwips) : 0.0;
    const auto lines = [grid](double own) {
        return grid > 0 && own > grid ? std::floor(own / grid + 1e-6) * grid : own;
    };
    const auto lowered = [&](double own) { return (own - lines(own)) / 2; };
    const double odd = lines(paper - room.top - room.bottom);
    const double even = copy.evenPages ? lines(paper - room.evenTop - room.evenBottom) : odd;
    const double first = titled && firstToo ? lines(paper - room.firstTop - room.firstBottom) : 0;
    const double height = pageHeightQtHolds(qMax(twipsToLayout(720), qMax(first, qMax(odd, even))));
    // Less than a fraction of a point is the page height Qt holds, not room to leave.
    const double held = height - twipsToLayout(kFootSlack);
    const auto above = [&](double own) { return held - own > 0.5 ? held - own : 0.0; };
    copy.bodyTop = room.top + lowered(paper - room.top - room.bottom) - above(odd);
    if (copy.evenPages)
        copy.evenBodyTop = room.evenTop + lowered(paper - room.evenTop - room.evenBottom) - above(even);
    // A first page with more room than the others ends its text as far above its footer.
    if (titled) {
        const double own = paper - room.firstTop - room.firstBottom;
        copy.firstBodyTop = room.firstTop + lowered(own) - above(lines(own));
    }
    return height;
}

// Sets the builder's pages where placeBody() put them, the first page's text lowered by the room left
// above it.
template <typename Body>
void placePages(Body& body, const PageCopy& copy, const BandRoom& room, const PageSetup& page, bool titled) {
    const auto rooms = [&copy, room, page, titled](int at) {
        const int sheet = at / qMax(1, copy.columns);
        typename Body::PageRoom r;
        r.top = bodyTopOn(copy, sheet, page);
        const double own = titled && sheet == 0                                  ? room.firstTop
                           : copy.evenPages && (copy.firstPage + sheet) % 2 == 0 ? room.evenTop
                                                                                 : room.top;
        r.above = qMax(0.0, own - r.top);
        return r;
    };
    body.setPageRooms(rooms);
    if (const double above = rooms(0).above; above > 0)
        body.startLower(above);
}

} // namespace

void Merger::buildPart(PageCopy& copy, const BodyPart& part, int first, Cursor& cursor) {
    const PageSetup& page = *part.page;
    m_page = part.page;
    // Each part keeps clear of its own bands only.
    const auto band = [&](const Story& story, std::unique_ptr<QTextDocument>& out, bool header) {
        return layBand(copy, page, story, out, header, first);
    };
    copy.evenPages = m_t->evenPages;
    copy.pageColor = m_t->pageColor;
    BandRoom room;
    bool titled = false;
    if (part.section < 0) {
        room = bandRoom(*m_t, m_t->evenPages, copy, band, m_t->titlePage);
        copy.titlePage = m_t->titlePage;
        titled = m_t->titlePage && copy.firstPage == 1;
    } else {
        // The part's own section shows its bands from the part's first sheet on.
        const Section& own = m_t->sections[size_t(part.section)];
        SectionBands& out = copy.sections.emplace_back();
        out.titlePage = own.titlePage;
        room = bandRoom(own, m_t->evenPages, out, band, own.titlePage);
        titled = own.titlePage;
    }
    for (int i = part.section + 1; i < part.endSection; ++i)
        keepClearOf(copy, m_t->sections[size_t(i)], room, band);
    copy.columns = qMax(1, page.columns);
    const Cursor start = cursor;
    const size_t bandPictures = copy.pictures.size();
    // A table that would start at the top of a page's room has the part laid out again, its pages clear
    // of the tallest bands.
    for (bool again = false;; again = true) {
        const BandRoom used = again ? uniform(room) : room;
        const double height = placeBody(copy, used, page, titled, !again, m_t->notes.empty());
        copy.body = newPagedDocument(page, m_t->defaultFamily, height);
        Builder body(*this, *copy.body);
        body.setLineGrid(page.lineGridTwips);
        body.begin();
        placePages(body, copy, used, page, titled);
        body.collectNotes();
        body.story(part.body, cursor);
        body.end();
        if (!checkLayout(*copy.body).holds)
            throw tooLong();
        settle(body, copy, height);
        if (!again && !body.roomsKept(height)) {
            copy.pictures.erase(copy.pictures.begin() + ptrdiff_t(bandPictures), copy.pictures.end());
            cursor = start;
            continue;
        }
        body.placeNotes(copy.notes, height);
        const std::vector<std::pair<int, int>> ends = body.endnoteRefs();
        m_earlierEndnotes.insert(m_earlierEndnotes.end(), ends.begin(), ends.end());
        copy.pageFields = copy.pageFields || body.hasPageFields();
        // The sections that run on within the part: their headers start on the sheet after the one they
        // start on.
        const size_t own = part.section < 0 ? 0 : 1;
        for (int i = part.section + 1; i < part.endSection; ++i) {
            const Section& section = m_t->sections[size_t(i)];
            const int from = body.pageOfStoryBlock(size_t(section.firstBlock - part.firstBlock), height);
            copy.sections[own + size_t(i - part.section - 1)].fromPage = from / copy.columns + 1;
        }
        return;
    }
}

void Merger::settle(Builder& body, PageCopy& copy, double height) {
    body.finish();
    body.cropTallPictures(height);
    body.placeFloats(copy.pictures, copy.bodyTop, height);
    body.setColumns(copy.columns);
    body.dropSpaceAtPageTops(height);
}

void Merger::buildEndnotes(PageCopy& copy, const std::vector<std::pair<int, int>>& refs) {
    if (std::none_of(refs.begin(), refs.end(),
                     [&](const std::pair<int, int>& r) { return !m_t->notes[size_t(r.first)].text.empty(); }))
        return;
    // LibreOffice prints endnotes on pages of their own style: the last section's paper, margins of 2 cm
    // and no header, footer or columns.
    constexpr int kMargin = 1134;
    const PageCopy& before = copy.parts.empty() ? copy : copy.parts.back();
    PageSetup page = before.page ? *before.page : m_t->page;
    const int firstPage = before.firstPage + before.ownSheets();
    page.leftTwips = page.rightTwips = page.topTwips = page.bottomTwips = kMargin;
    page.columns = 1;
    page.columnWidths.clear();
    page.columnGaps.clear();
    page.columnRule = false;
    page.lineGridTwips = 0;
    page.lineNumberStep = 0;
    page.pageBorders = Borders{};
    page.pageNumberStart = 0;
    PageCopy& out = copy.parts.emplace_back();
    out.page = page;
    out.pageColor = copy.pageColor;
    out.firstPage = firstPage;
    const PageSetup* outer = m_page;
    m_page = &*out.page;
    const double height = pageHeightQtHolds(twipsToLayout(page.heightTwips - 2 * kMargin));
    out.bodyTop = twipsToLayout(kMargin);
    out.body = newPagedDocument(page, m_t->defaultFamily, height);
    Builder body(*this, *out.body);
    body.begin();
    body.endnotes(refs);
    body.end();
    if (!checkLayout(*out.body).holds)
        throw tooLong();
    settle(body, out, height);
    out.pageFields = body.hasPageFields();
    m_page = outer;
}

void Merger::buildCopy(PageCopy& copy, Cursor& cursor) {
    m_page = nullptr;
    if (!m_parts.empty()) {
        buildParts(copy, cursor);
        m_page = nullptr;
        return;
    }
    const int first = cursor.record;
    const PageSetup& page = m_t->page;
    const auto band = [&](const Story& story, std::unique_ptr<QTextDocument>& out, bool header) {
        return layBand(copy, page, story, out, header, first);
    };
    // The body is one document of pages of one height: each page keeps clear of its own header and
    // footer, the pages with less room leaving the difference empty above their text.
    copy.evenPages = m_t->evenPages;
    copy.pageColor = m_t->pageColor;
    copy.titlePage = m_t->titlePage;
    BandRoom room = bandRoom(*m_t, m_t->evenPages, copy, band, m_t->titlePage);
    // A catalog's body repeats for every record: its sections are not told apart.
    if (m_t->type != MainType::Catalog || !m_data)
        for (const Section& section : m_t->sections)
            keepClearOf(copy, section, room, band);
    // A catalog's pieces are not laid out twice.
    if (m_t->type == MainType::Catalog && m_data)
        room = uniform(room);
    const bool titled = m_t->titlePage && copy.firstPage == 1;
    copy.columns = qMax(1, page.columns);
    double height = placeBody(copy, room, page, titled, false, m_t->notes.empty());
    // Once the body's text is in: rows' heights, floating pictures, page tops and page numbers.
    const auto complete = [&](Builder& body) {
        settle(body, copy, height);
        body.placeNotes(copy.notes, height);
        if (body.hasPageFields()) {
            copy.pageFields = true;
            setPageNumbers(*copy.body, 0, copy.numberedPages(), height, copy.firstPage, copy.columns);
        }
    };
    // A table that would start at the top of a page's room has the body laid out again, its pages clear
    // of the tallest bands.
    const size_t bandPictures = copy.pictures.size();
    for (bool again = false; m_t->type != MainType::Catalog || !m_data; again = true) {
        const BandRoom used = again ? uniform(room) : room;
        height = placeBody(copy, used, page, titled, !again, m_t->notes.empty());
        copy.body = newPagedDocument(page, m_t->defaultFamily, height);
        Builder body(*this, *copy.body);
        body.setLineGrid(page.lineGridTwips);
        body.begin();
        placePages(body, copy, used, page, titled);
        body.collectNotes();
        body.story(m_t->body, cursor);
        body.end();
        if (!checkLayout(*copy.body).holds)
            throw tooLong();
        // The endnotes' sheets count in NUMPAGES on the body's.
        copy.parts.clear();
        buildEndnotes(copy, body.endnoteRefs());
        complete(body);
        if (!copy.parts.empty()) {
            PageCopy& notes = copy.parts.back();
            notes.firstPage = copy.firstPage + copy.ownSheets();
            notes.totalPages = copy.numberedPages();
            if (notes.pageFields)
                setPageNumbers(*notes.body, 0, notes.totalPages, notes.body->pageSize().height(),
                               notes.firstPage, 1);
        }
        if (!again && !body.roomsKept(height)) {
            copy.pictures.erase(copy.pictures.begin() + ptrdiff_t(bandPictures), copy.pictures.end());
            copy.notes.clear();
            cursor = Cursor{first, false};
            continue;
        }
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
        body.setLineGrid(page.lineGridTwips);
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
        body.setLineGrid(page.lineGridTwips);
        std::vector<std::pair<int, int>> starts; // each record's number and the block its text starts in
        int r = first;
        int cut = -1;
        int sinceCheck = 0;
        body.begin();
        placePages(body, copy, room, page, titled);
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
        const double y =
            lines && lines->lineCount() > 0 ? lineRoomTop(block, 0) : layout->blockBoundingRect(block).top();
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

namespace {

constexpr double kMostCropPixels = 16.0 * 1024 * 1024;

// The share of a picture's width (or height) left once `before` and `after` are cut from its sides.
double keptShare(double before, double after) {
    return 1 - before - after;
}

// The part of `whole` a crop keeps, at `whole`'s scale, with empty room where a share is negative.
QImage croppedPicture(const QImage& whole, const std::array<double, 4>& crop) {
    const QRectF kept(QPointF(crop[0] * whole.width(), crop[1] * whole.height()),
                      QPointF((1 - crop[2]) * whole.width(), (1 - crop[3]) * whole.height()));
    if (kept.left() >= 0 && kept.top() >= 0 && kept.right() <= whole.width() &&
        kept.bottom() <= whole.height())
        return whole.copy(kept.toRect());
    // Room added round a large picture is drawn smaller rather than at any cost in memory.
    const double fit = std::min(1.0, std::sqrt(kMostCropPixels / (kept.width() * kept.height())));
    QImage out(qMax(1, qRound(kept.width() * fit)), qMax(1, qRound(kept.height() * fit)),
               QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.scale(fit, fit);
    painter.drawImage(-kept.topLeft(), whole);
    return out;
}

// Drawn at the size it takes in the line; too large a picture is left clear rather than drawn.
QImage wordArtImage(const Picture& pic, QSize size) {
    if (qint64(size.width()) * size.height() > 64LL * 1024 * 1024)
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(pic.wordArtColor.isValid() ? QBrush(pic.wordArtColor) : QBrush(Qt::NoBrush));
    drawWordArt(painter, QRectF(QPointF(0, 0), QSizeF(size)), pic.wordArtFamily, pic.wordArt);
    return image;
}

} // namespace

QImage Merger::pictureImage(int index, QSizeF pixels) {
    if (index < 0 || size_t(index) >= m_t->pictures.size())
        return {};
    const Picture& pic = m_t->pictures[size_t(index)];
    // The reader keeps a part of every cropped picture; a crop that would leave nothing is not one.
    const bool cropped = pic.crop != std::array<double, 4>{} && keptShare(pic.crop[0], pic.crop[2]) > 0 &&
                         keptShare(pic.crop[1], pic.crop[3]) > 0;
    if ((!pic.image.isNull() && !cropped) ||
        (pic.image.isNull() && pic.metafile.isEmpty() && pic.wordArt.isEmpty()))
        return pic.image;
    // A cropped bitmap is cut once, whatever size it is shown at.
    const QSize size = pic.image.isNull()
                           ? QSize(qMax(1, qRound(pixels.width())), qMax(1, qRound(pixels.height())))
                           : QSize();
    const auto key = std::make_tuple(index, size.width(), size.height());
    auto it = m_drawnMetafiles.find(key);
    if (it != m_drawnMetafiles.end())
        return it->second;
    if (!pic.image.isNull())
        return m_drawnMetafiles.emplace(key, croppedPicture(pic.image, pic.crop)).first->second;
    // A drawing is drawn whole at the size that leaves its kept part `size`, within reason, then cut.
    QSizeF whole(size);
    if (cropped)
        whole = QSizeF(size.width() / keptShare(pic.crop[0], pic.crop[2]),
                       size.height() / keptShare(pic.crop[1], pic.crop[3]));
    if (cropped && whole.width() * whole.height() > kMostCropPixels)
        whole *= std::sqrt(kMostCropPixels / (whole.width() * whole.height()));
    const QSize drawnSize(qMax(1, qRound(whole.width())), qMax(1, qRound(whole.height())));
    QImage drawn = !pic.wordArt.isEmpty() ? wordArtImage(pic, drawnSize)
                   : pic.quickDraw        ? renderQuickDraw(pic.metafile, drawnSize)
                                          : renderMetafile(pic.metafile, pic.enhanced, drawnSize);
    if (cropped && !drawn.isNull())
        drawn = croppedPicture(drawn, pic.crop);
    return m_drawnMetafiles.emplace(key, std::move(drawn)).first->second;
}

QImage Merger::framedPictureImage(int index, QSizeF pixels, const QMargins& room) {
    const QImage shown = pictureImage(index, pixels);
    if (shown.isNull())
        return shown;
    const auto key = std::make_tuple(index, qMax(1, qRound(pixels.width())), qMax(1, qRound(pixels.height())),
                                     room.left(), room.top(), room.right(), room.bottom());
    auto it = m_framedPictures.find(key);
    if (it == m_framedPictures.end())
        it = m_framedPictures.emplace(key, framedPicture(shown, m_t->pictures[size_t(index)], room)).first;
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
