#pragma once

#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>

// Laid-out copies as the page tests look at them: painted sheets, the page a line stands on, and a
// one-page letter on US Letter with one-inch margins for the tests of where pictures and shapes land.
namespace sheets {

// Sheet `index` of `copy` painted at `dpi` on white, on its own paper.
inline QImage paint(const wordproc::PageCopy& copy, int index, const wordproc::PageSetup& page, double dpi) {
    using namespace wordproc;
    const PageSetup& paper = sheetPage(copy, index, page);
    QImage image(qRound(paper.widthTwips * dpi / 1440), qRound(paper.heightTwips * dpi / 1440),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(dpi / kLayoutDpi, dpi / kLayoutDpi);
    paintSheet(painter, copy, index, page);
    painter.end();
    return image;
}

// The page of `doc` (from 0) that the line holding `text` stands on; -1: none.
inline int pageOfText(const QTextDocument& doc, const QString& text) {
    using namespace wordproc;
    doc.documentLayout()->documentSize();
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const int at = b.text().indexOf(text);
        if (at < 0)
            continue;
        const QTextLine line = b.layout()->lineForTextPosition(at);
        return pageAt(lineRoomTop(b, line.lineNumber()), doc.pageSize().height());
    }
    return -1;
}

inline QByteArray letter(const QByteArray& body) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\paperw12240\\paperh15840\\margl1440"
           "\\margr1440\\margt1440\\margb1440 " +
           body + "\\par}";
}

struct Printed {
    std::shared_ptr<const wordproc::Template> t;
    wordproc::PageCopy copy;
};

// A template as it stands, without data.
inline Printed printTemplate(wordproc::Template t) {
    Printed p;
    p.t = std::make_shared<const wordproc::Template>(std::move(t));
    wordproc::Merger merger(p.t, nullptr);
    p.copy = merger.next();
    return p;
}

inline Printed print(const QByteArray& rtf, const QString& fileName = QStringLiteral("letter.rtf")) {
    return printTemplate(wordproc::readRtf(rtf, fileName));
}

constexpr double kDpi = 144;

inline QImage sheet(const Printed& p) {
    return paint(p.copy, 0, p.t->page, kDpi);
}

// The rectangle of pixels of colour `c` (give or take a little for smoothed edges).
inline QRect extentOf(const QImage& image, QColor c) {
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor p = image.pixelColor(x, y);
            if (p.alpha() > 250 && qAbs(p.red() - c.red()) < 8 && qAbs(p.green() - c.green()) < 8 &&
                qAbs(p.blue() - c.blue()) < 8)
                found |= QRect(x, y, 1, 1);
        }
    return found;
}

} // namespace sheets
