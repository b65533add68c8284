// EMF playback: 32-bit records, a header first that says how large the picture is. EMF+ records, which
// hide in EMF comments, are passed over for the plain EMF records drawn beside them.

#include "wordproc/MetafilePlayer.h"

namespace wordproc::metafile {

namespace {

class EmfPlayer : public Player {
public:
    EmfPlayer(QImage& image, Bytes data) : Player(image), m_data(data) {}

    // The header's frame in hundredths of a millimetre; false when the data is no EMF.
    static bool header(Bytes data, QRectF& frame) {
        if (data.u32(0) != 1 || data.u32(40) != 0x464D4520u || data.u32(4) < 88)
            return false;
        frame = QRectF(QPointF(data.i32(24), data.i32(28)), QPointF(data.i32(32), data.i32(36)));
        return true;
    }

    void play() {
        QRectF frame;
        if (!header(m_data, frame))
            return;
        const QRectF bounds(QPointF(m_data.i32(8), m_data.i32(12)),
                            QPointF(m_data.i32(16) + 1, m_data.i32(20) + 1));
        const double deviceX = m_data.i32(72), deviceY = m_data.i32(76);
        const double mmX = m_data.i32(80), mmY = m_data.i32(84);
        // Reference device pixels to the millimetre.
        m_perMmX = deviceX > 0 && mmX > 0 ? deviceX / mmX : 96 / 25.4;
        m_perMmY = deviceY > 0 && mmY > 0 ? deviceY / mmY : 96 / 25.4;
        QRectF device(frame.left() * m_perMmX / 100, frame.top() * m_perMmY / 100,
                      (frame.width() + 1) * m_perMmX / 100, (frame.height() + 1) * m_perMmY / 100);
        if (!(device.width() > 0 && device.height() > 0))
            device = bounds;
        if (!(device.width() > 0 && device.height() > 0))
            return;
        m_toImage =
            QTransform::fromTranslate(-device.left(), -device.top()) *
            QTransform::fromScale(m_bounds.width() / device.width(), m_bounds.height() / device.height());
        m_pixelsPerInch = m_bounds.width() / device.width() * m_perMmX * 25.4;
        m_hairline = qMax(1.0, m_bounds.width() / device.width());
        m_objects.resize(size_t(qBound(1, int(m_data.u16(56)), kMaxObjects)));
        qint64 at = 0;
        for (int n = 0; n < kMaxRecords && !stopped(); ++n) {
            const quint32 type = m_data.u32(at);
            const qint64 size = m_data.u32(at + 4);
            if (size < 8 || size % 4 || !m_data.has(at, size) || type == 14)
                return;
            record(type, m_data.sub(at, size));
            at += size;
        }
    }

private:
    QTransform page() const {
        const Dc& d = m_dc;
        double sx = 1, sy = 1;
        double unitMm = 0;
        switch (d.mapMode) {
        case 2:
            unitMm = 0.1;
            break;
        case 3:
            unitMm = 0.01;
            break;
        case 4:
            unitMm = 0.254;
            break;
        case 5:
            unitMm = 0.0254;
            break;
        case 6:
            unitMm = 25.4 / 1440;
            break;
        case 7:
        case 8:
            if (d.windowExt.width() != 0 && d.windowExt.height() != 0) {
                sx = d.viewportExt.width() / d.windowExt.width();
                sy = d.viewportExt.height() / d.windowExt.height();
                if (d.mapMode == 7) {
                    const double s = qMin(std::abs(sx), std::abs(sy));
                    sx = std::copysign(s, sx);
                    sy = std::copysign(s, sy);
                }
            }
            break;
        default:
            break;
        }
        if (unitMm > 0) {
            sx = unitMm * m_perMmX;
            sy = -unitMm * m_perMmY;
        }
        return QTransform::fromTranslate(-d.windowOrg.x(), -d.windowOrg.y()) * QTransform::fromScale(sx, sy) *
               QTransform::fromTranslate(d.viewportOrg.x(), d.viewportOrg.y());
    }

    QTransform total() const override { return m_dc.world * page() * m_toImage; }

    static QPointF pointL(Bytes p, qint64 at) { return QPointF(p.i32(at), p.i32(at + 4)); }
    static QRectF rectL(Bytes p, qint64 at) { return QRectF(pointL(p, at), pointL(p, at + 8)); }

