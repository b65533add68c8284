// Plays Windows metafiles back onto an image, with QPainter standing in for the Windows graphics calls
// the records stand for. Record layouts are those of the published WMF and EMF formats.

#include "wordproc/Metafile.h"

#include "wordproc/MetafilePlayer.h"

namespace wordproc {

QImage renderMetafile(const QByteArray& data, bool enhanced, QSize pixels) {
    if (pixels.width() <= 0 || pixels.height() <= 0)
        return {};
    const double area = double(pixels.width()) * pixels.height();
    if (area > double(kMaxMetafilePixels) || pixels.width() > 32767 || pixels.height() > 32767) {
        const double shrink = qMin(std::sqrt(double(kMaxMetafilePixels) / area),
                                   32767.0 / qMax(pixels.width(), pixels.height()));
        pixels = QSize(qMax(1, int(pixels.width() * shrink)), qMax(1, int(pixels.height() * shrink)));
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    const metafile::Bytes bytes(data.constData(), data.size());
    if (enhanced)
        metafile::playEmf(image, bytes);
    else
        metafile::playWmf(image, bytes);
    return image;
}

QSize metafileSizeTwips(const QByteArray& data, bool enhanced) {
    const metafile::Bytes bytes(data.constData(), data.size());
    const auto twips = [](double v) { return int(qBound(0.0, std::round(v), 1440.0 * 50)); };
    if (enhanced) {
        QRectF frame;
        if (!metafile::emfHeader(bytes, frame))
            return QSize(0, 0);
        // The frame includes its right and bottom edges.
        return QSize(twips((std::abs(frame.width()) + 1) * 1440 / 2540),
                     twips((std::abs(frame.height()) + 1) * 1440 / 2540));
    }
    QRectF box;
    int inch = 0;
    if (!metafile::wmfPlaceable(bytes, box, inch) || inch <= 0)
        return QSize(0, 0);
    return QSize(twips(std::abs(box.width()) * 1440 / inch), twips(std::abs(box.height()) * 1440 / inch));
}

} // namespace wordproc
