// Plays Windows metafiles back onto an image, with QPainter standing in for the Windows graphics calls
// the records stand for. Record layouts are those of the published WMF and EMF formats; EMF+ records,
// which hide in EMF comments, are passed over for the plain EMF records drawn beside them.

#include "wordproc/Metafile.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QStringDecoder>
#include <QTransform>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace wordproc {

namespace {

// A picture has a few thousand records and a few dozen objects; anything far beyond is damage or
// malice, and so is a drawing that would cover the whole image hundreds of times.
constexpr int kMaxRecords = 200'000;
constexpr int kMaxObjects = 4096;
constexpr int kMaxSavedStates = 64;
constexpr int kMaxBitmapPixels = 16 * 1024 * 1024;
constexpr qint64 kMinWork = 64LL * 1024 * 1024;
// Past this many pixels from the image, geometry only costs time: it is not drawn.
constexpr double kFar = 1e7;

// Little-endian reads inside one range of bytes; whatever lies past its end reads as zero.
class Bytes {
public:
    Bytes() = default;
    Bytes(const char* p, qint64 n) : m_p(p), m_n(qMax<qint64>(0, n)) {}
    qint64 size() const { return m_n; }
    const char* data() const { return m_p; }
    bool has(qint64 at, qint64 length) const {
        return at >= 0 && length >= 0 && at <= m_n && length <= m_n - at;
    }
    Bytes sub(qint64 at, qint64 length) const {
        if (!has(at, 0))
            return {};
        return Bytes(m_p + at, qMin(length, m_n - at));
    }
    quint8 u8(qint64 at) const { return has(at, 1) ? quint8(m_p[at]) : 0; }
    quint16 u16(qint64 at) const { return quint16(u8(at) | u8(at + 1) << 8); }
    qint16 i16(qint64 at) const { return qint16(u16(at)); }
    quint32 u32(qint64 at) const { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; }
    qint32 i32(qint64 at) const { return qint32(u32(at)); }
    float f32(qint64 at) const {
        const quint32 bits = u32(at);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    const char* m_p = nullptr;
    qint64 m_n = 0;
};

QColor colorRef(quint32 v) {
    return QColor(int(v & 0xff), int(v >> 8 & 0xff), int(v >> 16 & 0xff));
}

// Bitmaps: device-independent bitmaps as both formats carry them, a header (with its colour table) and
// the pixels.

struct Masks {
    quint32 r = 0, g = 0, b = 0, a = 0;
};

int channel(quint32 pixel, quint32 mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    const quint32 max = mask >> shift;
    return int(((pixel & mask) >> shift) * 255 / max);
}

// Run-length encoded pixels, 8 or 4 bits each, into one index per pixel, bottom row first.
std::vector<quint8> decodeRle(Bytes bits, int width, int height, bool four) {
    std::vector<quint8> out(size_t(width) * size_t(height), 0);
    qint64 at = 0;
    int x = 0, y = 0;
    const auto put = [&](int index) {
        if (x < width && y < height)
            out[size_t(y) * size_t(width) + size_t(x)] = quint8(index);
        ++x;
    };
    while (at + 1 < bits.size() && y < height) {
        const int count = bits.u8(at), value = bits.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? (i % 2 ? value & 0x0f : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            x += bits.u8(at);
            y += bits.u8(at + 1);
            at += 2;
        } else { // a literal run
            const int bytes = four ? (value + 1) / 2 : value;
            for (int i = 0; i < value && x < width; ++i)
                put(four ? (i % 2 ? bits.u8(at + i / 2) & 0x0f : bits.u8(at + i / 2) >> 4) : bits.u8(at + i));
            at += (bytes + 1) / 2 * 2;
        }
    }
    return out;
}

// A bitmap from its header (with colours) and pixels; null where they do not make one. `alpha`: 32-bit
// pixels carry their opacity (they do only where the record says so).
QImage decodeDib(Bytes info, Bytes bits, bool alpha = false) {
    const quint32 headerSize = info.u32(0);
    int width, height, bpp;
    quint32 compression = 0, used = 0;
    qint64 tableAt = headerSize;
    int entrySize = 4;
    Masks masks;
    if (headerSize == 12) {
        width = info.u16(4);
        height = info.u16(6);
        bpp = info.u16(10);
        entrySize = 3;
    } else if (headerSize >= 40 && info.has(0, 40)) {
        width = info.i32(4);
        height = info.i32(8);
        bpp = info.u16(14);
        compression = info.u32(16);
        used = info.u32(32);
        if (compression == 3 || compression == 6) {
            masks = Masks{info.u32(40), info.u32(44), info.u32(48), compression == 6 ? info.u32(52) : 0};
            if (headerSize == 40)
                tableAt += compression == 6 ? 16 : 12;
        }
    } else {
        return {};
    }
    const bool topDown = height < 0;
    height = height == INT_MIN ? 0 : std::abs(height);
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxBitmapPixels)
        return {};
    if (compression == 4 || compression == 5) { // JPEG or PNG inside
        QByteArray bytes(bits.data(), int(bits.size()));
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, compression == 4 ? "JPEG" : "PNG");
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxBitmapPixels)
            return {};
        return reader.read();
    }
    std::vector<QRgb> palette;
    if (bpp <= 8) {
        const int entries = used > 0 ? int(qMin<quint32>(used, 256)) : 1 << bpp;
        for (int i = 0; i < entries; ++i) {
            const qint64 at = tableAt + qint64(i) * entrySize;
            palette.push_back(qRgb(info.u8(at + 2), info.u8(at + 1), info.u8(at)));
        }
        palette.resize(256, qRgb(0, 0, 0));
    } else if (bpp != 16 && bpp != 24 && bpp != 32) {
        return {};
    }
    if (compression == 0 || (bpp == 16 && compression != 3 && compression != 6)) {
        if (bpp == 16)
            masks = Masks{0x7c00, 0x03e0, 0x001f, 0};
    }
    const bool rle = (compression == 1 && bpp == 8) || (compression == 2 && bpp == 4);
    if (compression != 0 && compression != 3 && compression != 6 && !rle)
        return {};
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    if (rle) {
        const std::vector<quint8> indices = decodeRle(bits, width, height, bpp == 4);
        for (int y = 0; y < height; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(topDown ? y : height - 1 - y));
            for (int x = 0; x < width; ++x)
                line[x] = palette[indices[size_t(y) * size_t(width) + size_t(x)]];
        }
        return image;
    }
    const qint64 stride = (qint64(width) * bpp + 31) / 32 * 4;
    for (int row = 0; row < height; ++row) {
        const qint64 start = stride * row;
        if (!bits.has(start, stride))
            break; // the rows the file holds
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(topDown ? row : height - 1 - row));
        for (int x = 0; x < width; ++x) {
            switch (bpp) {
            case 1:
                line[x] = palette[bits.u8(start + x / 8) >> (7 - x % 8) & 1];
                break;
            case 4:
                line[x] = palette[x % 2 ? bits.u8(start + x / 2) & 0x0f : bits.u8(start + x / 2) >> 4];
                break;
            case 8:
                line[x] = palette[bits.u8(start + x)];
                break;
            case 16: {
                const quint32 p = bits.u16(start + 2 * x);
                line[x] = qRgb(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b));
                break;
            }
            case 24:
                line[x] =
                    qRgb(bits.u8(start + 3 * x + 2), bits.u8(start + 3 * x + 1), bits.u8(start + 3 * x));
                break;
            default: {
                const quint32 p = bits.u32(start + 4 * x);
                if (masks.r)
                    line[x] = qRgba(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b),
                                    alpha && masks.a ? channel(p, masks.a) : 255);
                else
                    line[x] = qRgba(int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff),
                                    alpha ? int(p >> 24) : 255);
            }
            }
        }
    }
    if (alpha && bpp == 32) // blended bitmaps hold premultiplied colours
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

