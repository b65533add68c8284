#pragma once

#include <QGlyphRun>
#include <QPaintDevice>
#include <QTextLayout>

// The glyphs `text` is set in, in `font`, laid out on one line for `device` (the screen's by default).
inline QList<quint32> glyphsOf(const QString& text, const QFont& font, QPaintDevice* device = nullptr) {
    QTextLayout layout(text, font, device);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    QList<quint32> glyphs;
    for (const QGlyphRun& run : layout.glyphRuns())
        glyphs += run.glyphIndexes();
    return glyphs;
}
