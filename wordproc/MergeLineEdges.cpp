// How a paragraph's lines end and start: the spaces at a line's edges, the room italic letters lean
// into, and the room of a box round letters, set once its text is in.
#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"
#include "wordproc/PaintRules.h"

#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace wordproc {

// Qt counts the spaces that open a line into its width and keeps the word after them on that line,
// breaking the word itself where it does not fit; LibreOffice and Word break after the spaces and move
// the word whole to the next line. A zero-width space before the spaces gives Qt that break.
void breakAfterOpeningSpaces(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (qsizetype i = text.size() - 1; i >= 0; --i) {
            if (text.at(i) != QLatin1Char(' ') || (i > 0 && text.at(i - 1) != QChar::LineSeparator))
                continue;
            QTextCursor at(block);
            at.setPosition(block.position() + int(i) + 1);
            const QTextCharFormat spaces = at.charFormat();
            // In a face without the character, Qt would take it from another face, whose height could
            // make the line taller.
            if (!QRawFont::fromFont(spaces.font()).supportsCharacter(char32_t(kBreakHere.unicode())))
                continue;
            at.setPosition(block.position() + int(i));
            // The spaces may be set wider (runs of them in RTF); the break takes no room.
            QTextCharFormat none = spaces;
            none.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            none.setFontLetterSpacing(0);
            at.insertText(QString(kBreakHere), none);
        }
        if (block == last)
            break;
    }
}

// Qt sets a right-aligned or centred line's last spaces within the line, a space's width short of the
// margin, where Word and LibreOffice let them hang past it: the spaces that end such a paragraph or
// stand before a line break go, as they print nothing.
void dropClosingSpaces(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        const Qt::Alignment align = block.blockFormat().alignment();
        const QString text = block.text();
        if ((align & (Qt::AlignRight | Qt::AlignHCenter)) && !(align & Qt::AlignAbsolute) &&
            block.blockFormat().layoutDirection() != Qt::RightToLeft && !text.trimmed().isEmpty()) {
            for (qsizetype end = text.size(); end > 0; --end) {
                if (end < text.size() && text.at(end) != QChar::LineSeparator)
                    continue;
                qsizetype from = end;
                // Ideographic spaces too: LibreOffice lets them hang as it does the Latin ones.
                while (from > 0 &&
                       (text.at(from - 1) == QLatin1Char(' ') || text.at(from - 1) == QChar(0x3000)))
                    --from;
                if (from == end || from == 0 || text.at(from - 1) == QChar::LineSeparator)
                    continue;
                QTextCursor spaces(block);
                spaces.setPosition(block.position() + int(from));
                spaces.setPosition(block.position() + int(end), QTextCursor::KeepAnchor);
                spaces.removeSelectedText();
            }
        }
        if (block == last)
            break;
    }
}

// A paragraph of italic text only breaks its lines short of the margin by the room its letters' slant
// takes. Only a left-aligned one: the room would move a centred or right-aligned one's lines.
void keepRoomAfterItalics(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        QTextBlockFormat f = block.blockFormat();
        double room = 0;
        bool italic = f.alignment() & (Qt::AlignLeft | Qt::AlignJustify);
        for (auto it = block.begin(); italic && !it.atEnd(); ++it) {
            const QTextCharFormat c = it.fragment().charFormat();
            if (c.isImageFormat() || it.fragment().text().trimmed().isEmpty())
                continue;
            const QFont font = c.font().resolve(block.document()->defaultFont());
            italic = font.italic();
            room = qMax(room, QFontMetricsF(font, layoutDevice()).height() / 12);
        }
        if (italic && room > 0) {
            f.setRightMargin(f.rightMargin() + room);
            QTextCursor(block).setBlockFormat(f);
        }
        if (block == last)
            break;
    }
}

// A box round letters takes the room of its rule and space before and after them, as LibreOffice sets it:
// a word joiner that wide stands inside each end of the box. A line may break before the box, as
// before the letters, and not between the box's edge and its letters.
void roomForLetterBoxes(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        struct Edge {
            int position;
            QTextCharFormat format; // the boxed letters' beside the edge
            bool opens;
        };
        std::vector<Edge> edges;
        QVariant open;
        QTextCharFormat inside;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            const QVariant box = f.isImageFormat() ? QVariant() : f.property(kLetterBoxProperty);
            if (box != open) {
                if (open.isValid())
                    edges.push_back(Edge{fragment.position(), inside, false});
                if (box.isValid())
                    edges.push_back(Edge{fragment.position(), f, true});
            }
            open = box;
            inside = f;
        }
        if (open.isValid())
            edges.push_back(Edge{block.position() + block.length() - 1, inside, false});
        // From the end, so that the positions before stay as they are.
        for (auto e = edges.rbegin(); e != edges.rend(); ++e) {
            Rule rule;
            if (!letterBoxOf(e->format, rule))
                continue;
            QTextCharFormat room = joinerFormat(e->format);
            // In 96-dpi units, as letter spacing is given everywhere here. Unshaped, Qt would set the
            // joiner without it.
            room.setFontLetterSpacing(letterBoxRoom(rule) * 96.0 / kLayoutDpi);
            room.setFontStyleStrategy(QFont::PreferDefault);
            QTextCursor at(block);
            at.setPosition(e->position);
            at.insertText(QString(kWordJoiner), room);
            if (e->opens && e->position > block.position()) {
                QTextCharFormat breakable = joinerFormat(e->format);
                breakable.clearProperty(kLetterBoxProperty);
                at.setPosition(e->position);
                at.insertText(QString(kBreakHere), breakable);
            }
        }
        if (block == last)
            break;
    }
}

} // namespace wordproc