// The header and colours of a bitmap stored in one piece, and its pixels after them.
std::pair<Bytes, Bytes> splitPackedDib(Bytes dib) {
    const quint32 headerSize = dib.u32(0);
    qint64 colors = 0;
    if (headerSize == 12) {
        const int bpp = dib.u16(10);
        colors = bpp <= 8 ? 3LL << bpp : 0;
    } else {
        const int bpp = dib.u16(14);
        const quint32 compression = dib.u32(16), used = dib.u32(32);
        if (bpp <= 8)
            colors = 4LL * (used > 0 ? qMin<quint32>(used, 256) : 1u << bpp);
        else
            colors = 4LL * qMin<quint32>(used, 256);
        if (headerSize == 40 && (compression == 3 || compression == 6))
            colors += compression == 6 ? 16 : 12;
    }
    const qint64 infoSize = qMin(dib.size(), qint64(headerSize) + colors);
    return {dib.sub(0, infoSize), dib.sub(infoSize, dib.size() - infoSize)};
}

// What the drawing calls draw with.

struct Pen {
    int style = 0; // PS_SOLID; the low four bits give the dashes
    double width = 0;
    QColor color = Qt::black;
    bool geometric = false; // caps and joins as the style says, else round
    bool none() const { return (style & 0x0f) == 5; }
};

