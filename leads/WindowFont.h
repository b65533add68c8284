#pragma once

#include <QFont>
#include <QStringList>

// The small sans-serif face the windows were laid out for, 8.25 points. `family` comes first; where it
// is not installed, metric-compatible faces take its place so that captions fit their twip-sized boxes.
inline QFont WindowFont(const QString& family = QStringLiteral("MS Sans Serif")) {
    QFont font;
    font.setFamilies({family, QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    return font;
}
