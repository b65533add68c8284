// Pictures and text boxes: DrawingML inline and anchored, and the VML that older documents and the
// fallbacks of newer ones hold.

#include "wordproc/DocxPrivate.h"
#include "wordproc/Twips.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <QtMath>
#include <algorithm>
#include <cmath>

namespace wordproc::docx {

namespace {

// DrawingML measures in EMU, 635 to a twip.
int emuToTwips(qint64 emu) {
    return clampTwips(emu / 635);
}

int emuAttr(const Node* n, QStringView key, int fallbackTwips = 0) {
    if (!n || !n->has(key))
        return fallbackTwips;
    bool ok = false;
    const qint64 v = n->attr(key).toLongLong(&ok);
    return ok ? emuToTwips(v) : fallbackTwips;
}

// An outline's dashes (a:ln): a preset's, or the file's own lengths in thousandths of a percent of the
// width.
std::vector<double> drawingDashes(const Node& ln) {
    if (const Node* preset = ln.child(u"a:prstDash")) {
        static const QHash<QString, int> named{
            {QStringLiteral("sysDash"), 1},    {QStringLiteral("sysDot"), 2},
            {QStringLiteral("sysDashDot"), 3}, {QStringLiteral("sysDashDotDot"), 4},
            {QStringLiteral("dot"), 5},        {QStringLiteral("dash"), 6},
            {QStringLiteral("lgDash"), 7},     {QStringLiteral("dashDot"), 8},
            {QStringLiteral("lgDashDot"), 9},  {QStringLiteral("lgDashDotDot"), 10}};
        return outlineDashes(named.value(preset->attr(u"val")));
    }
    std::vector<double> out;
    if (const Node* custom = ln.child(u"a:custDash"))
        for (const Node& stop : custom->children)
            if (stop.name == QLatin1String("a:ds") && out.size() < 32) {
                out.push_back(qBound(0.0, stop.attr(u"d").toDouble() / 100000, 100.0));
                out.push_back(qBound(0.0, stop.attr(u"sp").toDouble() / 100000, 100.0));
            }
    // Qt draws nothing of a pattern that is all gaps, and a solid line of one with no gaps.
    if (std::all_of(out.begin(), out.end(), [](double d) { return d <= 0; }))
        out.clear();
    return out;
}

bool onOffValue(const QString& v) {
    return v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("on");
}

bool isEmf(const QByteArray& b) {
    return b.size() >= 44 && qFromLittleEndian<quint32>(b.constData()) == 1 && b.mid(40, 4) == " EMF";
}

bool isWmf(const QByteArray& b) {
    if (b.size() < 18)
        return false;
    if (qFromLittleEndian<quint32>(b.constData()) == 0x9AC6CDD7u)
        return true; // with the placeable header
    const quint16 type = qFromLittleEndian<quint16>(b.constData());
    return (type == 1 || type == 2) && qFromLittleEndian<quint16>(b.constData() + 2) == 9;
}

// A colour as DrawingML changes it: lighter or darker by its luminance (lumMod, lumOff), mixed with
// white or black (tint, shade) in linear light as Office mixes it, and see-through by its opacity
// (alpha). Amounts in thousandths of a percent.
QColor transformed(QColor color, const Node& value) {
    if (!color.isValid())
        return color;
    const auto toLinear = [](double c) {
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    const auto toGamma = [](double c) {
        c = qBound(0.0, c, 1.0);
        return c <= 0.0031308 ? c * 12.92 : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    };
    for (const Node& t : value.children) {
        bool ok = false;
        const double amount = t.attr(u"val").toDouble(&ok) / 100000.0;
        if (!ok)
            continue;
        if (t.name == QLatin1String("a:lumMod") || t.name == QLatin1String("a:lumOff")) {
            float h = 0, s = 0, l = 0;
            color.getHslF(&h, &s, &l);
            l = float(qBound(0.0, t.name == QLatin1String("a:lumMod") ? l * amount : l + amount, 1.0));
            color = QColor::fromHslF(h, s, l, color.alphaF());
        } else if (t.name == QLatin1String("a:tint") || t.name == QLatin1String("a:shade")) {
            const double share = qBound(0.0, amount, 1.0);
            const bool tint = t.name == QLatin1String("a:tint");
            const auto mix = [&](float c) {
                const double linear = toLinear(c);
                return float(toGamma(tint ? 1 - (1 - linear) * share : linear * share));
            };
            color =
                QColor::fromRgbF(mix(color.redF()), mix(color.greenF()), mix(color.blueF()), color.alphaF());
        } else if (t.name == QLatin1String("a:alpha")) {
            color.setAlphaF(float(qBound(0.0, amount, 1.0)));
        }
    }
    return color.toRgb();
}

// A rounded box's corner, given by its "adj" guide in 100000ths of its shorter side (a sixth unless it
// says), as a share of half that side.
double roundRectCorner(const Node& geometry) {
    double adj = 16667;
    if (const Node* list = geometry.child(u"a:avLst"))
        for (const Node& gd : list->children)
            if (gd.attr(u"name") == QLatin1String("adj")) {
                const QString f = gd.attr(u"fmla").trimmed();
                bool ok = false;
                const double d = f.startsWith(QLatin1String("val ")) ? f.mid(4).toDouble(&ok) : 0;
                if (ok && std::isfinite(d))
                    adj = d;
            }
    return qBound(0.0, adj / 50000, 1.0);
}

} // namespace

QColor Reader::drawingColor(const Node* fill) const {
    if (!fill)
        return {};
    for (const Node& c : fill->children) {
        if (c.name == QLatin1String("a:srgbClr"))
            return transformed(hexColor(c.attr(u"val")), c);
        if (c.name == QLatin1String("a:schemeClr"))
            return transformed(m_styles.themeColor(c.attr(u"val")), c);
        if (c.name == QLatin1String("a:prstClr"))
            return transformed(QColor(c.attr(u"val")), c);
        if (c.name == QLatin1String("a:sysClr"))
            return transformed(hexColor(c.attr(u"lastClr")), c);
    }
    return {};
}

const Node* Reader::themeFill(const Node* style) const {
    const Node* ref = style ? style->child(u"a:fillRef") : nullptr;
    const int idx = ref ? intAttr(*ref, u"idx") : 0;
    // 1 to 3 name the theme's fills, 1001 to 1003 its background fills.
    const Node* list =
        idx >= 1001 ? m_themeXml.find(u"a:bgFillStyleLst") : m_themeXml.find(u"a:fillStyleLst");
    int n = idx >= 1001 ? idx - 1000 : idx;
    if (!list || n < 1)
        return nullptr;
    for (const Node& fill : list->children)
        if (--n == 0)
            return &fill;
    return nullptr;
}

void Reader::gradientFill(const Node& grad, Floating& g, const Node* style) const {
    std::vector<std::pair<double, QColor>> stops;
    if (const Node* list = grad.child(u"a:gsLst"))
        for (const Node& gs : list->children) {
            bool ok = false;
            const double at = gs.attr(u"pos").toDouble(&ok) / 100000;
            const QColor colour = gs.name == QLatin1String("a:gs") ? drawingColor(&gs) : QColor();
            if (ok && std::isfinite(at) && colour.isValid() && stops.size() < 64)
                stops.emplace_back(qBound(0.0, at, 1.0), colour);
        }
    std::stable_sort(stops.begin(), stops.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (stops.empty())
        return;
    // Where a gradient cannot be drawn, and behind a text box's text, its first colour stands for it.
    g.fill = stops.front().second;
    if (stops.size() < 2)
        return;
    g.gradient = std::move(stops);
    g.gradientAngle = 0;
    g.gradientFromMiddle = false;
    // A gradient that says no way runs the way of the theme's fill its style refers to, if that is a
    // gradient; else left to right, as LibreOffice draws it.
    const Node* way = &grad;
    if (!grad.child(u"a:lin") && !grad.child(u"a:path"))
        if (const Node* themed = themeFill(style); themed && themed->name == QLatin1String("a:gradFill"))
            way = themed;
    if (const Node* lin = way->child(u"a:lin")) {
        bool ok = false;
        const double angle = lin->attr(u"ang").toDouble(&ok) / 60000;
        g.gradientAngle = ok && std::isfinite(angle) ? std::fmod(angle, 360.0) : 0;
    } else if (way->child(u"a:path")) {
        // Out from the middle, whatever figure it names: LibreOffice's first colour is there.
        g.gradientFromMiddle = true;
    }
}

int Reader::picture(StoryState& st, const QString& id, int widthTwips, int heightTwips) {
    if (id.isEmpty() || !st.rels)
        return -1;
    const QString part = m_pkg.target(*st.rels, id, st.part);
    auto it = m_decoded.find(part);
    if (it == m_decoded.end()) {
        Decoded d;
        QByteArray bytes = m_pkg.read(part, kMaxPictureBytes);
        if (isEmf(bytes) || isWmf(bytes)) {
            d.enhanced = isEmf(bytes);
            d.metafile = bytes;
            d.usable = true;
        } else {
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setDecideFormatFromContent(true);
            // The size comes from the picture's header; a picture too large to print is left out before
            // a pixel of it is decoded.
            const QSize size = reader.size();
            const qint64 pixels = size.isValid() ? qint64(size.width()) * size.height() : -1;
            if (pixels > 0 && pixels <= kMaxPicturePixels && m_pixels + pixels <= kMaxAllPicturePixels) {
                d.image = reader.read();
                d.usable = !d.image.isNull();
                if (d.usable)
                    m_pixels += pixels;
            }
        }
        it = m_decoded.insert(part, d);
    }
    if (!it->usable)
        return -1;
    Picture p;
    p.image = it->image;
    p.metafile = it->metafile;
    p.enhanced = it->enhanced;
    const int fallbackW = p.image.isNull() ? 1440 : p.image.width() * 15;
    const int fallbackH = p.image.isNull() ? 1440 : p.image.height() * 15;
    p.widthTwips = clampTwips(widthTwips > 0 ? widthTwips : fallbackW, 1, kMaxTwips);
    p.heightTwips = clampTwips(heightTwips > 0 ? heightTwips : fallbackH, 1, kMaxTwips);
    m_t.pictures.push_back(std::move(p));
    return int(m_t.pictures.size() - 1);
}

int Reader::pictureBullet(StoryState& st, const Level& level) {
    const QString id = m_styles.pictureBullet(level.picture);
    // A bullet whose picture is missing keeps its text, and the document reads on.
    const auto rel = m_numberingRels.constFind(id);
    if (rel == m_numberingRels.constEnd() || rel->external || !m_pkg.has(rel->target))
        return -1;
    // LibreOffice prints every picture bullet 7.9 points tall, whatever the size its shape asks for, the
    // number's font or the text's: on the baseline, as wide as the picture's shape makes it.
    constexpr int kBulletTwips = 158;
    const Relationships* rels = st.rels;
    const QString part = st.part;
    st.rels = &m_numberingRels;
    st.part = m_numberingPart;
    const int index = picture(st, id, kBulletTwips, kBulletTwips);
    st.rels = rels;
    st.part = part;
    if (index >= 0) {
        Picture& p = m_t.pictures[size_t(index)];
        if (!p.image.isNull() && p.image.height() > 0)
            p.widthTwips =
                clampTwips(qRound(double(kBulletTwips) * p.image.width() / p.image.height()), 1, kMaxTwips);
    }
    return index;
}

void Reader::addFloating(StoryState& st, const Floating& f, int format) {
    m_t.floats.push_back(f);
    addRun(st, Run{Run::Floating, format, int(m_t.floats.size() - 1), {}});
}

namespace {

// Word keeps room round a picture for its shadow, reflection, soft edges or 3-D look, the effect extent
// of its frame. LibreOffice keeps that room for those effects only, not for a glow or a preset shadow,
// nor for a picture without effects, whatever extent it gives.
void keepEffectRoom(const Node& frame, const Node& pic, Picture& shown) {
    const Node* extent = frame.child(u"wp:effectExtent");
    const Node* spPr = pic.child(u"pic:spPr");
    if (!extent || !spPr)
        return;
    bool effects = spPr->child(u"a:scene3d") || spPr->child(u"a:sp3d");
    if (const Node* list = spPr->child(u"a:effectLst"))
        for (const char16_t* name : {u"a:outerShdw", u"a:innerShdw", u"a:reflection", u"a:softEdge"})
            effects = effects || list->child(name);
    if (!effects)
        return;
    const auto room = [&](const char16_t* side) { return qBound(0, emuAttr(extent, side, 0), 1440); };
    shown.leftTwips += room(u"l");
    shown.rightTwips += room(u"r");
    shown.topTwips = room(u"t");
    shown.bottomTwips = room(u"b");
}

// The shares of a picture its a:srcRect cuts away, in thousandths of a percent ("50%" in strict files).
// LibreOffice stretches what is left over the picture's frame, and pads the side a negative share
// names; a crop that leaves nothing, or pads past the picture's own size, is not drawn.
void pictureCrop(const Node& pic, Picture& shown) {
    const Node* fill = pic.child(u"pic:blipFill");
    const Node* rect = fill ? fill->child(u"a:srcRect") : nullptr;
    if (!rect)
        return;
    std::array<double, 4> crop{};
    const char16_t* sides[] = {u"l", u"t", u"r", u"b"};
    for (size_t i = 0; i < crop.size(); ++i) {
        QString value = rect->attr(sides[i]).trimmed();
        const bool percent = value.endsWith(u'%');
        if (percent)
            value.chop(1);
        bool ok = false;
        const double share = value.toDouble(&ok) / (percent ? 100.0 : 100000.0);
        if (!value.isEmpty() && (!ok || !std::isfinite(share) || share < -1 || share > 1))
            return;
        crop[i] = ok ? share : 0;
    }
    if (1 - crop[0] - crop[2] <= 0.001 || 1 - crop[1] - crop[3] <= 0.001)
        return;
    shown.crop = crop;
}

} // namespace

void Reader::pictureOutline(const Node& pic, Picture& shown) const {
    const Node* spPr = pic.child(u"pic:spPr");
    const Node* ln = spPr ? spPr->child(u"a:ln") : nullptr;
    const Node* list = spPr ? spPr->child(u"a:effectLst") : nullptr;
    const Node* shadow = list ? list->child(u"a:outerShdw") : nullptr;
    if (shadow) {
        QColor c = drawingColor(shadow);
        for (const Node& value : shadow->children)
            if (const Node* alpha = c.isValid() ? value.child(u"a:alpha") : nullptr)
                c.setAlphaF(float(qBound(0.0, alpha->attr(u"val").toDouble() / 100000.0, 1.0)));
        const double turn = qDegreesToRadians(intAttr(*shadow, u"dir") / 60000.0);
        const int dist = qBound(0, emuAttr(shadow, u"dist", 0), 1440);
        shown.shadowColor = c;
        shown.shadowShift = QPoint(qRound(dist * std::cos(turn)), qRound(dist * std::sin(turn)));
        shown.shadowBlurTwips = qBound(0, emuAttr(shadow, u"blurRad", 0), 1440);
    }
    // An outline of no width is none.
    const Node* solid = ln ? ln->child(u"a:solidFill") : nullptr;
    const int width = qBound(0, emuAttr(ln, u"w", 0), 1440);
    if (!solid || width <= 0)
        return;
    shown.lineColor = drawingColor(solid);
    shown.lineTwips = width;
    // LibreOffice draws the outline of a picture with effects round it, that of a plain one over its edge.
    const Node* bevel = spPr->child(u"a:sp3d");
    shown.lineOutside = spPr->child(u"a:scene3d") || (bevel && !bevel->children.empty()) ||
                        (list && (shadow || list->child(u"a:innerShdw") || list->child(u"a:reflection") ||
                                  list->child(u"a:softEdge")));
}

void Reader::drawing(const Node& d, StoryState& st, int format) {
    for (const Node& c : d.children)
        if (c.name == QLatin1String("wp:inline") || c.name == QLatin1String("wp:anchor"))
            placeDrawing(c, st, format, c.name == QLatin1String("wp:anchor"));
}

void Reader::placeDrawing(const Node& frame, StoryState& st, int format, bool anchored) {
    const Node* extent = frame.child(u"wp:extent");
    int width = qMax(1, emuAttr(extent, u"cx", 1440));
    int height = qMax(1, emuAttr(extent, u"cy", 1440));
    const Node* graphic = frame.find(u"a:graphicData");
    if (!graphic)
        return;
    const PageSetup& pg = m_t.page;
    // Word 2010 sizes a shape by a share of the page or its margins (thousandths of a percent), the
    // extent being only what it last worked out.
    const auto relative = [&](const char16_t* name, const char16_t* share, bool across, int& size) {
        const Node* rel = anchored ? frame.child(name) : nullptr;
        const Node* pct = rel ? rel->child(share) : nullptr;
        const qint64 part = pct ? pct->text.trimmed().toLongLong() : 0;
        if (part <= 0 || part > 1000000)
            return;
        const QString from = rel->attr(u"relativeFrom");
        const int page = across ? pg.widthTwips : pg.heightTwips;
        const int before = across ? pg.leftTwips : pg.topTwips,
                  after = across ? pg.rightTwips : pg.bottomTwips;
        const int span = from == QLatin1String("page")                                               ? page
                         : from == QLatin1String("leftMargin") || from == QLatin1String("topMargin") ? before
                         : from == QLatin1String("rightMargin") || from == QLatin1String("bottomMargin")
                             ? after
                             : page - before - after;
        size = qMax(1, int(qint64(span) * part / 100000));
    };
    relative(u"wp14:sizeRelH", u"wp14:pctWidth", true, width);
    relative(u"wp14:sizeRelV", u"wp14:pctHeight", false, height);
    Floating f;
    f.widthTwips = width;
    f.heightTwips = height;
    f.fromX = Floating::From::Margin;
    f.fromY = Floating::From::Paragraph;
    if (anchored) {
        const QString behind = frame.attr(u"behindDoc");
        f.behindText = behind == QLatin1String("1") || behind == QLatin1String("true");
        f.zOrder = frame.attr(u"relativeHeight").toLongLong();
        const int textWidth = pg.widthTwips - pg.leftTwips - pg.rightTwips;
        const int textHeight = pg.heightTwips - pg.topTwips - pg.bottomTwips;
        // How the picture is aligned, where it is: LibreOffice keeps the text's distance inside the room
        // it is aligned in.
        QString hAlign, hFrom, vAlign;
        if (const Node* h = frame.child(u"wp:positionH")) {
            const QString from = h->attr(u"relativeFrom");
            hFrom = from;
            int base = 0, span = textWidth;
            if (from == QLatin1String("page") || from == QLatin1String("leftMargin") ||
                from == QLatin1String("insideMargin") || from == QLatin1String("outsideMargin")) {
                f.fromX = Floating::From::Page;
                span = from == QLatin1String("page") ? pg.widthTwips : pg.leftTwips;
            } else if (from == QLatin1String("rightMargin")) {
                f.fromX = Floating::From::Page;
                base = pg.widthTwips - pg.rightTwips;
                span = pg.rightTwips;
            } else if (from == QLatin1String("column")) {
                f.fromX = Floating::From::Column;
                span = pg.columnTwips();
            }
            if (const Node* off = h->child(u"wp:posOffset")) {
                f.leftTwips = base + emuToTwips(off->text.trimmed().toLongLong());
                // Anchored in a right-to-left paragraph, LibreOffice measures the offset from the
                // room's right edge to the drawing's: the drawing stands mirrored. An alignment keeps
                // the side it names.
                if (st.format.rightToLeft)
                    f.leftTwips = clampTwips(2 * qint64(base) + span - width - f.leftTwips);
            } else if (const Node* align = h->child(u"wp:align")) {
                const QString a = align->text.trimmed();
                hAlign = a;
                f.leftTwips =
                    base + (a == QLatin1String("center") ? (span - width) / 2
                            : a == QLatin1String("right") || a == QLatin1String("outside") ? span - width
                                                                                           : 0);
            }
        }
        if (const Node* v = frame.child(u"wp:positionV")) {
            const QString from = v->attr(u"relativeFrom");
            int base = 0, span = 0;
            if (from == QLatin1String("page") || from == QLatin1String("topMargin")) {
                f.fromY = Floating::From::Page;
                span = from == QLatin1String("page") ? pg.heightTwips : pg.topTwips;
            } else if (from == QLatin1String("bottomMargin")) {
                f.fromY = Floating::From::Page;
                base = pg.heightTwips - pg.bottomTwips;
                span = pg.bottomTwips;
            } else if (from == QLatin1String("margin")) {
                f.fromY = Floating::From::Margin;
                span = textHeight;
            }
            if (const Node* off = v->child(u"wp:posOffset")) {
                f.topTwips = base + emuToTwips(off->text.trimmed().toLongLong());
            } else if (const Node* align = v->child(u"wp:align")) {
                const QString a = align->text.trimmed();
                vAlign = a;
                f.topTwips = base + (a == QLatin1String("center")   ? (span - height) / 2
                                     : a == QLatin1String("bottom") ? span - height
                                                                    : 0);
            }
        }
        f.wrap = Floating::Wrap::None;
        for (const Node& c : frame.children) {
            if (c.name == QLatin1String("wp:wrapTopAndBottom")) {
                f.wrap = Floating::Wrap::TopBottom;
            } else if (c.name == QLatin1String("wp:wrapSquare") || c.name == QLatin1String("wp:wrapTight") ||
                       c.name == QLatin1String("wp:wrapThrough")) {
                // A tight outline is taken as its box: the text keeps clear of the whole picture.
                f.wrap = Floating::Wrap::Around;
                const QString side = c.attr(u"wrapText");
                f.side = side == QLatin1String("left")      ? Floating::Side::Left
                         : side == QLatin1String("right")   ? Floating::Side::Right
                         : side == QLatin1String("largest") ? Floating::Side::Largest
                                                            : Floating::Side::Both;
            }
        }
        const char16_t* dist[] = {u"distL", u"distT", u"distR", u"distB"};
        for (size_t i = 0; i < 4; ++i)
            f.gapTwips[i] = qBound(0, emuAttr(&frame, dist[i], f.gapTwips[i]), 1440 * 4);
        f.textByGapInCell = true;
        // A shape the text goes round, set against a side, stands its distance from the text in from
        // that side (at the margin's left edge the margin gives that room); a picture stands at the side.
        if (f.wrap != Floating::Wrap::None && graphic->child(u"wps:wsp")) {
            if (hAlign == QLatin1String("right") || hAlign == QLatin1String("outside"))
                f.leftTwips -= f.gapTwips[2];
            else if (hAlign == QLatin1String("left") && hFrom != QLatin1String("margin"))
                f.leftTwips += f.gapTwips[0];
            if (vAlign == QLatin1String("top"))
                f.topTwips += f.gapTwips[1];
            else if (vAlign == QLatin1String("bottom"))
                f.topTwips -= f.gapTwips[3];
        }
        f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
        f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    } else {
        f.wrap = Floating::Wrap::TopBottom;
        f.inLineTwips = width;
    }

    // A picture; a shape with text; a group of them, each placed within the group's frame; a drawing
    // canvas, whose pieces stand from its corner.
    struct Item {
        const Node* node;
        int left, top, width, height;
    };
    std::vector<Item> items;
    const Node* group = graphic->child(u"wpg:wgp");
    if (!group)
        group = graphic->child(u"wpc:wpc");
    if (group) {
        const Node* xfrm =
            group->child(u"wpg:grpSpPr") ? group->child(u"wpg:grpSpPr")->child(u"a:xfrm") : nullptr;
        const Node* chOff = xfrm ? xfrm->child(u"a:chOff") : nullptr;
        const Node* chExt = xfrm ? xfrm->child(u"a:chExt") : nullptr;
        // The pieces' own coordinates are in the group's units, often a few hundred to the group: read
        // as they stand, not rounded to twips.
        const auto units = [](const Node* n, QStringView key, double fallback) {
            bool ok = false;
            const double v = n && n->has(key) ? n->attr(key).toDouble(&ok) : fallback;
            return ok && std::isfinite(v) ? v : fallback;
        };
        const double ox = units(chOff, u"x", 0), oy = units(chOff, u"y", 0);
        const double cw = units(chExt, u"cx", 0), ch = units(chExt, u"cy", 0);
        // Without a child extent the pieces are in EMU, as the group's own size.
        const double sx = cw > 0 ? double(width) / cw : 1.0 / 635;
        const double sy = ch > 0 ? double(height) / ch : 1.0 / 635;
        const auto twips = [](double v) { return int(qBound(-1440.0 * 50, v, 1440.0 * 50)); };
        // A group inside the group maps its own units onto the room it takes in its parent's: a piece
        // at v in it stands at base + (v - origin) * scale twips from the outer group's corner.
        struct Units {
            double baseX, baseY, originX, originY, scaleX, scaleY;
        };
        const auto collect = [&](const auto& self, const Node& parent, const Units& u, int depth) -> void {
            for (const Node& c : parent.children) {
                if (items.size() >= 64)
                    return;
                const bool inner = c.name == QLatin1String("wpg:grpSp");
                if (!inner && c.name != QLatin1String("wps:wsp") && c.name != QLatin1String("pic:pic"))
                    continue;
                const Node* pr = inner ? c.child(u"wpg:grpSpPr") : nullptr;
                const Node* x = inner ? (pr ? pr->child(u"a:xfrm") : nullptr) : c.find(u"a:xfrm");
                const Node* off = x ? x->child(u"a:off") : nullptr;
                const Node* ext = x ? x->child(u"a:ext") : nullptr;
                const double left = units(off, u"x", u.originX), top = units(off, u"y", u.originY);
                if (inner) {
                    if (depth >= 8)
                        continue;
                    const Node* co = x ? x->child(u"a:chOff") : nullptr;
                    const Node* ce = x ? x->child(u"a:chExt") : nullptr;
                    const double w = units(ext, u"cx", 0), h = units(ext, u"cy", 0);
                    const double cx = units(ce, u"cx", w), cy = units(ce, u"cy", h);
                    self(self, c,
                         Units{u.baseX + (left - u.originX) * u.scaleX,
                               u.baseY + (top - u.originY) * u.scaleY, units(co, u"x", left),
                               units(co, u"y", top), cx > 0 && w > 0 ? u.scaleX * w / cx : u.scaleX,
                               cy > 0 && h > 0 ? u.scaleY * h / cy : u.scaleY},
                         depth + 1);
                    continue;
                }
                items.push_back(Item{&c, twips(u.baseX + (left - u.originX) * u.scaleX),
                                     twips(u.baseY + (top - u.originY) * u.scaleY),
                                     qMax(1, twips(units(ext, u"cx", width / u.scaleX) * u.scaleX)),
                                     qMax(1, twips(units(ext, u"cy", height / u.scaleY) * u.scaleY))});
            }
        };
        collect(collect, *group, Units{0, 0, ox, oy, sx, sy}, 0);
    } else if (const Node* shape = graphic->child(u"wps:wsp")) {
        items.push_back(Item{shape, 0, 0, width, height});
    } else if (const Node* pic = graphic->child(u"pic:pic")) {
        items.push_back(Item{pic, 0, 0, width, height});
    } else if (const Node* chartRef = graphic->child(u"c:chart")) {
        items.push_back(Item{chartRef, 0, 0, width, height});
    }
    const bool single = items.size() == 1 && !anchored;
    for (const Item& item : items) {
        Floating g = f;
        // Turned (in 60000ths of a degree, clockwise) and mirrored within its box.
        const Node* props =
            item.node->child(item.node->name == QLatin1String("pic:pic") ? u"pic:spPr" : u"wps:spPr");
        if (const Node* x = props ? props->child(u"a:xfrm") : nullptr) {
            bool ok = false;
            const double turn = x->attr(u"rot").toDouble(&ok) / 60000;
            g.rotation = ok && std::isfinite(turn) ? qRound(std::fmod(turn, 360.0)) : 0;
            g.flipH = onOffValue(x->attr(u"flipH"));
            g.flipV = onOffValue(x->attr(u"flipV"));
        }
        g.leftTwips = clampTwips(qint64(f.leftTwips) + item.left);
        g.topTwips = clampTwips(qint64(f.topTwips) + item.top);
        g.widthTwips = clampTwips(item.width, 1, kMaxTwips);
        g.heightTwips = clampTwips(item.height, 1, kMaxTwips);
        // The pieces of a drawing set in a line keep the text below the whole drawing, not only below
        // themselves.
        if (!anchored)
            g.gapTwips[3] = qMax(0, height - item.top - item.height);
        const Node* blip = item.node->name == QLatin1String("pic:pic") ? item.node->find(u"a:blip") : nullptr;
        if (blip || item.node->name == QLatin1String("c:chart")) {
            const int index = blip ? picture(st, blip->attr(u"r:embed"), g.widthTwips, g.heightTwips)
                                   : chart(st, item.node->attr(u"r:id"), g.widthTwips, g.heightTwips);
            if (index < 0)
                continue;
            if (single) {
                // LibreOffice keeps an eighth of an inch clear beside a picture in a line on each side
                // its frame gives no distance for, and none where it gives one, whatever it is.
                if (blip) {
                    Picture& shown = m_t.pictures[size_t(index)];
                    pictureCrop(*item.node, shown);
                    shown.leftTwips = frame.has(u"distL") ? 0 : 180;
                    shown.rightTwips = frame.has(u"distR") ? 0 : 180;
                    keepEffectRoom(frame, *item.node, shown);
                    pictureOutline(*item.node, shown);
                }
                addRun(st, Run{Run::Picture, format, index, {}});
                continue;
            }
            if (blip) {
                pictureCrop(*item.node, m_t.pictures[size_t(index)]);
                pictureOutline(*item.node, m_t.pictures[size_t(index)]);
            }
            g.picture = index;
            addFloating(st, g, format);
            continue;
        }
        const Node* txbx = item.node->child(u"wps:txbx");
        const Node* content = txbx ? txbx->child(u"w:txbxContent") : nullptr;
        const Node* spPr = item.node->child(u"wps:spPr");
        const Node* style = item.node->child(u"wps:style");
        const auto colours = [&] {
            // The shape's own fill and outline, else those its style refers to.
            if (const Node* solid = spPr ? spPr->child(u"a:solidFill") : nullptr)
                g.fill = drawingColor(solid);
            else if (const Node* grad = spPr ? spPr->child(u"a:gradFill") : nullptr)
                gradientFill(*grad, g, style);
            else if (spPr && spPr->child(u"a:noFill"))
                g.fill = QColor();
            else if (const Node* ref = style ? style->child(u"a:fillRef") : nullptr;
                     ref && intAttr(*ref, u"idx") > 0)
                g.fill = drawingColor(ref);
            const Node* ln = spPr ? spPr->child(u"a:ln") : nullptr;
            if (ln && ln->child(u"a:noFill")) {
                g.line = QColor();
            } else if (const Node* solid = ln ? ln->child(u"a:solidFill") : nullptr) {
                g.line = drawingColor(solid);
            } else if (const Node* ref = style ? style->child(u"a:lnRef") : nullptr;
                       ref && intAttr(*ref, u"idx") > 0) {
                g.line = drawingColor(ref);
            }
            g.lineTwips = g.line.isValid() ? qBound(1, emuAttr(ln, u"w", 15), 1440) : 0;
            g.dashes = ln ? drawingDashes(*ln) : std::vector<double>();
        };
        // The outline of a box or text box: a rounded box's corners, an ellipse.
        const Node* geometry = spPr ? spPr->child(u"a:prstGeom") : nullptr;
        const QString kind = geometry ? geometry->attr(u"prst") : QString();
        if (kind == QLatin1String("roundRect"))
            g.rounding = roundRectCorner(*geometry);
        if (!content) {
            // A shape drawn in Word: a box, an ellipse, a line or a freeform, in its fill and outline.
            const Node* freeform = spPr ? spPr->child(u"a:custGeom") : nullptr;
            if ((!geometry && !freeform) || item.node->name != QLatin1String("wps:wsp"))
                continue;
            bool open = false;
            if (freeform) {
                const Node* x = spPr->child(u"a:xfrm");
                const Node* ext = x ? x->child(u"a:ext") : nullptr;
                const auto extent = [&](QStringView key, int twips) {
                    const double v = ext ? ext->attr(key).toDouble() : 0;
                    return v > 0 && std::isfinite(v) ? v : twips * 635.0;
                };
                if (!customGeometry(*freeform, g.widthTwips, g.heightTwips, extent(u"cx", g.widthTwips),
                                    extent(u"cy", g.heightTwips), g))
                    continue;
            } else if (kind == QLatin1String("rect") || kind == QLatin1String("roundRect")) {
                g.shape = Floating::Shape::Box;
            } else if (kind == QLatin1String("ellipse")) {
                g.shape = Floating::Shape::Ellipse;
            } else if (kind == QLatin1String("line") || kind.startsWith(QLatin1String("straightConnector"))) {
                const Node* xfrm = spPr->child(u"a:xfrm");
                const bool flipH = xfrm && onOffValue(xfrm->attr(u"flipH"));
                const bool flipV = xfrm && onOffValue(xfrm->attr(u"flipV"));
                g.shape = Floating::Shape::Lines;
                g.points = {QPoint(flipH ? g.widthTwips : 0, flipV ? g.heightTwips : 0),
                            QPoint(flipH ? 0 : g.widthTwips, flipV ? 0 : g.heightTwips)};
                g.flipH = g.flipV = false; // in its points already
                open = true;
            } else {
                continue;
            }
            g.fill = QColor();
            g.line = QColor();
            colours();
            if (open) {
                g.fill = QColor();
                g.gradient.clear();
            }
            if (g.fill.isValid() || g.line.isValid())
                addFloating(st, g, format);
            continue;
        }
        const Node* body = item.node->child(u"wps:bodyPr");
        g.insetTwips = {emuAttr(body, u"lIns", 144), emuAttr(body, u"tIns", 72), emuAttr(body, u"rIns", 144),
                        emuAttr(body, u"bIns", 72)};
        for (int& inset : g.insetTwips)
            inset = qBound(0, inset, 1440);
        const int text = textBox(*content, st, g.widthTwips - g.insetTwips[0] - g.insetTwips[2]);
        if (text < 0)
            continue;
        g.text = text;
        if (kind == QLatin1String("ellipse"))
            g.shape = Floating::Shape::Ellipse;
        g.fitText = body && body->child(u"a:spAutoFit");
        const QString anchor = body ? body->attr(u"anchor") : QString();
        g.textAnchor = anchor == QLatin1String("ctr") ? Floating::TextAnchor::Middle
                       : anchor == QLatin1String("b") ? Floating::TextAnchor::Bottom
                                                      : Floating::TextAnchor::Top;
        colours();
        addFloating(st, g, format);
    }
}

} // namespace wordproc::docx