struct Brush {
    enum Style { Solid = 0, None = 1, Hatched = 2, Pattern = 3 };
    int style = Solid;
    QColor color = Qt::white;
    int hatch = 0;
    QImage pattern;
    bool none() const { return style == None; }
};

struct Font {
    double height = 0; // logical units; < 0: the characters' height, > 0: the cell's
    double width = 0;
    int escapement = 0; // tenths of a degree, counterclockwise
    int weight = 400;
    bool italic = false, underline = false, strike = false;
    int charset = 0;
    QString face;
};

struct Object {
    enum Kind { Empty, PenObject, BrushObject, FontObject, Other };
    Kind kind = Empty;
    Pen pen;
    Brush brush;
    Font font;
};

// A device context's state: what SaveDC keeps and RestoreDC gives back.
struct Dc {
    Pen pen;
    Brush brush;
    Font font;
    QColor textColor = Qt::black;
    QColor backColor = Qt::white;
    bool opaque = true;
    int textAlign = 0;
    bool winding = false;
    bool clockwise = false;
    int mapMode = 1;
    QPointF windowOrg, viewportOrg;
    QSizeF windowExt{1, 1}, viewportExt{1, 1};
    bool windowSet = false;
    QTransform world;
    QPointF position;
    bool clipped = false;
    QPainterPath clip; // image pixels
};

// The code page of a font's character set, for 8-bit text.
QStringDecoder decoderFor(int charset) {
    static const std::pair<int, const char*> codePages[] = {
        {238, "windows-1250"}, {204, "windows-1251"}, {161, "windows-1253"}, {162, "windows-1254"},
        {177, "windows-1255"}, {178, "windows-1256"}, {186, "windows-1257"}, {163, "windows-1258"},
        {222, "windows-874"},  {128, "Shift_JIS"},    {134, "GBK"},          {129, "windows-949"},
        {136, "Big5"},         {77, "macintosh"},
    };
    const char* name = "windows-1252";
    for (const auto& [set, page] : codePages)
        if (set == charset)
            name = page;
    QStringDecoder decoder(name);
    return decoder.isValid() ? std::move(decoder) : QStringDecoder(QStringConverter::Latin1);
}

// What both formats share: the state, the objects, and the drawing itself.
class Player {
public:
    explicit Player(QImage& image) : m_image(image), m_painter(&image) {
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
        m_painter.setRenderHint(QPainter::SmoothPixmapTransform);
        m_bounds = QRectF(QPointF(0, 0), QSizeF(image.size()));
        m_maxWork = qMax(kMinWork, 48 * qint64(image.width()) * image.height());
    }
    virtual ~Player() = default;

protected:
    // Logical coordinates to the image's pixels.
    virtual QTransform total() const = 0;

