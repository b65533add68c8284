#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QSize>
#include <QTransform>
#include <vector>

class QPainter;

// Pictures that Word stores as Windows metafiles: a list of drawing calls (WMF, 16-bit, with or without
// the placeable header in front; EMF, 32-bit), played back onto an image. The files come from anywhere,
// so every length is checked and the work is bounded: a damaged or hostile metafile draws what it can,
// or nothing, and never takes long.
namespace wordproc {

// The largest image a metafile is drawn on; a larger size asked for is scaled down to fit.
constexpr qint64 kMaxMetafilePixels = 16 * 1024 * 1024;

// A piece of a metafile's text, in the image's pixels: a printed page and a PDF keep it as text (it can
// be found and copied, as in Word's own PDF), and it is as sharp as the page's own text.
struct MetafileText {
    struct Piece {
        QPointF at; // the baseline's start, in text space
        QString text;
    };
    QTransform place; // text space to image pixels
    bool clipped = false;
    QPainterPath clip; // image pixels
    QFont font;
    double pixels = 0; // the font's size, in image pixels
    QColor color;
    std::vector<Piece> pieces;
};

// Draws the metafile `data` (EMF when `enhanced`, else WMF) over an image of `pixels`, or of the largest
// size of the same shape within kMaxMetafilePixels; what the metafile leaves undrawn is transparent. A
// null image when the size is empty. Its text is not on the image but carried with it, for
// drawPicture().
QImage renderMetafile(const QByteArray& data, bool enhanced, QSize pixels);

// Draws a QuickDraw picture (PICT, with or without the 512 bytes a file has in front) as
// renderMetafile() draws a metafile.
QImage renderQuickDraw(const QByteArray& data, QSize pixels);

// Lets `image` carry `texts` (its pixels), as renderMetafile() lets a metafile's picture carry its own.
void carryText(QImage& image, const std::vector<MetafileText>& texts);

// The text a picture drawn by renderMetafile() or given carryText() carries; none for any other image.
std::vector<MetafileText> metafileText(const QImage& image);

// The part `rows` of `image`, with the text it carries there kept to that part.
QImage cropPicture(const QImage& image, const QRect& rows);

// Draws `image` over `rect`, and the text it carries over it.
void drawPicture(QPainter& painter, const QRectF& rect, const QImage& image);

// Draws only the text `image` carries, over `rect`.
void drawPictureText(QPainter& painter, const QRectF& rect, const QImage& image);

// The size the metafile says it was drawn at, in twips: a placeable WMF's box, an EMF's frame. Empty when
// it does not say.
QSize metafileSizeTwips(const QByteArray& data, bool enhanced);

// The size a QuickDraw picture says it was drawn at, in twips; empty when the data is no picture.
QSize quickDrawSizeTwips(const QByteArray& data);

} // namespace wordproc
