#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// Pictures that Word stores as Windows metafiles: a list of drawing calls (WMF, 16-bit, with or without
// the placeable header in front; EMF, 32-bit), played back onto an image. The files come from anywhere,
// so every length is checked and the work is bounded: a damaged or hostile metafile draws what it can,
// or nothing, and never takes long.
namespace wordproc {

// The largest image a metafile is drawn on; a larger size asked for is scaled down to fit.
constexpr qint64 kMaxMetafilePixels = 16 * 1024 * 1024;

// Draws the metafile `data` (EMF when `enhanced`, else WMF) over an image of `pixels`, or of the largest
// size of the same shape within kMaxMetafilePixels; what the metafile leaves undrawn is transparent. A
// null image when the size is empty.
QImage renderMetafile(const QByteArray& data, bool enhanced, QSize pixels);

// The size the metafile says it was drawn at, in twips: a placeable WMF's box, an EMF's frame. Empty when
// it does not say.
QSize metafileSizeTwips(const QByteArray& data, bool enhanced);

} // namespace wordproc
