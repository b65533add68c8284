// How tall a line is, as Word and LibreOffice set it rather than as Qt does: the line gap a face
// really gets, the heights of single and proportional lines scaled to match, and where the room of a
// line of set height starts.
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QRawFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

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

namespace {

// A face's line as the common word processors take it, in ems: the gap between lines (NaN where Qt's own
// stands) and the height of the text above the baseline (NaN where Qt's ascent stands).
struct WordLine {
    double gap = std::nan("");
    double ascent = std::nan("");
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
    // Fonts that ask for their typographic metrics get them from Qt as well.
    if (raw.isValid() && em > 0 && hhea.size() >= 10 && os2.size() >= 78 && !(u16(os2, 62) & 0x80)) {
        const int header = s16(hhea, 4) - s16(hhea, 6) + s16(hhea, 8);
        const int windows = u16(os2, 74) + u16(os2, 76);
        // A face whose Windows heights pass its header's (the URW faces) is set at the header's:
        // LibreOffice's lines of it are that much closer, the gap negative. Its text then stands as high
        // as the header's ascent and line gap together, nearer the line's top than Qt's Windows ascent.
        if (windows > 0)
            line.gap = double(header - windows) / em;
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

void setExactLineHeights(QTextBlock block, const QTextBlock& last) {
    for (; block.isValid(); block = block.next()) {
        QTextBlockFormat f = block.blockFormat();
        const int type = f.lineHeightType();
        // A line is as tall as the tallest ascent, descent and leading of the text on it.
        double ascent = 0, descent = 0, leading = -1e9, qtLeading = 0, textAscent = 0;
        const QFont base = block.document()->defaultFont();
        const auto take = [&](const QTextCharFormat& c) {
            const QFont font = c.font().resolve(base);
            const QFontMetricsF m(font, layoutDevice());
            ascent = qMax(ascent, m.ascent());
            textAscent = qMax(textAscent, wordAscent(font, m));
            descent = qMax(descent, m.descent());
            leading = qMax(leading, wordLeading(font, m));
            qtLeading = qMax(qtLeading, m.leading());
        };
        bool text = false, image = false;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (!it.fragment().charFormat().isImageFormat()) {
                take(it.fragment().charFormat());
                text = true;
            } else
                image = true;
        if (!text)
            take(block.charFormat());
        // A line that holds a picture is as tall as the picture: a font's gap makes no difference to it.
        if (image)
            leading = qtLeading;
        const double exact = ascent + descent + leading;
        const double rounded = std::ceil(ascent + descent + qtLeading);
        // Qt's minimum and proportional heights are of the rounded height: scaled by the same factor.
        const double factor = exact > 0 && rounded > exact ? exact / rounded : 1.0;
        const double scale = kLayoutDpi / 96.0;
        bool changed = false;
        if (image && type == QTextBlockFormat::ProportionalHeight && f.lineHeight() > 100) {
            // LibreOffice widens a line that holds a picture by the text's part of the spacing only: a
            // picture under 1.15 lines is not set 15% taller.
            f.setLineHeight((f.lineHeight() / 100 - 1) * exact / scale, QTextBlockFormat::LineDistanceHeight);
            changed = true;
        } else if (factor < 1 && type == QTextBlockFormat::SingleHeight) {
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor < 1 && type == QTextBlockFormat::ProportionalHeight) {
            f.setLineHeight(f.lineHeight() * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        } else if (factor < 1 && type == QTextBlockFormat::MinimumHeight && f.lineHeight() * scale < exact) {
            f.setLineHeight(100 * factor, QTextBlockFormat::ProportionalHeight);
            changed = true;
        }
        if (leading < qtLeading) {
            f.setProperty(kLeadingProperty, leading);
            changed = true;
        }
        if (!image && textAscent < ascent - 0.01) {
            f.setProperty(kRaiseProperty, ascent - textAscent);
            changed = true;
        }
        if (changed)
            QTextCursor(block).setBlockFormat(f);
        if (block == last)
            break;
    }
}

} // namespace wordproc
