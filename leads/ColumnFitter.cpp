#include "leads/ColumnFitter.h"

#include <cmath>

namespace {
const QString kBlank = QStringLiteral(" ");
const QString kEllipsis = QStringLiteral("...");
const QString kEllipsisBlank = QStringLiteral("... ");
} // namespace

ColumnFitter::ColumnFitter(const QFont& font) : m_metrics(font), m_metricsF(font) {
    m_advances.fill(-1);
    // Pairs that kern or join in many faces; if the layout of any differs from the added advances, every
    // text is measured in full.
    static const char* const samples[] = {"AVAWAYATAVTOLTLYPAWAVYT", "To Ty Va We Yo", "fi fl ff ffi ffl",
                                          "O'BRIEN, J. \"JR\" #12-B",
                                          "\xc9LO\xcfSE M\xdcLLER \xe6\xf8\xe5\xdf"};
    m_addAdvances = true;
    for (const char* sample : samples) {
        const QString text = QString::fromLatin1(sample);
        qreal sum = 0;
        for (QChar c : text)
            sum += advance(c);
        if (qRound(sum) != m_metrics.horizontalAdvance(text)) {
            m_addAdvances = false;
            break;
        }
    }
}

qreal ColumnFitter::advance(QChar c) const {
    qreal& cached = m_advances[c.unicode() & 0xff];
    if (cached < 0)
        cached = m_metricsF.horizontalAdvance(c);
    return cached;
}

bool ColumnFitter::plain(const QString& text) const {
    if (!m_addAdvances)
        return false;
    for (QChar c : text)
        if (c.unicode() > 0xff || !c.isPrint())
            return false;
    return true;
}

QString ColumnFitter::fit(const QString& text, int width) const {
    if (!plain(text))
        return fitMeasured(text, width);
    qreal total = 0;
    for (QChar c : text)
        total += advance(c);
    if (qRound(total + advance(QLatin1Char(' '))) * 15 <= width)
        return text;
    // The longest beginning that fits with "... " behind it: what removing the last character until
    // it fits arrives at, since every character only adds width.
    const qreal tail = 3 * advance(QLatin1Char('.')) + advance(QLatin1Char(' '));
    qreal sum = 0;
    qsizetype keep = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        sum += advance(text[i]);
        if (qRound(sum + tail) * 15 > width)
            break;
        keep = i + 1;
    }
    return text.left(keep) + kEllipsis;
}

QString ColumnFitter::fitMeasured(const QString& text, int width) const {
    if (widthTwips(text + kBlank) <= width)
        return text;
    QString shortened = text;
    do
        shortened.chop(1);
    while (!shortened.isEmpty() && widthTwips(shortened + kEllipsisBlank) > width);
    return shortened + kEllipsis;
}
