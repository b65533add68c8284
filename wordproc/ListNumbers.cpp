#include "wordproc/ListNumbers.h"

#include <array>

namespace wordproc {

namespace {

QString roman(int n, bool upper) {
    if (n <= 0 || n >= 4000)
        return QString::number(n);
    static const std::array<std::pair<int, const char*>, 13> parts{{{1000, "m"},
                                                                    {900, "cm"},
                                                                    {500, "d"},
                                                                    {400, "cd"},
                                                                    {100, "c"},
                                                                    {90, "xc"},
                                                                    {50, "l"},
                                                                    {40, "xl"},
                                                                    {10, "x"},
                                                                    {9, "ix"},
                                                                    {5, "v"},
                                                                    {4, "iv"},
                                                                    {1, "i"}}};
    QString out;
    for (const auto& [value, letters] : parts)
        while (n >= value) {
            out += QLatin1String(letters);
            n -= value;
        }
    return upper ? out.toUpper() : out;
}

} // namespace

QString listNumberText(int n, const QString& format) {
    if (format == QLatin1String("lowerLetter") || format == QLatin1String("upperLetter")) {
        // a..z, then aa..zz, and so on, as Word counts.
        if (n <= 0)
            return QString::number(n);
        const QChar letter = QChar(u'a' + (n - 1) % 26);
        QString s(qMin(1 + (n - 1) / 26, 50), letter);
        return format == QLatin1String("upperLetter") ? s.toUpper() : s;
    }
    if (format == QLatin1String("lowerRoman"))
        return roman(n, false);
    if (format == QLatin1String("upperRoman"))
        return roman(n, true);
    if (format == QLatin1String("decimalZero"))
        return n < 10 && n >= 0 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
    // Padded with zeros to a width of three to five digits (the .docx reader's name for Word 2010's
    // "001, 002, 003, ..." and the like).
    if (format.startsWith(QLatin1String("decimalZero")) && format.size() == 12 && n >= 0)
        return QString::number(n).rightJustified(qBound(3, format.back().digitValue(), 5), QLatin1Char('0'));
    if (format == QLatin1String("none"))
        return {};
    if (format == QLatin1String("ordinal")) {
        const int t = n % 100, u = n % 10;
        const char* suffix = t >= 11 && t <= 13 ? "th" : u == 1 ? "st" : u == 2 ? "nd" : u == 3 ? "rd" : "th";
        return QString::number(n) + QLatin1String(suffix);
    }
    return QString::number(n);
}

} // namespace wordproc
