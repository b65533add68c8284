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
    // QuickDraw pictures (\macpict), OS/2 metafiles and device bitmaps are left out: Word itself writes
    // them only beside a picture in one of these formats.
    if (!(pic.png || pic.jpeg || pic.wmf || pic.emf) || pic.bytes.isEmpty())
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
    else if (w == "shpfblwtxt")
        f.behindText = param == 1;
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
    else if (name == QLatin1String("lineWidth"))
        shape.lineTwips = twips(value);
    else if (name == QLatin1String("dxTextLeft") || name == QLatin1String("dyTextTop") ||
             name == QLatin1String("dxTextRight") || name == QLatin1String("dyTextBottom"))
        shape.insetTwips[name == QLatin1String("dxTextLeft")    ? 0
                         : name == QLatin1String("dyTextTop")   ? 1
                         : name == QLatin1String("dxTextRight") ? 2
                                                                : 3] = twips(value);
    if (name == QLatin1String("posrelh"))
        f.fromX = value == 1 ? Floating::From::Page : Floating::From::Margin;
    else if (name == QLatin1String("posrelv"))
        f.fromY = value == 1   ? Floating::From::Page
                  : value == 0 ? Floating::From::Margin
                               : Floating::From::Paragraph;
    else if (name == QLatin1String("fBehindDocument"))
        f.behindText = value != 0;
}

void Reader::finishShape(State& st, ShapeData& shape) {
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
        m_t.textBoxes.push_back(std::move(shape.text));
        f.text = int(m_t.textBoxes.size() - 1);
        m_t.floats.push_back(f);
        if (!st.hidden)
            addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
        return;
    }
    if (f.picture < 0)
        return; // lines and boxes without text are left out
    const Picture& pic = m_t.pictures[size_t(f.picture)];
    // Anywhere on a sheet of up to 50 inches; the size as for an inline picture.
    f.leftTwips = qBound(-1440 * 50, f.leftTwips, 1440 * 50);
    f.topTwips = qBound(-1440 * 50, f.topTwips, 1440 * 50);
    f.widthTwips = shape.right > f.leftTwips ? int(qMin(qint64(shape.right) - f.leftTwips, qint64(1440 * 50)))
                                             : pic.widthTwips;
    f.heightTwips = shape.bottom > f.topTwips
                        ? int(qMin(qint64(shape.bottom) - f.topTwips, qint64(1440 * 50)))
                        : pic.heightTwips;
    m_t.floats.push_back(f);
    if (!st.hidden)
        addRun(st, Run{Run::Floating, format(st.chr), int(m_t.floats.size() - 1), {}});
}

} // namespace wordproc::rtf
