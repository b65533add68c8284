// Pictures, inline or inside a shape, and the shapes that float them.

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
    if (!(pic.png || pic.jpeg) || pic.bytes.isEmpty())
        return; // metafiles and other formats are left out
    QImage image;
    if (!image.loadFromData(pic.bytes, pic.png ? "PNG" : "JPEG") || image.isNull())
        return;
    Picture p;
    p.image = image;
    const qint64 w =
        pic.widthGoal > 0 ? pic.widthGoal : qint64(pic.widthPx > 0 ? pic.widthPx : image.width()) * 15;
    const qint64 h =
        pic.heightGoal > 0 ? pic.heightGoal : qint64(pic.heightPx > 0 ? pic.heightPx : image.height()) * 15;
    p.widthTwips = clampTwips(w * qBound(1, pic.scaleX, 1000) / 100, 1, kMaxTwips);
    p.heightTwips = clampTwips(h * qBound(1, pic.scaleY, 1000) / 100, 1, kMaxTwips);
    m_t.pictures.push_back(std::move(p));
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
    // The few properties that say where the picture lies; the rest draw shapes this reader leaves out.
    const QString name = property.name.trimmed();
    bool ok = false;
    const int value = property.value.trimmed().toInt(&ok);
    if (!ok)
        return;
    Floating& f = shape.floating;
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
    if (f.picture < 0)
        return; // lines, boxes and text frames are left out
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
