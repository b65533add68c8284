// East Asian commas and full stops that hang past the end of a line. Neither may open a line, so where one
// does not fit, Qt carries the character before it down with it; Word (its paragraphs allow punctuation
// to hang unless told otherwise) and LibreOffice keep that character on the line and set the mark past
// the line's end instead. Each line keeps one more character than Qt would give it, and the text of a
// long Japanese paragraph breaks where theirs does.

#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QRawFont>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <map>

namespace wordproc {

namespace {

// Only these hang in LibreOffice: the ideographic and full- and half-width commas and full stops, never
// closing brackets or other marks.
bool hangs(QChar c) {
    switch (c.unicode()) {
    case 0x3001: // 、
    case 0x3002: // 。
    case 0xFF0C: // ，
    case 0xFF0E: // ．
    case 0xFF61: // ｡
    case 0xFF64: // ､
        return true;
    default:
        return false;
    }
}

bool mayHang(const QString& text) {
    for (qsizetype i = 1; i < text.size(); ++i)
        if (hangs(text.at(i)) && !hangs(text.at(i - 1)))
            return true;
    return false;
}

// The line that the text at `position` of the block is set on.
int lineOf(const QTextLayout& lines, int position) {
    for (int i = 0; i < lines.lineCount(); ++i) {
        const QTextLine line = lines.lineAt(i);
        if (position < line.textStart() + line.textLength())
            return i;
    }
    return lines.lineCount() - 1;
}

} // namespace

void hangPunctuation(QTextDocument& doc) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QString text = b.text();
        if (!mayHang(text))
            continue;
        layout->blockBoundingRect(b);
        for (int i = 0; b.layout() && i + 1 < b.layout()->lineCount(); ++i) {
            const QTextLayout& lines = *b.layout();
            const QTextLine line = lines.lineAt(i);
            const QTextLine next = lines.lineAt(i + 1);
            // The character that opens the next line only because the mark after it may not.
            const int carried = line.textStart() + line.textLength();
            if (carried + 1 >= text.size() || !hangs(text.at(carried + 1)) || hangs(text.at(carried)) ||
                text.at(carried).isSpace() || text.at(carried).isSurrogate())
                continue;
            const double carriedWidth = next.cursorToX(carried + 1) - next.cursorToX(carried);
            const double markWidth = next.cursorToX(carried + 2) - next.cursorToX(carried + 1);
            if (carriedWidth <= 0 || markWidth <= 0 ||
                line.naturalTextWidth() + carriedWidth > line.width() + kLayoutDpi / 7200.0)
                continue;
            // The mark takes no room: the line ends after it, and its ink stands past the line's end.
            QTextCursor mark(b);
            mark.setPosition(b.position() + carried + 1);
            mark.setPosition(b.position() + carried + 2, QTextCursor::KeepAnchor);
            const QTextCharFormat was = mark.charFormat();
            const double own =
                was.fontLetterSpacingType() == QFont::AbsoluteSpacing ? was.fontLetterSpacing() : 0.0;
            QTextCharFormat hung;
            hung.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            hung.setFontLetterSpacing(own - markWidth * 96.0 / kLayoutDpi);
            mark.mergeCharFormat(hung);
            layout->blockBoundingRect(b);
            // Another mark after it that may not open a line either carries them all down as before.
            if (!b.layout() || lineOf(*b.layout(), carried + 1) != i) {
                mark.setCharFormat(was);
                layout->blockBoundingRect(b);
            }
        }
    }
}

namespace {

// Where the line that ends at `end` of the block's `text` runs out of room inside a word rather than
// breaking where the text allows it.
bool brokenInWord(const QString& text, int end) {
    if (end <= 0 || end >= text.size())
        return false;
    const QChar last = text.at(end - 1);
    if (last.isSpace() || last == kBreakHere || last == QChar::LineSeparator)
        return false;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    lines.setPosition(end);
    return !lines.isAtBoundary() || !(lines.boundaryReasons() & QTextBoundaryFinder::BreakOpportunity);
}

} // namespace

void breakBesideFields(QTextDocument& doc, const std::vector<FieldSpan>& fields) {
    if (fields.empty())
        return;
    // Each block's fields, as offsets into its text.
    std::map<int, std::vector<std::pair<int, int>>> byBlock;
    for (const FieldSpan& f : fields) {
        const QTextBlock b = doc.findBlock(f.from.position());
        if (b.isValid() && f.to.position() > f.from.position())
            byBlock[b.blockNumber()].emplace_back(f.from.position() - b.position(),
                                                  qMin(f.to.position(), b.position() + b.length() - 1) -
                                                      b.position());
    }
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (auto& [number, spans] : byBlock) {
        const QTextBlock b = doc.findBlockByNumber(number);
        // Each break moves the next line's start: the lines are looked at again, a few times at most.
        std::vector<int> refused;
        for (int round = 0; round < 16; ++round) {
            layout->blockBoundingRect(b);
            const QTextLayout* lines = b.layout();
            const QString text = b.text();
            int cut = -1, lineStart = 0;
            for (int i = 0; lines && i + 1 < lines->lineCount() && cut < 0; ++i) {
                const QTextLine line = lines->lineAt(i);
                const int start = line.textStart(), end = start + line.textLength();
                if (!brokenInWord(text, end))
                    continue;
                // A line that starts within a field that began on the line before breaks where it
                // runs out of room.
                const bool within = std::any_of(spans.begin(), spans.end(), [&](const auto& s) {
                    return s.first < start && start < s.second;
                });
                if (within)
                    continue;
                int edge = -1;
                for (const auto& [from, to] : spans)
                    for (const int at : {from, to})
                        if (at > start + 1 && at < end)
                            edge = qMax(edge, at);
                if (edge > 0 && std::find(refused.begin(), refused.end(), edge - 1) == refused.end()) {
                    cut = edge - 1;
                    lineStart = start;
                }
            }
            if (cut < 0)
                break;
            QTextCursor at(b);
            at.setPosition(b.position() + cut + 1);
            const QTextCharFormat f = at.charFormat();
            QTextCharFormat own = f;
            own.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            own.setFontLetterSpacing(0);
            at.setPosition(b.position() + cut);
            at.insertText(QString(kBreakHere),
                          QRawFont::fromFont(f.font()).supportsCharacter(char32_t(kBreakHere.unicode()))
                              ? own
                              : joinerFormat(f));
            // Where the word's first part would then fit on the line before, the break is not made: the
            // word keeps a line of its own.
            layout->blockBoundingRect(b);
            const QTextLayout* after = b.layout();
            bool moved = false;
            for (int i = 0; after && i < after->lineCount(); ++i) {
                const QTextLine line = after->lineAt(i);
                if (line.textStart() <= lineStart && lineStart < line.textStart() + line.textLength())
                    moved = line.textStart() != lineStart;
            }
            if (moved) {
                at.setPosition(b.position() + cut);
                at.setPosition(b.position() + cut + 1, QTextCursor::KeepAnchor);
                at.removeSelectedText();
                refused.push_back(cut);
                continue;
            }
            for (int& r : refused)
                if (r >= cut)
                    ++r;
            for (auto& [from, to] : spans) {
                if (from >= cut)
                    ++from;
                if (to >= cut)
                    ++to;
            }
        }
    }
}

} // namespace wordproc
