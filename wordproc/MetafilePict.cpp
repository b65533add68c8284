// QuickDraw picture playback: the PICT opcodes (version 1, one byte each; version 2, two bytes each on
// even offsets) as Apple's picture format lays them out, big-endian. Mac Word and the equation editors
// store an equation's picture this way: lines, rectangles and ovals, and text at given spots.

#include "wordproc/MetafilePlayer.h"
#include "wordproc/SymbolFonts.h"

#include <bit>

namespace wordproc::metafile {

namespace {

// Big-endian reads over the bounded bytes.
struct Big {
    Bytes b;
    quint8 u8(qint64 at) const { return b.u8(at); }
    quint16 u16(qint64 at) const { return quint16(b.u8(at) << 8 | b.u8(at + 1)); }
    qint16 i16(qint64 at) const { return qint16(u16(at)); }
    quint32 u32(qint64 at) const { return quint32(u16(at)) << 16 | u16(at + 2); }
    qint32 i32(qint64 at) const { return qint32(u32(at)); }
    // QuickDraw's points and rectangles put the vertical first.
    QPointF point(qint64 at) const { return QPointF(i16(at + 2), i16(at)); }
    QRectF rect(qint64 at) const { return QRectF(point(at), point(at + 4)); }
};

// Where the picture's drawing starts and the box its coordinates fill.
struct PictHeader {
    qint64 start = 0; // the first opcode
    bool twoBytes = false;
    QRectF box;          // the coordinates' box
    double perInch = 72; // coordinates to the inch
};

bool readHeader(Bytes data, PictHeader& h) {
    // A picture as a file begins with 512 bytes for the application; one in a document does not.
    for (const qint64 skip : {qint64(0), qint64(512)}) {
        const Big d{data.sub(skip, data.size())};
        const QRectF frame = d.rect(2);
        if (d.u16(10) == 0x0011 && d.u16(12) == 0x02FF) {
            h.start = skip + 14;
            h.twoBytes = true;
            h.box = frame;
            h.perInch = 72;
            // An extended header gives the drawing's own resolution and box; the frame is then at 72 to
            // the inch, the drawing at that resolution.
            if (d.u16(14) == 0x0C00 && d.i16(16) == -2) {
                const double dpi = d.u32(20) / 65536.0;
                const QRectF source = d.rect(28);
                if (dpi >= 1 && dpi <= 100000 && source.width() > 0 && source.height() > 0) {
                    h.box = source;
                    h.perInch = dpi;
                }
            }
        } else if (d.u8(10) == 0x11 && d.u8(11) == 0x01) {
            h.start = skip + 12;
            h.twoBytes = false;
            h.box = frame;
            h.perInch = 72;
        } else {
            continue;
        }
        return h.box.width() > 0 && h.box.height() > 0;
    }
    return false;
}

// The eight classic QuickDraw colours by their numbers.
QColor classicColor(quint32 v) {
    switch (v) {
    case 30:
        return Qt::white;
    case 69:
        return Qt::yellow;
    case 137:
        return Qt::magenta;
    case 205:
        return Qt::red;
    case 273:
        return Qt::cyan;
    case 341:
        return Qt::green;
    case 409:
        return Qt::blue;
    default:
        return Qt::black;
    }
}

class PictPlayer : public Player {
public:
    PictPlayer(QImage& image, Bytes data, const PictHeader& header)
        : Player(image), m_data{data}, m_header(header) {
        m_pixelsPerInch = m_bounds.width() * header.perInch / header.box.width();
        m_hairline = qMax(1.0, m_pixelsPerInch / 96);
        m_dc.opaque = false;
        m_dc.textAlign = 24; // text stands on its baseline
        m_dc.pen.style = 5;  // shapes are filled, never stroked: QuickDraw's pen is a brush
        m_dc.font.height = -12 * header.perInch / 72;
    }

    void play() {
        qint64 at = m_header.start;
        for (int n = 0; n < kMaxRecords && !stopped(); ++n) {
            if (m_header.twoBytes)
                at += at & 1;
            const int size = m_header.twoBytes ? 2 : 1;
            if (!m_data.b.has(at, size))
                return;
            const int op = m_header.twoBytes ? m_data.u16(at) : m_data.u8(at);
            at += size;
            const qint64 used = opcode(op, at);
            if (used < 0 || !m_data.b.has(at, used))
                return;
            at += used;
        }
    }

private:
    QTransform total() const override {
        const QRectF& box = m_header.box;
        return QTransform::fromTranslate(-box.left() - m_origin.x(), -box.top() - m_origin.y()) *
               QTransform::fromScale(m_bounds.width() / box.width(), m_bounds.height() / box.height());
    }

