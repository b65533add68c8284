// Plays Windows metafiles back onto an image, with QPainter standing in for the Windows graphics calls
// the records stand for. Record layouts are those of the published WMF and EMF formats.

#include "wordproc/Metafile.h"

#include "wordproc/MetafilePlayer.h"

#include <QDataStream>
#include <QPainter>

namespace wordproc {

namespace {

// The image's text entry that carries the metafile's text, as a QDataStream in Base64.
const QString kTextKey = QStringLiteral("quillmark-metafile-text");
constexpr quint32 kTextVersion = 1;

QString packText(const std::vector<MetafileText>& texts) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kTextVersion << quint32(texts.size());
    for (const MetafileText& t : texts) {
        out << t.place << t.clipped << t.clip << t.font << t.pixels << t.color << quint32(t.pieces.size());
        for (const MetafileText::Piece& p : t.pieces)
            out << p.at << p.text;
    }
    return QString::fromLatin1(bytes.toBase64());
}

} // namespace

void carryText(QImage& image, const std::vector<MetafileText>& texts) {
    if (!texts.empty())
        image.setText(kTextKey, packText(texts));
}

std::vector<MetafileText> metafileText(const QImage& image) {
    std::vector<MetafileText> texts;
    const QString packed = image.text(kTextKey);
    if (packed.isEmpty())
        return texts;
    const QByteArray bytes = QByteArray::fromBase64(packed.toLatin1());
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 version = 0, count = 0;
    in >> version >> count;
    if (version != kTextVersion)
        return texts;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        MetafileText t;
        quint32 pieces = 0;
        in >> t.place >> t.clipped >> t.clip >> t.font >> t.pixels >> t.color >> pieces;
        for (quint32 j = 0; j < pieces && in.status() == QDataStream::Ok; ++j) {
            MetafileText::Piece p;
            in >> p.at >> p.text;
            t.pieces.push_back(std::move(p));
        }
        if (in.status() == QDataStream::Ok)
            texts.push_back(std::move(t));
    }
    return texts;
}

QImage cropPicture(const QImage& image, const QRect& rows) {
    QImage part = image.copy(rows);
    std::vector<MetafileText> texts = metafileText(image);
    if (texts.empty())
        return part;
    QPainterPath kept;
    kept.addRect(QRectF(rows));
    const QTransform shift = QTransform::fromTranslate(-rows.left(), -rows.top());
    // Text across the cut is cut with the picture; text beyond it stays in a PDF, unseen, as the text
    // clipped at a row's foot does.
    for (MetafileText& t : texts) {
        t.clip = shift.map(t.clipped ? t.clip.intersected(kept) : kept);
        t.clipped = true;
        t.place = t.place * shift;
    }
    carryText(part, texts);
    return part;
}

void drawPictureText(QPainter& painter, const QRectF& rect, const QImage& image) {
    if (image.isNull() || image.text(kTextKey).isEmpty())
        return;
    const std::vector<MetafileText> texts = metafileText(image);
    const QTransform toPage = QTransform::fromTranslate(rect.left(), rect.top())
                                  .scale(rect.width() / image.width(), rect.height() / image.height());
    // A font's size is in points of the device painted on; the picture's sizes are its pixels.
    const double dpi =
        painter.device() && painter.device()->logicalDpiY() > 0 ? painter.device()->logicalDpiY() : 96;
    const QTransform base = painter.worldTransform();
    for (const MetafileText& t : texts) {
        painter.save();
        painter.setWorldTransform(toPage * base);
        if (t.clipped)
            painter.setClipPath(t.clip, Qt::IntersectClip);
        painter.setWorldTransform(t.place * toPage * base);
        QFont f = t.font;
        f.setPointSizeF(qMax(0.01, t.pixels * 72.0 / dpi));
        painter.setFont(f);
        painter.setPen(t.color);
        for (const MetafileText::Piece& p : t.pieces)
            painter.drawText(p.at, p.text);
        painter.restore();
    }
}

void drawPicture(QPainter& painter, const QRectF& rect, const QImage& image) {
    painter.drawImage(rect, image);
    drawPictureText(painter, rect, image);
}

namespace {

// An image of `pixels`, or of the largest size of the same shape the limits allow, transparent, with
// `play` drawing on it; null when the size is empty.
template <typename Play> QImage renderOnto(QSize pixels, Play play) {
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
    std::vector<MetafileText> texts;
    play(image, texts);
    carryText(image, texts);
    return image;
}

} // namespace

QImage renderMetafile(const QByteArray& data, bool enhanced, QSize pixels) {
    return renderOnto(pixels, [&](QImage& image, std::vector<MetafileText>& texts) {
        const metafile::Bytes bytes(data.constData(), data.size());
        if (enhanced)
            metafile::playEmf(image, bytes, texts);
        else
            metafile::playWmf(image, bytes, texts);
    });
}

QImage renderQuickDraw(const QByteArray& data, QSize pixels) {
    return renderOnto(pixels, [&](QImage& image, std::vector<MetafileText>& texts) {
        metafile::playPict(image, metafile::Bytes(data.constData(), data.size()), texts);
    });
}

QSize quickDrawSizeTwips(const QByteArray& data) {
    QRectF box;
    double perInch = 72;
    if (!metafile::pictBox(metafile::Bytes(data.constData(), data.size()), box, perInch))
        return QSize(0, 0);
    const auto twips = [&](double v) {
        return int(qBound(0.0, std::round(v * 1440 / perInch), 1440.0 * 50));
    };
    return QSize(twips(box.width()), twips(box.height()));
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
