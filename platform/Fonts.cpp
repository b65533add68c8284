#include "platform/Fonts.h"

#include <array>
#include <utility>

namespace platform {

namespace {

const QString kSans = QStringLiteral("Liberation Sans");
const QString kSerif = QStringLiteral("Liberation Serif");
const QString kMono = QStringLiteral("Liberation Mono");
const QString kLastSans = QStringLiteral("DejaVu Sans");
const QString kLastSerif = QStringLiteral("DejaVu Serif");
const QString kLastMono = QStringLiteral("DejaVu Sans Mono");

// Windows faces and the installed faces that share their metrics. A face asked for by its own name
// (Liberation Sans itself) needs no entry.
const std::array<std::pair<const char*, int>, 8> kWindowsFaces{{
    {"MS Sans Serif", 0},
    {"Microsoft Sans Serif", 0},
    {"Arial", 0},
    {"Helvetica", 0},
    {"Times New Roman", 1},
    {"Times", 1},
    {"Courier New", 2},
    {"Courier", 2},
}};

} // namespace

void useMetricCompatibleFonts() {
    static const bool done = [] {
        const QStringList stand_ins[] = {{kSans, kLastSans}, {kSerif, kLastSerif}, {kMono, kLastMono}};
        for (const auto& [face, kind] : kWindowsFaces)
            QFont::insertSubstitutions(QString::fromLatin1(face), stand_ins[kind]);
        for (const QStringList& s : stand_ins)
            QFont::insertSubstitution(s.front(), s.back());
        return true;
    }();
    (void)done;
}

QFont namedFont(const QString& family, qreal points) {
    useMetricCompatibleFonts();
    QFont font(family);
    font.setPointSizeF(points);
    return font;
}

QFont windowFont(const QString& family) {
    return namedFont(family, 8.25);
}

QFont applicationFont() {
    return namedFont(kLastSans, 8);
}

} // namespace platform
