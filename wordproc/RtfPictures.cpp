// Pictures, inline or inside a shape, and the shapes that float them.

#include "wordproc/Metafile.h"
#include "wordproc/RtfReaderPrivate.h"
#include "wordproc/Twips.h"

#include <QImage>

namespace wordproc::rtf {

void Reader::pictureWord(State& st, Word w, bool, int param) {
    PictureData* pic = st.picture;
    if (!pic)
        return;
    if (w == "pngblip")
        pic->png = true;
    else if (w == "jpegblip")
        pic->jpeg = true;
    else if (w == "wmetafile")
        pic->wmf = true;
    else if (w == "emfblip")
        pic->emf = true;
    else if (w == "macpict")
        pic->pict = true;
    else if (w == "picw")
        pic->widthPx = clampPositiveTwips(param);
    else if (w == "pich")
        pic->heightPx = clampPositiveTwips(param);
    else if (w == "picwgoal")
        pic->widthGoal = clampPositiveTwips(param);
    else if (w == "pichgoal")
        pic->heightGoal = clampPositiveTwips(param);
    else if (w == "picscalex")
        pic->scaleX = param;
    else if (w == "picscaley")
        pic->scaleY = param;
}

void Reader::finishPicture(State& st, PictureData& pic) {
    // OS/2 metafiles and device bitmaps are left out: Word itself writes them only beside a picture in
    // one of these formats. QuickDraw pictures come alone from Mac Word's equations.
    if (!(pic.png || pic.jpeg || pic.wmf || pic.emf || pic.pict) || pic.bytes.isEmpty())
        return;
    Picture p;
    qint64 w, h;
    if (pic.png || pic.jpeg) {
        QImage image;
        if (!image.loadFromData(pic.bytes, pic.png ? "PNG" : "JPEG") || image.isNull())
            return;
        p.image = image;
        w = pic.widthGoal > 0 ? pic.widthGoal : qint64(pic.widthPx > 0 ? pic.widthPx : image.width()) * 15;
        h = pic.heightGoal > 0 ? pic.heightGoal
                               : qint64(pic.heightPx > 0 ? pic.heightPx : image.height()) * 15;
    } else if (pic.pict) {
        // A QuickDraw picture's \picw and \pich are in points.
        p.metafile = std::move(pic.bytes);
        p.quickDraw = true;
        const QSize own = quickDrawSizeTwips(p.metafile);
        w = pic.widthGoal > 0 ? pic.widthGoal
            : pic.widthPx > 0 ? qint64(pic.widthPx) * 20
                              : (own.width() > 0 ? own.width() : 1440);
        h = pic.heightGoal > 0 ? pic.heightGoal
            : pic.heightPx > 0 ? qint64(pic.heightPx) * 20
                               : (own.height() > 0 ? own.height() : 1440);
    } else {
        // A metafile's \picw and \pich are in hundredths of a millimetre; the metafile may know its size.
        p.metafile = std::move(pic.bytes);
        p.enhanced = pic.emf;
        const QSize own = metafileSizeTwips(p.metafile, p.enhanced);
        w = pic.widthGoal > 0 ? pic.widthGoal
            : pic.widthPx > 0 ? qint64(pic.widthPx) * 1440 / 2540
                              : (own.width() > 0 ? own.width() : 1440);
        h = pic.heightGoal > 0 ? pic.heightGoal
            : pic.heightPx > 0 ? qint64(pic.heightPx) * 1440 / 2540
                               : (own.height() > 0 ? own.height() : 1440);
    }
    p.widthTwips = clampTwips(w * qBound(1, pic.scaleX, 1000) / 100, 1, kMaxTwips);
    p.heightTwips = clampTwips(h * qBound(1, pic.scaleY, 1000) / 100, 1, kMaxTwips);
    m_t.pictures.push_back(std::move(p));
    if (st.inShapePicture)
        m_shapePictureShown = true;
    if (st.shape) {
        st.shape->floating.picture = int(m_t.pictures.size() - 1);
        return;
    }
    if (!st.hidden)
        addRun(st, Run{Run::Picture, format(st.chr), int(m_t.pictures.size() - 1), {}});
}

void Reader::shapeWord(State& st, Word w, bool, int param) {
    if (!st.shape)
        return;
    ShapeData& shape = *st.shape;
    if (shape.drawing) {
        drawingWord(st, shape, w, param);
        return;
    }
    Floating& f = shape.floating;
    if (w == "shpleft")
        f.leftTwips = clampTwips(param);
    else if (w == "shptop")
        f.topTwips = clampTwips(param);
    else if (w == "shpright")
        shape.right = clampTwips(param);
    else if (w == "shpbottom")
        shape.bottom = clampTwips(param);
    else if (w == "shpbxpage" || w == "shpbxmargin" || w == "shpbxcolumn")
        f.fromX = w == "shpbxpage" ? Floating::From::Page : Floating::From::Margin;
    else if (w == "shpbypage" || w == "shpbymargin" || w == "shpbypara")
        f.fromY = w == "shpbypage"     ? Floating::From::Page
                  : w == "shpbymargin" ? Floating::From::Margin
                                       : Floating::From::Paragraph;
    else if (w == "shpwr")
        f.wrap = param == 1                 ? Floating::Wrap::TopBottom
                 : param == 2 || param == 4 ? Floating::Wrap::Around
                                            : Floating::Wrap::None;
    else if (w == "shpwrk")
        f.side = param == 1   ? Floating::Side::Left
                 : param == 2 ? Floating::Side::Right
                 : param == 3 ? Floating::Side::Largest
                              : Floating::Side::Both;
    else if (w == "shpfblwtxt")
        f.behindText = param == 1;
    else if (w == "shpz")
        f.zOrder = param;
}

void Reader::shapeProperty(ShapeData& shape, const ShapeProperty& property) {
    // The properties that say where a picture or text box lies and how a text box looks; the rest draw
    // shapes this reader leaves out.
    const QString name = property.name.trimmed();
    bool ok = false;
    const qint64 value = property.value.trimmed().toLongLong(&ok);
    if (!ok)
        return;
    // Colours are 0xBBGGRR; lengths in EMU, 635 to a twip.
    const auto bgr = [](qint64 v) { return QColor(int(v & 0xff), int(v >> 8 & 0xff), int(v >> 16 & 0xff)); };
    const auto twips = [](qint64 emu) { return int(qBound(qint64(0), emu / 635, qint64(1440))); };
    Floating& f = shape.floating;
    if (name == QLatin1String("fillColor"))
        shape.fill = bgr(value);
    else if (name == QLatin1String("lineColor"))
        shape.line = bgr(value);
    else if (name == QLatin1String("fFilled"))
        shape.filled = value != 0;
    else if (name == QLatin1String("fLine"))
        shape.lined = value != 0;
    else if (name == QLatin1String("shapeType"))
        shape.type = int(qBound(qint64(-1), value, qint64(10000)));
    else if (name == QLatin1String("fFlipH"))
        shape.flipH = value != 0;
    else if (name == QLatin1String("fFlipV"))
        shape.flipV = value != 0;
    else if (name == QLatin1String("adjustValue") || name == QLatin1String("adjust2Value"))
        (name == QLatin1String("adjustValue") ? shape.adjust : shape.adjust2) =
            int(qBound(qint64(0), value, qint64(21600)));
    else if (name == QLatin1String("lineWidth"))
        shape.lineTwips = twips(value);
    else if (name == QLatin1String("dxTextLeft") || name == QLatin1String("dyTextTop") ||
             name == QLatin1String("dxTextRight") || name == QLatin1String("dyTextBottom"))
        shape.insetTwips[name == QLatin1String("dxTextLeft")    ? 0
                         : name == QLatin1String("dyTextTop")   ? 1
                         : name == QLatin1String("dxTextRight") ? 2
                                                                : 3] = twips(value);
    else if (name == QLatin1String("dxWrapDistLeft") || name == QLatin1String("dyWrapDistTop") ||
             name == QLatin1String("dxWrapDistRight") || name == QLatin1String("dyWrapDistBottom"))
        f.gapTwips[name == QLatin1String("dxWrapDistLeft")    ? 0
                   : name == QLatin1String("dyWrapDistTop")   ? 1
                   : name == QLatin1String("dxWrapDistRight") ? 2
                                                              : 3] = twips(value);
    if (name == QLatin1String("pctHoriz") || name == QLatin1String("pctVert"))
        (name == QLatin1String("pctHoriz") ? shape.pctHoriz : shape.pctVert) =
            int(qBound(qint64(0), value, qint64(10000)));
    else if (name == QLatin1String("sizerelh") || name == QLatin1String("sizerelv"))
        (name == QLatin1String("sizerelh") ? shape.sizeRelH : shape.sizeRelV) =
            int(qBound(qint64(0), value, qint64(5)));
    else if (name == QLatin1String("posrelh"))
        f.fromX = value == 1 ? Floating::From::Page : Floating::From::Margin;
    else if (name == QLatin1String("posrelv"))
        f.fromY = value == 1   ? Floating::From::Page
                  : value == 0 ? Floating::From::Margin
                               : Floating::From::Paragraph;
    else if (name == QLatin1String("fBehindDocument"))
        f.behindText = value != 0;
}

void Reader::addFloating(State& st, const Floating& f) {
    m_t.floats.push_back(f);
    if (!st.hidden)
        addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
}

void Reader::drawingWord(State& st, ShapeData& shape, Word w, int param) {
    DrawingPrimitive& p = shape.primitive;
    Floating& f = shape.floating;
    const auto channel = [&](std::array<int, 3>& rgb, char c) {
        rgb[c == 'r' ? 0 : c == 'g' ? 1 : 2] = qBound(0, param, 255);
    };
    const auto gray = [&](std::array<int, 3>& rgb) { rgb.fill(255 - qBound(0, param, 100) * 255 / 100); };
    if (w == "dobxpage" || w == "dobxmargin" || w == "dobxcolumn") {
        f.fromX = w == "dobxpage" ? Floating::From::Page : Floating::From::Margin;
    } else if (w == "dobypage" || w == "dobymargin" || w == "dobypara") {
        f.fromY = w == "dobypage"     ? Floating::From::Page
                  : w == "dobymargin" ? Floating::From::Margin
                                      : Floating::From::Paragraph;
    } else if (w == "dprect" || w == "dproundr" || w == "dpellipse" || w == "dpline" || w == "dppolyline" ||
               w == "dppolygon" || w == "dptxbx" || w == "dparc" || w == "dpcallout") {
        // A new primitive: the one before it is complete.
        finishPrimitive(st, shape);
        p.seen = true;
        p.textBox = w == "dptxbx";
        p.shape = w == "dprect" || w == "dproundr"                         ? Floating::Shape::Box
                  : w == "dpellipse"                                       ? Floating::Shape::Ellipse
                  : w == "dpline" || w == "dppolyline" || w == "dppolygon" ? Floating::Shape::Lines
                                                                           : Floating::Shape::None;
        p.closed = w == "dppolygon";
    } else if (w == "dpx") {
        p.x = clampTwips(param);
    } else if (w == "dpy") {
        p.y = clampTwips(param);
    } else if (w == "dpxsize") {
        p.width = clampPositiveTwips(param);
    } else if (w == "dpysize") {
        p.height = clampPositiveTwips(param);
    } else if (w == "dpptx") {
        p.pointX = clampTwips(param);
    } else if (w == "dppty") {
        if (p.points.size() < 1000)
            p.points.emplace_back(p.pointX, clampTwips(param));
    } else if (w == "dplinew") {
        p.lineTwips = qBound(0, param, 1440);
    } else if (w == "dplinehollow") {
        p.lineHollow = true;
    } else if (w == "dplinesolid" || w == "dplinedash" || w == "dplinedot" || w == "dplinedado" ||
               w == "dplinedadodo") {
        p.lineHollow = false;
    } else if (w == "dplinecor" || w == "dplinecog" || w == "dplinecob") {
        channel(p.line, w.back());
    } else if (w == "dplinegray") {
        gray(p.line);
    } else if (w == "dpfillfgcr" || w == "dpfillfgcg" || w == "dpfillfgcb") {
        channel(p.fore, w.back());
    } else if (w == "dpfillbgcr" || w == "dpfillbgcg" || w == "dpfillbgcb") {
        channel(p.back, w.back());
    } else if (w == "dpfillfggray") {
        gray(p.fore);
    } else if (w == "dpfillbggray") {
        gray(p.back);
    } else if (w == "dpfillpat") {
        p.pattern = qBound(0, param, 100);
    } else if (w == "dptxbxmar") {
        p.inset = qBound(0, param, 1440);
    }
}

// The primitive read so far, as a floating shape or text box where the drawing object anchors it.
void Reader::finishPrimitive(State& st, ShapeData& shape) {
    DrawingPrimitive p = std::move(shape.primitive);
    shape.primitive = DrawingPrimitive{};
    if (!p.seen)
        return;
    Floating f = shape.floating;
    f.leftTwips = qBound(-1440 * 50, p.x, 1440 * 50);
    f.topTwips = qBound(-1440 * 50, p.y, 1440 * 50);
    f.widthTwips = qMax(1, p.width);
    f.heightTwips = qMax(1, p.height);
    f.line = p.lineHollow ? QColor() : QColor(p.line[0], p.line[1], p.line[2]);
    f.lineTwips = p.lineTwips;
    if (p.pattern > 0) {
        // Word's shading steps: solid, then 5% to 90% of the foreground over the background.
        static constexpr int shares[] = {100, 5, 10, 20, 25, 30, 40, 50, 60, 70, 75, 80, 90};
        const int share = p.pattern <= 13 ? shares[p.pattern - 1] : 50;
        const auto mix = [&](int i) {
            return (p.fore[size_t(i)] * share + p.back[size_t(i)] * (100 - share)) / 100;
        };
        f.fill = QColor(mix(0), mix(1), mix(2));
    }
    if (p.textBox) {
        if (!shape.hasText || shape.text.empty() || m_t.textBoxes.size() >= kMaxTextBoxes)
            return;
        if (p.inset >= 0)
            f.insetTwips.fill(p.inset);
        else
            f.insetTwips = shape.insetTwips;
        m_t.textBoxes.push_back(std::move(shape.text));
        shape.text = Story{};
        shape.hasText = false;
        f.text = int(m_t.textBoxes.size() - 1);
    } else {
        if (p.shape == Floating::Shape::None || m_t.floats.size() >= kMaxShapes)
            return;
        f.shape = p.shape;
        f.points = std::move(p.points);
        if (f.shape == Floating::Shape::Lines && !p.closed)
            f.fill = QColor();
    }
    addFloating(st, f);
}

namespace {

// The outline of a block arrow of Word's drawing tools, pointing right (shape type 13), left (66), down
// (67) or up (68), in 21600ths of its box; none for another kind.
std::vector<QPoint> blockArrow(int type, int adjust, int adjust2) {
    constexpr int n = 21600, half = n / 2;
    // Along the arrow, where the head meets the shaft; across it, how far in the shaft's sides stand.
    const bool forward = type == 13 || type == 67;
    const int neck = adjust >= 0 ? adjust : forward ? 16200 : 5400;
    const int in = adjust2 >= 0 ? qMin(adjust2, half) : 5400;
    std::vector<QPoint> along; // as for an arrow pointing right, x along it and y across
    if (forward)
        along = {{0, in}, {neck, in}, {neck, 0}, {n, half}, {neck, n}, {neck, n - in}, {0, n - in}, {0, in}};
    else
        along = {{n, in}, {neck, in}, {neck, 0}, {0, half}, {neck, n}, {neck, n - in}, {n, n - in}, {n, in}};
    if (type == 13 || type == 66)
        return along;
    if (type != 67 && type != 68)
        return {};
    for (QPoint& p : along)
        p = QPoint(p.y(), p.x());
    return along;
}

} // namespace

void Reader::finishShape(State& st, ShapeData& shape) {
    if (shape.drawing) {
        finishPrimitive(st, shape);
        return;
    }
    // A size by a share of the page stands for the one Word last worked out, as LibreOffice reads it.
    const PageSetup& pg = sectionPage();
    const auto share = [](int pct, int rel, int page, int before, int after) {
        const int span = rel == 1               ? page
                         : rel == 2 || rel == 4 ? before
                         : rel == 3 || rel == 5 ? after
                                                : page - before - after;
        return int(qint64(qMax(span, 0)) * pct / 1000);
    };
    const auto sized = [&](Floating& f) {
        if (shape.pctHoriz > 0)
            f.widthTwips =
                qMax(1, share(shape.pctHoriz, shape.sizeRelH, pg.widthTwips, pg.leftTwips, pg.rightTwips));
        if (shape.pctVert > 0)
            f.heightTwips =
                qMax(1, share(shape.pctVert, shape.sizeRelV, pg.heightTwips, pg.topTwips, pg.bottomTwips));
    };
    Floating f = shape.floating;
    if (f.picture < 0 && shape.hasText && !shape.text.empty() && m_t.textBoxes.size() < kMaxTextBoxes) {
        // A text box: where the shape says, or two inches by one where it gives no size.
        f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
        f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
        f.widthTwips =
            int(qBound(qint64(1), shape.right > f.leftTwips ? qint64(shape.right) - f.leftTwips : 2880,
                       qint64(kMaxTwips)));
        f.heightTwips =
            int(qBound(qint64(1), shape.bottom > f.topTwips ? qint64(shape.bottom) - f.topTwips : 1440,
                       qint64(kMaxTwips)));
        f.fill = shape.filled ? shape.fill : QColor();
        f.line = shape.lined && shape.lineTwips > 0 ? shape.line : QColor();
        f.lineTwips = shape.lineTwips;
        f.insetTwips = shape.insetTwips;
        sized(f);
        m_t.textBoxes.push_back(std::move(shape.text));
        f.text = int(m_t.textBoxes.size() - 1);
        m_t.floats.push_back(f);
        if (!st.hidden)
            addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
        return;
    }
    if (f.picture < 0) {
        // Rectangles, ellipses and lines, drawn as Word draws them.
        const bool box = shape.type == 1 || shape.type == 2 || shape.type == 202;
        const std::vector<QPoint> arrow = blockArrow(shape.type, shape.adjust, shape.adjust2);
        if (!(box || shape.type == 3 || shape.type == 20 || !arrow.empty()) ||
            m_t.floats.size() >= kMaxShapes)
            return;
        f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
        f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
        f.widthTwips = int(qBound(qint64(1), qint64(shape.right) - f.leftTwips, qint64(kMaxTwips)));
        f.heightTwips = int(qBound(qint64(1), qint64(shape.bottom) - f.topTwips, qint64(kMaxTwips)));
        f.fill = shape.filled && shape.type != 20 ? shape.fill : QColor();
        f.line = shape.lined ? shape.line : QColor();
        f.lineTwips = shape.lineTwips;
        sized(f);
        f.shape = shape.type == 3 ? Floating::Shape::Ellipse
                  : box           ? Floating::Shape::Box
                                  : Floating::Shape::Lines;
        for (const QPoint& p : arrow)
            f.points.emplace_back(int(qint64(p.x()) * f.widthTwips / 21600),
                                  int(qint64(p.y()) * f.heightTwips / 21600));
        if (shape.type == 20) {
            const int w = shape.right > f.leftTwips ? f.widthTwips : 0;
            const int h = shape.bottom > f.topTwips ? f.heightTwips : 0;
            f.points = {QPoint(shape.flipH ? w : 0, shape.flipV ? h : 0),
                        QPoint(shape.flipH ? 0 : w, shape.flipV ? 0 : h)};
        }
        addFloating(st, f);
        return;
    }
    const Picture& pic = m_t.pictures[size_t(f.picture)];
    // Anywhere on a sheet of up to 50 inches; the size as for an inline picture.
    f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
    f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    f.widthTwips = shape.right > f.leftTwips ? int(qMin(qint64(shape.right) - f.leftTwips, qint64(1440 * 50)))
                                             : pic.widthTwips;
    f.heightTwips = shape.bottom > f.topTwips
                        ? int(qMin(qint64(shape.bottom) - f.topTwips, qint64(1440 * 50)))
                        : pic.heightTwips;
    sized(f);
    m_t.floats.push_back(f);
    if (!st.hidden)
        addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
}

} // namespace wordproc::rtf
