// Charts in Word 2007+ documents. Word keeps a chart as a part of its own (DrawingML charts, ECMA-376
// part 1, 21.2) with the last values it drew from: series names, categories and numbers. A letter's chart
// is drawn from them as Word lays a chart out by default: a title over the plot, the value axis with its
// gridlines, the categories, the bars, lines or slices, and the legend. Its words (title, axis labels,
// legend) are carried as text over the picture, as Word prints them.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Metafile.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace wordproc::docx {

namespace {

// A chart's picture is drawn at this many pixels to the inch.
constexpr double kChartDpi = 192;
constexpr size_t kMaxSeries = 64;
constexpr size_t kMaxPoints = 1000;

struct Series {
    QString name;
    QStringList categories;
    std::vector<double> values;
    QColor color;
};

struct ChartData {
    enum class Kind { Bar, Line, Pie, Other } kind = Kind::Other;
    bool horizontal = false; // bars along the value axis from the left
    QString title;
    bool titled = false;
    QString legendAt; // "b", "r", "t", "l"; empty: no legend
    // The chart area's outline (invalid: none) and its width in points.
    QColor outline;
    double outlineWidth = 0.75;
    std::vector<Series> series;
};

// The points of a c:strCache or c:numCache (or the lit forms), by their index.
QStringList cachedPoints(const Node* holder) {
    QStringList out;
    if (!holder)
        return out;
    const Node* cache = nullptr;
    for (const char16_t* name : {u"c:strCache", u"c:numCache", u"c:strLit", u"c:numLit"})
        if (!cache)
            cache = holder->find(name);
    if (!cache)
        return out;
    for (const Node& pt : cache->children) {
        if (pt.name != QLatin1String("c:pt"))
            continue;
        bool ok = false;
        const int idx = pt.attr(u"idx").toInt(&ok);
        if (!ok || idx < 0 || size_t(idx) >= kMaxPoints)
            continue;
        while (out.size() <= idx)
            out << QString();
        const Node* v = pt.child(u"c:v");
        out[idx] = v ? v->text : QString();
    }
    return out;
}

// The plain text of a c:tx or c:title's rich text: its runs, paragraphs on lines of their own.
QString richText(const Node* rich) {
    QStringList lines;
    if (!rich)
        return {};
    for (const Node& p : rich->children) {
        if (p.name != QLatin1String("a:p"))
            continue;
        QString line;
        for (const Node& r : p.children)
            if (r.name == QLatin1String("a:r") || r.name == QLatin1String("a:fld"))
                if (const Node* t = r.child(u"a:t"))
                    line += t->text;
        lines << line;
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

bool on(const Node* n, bool fallback) {
    if (!n)
        return fallback;
    const QString v = n->attr(u"val");
    return v.isEmpty() || v == QLatin1String("1") || v == QLatin1String("true");
}

// Round values for the axis: from `lo` to `hi` in steps of 1, 2 or 5 times a power of ten, at most eight
// steps, with room above the highest value as Word leaves it.
std::vector<double> axisTicks(double lo, double hi) {
    lo = qMin(lo, 0.0);
    hi = qMax(hi, 0.0);
    if (!(hi > lo))
        hi = lo + 1;
    hi += (hi - lo) * 0.05;
    if (lo < 0)
        lo -= (hi - lo) * 0.05;
    const double span = hi - lo;
    double step = std::pow(10.0, std::floor(std::log10(span / 8)));
    for (int i = 0; i < 8 && std::ceil(hi / step - 1e-9) - std::floor(lo / step + 1e-9) > 8; ++i)
        step *= (i % 3 == 1) ? 2.5 : 2;
    std::vector<double> ticks;
    const double first = std::floor(lo / step + 1e-9) * step;
    for (double v = first; v <= hi + step - 1e-9 && ticks.size() < 12; v += step) {
        ticks.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
        if (v >= hi)
            break;
    }
    return ticks;
}

QString number(double v) {
    return QString::number(v, 'g', 10);
}

// Office's default series colours (the theme's accents), where a series names none of its own.
QColor seriesColor(size_t i) {
    static const QColor palette[] = {QColor(0x44, 0x72, 0xC4), QColor(0xED, 0x7D, 0x31),
                                     QColor(0xA5, 0xA5, 0xA5), QColor(0xFF, 0xC0, 0x00),
                                     QColor(0x5B, 0x9B, 0xD5), QColor(0x70, 0xAD, 0x47)};
    return palette[i % 6];
}

class ChartPainter {
public:
    ChartPainter(QImage& image) : m_image(image), m_painter(&image) {
        m_painter.setRenderHint(QPainter::Antialiasing);
    }

    // Text of `points` size at `at` (pixels), placed by `align` around it; its width in pixels.
    double text(const QString& s, double points, QPointF at, Qt::Alignment align, QColor color = {}) {
        QFont f(QStringLiteral("Calibri"));
        const double pixels = points * kChartDpi / 72;
        f.setPointSizeF(pixels * 72 / m_image.logicalDpiY());
        const QFontMetricsF fm(f, &m_image);
        const double width = fm.horizontalAdvance(s);
        double x = at.x(), y = at.y() + fm.ascent();
        if (align & Qt::AlignHCenter)
            x -= width / 2;
        else if (align & Qt::AlignRight)
            x -= width;
        if (align & Qt::AlignVCenter)
            y -= fm.height() / 2;
        else if (align & Qt::AlignBottom)
            y -= fm.height();
        MetafileText t;
        t.font = f;
        t.pixels = pixels;
        t.color = color.isValid() ? color : QColor(0x59, 0x59, 0x59);
        t.pieces.push_back({QPointF(x, y), s});
        m_texts.push_back(std::move(t));
        return width;
    }

    double textHeight(double points) const {
        QFont f(QStringLiteral("Calibri"));
        f.setPointSizeF(points * kChartDpi / 72 * 72 / m_image.logicalDpiY());
        return QFontMetricsF(f, &m_image).height();
    }

    double textWidth(const QString& s, double points) const {
        QFont f(QStringLiteral("Calibri"));
        f.setPointSizeF(points * kChartDpi / 72 * 72 / m_image.logicalDpiY());
        return QFontMetricsF(f, &m_image).horizontalAdvance(s);
    }

    QPainter& painter() { return m_painter; }
    std::vector<MetafileText>& texts() { return m_texts; }

private:
    QImage& m_image;
    QPainter m_painter;
    std::vector<MetafileText> m_texts;
};

QImage drawChart(const ChartData& c, QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    image.setDotsPerMeterX(qRound(kChartDpi / 0.0254));
    image.setDotsPerMeterY(qRound(kChartDpi / 0.0254));
    ChartPainter cp(image);
    QPainter& p = cp.painter();
    const double pt = kChartDpi / 72;
    QRectF room(QPointF(0, 0), QSizeF(size));
    if (c.outline.isValid()) {
        const double w = qMax(1.0, c.outlineWidth * pt);
        p.setPen(QPen(c.outline, w));
        p.setBrush(Qt::NoBrush);
        p.drawRect(room.adjusted(w / 2, w / 2, -w / 2, -w / 2));
    }
    room.adjust(7 * pt, 7 * pt, -7 * pt, -7 * pt);
    if (c.titled && !c.title.isEmpty()) {
        const QStringList lines = c.title.split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            cp.text(line, 14, QPointF(room.center().x(), room.top()), Qt::AlignHCenter | Qt::AlignTop);
            room.setTop(room.top() + cp.textHeight(14));
        }
        room.setTop(room.top() + 4 * pt);
    }
    // The legend: a key and a name for each series, or each category of a pie.
    QStringList names;
    std::vector<QColor> keys;
    if (c.kind == ChartData::Kind::Pie && !c.series.empty()) {
        const Series& s = c.series.front();
        for (size_t i = 0; i < s.values.size(); ++i) {
            names << (qsizetype(i) < s.categories.size() ? s.categories[qsizetype(i)]
                                                         : QString::number(i + 1));
            keys.push_back(seriesColor(i));
        }
    } else {
        for (const Series& s : c.series) {
            names << s.name;
            keys.push_back(s.color);
        }
    }
    const double legendSize = 9, key = 5 * pt, lineH = cp.textHeight(legendSize);
    if (!c.legendAt.isEmpty() && !names.isEmpty()) {
        const bool across = c.legendAt == QLatin1String("b") || c.legendAt == QLatin1String("t");
        if (across) {
            double total = 0;
            for (const QString& n : names)
                total += key + 3 * pt + cp.textWidth(n, legendSize) + 9 * pt;
            double x = room.center().x() - total / 2;
            const double y = c.legendAt == QLatin1String("b") ? room.bottom() - lineH : room.top();
            for (qsizetype i = 0; i < names.size(); ++i) {
                p.fillRect(QRectF(x, y + (lineH - key) / 2, key, key), keys[size_t(i)]);
                x += key + 3 * pt;
                x += cp.text(names[i], legendSize, QPointF(x, y), Qt::AlignLeft | Qt::AlignTop) + 9 * pt;
            }
            if (c.legendAt == QLatin1String("b"))
                room.setBottom(room.bottom() - lineH - 4 * pt);
            else
                room.setTop(room.top() + lineH + 4 * pt);
        } else {
            double widest = 0;
            for (const QString& n : names)
                widest = qMax(widest, cp.textWidth(n, legendSize));
            const double w = key + 3 * pt + widest;
            const double x = c.legendAt == QLatin1String("l") ? room.left() : room.right() - w;
            double y = room.center().y() - lineH * names.size() / 2;
            for (qsizetype i = 0; i < names.size(); ++i, y += lineH) {
                p.fillRect(QRectF(x, y + (lineH - key) / 2, key, key), keys[size_t(i)]);
                cp.text(names[i], legendSize, QPointF(x + key + 3 * pt, y), Qt::AlignLeft | Qt::AlignTop);
            }
            if (c.legendAt == QLatin1String("l"))
                room.setLeft(room.left() + w + 6 * pt);
            else
                room.setRight(room.right() - w - 6 * pt);
        }
    }
    if (c.kind == ChartData::Kind::Pie) {
        if (c.series.empty())
            return image;
        const Series& s = c.series.front();
        double total = 0;
        for (double v : s.values)
            total += qMax(0.0, v);
        const double d = qMin(room.width(), room.height());
        const QRectF disc(room.center().x() - d / 2, room.center().y() - d / 2, d, d);
        double at = 90 * 16;
        p.setPen(QPen(Qt::white, pt));
        for (size_t i = 0; i < s.values.size() && total > 0; ++i) {
            const int span = -qRound(qMax(0.0, s.values[i]) / total * 360 * 16);
            p.setBrush(seriesColor(i));
            p.drawPie(disc, int(at), span);
            at += span;
        }
        carryText(image, cp.texts());
        return image;
    }
    if (c.kind == ChartData::Kind::Other || c.series.empty()) {
        carryText(image, cp.texts());
        return image;
    }
    double lo = 0, hi = 0;
    size_t points = 0;
    QStringList categories;
    for (const Series& s : c.series) {
        for (double v : s.values)
            if (std::isfinite(v))
                lo = qMin(lo, v), hi = qMax(hi, v);
        points = qMax(points, s.values.size());
        if (s.categories.size() > categories.size())
            categories = s.categories;
    }
    if (points == 0) {
        carryText(image, cp.texts());
        return image;
    }
    const std::vector<double> ticks = axisTicks(lo, hi);
    const double axisSize = 9, labelH = cp.textHeight(axisSize);
    double labelW = 0;
    for (double t : ticks)
        labelW = qMax(labelW, cp.textWidth(number(t), axisSize));
    double catW = 0;
    for (const QString& cat : categories)
        catW = qMax(catW, cp.textWidth(cat, axisSize));
    QRectF plot = room;
    if (c.horizontal) {
        plot.setLeft(plot.left() + catW + 5 * pt);
        plot.setBottom(plot.bottom() - labelH - 3 * pt);
    } else {
        plot.setLeft(plot.left() + labelW + 5 * pt);
        plot.setBottom(plot.bottom() - labelH - 3 * pt);
    }
    if (plot.width() <= 1 || plot.height() <= 1) {
        carryText(image, cp.texts());
        return image;
    }
    const double first = ticks.front(), last = ticks.back();
    const auto along = [&](double v) {
        const double share = (v - first) / (last - first);
        return c.horizontal ? plot.left() + share * plot.width() : plot.bottom() - share * plot.height();
    };
    // Gridlines and the value axis's labels.
    p.setPen(QPen(QColor(0xD9, 0xD9, 0xD9), 0.75 * pt));
    for (double t : ticks) {
        const double at = along(t);
        if (c.horizontal) {
            p.drawLine(QPointF(at, plot.top()), QPointF(at, plot.bottom()));
            cp.text(number(t), axisSize, QPointF(at, plot.bottom() + 3 * pt),
                    Qt::AlignHCenter | Qt::AlignTop);
        } else {
            p.drawLine(QPointF(plot.left(), at), QPointF(plot.right(), at));
            cp.text(number(t), axisSize, QPointF(plot.left() - 4 * pt, at),
                    Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    // The categories, each a band of the category axis; the first nearest the axes' crossing.
    const double bandSpan = (c.horizontal ? plot.height() : plot.width()) / double(points);
    const auto bandStart = [&](size_t i) {
        return c.horizontal ? plot.bottom() - (i + 1) * bandSpan : plot.left() + i * bandSpan;
    };
    for (size_t i = 0; i < points; ++i) {
        const QString cat =
            qsizetype(i) < categories.size() ? categories[qsizetype(i)] : QString::number(i + 1);
        if (c.horizontal)
            cp.text(cat, axisSize, QPointF(plot.left() - 4 * pt, bandStart(i) + bandSpan / 2),
                    Qt::AlignRight | Qt::AlignVCenter);
        else
            cp.text(cat, axisSize, QPointF(bandStart(i) + bandSpan / 2, plot.bottom() + 3 * pt),
                    Qt::AlignHCenter | Qt::AlignTop);
    }
    const double zero = along(qBound(first, 0.0, last));
    if (c.kind == ChartData::Kind::Bar) {
        // Word's default gap between categories is 182% of a bar.
        const double barSpan = bandSpan / (double(c.series.size()) + 1.82);
        for (size_t s = 0; s < c.series.size(); ++s)
            for (size_t i = 0; i < c.series[s].values.size(); ++i) {
                const double v = c.series[s].values[i];
                if (!std::isfinite(v))
                    continue;
                // The first series nearest the category axis's start: the band's left, or its foot.
                const double from = c.horizontal ? bandStart(i) + bandSpan - barSpan * (1.91 + double(s))
                                                 : bandStart(i) + barSpan * (0.91 + double(s));
                const double to = along(qBound(first, v, last));
                const QRectF bar =
                    c.horizontal
                        ? QRectF(QPointF(qMin(zero, to), from), QPointF(qMax(zero, to), from + barSpan))
                        : QRectF(QPointF(from, qMin(zero, to)), QPointF(from + barSpan, qMax(zero, to)));
                p.fillRect(bar, c.series[s].color);
            }
    } else {
        for (const Series& s : c.series) {
            QPolygonF line;
            for (size_t i = 0; i < s.values.size(); ++i)
                if (std::isfinite(s.values[i]))
                    line << QPointF(bandStart(i) + bandSpan / 2, along(qBound(first, s.values[i], last)));
            p.setPen(QPen(s.color, 2.25 * pt, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(line);
        }
    }
    p.setPen(QPen(QColor(0xBF, 0xBF, 0xBF), 0.75 * pt));
    if (c.horizontal)
        p.drawLine(QPointF(zero, plot.top()), QPointF(zero, plot.bottom()));
    else
        p.drawLine(QPointF(plot.left(), zero), QPointF(plot.right(), zero));
    carryText(image, cp.texts());
    return image;
}

} // namespace

int Reader::chart(StoryState& st, const QString& id, int widthTwips, int heightTwips) {
    if (id.isEmpty() || !st.rels)
        return -1;
    const QString part = m_pkg.target(*st.rels, id, st.part);
    const Node space = m_pkg.xml(part, true);
    const Node* chart = space.find(u"c:chart");
    const Node* plotArea = chart ? chart->child(u"c:plotArea") : nullptr;
    if (!plotArea)
        return -1;
    ChartData c;
    const Node* kind = nullptr;
    for (const Node& n : plotArea->children)
        if (n.name.endsWith(QLatin1String("Chart")) && !kind)
            kind = &n;
    if (kind) {
        const QString k = kind->name;
        if (k == QLatin1String("c:barChart") || k == QLatin1String("c:bar3DChart")) {
            c.kind = ChartData::Kind::Bar;
            const Node* dir = kind->child(u"c:barDir");
            c.horizontal = dir && dir->attr(u"val") == QLatin1String("bar");
        } else if (k == QLatin1String("c:lineChart") || k == QLatin1String("c:line3DChart") ||
                   k == QLatin1String("c:areaChart") || k == QLatin1String("c:radarChart")) {
            c.kind = ChartData::Kind::Line;
        } else if (k == QLatin1String("c:pieChart") || k == QLatin1String("c:pie3DChart") ||
                   k == QLatin1String("c:doughnutChart") || k == QLatin1String("c:ofPieChart")) {
            c.kind = ChartData::Kind::Pie;
        }
        for (const Node& ser : kind->children) {
            if (ser.name != QLatin1String("c:ser") || c.series.size() >= kMaxSeries)
                continue;
            Series s;
            const Node* tx = ser.child(u"c:tx");
            const QStringList name = cachedPoints(tx);
            s.name = !name.isEmpty()           ? name.front()
                     : tx && tx->child(u"c:v") ? tx->child(u"c:v")->text
                                               : QString();
            if (s.name.isEmpty())
                s.name = QStringLiteral("Series%1").arg(c.series.size() + 1);
            s.categories = cachedPoints(ser.child(u"c:cat"));
            for (const QString& v : cachedPoints(ser.child(u"c:val"))) {
                bool ok = false;
                const double d = v.toDouble(&ok);
                s.values.push_back(ok ? d : std::nan(""));
            }
            const Node* spPr = ser.child(u"c:spPr");
            const Node* fill = spPr ? spPr->child(u"a:solidFill") : nullptr;
            if (!fill && spPr && spPr->child(u"a:ln"))
                fill = spPr->child(u"a:ln")->child(u"a:solidFill");
            s.color = drawingColor(fill);
            if (!s.color.isValid())
                s.color = seriesColor(c.series.size());
            c.series.push_back(std::move(s));
        }
    }
    // A title of its own, or Word's: the series' name for one series, "Chart Title" for more.
    if (const Node* title = chart->child(u"c:title")) {
        c.titled = true;
        const Node* tx = title->child(u"c:tx");
        c.title = richText(tx ? tx->find(u"c:rich") : nullptr);
        if (c.title.isEmpty() && tx)
            c.title = cachedPoints(tx).value(0);
        if (c.title.isEmpty())
            c.title = c.series.size() == 1 ? c.series.front().name : QStringLiteral("Chart Title");
    } else if (!on(chart->child(u"c:autoTitleDeleted"), false) && c.series.size() == 1) {
        c.titled = true;
        c.title = c.series.front().name;
    }
    // The chart area's own outline, drawn around the whole picture.
    const Node* chartSpace =
        space.name == QLatin1String("c:chartSpace") ? &space : space.child(u"c:chartSpace");
    const Node* areaShape = chartSpace ? chartSpace->child(u"c:spPr") : nullptr;
    const Node* areaLine = areaShape ? areaShape->child(u"a:ln") : nullptr;
    if (areaLine && !areaLine->child(u"a:noFill")) {
        c.outline = drawingColor(areaLine->child(u"a:solidFill"));
        if (areaLine->has(u"w"))
            c.outlineWidth = qBound(0, intAttr(*areaLine, u"w"), 127000) / 12700.0;
    }
    if (const Node* legend = chart->child(u"c:legend")) {
        const Node* pos = legend->child(u"c:legendPos");
        c.legendAt = pos ? pos->attr(u"val") : QStringLiteral("r");
        if (c.legendAt.isEmpty())
            c.legendAt = QStringLiteral("r");
    }
    const QSize pixels(qBound(1, qRound(widthTwips * kChartDpi / 1440), 4000),
                       qBound(1, qRound(heightTwips * kChartDpi / 1440), 4000));
    Picture p;
    p.image = drawChart(c, pixels);
    if (p.image.isNull())
        return -1;
    p.widthTwips = clampTwips(widthTwips, 1, kMaxTwips);
    p.heightTwips = clampTwips(heightTwips, 1, kMaxTwips);
    m_t.pictures.push_back(std::move(p));
    return int(m_t.pictures.size() - 1);
}

} // namespace wordproc::docx
