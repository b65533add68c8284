#include "DocxSamples.h"
#include "Rendering.h"
#include "platform/Fonts.h"
#include "wordproc/DocxReader.h"

#include <QRawFont>
#include <QtTest>
#include <cmath>

using namespace wordproc;
using namespace rendering;

namespace {

int u16(const QByteArray& t, int at) {
    return int(quint8(t[at])) << 8 | int(quint8(t[at + 1]));
}

int s16(const QByteArray& t, int at) {
    return int(qint16(quint16(u16(t, at))));
}

int half(double x) {
    return int(std::floor(x + 0.5));
}

// A single line of `family` at `twips` as LibreOffice sets it, from the face's own tables: its Windows
// ascent and descent in sixths of a twip, their sum and the header's further gap each in whole twips.
int singleTwips(const QString& family, int twips) {
    const QRawFont raw = QRawFont::fromFont(QFont(family, 12));
    const QByteArray hhea = raw.fontTable("hhea"), os2 = raw.fontTable("OS/2");
    if (hhea.size() < 10 || os2.size() < 78)
        return -1;
    const double em = raw.unitsPerEm();
    const int ascent = u16(os2, 74), descent = u16(os2, 76);
    const int gap = s16(hhea, 4) - s16(hhea, 6) + s16(hhea, 8) - ascent - descent;
    const int sixths = half(ascent * twips * 6 / em) + half(descent * twips * 6 / em);
    return half(sixths / 6.0) + half(half(gap * twips * 6 / em) / 6.0);
}

// The mean distance between the baselines of the paragraphs Row01..RowNN, in twips.
double pitchTwips(const Shown& s, int lines) {
    const auto drawn = record(s, 0);
    const double first = baselineOf(*drawn, QStringLiteral("Row01"));
    const double last = baselineOf(*drawn, QStringLiteral("Row%1").arg(lines, 2, 10, QLatin1Char('0')));
    if (first < 0 || last < 0)
        return -1;
    return (last - first) / (lines - 1) * 1440 / kLayoutDpi;
}

} // namespace

