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

std::vector<std::pair<int, int>> Merger::Builder::endnoteRefs() const {
    std::vector<std::pair<int, int>> out;
    for (const NoteRef& ref : m_noteRefs)
        if (m.m_t->notes[size_t(ref.note)].endnote)
            out.emplace_back(ref.note, ref.record);
    return out;
}

void Merger::Builder::endnotes(const std::vector<std::pair<int, int>>& refs) {
    for (const auto& [index, record] : refs) {
        const Note& note = m.m_t->notes[size_t(index)];
        if (note.text.empty())
            continue;
        Cursor c{record, false};
        story(note.text, c);
    }
}

void Merger::Builder::placeNotes(std::vector<std::vector<NoteSlice>>& out, double pageHeight) {
    // The text the notes move on moves the pages after with it: paragraphs and rows kept with the next
    // are kept again where they now fall, and the notes follow their references, a few times at most.
    const std::vector<std::vector<NoteSlice>> before = out;
    constexpr int kPasses = 4;
    for (int pass = 1; placeNotesOnce(out, pageHeight) && pass < kPasses; ++pass) {
        unkeepTables();
        dropSpaceAtPageTops(pageHeight);
        out = before;
    }
}

bool Merger::Builder::placeNotesOnce(std::vector<std::vector<NoteSlice>>& out, double pageHeight) {
    if (std::none_of(m_noteRefs.begin(), m_noteRefs.end(),
                     [&](const NoteRef& r) { return !m.m_t->notes[size_t(r.note)].endnote; }))
        return false;
    bool moved = false;
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
            moved = true;
        }
        if (!slices.empty()) {
            out.resize(size_t(p) + 1);
            out[size_t(p)] = std::move(slices);
        }
        carry = std::move(rest);
    }
    return moved;
}

int Merger::Builder::pageOfStoryBlock(size_t index, double pageHeight) const {
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
    const double y = lines && lines->lineCount() > 0 ? lineRoomTop(b, 0)
                                                     : m_doc.documentLayout()->blockBoundingRect(b).top();
    return pageAt(y, pageHeight);
}

std::vector<double> Merger::Builder::storyBlockTops() const {
    QAbstractTextDocumentLayout* layout = m_doc.documentLayout();
    std::vector<double> out;
    for (int number : m_blockStarts) {
        const QTextBlock b = m_doc.findBlockByNumber(number);
        if (!b.isValid())
            break;
        // A table starts where its frame does, its first cell's text lower.
        QTextFrame* frame = QTextCursor(b).currentFrame();
        while (frame && frame->parentFrame() && frame->parentFrame() != m_doc.rootFrame())
            frame = frame->parentFrame();
        out.push_back(frame && frame != m_doc.rootFrame() ? layout->frameBoundingRect(frame).top()
                                                          : layout->blockBoundingRect(b).top());
    }
    return out;
}

std::shared_ptr<QTextDocument> Merger::Builder::layNotes(const std::vector<const NoteRef*>& refs) {
    // Notes are as wide as the body's column.
    PageSetup column = m.page();
    if (column.columns > 1) {
        const qint64 text = qint64(column.widthTwips) - column.leftTwips - column.rightTwips;
        const qint64 width = (text - qint64(column.columnGapTwips) * (column.columns - 1)) / column.columns;
        column.rightTwips = int(qBound(qint64(0), qint64(column.rightTwips) + text - qMax(qint64(720), width),
                                       qint64(column.widthTwips)));
    }
    std::shared_ptr<QTextDocument> doc = newBandDocument(column, m.m_t->defaultFamily);
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

double Merger::Builder::lineEndBefore(const QTextDocument& doc, double from, double to) {
    double best = from, first = std::numeric_limits<double>::max();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextLayout* lines = b.layout();
        for (int i = 0; i < lines->lineCount(); ++i) {
            const double foot = lineRoomTop(b, i) + lineRoomHeight(b, i);
            if (foot <= from + 0.5)
                continue;
            first = qMin(first, foot);
            if (foot <= to + 0.5)
                best = qMax(best, foot);
        }
    }
    return best > from ? best : first < std::numeric_limits<double>::max() ? first : from;
}

} // namespace wordproc