    static std::vector<QPointF> points(Bytes p, qint64 at, qint64 count, bool small) {
        std::vector<QPointF> out;
        const int size = small ? 4 : 8;
        count = qBound<qint64>(0, count, qMax<qint64>(0, p.size() - at) / size);
        out.reserve(size_t(count));
        for (qint64 i = 0; i < count; ++i)
            out.push_back(small ? QPointF(p.i16(at + 4 * i), p.i16(at + 4 * i + 2)) : pointL(p, at + 8 * i));
        return out;
    }

    static std::optional<QTransform> xform(Bytes p, qint64 at) {
        float v[6];
        for (int i = 0; i < 6; ++i) {
            v[i] = p.f32(at + 4 * i);
            if (!std::isfinite(v[i]) || std::abs(v[i]) > 1e7f)
                return std::nullopt;
        }
        return QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
    }

    Object* slot(quint32 index) {
        if (index >= m_objects.size() && index < quint32(kMaxObjects))
            m_objects.resize(index + 1);
        return object(index);
    }

    // The bitmap a record holds at its offsets.
    QImage bitmap(Bytes p, qint64 infoAt, qint64 bitsAt, bool alpha = false) {
        const qint64 offInfo = p.u32(infoAt), sizeInfo = p.u32(infoAt + 4);
        const qint64 offBits = p.u32(bitsAt), sizeBits = p.u32(bitsAt + 4);
        if (sizeInfo == 0 || !p.has(offInfo, sizeInfo) || !p.has(offBits, 0))
            return {};
        return decodeDib(p.sub(offInfo, sizeInfo), p.sub(offBits, sizeBits), alpha);
    }

    void polyPoly(Bytes p, bool small, bool closed) {
        const qint64 count = qMin<qint64>(p.u32(24), (p.size() - 32) / 4);
        qint64 at = 32 + 4 * qMax<qint64>(0, count);
        std::vector<std::vector<QPointF>> polygons;
        for (qint64 i = 0; i < count && at < p.size(); ++i) {
            const qint64 n = p.u32(32 + 4 * i);
            polygons.push_back(points(p, at, n, small));
            at += n * (small ? 4 : 8);
        }
        polyPolygon(polygons, closed);
    }

