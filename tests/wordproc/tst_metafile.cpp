#include "Sheets.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/Metafile.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace wordproc;
using namespace sheets;

namespace {

void putU16(QByteArray& b, int v) {
    b.append(char(v & 0xff)).append(char(v >> 8 & 0xff));
}
void putU32(QByteArray& b, qint64 v) {
    putU16(b, int(v & 0xffff));
    putU16(b, int(v >> 16 & 0xffff));
}

// A Windows metafile written record by record: 16-bit words, a record's parameters as the format orders
// them (most of them last to first).
class Wmf {
public:
    void record(int function, const QList<int>& words) {
        putU32(m_records, 3 + words.size());
        putU16(m_records, function);
        for (int w : words)
            putU16(m_records, w);
        m_largest = qMax(m_largest, int(3 + words.size()));
    }
    // A colour as two words.
    static QList<int> color(QColor c) { return {c.red() | c.green() << 8, c.blue()}; }
    void brush(QColor c) {
        record(0x02FC, QList<int>{0} + color(c) + QList<int>{0}); // CREATEBRUSHINDIRECT, solid
        record(0x012D, {m_objects++});                            // SELECTOBJECT
    }
    void nullPen() {
        record(0x02FA, {5, 0, 0, 0, 0}); // CREATEPENINDIRECT, PS_NULL
        record(0x012D, {m_objects++});
    }
    void window(int x, int y, int w, int h) {
        record(0x020B, {y, x}); // SETWINDOWORG
        record(0x020C, {h, w}); // SETWINDOWEXT
    }
    void rectangle(int l, int t, int r, int b) { record(0x041B, {b, r, t, l}); }

    // The records behind a header; with `box` (and `inch` units to the inch), the placeable header first.
    QByteArray bytes(QRect box = {}, int inch = 0) const {
        QByteArray out;
        if (!box.isNull()) {
            QByteArray head;
            putU32(head, 0x9AC6CDD7);
            putU16(head, 0);
            putU16(head, box.left());
            putU16(head, box.top());
            putU16(head, box.left() + box.width());
            putU16(head, box.top() + box.height());
            putU16(head, inch);
            putU32(head, 0);
            int sum = 0;
            for (int i = 0; i < 10; ++i)
                sum ^= quint8(head[2 * i]) | quint8(head[2 * i + 1]) << 8;
            putU16(head, sum);
            out += head;
        }
        putU16(out, 1);
        putU16(out, 9);
        putU16(out, 0x0300);
        putU32(out, 9 + m_records.size() / 2 + 3);
        putU16(out, m_objects);
        putU32(out, m_largest);
        putU16(out, 0);
        out += m_records;
        putU32(out, 3);
        putU16(out, 0);
        return out;
    }

private:
    QByteArray m_records;
    int m_largest = 3;
    int m_objects = 0;
};

// An enhanced metafile written record by record: 32-bit values.
class Emf {
public:
    void record(quint32 type, const QList<qint64>& values) {
        putU32(m_records, type);
        putU32(m_records, 8 + 4 * values.size());
        for (qint64 v : values)
            putU32(m_records, v);
        ++m_count;
    }
    void raw(const QByteArray& r) {
        m_records += r;
        ++m_count;
    }
    static qint64 color(QColor c) { return c.red() | c.green() << 8 | c.blue() << 16; }
    void brush(QColor c) {
        record(39, {m_handles, 0, color(c), 0}); // CREATEBRUSHINDIRECT
        record(37, {m_handles++});               // SELECTOBJECT
    }
    void nullPen() { record(37, {0x80000008}); } // the stock null pen
    void rectangle(int l, int t, int r, int b) { record(43, {l, t, r, b}); }

