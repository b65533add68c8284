// libFuzzer target for the metafile player: any bytes, as a WMF, an EMF or a QuickDraw picture, are drawn or
// left undrawn on an image of the size asked for, never a crash, an overflow or a hang.
#include "wordproc/Metafile.h"

#include <QGuiApplication>
#include <cstdint>
#include <cstdlib>

using namespace wordproc;

// Text needs the application's fonts.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte: which format, and a small image of one of a few shapes.
    const bool enhanced = data[0] & 1, quickDraw = data[0] & 0x80;
    const QSize pixels(8 + (data[0] >> 1 & 7) * 8, 8 + (data[0] >> 4 & 7) * 8);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const QImage image = quickDraw ? renderQuickDraw(bytes, pixels) : renderMetafile(bytes, enhanced, pixels);
    if (image.size() != pixels)
        std::abort();
    const QSize twips = quickDraw ? quickDrawSizeTwips(bytes) : metafileSizeTwips(bytes, enhanced);
    if (twips.width() < 0 || twips.height() < 0 || twips.width() > 1440 * 50 || twips.height() > 1440 * 50)
        std::abort();
    return 0;
}
