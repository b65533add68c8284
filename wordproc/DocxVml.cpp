// VML shapes: the pictures, text boxes and drawn shapes of older documents and of the fallbacks that
// newer ones hold.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

#include <cmath>

namespace wordproc::docx {

namespace {

// A VML length: points, inches, centimetres, millimetres, picas or CSS pixels (the default).
int vmlLength(QString v) {
    v = v.trimmed();
    static const std::array<std::pair<const char*, double>, 6> units{
        {{"pt", 20.0}, {"in", 1440.0}, {"cm", 1440 / 2.54}, {"mm", 144 / 2.54}, {"pc", 240.0}, {"px", 15.0}}};
    double factor = 15.0;
    for (const auto& [unit, f] : units)
        if (v.endsWith(QLatin1String(unit))) {
            v.chop(2);
            factor = f;
            break;
        }
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::abs(d) < 1e7 ? clampTwips(qint64(d * factor)) : 0;
}

QHash<QString, QString> vmlStyle(const QString& style) {
    QHash<QString, QString> out;
    for (const QString& item : style.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int colon = int(item.indexOf(QLatin1Char(':')));
        if (colon > 0)
            out.insert(item.left(colon).trimmed().toLower(), item.mid(colon + 1).trimmed());
    }
    return out;
}

QColor vmlColor(const QString& value) {
    const QString v = value.section(QLatin1Char(' '), 0, 0).trimmed();
    const QColor c(v);
    return c.isValid() ? c : QColor();
}

// A stroke's dashes (v:stroke dashstyle). LibreOffice draws a dash style given as numbers as the short
// dots, whatever the numbers.
std::vector<double> vmlDashes(const QString& style) {
    static const QHash<QString, int> named{
        {QStringLiteral("shortdash"), 1},    {QStringLiteral("shortdot"), 2},
        {QStringLiteral("shortdashdot"), 3}, {QStringLiteral("shortdashdotdot"), 4},
        {QStringLiteral("dot"), 5},          {QStringLiteral("dash"), 6},
        {QStringLiteral("longdash"), 7},     {QStringLiteral("dashdot"), 8},
        {QStringLiteral("longdashdot"), 9},  {QStringLiteral("longdashdotdot"), 10}};
    const QString s = style.trimmed().toLower();
    if (s.isEmpty() || s == QLatin1String("solid"))
        return {};
    return outlineDashes(named.value(s, 2));
}

// A fill running from the shape's colour to its second one, as LibreOffice draws it: at no angle
// from the foot up, at a quarter turn (counted against the clock) from the right leftwards. Its focus
// is where along the way the second colour stands, from the far end back: at the start when it is
// 100%, halfway (the first colour at both ends) when 50%. A radial one runs out from the middle.
void vmlGradient(const Node& fill, Floating& f) {
    const auto number = [](QString v) {
        bool ok = false;
        const double d = v.remove(QLatin1Char('%')).trimmed().toDouble(&ok);
        return ok && std::isfinite(d) && std::abs(d) < 1e7 ? d : 0.0;
    };
    const QString type = fill.attr(u"type");
    const bool radial = type == QLatin1String("gradientRadial");
    if (type != QLatin1String("gradient") && !radial)
        return;
    QColor second = fill.has(u"color2") ? vmlColor(fill.attr(u"color2")) : QColor(Qt::white);
    if (!second.isValid())
        return;
    second.setAlpha(f.fill.alpha());
    const double focus = qBound(0.0, std::abs(number(fill.attr(u"focus"))) / 100, 1.0);
    const double secondAt = radial ? 0 : 1 - focus;
    f.gradient.clear();
    if (secondAt > 0)
        f.gradient.emplace_back(0, f.fill);
    f.gradient.emplace_back(secondAt, second);
    if (secondAt < 1)
        f.gradient.emplace_back(1, f.fill);
    f.gradientFromMiddle = radial;
    f.gradientAngle = radial ? 0 : std::fmod(270 - number(fill.attr(u"angle")), 360.0);
}

// Whether `shape` is Word's straight connector, the line its line tool draws: a shape of type 32, or
// one whose own path runs from its box's corner to the opposite one.
bool straightConnector(const Node& shape) {
    if (shape.name != QLatin1String("v:shape"))
        return false;
    QString path = shape.attr(u"path");
    path.remove(QLatin1Char(' '));
    return shape.attr(u"type").endsWith(QLatin1String("_x0000_t32")) ||
           path == QLatin1String("m,l21600,21600e");
}

QString wordArtFamily(const Node& textPath) {
    QString family = vmlStyle(textPath.attr(u"style")).value(QStringLiteral("font-family"));
    family.remove(QLatin1Char('"'));
    return family.trimmed();
}

// A text box's margins round its text, left, top, right, bottom.
std::array<int, 4> vmlInsets(const Node& textBox) {
    const QStringList inset = textBox.attr(u"inset").split(QLatin1Char(','));
    const std::array<int, 4> defaults{144, 72, 144, 72};
    std::array<int, 4> out{};
    for (size_t i = 0; i < 4; ++i)
        out[i] = qBound(0,
                        int(i) < inset.size() && !inset[int(i)].trimmed().isEmpty() ? vmlLength(inset[int(i)])
                                                                                    : defaults[i],
                        1440);
    return out;
}

// The shares of a picture its v:imagedata cuts away (cropleft, croptop, cropright, cropbottom).
// LibreOffice takes only a positive count of 65536ths ("16384f"); a bare fraction, a percentage or a
// negative count leaves that side whole, and a crop that leaves nothing leaves the picture whole.
std::array<double, 4> vmlCrop(const Node& data) {
    std::array<double, 4> crop{};
    const char16_t* sides[] = {u"cropleft", u"croptop", u"cropright", u"cropbottom"};
    for (size_t i = 0; i < crop.size(); ++i) {
        const QString value = data.attr(sides[i]).trimmed();
        bool ok = false;
        const double count = value.endsWith(QLatin1Char('f')) ? value.chopped(1).toDouble(&ok) : 0;
        crop[i] = ok && count > 0 && count < 65536 ? count / 65536 : 0;
    }
    if (1 - crop[0] - crop[2] <= 0.001 || 1 - crop[1] - crop[3] <= 0.001)
        return {};
    return crop;
}

} // namespace

void Reader::vml(const Node& pict, StoryState& st, int format) {
    const PageSetup& pg = m_t.page;
    int shapes = 0;
    // A group's pieces measure their boxes in the group's own units (coordorigin, coordsize), mapped
    // onto the box the group takes on the page.
    struct Frame {
        const Floating* box = nullptr;
        double originX = 0, originY = 0, scaleX = 1, scaleY = 1;
        bool flipX = false, flipY = false; // a group turned over: its pieces mirrored within its box
    };
    const auto number = [](const QString& v, double fallback) {
        bool ok = false;
        const double d = v.trimmed().toDouble(&ok);
        return ok && std::isfinite(d) && std::abs(d) < 1e7 ? d : fallback;
    };
    // Where a shape outside any group stands: its own offsets, or Word's alignment, from the page or
    // the margins; a shape not positioned absolutely stands in the line, keeping the text above and below.
    const auto placeVml = [&](Floating& f, const Node& shape, const QHash<QString, QString>& style,
                              bool absolute) {
        f.leftTwips =
            vmlLength(style.value(QStringLiteral("margin-left"), style.value(QStringLiteral("left"))));
        f.topTwips = vmlLength(style.value(QStringLiteral("margin-top"), style.value(QStringLiteral("top"))));
        // The page, the margins, one of the margins' own strips along the page's edges, or the text's
        // column: where its offsets count from and the span its alignment is within.
        struct Area {
            Floating::From from = Floating::From::Margin;
            int start = 0, span = 0;
        };
        const QString fromX = style.value(QStringLiteral("mso-position-horizontal-relative"));
        const QString fromY = style.value(QStringLiteral("mso-position-vertical-relative"));
        const Area across =
            fromX == QLatin1String("page") ? Area{Floating::From::Page, 0, pg.widthTwips}
            : fromX == QLatin1String("left-margin-area") || fromX == QLatin1String("inner-margin-area")
                ? Area{Floating::From::Page, 0, pg.leftTwips}
            : fromX == QLatin1String("right-margin-area") || fromX == QLatin1String("outer-margin-area")
                ? Area{Floating::From::Page, pg.widthTwips - pg.rightTwips, pg.rightTwips}
            : fromX == QLatin1String("margin")
                ? Area{Floating::From::Margin, 0, pg.widthTwips - pg.leftTwips - pg.rightTwips}
                : Area{Floating::From::Column, 0, pg.columnTwips()};
        const Area down =
            fromY == QLatin1String("page") ? Area{Floating::From::Page, 0, pg.heightTwips}
            : fromY == QLatin1String("margin")
                ? Area{Floating::From::Margin, 0, pg.heightTwips - pg.topTwips - pg.bottomTwips}
            : fromY == QLatin1String("top-margin-area") || fromY == QLatin1String("inner-margin-area")
                ? Area{Floating::From::Page, 0, pg.topTwips}
            : fromY == QLatin1String("bottom-margin-area") || fromY == QLatin1String("outer-margin-area")
                ? Area{Floating::From::Page, pg.heightTwips - pg.bottomTwips, pg.bottomTwips}
                : Area{Floating::From::Paragraph, 0, 0};
        f.fromX = across.from;
        f.fromY = down.from;
        // The room the text keeps from the shape: an eighth of an inch either side unless the file says.
        const auto distance = [&](const char* side, int fallback) {
            const QString v = style.value(QLatin1String("mso-wrap-distance-") + QLatin1String(side));
            return v.isEmpty() ? fallback : qBound(0, vmlLength(v), 1440 * 10);
        };
        // Word's alignment within its area, where it gives one, stands for the offset. LibreOffice keeps
        // a shape set against an edge that room away from it.
        const auto aligned = [](const QString& how, int span, int size, int given, int before, int after) {
            if (how == QLatin1String("center"))
                return (span - size) / 2;
            if (how == QLatin1String("right") || how == QLatin1String("bottom"))
                return span - size - after;
            if (how == QLatin1String("left") || how == QLatin1String("top"))
                return before;
            return given;
        };
        f.leftTwips =
            across.start + aligned(style.value(QStringLiteral("mso-position-horizontal")), across.span,
                                   f.widthTwips, f.leftTwips, distance("left", 180), distance("right", 180));
        // Top to bottom on the page or between the margins, as a watermark is centred.
        if (f.fromY != Floating::From::Paragraph)
            f.topTwips =
                down.start + aligned(style.value(QStringLiteral("mso-position-vertical")), down.span,
                                     f.heightTwips, f.topTwips, distance("top", 0), distance("bottom", 0));
        f.zOrder = style.value(QStringLiteral("z-index")).toLongLong();
        f.behindText = f.zOrder < 0;
        f.wrap = Floating::Wrap::None;
        for (const Node& c : shape.children)
            if (c.name.endsWith(QLatin1String(":wrap"))) {
                const QString type = c.attr(u"type");
                f.wrap = type == QLatin1String("topAndBottom") ? Floating::Wrap::TopBottom
                         : type == QLatin1String("square") || type == QLatin1String("tight") ||
                                 type == QLatin1String("through")
                             ? Floating::Wrap::Around
                             : Floating::Wrap::None;
            }
        if (!absolute) {
            f.leftTwips = f.topTwips = 0;
            f.fromX = Floating::From::Margin;
            f.fromY = Floating::From::Paragraph;
            f.wrap = Floating::Wrap::TopBottom;
        }
        f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
        f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    };
    const auto visit = [&](const auto& self, const Node& parent, int depth, const Frame& frame) -> void {
        for (const Node& shape : parent.children) {
            // Word describes a kind of shape once, where it first uses it; later ones name it only.
            if (shape.name == QLatin1String("v:shapetype")) {
                if (shape.attr(u"o:spt") == QLatin1String("202"))
                    m_textBoxTypes.insert(QLatin1Char('#') + shape.attr(u"id"));
                continue;
            }
            const bool group = shape.name == QLatin1String("v:group");
            if (group && depth >= 8)
                continue;
            if (!group && (!shape.name.startsWith(QLatin1String("v:")) || ++shapes > 64))
                continue;
            const QHash<QString, QString> style = vmlStyle(shape.attr(u"style"));
            Floating f;
            bool absolute = true;
            if (frame.box) {
                f = *frame.box;
                const auto twips = [](double v) {
                    return clampTwips(qint64(qBound(-1440.0 * 50, v, 1440.0 * 50)));
                };
                f.leftTwips = clampTwips(
                    qint64(frame.box->leftTwips) +
                    twips((number(style.value(QStringLiteral("left")), 0) - frame.originX) * frame.scaleX));
                f.topTwips = clampTwips(
                    qint64(frame.box->topTwips) +
                    twips((number(style.value(QStringLiteral("top")), 0) - frame.originY) * frame.scaleY));
                f.widthTwips = qMax(1, twips(number(style.value(QStringLiteral("width")), 0) * frame.scaleX));
                f.heightTwips =
                    qMax(1, twips(number(style.value(QStringLiteral("height")), 0) * frame.scaleY));
                if (frame.flipX)
                    f.leftTwips = clampTwips(2 * qint64(frame.box->leftTwips) + frame.box->widthTwips -
                                             f.leftTwips - f.widthTwips);
                if (frame.flipY)
                    f.topTwips = clampTwips(2 * qint64(frame.box->topTwips) + frame.box->heightTwips -
                                            f.topTwips - f.heightTwips);
            } else {
                f.widthTwips = qMax(1, vmlLength(style.value(QStringLiteral("width"))));
                f.heightTwips = qMax(1, vmlLength(style.value(QStringLiteral("height"))));
                absolute = style.value(QStringLiteral("position")) == QLatin1String("absolute");
                placeVml(f, shape, style, absolute);
            }
            // A line names the two points it joins rather than a box: its box is what they span, from
            // the shape's own place on the page or in its group.
            bool line = shape.name == QLatin1String("v:line");
            if (line) {
                if (!absolute)
                    continue;
                const auto point = [&](const QString& v) {
                    const QStringList xy = v.split(QLatin1Char(','));
                    const double x =
                        frame.box ? number(xy.value(0), 0) * frame.scaleX : vmlLength(xy.value(0));
                    const double y =
                        frame.box ? number(xy.value(1), 0) * frame.scaleY : vmlLength(xy.value(1));
                    return QPoint(clampTwips(qint64(f.leftTwips) + qint64(qBound(-72000.0, x, 72000.0))),
                                  clampTwips(qint64(f.topTwips) + qint64(qBound(-72000.0, y, 72000.0))));
                };
                const QPoint a = point(shape.attr(u"from")), b = point(shape.attr(u"to"));
                f.leftTwips = qMin(a.x(), b.x());
                f.topTwips = qMin(a.y(), b.y());
                f.widthTwips = qMax(1, std::abs(b.x() - a.x()));
                f.heightTwips = qMax(1, std::abs(b.y() - a.y()));
                const QPoint corner(f.leftTwips, f.topTwips);
                f.shape = Floating::Shape::Lines;
                f.points = {a - corner, b - corner};
            }
            const int width = f.widthTwips, height = f.heightTwips;
            if (group) {
                const QStringList origin = shape.attr(u"coordorigin").split(QLatin1Char(','));
                const QStringList size = shape.attr(u"coordsize").split(QLatin1Char(','));
                Frame inner;
                inner.box = &f;
                inner.originX = number(origin.value(0), 0);
                inner.originY = number(origin.value(1), 0);
                const double unitsX = number(size.value(0), 1000), unitsY = number(size.value(1), 1000);
                inner.scaleX = unitsX > 0 ? width / unitsX : 1;
                inner.scaleY = unitsY > 0 ? height / unitsY : 1;
                const QString flip = style.value(QStringLiteral("flip"));
                inner.flipX = frame.flipX != flip.contains(QLatin1Char('x'));
                inner.flipY = frame.flipY != flip.contains(QLatin1Char('y'));
                // A group set in the line is as tall as its line, as a picture there is: its pieces
                // stand from the line's top, below the paragraph's space before, and push no text.
                if (!absolute && depth == 0) {
                    Picture room;
                    room.image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
                    room.image.fill(Qt::transparent);
                    room.widthTwips = qBound(1, width, kMaxTwips);
                    room.heightTwips = qBound(1, height, kMaxTwips);
                    m_t.pictures.push_back(std::move(room));
                    addRun(st, Run{Run::Picture, format, int(m_t.pictures.size() - 1), {}});
                    f.wrap = Floating::Wrap::None;
                    f.topTwips = qBound(0, st.format.beforeTwips, kMaxTwips);
                }
                self(self, shape, depth + 1, inner);
                continue;
            }
            // Turned (degrees clockwise) and mirrored within its box; a line's points say already
            // which way it runs.
            if (!line) {
                f.rotation = qRound(std::fmod(number(style.value(QStringLiteral("rotation")), 0), 360.0));
                const QString flip = style.value(QStringLiteral("flip"));
                f.flipH = flip.contains(QLatin1Char('x'));
                f.flipV = flip.contains(QLatin1Char('y'));
            }
            if (const Node* data = shape.child(u"v:imagedata")) {
                QString id = data->attr(u"r:id");
                if (id.isEmpty())
                    id = data->attr(u"o:relid");
                const int index = picture(st, id, width, height);
                if (index < 0)
                    continue;
                m_t.pictures[size_t(index)].crop = vmlCrop(*data);
                if (!absolute) {
                    addRun(st, Run{Run::Picture, format, index, {}});
                    continue;
                }
                f.picture = index;
                addFloating(st, f, format);
                continue;
            }
            const Node* box = shape.child(u"v:textbox");
            const Node* content = box ? box->child(u"w:txbxContent") : nullptr;
            // A rounded box's corners: their radius a share of half its shorter side, a fifth unless
            // the file says; given as a fraction, in 65536ths with an "f", or as a percentage.
            if (shape.name == QLatin1String("v:roundrect")) {
                const QString arc = shape.attr(u"arcsize").trimmed();
                const double share = arc.endsWith(QLatin1Char('f'))   ? number(arc.chopped(1), 13107) / 65536
                                     : arc.endsWith(QLatin1Char('%')) ? number(arc.chopped(1), 20) / 100
                                                                      : number(arc, 0.2);
                f.rounding = qBound(0.0, share, 1.0);
            }
            // A connector joins its box's corners: top left to bottom right unless turned over.
            if (!line && !content && absolute && straightConnector(shape)) {
                const QString flip = style.value(QStringLiteral("flip"));
                const bool acrossFlip = flip.contains(QLatin1Char('x')) != frame.flipX,
                           downFlip = flip.contains(QLatin1Char('y')) != frame.flipY;
                f.shape = Floating::Shape::Lines;
                // A box of no height or width is a line along its edge.
                const int w = width > 1 ? width : 0, h = height > 1 ? height : 0;
                f.points = {QPoint(acrossFlip ? w : 0, downFlip ? h : 0),
                            QPoint(acrossFlip ? 0 : w, downFlip ? 0 : h)};
                f.flipH = f.flipV = false;
                line = true;
            }
            if (line) {
            } else if (!content) {
                const Node* path = shape.child(u"v:textpath");
                // WordArt set in the line, as a picture of its size: the line is as tall as it.
                if (!absolute && depth == 0 && path && !path->attr(u"string").trimmed().isEmpty()) {
                    Picture art;
                    art.wordArt = path->attr(u"string").left(1000);
                    art.wordArtFamily = wordArtFamily(*path);
                    art.wordArtColor =
                        shape.has(u"fillcolor") ? vmlColor(shape.attr(u"fillcolor")) : QColor(Qt::white);
                    art.widthTwips = qBound(1, width, kMaxTwips);
                    art.heightTwips = qBound(1, height, kMaxTwips);
                    m_t.pictures.push_back(std::move(art));
                    addRun(st, Run{Run::Picture, format, int(m_t.pictures.size() - 1), {}});
                    continue;
                }
                // A box or an ellipse drawn in Word, placed on the page.
                if (!absolute || depth > 0)
                    continue;
                if (shape.name == QLatin1String("v:rect") || shape.name == QLatin1String("v:roundrect"))
                    f.shape = Floating::Shape::Box;
                else if (shape.name == QLatin1String("v:oval"))
                    f.shape = Floating::Shape::Ellipse;
                else if (path && !path->attr(u"string").trimmed().isEmpty()) {
                    f.shape = Floating::Shape::WordArt;
                    f.wordArt = path->attr(u"string").left(1000);
                    f.wordArtFamily = wordArtFamily(*path);
                } else
                    continue;
            } else {
                const std::array<int, 4> inset = vmlInsets(*box);
                f.text = textBox(*content, st, f.widthTwips - inset[0] - inset[2]);
                if (f.text < 0)
                    continue;
                f.belowCellTop = depth == 0 && (shape.name == QLatin1String("v:rect") ||
                                                (shape.name == QLatin1String("v:shape") &&
                                                 m_textBoxTypes.contains(shape.attr(u"type"))));
                // Its fill and outline take the shape's own outline.
                if (shape.name == QLatin1String("v:oval"))
                    f.shape = Floating::Shape::Ellipse;
                else if (shape.name == QLatin1String("v:roundrect"))
                    f.shape = Floating::Shape::Box;
            }
            const QString filled = shape.attr(u"filled");
            const QString stroked = shape.attr(u"stroked");
            f.fill = filled == QLatin1String("f") || filled == QLatin1String("false")
                         ? QColor()
                         : (shape.has(u"fillcolor") ? vmlColor(shape.attr(u"fillcolor")) : QColor(Qt::white));
            f.line =
                stroked == QLatin1String("f") || stroked == QLatin1String("false")
                    ? QColor()
                    : (shape.has(u"strokecolor") ? vmlColor(shape.attr(u"strokecolor")) : QColor(Qt::black));
            // The outline's own element may change its colour and width or take it away.
            const Node* stroke = shape.child(u"v:stroke");
            QString weight = shape.attr(u"strokeweight");
            if (stroke) {
                const QString on = stroke->attr(u"on");
                if (on == QLatin1String("f") || on == QLatin1String("false"))
                    f.line = QColor();
                else if (stroke->has(u"color") && f.line.isValid())
                    f.line = vmlColor(stroke->attr(u"color"));
                if (stroke->has(u"weight"))
                    weight = stroke->attr(u"weight");
                f.dashes = vmlDashes(stroke->attr(u"dashstyle"));
            }
            f.lineTwips = f.line.isValid() ? qBound(1, weight.isEmpty() ? 15 : vmlLength(weight), 1440) : 0;
            if (line)
                f.fill = QColor();
            // A see-through fill, as a watermark's is.
            if (const Node* fill = shape.child(u"v:fill");
                fill && f.fill.isValid() && fill->has(u"opacity")) {
                QString opacity = fill->attr(u"opacity").trimmed();
                // Given as a fraction, or in 65536ths with an "f".
                const double share = opacity.endsWith(QLatin1Char('f'))
                                         ? number(opacity.chopped(1), 65536) / 65536
                                         : number(opacity, 1);
                f.fill.setAlphaF(float(qBound(0.0, share, 1.0)));
            }
            if (const Node* fill = shape.child(u"v:fill"); fill && f.fill.isValid())
                vmlGradient(*fill, f);
            if (!box) {
                if (f.fill.isValid() || f.line.isValid())
                    addFloating(st, f, format);
                continue;
            }
            const QString anchor = style.value(QStringLiteral("v-text-anchor"));
            f.textAnchor = anchor.startsWith(QLatin1String("middle"))   ? Floating::TextAnchor::Middle
                           : anchor.startsWith(QLatin1String("bottom")) ? Floating::TextAnchor::Bottom
                                                                        : Floating::TextAnchor::Top;
            f.insetTwips = vmlInsets(*box);
            // Lines turned a quarter: down the box, or up it from its foot. LibreOffice sets them a
            // small distance in from every edge of their box whatever insets and anchor the file gives.
            const QHash<QString, QString> flow = vmlStyle(box->attr(u"style"));
            if (flow.value(QStringLiteral("layout-flow")) == QLatin1String("vertical")) {
                f.flow = flow.value(QStringLiteral("mso-layout-flow-alt")) == QLatin1String("bottom-to-top")
                             ? Floating::Flow::Up
                             : Floating::Flow::Down;
                constexpr int kTurnedInset = 85; // 0.15 cm
                f.insetTwips.fill(kTurnedInset);
                f.textAnchor = Floating::TextAnchor::Top;
            }
            addFloating(st, f, format);
        }
    };
    visit(visit, pict, 0, Frame{});
}

} // namespace wordproc::docx
