// Freeform shapes drawn in Word 2007 and later (a:custGeom): the figures of their paths as lines through
// points in twips from the shape's corner, curves and arcs followed closely enough for print.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

#include <QPointF>
#include <QtMath>
#include <cmath>

namespace wordproc::docx {

namespace {

// A logo drawn as freeforms has a few hundred points to a piece; this is far more than any needs.
constexpr size_t kMaxPoints = 8000;
// Straight pieces to a curve, and the angle an arc turns for each of its pieces.
constexpr int kCurvePieces = 16;
constexpr double kArcStepDegrees = 10;

double number(const Node& n, QStringView key, bool& ok) {
    bool good = false;
    const double v = n.attr(key).toDouble(&good);
    // A guide's name instead of a number is a formula this reader does not work out.
    ok = ok && good && std::isfinite(v);
    return ok ? v : 0;
}

class Figures {
public:
    Figures(Floating& g, double scaleX, double scaleY) : m_g(g), m_sx(scaleX), m_sy(scaleY) {}

    bool full() const { return m_g.points.size() >= kMaxPoints; }

    // A move only sets the pen down: a figure starts with the first piece drawn from there.
    void moveTo(QPointF p) {
        m_at = m_first = p;
        m_drawing = false;
    }
    void lineTo(QPointF p) {
        if (!m_drawing) {
            if (!m_g.points.empty())
                m_g.figures.push_back(int(m_g.points.size()));
            m_start = m_g.points.size();
            m_drawing = true;
            add(m_at);
        }
        add(p);
    }
    void close() {
        if (m_drawing && m_g.points.size() > m_start + 1)
            add(m_first);
        moveTo(m_first);
    }
    void cubic(QPointF c1, QPointF c2, QPointF end) {
        const QPointF from = m_at;
        for (int i = 1; i <= kCurvePieces; ++i) {
            const double t = double(i) / kCurvePieces, u = 1 - t;
            lineTo(u * u * u * from + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end);
        }
    }
    void quadratic(QPointF c, QPointF end) {
        const QPointF from = m_at;
        for (int i = 1; i <= kCurvePieces; ++i) {
            const double t = double(i) / kCurvePieces, u = 1 - t;
            lineTo(u * u * from + 2 * u * t * c + t * t * end);
        }
    }
    // An arc of the ellipse of radii (wr, hr) that passes through the pen, from the angle `start` on
    // for `sweep` (degrees, clockwise as the page runs down).
    void arc(double wr, double hr, double start, double sweep) {
        const auto onEllipse = [&](double degrees) {
            const double a = qDegreesToRadians(degrees);
            // The angle is where the point appears, not the ellipse's own parameter.
            const double t = std::atan2(wr * std::sin(a), hr * std::cos(a));
            return QPointF(wr * std::cos(t), hr * std::sin(t));
        };
        const QPointF centre = m_at - onEllipse(start);
        const int pieces = qBound(1, int(std::ceil(std::abs(sweep) / kArcStepDegrees)), 72);
        for (int i = 1; i <= pieces; ++i)
            lineTo(centre + onEllipse(start + sweep * i / pieces));
    }

private:
    void add(QPointF p) {
        m_at = p;
        if (!full())
            m_g.points.emplace_back(clampTwips(qRound64(p.x() * m_sx)), clampTwips(qRound64(p.y() * m_sy)));
    }

    Floating& m_g;
    double m_sx, m_sy;
    QPointF m_at, m_first;
    size_t m_start = 0;
    bool m_drawing = false;
};

} // namespace

bool customGeometry(const Node& geometry, int widthTwips, int heightTwips, double extentX, double extentY,
                    Floating& g) {
    const Node* paths = geometry.child(u"a:pathLst");
    if (!paths)
        return false;
    g.points.clear();
    g.figures.clear();
    for (const Node& path : paths->children) {
        if (path.name != QLatin1String("a:path"))
            continue;
        // A path measures in units of its own across its width and height; without them, in those of
        // the shape's extent.
        const double w = path.attr(u"w").toDouble(), h = path.attr(u"h").toDouble();
        const double across = w > 0 && std::isfinite(w) ? w : qMax(1.0, extentX);
        const double down = h > 0 && std::isfinite(h) ? h : qMax(1.0, extentY);
        Figures figures(g, widthTwips / across, heightTwips / down);
        for (const Node& step : path.children) {
            if (figures.full())
                break;
            bool ok = true;
            std::vector<QPointF> pts;
            for (const Node& pt : step.children)
                if (pt.name == QLatin1String("a:pt"))
                    pts.emplace_back(number(pt, u"x", ok), number(pt, u"y", ok));
            if (!ok)
                return false;
            if (step.name == QLatin1String("a:moveTo") && pts.size() == 1)
                figures.moveTo(pts[0]);
            else if (step.name == QLatin1String("a:lnTo") && pts.size() == 1)
                figures.lineTo(pts[0]);
            else if (step.name == QLatin1String("a:cubicBezTo") && pts.size() == 3)
                figures.cubic(pts[0], pts[1], pts[2]);
            else if (step.name == QLatin1String("a:quadBezTo") && pts.size() == 2)
                figures.quadratic(pts[0], pts[1]);
            else if (step.name == QLatin1String("a:close"))
                figures.close();
            else if (step.name == QLatin1String("a:arcTo")) {
                const double wr = number(step, u"wR", ok), hr = number(step, u"hR", ok);
                const double start = number(step, u"stAng", ok) / 60000;
                const double sweep = number(step, u"swAng", ok) / 60000;
                if (!ok)
                    return false;
                figures.arc(wr, hr, start, sweep);
            }
        }
    }
    g.shape = Floating::Shape::Lines;
    return g.points.size() >= 2;
}

} // namespace wordproc::docx