    void record(quint32 type, Bytes p) {
        switch (type) {
        case 2:  // POLYBEZIER
        case 85: // POLYBEZIER16
            bezier(points(p, 28, p.u32(24), type == 85), false);
            break;
        case 5:  // POLYBEZIERTO
        case 88: // POLYBEZIERTO16
            bezier(points(p, 28, p.u32(24), type == 88), true);
            break;
        case 3:  // POLYGON
        case 86: // POLYGON16
            polyline(points(p, 28, p.u32(24), type == 86), true, false);
            break;
        case 4:  // POLYLINE
        case 87: // POLYLINE16
            polyline(points(p, 28, p.u32(24), type == 87), false, false);
            break;
        case 6:  // POLYLINETO
        case 89: // POLYLINETO16
            polyline(points(p, 28, p.u32(24), type == 89), false, true);
            break;
        case 7:  // POLYPOLYLINE
        case 90: // POLYPOLYLINE16
        case 8:  // POLYPOLYGON
        case 91: // POLYPOLYGON16
            polyPoly(p, type >= 90, type == 8 || type == 91);
            break;
        case 9: // SETWINDOWEXTEX
            if (p.i32(8) != 0 && p.i32(12) != 0)
                m_dc.windowExt = QSizeF(p.i32(8), p.i32(12));
            break;
        case 10:
            m_dc.windowOrg = pointL(p, 8);
            break; // SETWINDOWORGEX
        case 11:   // SETVIEWPORTEXTEX
            if (p.i32(8) != 0 && p.i32(12) != 0)
                m_dc.viewportExt = QSizeF(p.i32(8), p.i32(12));
            break;
        case 12:
            m_dc.viewportOrg = pointL(p, 8);
            break; // SETVIEWPORTORGEX
        case 31:   // SCALEVIEWPORTEXTEX
        case 32: { // SCALEWINDOWEXTEX
            const double xn = p.i32(8), xd = p.i32(12), yn = p.i32(16), yd = p.i32(20);
            QSizeF& ext = type == 31 ? m_dc.viewportExt : m_dc.windowExt;
            if (xn != 0 && xd != 0 && yn != 0 && yd != 0)
                ext = QSizeF(ext.width() * xn / xd, ext.height() * yn / yd);
            break;
        }
        case 17:
            m_dc.mapMode = int(p.u32(8));
            break; // SETMAPMODE
        case 18:
            m_dc.opaque = p.u32(8) == 2;
            break; // SETBKMODE
        case 19:
            m_dc.winding = p.u32(8) == 2;
            break; // SETPOLYFILLMODE
        case 22:
            m_dc.textAlign = int(p.u32(8));
            break; // SETTEXTALIGN
        case 24:
            m_dc.textColor = colorRef(p.u32(8));
            break; // SETTEXTCOLOR
        case 25:
            m_dc.backColor = colorRef(p.u32(8));
            break; // SETBKCOLOR
        case 57:
            m_dc.clockwise = p.u32(8) == 2;
            break; // SETARCDIRECTION
        case 27:
            moveTo(pointL(p, 8));
            break; // MOVETOEX
        case 54:
            lineTo(pointL(p, 8));
            break; // LINETO
        case 29:
            excludeClip(rectL(p, 8));
            break; // EXCLUDECLIPRECT
        case 30:
            intersectClip(rectL(p, 8));
            break; // INTERSECTCLIPRECT
        case 33:
            save();
            break; // SAVEDC
        case 34:
            restore(p.i32(8));
            break; // RESTOREDC
        case 35:   // SETWORLDTRANSFORM
            if (const auto t = xform(p, 8))
                m_dc.world = *t;
            break;
        case 36: { // MODIFYWORLDTRANSFORM
            const auto t = xform(p, 8);
            const quint32 mode = p.u32(32);
            if (mode == 1)
                m_dc.world = QTransform();
            else if (t && mode == 2)
                m_dc.world = *t * m_dc.world;
            else if (t && mode == 3)
                m_dc.world = m_dc.world * *t;
            else if (t && mode == 4)
                m_dc.world = *t;
            break;
        }
        case 37: { // SELECTOBJECT
            const quint32 index = p.u32(8);
            if (index & 0x80000000u)
                stock(index & 0x7fffffff);
            else if (const Object* o = object(index))
                select(*o);
            break;
        }
        case 40: // DELETEOBJECT
            if (Object* o = object(p.u32(8)))
                *o = Object{};
            break;
        case 38: // CREATEPEN
            if (Object* o = slot(p.u32(8))) {
                *o = Object{};
                o->kind = Object::PenObject;
                o->pen.style = int(p.u32(12));
                o->pen.width = p.i32(16);
                o->pen.color = colorRef(p.u32(24));
            }
            break;
        case 95: // EXTCREATEPEN
            if (Object* o = slot(p.u32(8))) {
                *o = Object{};
                o->kind = Object::PenObject;
                o->pen.style = int(p.u32(28));
                o->pen.width = p.u32(32) > 0x7fffffffu ? 0 : p.u32(32);
                o->pen.color = colorRef(p.u32(40));
                o->pen.geometric = o->pen.style & 0x10000;
                if (p.u32(36) == 1) // a null brush draws nothing
                    o->pen.style = 5;
            }
            break;
        case 39: // CREATEBRUSHINDIRECT
            if (Object* o = slot(p.u32(8))) {
                *o = Object{};
                o->kind = Object::BrushObject;
                o->brush.style = int(p.u32(12));
                o->brush.color = colorRef(p.u32(16));
                o->brush.hatch = int(p.u32(20));
                if (o->brush.style != Brush::Solid && o->brush.style != Brush::None &&
                    o->brush.style != Brush::Hatched)
                    o->brush.style = Brush::Solid;
            }
            break;
        case 93: // CREATEMONOBRUSH
        case 94: // CREATEDIBPATTERNBRUSHPT
            if (Object* o = slot(p.u32(8))) {
                *o = Object{};
                o->kind = Object::BrushObject;
                o->brush.pattern = bitmap(p, 16, 24);
                o->brush.style = o->brush.pattern.isNull() ? Brush::Solid : Brush::Pattern;
                o->brush.color = Qt::gray;
            }
            break;
        case 82: // EXTCREATEFONTINDIRECTW
            if (Object* o = slot(p.u32(8))) {
                *o = Object{};
                o->kind = Object::FontObject;
                Font& f = o->font;
                f.height = p.i32(12);
                f.width = p.i32(16);
                f.escapement = p.i32(20);
                f.weight = p.i32(28);
                f.italic = p.u8(32);
                f.underline = p.u8(33);
                f.strike = p.u8(34);
                f.charset = p.u8(35);
                for (qint64 i = 0; i < 32 && p.u16(40 + 2 * i); ++i)
                    f.face += QChar(p.u16(40 + 2 * i));
            }
            break;
        case 42:
            ellipse(rectL(p, 8));
            break; // ELLIPSE
        case 43:
            rectangle(rectL(p, 8));
            break; // RECTANGLE
        case 44:   // ROUNDRECT
            roundRect(rectL(p, 8), p.i32(24), p.i32(28));
            break;
        case 45: // ARC
        case 46: // CHORD
        case 47: // PIE
            arc(rectL(p, 8), pointL(p, 24), pointL(p, 32), type == 45 ? 0 : type == 46 ? 1 : 2);
            break;
        case 55: { // ARCTO: a line to the arc's start, the arc, the position at its end
            const QRectF r = rectL(p, 8).normalized();
            if (r.width() > 0 && r.height() > 0) {
                const QPointF c = r.center(), s = pointL(p, 24), e = pointL(p, 32);
                const auto angle = [&](QPointF q) {
                    return std::atan2(-(q.y() - c.y()) / r.height(), (q.x() - c.x()) / r.width()) * 180 /
                           M_PI;
                };
                double sweep = angle(e) - angle(s);
                if (m_dc.clockwise)
                    while (sweep >= 0)
                        sweep -= 360;
                else
                    while (sweep <= 0)
                        sweep += 360;
                QPainterPath path(m_dc.position);
                path.arcTo(r, angle(s), sweep);
                m_dc.position = path.currentPosition();
                if (m_inPath)
                    m_path.addPath(total().map(path));
                else
                    shape(path, false, true);
            }
            break;
        }
        case 59:
            beginPath();
            break; // BEGINPATH
        case 60:
            endPath();
            break; // ENDPATH
        case 61:
            m_path.closeSubpath();
            break; // CLOSEFIGURE
        case 62:
            drawPath(true, false);
            break; // FILLPATH
        case 63:
            drawPath(true, true);
            break; // STROKEANDFILLPATH
        case 64:
            drawPath(false, true);
            break; // STROKEPATH
        case 68:
            m_inPath = false, m_path = QPainterPath();
            break; // ABORTPATH
        case 67:   // SELECTCLIPPATH
            clipTo(m_path, int(p.u32(8)));
            m_inPath = false;
            m_path = QPainterPath();
            break;
        case 75: { // EXTSELECTCLIPRGN: rectangles in device units
            const qint64 size = p.u32(8);
            const int mode = int(p.u32(12));
            if (size == 0 || p.size() < 16 + 32) {
                if (mode == 5)
                    clipTo({}, 5, true);
                break;
            }
            const qint64 count = qMin<qint64>(p.u32(16 + 8), (p.size() - 48) / 16);
            QPainterPath region;
            for (qint64 i = 0; i < count && i < 10000; ++i)
                region.addRect(rectL(p, 48 + 16 * i).normalized());
            clipTo(m_toImage.map(region), mode);
            break;
        }
        case 71: { // FILLRGN
            const qint64 count = qMin<qint64>(p.u32(40), (p.size() - 64) / 16);
            QPainterPath region;
            for (qint64 i = 0; i < count && i < 10000; ++i)
                region.addRect(rectL(p, 64 + 16 * i).normalized());
            const Brush brush = m_dc.brush;
            if (const Object* o = object(p.u32(28)); o && o->kind == Object::BrushObject)
                m_dc.brush = o->brush;
            shape(region, true, false);
            m_dc.brush = brush;
            break;
        }
        case 83: // EXTTEXTOUTA
        case 84: // EXTTEXTOUTW
            textOut(p, type == 84);
            break;
        case 76:    // BITBLT
        case 77:    // STRETCHBLT
        case 114: { // ALPHABLEND
            const QRectF dest(p.i32(24), p.i32(28), p.i32(32), p.i32(36));
            const QImage image = bitmap(p, 84, 92, type == 114);
            QRectF source(p.i32(44), p.i32(48), dest.width(), dest.height());
            if (type != 76)
                source.setSize(QSizeF(p.i32(100), p.i32(104)));
            blit(dest, image, image.isNull() ? QRectF() : source.normalized(),
                 type == 114 ? 0x00CC0020 : p.u32(40));
            break;
        }
        case 81: { // STRETCHDIBITS
            const QImage image = bitmap(p, 48, 56);
            if (!image.isNull())
                blit(QRectF(p.i32(24), p.i32(28), p.i32(72), p.i32(76)), image,
                     QRectF(p.i32(32), p.i32(36), p.i32(40), p.i32(44)).normalized(), p.u32(68));
            break;
        }
        case 80: { // SETDIBITSTODEVICE
            const QImage image = bitmap(p, 48, 56);
            if (!image.isNull())
                blit(QRectF(p.i32(24), p.i32(28), p.i32(40), p.i32(44)), image,
                     QRectF(p.i32(32), p.i32(36), p.i32(40), p.i32(44)).normalized(), 0x00CC0020);
            break;
        }
        default:
            break; // comments (EMF+ among them), palettes, colour management and the rest
        }
    }