    // The opcode's data at `at`: drawn, and its length given; -1 where the picture ends or playing
    // cannot go on (an opcode whose length is not known here).
    qint64 opcode(int op, qint64 at) {
        const Big& d = m_data;
        const bool two = m_header.twoBytes;
        if (op >= 0x30 && op < 0x90)
            return shapeOpcode(op, at);
        switch (op) {
        case 0x00: // NOP
        case 0x1C: // HiliteMode
        case 0x1E: // DefHilite
            return 0;
        case 0x01: { // Clip: a region, its bounding box taken
            const int length = d.u16(at);
            if (length < 10)
                return -1;
            QPainterPath box;
            box.addRect(d.rect(at + 2).normalized());
            clipTo(total().map(box), 5);
            return length;
        }
        case 0x02: // BkPat
            m_backPattern = patternShare(at);
            return 8;
        case 0x03: // TxFont
            m_fontId = d.i16(at);
            return 2;
        case 0x04: // TxFace
            m_face = d.u8(at);
            return 1;
        case 0x05:
        case 0x08:
        case 0x15:
        case 0x16:
        case 0x23: // ShortLineFrom
            if (op == 0x23)
                penLine(m_pen + QPointF(qint8(d.u8(at)), qint8(d.u8(at + 1))));
            return 2;
        case 0x06:
            return 4;
        case 0x0B: // OvSize
            m_oval = QSizeF(d.i16(at + 2), d.i16(at));
            return 4;
        case 0x21: // LineFrom
            penLine(d.point(at));
            return 4;
        case 0x07: // PnSize
            m_penSize = QSizeF(d.i16(at + 2), d.i16(at));
            return 4;
        case 0x09: // PnPat
            m_penPattern = patternShare(at);
            return 8;
        case 0x0A: // FillPat
            m_fillPattern = patternShare(at);
            return 8;
        case 0x0C: // Origin: what follows is moved by it
            m_origin += QPointF(d.i16(at + 2), d.i16(at));
            return 4;
        case 0x0D: // TxSize
            m_textSize = d.i16(at);
            return 2;
        case 0x0E: // FgColor
        case 0x0F: // BkColor
            (op == 0x0E ? m_fore : m_back) = classicColor(d.u32(at));
            return 4;
        case 0x10:
            return 8;
        case 0x11: // Version
            return two ? 2 : 1;
        case 0x12: // BkPixPat, PnPixPat, FillPixPat: an old pattern and an RGB colour
        case 0x13:
        case 0x14: {
            if (d.u16(at) != 2)
                return -1; // a pattern of its own pixels
            const QColor c(d.u8(at + 10), d.u8(at + 12), d.u8(at + 14));
            (op == 0x12 ? m_backPattern : op == 0x13 ? m_penPattern : m_fillPattern) = {c, 64};
            return 16;
        }
        case 0x1A: // RGBFgCol
        case 0x1B: // RGBBkCol
            (op == 0x1A ? m_fore : m_back) = QColor(d.u8(at), d.u8(at + 2), d.u8(at + 4));
            return 6;
        case 0x1D:
        case 0x1F:
            return 6;
        case 0x20: // Line
            m_pen = d.point(at);
            penLine(d.point(at + 4));
            return 8;
        case 0x22: // ShortLine
            m_pen = d.point(at);
            penLine(m_pen + QPointF(qint8(d.u8(at + 4)), qint8(d.u8(at + 5))));
            return 6;
        case 0x28: // LongText
            m_textAt = d.point(at);
            drawText(at + 5, d.u8(at + 4));
            return 5 + d.u8(at + 4);
        case 0x29: // DHText
        case 0x2A: // DVText
            m_textAt += op == 0x29 ? QPointF(d.u8(at), 0) : QPointF(0, d.u8(at));
            drawText(at + 2, d.u8(at + 1));
            return 2 + d.u8(at + 1);
        case 0x2B: // DHDVText
            m_textAt += QPointF(d.u8(at), d.u8(at + 1));
            drawText(at + 3, d.u8(at + 2));
            return 3 + d.u8(at + 2);
        case 0x2C: { // FontName: a font number's name
            const int length = d.u16(at);
            const int nameLength = qMin<int>(d.u8(at + 4), qMax(0, length - 3));
            if (m_names.size() < 256)
                m_names.push_back(
                    {d.i16(at + 2), QString::fromLatin1(m_data.b.data() + at + 5,
                                                        m_data.b.has(at + 5, nameLength) ? nameLength : 0)});
            return 2 + length;
        }
        case 0xA0: // ShortComment
            return 2;
        case 0xA1: // LongComment
            return 4 + d.u16(at + 2);
        case 0xFF: // OpEndPic
            return -1;
        default:
            break;
        }
        if ((op >= 0x24 && op <= 0x27) || (op >= 0x2D && op <= 0x2F) || (op >= 0x9C && op <= 0x9F) ||
            (op >= 0xA2 && op <= 0xAF))
            return 2 + d.u16(at);
        if ((op >= 0x17 && op <= 0x19) || (op >= 0xB0 && op <= 0xCF) || (op >= 0x8000 && op <= 0x80FF))
            return 0;
        if ((op >= 0xD0 && op <= 0xFE) || op >= 0x8100)
            return d.u32(at) > quint32(m_data.b.size()) ? -1 : 4 + qint64(d.u32(at));
        if (op >= 0x100 && op <= 0x7FFF)
            return (op >> 8) * 2;
        return -1; // bitmaps, whose lengths lie inside their own layout
    }

