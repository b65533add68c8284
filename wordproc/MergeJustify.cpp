// Justified lines as LibreOffice sets them. Qt widens every blank of a justified line alike: no-break
// spaces too, and the spaces before a tab, which then pushes the text after it along. LibreOffice
// widens only the ordinary spaces after the line's last tab, so that a number set off by no-break
// spaces keeps its place and a tab still ends at its stop. It also widens a line that ends in a manual
// line break, unless a Word 2007+ document says not to; Qt leaves such a line as it is.
//
// Each space that LibreOffice widens is given its share of the line's room as letter spacing: Qt then
// finds the line full, and has no more than a rounding's worth left to spread over its own blanks.

#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>
#include <vector>

namespace wordproc {

namespace {

// The format of the character at `position` of `b`.
QTextCharFormat formatAt(const QTextBlock& b, int position) {
    QTextCursor at(b);
    at.setPosition(b.position() + position + 1);
    return at.charFormat();
}

struct Widened {
    int position; // in the block
    double extra; // letter spacing to add, in Qt's units
};

// The spaces of line `index` of `b` that LibreOffice widens, each with its share of the line's room;
// none where it leaves the line as it stands.
void widenedSpaces(const QTextBlock& b, int index, bool brokenLinesToo, std::vector<Widened>& out) {
    const QTextLayout& lines = *b.layout();
    // A paragraph's last line stays as it is.
    if (index + 1 >= lines.lineCount())
        return;
    const QTextLine line = lines.lineAt(index);
    const QString text = b.text();
    const int start = line.textStart();
    int end = qMin(start + line.textLength(), int(text.size()));
    if (end > start && text.at(end - 1) == QChar::LineSeparator) {
        if (!brokenLinesToo)
            return;
        --end;
    }
    // Blanks at the line's end hang past it.
    while (end > start && text.at(end - 1).isSpace())
        --end;
    int from = start;
    for (int i = end - 1; i >= start; --i)
        if (text.at(i) == QLatin1Char('\t')) {
            from = i + 1;
            break;
        }
    std::vector<int> spaces;
    for (int i = from; i < end; ++i)
        if (text.at(i) == QLatin1Char(' '))
            spaces.push_back(i);
    const double room = line.width() - line.naturalTextWidth();
    if (spaces.empty() || room <= 0)
        return;
    // Qt keeps letter spacing in 64ths of its units: each share is cut down to one, so that the line
    // never grows past its width and wraps anew.
    const double share = std::floor(room * 96.0 / kLayoutDpi / double(spaces.size()) * 64) / 64;
    if (share <= 0)
        return;
    for (int at : spaces)
        out.push_back({at, share});
}

// Gives each space of `widened` its share on top of the letter spacing it had (`was`).
void widen(const QTextBlock& b, const std::vector<Widened>& widened,
           const std::vector<QTextCharFormat>& was) {
    QTextCursor at(b);
    at.beginEditBlock();
    for (size_t i = 0; i < widened.size(); ++i) {
        at.setPosition(b.position() + widened[i].position);
        at.setPosition(b.position() + widened[i].position + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat& own = was[i];
        const double spacing =
            own.fontLetterSpacingType() == QFont::AbsoluteSpacing ? own.fontLetterSpacing() : 0.0;
        QTextCharFormat wider;
        wider.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        wider.setFontLetterSpacing(spacing + widened[i].extra);
        at.mergeCharFormat(wider);
    }
    at.endEditBlock();
}

// The spaces of every line of `b` that LibreOffice widens, with their shares as `b` is laid out now.
std::vector<Widened> widenedSpaces(const QTextBlock& b, bool brokenLinesToo) {
    std::vector<Widened> widened;
    for (int i = 0; i < b.layout()->lineCount(); ++i)
        widenedSpaces(b, i, brokenLinesToo, widened);
    return widened;
}

std::vector<int> lineStarts(const QTextBlock& b) {
    std::vector<int> starts;
    for (int i = 0; b.layout() && i < b.layout()->lineCount(); ++i)
        starts.push_back(b.layout()->lineAt(i).textStart());
    return starts;
}

} // namespace

void justifyLines(QTextDocument& doc, bool brokenLinesToo) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!(b.blockFormat().alignment() & Qt::AlignJustify) || b.textDirection() == Qt::RightToLeft)
            continue;
        const QString text = b.text();
        // Without these Qt widens a line as LibreOffice does.
        if (!text.contains(QChar::Nbsp) && !text.contains(QLatin1Char('\t')) &&
            !(brokenLinesToo && text.contains(QChar::LineSeparator)))
            continue;
        layout->blockBoundingRect(b);
        if (!b.layout() || b.layout()->lineCount() < 2)
            continue;
        const std::vector<int> starts = lineStarts(b);
        std::vector<Widened> widened = widenedSpaces(b, brokenLinesToo);
        if (widened.empty())
            continue;
        std::vector<QTextCharFormat> was;
        for (const Widened& w : widened)
            was.push_back(formatAt(b, w.position));
        widen(b, widened, was);
        layout->blockBoundingRect(b);
        if (lineStarts(b) == starts)
            continue;
        // A space set apart from its neighbours loses their kerning, which may make the line longer:
        // its room is measured again with the spaces set apart.
        for (Widened& w : widened)
            w.extra = 0;
        widen(b, widened, was);
        layout->blockBoundingRect(b);
        if (lineStarts(b) == starts) {
            const std::vector<Widened> again = widenedSpaces(b, brokenLinesToo);
            if (again.size() == widened.size()) {
                widen(b, again, was);
                layout->blockBoundingRect(b);
                if (lineStarts(b) == starts)
                    continue;
            }
        }
        // A line that still wraps anew keeps Qt's widening.
        QTextCursor at(b);
        at.beginEditBlock();
        for (size_t i = 0; i < widened.size(); ++i) {
            at.setPosition(b.position() + widened[i].position);
            at.setPosition(b.position() + widened[i].position + 1, QTextCursor::KeepAnchor);
            at.setCharFormat(was[i]);
        }
        at.endEditBlock();
        layout->blockBoundingRect(b);
    }
}

} // namespace wordproc
