#pragma once

// What the WMF and EMF players share: bounded reads of the records' bytes, the bitmaps both formats
// carry, the drawing state, and the drawing itself. Only the metafile files include it.

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

namespace wordproc::metafile {

// A picture has a few thousand records and a few dozen objects; anything far beyond is damage or
// malice, and so is a drawing that would cover the whole image hundreds of times.
constexpr int kMaxRecords = 200'000;
constexpr int kMaxObjects = 4096;
constexpr int kMaxSavedStates = 64;
constexpr int kMaxBitmapPixels = 16 * 1024 * 1024;
constexpr qint64 kMinWork = 64LL * 1024 * 1024;
// Past this many pixels from the image, geometry only costs time: it is not drawn.
constexpr double kFar = 1e7;
// A picture's pieces of text beyond this many are left out.
constexpr int kMaxTextRuns = 20'000;

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

inline QColor colorRef(quint32 v) {
    return QColor(int(v & 0xff), int(v >> 8 & 0xff), int(v >> 16 & 0xff));
}

// Bitmaps: device-independent bitmaps as both formats carry them, a header (with its colour table) and
// the pixels.

// A bitmap from its header (with colours) and pixels; null where they do not make one. `alpha`: 32-bit
// pixels carry their opacity (they do only where the record says so).
QImage decodeDib(Bytes info, Bytes bits, bool alpha = false);

// The header and colours of a bitmap stored in one piece, and its pixels after them.
std::pair<Bytes, Bytes> splitPackedDib(Bytes dib);

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
QStringDecoder decoderFor(int charset);

// What both formats share: the state, the objects, and the drawing itself. Text is not drawn on the
// image: it is kept as text, which the page sets over the picture (see Metafile.h).
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
            m_painter.rotate(-(m_dc.font.escapement / 10.0)); // the file may hold any int, INT_MIN too
        if (m_dc.opaque && !(options & 0x2))
            m_painter.fillRect(QRectF(x, y - fm.ascent(), width, fm.ascent() + fm.descent()), m_dc.backColor);
        if (m_texts.size() < size_t(kMaxTextRuns)) {
            MetafileText run;
            run.place = m_painter.transform();
            if (m_painter.hasClipping()) {
                run.clipped = true;
                run.clip = m_painter.clipPath() * run.place;
            }
            run.font = f;
            run.pixels = height;
            run.color = m_dc.textColor;
            if (advances.empty()) {
                run.pieces.push_back({QPointF(x, y), s});
            } else {
                double at = x;
                for (qsizetype i = 0; i < s.size(); ++i) {
                    const bool pair = s.at(i).isHighSurrogate() && i + 1 < s.size();
                    run.pieces.push_back({QPointF(at, y), s.mid(i, pair ? 2 : 1)});
                    if (size_t(i) < advances.size())
                        at += advances[size_t(i)];
                    i += pair;
                }
            }
            m_texts.push_back(std::move(run));
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

public:
    std::vector<MetafileText>& texts() { return m_texts; }

protected:
    QImage& m_image;
    QPainter m_painter;
    std::vector<MetafileText> m_texts;
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

// The placeable header's box in logical units and its units to the inch; false when there is none.
bool wmfPlaceable(Bytes data, QRectF& box, int& inch);
void playWmf(QImage& image, Bytes data, std::vector<MetafileText>& texts);

// The header's frame in hundredths of a millimetre; false when the data is no EMF.
bool emfHeader(Bytes data, QRectF& frame);
void playEmf(QImage& image, Bytes data, std::vector<MetafileText>& texts);

// A QuickDraw picture's box in its own coordinates and their number to the inch; false when the data
// is no picture.
bool pictBox(Bytes data, QRectF& box, double& perInch);
void playPict(QImage& image, Bytes data, std::vector<MetafileText>& texts);

} // namespace wordproc::metafile
