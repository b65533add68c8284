// East Asian commas and full stops that hang past the end of a line. Neither may open a line, so where one
// does not fit, Qt carries the character before it down with it; Word (its paragraphs allow punctuation
// to hang unless told otherwise) and LibreOffice keep that character on the line and set the mark past
// the line's end instead. Each line keeps one more character than Qt would give it, and the text of a
// long Japanese paragraph breaks where theirs does.

#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

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

} // namespace wordproc
