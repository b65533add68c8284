// How tall a line is, as Word and LibreOffice set it rather than as Qt does: the line gap a face
// really gets, the heights of single and proportional lines scaled to match, and where the room of a
// line of set height starts.
#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"
#include "wordproc/PaintRules.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHash>
#include <QRawFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

namespace wordproc {

double lineRoomTop(const QTextBlock& block, int index) {
    const QTextLine line = block.layout()->lineAt(index);
    const double top = block.document()->documentLayout()->blockBoundingRect(block).top() + line.y();
    const QTextBlockFormat f = block.blockFormat();
    const double set = f.lineHeight() * kLayoutDpi / 96.0;
    if (f.lineHeightType() == QTextBlockFormat::FixedHeight)
        return top + line.ascent() + qMax(0.0, line.leading()) - set * 4 / 5;
    if (f.lineHeightType() == QTextBlockFormat::MinimumHeight)
        return top + line.height() - qMax(set, std::ceil(line.height()));
    return top;
}

double lineRoomHeight(const QTextBlock& block, int index) {
    const QTextLine line = block.layout()->lineAt(index);
    const QTextBlockFormat f = block.blockFormat();
    switch (f.lineHeightType()) {
    case QTextBlockFormat::FixedHeight:
        return f.lineHeight() * kLayoutDpi / 96.0;
    case QTextBlockFormat::ProportionalHeight:
        return line.height() * f.lineHeight() / 100;
    case QTextBlockFormat::MinimumHeight:
        return qMax(f.lineHeight() * kLayoutDpi / 96.0, std::ceil(line.height()));
    default:
        return line.height();
    }
}

namespace {

// A face's line as the common word processors take it, in ems: the gap between lines (NaN where Qt's own
// stands) and the height of the text above the baseline (NaN where Qt's ascent stands).
struct WordLine {
    double gap = std::nan("");
    double ascent = std::nan("");
    // The part of the line above the baseline that the face asks for beside others on one line: its
    // header's ascent and line gap together (NaN where the header does not count).
    double top = std::nan("");
    // The heights LibreOffice sums for a line of the face (NaN where the face has no such tables, a
    // Type 1 face): its Windows (or, where it asks for them, typographic) ascent and descent, and the
    // gap its header adds to those.
    double pitchAscent = std::nan(""), pitchDescent = std::nan(""), pitchGap = std::nan("");
};

WordLine wordLine(const QFont& font) {
    static std::mutex lock;
    static std::map<std::tuple<QString, int, bool>, WordLine> lines;
    const auto key = std::make_tuple(font.family(), int(font.weight()), font.italic());
    const std::lock_guard<std::mutex> held(lock);
    const auto it = lines.find(key);
    if (it != lines.end())
        return it->second;
    WordLine line;
    const QRawFont raw = QRawFont::fromFont(QFont(font, layoutDevice()));
    const QByteArray hhea = raw.fontTable("hhea"), os2 = raw.fontTable("OS/2");
    const auto u16 = [](const QByteArray& t, int at) {
        return int(quint8(t[at])) << 8 | int(quint8(t[at + 1]));
    };
    const auto s16 = [&](const QByteArray& t, int at) { return int(qint16(quint16(u16(t, at)))); };
    const double em = raw.unitsPerEm();
    const bool tables = raw.isValid() && em > 0 && hhea.size() >= 10 && os2.size() >= 78;
    const bool typographic = tables && (u16(os2, 62) & 0x80);
    if (typographic) {
        line.pitchAscent = s16(os2, 68) / em;
        line.pitchDescent = -s16(os2, 70) / em;
        line.pitchGap = s16(os2, 72) / em;
    } else if (tables) {
        const bool windows = u16(os2, 74) + u16(os2, 76) > 0;
        const int ascent = windows ? u16(os2, 74) : s16(hhea, 4);
        const int descent = windows ? u16(os2, 76) : -s16(hhea, 6);
        line.pitchAscent = ascent / em;
        line.pitchDescent = descent / em;
        line.pitchGap = (s16(hhea, 4) - s16(hhea, 6) + s16(hhea, 8) - ascent - descent) / em;
    }
    // A symbol font (its code pages say Symbol) adds no line gap in LibreOffice: an OpenSymbol bullet
    // larger than its paragraph's text makes the line as deep as the bullet's descent, no taller.
    const bool symbol = tables && os2.size() >= 82 && (u16(os2, 78) & 0x8000);
    if (symbol) {
        line.pitchGap = 0;
        line.gap = 0;
        lines.emplace(key, line);
        return line;
    }
    // Fonts that ask for their typographic metrics get them from Qt as well.
    if (tables && !typographic) {
        const int header = s16(hhea, 4) - s16(hhea, 6) + s16(hhea, 8);
        const int windows = u16(os2, 74) + u16(os2, 76);
        // A face whose Windows heights pass its header's (the URW faces) is set at the header's:
        // LibreOffice's lines of it are that much closer, the gap negative. Its text then stands as high
        // as the header's ascent and line gap together, nearer the line's top than Qt's Windows ascent.
        if (windows > 0)
            line.gap = double(header - windows) / em;
        line.top = double(s16(hhea, 4) + s16(hhea, 8)) / em;
        if (windows > header)
            line.ascent = double(s16(hhea, 4) + s16(hhea, 8)) / em;
    }
    lines.emplace(key, line);
    return line;
}

double pixelSize(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * kLayoutDpi / 72.0;
}

} // namespace

double wordLeading(const QFont& font, const QFontMetricsF& metrics) {
    const double gap = wordLine(font).gap;
    if (std::isnan(gap))
        return metrics.leading();
    return qMin(metrics.leading(), gap * pixelSize(font));
}

double wordAscent(const QFont& font, const QFontMetricsF& metrics) {
    const double ascent = wordLine(font).ascent;
    if (std::isnan(ascent))
        return metrics.ascent();
    return qMin(metrics.ascent(), ascent * pixelSize(font));
}

namespace {

// The height of a single-spaced line of `font` as LibreOffice sets it (layout pixels): whole twips.
double wordPitch(const QFont& font, const QFontMetricsF& metrics) {
    const WordLine line = wordLine(font);
    const double twips = pixelSize(font) * 1440 / kLayoutDpi;
    const auto half = [](double x) { return std::floor(x + 0.5); };
    double pitch = 0;
    if (std::isnan(line.pitchAscent)) {
        pitch = half((metrics.ascent() + metrics.descent() + wordLeading(font, metrics)) * 1440 / kLayoutDpi);
    } else if (line.pitchGap < 0) {
        // A face whose Windows heights pass its header's (the URW faces) LibreOffice sets at the
        // header's height.
        pitch = half((line.pitchAscent + line.pitchDescent + line.pitchGap) * twips);
    } else {
        // LibreOffice takes the heights in sixths of a twip, then the text's height and the gap each to
        // the nearest twip: Liberation Serif at 10 points is 231 twips, where its exact height is 229.98.
        const double ascent = half(line.pitchAscent * twips * 6),
                     descent = half(line.pitchDescent * twips * 6);
        pitch = half((ascent + descent) / 6) + half(half(line.pitchGap * twips * 6) / 6);
    }
    return pitch * kLayoutDpi / 1440;
}

} // namespace

double wordTop(const QFont& font, const QFontMetricsF& metrics) {
    const double top = wordLine(font).top;
    if (std::isnan(top))
        return metrics.ascent() + qMax(0.0, wordLeading(font, metrics));
    return top * pixelSize(font);
}

namespace {

struct FaceHeights {
    double ascent, descent, leading, qtLeading, textAscent, top, pitch;
};

// A merge sets the same few fonts in every letter: their heights are looked up once per thread, not
// once per paragraph of every letter.
const FaceHeights& faceHeights(const QFont& font) {
    thread_local QHash<QFont, FaceHeights> known;
    auto it = known.constFind(font);
    if (it == known.constEnd()) {
        // Bounded, for a program that opens one template after another all day.
        if (known.size() >= 4096)
            known.clear();
        const QFontMetricsF m(font, layoutDevice());
        it = known.insert(font, FaceHeights{m.ascent(), m.descent(), wordLeading(font, m), m.leading(),
                                            wordAscent(font, m), wordTop(font, m), wordPitch(font, m)});
    }
    return *it;
}

// Whether LibreOffice sets `c` in a paragraph's Asian font rather than in its Western one.
bool isAsian(char32_t c) {
    return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xA960 && c <= 0xA97F) ||
           (c >= 0xAC00 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// The characters of a piece of text that its font lacks, which Qt draws from another face.
struct Lent {
    bool own = false;   // it has characters other than East Asian ones and blanks
    bool asian = false; // it has East Asian characters its font lacks
    int lent = 0;       // how many characters its font lacks
    int shown = 0;      // how many characters it has, blanks aside
};

Lent lentCharacters(const QString& text, const QFont& font) {
    Lent lent;
    std::optional<QRawFont> raw;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        if (QChar::isSpace(c) || c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            continue;
        ++lent.shown;
        const bool asian = isAsian(c);
        lent.own = lent.own || !asian;
        // Latin letters are taken as given: every face has them.
        if (c < 0x80)
            continue;
        if (!raw)
            raw = QRawFont::fromFont(QFont(font, layoutDevice()));
        if (!raw->supportsCharacter(uint(c))) {
            ++lent.lent;
            lent.asian = lent.asian || asian;
        }
    }
    return lent;
}

// Qt's heights of a line of `text` in `font` (ascent, descent, gap): a line takes those of each face it
// borrows characters from as well.
std::array<double, 3> qtLineHeights(const QString& text, const QFont& font) {
    QTextLayout probe(text, font, layoutDevice());
    probe.beginLayout();
    QTextLine line = probe.createLine();
    line.setLineWidth(1e7);
    probe.endLayout();
    return {line.ascent(), line.descent(), line.leading()};
}

} // namespace

// Whether the block's text surely fits on one line: its pieces' widths, a tab taken as a default tab
// stop, short of the room between its indents by a tenth.
bool oneLine(const QTextBlock& block) {
    const QTextDocument* doc = block.document();
    const QTextBlockFormat f = block.blockFormat();
    const double room = doc->textWidth() - f.leftMargin() - f.rightMargin() - qMax(0.0, f.textIndent()) -
                        2 * doc->documentMargin();
    if (room <= 0 || doc->textWidth() <= 0)
        return false;
    const double tab = qMax(doc->defaultTextOption().tabStopDistance(), 0.5 * kLayoutDpi);
    double width = 0;
    for (auto it = block.begin(); !it.atEnd() && width < room; ++it) {
        const QString text = it.fragment().text();
        if (text.contains(QChar::LineSeparator))
            return false;
        const QFontMetricsF m(it.fragment().charFormat().font().resolve(doc->defaultFont()), layoutDevice());
        width += m.horizontalAdvance(text) + text.count(QLatin1Char('\t')) * tab;
    }
    return width < room * 0.9;
}

void lowerBlanks(QTextBlock block, const QTextBlock& last, const QTextCharFormat& own) {
    const QFont base = block.document()->defaultFont();
    const auto pitch = [&](const QTextCharFormat& c) { return faceHeights(c.font().resolve(base)).pitch; };
    const auto advance = [&](const QTextCharFormat& c) {
        return QFontMetricsF(c.font().resolve(base), layoutDevice()).horizontalAdvance(QLatin1Char(' '));
    };
    for (; block.isValid(); block = block.next()) {
        struct Piece {
            int position, length;
            QTextCharFormat format;
            bool blank;
        };
        std::vector<Piece> pieces;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment piece = it.fragment();
            const QString text = piece.text();
            const bool blank =
                !piece.charFormat().isImageFormat() && std::all_of(text.begin(), text.end(), [](QChar c) {
                    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == kBreakHere;
                });
            pieces.push_back(Piece{piece.position(), piece.length(), piece.charFormat(), blank});
        }
        const auto isText = [](const Piece& p) { return !p.blank && !p.format.isImageFormat(); };
        for (auto it = pieces.begin(); it != pieces.end(); ++it) {
            if (!it->blank)
                continue;
            // The text beside the blanks is on their line but where a line breaks at them: its font
            // stands in for theirs. Blanks alone in their paragraph are as tall as its own font.
            const auto before = std::find_if(std::make_reverse_iterator(it), pieces.rend(), isText);
            const auto after = std::find_if(it, pieces.end(), isText);
            const QTextCharFormat& stand = before != pieces.rend() ? before->format
                                           : after != pieces.end() ? after->format
                                                                   : own;
            const bool alone = before == pieces.rend() && after == pieces.end();
            if (alone ? pitch(stand) == pitch(it->format) : pitch(stand) >= pitch(it->format))
                continue;
            QTextCharFormat lower = it->format;
            lower.setFont(stand.font(), QTextCharFormat::FontPropertiesSpecifiedOnly);
            if (stand.hasProperty(kSmallCapsSizeProperty))
                lower.setProperty(kSmallCapsSizeProperty, stand.property(kSmallCapsSizeProperty));
            // Each space keeps its own width.
            const bool absolute = it->format.fontLetterSpacingType() == QFont::AbsoluteSpacing;
            const double spacing = absolute ? it->format.fontLetterSpacing() : 0.0;
            lower.setFontLetterSpacingType(QFont::AbsoluteSpacing);
            lower.setFontLetterSpacing(spacing + (advance(it->format) - advance(stand)) * 96.0 / kLayoutDpi);
            QTextCursor cursor(block);
            cursor.setPosition(it->position);
            cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
            cursor.setCharFormat(lower);
            // The break before the spaces that open a line has no width to keep.
            lower.setFontLetterSpacing(spacing);
            const QString text = cursor.selectedText();
            for (qsizetype i = text.indexOf(kBreakHere); i >= 0; i = text.indexOf(kBreakHere, i + 1)) {
                cursor.setPosition(it->position + int(i));
                cursor.setPosition(it->position + int(i) + 1, QTextCursor::KeepAnchor);
                cursor.setCharFormat(lower);
            }
        }
        if (block == last)
            break;
    }
}

double singleLineHeight(const QTextCharFormat& format, const QFont& base) {
    return faceHeights(format.font().resolve(base)).pitch;
}

double singleLineHeight(const QTextBlock& block) {
    const QFont base = block.document()->defaultFont();
    double tallest = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        if (!it.fragment().charFormat().isImageFormat())
            tallest = qMax(tallest, singleLineHeight(it.fragment().charFormat(), base));
    return tallest > 0 ? tallest : singleLineHeight(block.charFormat(), base);
}

void setExactLineHeights(QTextBlock block, const QTextBlock& last, bool fit, double grid,
                         HeightsBasis* basis) {
    for (; block.isValid(); block = block.next()) {
        QTextBlockFormat f = block.blockFormat();
        const int type = f.lineHeightType();
        const double asked = f.lineHeight();
        // A line is as tall as the tallest ascent, descent and leading of the text on it.
        double ascent = 0, descent = 0, leading = -1e9, qtLeading = 0, textAscent = 0, pitch = 0;
        // Faces of different heights on one line: it is as tall as the tallest of their tops over the
        // baseline and of their rooms below it, each taken apart, as LibreOffice sets them. Qt's
        // heights and gaps, taken apart, would make a line of regular and italic URW text a tenth of an
        // em taller than either.
        double top = 0, bottom = 0;
        // Qt's own line reaches the tallest of its faces' ascents and gaps together.
        double qtTop = 0;
        // Whether every piece of text has the same heights: then so has every line.
        bool uniform = true;
        bool boxed = false;
        // Whether raised or lowered text makes the line taller.
        bool raised = false;
        std::optional<std::array<double, 4>> heights;
        const QFont base = block.document()->defaultFont();
        // A box round letters sets its rule and space above and below them (`room`). Text raised or
        // lowered (`up` layout pixels) reaches that much further above or below its line in LibreOffice,
        // which makes the line taller by that much. Qt gives it no more room: a paragraph of one line
        // takes it, where the whole paragraph is that line. Measuring the paragraph's text costs more
        // than the rest of this together, and few paragraphs need it: it is measured once, when asked.
        std::optional<bool> measuredOneLine;
        const auto oneLined = [&] {
            if (!measuredOneLine)
                measuredOneLine = oneLine(block);
            return *measuredOneLine;
        };
        const auto take = [&](const QFont& font, double room = 0, double up = 0) {
            const FaceHeights& h = faceHeights(font);
            uniform = uniform && room == 0;
            boxed = boxed || room > 0;
            const std::array<double, 4> these{h.ascent, h.descent, h.leading, h.qtLeading};
            if (!heights)
                heights = these;
            for (size_t i = 0; i < these.size(); ++i)
                uniform = uniform && qAbs(these[i] - (*heights)[i]) < 0.01;
            if (up != 0 && oneLined()) {
                uniform = false;
                raised = true;
                top = qMax(top, h.top + up);
                bottom = qMax(bottom, h.ascent + h.descent + h.leading - h.top - up);
            }
            ascent = qMax(ascent, these[0]);
            textAscent = qMax(textAscent, h.textAscent + room);
            descent = qMax(descent, these[1]);
            leading = qMax(leading, these[2]);
            qtLeading = qMax(qtLeading, these[3]);
            pitch = qMax(pitch, h.pitch + 2 * room);
            top = qMax(top, h.top + room);
            qtTop = qMax(qtTop, h.ascent + h.qtLeading);
            bottom = qMax(bottom, h.ascent + h.descent + h.leading - h.top + room);
        };
        bool text = false, image = false;
        // How many characters each face sets, faces of the same heights taken as one.
        std::vector<std::pair<QFont, int>> faces;
        const auto count = [&](const QFont& font, int chars) {
            const FaceHeights& h = faceHeights(font);
            for (auto& [known, n] : faces) {
                const FaceHeights& k = faceHeights(known);
                if (qAbs(k.ascent - h.ascent) < 0.01 && qAbs(k.descent - h.descent) < 0.01 &&
                    qAbs(k.leading - h.leading) < 0.01 && qAbs(k.qtLeading - h.qtLeading) < 0.01 &&
                    qAbs(k.pitch - h.pitch) < 0.01) {
                    n += chars;
                    return;
                }
            }
            faces.emplace_back(font, chars);
        };
        // Whether a character comes from another face, whose heights Qt gives the line.
        bool foreign = false;
        // Qt's heights of the lines of the pieces that borrow characters (top: ascent and gap).
        double lentTop = 0, lentAscent = 0, lentDescent = 0;
        int lent = 0, shown = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (!it.fragment().charFormat().isImageFormat()) {
                // Small capitals' line is as tall as their full size.
                QFont font = it.fragment().charFormat().font().resolve(base);
                const double full = it.fragment().charFormat().doubleProperty(kSmallCapsSizeProperty);
                if (full > 0)
                    font.setPointSizeF(full);
                const QString piece = it.fragment().text();
                // A word joiner or a break, set tiny, takes no room.
                if (piece == QString(kWordJoiner) || piece == QString(kBreakHere))
                    continue;
                const Lent chars = lentCharacters(piece, font);
                // LibreOffice makes a line as tall as the fonts it asks for, never as the faces that lend
                // it the characters they lack. East Asian text is set in the paragraph's Asian font;
                // none of those Word names is at hand, and the face the system gives for that name and
                // the text's language stands for them (Droid Sans Fallback for Japanese), or the
                // system's sans-serif face where the template names none.
                Rule box;
                const QTextCharFormat c = it.fragment().charFormat();
                const double room = letterBoxOf(c, box) ? letterBoxRoom(box) : 0.0;
                const double up =
                    c.verticalAlignment() == QTextCharFormat::AlignNormal && c.baselineOffset() != 0
                        ? c.baselineOffset() / 100 * QFontMetricsF(font, layoutDevice()).height()
                        : 0.0;
                if (chars.own || !chars.asian) {
                    take(font, room, up);
                    count(font, chars.shown);
                }
                if (chars.asian) {
                    QFont asian(font);
                    const QString face = it.fragment().charFormat().stringProperty(kAsianFaceProperty);
                    asian.setFamilies({face.isEmpty() ? QStringLiteral("sans-serif") : face});
                    take(asian);
                }
                text = true;
                lent += chars.lent;
                shown += chars.shown;
                if (chars.lent > 0) {
                    foreign = true;
                    const auto [a, d, l] = qtLineHeights(piece, font);
                    lentTop = qMax(lentTop, a + l);
                    lentAscent = qMax(lentAscent, a);
                    lentDescent = qMax(lentDescent, d);
                }
            } else
                image = true;
        // Qt's heights of the borrowed faces count where the lines surely hold borrowed characters: a
        // paragraph of one line, or one mostly of them. Elsewhere the lines without them are set as the
        // paragraph's own fonts make them.
        const bool lentEverywhere = foreign && (lent * 2 >= shown || oneLined());
        if (foreign && !lentEverywhere)
            uniform = false;
        if (!text)
            take(block.charFormat().font().resolve(base));
        // Lines of at least a height in a paragraph of several lines whose faces differ only in their
        // heights (a list's number in another face than its text): LibreOffice sets each line at least
        // that high, as its own faces make it, and most lines hold only the face that sets most of the
        // text. Scaled alike by the height of a line of all its faces, as Qt scales the lines of a
        // paragraph, those would come out lower than asked; they are set as that face's lines are, and a
        // line that holds a taller face as well keeps Qt's taller height for it.
        bool mixed = false;
        if (type == QTextBlockFormat::MinimumHeight && !uniform && faces.size() > 1 && !image && !foreign &&
            !boxed && !raised && !oneLined()) {
            const auto most = std::max_element(
                faces.begin(), faces.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
            const QFont main = most->first;
            ascent = descent = textAscent = pitch = top = bottom = qtTop = qtLeading = 0;
            leading = -1e9;
            heights.reset();
            uniform = true;
            take(main);
            mixed = true;
        }
        // A line that holds a picture is as tall as the picture: a font's gap makes no difference to it.
        if (image)
            leading = qtLeading;
        else if (!uniform) {
            leading = top + bottom - ascent - descent;
            // Its text stands on the tallest top, which the gap painted above the text reaches down to.
            textAscent = top - qMax(0.0, qMin(qtTop - ascent, leading));
        }
        const double exact = ascent + descent + leading;
        const double rounded = std::ceil(
            image ? ascent + descent + qtLeading
                  : (lentEverywhere ? qMax(qtTop, lentTop) + qMax(descent, lentDescent) : qtTop + descent));
        const double scale = kLayoutDpi / 96.0;
        // Lines are as tall as LibreOffice sets them, in whole twips: of one face, its single height; of
        // several, the tallest of theirs, or their heights together where those come out taller. Spaced
        // lines are the whole twips below that many times the single height.
        const bool whole = !image && (!foreign || lentEverywhere) && pitch > 0;
        const double twips = whole ? qMax(std::round(pitch * 1440 / kLayoutDpi),
                                          uniform ? 0.0 : std::round(exact * 1440 / kLayoutDpi))
                                   : 0.0;
        // Qt keeps a line's height in 64ths of a pixel, cut down: the nearest 64th keeps a page of lines
        // from drifting up.
        const auto sixtyFourths = [](double height) { return (std::round(height * 64) + 0.001) / 64; };
        const double single = whole ? sixtyFourths(twips * kLayoutDpi / 1440) : exact;
        double spaced = 0;
        // Lines closer than single lose that share of the single height, cut down to whole twips.
        if (whole && type == QTextBlockFormat::ProportionalHeight)
            spaced = sixtyFourths((asked < 100 ? twips - std::floor(twips * (100 - asked) / 100 + 1e-6)
                                               : std::floor(twips * asked / 100 + 1e-6)) *
                                  kLayoutDpi / 1440);
        // Qt's minimum and proportional heights are of the rounded height: scaled by the same factor.
        const double factor =
            single > 0 && rounded > 0 && (whole || rounded > exact) ? single / rounded : 1.0;
        bool changed = false;
        if (image && type == QTextBlockFormat::ProportionalHeight && f.lineHeight() > 100) {
            // LibreOffice widens a line that holds a picture by the text's part of the spacing only: a
            // picture under 1.15 lines is not set 15% taller.
            f.setLineHeight((f.lineHeight() / 100 - 1) * exact / scale, QTextBlockFormat::LineDistanceHeight);
            changed = true;
        } else if (factor != 1 && type == QTextBlockFormat::SingleHeight && !image) {
            // The factor evens out Qt's rounding of the text's height; a picture's line scaled by it
            // would come out shorter by a share of the picture's height.
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (spaced > 0) {
            f.setLineHeight(100 * spaced / rounded, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor != 1 && type == QTextBlockFormat::ProportionalHeight && !image) {
            f.setLineHeight(f.lineHeight() * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor != 1 && type == QTextBlockFormat::MinimumHeight && !image &&
                   f.lineHeight() * scale < single) {
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        }
        if (leading < qtLeading) {
            f.setProperty(kLeadingProperty, leading);
            changed = true;
        }
        // Qt sets the text on the borrowed faces' taller ascent, where that is the line's.
        const double qtAscent = lentEverywhere ? qMax(ascent, lentAscent) : ascent;
        // A box round letters sets them lower by its room.
        double raise =
            !image && (raised || boxed || textAscent < qtAscent - 0.01) ? qtAscent - textAscent : 0.0;
        // LibreOffice takes the height lines closer than single lack off the top of their text.
        if (spaced > 0 && asked < 100 && grid <= 0) {
            raise += single - spaced;
            f.setProperty(kCloseLinesProperty, true);
            changed = true;
        }
        // Raised text over the line's own, or a box's room, stands the rest of the line that much lower.
        if (raise > 0 || ((raised || boxed) && raise < 0)) {
            f.setProperty(kRaiseProperty, raise);
            changed = true;
        }
        // Qt fits a proportional line on a page by its font's height, not by the smaller one it is set
        // to, and would push a last line that fits on to the next page. Lines of one height can be set
        // at a fixed height instead, which Qt fits by that height.
        const int now = f.lineHeightType();
        // LibreOffice fits a line spaced wider than single on a page by its single height: the spacing
        // below its text may reach past the page's foot. Qt fits a proportional line by its own height,
        // which is nearer that than the spaced height a fixed one is fitted by.
        const bool widened = type == QTextBlockFormat::ProportionalHeight && asked > 100 &&
                             now == QTextBlockFormat::ProportionalHeight &&
                             std::abs(rounded - single) < rounded * f.lineHeight() / 100 - single;
        // Faces of different heights in a paragraph of one line set that line's height alone.
        if (fit && factor != 1 && !image && !widened && !mixed &&
            (uniform || ((!foreign || lentEverywhere) && oneLined())) &&
            (now == QTextBlockFormat::SingleHeight || now == QTextBlockFormat::ProportionalHeight)) {
            const double percent = now == QTextBlockFormat::ProportionalHeight ? f.lineHeight() : 100.0;
            f.setLineHeight(rounded * percent / 100 / scale, QTextBlockFormat::FixedHeight);
            f.setProperty(kFittedHeightProperty, percent);
            changed = true;
        }
        // On a grid, LibreOffice gives a line as many of the grid's lines as its single height needs,
        // with its text in their middle, and a spaced line its spacing's share of that height on top.
        // Exact and least heights give way to the grid. The line is set at that fixed height, whatever
        // face Qt takes a character from, and painted at the top of its room, lowered to the middle.
        // A paragraph of pictures alone is one line as tall as its tallest picture, set at the top of its
        // room; a picture among text keeps its line's own height.
        double tallest = 0;
        bool pictures = image;
        for (auto it = block.begin(); image && !it.atEnd(); ++it) {
            const QTextCharFormat c = it.fragment().charFormat();
            pictures = pictures && c.isImageFormat();
            if (c.isImageFormat())
                tallest = qMax(tallest, c.toImageFormat().height() * scale);
        }
        if (grid > 0 && (!image || pictures)) {
            const double natural = image ? qMax(single, tallest + descent) : single;
            const double room = std::ceil(natural / grid - 1e-3) * grid;
            // A picture's line is widened by its text's part of the spacing only, as off the grid.
            const double more = type == QTextBlockFormat::ProportionalHeight && asked > 100
                                    ? (asked / 100 - 1) * single
                                    : 0.0;
            f.setLineHeight((room + more) / scale, QTextBlockFormat::FixedHeight);
            f.setProperty(kFittedHeightProperty, 100.0);
            f.setProperty(kRaiseProperty, pictures ? raise : raise - (room - natural) / 2);
            changed = true;
        }
        if (changed)
            QTextCursor(block).setBlockFormat(f);
        if (basis) {
            basis->lent = basis->lent || foreign;
            if (measuredOneLine)
                basis->oneLine = measuredOneLine;
        }
        if (block == last)
            break;
    }
}

} // namespace wordproc
