#include "Sheets.h"
#include "wordproc/Metafile.h"
#include "wordproc/RtfReader.h"

#include <QtTest>

using namespace wordproc;
using namespace sheets;

namespace {

void putBig(QByteArray& b, int v) {
    b.append(char(v >> 8 & 0xff)).append(char(v & 0xff));
}

// A QuickDraw picture written opcode by opcode: version 2 (two-byte opcodes on even offsets) behind an
// extended header giving the drawing's resolution, or version 1 (one-byte opcodes).
class Pict {
public:
    // `box` in the drawing's own units, `perInch` of them to the inch.
    explicit Pict(QRect box, int perInch = 72, bool version1 = false) : m_v1(version1) {
        putBig(m_bytes, 0);
        rect(m_bytes, box);
        if (version1) {
            m_bytes += QByteArray::fromHex("1101");
            return;
        }
        m_bytes += QByteArray::fromHex("001102ff0c00fffe0000");
        for (int i = 0; i < 2; ++i)
            putBig(m_bytes, perInch), putBig(m_bytes, 0);
        rect(m_bytes, box);
        m_bytes += QByteArray(4, '\0');
    }
    static void rect(QByteArray& b, QRect r) {
        for (int v : {r.top(), r.left(), r.top() + r.height(), r.left() + r.width()})
            putBig(b, v);
    }
    static QByteArray point(QPoint p) {
        QByteArray b;
        putBig(b, p.y());
        putBig(b, p.x());
        return b;
    }
    void op(int code, const QByteArray& data = {}) {
        if (m_v1) {
            m_bytes.append(char(code));
        } else {
            if (m_bytes.size() % 2)
                m_bytes.append('\0');
            putBig(m_bytes, code);
        }
        m_bytes += data;
    }
    void fore(QColor c) {
        QByteArray d;
        for (int v : {c.red(), c.green(), c.blue()})
            putBig(d, v << 8 | v);
        op(0x1A, d);
    }
    void penSize(int w, int h) { op(0x07, point(QPoint(w, h))); }
    void line(QPoint from, QPoint to) { op(0x20, point(from) + point(to)); }
    void shape(int code, QRect r) {
        QByteArray d;
        rect(d, r);
        op(code, d);
    }
    void fontName(int id, const QByteArray& name) {
        QByteArray d;
        putBig(d, 3 + name.size());
        putBig(d, id);
        d.append(char(name.size())).append(name);
        op(0x2C, d);
    }
    void font(int id, int size, int face) {
        QByteArray d;
        putBig(d, id);
        op(0x03, d);
        d.clear();
        putBig(d, size);
        op(0x0D, d);
        op(0x04, QByteArray(1, char(face)));
    }
    void longText(QPoint at, const QByteArray& s) { op(0x28, point(at) + char(s.size()) + s); }
    void dhText(int dh, const QByteArray& s) { op(0x29, QByteArray(1, char(dh)) + char(s.size()) + s); }
    QByteArray bytes() {
        op(0xFF);
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    bool m_v1;
};

const QColor kBrick(200, 30, 40);
const QColor kSea(20, 60, 200);

bool near(QRect a, QRect b) {
    return qAbs(a.left() - b.left()) <= 1 && qAbs(a.top() - b.top()) <= 1 &&
           qAbs(a.right() - b.right()) <= 1 && qAbs(a.bottom() - b.bottom()) <= 1;
}

// A brick rectangle filling a picture of 2 by 1 inches at 144 units to the inch.
QByteArray brickPict() {
    Pict p(QRect(0, 0, 288, 144), 144);
    p.fore(kBrick);
    p.shape(0x31, QRect(0, 0, 288, 144));
    return p.bytes();
}

} // namespace

class TestQuickDraw : public QObject {
    Q_OBJECT

private slots:
    // The picture's coordinates fill the image; a painted rectangle and a line lie where they say, the
    // line as wide as the pen, which hangs right of and below the points it goes through; a framed
    // oval is a ring; what follows opcodes of any length is still drawn.
    void shapes() {
        Pict p(QRect(0, 0, 200, 100), 144);
        p.fore(kBrick);
        p.shape(0x31, QRect(20, 10, 40, 20));                // paintRect
        p.op(0xA1, QByteArray::fromHex("0064000401020304")); // a long comment
        p.op(0x8200, QByteArray::fromHex("00000002abcd"));   // a reserved opcode with a 4-byte length
        p.fore(kSea);
        p.penSize(4, 4);
        p.line(QPoint(100, 50), QPoint(150, 50));
        p.shape(0x50, QRect(120, 0, 60, 40)); // frameOval
        const QImage image = renderQuickDraw(p.bytes(), QSize(400, 200));
        QCOMPARE(image.size(), QSize(400, 200));
        QVERIFY2(near(extentOf(image, kBrick), QRect(40, 20, 80, 40)),
                 qPrintable(QDebug::toString(extentOf(image, kBrick))));
        const QRect sea = extentOf(image, kSea);
        QVERIFY2(near(sea, QRect(200, 0, 160, 108)), qPrintable(QDebug::toString(sea)));
        QCOMPARE(image.pixelColor(210, 104), kSea);     // the line
        QCOMPARE(image.pixelColor(300, 40).alpha(), 0); // the oval's middle
        QCOMPARE(image.pixelColor(300, 2), kSea);       // its top edge
        QCOMPARE(image.pixelColor(10, 150).alpha(), 0); // nothing elsewhere

        // Version 1: one-byte opcodes; the default pattern paints in black.
        Pict old(QRect(0, 0, 100, 100), 72, true);
        old.shape(0x31, QRect(50, 50, 50, 50));
        const QImage oldImage = renderQuickDraw(old.bytes(), QSize(100, 100));
        QVERIFY(near(extentOf(oldImage, Qt::black), QRect(50, 50, 50, 50)));

        // A picture as a file: 512 bytes in front.
        QCOMPARE(extentOf(renderQuickDraw(QByteArray(512, '\0') + brickPict(), QSize(20, 10)), kBrick),
                 QRect(0, 0, 20, 10));
        QCOMPARE(quickDrawSizeTwips(brickPict()), QSize(2880, 1440));
        QVERIFY(renderQuickDraw(QByteArray::fromHex("0102030405"), QSize(20, 10)).pixelColor(5, 5).alpha() ==
                0);
    }

