// Lines that fill their room to within a hair. Qt cuts each letter's advance down to a 64th of a layout
// pixel, so a long word or line is set a twip or two narrower than its face makes it; LibreOffice
// measures the text at the face's own advances, rounded to whole 720ths of an inch. A word that Qt just
// fits into a narrow cell is too wide there and breaks: such lines are made to break as there.

#include "wordproc/MergeFormats.h"
#include "wordproc/Pages.h"

#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextDocument>
#include <QTextLayout>
#include <cmath>

namespace wordproc {

namespace {

// How much wider the font's own advances make the glyphs of `runs` than Qt sets them, in layout pixels.
double cutFromAdvances(const QList<QGlyphRun>& runs) {
    constexpr double kFiner = 64;
    double cut = 0;
    for (const QGlyphRun& run : runs) {
        const QRawFont font = run.rawFont();
        if (!font.isValid() || font.pixelSize() <= 0)
            continue;
        QRawFont finer = font;
        finer.setPixelSize(font.pixelSize() * kFiner);
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> set = font.advancesForGlyphIndexes(glyphs);
        const QList<QPointF> own = finer.advancesForGlyphIndexes(glyphs);
        for (qsizetype i = 0; i < set.size() && i < own.size(); ++i)
            cut += own.at(i).x() / kFiner - set.at(i).x();
    }
    return cut;
}

// How much narrower (layout pixels) the line's paragraph must be for Qt to break the line where
// LibreOffice, finding its text too wide, breaks it; zero where LibreOffice keeps the line as it is.
double narrowingFor(const QTextLine& line, const QString& text, const QTextLayout& layout) {
    const double room = line.width(), taken = line.naturalTextWidth();
    int end = line.textStart() + line.textLength();
    while (end > line.textStart() && (text.at(end - 1).isSpace() || text.at(end - 1) == kBreakHere))
        --end;
    const int length = end - line.textStart();
    // A line that overflows already holds no more than Qt can set on it. One of several words is
    // left alone: LibreOffice's spaces are not the face's, and lines of words that Qt just fits are
    // as often kept there as broken.
    if (length <= 1 || taken > room)
        return 0;
    for (int i = line.textStart(); i < end; ++i)
        if (text.at(i).isSpace())
            return 0;
    // Each letter loses less than a 64th of a pixel; the rounding adds a twip at most.
    if (room - taken > length / 64.0 + twipsToLayout(1))
        return 0;
    const double own = taken + cutFromAdvances(layout.glyphRuns(line.textStart(), length));
    const double ownTwips = own * 1440 / kLayoutDpi;
    const double roomTwips = std::floor(room * 1440 / kLayoutDpi + 0.125);
    const double counted = 2 * std::round(ownTwips / 2);
    return counted > roomTwips ? room - taken + 1 / 64.0 : 0;
}

} // namespace

void breakLinesAsLibreOfficeFits(QTextDocument& doc) {
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        // Each narrowing lays the block out again; a few are enough for any line.
        for (int round = 0; round < 4; ++round) {
            layout->blockBoundingRect(b);
            const QTextLayout* lines = b.layout();
            if (!lines)
                break;
            const QString text = b.text();
            double narrower = 0;
            for (int i = 0; i < lines->lineCount() && narrower <= 0; ++i)
                narrower = narrowingFor(lines->lineAt(i), text, *lines);
            if (narrower <= 0)
                break;
            QTextCursor at(b);
            QTextBlockFormat f = b.blockFormat();
            f.setRightMargin(f.rightMargin() + narrower);
            at.setBlockFormat(f);
        }
    }
}

} // namespace wordproc