    void textOut(Bytes p, bool wide) {
        // The text record: its reference point, characters, options, rectangle and advances.
        const QPointF reference = pointL(p, 36);
        const qint64 chars = qMin<qint64>(p.u32(44), 8192);
        const qint64 offString = p.u32(48);
        const int options = int(p.u32(52));
        const QRectF rect = rectL(p, 56);
        const qint64 offDx = p.u32(72);
        QString s;
        if (wide) {
            for (qint64 i = 0; i < chars && p.has(offString + 2 * i, 2); ++i)
                s += QChar(p.u16(offString + 2 * i));
        } else {
            const qint64 n = qBound<qint64>(0, chars, qMax<qint64>(0, p.size() - offString));
            if (p.has(offString, n))
                s = decoderFor(m_dc.font.charset).decode(QByteArrayView(p.data() + offString, n));
        }
        std::vector<double> dx;
        const int step = options & 0x2000 ? 8 : 4; // ETO_PDY: an x and a y advance each
        if (offDx > 0 && p.has(offDx, chars * step) && s.size() == chars)
            for (qint64 i = 0; i < chars; ++i)
                dx.push_back(p.i32(offDx + step * i));
        text(reference, s, dx, options, rect.isNull() ? std::nullopt : std::optional(rect));
    }

    void stock(quint32 which) {
        switch (which) {
        case 0:
            m_dc.brush = Brush{Brush::Solid, Qt::white, 0, {}};
            break;
        case 1:
            m_dc.brush = Brush{Brush::Solid, QColor(192, 192, 192), 0, {}};
            break;
        case 2:
            m_dc.brush = Brush{Brush::Solid, QColor(128, 128, 128), 0, {}};
            break;
        case 3:
            m_dc.brush = Brush{Brush::Solid, QColor(64, 64, 64), 0, {}};
            break;
        case 4:
            m_dc.brush = Brush{Brush::Solid, Qt::black, 0, {}};
            break;
        case 5:
            m_dc.brush = Brush{Brush::None, Qt::white, 0, {}};
            break;
        case 6:
            m_dc.pen = Pen{0, 0, Qt::white, false};
            break;
        case 7:
            m_dc.pen = Pen{0, 0, Qt::black, false};
            break;
        case 8:
            m_dc.pen = Pen{5, 0, Qt::black, false};
            break;
        case 10:
        case 11:
        case 12:
        case 13:
        case 14:
        case 16:
        case 17:
            m_dc.font = Font{};
            break;
        default:
            break;
        }
    }

    Bytes m_data;
    QTransform m_toImage;
    double m_perMmX = 96 / 25.4, m_perMmY = 96 / 25.4;
};

} // namespace

bool emfHeader(Bytes data, QRectF& frame) {
    return EmfPlayer::header(data, frame);
}

void playEmf(QImage& image, Bytes data, std::vector<MetafileText>& texts) {
    EmfPlayer player(image, data);
    player.play();
    texts = std::move(player.texts());
}

} // namespace wordproc::metafile