class TestLinePitch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::useMetricCompatibleFonts(); }

    // Lines stand whole twips apart, as LibreOffice sets them, not at their faces' exact heights:
    // 10-point Liberation Serif is 231 twips (exactly 229.98), and 30 lines of it end 30 twips lower
    // than exact heights would set them. Spaced lines (`line` twips a line, 240 single) are the whole
    // twips below `percent` times the single line, spaced in whole percent: an RTF letter's cut down
    // from the twips, a Word document's from hundredths of a millimetre, so that Word's 1.08 lines
    // (259) are 107% in the one and 108% in the other. A line with a word of a second face (`word`,
    // 13-point Liberation Sans) is as tall as the taller face's line.
    void wholeTwips_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("halfPoints");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("percent");
        QTest::addColumn<bool>("word");
        QTest::addColumn<bool>("docx");
        QTest::newRow("Liberation Serif 10") << "Liberation Serif" << 20 << 240 << 100 << false << false;
        QTest::newRow("Liberation Sans 13") << "Liberation Sans" << 26 << 240 << 100 << false << false;
        QTest::newRow("Liberation Sans 8.5") << "Liberation Sans" << 17 << 240 << 100 << false << false;
        QTest::newRow("DejaVu Sans 10.5") << "DejaVu Sans" << 21 << 240 << 100 << false << false;
        QTest::newRow("Carlito 11.5") << "Carlito" << 23 << 240 << 100 << false << false;
        QTest::newRow("Liberation Serif 12 at 1.15")
            << "Liberation Serif" << 24 << 276 << 115 << false << false;
        QTest::newRow("Carlito 11 at 1.5") << "Carlito" << 22 << 360 << 150 << false << false;
        QTest::newRow("Liberation Serif 10 with Sans 13")
            << "Liberation Serif" << 20 << 240 << 100 << true << false;
        QTest::newRow("DejaVu Sans 12 at 278") << "DejaVu Sans" << 24 << 278 << 115 << false << false;
        QTest::newRow("DejaVu Sans 12 at 259") << "DejaVu Sans" << 24 << 259 << 107 << false << false;
        QTest::newRow("Word: DejaVu Sans 12 at 278") << "DejaVu Sans" << 24 << 278 << 115 << false << true;
        QTest::newRow("Word: DejaVu Sans 12 at 259") << "DejaVu Sans" << 24 << 259 << 108 << false << true;
        QTest::newRow("Word: Liberation Serif 12 at 247")
            << "Liberation Serif" << 24 << 247 << 103 << false << true;
    }

    void wholeTwips() {
        QFETCH(QString, family);
        QFETCH(int, halfPoints);
        QFETCH(int, line);
        QFETCH(int, percent);
        QFETCH(bool, word);
        QFETCH(bool, docx);
        int single = singleTwips(family, halfPoints * 10);
        if (word)
            single = qMax(single, singleTwips(QStringLiteral("Liberation Sans"), 260));
        QVERIFY(single > 0);
        const int expected = single * percent / 100;
        const int lines = 30;
        QByteArray body;
        const QByteArray row = " of the quick ", size = QByteArray::number(halfPoints);
        for (int i = 1; i <= lines; ++i) {
            const QByteArray name = "Row" + QByteArray::number(i).rightJustified(2, '0');
            if (docx)
                body += docxsamples::paragraph(
                    docxsamples::run(name + row + "brown fox", "<w:rFonts w:ascii=\"" + family.toLatin1() +
                                                                   "\" w:hAnsi=\"" + family.toLatin1() +
                                                                   "\"/><w:sz w:val=\"" + size + "\"/>"),
                    "<w:spacing w:after=\"0\" w:line=\"" + QByteArray::number(line) +
                        "\" w:lineRule=\"auto\"/>");
            else
                body += "\\pard\\fs" + size +
                        (line == 240 ? QByteArray() : "\\sl" + QByteArray::number(line) + "\\slmult1") + " " +
                        name + row + (word ? "{\\f1\\fs26 brown}" : "brown") + " fox\\par ";
        }
        Shown s;
        if (docx) {
            using namespace docxsamples;
            s.t = std::make_shared<const Template>(
                readDocx(zipParts(package(document(body))), QStringLiteral("spaced.docx")));
            s.copy = Merger(s.t, nullptr).next();
        } else {
            s = showWord(body, "\\fswiss " + family.toLatin1() + ";}{\\f1\\fswiss Liberation Sans");
        }
        QCOMPARE(s.copy.pageCount(), 1);
        const double pitch = pitchTwips(s, lines);
        QVERIFY2(qAbs(pitch - expected) < 0.05,
                 qPrintable(QStringLiteral("%1, not %2").arg(pitch).arg(expected)));
    }

    // A Word 95 list's bullet written out in the Symbol font (\\pntext), where no list table numbers
    // the paragraphs, prints in LibreOffice's symbol face as LibreOffice prints it: the lines stay as
    // tall as the text's, where the Symbol face's deeper descent would make them taller.
    void bulletInSymbolFontKeepsThePitch() {
        const int lines = 30;
        QByteArray body;
        for (int i = 1; i <= lines; ++i)
            body +=
                "{\\pntext\\pard\\plain\\f3 \\'b7\\tab}\\pard\\fi-360\\li360\\tx360{\\*\\pn \\pnlvlblt\\pnf3"
                "\\pnindent360\\pnhang{\\pntxtb \\'b7}}\\fs24 Row" +
                QByteArray::number(i).rightJustified(2, '0') + " of the list\\par ";
        const Shown s = showWord(body, "\\froman Liberation Serif;}{\\f3\\froman\\fcharset2 Symbol");
        QCOMPARE(s.copy.pageCount(), 1);
        const int single = singleTwips(QStringLiteral("Liberation Serif"), 240);
        QVERIFY(single > 0);
        const double pitch = pitchTwips(s, lines);
        QVERIFY2(qAbs(pitch - single) < 0.05,
                 qPrintable(QStringLiteral("%1, not %2").arg(pitch).arg(single)));
    }
};

QTEST_MAIN(TestLinePitch)
#include "tst_linepitch.moc"