    bool stopped() const { return m_stopped; }

    static double scaleOf(const QTransform& t) { return std::sqrt(std::abs(t.determinant())); }

    // Whether `box` lies near enough to the image to be drawn (a line's box may have no width or height).
    bool within(const QRectF& box) const {
        return box.left() >= m_bounds.left() - kFar && box.right() <= m_bounds.right() + kFar &&
               box.top() >= m_bounds.top() - kFar && box.bottom() <= m_bounds.bottom() + kFar;
    }

    // Charges drawing to the budget; false once it is spent.
    bool spend(qint64 units) {
        m_work += qMax<qint64>(1, units);
        if (m_work > m_maxWork)
            m_stopped = true;
        return !m_stopped;
    }

    void applyClip() {
        if (m_dc.clipped)
            m_painter.setClipPath(m_dc.clip);
        else
            m_painter.setClipping(false);
    }

    QPen makePen(double scale) const {
        const Pen& p = m_dc.pen;
        double width = p.width * scale;
        if (width < m_hairline)
            width = m_hairline;
        width = qMin(width, 2.0 * (m_bounds.width() + m_bounds.height()));
        QPen pen(p.color, width);
        switch (p.style & 0x0f) {
        case 1:
            pen.setStyle(Qt::DashLine);
            break;
        case 2:
            pen.setStyle(Qt::DotLine);
            break;
        case 3:
            pen.setStyle(Qt::DashDotLine);
            break;
        case 4:
            pen.setStyle(Qt::DashDotDotLine);
            break;
        default:
            pen.setStyle(Qt::SolidLine);
            break;
        }
        if (p.geometric) {
            const int cap = p.style & 0x0f00, join = p.style & 0xf000;
            pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
            pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
        } else {
            pen.setCapStyle(Qt::RoundCap);
            pen.setJoinStyle(Qt::RoundJoin);
        }
        return pen;
    }