    // With a frame of `frame` hundredths of a millimetre, on a device of 100 pixels to the inch.
    QByteArray bytes(QRect frame) const {
        QByteArray out;
        putU32(out, 1);
        putU32(out, 88);
        for (int v : {0, 0, 100, 100})
            putU32(out, v);
        for (int v : {frame.left(), frame.top(), frame.right(), frame.bottom()})
            putU32(out, v);
        putU32(out, 0x464D4520);
        putU32(out, 0x10000);
        putU32(out, 88 + m_records.size() + 20);
        putU32(out, m_count + 2);
        putU16(out, m_handles);
        putU16(out, 0);
        for (int v : {0, 0, 0, 1000, 1000, 254, 254})
            putU32(out, v);
        out += m_records;
        for (int v : {14, 20, 0, 16, 20})
            putU32(out, v);
        return out;
    }

private:
    QByteArray m_records;
    int m_count = 0;
    int m_handles = 1;
};

// A 24-bit bitmap of 2 by 2 pixels, bottom row first: red green / blue white seen from the top.
QByteArray smallDib() {
    QByteArray dib;
    for (int v : {40, 2, 2})
        putU32(dib, v);
    putU16(dib, 1);
    putU16(dib, 24);
    for (int v : {0, 16, 0, 0, 0, 0})
        putU32(dib, v);
    // Bottom row: blue, white; top row: red, green. BGR, padded to 4 bytes.
    dib += QByteArray::fromHex("ff0000ffffff0000");
    dib += QByteArray::fromHex("0000ff00ff000000");
    return dib;
}

const QColor kBrick(200, 30, 40);
const QColor kLeaf(30, 160, 60);
const QColor kSea(20, 60, 200);

// A Word-like WMF without the placeable header: the window set by the records, as RTF stores them.
QByteArray rtfWmf() {
    Wmf w;
    w.window(0, 0, 2000, 1000);
    w.nullPen();
    w.brush(kBrick);
    w.rectangle(0, 0, 2000, 1000);
    return w.bytes();
}

QByteArray rtfEmf() {
    Emf e;
    e.nullPen();
    e.brush(kLeaf);
    e.rectangle(0, 0, 100, 100);
    return e.bytes(QRect(0, 0, 2540, 2540));
}

QByteArray pngOf(QColor c, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(c);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

int sheetPx(int twips) {
    return qRound(twips * kDpi / 1440);
}

} // namespace

class TestMetafile : public QObject {
    Q_OBJECT

private slots:
    // A placeable WMF: the header's box fills the image, a filled rectangle lies where its logical
    // coordinates say, in its brush's colour, and nothing is drawn around it.
    void wmfRectangle() {
        Wmf w;
        w.nullPen();
        w.brush(kBrick);
        w.rectangle(250, 500, 750, 1000);
        const QImage image = renderMetafile(w.bytes(QRect(0, 0, 1000, 1000), 1000), false, QSize(200, 100));
        QCOMPARE(image.size(), QSize(200, 100));
        const QRect r = extentOf(image, kBrick);
        QVERIFY2(
            qAbs(r.left() - 50) <= 1 && qAbs(r.right() - 149) <= 1 && qAbs(r.top() - 50) <= 1 &&
                r.bottom() == 99,
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
        QCOMPARE(image.pixelColor(20, 20).alpha(), 0);
        QCOMPARE(metafileSizeTwips(w.bytes(QRect(0, 0, 1000, 1000), 1000), false), QSize(1440, 1440));
    }

    // The window records map logical coordinates on to the picture; SaveDC and RestoreDC bring the
    // brush back; a pen outlines a figure in its colour and width.
    void wmfWindowStateAndPens() {
        Wmf w;
        w.window(-100, -100, 200, 200);
        w.brush(kBrick);
        w.record(0x001E, {}); // SAVEDC
        w.brush(kLeaf);
        w.record(0x0127, {0xffff});              // RESTOREDC -1
        w.record(0x02FA, {0, 20, 0, 0, 0x00ff}); // a blue pen 20 units wide
        w.record(0x012D, {2});
        w.record(0x0418, {50, 50, -50, -50}); // ELLIPSE
        w.record(0x0214, {90, -90});          // MOVETO
        w.record(0x0213, {90, 90});           // LINETO: a level line, its box without height
        const QImage image = renderMetafile(w.bytes(), false, QSize(200, 200));
        QCOMPARE(image.pixelColor(100, 100), kBrick);
        QCOMPARE(extentOf(image, kLeaf), QRect());
        // The outline straddles the ellipse's edge: ten units either side at the top.
        QCOMPARE(image.pixelColor(100, 50), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(100, 38).alpha(), 0);
        QCOMPARE(image.pixelColor(100, 30).alpha(), 0);
        QCOMPARE(image.pixelColor(100, 190), QColor(Qt::blue));
        QCOMPARE(image.pixelColor(100, 175).alpha(), 0);
    }

    // An EMF: its frame fills the image; a world transform moves what follows.
    void emfRectangleAndTransform() {
        Emf e;
        e.nullPen();
        e.brush(kLeaf);
        e.rectangle(0, 0, 50, 50);
        const auto f = [](float v) {
            quint32 bits;
            std::memcpy(&bits, &v, 4);
            return qint64(bits);
        };
        e.record(35, {f(1), f(0), f(0), f(1), f(50), f(50)}); // SETWORLDTRANSFORM: 50 across and down
        e.brush(kBrick);
        e.rectangle(0, 0, 50, 50);
        const QByteArray emf = e.bytes(QRect(0, 0, 2540, 2540));
        QCOMPARE(metafileSizeTwips(emf, true), QSize(1440, 1440));
        const QImage image = renderMetafile(emf, true, QSize(100, 100));
        const QRect green = extentOf(image, kLeaf), red = extentOf(image, kBrick);
        QVERIFY(qAbs(green.left()) <= 1 && qAbs(green.right() - 49) <= 1 && qAbs(green.bottom() - 49) <= 1);
        QVERIFY(qAbs(red.left() - 50) <= 1 && qAbs(red.right() - 99) <= 1 && qAbs(red.top() - 50) <= 1);
        QCOMPARE(image.pixelColor(75, 25).alpha(), 0);
    }

    // A bitmap scaled into its place, rows the right way up, and text in its colour.
    void emfBitmapAndText() {
        Emf e;
        const QByteArray dib = smallDib();
        QByteArray r;
        putU32(r, 81); // STRETCHDIBITS
        putU32(r, 80 + dib.size());
        for (qint64 v : {0, 0, 100, 100, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 100, 100})
            putU32(r, v);
        r += dib;
        e.raw(r);
        // A 30-unit font, black text "I" at the bottom-left quarter: SETTEXTCOLOR, the font, its text.
        QByteArray font;
        putU32(font, 82);
        putU32(font, 12 + 92);
        putU32(font, 2);
        for (qint64 v : {-30, 0, 0, 0, 700})
            putU32(font, v);
        putU32(font, 0);
        putU32(font, 0);
        font += QByteArray(64, '\0');
        e.raw(font);
        e.record(37, {2});
        e.record(18, {1});          // SETBKMODE transparent
        e.record(24, {0x00402010}); // SETTEXTCOLOR
        QByteArray text;
        putU32(text, 84);
        putU32(text, 76 + 4 + 8);
        for (qint64 v : {0, 0, 0, 0, 1, 0, 0})
            putU32(text, v);
        for (qint64 v : {10, 60, 2, 76, 0, 0, 0, 0, 0, 0})
            putU32(text, v);
        putU16(text, 'H');
        putU16(text, 'H');
        putU32(text, 0);
        putU32(text, 0);
        e.raw(text);
        const QImage image = renderMetafile(e.bytes(QRect(0, 0, 2540, 2540)), true, QSize(100, 100));
        QCOMPARE(image.pixelColor(10, 10), QColor(Qt::red));
        QCOMPARE(image.pixelColor(90, 10), QColor(0, 255, 0));
        QCOMPARE(image.pixelColor(90, 90), QColor(Qt::white));
        QCOMPARE(image.pixelColor(3, 97), QColor(Qt::blue));
        // The text is carried as text beside the pixels, and drawn over them with the picture.
        QCOMPARE(extentOf(image, QColor(0x10, 0x20, 0x40)), QRect());
        const std::vector<MetafileText> texts = metafileText(image);
        QCOMPARE(texts.size(), size_t(1));
        QString carried;
        for (const MetafileText::Piece& piece : texts.front().pieces)
            carried += piece.text;
        QCOMPARE(carried, QStringLiteral("HH"));
        QCOMPARE(texts.front().color, QColor(0x10, 0x20, 0x40));
        QImage page(200, 200, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        painter.scale(2, 2);
        drawPicture(painter, QRectF(0, 0, 100, 100), image);
        painter.end();
        const QRect drawn = extentOf(page, QColor(0x10, 0x20, 0x40));
        QCOMPARE(page.pixelColor(20, 20), QColor(Qt::red));
        const QRect ink(drawn.x() / 2, drawn.y() / 2, drawn.width() / 2, drawn.height() / 2);
        QVERIFY2(
            !ink.isEmpty() && ink.left() >= 9 && ink.left() < 20 && ink.top() >= 60 && ink.bottom() < 95,
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(ink.x()).arg(ink.y()).arg(ink.width()).arg(ink.height())));
    }

    // A picture cut to a part keeps the text it carries there, moved with the part and clipped to it.
    void cutPictureKeepsItsText() {
        QImage image(40, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        MetafileText text;
        text.place = QTransform::fromTranslate(5, 50);
        text.pixels = 10;
        text.pieces.push_back({QPointF(0, 0), QStringLiteral("Cut")});
        MetafileText clipped = text;
        clipped.clipped = true;
        clipped.clip.addRect(QRectF(0, 40, 40, 60));
        carryText(image, {text, clipped});
        const QImage part = cropPicture(image, QRect(0, 20, 40, 50));
        QCOMPARE(part.size(), QSize(40, 50));
        const std::vector<MetafileText> kept = metafileText(part);
        QCOMPARE(kept.size(), size_t(2));
        QCOMPARE(kept[0].pieces.front().text, QStringLiteral("Cut"));
        QCOMPARE(kept[0].place.map(QPointF(0, 0)), QPointF(5, 30));
        QVERIFY(kept[0].clipped);
        QCOMPARE(kept[0].clip.boundingRect(), QRectF(0, 0, 40, 50));
        // A clip of its own is narrowed to the part.
        QCOMPARE(kept[1].clip.boundingRect(), QRectF(0, 20, 40, 30));
        // A picture without text is cut alone.
        QImage plain(10, 10, QImage::Format_RGB32);
        plain.fill(Qt::white);
        QVERIFY(metafileText(cropPicture(plain, QRect(0, 0, 10, 5))).empty());
    }

    // Broken and hostile metafiles draw what they can and come back: every prefix of a good file,
    // counts far beyond the record, extents at the limits, floods of records and objects, and a
    // size past the image limit.
    void hostileMetafiles() {
        const QByteArray wmf = rtfWmf(), emf = rtfEmf();
        for (int n = 0; n < wmf.size(); ++n)
            QCOMPARE(renderMetafile(wmf.left(n), false, QSize(16, 16)).size(), QSize(16, 16));
        for (int n = 0; n < emf.size(); ++n)
            QCOMPARE(renderMetafile(emf.left(n), true, QSize(16, 16)).size(), QSize(16, 16));

        Wmf counts;
        counts.window(0, 0, 1, 1);
        counts.record(0x0324, {32767, 0, 0, 32767, 32767});      // POLYGON of 32767 points, two given
        counts.record(0x0538, {65535, 65535, 65535});            // POLYPOLYGON
        counts.record(0x0A32, {0, 0, 32767, 6, 0, 0, 100, 100}); // EXTTEXTOUT of 32767 characters
        counts.record(0x02FB, {0x7fff, 0, 0, 0, 0, 0});          // a font as tall as can be
        counts.record(0x012D, {0});
        counts.record(0x0521, {2, 'A' | 'B' << 8, 0, 0}); // its text
        counts.rectangle(-32768, -32768, 32767, 32767);
        for (int i = 0; i < 5000; ++i)
            counts.record(0x02FA, {1, 32767, 0, 0, 0}); // dashed pens that fill the object table
        for (int i = 0; i < 20000; ++i)
            counts.record(0x001E, {}); // SAVEDC
        counts.record(0x0127, {1});
        const QImage a = renderMetafile(counts.bytes(), false, QSize(64, 64));
        QCOMPARE(a.size(), QSize(64, 64));

        Emf huge;
        huge.record(9, {1, 1}); // SETWINDOWEXTEX
        huge.record(17, {8});   // MM_ANISOTROPIC
        huge.record(11, {0x7fffffff, 0x7fffffff});
        huge.record(3, {0, 0, 0, 0, 0x7fffffff});                   // POLYGON counting past the record
        huge.record(8, {0, 0, 0, 0, 0x7fffffff, 0x7fffffff, 3, 3}); // POLYPOLYGON likewise
        huge.record(38, {1, 1, 0x7fffffff, 0, 0});                  // CREATEPEN, as wide as can be
        huge.record(37, {1});
        huge.record(42, {-0x7fffffff, -0x7fffffff, 0x7fffffff, 0x7fffffff}); // ELLIPSE
        huge.record(39, {0x7ffffff0, 0, 0, 0});                              // an object far past the table
        QByteArray dib;
        putU32(dib, 81);
        putU32(dib, 80 + 40);
        for (qint64 v : {0, 0, 1, 1, 0, 0, 0, 0, 1, 1, 80, 40, 120, 0x7fffffff, 0, 0x00CC0020, 1, 1})
            putU32(dib, v);
        for (qint64 v : {40, 0x7fffffff, 0x7fffffff, 0x00200001, 0, 0, 0, 0, 0, 0})
            putU32(dib, v);
        huge.raw(dib);
        huge.record(17, {1}); // MM_TEXT
        for (int i = 0; i < 30000; ++i)
            huge.record(43,
                        {-100000, -100000, 100000, 100000}); // RECTANGLE covering everything, again and again
        QCOMPARE(renderMetafile(huge.bytes(QRect(0, 0, 100, 100)), true, QSize(64, 64)).size(),
                 QSize(64, 64));

        const QImage big = renderMetafile(wmf, false, QSize(100000, 100000));
        QVERIFY(!big.isNull() && qint64(big.width()) * big.height() <= kMaxMetafilePixels);
        QVERIFY(qAbs(big.width() - big.height()) <= 1);
        QVERIFY(renderMetafile(wmf, false, QSize(0, 10)).isNull());
        QVERIFY(renderMetafile(QByteArray(), true, QSize(10, 10)).size() == QSize(10, 10));
    }

    // A WMF picture in a letter, as Word writes it (no placeable header, \picw and \pich in hundredths
    // of a millimetre, the size in \picwgoal and \pichgoal): printed two inches by one where it stands,
    // in its colour.
    void wmfPictureDrawnAtItsSize() {
        const Printed p = print(letter(
            "{\\pict\\wmetafile8\\picw5080\\pich2540\\picwgoal2880\\pichgoal1440 " + rtfWmf().toHex() + "}"));
        QCOMPARE(p.t->pictures.size(), size_t(1));
        const Picture& pic = p.t->pictures.front();
        QVERIFY(pic.image.isNull() && !pic.metafile.isEmpty() && !pic.enhanced);
        QCOMPARE(QSize(pic.widthTwips, pic.heightTwips), QSize(2880, 1440));
        const QRect r = extentOf(sheet(p), kBrick);
        QVERIFY2(
            qAbs(r.left() - sheetPx(1440)) <= 2 && qAbs(r.width() - sheetPx(2880)) <= 2 &&
                qAbs(r.height() - sheetPx(1440)) <= 2 && r.top() >= sheetPx(1440) && r.top() < sheetPx(1800),
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    }

    // An EMF likewise, its size scaled by \picscalex and \picscaley, floating where its shape puts it.
    void emfPictureDrawnAtItsSize() {
        const Printed inlined =
            print(letter("{\\pict\\emfblip\\picwgoal1440\\pichgoal1440\\picscalex150\\picscaley50 " +
                         rtfEmf().toHex() + "}"));
        QCOMPARE(inlined.t->pictures.size(), size_t(1));
        QVERIFY(inlined.t->pictures.front().enhanced);
        const QRect r = extentOf(sheet(inlined), kLeaf);
        QVERIFY(qAbs(r.width() - sheetPx(2160)) <= 2 && qAbs(r.height() - sheetPx(720)) <= 2);

        const Printed floating = print(
            letter("{\\shp{\\*\\shpinst\\shpleft2880\\shptop720\\shpright4320\\shpbottom2160\\shpbxmargin"
                   "\\shpbymargin\\shpwr3{\\sp{\\sn pib}{\\sv {\\pict\\emfblip\\picwgoal1440\\pichgoal1440 " +
                   rtfEmf().toHex() + "}}}}}Text"));
        QCOMPARE(floating.copy.pictures.size(), size_t(1));
        // Drawn once for the whole merge: every letter shows the same image.
        Merger merger(floating.t, DataSource::parse("\"Name\"\r\n\"A\"\r\n\"B\"\r\n", "data.txt"));
        const PageCopy first = merger.next(), second = merger.next();
        QCOMPARE(first.pictures.front().image.cacheKey(), second.pictures.front().image.cacheKey());
        const QRect f = extentOf(sheet(floating), kLeaf);
        QVERIFY2(
            qAbs(f.left() - sheetPx(1440 + 2880)) <= 2 && qAbs(f.top() - sheetPx(1440 + 720)) <= 2 &&
                qAbs(f.width() - sheetPx(1440)) <= 2 && qAbs(f.height() - sheetPx(1440)) <= 2,
            qPrintable(QStringLiteral("%1,%2 %3x%4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height())));
    }

    // A letterhead or form drawn as a metafile keeps its words as words: a PDF printed from the letter
    // holds them, where they stand in the picture and at the size the metafile gives them.
    void metafileWordsPrintAsText() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
        Wmf w;
        w.window(0, 0, 2000, 1000);
        w.nullPen();
        w.brush(kBrick);
        w.rectangle(0, 0, 1000, 1000);
        // A font 250 units tall (a quarter of the picture's height), Arial, then its text in blue.
        QList<int> font{-250, 0, 0, 0, 400, 0, 0, 0, 0};
        const QByteArray face = QByteArray("Arial").leftJustified(32, '\0');
        for (int i = 0; i < 32; i += 2)
            font << (uchar(face.at(i)) | uchar(face.at(i + 1)) << 8);
        w.record(0x02FB, font);
        w.record(0x012D, {2});
        w.record(0x0209, Wmf::color(kSea));
        w.record(0x012E, {0}); // SETTEXTALIGN: top left
        w.record(0x0A32, {600, 1100, 9, 0, 'Q' | 'U' << 8, 'I' | 'L' << 8, 'L' | 'W' << 8, 'O' | 'R' << 8,
                          'D'}); // EXTTEXTOUT
        const Printed p =
            print(letter("{\\pict\\wmetafile8\\picw5080\\pich2540\\picwgoal2880\\pichgoal1440 " +
                         w.bytes().toHex() + "}"));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("letter.pdf"));
        {
            QPdfWriter pdf(path);
            pdf.setPageSize(QPageSize(QPageSize::Letter));
            pdf.setPageMargins(QMarginsF());
            pdf.setResolution(600);
            QPainter painter(&pdf);
            painter.scale(600 / kLayoutDpi, 600 / kLayoutDpi);
            paintSheet(painter, p.copy, 0, p.t->page);
        }
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(60000) && text.exitCode() == 0);
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        const QRegularExpression word(QStringLiteral(
            "xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">QUILLWORD<"));
        const QRegularExpressionMatch m = word.match(out);
        QVERIFY2(m.hasMatch(), qPrintable(out));
        // The picture stands two inches by one at the margin: the word starts 0.55 of its width in and
        // 0.6 of its height down, and its letters are about a quarter of an inch (18 pt) tall.
        const double left = m.captured(1).toDouble(), top = m.captured(2).toDouble();
        const double height = m.captured(4).toDouble() - top;
        QVERIFY2(qAbs(left - (72 + 0.55 * 144)) < 4, qPrintable(m.captured(0)));
        QVERIFY2(top > 72 + 0.6 * 72 - 4 && top < 72 + 0.6 * 72 + 8, qPrintable(m.captured(0)));
        QVERIFY2(height > 12 && height < 26, qPrintable(m.captured(0)));
        // Not a second time in the picture's pixels: they hold no blue.
        QCOMPARE(extentOf(renderMetafile(w.bytes(), false, QSize(200, 100)), kSea), QRect());
    }

    // Word's two copies of one picture: the \shppict one serves and its \nonshppict metafile is left
    // out; a document with only the metafile copy prints that.
    void pictureCopies() {
        const QByteArray png = pngOf(kLeaf, QSize(8, 8));
        const Template both =
            readRtf(letter("{\\*\\shppict{\\pict\\pngblip\\picwgoal720\\pichgoal720 " + png.toHex() +
                           "}}{\\nonshppict{\\pict\\wmetafile8\\picwgoal720"
                           "\\pichgoal720 " +
                           rtfWmf().toHex() + "}}"),
                    QStringLiteral("both.rtf"));
        QCOMPARE(both.pictures.size(), size_t(1));
        QVERIFY(!both.pictures.front().image.isNull());

        const Printed alone = print(
            letter("{\\nonshppict{\\pict\\wmetafile8\\picwgoal1440\\pichgoal720 " + rtfWmf().toHex() + "}}"));
        QCOMPARE(alone.t->pictures.size(), size_t(1));
        const QRect r = extentOf(sheet(alone), kBrick);
        QVERIFY(qAbs(r.width() - sheetPx(1440)) <= 2 && qAbs(r.height() - sheetPx(720)) <= 2);

        // An embedded object prints the picture stored as its result, and nothing of its data.
        const Template object = readRtf(
            letter(
                "{\\object\\objemb\\objw720\\objh720{\\*\\objclass Paint}{\\*\\objdata 0102}\\objscalex100 "
                "{\\result {\\pict\\wmetafile8\\picwgoal720\\pichgoal720 " +
                rtfWmf().toHex() + "}}}"),
            QStringLiteral("object.rtf"));
        QCOMPARE(object.pictures.size(), size_t(1));
        const auto& runs = std::get<Paragraph>(object.body.blocks.front()).runs;
        QVERIFY(std::none_of(runs.begin(), runs.end(), [](const Run& r) { return r.kind == Run::Text; }));
    }
};

QTEST_MAIN(TestMetafile)
#include "tst_metafile.moc"
