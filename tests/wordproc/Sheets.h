#pragma once

#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QImage>
#include <QPainter>

// A one-page letter on US Letter with one-inch margins, shown as it stands and painted as a sheet, for
// the tests that look at where pictures and shapes land.
namespace sheets {

inline QByteArray letter(const QByteArray& body) {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\paperw12240\\paperh15840\\margl1440"
           "\\margr1440\\margt1440\\margb1440 " +
           body + "\\par}";
}

struct Printed {
    std::shared_ptr<const wordproc::Template> t;
    wordproc::PageCopy copy;
};

inline Printed print(const QByteArray& rtf, const QString& fileName = QStringLiteral("letter.rtf")) {
    Printed p;
    p.t = std::make_shared<const wordproc::Template>(wordproc::readRtf(rtf, fileName));
    wordproc::Merger merger(p.t, nullptr);
    p.copy = merger.next();
    return p;
}

constexpr double kDpi = 144;

inline QImage sheet(const Printed& p) {
    const wordproc::PageSetup& pg = p.t->page;
    QImage image(qRound(pg.widthTwips * kDpi / 1440), qRound(pg.heightTwips * kDpi / 1440),
                 QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(kDpi / wordproc::kLayoutDpi, kDpi / wordproc::kLayoutDpi);
    wordproc::paintSheet(painter, p.copy, 0, pg);
    return image;
}

} // namespace sheets
