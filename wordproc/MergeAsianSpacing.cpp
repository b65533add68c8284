// The room LibreOffice leaves between East Asian text and Latin letters or digits beside it.

#include "wordproc/MergeFormats.h"

#include <QTextBlock>
#include <QTextCursor>
#include <utility>
#include <vector>

namespace wordproc {

namespace {

enum class Kind { Other, Asian, Western };

// Ideographs, kana, Hangul and the full-width and half-width forms; their punctuation is no letter.
bool asianBlock(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x2FDF) || (c >= 0x3000 && c <= 0x9FFF) ||
           (c >= 0xA000 && c <= 0xA4CF) || (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Only letters and digits take the room: punctuation, symbols and spaces on either side do not, nor
// do the scripts written right to left or shaped into clusters, which LibreOffice sets apart.
Kind kindOf(char32_t c) {
    if (!QChar::isLetterOrNumber(c))
        return Kind::Other;
    if (asianBlock(c))
        return Kind::Asian;
    switch (QChar::script(c)) {
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Cyrillic:
    case QChar::Script_Common:
    case QChar::Script_Inherited:
        return Kind::Western;
    default:
        return Kind::Other;
    }
}

bool isMark(char32_t c) {
    const QChar::Category cat = QChar::category(c);
    return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining ||
           cat == QChar::Mark_Enclosing;
}

} // namespace

bool hasAsianLetter(const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (c < 0x1100)
            continue;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (kindOf(c) == Kind::Asian)
            return true;
    }
    return false;
}

void spaceAsianFromWestern(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        const QString text = block.text();
        // The characters (start, length) that a letter of the other kind follows.
        std::vector<std::pair<int, int>> before;
        Kind kind = Kind::Other;
        int at = 0;
        int length = 0;
        for (int i = 0; i < text.size();) {
            char32_t c = text.at(i).unicode();
            int n = 1;
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
                n = 2;
            }
            if (isMark(c) && kind != Kind::Other) {
                // An accent goes with its letter: the room comes after both.
                length = i + n - at;
            } else if (QChar::category(c) != QChar::Other_Format) {
                // Joiners that the builder puts between letters are no characters of the text.
                const Kind k = kindOf(c);
                if (k != Kind::Other && kind != Kind::Other && k != kind)
                    before.emplace_back(at, length);
                kind = k;
                at = i;
                length = n;
            }
            i += n;
        }
        for (const auto& [start, size] : before) {
            QTextCursor cur(block);
            cur.setPosition(block.position() + start);
            cur.setPosition(block.position() + start + size, QTextCursor::KeepAnchor);
            const QTextCharFormat f = cur.charFormat();
            const double points = f.fontPointSize() > 0 ? f.fontPointSize() : 12.0;
            const double own =
                f.fontLetterSpacingType() == QFont::AbsoluteSpacing ? f.fontLetterSpacing() : 0.0;
            QTextCharFormat room;
            room.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            // A fifth of the size of the character the room follows, in 96-dpi units.
            room.setFontLetterSpacing(own + points / 5 * 96.0 / 72.0);
            cur.mergeCharFormat(room);
        }
        if (block == last)
            break;
    }
}

} // namespace wordproc