    QBrush makeBrush() const {
        const Brush& b = m_dc.brush;
        if (b.style == Brush::Hatched) {
            static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern,   Qt::VerPattern,
                                                         Qt::FDiagPattern, Qt::BDiagPattern,
                                                         Qt::CrossPattern, Qt::DiagCrossPattern};
            return QBrush(b.color, hatches[qBound(0, b.hatch, 5)]);
        }
        if (b.style == Brush::Pattern && !b.pattern.isNull())
            return QBrush(b.pattern);
        return QBrush(b.color);
    }

    // Fills and outlines `path` (image pixels) with the brush and pen in force.
    void paint(QPainterPath path, bool fill, bool stroke) {
        if (m_stopped)
            return;
        const QRectF box = path.controlPointRect();
        // Geometry far out of the image is damage: it would only cost time, or overflow the rasterizer.
        if (!std::isfinite(box.left()) || !std::isfinite(box.top()) || !std::isfinite(box.width()) ||
            !std::isfinite(box.height()) || !within(box) || !box.adjusted(-1, -1, 1, 1).intersects(m_bounds))
            return;
        const QRectF seen = box.adjusted(-1, -1, 1, 1).intersected(m_bounds);
        if (!spend(qint64(seen.width() * seen.height()) + path.elementCount()))
            return;
        path.setFillRule(m_dc.winding ? Qt::WindingFill : Qt::OddEvenFill);
        m_painter.resetTransform();
        applyClip();
        if (fill && !m_dc.brush.none()) {
            if (m_dc.brush.style == Brush::Hatched && m_dc.opaque)
                m_painter.fillPath(path, m_dc.backColor);
            m_painter.fillPath(path, makeBrush());
        }
        if (stroke && !m_dc.pen.none()) {
            QPen pen = makePen(scaleOf(total()));
            // Dashes along a path far longer than the image would take forever to lay out.
            if (pen.style() != Qt::SolidLine &&
                box.width() + box.height() > 8 * (m_bounds.width() + m_bounds.height()))
                pen.setStyle(Qt::SolidLine);
            m_painter.strokePath(path, pen);
        }
    }

    // A figure in logical coordinates: drawn, or added to the path being recorded.
    void shape(const QPainterPath& logical, bool fill, bool stroke) {
        const QPainterPath mapped = total().map(logical);
        if (m_inPath) {
            m_path.addPath(mapped);
            return;
        }
        paint(mapped, fill, stroke);
    }

    void moveTo(QPointF p) {
        m_dc.position = p;
        if (m_inPath)
            m_path.moveTo(total().map(p));
    }

    void lineTo(QPointF p) {
        if (m_inPath) {
            if (m_path.elementCount() == 0)
                m_path.moveTo(total().map(m_dc.position));
            m_path.lineTo(total().map(p));
        } else {
            QPainterPath line(m_dc.position);
            line.lineTo(p);
            shape(line, false, true);
        }
        m_dc.position = p;
    }

    void polyline(const std::vector<QPointF>& points, bool closed, bool fromPosition) {
        if (points.empty())
            return;
        QPainterPath path;
        if (fromPosition) {
            if (m_inPath) {
                for (const QPointF& p : points)
                    lineTo(p);
                return;
            }
            path.moveTo(m_dc.position);
            for (const QPointF& p : points)
                path.lineTo(p);
            m_dc.position = points.back();
        } else {
            path.moveTo(points.front());
            for (size_t i = 1; i < points.size(); ++i)
                path.lineTo(points[i]);
        }
        if (closed)
            path.closeSubpath();
        shape(path, closed, true);
    }

    void polyPolygon(const std::vector<std::vector<QPointF>>& polygons, bool closed) {
        QPainterPath path;
        for (const auto& points : polygons) {
            if (points.empty())
                continue;
            path.moveTo(points.front());
            for (size_t i = 1; i < points.size(); ++i)
                path.lineTo(points[i]);
            if (closed)
                path.closeSubpath();
        }
        shape(path, closed, true);
    }

    void bezier(const std::vector<QPointF>& points, bool fromPosition) {
        QPainterPath path;
        size_t i = 0;
        if (fromPosition) {
            path.moveTo(m_dc.position);
        } else {
            if (points.empty())
                return;
            path.moveTo(points.front());
            i = 1;
        }
        for (; i + 2 < points.size(); i += 3)
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
        if (fromPosition && !points.empty()) {
            m_dc.position = points[(points.size() / 3) * 3 > 0 ? (points.size() / 3) * 3 - 1 : 0];
            if (m_inPath) {
                const QPainterPath mapped = total().map(path);
                if (m_path.elementCount() == 0)
                    m_path.moveTo(mapped.elementAt(0));
                for (int e = 1; e + 2 < mapped.elementCount(); e += 3)
                    m_path.cubicTo(mapped.elementAt(e), mapped.elementAt(e + 1), mapped.elementAt(e + 2));
                return;
            }
        }
        shape(path, false, true);
    }

    void rectangle(QRectF r) { shape(boxPath(r, 0, 0), true, true); }

    void roundRect(QRectF r, double w, double h) { shape(boxPath(r, w, h), true, true); }

    static QPainterPath boxPath(QRectF r, double w, double h) {
        QPainterPath path;
        r = r.normalized();
        if (w > 0 && h > 0)
            path.addRoundedRect(r, qMin(w / 2, r.width() / 2), qMin(h / 2, r.height() / 2));
        else
            path.addRect(r);
        return path;
    }

    void ellipse(QRectF r) {
        QPainterPath path;
        path.addEllipse(r.normalized());
        shape(path, true, true);
    }

    // Arc 0, chord 1, pie 2: the part of the box's ellipse from the start point's angle to the end's.
    void arc(QRectF r, QPointF start, QPointF end, int kind) {
        r = r.normalized();
        if (r.width() <= 0 || r.height() <= 0)
            return;
        const QPointF c = r.center();
        const auto angle = [&](QPointF p) {
            return std::atan2(-(p.y() - c.y()) / r.height(), (p.x() - c.x()) / r.width()) * 180 / M_PI;
        };
        const double a0 = angle(start), a1 = angle(end);
        double sweep = a1 - a0;
        if (m_dc.clockwise) {
            while (sweep >= 0)
                sweep -= 360;
        } else {
            while (sweep <= 0)
                sweep += 360;
        }
        QPainterPath path;
        if (kind == 2)
            path.moveTo(c);
        else
            path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind > 0)
            path.closeSubpath();
        shape(path, kind > 0, true);
    }

    void beginPath() {
        m_inPath = true;
        m_path = QPainterPath();
    }
    void endPath() { m_inPath = false; }
    void drawPath(bool fill, bool stroke) {
        m_inPath = false;
        paint(m_path, fill, stroke);
        m_path = QPainterPath();
    }

    // Region modes: and 1, or 2, xor 3, diff 4, copy 5. `region` in image pixels; empty with copy: none.
    void clipTo(const QPainterPath& region, int mode, bool none = false) {
        if (none) {
            m_dc.clipped = false;
            m_dc.clip = QPainterPath();
            return;
        }
        QPainterPath all;
        all.addRect(m_bounds);
        const QPainterPath current = m_dc.clipped ? m_dc.clip : all;
        switch (mode) {
        case 1:
            m_dc.clip = current.intersected(region);
            break;
        case 2:
            m_dc.clip = current.united(region);
            break;
        case 3:
            m_dc.clip = current.united(region).subtracted(current.intersected(region));
            break;
        case 4:
            m_dc.clip = current.subtracted(region);
            break;
        default:
            m_dc.clip = region;
            break;
        }
        m_dc.clipped = true;
        spend(m_dc.clip.elementCount() * 64);
    }

    void intersectClip(QRectF r) {
        QPainterPath p;
        p.addRect(r.normalized());
        clipTo(total().map(p), 1);
    }

    void excludeClip(QRectF r) {
        QPainterPath p;
        p.addRect(r.normalized());
        clipTo(total().map(p), 4);
    }

    void save() {
        if (m_saved.size() < size_t(kMaxSavedStates))
            m_saved.push_back(m_dc);
    }

    void restore(int which) {
        // Negative: that many states back; positive: the state of that number.
        const qint64 index = which < 0 ? qint64(m_saved.size()) + which : qint64(which) - 1;
        if (index < 0 || index >= qint64(m_saved.size()))
            return;
        m_dc = m_saved[size_t(index)];
        m_saved.resize(size_t(index));
    }

    QFont font(double pixels) const {
        QFont f;
        if (!m_dc.font.face.isEmpty())
            f.setFamily(m_dc.font.face);
        f.setWeight(QFont::Weight(qBound(100, m_dc.font.weight > 0 ? m_dc.font.weight : 400, 900)));
        f.setItalic(m_dc.font.italic);
        f.setUnderline(m_dc.font.underline);
        f.setStrikeOut(m_dc.font.strike);
        f.setPointSizeF(qMax(0.1, pixels * 72.0 / m_image.logicalDpiY()));
        return f;
    }

    // Text at `reference` (logical) as the text alignment places it; `dx`: each character's advance
    // (logical); options: opaque 0x2 and clipped 0x4 to `rect` (logical).
    void text(QPointF reference, const QString& s, const std::vector<double>& dx, int options,
              std::optional<QRectF> rect) {
        if (m_stopped || m_inPath)
            return;
        const QTransform t = total();
        if (!spend(s.size() + 1))
            return;
        m_painter.resetTransform();
        applyClip();
        if (rect && (options & 0x6)) {
            const QPainterPath box = t.map(boxPath(*rect, 0, 0));
            const QRectF seen = box.controlPointRect().intersected(m_bounds);
            if (!spend(qint64(seen.width() * seen.height())))
                return;
            if (options & 0x2)
                m_painter.fillPath(box, m_dc.backColor);
            if (options & 0x4)
                m_painter.setClipPath(box, m_dc.clipped ? Qt::IntersectClip : Qt::ReplaceClip);
        }
        if (s.isEmpty())
            return;
        const bool updatePosition = m_dc.textAlign & 1;
        if (updatePosition)
            reference = m_dc.position;
        // The font's height along the text's vertical, in pixels.
        const double scaleY = std::hypot(t.m21(), t.m22());
        const double scaleX = std::hypot(t.m11(), t.m12());
        double height = std::abs(m_dc.font.height) * scaleY;
        if (m_dc.font.height == 0)
            height = 12 * m_pixelsPerInch / 72;
        if (!(height >= 0.5) || height > 4 * (m_bounds.width() + m_bounds.height()))
            return;
        if (!spend(qint64(s.size()) * qint64(height * height) / 2 + 1))
            return;
        QFont f = font(height);
        if (m_dc.font.height > 0) { // a cell height: the characters are smaller by the font's leading
            const QFontMetricsF fm(f, &m_image);
            if (fm.height() > 0)
                f.setPointSizeF(f.pointSizeF() * height / fm.height());
        }
        if (m_dc.font.width > 0) {
            const QFontMetricsF fm(f, &m_image);
            const double natural = fm.averageCharWidth();
            if (natural > 0)
                f.setStretch(qRound(qBound(1.0, 100 * m_dc.font.width * scaleX / natural, 4000.0)));
        }
        const QFontMetricsF fm(f, &m_image);
        std::vector<double> advances;
        double width = 0;
        if (!dx.empty()) {
            for (double d : dx)
                advances.push_back(d * scaleX), width += d * scaleX;
        } else {
            width = fm.horizontalAdvance(s);
        }
        const QPointF anchor = t.map(reference);
        if (!std::isfinite(anchor.x()) || !std::isfinite(anchor.y()) ||
            !m_bounds.adjusted(-kFar, -kFar, kFar, kFar).contains(anchor))
            return;
        double x = 0, y = 0;
        if ((m_dc.textAlign & 6) == 6)
            x = -width / 2;
        else if (m_dc.textAlign & 2)
            x = -width;
        if ((m_dc.textAlign & 24) == 24)
            y = 0;
        else if (m_dc.textAlign & 8)
            y = -fm.descent();
        else
            y = fm.ascent();
        m_painter.save();
        m_painter.translate(anchor);
        if (m_dc.font.escapement != 0)
            m_painter.rotate(-m_dc.font.escapement / 10.0);
        if (m_dc.opaque && !(options & 0x2))
            m_painter.fillRect(QRectF(x, y - fm.ascent(), width, fm.ascent() + fm.descent()), m_dc.backColor);
        m_painter.setFont(f);
        m_painter.setPen(m_dc.textColor);
        if (advances.empty()) {
            m_painter.drawText(QPointF(x, y), s);
        } else {
            double at = x;
            for (qsizetype i = 0; i < s.size(); ++i) {
                const bool pair = s.at(i).isHighSurrogate() && i + 1 < s.size();
                m_painter.drawText(QPointF(at, y), s.mid(i, pair ? 2 : 1));
                if (size_t(i) < advances.size())
                    at += advances[size_t(i)];
                i += pair;
            }
        }
        m_painter.restore();
        if (updatePosition) {
            const double logicalWidth = scaleX > 0 ? width / scaleX : 0;
            m_dc.position.rx() += (m_dc.textAlign & 6) == 2 ? -logicalWidth : logicalWidth;
        }
    }

    // A bitmap into `dest` (logical), from `source` (bitmap pixels; empty: all of it).
    void blit(QRectF dest, const QImage& bitmap, QRectF source, quint32 rop) {
        if (m_stopped || m_inPath)
            return;
        QPainterPath outline;
        outline.addRect(dest.normalized());
        const QTransform t = total();
        const QRectF box = t.map(outline).controlPointRect();
        if (!std::isfinite(box.width()) || !std::isfinite(box.height()) || !box.intersects(m_bounds))
            return;
        const QRectF seen = box.intersected(m_bounds);
        if (!spend(qint64(seen.width() * seen.height()) + bitmap.width() + bitmap.height()))
            return;
        const quint32 op = rop >> 16 & 0xff;
        if (op == 0xf0 || op == 0x00 || op == 0xff || op == 0x5a) {
            // Operations without a bitmap: the brush, black or white over the place.
            const QColor color = op == 0x00 ? QColor(Qt::black) : op == 0xff ? QColor(Qt::white) : QColor();
            Brush brush = m_dc.brush;
            if (color.isValid())
                m_dc.brush = Brush{Brush::Solid, color, 0, {}};
            Pen pen = m_dc.pen;
            m_dc.pen.style = 5;
            paint(t.map(outline), true, false);
            m_dc.pen = pen;
            m_dc.brush = brush;
            return;
        }
        if (bitmap.isNull())
            return;
        m_painter.resetTransform();
        applyClip();
        m_painter.setTransform(t);
        if (op == 0x88) // SRCAND: the bitmap darkens what lies below
            m_painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        const QRectF src = source.isEmpty() ? QRectF(bitmap.rect()) : source;
        if (op == 0x33) { // NOTSRCCOPY
            QImage inverted = bitmap.convertToFormat(QImage::Format_ARGB32);
            inverted.invertPixels();
            m_painter.drawImage(dest, inverted, src);
        } else {
            m_painter.drawImage(dest, bitmap, src);
        }
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        m_painter.resetTransform();
    }

    // Objects.
    Object* object(qint64 index) {
        return index >= 0 && index < qint64(m_objects.size()) ? &m_objects[size_t(index)] : nullptr;
    }

    void select(const Object& o) {
        switch (o.kind) {
        case Object::PenObject:
            m_dc.pen = o.pen;
            break;
        case Object::BrushObject:
            m_dc.brush = o.brush;
            break;
        case Object::FontObject:
            m_dc.font = o.font;
            break;
        default:
            break;
        }
    }

    QImage& m_image;
    QPainter m_painter;
    QRectF m_bounds;
    Dc m_dc;
    std::vector<Dc> m_saved;
    std::vector<Object> m_objects;
    bool m_inPath = false;
    QPainterPath m_path; // image pixels
    double m_hairline = 1;
    double m_pixelsPerInch = 96;
    qint64 m_work = 0;
    qint64 m_maxWork = kMinWork;
    bool m_stopped = false;
};

// WMF: 16-bit records after a header, the placeable header in front when the file has one.
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

// EMF: 32-bit records, a header first that says how large the picture is.
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
    const Bytes bytes(data.constData(), data.size());
    if (enhanced) {
        EmfPlayer player(image, bytes);
        player.play();
    } else {
        WmfPlayer player(image, bytes);
        player.play();
    }
    return image;
}

QSize metafileSizeTwips(const QByteArray& data, bool enhanced) {
    const Bytes bytes(data.constData(), data.size());
    const auto twips = [](double v) { return int(qBound(0.0, std::round(v), 1440.0 * 50)); };
    if (enhanced) {
        QRectF frame;
        if (!EmfPlayer::header(bytes, frame))
            return QSize(0, 0);
        // The frame includes its right and bottom edges.
        return QSize(twips((std::abs(frame.width()) + 1) * 1440 / 2540),
                     twips((std::abs(frame.height()) + 1) * 1440 / 2540));
    }
    QRectF box;
    int inch = 0;
    if (!WmfPlayer::placeable(bytes, box, inch) || inch <= 0)
        return QSize(0, 0);
    return QSize(twips(std::abs(box.width()) * 1440 / inch), twips(std::abs(box.height()) * 1440 / inch));
}

} // namespace wordproc