    // Text stands on its baseline at the point given, the next piece moved along from there; a symbol
    // font's bytes are the symbols they stand for; the face's numbers name fonts, the picture's own
    // names first; its size is in the picture's units.
    void text() {
        Pict p(QRect(0, 0, 200, 100), 144);
        p.fontName(300, "Symbol");
        p.font(300, 24, 0);
        p.longText(QPoint(20, 40), "Ga");
        p.font(22, 48, 2 | 1);
        p.dhText(30, "x");
        const QImage image = renderQuickDraw(p.bytes(), QSize(400, 200));
        const std::vector<MetafileText> texts = metafileText(image);
        QCOMPARE(texts.size(), size_t(2));
        const MetafileText& symbols = texts[0];
        QCOMPARE(symbols.pieces.size(), size_t(1));
        QCOMPARE(symbols.pieces[0].text, QString::fromUtf16(u"\u0393\u03B1"));
        QVERIFY(symbols.place.map(symbols.pieces[0].at) == QPointF(40, 80));
        QCOMPARE(symbols.pixels, 48.0);
        const MetafileText& latin = texts[1];
        QCOMPARE(latin.pieces[0].text, QStringLiteral("x"));
        QVERIFY(latin.place.map(latin.pieces[0].at) == QPointF(100, 80));
        QCOMPARE(latin.pixels, 96.0);
        QVERIFY(latin.font.italic() && latin.font.bold());
        QCOMPARE(latin.font.family(), QStringLiteral("Courier"));
    }

    // Mac Word's equations: a \macpict picture, at its goal size, else its \picw and \pich in points,
    // else the size it gives itself; printed where it stands.
    void rtfPictures() {
        const QByteArray hex = brickPict().toHex();
        const Template goal =
            readRtf(letter("{\\pict\\macpict\\picw10\\pich10\\picwgoal720\\pichgoal360 " + hex + "}"),
                    QStringLiteral("goal.rtf"));
        QCOMPARE(goal.pictures.size(), size_t(1));
        QVERIFY(goal.pictures[0].quickDraw && goal.pictures[0].image.isNull());
        QCOMPARE(QSize(goal.pictures[0].widthTwips, goal.pictures[0].heightTwips), QSize(720, 360));
        const Template points =
            readRtf(letter("{\\pict\\macpict\\picw36\\pich18 " + hex + "}"), QStringLiteral("points.rtf"));
        QCOMPARE(QSize(points.pictures[0].widthTwips, points.pictures[0].heightTwips), QSize(720, 360));
        const Template own = readRtf(letter("{\\pict\\macpict " + hex + "}"), QStringLiteral("own.rtf"));
        QCOMPARE(QSize(own.pictures[0].widthTwips, own.pictures[0].heightTwips), QSize(2880, 1440));

        const Printed printed = print(letter("{\\pict\\macpict\\picwgoal1440\\pichgoal720 " + hex + "}"));
        const QRect r = extentOf(sheet(printed), kBrick);
        QVERIFY2(qAbs(r.left() - int(kDpi)) <= 2 && qAbs(r.width() - int(kDpi)) <= 2 &&
                     qAbs(r.height() - int(kDpi / 2)) <= 2,
                 qPrintable(QDebug::toString(r)));
    }

    // An embedded object prints its result and, as LibreOffice prints it, the text written in the
    // object itself; its data, class and name print nothing.
    void objectText() {
        const Template t =
            readRtf(letter("Before {\\object\\objemb\\objw180\\objh279 stray{\\*\\objclass Paint}"
                           "{\\*\\objdata 0102}{\\objname Name}{\\result Result}} after."),
                    QStringLiteral("object.rtf"));
        QString text;
        for (const Run& r : std::get<Paragraph>(t.body.blocks.front()).runs)
            text += r.text;
        QCOMPARE(text, QStringLiteral("Before strayResult after."));
    }
};

QTEST_MAIN(TestQuickDraw)
#include "tst_quickdraw.moc"
