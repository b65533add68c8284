#include "leads/ColumnFitter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <limits>

namespace {

const QString kBlank = QStringLiteral(" ");
const QString kEllipsis = QStringLiteral("...");
const QString kEllipsisBlank = QStringLiteral("... ");

// Widths are kept in the layout's own unit, 1/64 pixel, so that sums are exact.
constexpr qint32 kUnknown = std::numeric_limits<qint32>::min();
constexpr qint32 kReshaped = kUnknown + 1;

// Windows-1252 bytes 0x80-0x9F; 0 where the code page leaves a byte undefined.
constexpr std::array<char16_t, 32> kHighPositions{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Code-page position of a printable character, -1 for anything else (controls, other scripts).
int slotOf(char16_t c) {
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff))
        return c;
    if (c < 0x100)
        return -1;
    for (size_t i = 0; i < kHighPositions.size(); ++i)
        if (kHighPositions[i] == c)
            return int(0x80 + i);
    return -1;
}

QChar charOf(int slot) {
    return slot >= 0x80 && slot < 0xa0 ? QChar(kHighPositions[size_t(slot - 0x80)]) : QChar(char16_t(slot));
}

// The layout rounds its width to whole pixels half up.
int pixels(qint64 width64) {
    return int((width64 + 32) >> 6);
}

int twips(qint64 width64) {
    return pixels(width64) * 15;
}

} // namespace

class ColumnFitter::Widths {
public:
    // A glyph and the face it comes from; a layout lists its glyphs grouped by face, so a text's
    // glyphs are compared as a sorted set.
    using Glyph = std::pair<QString, quint32>;

    explicit Widths(const QFont& font) : m_font(font), m_metrics(font), m_pairs(256 * 256, kUnknown) {
        m_advances.fill(kUnknown);
    }

    qint32 advance(int slot) {
        qint32& known = m_advances[size_t(slot)];
        if (known == kUnknown)
            known = measure(QString(charOf(slot)));
        return known;
    }

    // What the layout of the two neighbours adds to their own advances, or kReshaped when it draws
    // them with other glyphs than each alone, which a sum of pairs cannot follow.
    qint32 between(int first, int second) {
        qint32& known = m_pairs[size_t(first * 256 + second)];
        if (known == kUnknown) {
            const QString pair = QString(charOf(first)) + charOf(second);
            QList<Glyph> apart = glyphs(first) + glyphs(second);
            std::sort(apart.begin(), apart.end());
            if (glyphs(pair) != apart)
                known = kReshaped;
            else
                known = measure(pair) - advance(first) - advance(second);
        }
        return known;
    }

private:
    qint32 measure(const QString& text) const {
        return qint32(qRound64(m_metrics.horizontalAdvance(text) * 64));
    }

    QList<Glyph> glyphs(const QString& text) const {
        QTextLayout layout(text, m_font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        QList<Glyph> all;
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QString face = run.rawFont().familyName() + QLatin1Char('/') + run.rawFont().styleName();
            for (quint32 index : run.glyphIndexes())
                all.emplace_back(face, index);
        }
        std::sort(all.begin(), all.end());
        return all;
    }

    const QList<Glyph>& glyphs(int slot) {
        if (!m_haveGlyphs[size_t(slot)]) {
            m_glyphs[size_t(slot)] = glyphs(QString(charOf(slot)));
            m_haveGlyphs[size_t(slot)] = true;
        }
        return m_glyphs[size_t(slot)];
    }

    QFont m_font;
    QFontMetricsF m_metrics;
    std::array<qint32, 256> m_advances;
    std::vector<qint32> m_pairs;
    std::array<QList<Glyph>, 256> m_glyphs;
    std::array<bool, 256> m_haveGlyphs{};
};

namespace {
std::shared_ptr<ColumnFitter::Widths> widthsFor(const QFont& font) {
    // One table per font for the whole run: a list is built again on every change of date, filter or
    // sort, and the pairs met once are met again.
    static QHash<QString, std::shared_ptr<ColumnFitter::Widths>> tables;
    const QString key = font.toString() + QLatin1Char('|') + font.families().join(QLatin1Char(','));
    auto& table = tables[key];
    if (!table)
        table = std::make_shared<ColumnFitter::Widths>(font);
    return table;
}
} // namespace

ColumnFitter::ColumnFitter(const QFont& font) : m_metrics(font), m_widths(widthsFor(font)) {}

bool ColumnFitter::addUp(QStringView text) const {
    Widths& widths = *m_widths;
    const qsizetype n = text.size();
    m_slots.resize(size_t(n));
    m_prefix.resize(size_t(n) + 1);
    m_prefix[0] = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const int slot = slotOf(text[i].unicode());
        if (slot < 0)
            return false;
        m_slots[size_t(i)] = slot;
        qint64 step = widths.advance(slot);
        if (i > 0) {
            const qint32 kern = widths.between(m_slots[size_t(i - 1)], slot);
            if (kern == kReshaped)
                return false;
            step += kern;
        }
        m_prefix[size_t(i + 1)] = m_prefix[size_t(i)] + step;
    }
    return true;
}

int ColumnFitter::widthPixels(QStringView text) const {
    if (!addUp(text))
        return m_metrics.horizontalAdvance(text.toString());
    return pixels(m_prefix[size_t(text.size())]);
}

QString ColumnFitter::fit(const QString& text, int width) const {
    if (!addUp(text))
        return fitMeasured(text, width);
    Widths& widths = *m_widths;
    const qsizetype n = text.size();
    const int blank = ' ';
    const int dot = '.';
    qint64 whole = m_prefix[size_t(n)] + widths.advance(blank);
    if (n > 0) {
        const qint32 kern = widths.between(m_slots[size_t(n - 1)], blank);
        if (kern == kReshaped)
            return fitMeasured(text, width);
        whole += kern;
    }
    if (twips(whole) <= width)
        return text;

    const qint32 dots = widths.between(dot, dot);
    const qint32 dotBlank = widths.between(dot, blank);
    if (dots == kReshaped || dotBlank == kReshaped)
        return fitMeasured(text, width);
    const qint64 tail = 3 * qint64(widths.advance(dot)) + 2 * qint64(dots) + dotBlank + widths.advance(blank);
    // Characters come off the end one at a time, so the first beginning that fits, from the longest
    // down, is the one kept: kerning can make a longer beginning narrower than a shorter one.
    for (qsizetype keep = n - 1; keep > 0; --keep) {
        const qint32 kern = widths.between(m_slots[size_t(keep - 1)], dot);
        if (kern == kReshaped)
            return fitMeasured(text, width);
        if (twips(m_prefix[size_t(keep)] + kern + tail) <= width)
            return text.left(keep) + kEllipsis;
    }
    return kEllipsis;
}

QString ColumnFitter::fitMeasured(const QString& text, int width) const {
    ++m_laidOutInFull;
    if (widthTwips(text + kBlank) <= width)
        return text;
    QString shortened = text;
    do
        shortened.chop(1);
    while (!shortened.isEmpty() && widthTwips(shortened + kEllipsisBlank) > width);
    return shortened + kEllipsis;
}
