// Device-independent bitmaps as both metafile formats carry them, and the code pages of their fonts.

#include "wordproc/MetafilePlayer.h"

namespace wordproc::metafile {

namespace {

struct Masks {
    quint32 r = 0, g = 0, b = 0, a = 0;
};

int channel(quint32 pixel, quint32 mask) {
    if (mask == 0)
        return 0;
    int shift = 0;
    while (!(mask >> shift & 1))
        ++shift;
    const quint32 max = mask >> shift;
    return int(((pixel & mask) >> shift) * 255 / max);
}

// Run-length encoded pixels, 8 or 4 bits each, into one index per pixel, bottom row first.
std::vector<quint8> decodeRle(Bytes bits, int width, int height, bool four) {
    std::vector<quint8> out(size_t(width) * size_t(height), 0);
    qint64 at = 0;
    int x = 0, y = 0;
    const auto put = [&](int index) {
        if (x < width && y < height)
            out[size_t(y) * size_t(width) + size_t(x)] = quint8(index);
        ++x;
    };
    while (at + 1 < bits.size() && y < height) {
        const int count = bits.u8(at), value = bits.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? (i % 2 ? value & 0x0f : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            x += bits.u8(at);
            y += bits.u8(at + 1);
            at += 2;
        } else { // a literal run
            const int bytes = four ? (value + 1) / 2 : value;
            for (int i = 0; i < value && x < width; ++i)
                put(four ? (i % 2 ? bits.u8(at + i / 2) & 0x0f : bits.u8(at + i / 2) >> 4) : bits.u8(at + i));
            at += (bytes + 1) / 2 * 2;
        }
    }
    return out;
}

} // namespace

QImage decodeDib(Bytes info, Bytes bits, bool alpha) {
    const quint32 headerSize = info.u32(0);
    int width, height, bpp;
    quint32 compression = 0, used = 0;
    qint64 tableAt = headerSize;
    int entrySize = 4;
    Masks masks;
    if (headerSize == 12) {
        width = info.u16(4);
        height = info.u16(6);
        bpp = info.u16(10);
        entrySize = 3;
    } else if (headerSize >= 40 && info.has(0, 40)) {
        width = info.i32(4);
        height = info.i32(8);
        bpp = info.u16(14);
        compression = info.u32(16);
        used = info.u32(32);
        if (compression == 3 || compression == 6) {
            masks = Masks{info.u32(40), info.u32(44), info.u32(48), compression == 6 ? info.u32(52) : 0};
            if (headerSize == 40)
                tableAt += compression == 6 ? 16 : 12;
        }
    } else {
        return {};
    }
    const bool topDown = height < 0;
    height = height == INT_MIN ? 0 : std::abs(height);
    if (width <= 0 || height <= 0 || qint64(width) * height > kMaxBitmapPixels)
        return {};
    if (compression == 4 || compression == 5) { // JPEG or PNG inside
        QByteArray bytes(bits.data(), int(bits.size()));
        QBuffer buffer(&bytes);
        QImageReader reader(&buffer, compression == 4 ? "JPEG" : "PNG");
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxBitmapPixels)
            return {};
        return reader.read();
    }
    std::vector<QRgb> palette;
    if (bpp <= 8) {
        const int entries = used > 0 ? int(qMin<quint32>(used, 256)) : 1 << bpp;
        for (int i = 0; i < entries; ++i) {
            const qint64 at = tableAt + qint64(i) * entrySize;
            palette.push_back(qRgb(info.u8(at + 2), info.u8(at + 1), info.u8(at)));
        }
        palette.resize(256, qRgb(0, 0, 0));
    } else if (bpp != 16 && bpp != 24 && bpp != 32) {
        return {};
    }
    if (compression == 0 || (bpp == 16 && compression != 3 && compression != 6)) {
        if (bpp == 16)
            masks = Masks{0x7c00, 0x03e0, 0x001f, 0};
    }
    const bool rle = (compression == 1 && bpp == 8) || (compression == 2 && bpp == 4);
    if (compression != 0 && compression != 3 && compression != 6 && !rle)
        return {};
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);
    if (rle) {
        const std::vector<quint8> indices = decodeRle(bits, width, height, bpp == 4);
        for (int y = 0; y < height; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(topDown ? y : height - 1 - y));
            for (int x = 0; x < width; ++x)
                line[x] = palette[indices[size_t(y) * size_t(width) + size_t(x)]];
        }
        return image;
    }
    const qint64 stride = (qint64(width) * bpp + 31) / 32 * 4;
    for (int row = 0; row < height; ++row) {
        const qint64 start = stride * row;
        if (!bits.has(start, stride))
            break; // the rows the file holds
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(topDown ? row : height - 1 - row));
        for (int x = 0; x < width; ++x) {
            switch (bpp) {
            case 1:
                line[x] = palette[bits.u8(start + x / 8) >> (7 - x % 8) & 1];
                break;
            case 4:
                line[x] = palette[x % 2 ? bits.u8(start + x / 2) & 0x0f : bits.u8(start + x / 2) >> 4];
                break;
            case 8:
                line[x] = palette[bits.u8(start + x)];
                break;
            case 16: {
                const quint32 p = bits.u16(start + 2 * x);
                line[x] = qRgb(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b));
                break;
            }
            case 24:
                line[x] =
                    qRgb(bits.u8(start + 3 * x + 2), bits.u8(start + 3 * x + 1), bits.u8(start + 3 * x));
                break;
            default: {
                const quint32 p = bits.u32(start + 4 * x);
                if (masks.r)
                    line[x] = qRgba(channel(p, masks.r), channel(p, masks.g), channel(p, masks.b),
                                    alpha && masks.a ? channel(p, masks.a) : 255);
                else
                    line[x] = qRgba(int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff),
                                    alpha ? int(p >> 24) : 255);
            }
            }
        }
    }
    if (alpha && bpp == 32) // blended bitmaps hold premultiplied colours
        image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return image;
}

