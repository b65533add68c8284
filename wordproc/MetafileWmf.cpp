// WMF playback: 16-bit records after a header, the placeable header in front when the file has one.

#include "wordproc/MetafilePlayer.h"

namespace wordproc::metafile {

namespace {

class WmfPlayer : public Player {
public:
    WmfPlayer(QImage& image, Bytes data) : Player(image), m_data(data) {}

    // The placeable header's box in logical units and its units to the inch; false when there is none.
    static bool placeable(Bytes data, QRectF& box, int& inch) {
        if (data.u32(0) != 0x9AC6CDD7u)
            return false;
        box = QRectF(QPointF(data.i16(6), data.i16(8)), QPointF(data.i16(10), data.i16(12)));
        inch = data.u16(14);
        return true;
    }

    void play() {
        qint64 at = 0;
        QRectF box;
        int inch = 0;
        if (placeable(m_data, box, inch)) {
            at = 22;
            if (box.width() != 0 && box.height() != 0) {
                m_dc.windowOrg = box.topLeft();
                m_dc.windowExt = box.size();
                m_dc.windowSet = true;
                if (inch > 0)
                    m_pixelsPerInch = std::abs(m_bounds.width() * inch / box.width());
            }
        }
        const int type = m_data.u16(at), headerWords = m_data.u16(at + 2);
        if ((type != 1 && type != 2) || headerWords != 9)
            return;
        const int objects = m_data.u16(at + 10);
        m_objects.resize(size_t(qMin(qMax(objects, 16), kMaxObjects)));
        m_hairline = qMax(1.0, m_pixelsPerInch / 96);
        at += 18;
        for (int n = 0; n < kMaxRecords && !stopped(); ++n) {
            const qint64 words = m_data.u32(at);
            const int function = m_data.u16(at + 4);
            if (words < 3 || !m_data.has(at, words * 2) || function == 0)
                return;
            record(function, m_data.sub(at + 6, words * 2 - 6));
            at += words * 2;
        }
    }

private:
    QTransform total() const override {
        QSizeF ext = m_dc.windowExt;
        if (!m_dc.windowSet || ext.width() == 0 || ext.height() == 0)
            ext = m_bounds.size();
        double sx = m_bounds.width() / ext.width(), sy = m_bounds.height() / ext.height();
        if (m_dc.mapMode == 7) { // isotropic: one scale both ways
            const double s = qMin(std::abs(sx), std::abs(sy));
            sx = std::copysign(s, sx);
            sy = std::copysign(s, sy);
        }
        return QTransform::fromTranslate(-m_dc.windowOrg.x(), -m_dc.windowOrg.y()) *
               QTransform::fromScale(sx, sy);
    }

    static QPointF point(Bytes p, qint64 at) { return QPointF(p.i16(at), p.i16(at + 2)); }
    // A rectangle stored bottom, right, top, left from `at`.
    static QRectF reversedRect(Bytes p, qint64 at) {
        return QRectF(QPointF(p.i16(at + 6), p.i16(at + 4)), QPointF(p.i16(at + 2), p.i16(at)));
    }

    std::vector<QPointF> points(Bytes p, qint64 at, qint64 count) {
        std::vector<QPointF> out;
        count = qBound<qint64>(0, count, qMax<qint64>(0, p.size() - at) / 4);
        out.reserve(size_t(count));
        for (qint64 i = 0; i < count; ++i)
            out.push_back(point(p, at + 4 * i));
        return out;
    }

    void create(const Object& o) {
        // An object takes the lowest free place in the table.
        while (m_free < m_objects.size() && m_objects[m_free].kind != Object::Empty)
            ++m_free;
        if (m_free < m_objects.size())
            m_objects[m_free] = o;
        else if (m_objects.size() < size_t(kMaxObjects))
            m_objects.push_back(o);
    }

    QString string(Bytes p, qint64 at, qint64 length) {
        length = qBound<qint64>(0, length, qMax<qint64>(0, p.size() - at));
        if (length <= 0)
            return {};
        QStringDecoder decoder = decoderFor(m_dc.font.charset);
        return decoder.decode(QByteArrayView(p.data() + at, length));
    }