    // Rectangles, rounded rectangles, ovals, arcs, polygons and regions, framed, painted, erased,
    // inverted or filled; the "same" forms repeat the last one's place.
    qint64 shapeOpcode(int op, qint64 at) {
        const Big& d = m_data;
        const int kind = op >> 4, verb = op & 7;
        const bool same = op & 8;
        qint64 used = 0;
        QPainterPath outline, inner;
        const auto inset = [&](QRectF r) {
            return r.adjusted(m_penSize.width(), m_penSize.height(), -m_penSize.width(), -m_penSize.height());
        };
        switch (kind) {
        case 0x3:
        case 0x4:
        case 0x5: {
            if (!same) {
                m_lastRect = d.rect(at).normalized();
                used = 8;
            }
            const auto path = [&](QRectF r) {
                QPainterPath p;
                if (kind == 0x5)
                    p.addEllipse(r);
                else if (kind == 0x4)
                    p.addRoundedRect(r, m_oval.width() / 2, m_oval.height() / 2);
                else
                    p.addRect(r);
                return p;
            };
            outline = path(m_lastRect);
            const QRectF in = inset(m_lastRect);
            if (in.width() > 0 && in.height() > 0)
                inner = path(in);
            break;
        }
        case 0x6: { // arcs: angles clockwise from twelve o'clock
            if (!same) {
                m_lastRect = d.rect(at).normalized();
                used = 8;
            }
            const double start = d.i16(at + used), sweep = d.i16(at + used + 2);
            used += 4;
            const QRectF r = m_lastRect;
            const auto wedge = [&](QRectF box) {
                QPainterPath p(box.center());
                p.arcTo(box, 90 - start, -sweep);
                p.closeSubpath();
                return p;
            };
            outline = wedge(r);
            if (verb == 0) { // a frame is the arc's curve alone
                const QRectF in = inset(r);
                QPainterPath ring = outline;
                if (in.width() > 0 && in.height() > 0) {
                    QPainterPath hole;
                    hole.addEllipse(in);
                    ring = outline.subtracted(hole);
                }
                fillShape(ring, m_penPattern);
                return used;
            }
            break;
        }
        case 0x7:
        case 0x8: { // polygons and regions: a length, a box, then the points (regions: their box)
            if (!same) {
                const int length = d.u16(at);
                if (length < 10)
                    return -1;
                used = length;
                m_lastPolygon.clear();
                if (kind == 0x7)
                    for (qint64 p = at + 10; p + 4 <= at + length; p += 4)
                        m_lastPolygon.push_back(d.point(p));
                else
                    m_lastRegion = d.rect(at + 2).normalized();
            }
            if (kind == 0x8) {
                outline.addRect(m_lastRegion);
                break;
            }
            if (m_lastPolygon.empty())
                return used;
            if (verb == 0) {
                for (size_t i = 1; i < m_lastPolygon.size(); ++i) {
                    m_pen = m_lastPolygon[i - 1];
                    penLine(m_lastPolygon[i]);
                }
                return used;
            }
            outline.addPolygon(QPolygonF(QList<QPointF>(m_lastPolygon.begin(), m_lastPolygon.end())));
            break;
        }
        }
        switch (verb) {
        case 0: // frame: the pen's width inside the outline
            if (m_penSize.width() > 0 && m_penSize.height() > 0)
                fillShape(inner.isEmpty() ? outline : outline.subtracted(inner), m_penPattern);
            break;
        case 1: // paint
            fillShape(outline, m_penPattern);
            break;
        case 2: // erase
            fillShape(outline, m_backPattern);
            break;
        case 4: // fill
            fillShape(outline, m_fillPattern);
            break;
        default: // invert: nothing to invert on a picture of its own
            break;
        }
        return used;
    }

    // A pattern as the share of its 64 pixels in the foreground colour, drawn as that mix.
    struct Pattern {
        QColor color; // invalid: the foreground and background mixed by `ones`
        int ones = 64;
    };

    Pattern patternShare(qint64 at) const {
        int ones = 0;
        for (int i = 0; i < 8; ++i)
            ones += std::popcount(m_data.u8(at + i));
        return {QColor(), ones};
    }