// The header and colours of a bitmap stored in one piece, and its pixels after them.
std::pair<Bytes, Bytes> splitPackedDib(Bytes dib) {
    const quint32 headerSize = dib.u32(0);
    qint64 colors = 0;
    if (headerSize == 12) {
        const int bpp = dib.u16(10);
        colors = bpp <= 8 ? 3LL << bpp : 0;
    } else {
        const int bpp = dib.u16(14);
        const quint32 compression = dib.u32(16), used = dib.u32(32);
        if (bpp <= 8)
            colors = 4LL * (used > 0 ? qMin<quint32>(used, 256) : 1u << bpp);
        else
            colors = 4LL * qMin<quint32>(used, 256);
        if (headerSize == 40 && (compression == 3 || compression == 6))
            colors += compression == 6 ? 16 : 12;
    }
    const qint64 infoSize = qMin(dib.size(), qint64(headerSize) + colors);
    return {dib.sub(0, infoSize), dib.sub(infoSize, dib.size() - infoSize)};
}

QStringDecoder decoderFor(int charset) {
    static const std::pair<int, const char*> codePages[] = {
        {238, "windows-1250"}, {204, "windows-1251"}, {161, "windows-1253"}, {162, "windows-1254"},
        {177, "windows-1255"}, {178, "windows-1256"}, {186, "windows-1257"}, {163, "windows-1258"},
        {222, "windows-874"},  {128, "Shift_JIS"},    {134, "GBK"},          {129, "windows-949"},
        {136, "Big5"},         {77, "macintosh"},
    };
    const char* name = "windows-1252";
    for (const auto& [set, page] : codePages)
        if (set == charset)
            name = page;
    QStringDecoder decoder(name);
    return decoder.isValid() ? std::move(decoder) : QStringDecoder(QStringConverter::Latin1);
}

} // namespace wordproc::metafile