    void record(int function, Bytes p) {
        switch (function) {
        case 0x0102:
            m_dc.opaque = p.u16(0) == 2;
            break; // SETBKMODE
        case 0x0103:
            m_dc.mapMode = p.u16(0);
            break; // SETMAPMODE
        case 0x0106:
            m_dc.winding = p.u16(0) == 2;
            break; // SETPOLYFILLMODE
        case 0x012E:
            m_dc.textAlign = p.u16(0);
            break; // SETTEXTALIGN
        case 0x0201:
            m_dc.backColor = colorRef(p.u32(0));
            break; // SETBKCOLOR
        case 0x0209:
            m_dc.textColor = colorRef(p.u32(0));
            break;   // SETTEXTCOLOR
        case 0x020B: // SETWINDOWORG
            m_dc.windowOrg = QPointF(p.i16(2), p.i16(0));
            break;
        case 0x020C: // SETWINDOWEXT
            if (p.i16(0) != 0 && p.i16(2) != 0) {
                m_dc.windowExt = QSizeF(p.i16(2), p.i16(0));
                m_dc.windowSet = true;
            }
            break;
        case 0x020F: // OFFSETWINDOWORG
            m_dc.windowOrg += QPointF(p.i16(2), p.i16(0));
            break;
        case 0x0410: { // SCALEWINDOWEXT
            const int yd = p.i16(0), yn = p.i16(2), xd = p.i16(4), xn = p.i16(6);
            if (xd != 0 && yd != 0 && xn != 0 && yn != 0) {
                const QSizeF ext(m_dc.windowExt.width() * xn / xd, m_dc.windowExt.height() * yn / yd);
                if (ext.width() != 0 && ext.height() != 0)
                    m_dc.windowExt = ext;
            }
            break;
        }
        case 0x001E:
            save();
            break; // SAVEDC
        case 0x0127:
            restore(p.i16(0));
            break; // RESTOREDC
        case 0x0416:
            intersectClip(reversedRect(p, 0));
            break;
        case 0x0415:
            excludeClip(reversedRect(p, 0));
            break;
        case 0x012C:
            clipTo({}, 5, true);
            break; // SELECTCLIPREGION: regions are not kept
        case 0x0214:
            moveTo(QPointF(p.i16(2), p.i16(0)));
            break; // MOVETO
        case 0x0213:
            lineTo(QPointF(p.i16(2), p.i16(0)));
            break;   // LINETO
        case 0x0325: // POLYLINE
        case 0x0324: // POLYGON
            polyline(points(p, 2, p.i16(0)), function == 0x0324, false);
            break;
        case 0x0538: { // POLYPOLYGON
            const qint64 count = qMin<qint64>(p.u16(0), (p.size() - 2) / 2);
            qint64 at = 2 + 2 * count;
            std::vector<std::vector<QPointF>> polygons;
            for (qint64 i = 0; i < count && at < p.size(); ++i) {
                const qint64 n = p.u16(2 + 2 * i);
                polygons.push_back(points(p, at, n));
                at += 4 * n;
            }
            polyPolygon(polygons, true);
            break;
        }
        case 0x041B:
            rectangle(reversedRect(p, 0));
            break;   // RECTANGLE
        case 0x061C: // ROUNDRECT
            roundRect(reversedRect(p, 4), p.i16(2), p.i16(0));
            break;
        case 0x0418:
            ellipse(reversedRect(p, 0));
            break;   // ELLIPSE
        case 0x0817: // ARC
        case 0x0830: // CHORD
        case 0x081A: // PIE
            arc(reversedRect(p, 8), point2(p, 4), point2(p, 0),
                function == 0x0817   ? 0
                : function == 0x0830 ? 1
                                     : 2);
            break;
        case 0x0521: { // TEXTOUT
            const int length = p.i16(0);
            const qint64 after = 2 + (qint64(qMax(0, length)) + 1) / 2 * 2;
            text(QPointF(p.i16(after + 2), p.i16(after)), string(p, 2, length), {}, 0, std::nullopt);
            break;
        }
        case 0x0A32: { // EXTTEXTOUT
            const QPointF at(p.i16(2), p.i16(0));
            const int length = qMax<int>(0, p.i16(4));
            const int options = p.u16(6);
            qint64 offset = 8;
            std::optional<QRectF> rect;
            if (options & 0x6) {
                rect = QRectF(QPointF(p.i16(8), p.i16(10)), QPointF(p.i16(12), p.i16(14)));
                offset += 8;
            }
            const QString s = string(p, offset, length);
            std::vector<double> dx;
            const qint64 dxAt = offset + (qint64(length) + 1) / 2 * 2;
            if (p.has(dxAt, 2LL * length) && length > 0 && s.size() == length)
                for (int i = 0; i < length; ++i)
                    dx.push_back(p.i16(dxAt + 2 * i));
            text(at, s, dx, options, rect);
            break;
        }
        case 0x02FA: { // CREATEPENINDIRECT
            Object o;
            o.kind = Object::PenObject;
            o.pen.style = p.u16(0);
            o.pen.width = p.i16(2);
            o.pen.color = colorRef(p.u32(6));
            create(o);
            break;
        }
        case 0x02FC: { // CREATEBRUSHINDIRECT
            Object o;
            o.kind = Object::BrushObject;
            o.brush.style = p.u16(0);
            o.brush.color = colorRef(p.u32(2));
            o.brush.hatch = p.u16(6);
            if (o.brush.style != Brush::Solid && o.brush.style != Brush::None &&
                o.brush.style != Brush::Hatched)
                o.brush.style = Brush::Solid;
            create(o);
            break;
        }
        case 0x0142: { // DIBCREATEPATTERNBRUSH
            Object o;
            o.kind = Object::BrushObject;
            const auto [info, bits] = splitPackedDib(p.sub(4, p.size() - 4));
            o.brush.pattern = decodeDib(info, bits);
            o.brush.style = o.brush.pattern.isNull() ? Brush::Solid : Brush::Pattern;
            o.brush.color = Qt::gray;
            create(o);
            break;
        }
        case 0x02FB: { // CREATEFONTINDIRECT
            Object o;
            o.kind = Object::FontObject;
            Font& f = o.font;
            f.height = p.i16(0);
            f.width = p.i16(2);
            f.escapement = p.i16(4);
            f.weight = p.i16(8);
            f.italic = p.u8(10);
            f.underline = p.u8(11);
            f.strike = p.u8(12);
            f.charset = p.u8(13);
            QByteArray face;
            for (qint64 i = 18; i < 18 + 32 && i < p.size() && p.u8(i); ++i)
                face += char(p.u8(i));
            f.face = decoderFor(f.charset == 2 ? 0 : f.charset).decode(face);
            create(o);
            break;
        }
        case 0x00F7: // CREATEPALETTE
        case 0x01F9: // CREATEPATTERNBRUSH
        case 0x06FF: // CREATEREGION
            create(Object{Object::Other, {}, {}, {}});
            break;
        case 0x012D: // SELECTOBJECT
            if (const Object* o = object(p.u16(0)))
                select(*o);
            break;
        case 0x01F0: // DELETEOBJECT
            if (Object* o = object(p.u16(0))) {
                *o = Object{};
                m_free = qMin(m_free, size_t(p.u16(0)));
            }
            break;
        case 0x061D: { // PATBLT
            const QRectF dest(p.i16(10), p.i16(8), p.i16(6), p.i16(4));
            blit(dest, {}, {}, p.u32(0));
            break;
        }
        case 0x0940:   // DIBBITBLT
        case 0x0B41: { // DIBSTRETCHBLT
            const bool stretch = function == 0x0B41;
            const qint64 words = p.size() / 2 + 3;
            const bool withBitmap = words != (function >> 8) + 3;
            const quint32 rop = p.u32(0);
            if (!withBitmap) {
                const qint64 at = stretch ? 14 : 10;
                blit(QRectF(p.i16(at + 6), p.i16(at + 4), p.i16(at + 2), p.i16(at)), {}, {}, rop);
                break;
            }
            QRectF src, dest;
            qint64 dibAt;
            if (stretch) {
                src = QRectF(p.i16(10), p.i16(8), p.i16(6), p.i16(4));
                dest = QRectF(p.i16(18), p.i16(16), p.i16(14), p.i16(12));
                dibAt = 20;
            } else {
                dest = QRectF(p.i16(14), p.i16(12), p.i16(10), p.i16(8));
                src = QRectF(p.i16(6), p.i16(4), dest.width(), dest.height());
                dibAt = 16;
            }
            const auto [info, bits] = splitPackedDib(p.sub(dibAt, p.size() - dibAt));
            drawDib(dest, info, bits, src, rop);
            break;
        }
        case 0x0F43: { // STRETCHDIB
            const QRectF src(p.i16(12), p.i16(10), p.i16(8), p.i16(6));
            const QRectF dest(p.i16(20), p.i16(18), p.i16(16), p.i16(14));
            const auto [info, bits] = splitPackedDib(p.sub(22, p.size() - 22));
            drawDib(dest, info, bits, src, p.u32(0));
            break;
        }
        case 0x0D33: { // SETDIBTODEV
            const QRectF dest(p.i16(16), p.i16(14), p.i16(12), p.i16(10));
            const auto [info, bits] = splitPackedDib(p.sub(18, p.size() - 18));
            drawDib(dest, info, bits, QRectF(p.i16(8), p.i16(6), dest.width(), dest.height()), 0x00CC0020);
            break;
        }
        default:
            break;
        }
    }

    static QPointF point2(Bytes p, qint64 at) { return QPointF(p.i16(at + 2), p.i16(at)); }

    void drawDib(QRectF dest, Bytes info, Bytes bits, QRectF src, quint32 rop) {
        const QImage bitmap = decodeDib(info, bits);
        if (bitmap.isNull())
            return;
        // The source rectangle counts rows from the bitmap's top as the picture shows it.
        blit(dest, bitmap, src.normalized(), rop);
    }

    Bytes m_data;
    size_t m_free = 0;
};

} // namespace

bool wmfPlaceable(Bytes data, QRectF& box, int& inch) {
    return WmfPlayer::placeable(data, box, inch);
}

void playWmf(QImage& image, Bytes data, std::vector<MetafileText>& texts) {
    WmfPlayer player(image, data);
    player.play();
    texts = std::move(player.texts());
}

} // namespace wordproc::metafile