    QColor colorOf(const Pattern& p) const {
        if (p.color.isValid())
            return p.color;
        const double f = p.ones / 64.0;
        return QColor::fromRgbF(float(m_fore.redF() * f + m_back.redF() * (1 - f)),
                                float(m_fore.greenF() * f + m_back.greenF() * (1 - f)),
                                float(m_fore.blueF() * f + m_back.blueF() * (1 - f)));
    }

    void fillShape(const QPainterPath& logical, const Pattern& pattern) {
        m_dc.brush = Brush{Brush::Solid, colorOf(pattern), 0, {}};
        shape(logical, true, false);
    }

    // QuickDraw's pen is a rectangle hanging right and down from the point: a line covers what it
    // sweeps from one end to the other.
    void penLine(QPointF to) {
        const QPointF from = m_pen;
        m_pen = to;
        const double w = m_penSize.width(), h = m_penSize.height();
        if (w <= 0 || h <= 0)
            return;
        QPolygonF corners;
        for (const QPointF& p : {from, to})
            corners << p << p + QPointF(w, 0) << p + QPointF(w, h) << p + QPointF(0, h);
        QPainterPath swept;
        swept.addPolygon(hull(corners));
        swept.closeSubpath();
        fillShape(swept, m_penPattern);
    }

    // The convex hull of a few points (monotone chain).
    static QPolygonF hull(QPolygonF p) {
        std::sort(p.begin(), p.end(),
                  [](QPointF a, QPointF b) { return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y()); });
        const auto cross = [](QPointF o, QPointF a, QPointF b) {
            return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
        };
        QPolygonF out(2 * p.size());
        qsizetype k = 0;
        for (qsizetype i = 0; i < p.size(); ++i) {
            while (k >= 2 && cross(out[k - 2], out[k - 1], p[i]) <= 0)
                --k;
            out[k++] = p[i];
        }
        for (qsizetype i = p.size() - 2, t = k + 1; i >= 0; --i) {
            while (k >= t && cross(out[k - 2], out[k - 1], p[i]) <= 0)
                --k;
            out[k++] = p[i];
        }
        out.resize(qMax<qsizetype>(0, k - 1));
        return out;
    }

    QString faceName() const {
        for (const auto& [id, name] : m_names)
            if (id == m_fontId)
                return name;
        // The Mac's own numbers for its standard faces.
        static const std::pair<int, const char*> standard[] = {
            {2, "New York"},   {3, "Geneva"},   {4, "Monaco"},  {20, "Times"},
            {21, "Helvetica"}, {22, "Courier"}, {23, "Symbol"},
        };
        for (const auto& [id, name] : standard)
            if (id == m_fontId)
                return QString::fromLatin1(name);
        return QString();
    }

    void drawText(qint64 at, int count) {
        if (!m_data.b.has(at, count))
            return;
        const QByteArrayView bytes(m_data.b.data() + at, count);
        Font& f = m_dc.font;
        f.face = faceName();
        f.height = -(m_textSize > 0 ? m_textSize : 12 * m_header.perInch / 72);
        f.weight = m_face & 1 ? 700 : 400;
        f.italic = m_face & 2;
        f.underline = m_face & 4;
        // A symbol font's bytes are its own pictures; other text is in the Mac's own code page.
        QString s;
        if (const SymbolSet set = symbolSetOfFont(f.face); set != SymbolSet::None) {
            // A symbol font's pictures print as the symbols they are, in a serif face of the Symbol
            // font's widths.
            f.face = QStringLiteral("Times New Roman");
            for (const char c : bytes)
                s += symbolCharacter(set, uchar(c), QChar(uchar(c)));
        } else {
            QStringDecoder decoder = decoderFor(77);
            s = decoder.decode(bytes);
        }
        m_dc.textColor = m_fore;
        text(m_textAt, s, {}, 0, std::nullopt);
    }

    Big m_data;
    PictHeader m_header;
    QPointF m_pen, m_textAt, m_origin;
    QSizeF m_penSize{1, 1};
    QSizeF m_oval;
    QRectF m_lastRect, m_lastRegion;
    std::vector<QPointF> m_lastPolygon;
    Pattern m_penPattern, m_fillPattern, m_backPattern{QColor(), 0};
    QColor m_fore = Qt::black, m_back = Qt::white;
    int m_fontId = 0, m_face = 0, m_textSize = 0;
    std::vector<std::pair<int, QString>> m_names;
};

} // namespace

bool pictBox(Bytes data, QRectF& box, double& perInch) {
    PictHeader h;
    if (!readHeader(data, h))
        return false;
    box = h.box;
    perInch = h.perInch;
    return true;
}

void playPict(QImage& image, Bytes data, std::vector<MetafileText>& texts) {
    PictHeader h;
    if (!readHeader(data, h))
        return;
    PictPlayer player(image, data, h);
    player.play();
    texts = std::move(player.texts());
}

} // namespace wordproc::metafile
