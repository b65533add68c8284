#include "DocxSamples.h"
#include "Rendering.h"
#include "platform/Fonts.h"
#include "wordproc/DocxReader.h"

#include <QRawFont>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <map>

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

// A Word 2007+ letter of `body` in 8-point Liberation Serif, with the styles and settings given.
Shown showDocx(const QByteArray& body, const QByteArray& pPr = {}, const QByteArray& styles = {},
               const QByteArray& settings = {}, const QByteArray& sectPr = docxsamples::section(),
               const std::vector<docxsamples::Related>& more = {}) {
    using namespace docxsamples;
    std::vector<Related> parts{
        {"styles", "styles.xml",
         "<w:styles " + kW +
             "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" "
             "w:hAnsi=\"Liberation "
             "Serif\"/><w:sz w:val=\"16\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr>" +
             pPr + "</w:pPr></w:pPrDefault></w:docDefaults>" + styles + "</w:styles>"}};
    if (!settings.isEmpty())
        parts.push_back({"settings", "settings.xml", "<w:settings " + kW + ">" + settings + "</w:settings>"});
    parts.insert(parts.end(), more.begin(), more.end());
    Shown s;
    s.t = std::make_shared<const Template>(
        readDocx(zipParts(package(docxsamples::document(body, sectPr), parts)), QStringLiteral("b.docx")));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
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

    // Lines of at least a height, a list's number in a face taller than its paragraph's text (Carlito 10
    // beside DejaVu Sans 10): in LibreOffice every line but the number's is as tall as the text's face
    // sets it or the height asked, whichever is more; none comes out shorter.
    void tallerNumberFaceSetsOnlyItsLine_data() {
        QTest::addColumn<QByteArray>("spacing");
        QTest::addColumn<int>("least");
        QTest::newRow("at least 12 points") << QByteArray("w:line=\"240\" w:lineRule=\"atLeast\"") << 240;
        QTest::newRow("at least 1 point") << QByteArray("w:line=\"20\" w:lineRule=\"atLeast\"") << 20;
    }

    void tallerNumberFaceSetsOnlyItsLine() {
        QFETCH(QByteArray, spacing);
        QFETCH(int, least);
        using namespace docxsamples;
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt "
            "w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/><w:pPr><w:ind w:left=\"1134\" "
            "w:hanging=\"851\"/></w:pPr><w:rPr><w:rFonts w:ascii=\"Carlito\" "
            "w:hAnsi=\"Carlito\"/><w:sz w:val=\"20\"/></w:rPr></w:lvl></w:abstractNum><w:num "
            "w:numId=\"1\"><w:abstractNumId "
            "w:val=\"0\"/></w:num></w:numbering>";
        QByteArray words;
        for (int i = 1; i <= 60; ++i)
            words += "W" + QByteArray::number(i).rightJustified(2, '0') + " lorem ";
        const QByteArray body = paragraph(
            run(words, "<w:rFonts w:ascii=\"DejaVu Sans\" w:hAnsi=\"DejaVu Sans\"/><w:sz w:val=\"20\"/>"),
            "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr><w:spacing w:after=\"0\" " +
                spacing + "/>");
        const Shown s = showDocx(body, {}, {}, {}, section(), {{"numbering", "numbering.xml", numbering}});
        QCOMPARE(s.copy.pageCount(), 1);
        // The baselines of the paragraph's lines, top down.
        const auto drawn = record(s, 0);
        std::vector<double> baselines;
        for (const auto& t : drawn->texts)
            if (std::none_of(baselines.begin(), baselines.end(),
                             [&](double y) { return qAbs(y - t.baseline.y()) < 0.5; }))
                baselines.push_back(t.baseline.y());
        std::sort(baselines.begin(), baselines.end());
        QVERIFY2(baselines.size() >= 5, qPrintable(QString::number(baselines.size())));
        const int text = qMax(least, singleTwips(QStringLiteral("DejaVu Sans"), 200));
        for (size_t i = 2; i < baselines.size(); ++i) {
            const double pitch = (baselines[i] - baselines[i - 1]) * 1440 / kLayoutDpi;
            QVERIFY2(qAbs(pitch - text) < 1.5,
                     qPrintable(QStringLiteral("line %1: %2, not %3").arg(i + 1).arg(pitch).arg(text)));
        }
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

    // A bullet in LibreOffice's symbol face, larger than its paragraph's text, makes the line as deep as
    // its descent but adds no line gap, as a symbol font does in LibreOffice: 9-point text with an
    // 11-point bullet stands 10.8 points apart, not at the bullet's own 11.65.
    void largerSymbolBulletAddsNoGap() {
        const int lines = 20;
        QByteArray body;
        for (int i = 1; i <= lines; ++i)
            body += "\\pard{\\f1\\fs22 \\u8226?}\\fs18 Row" + QByteArray::number(i).rightJustified(2, '0') +
                    "\\par ";
        const Shown s = showWord(body, "\\fswiss Liberation Sans;}{\\f1\\fnil OpenSymbol");
        QCOMPARE(s.copy.pageCount(), 1);
        const QRawFont sans = QRawFont::fromFont(QFont(QStringLiteral("Liberation Sans"), 12));
        const QRawFont symbol = QRawFont::fromFont(QFont(QStringLiteral("OpenSymbol"), 12));
        const QByteArray sansHead = sans.fontTable("hhea"), symbolHead = symbol.fontTable("hhea");
        QVERIFY(sansHead.size() >= 10 && symbolHead.size() >= 10);
        const double top = (s16(sansHead, 4) + s16(sansHead, 8)) * 180.0 / sans.unitsPerEm();
        const double below = -s16(symbolHead, 6) * 220.0 / symbol.unitsPerEm();
        const double pitch = pitchTwips(s, lines);
        QVERIFY2(qAbs(pitch - (top + below)) < 2,
                 qPrintable(QStringLiteral("%1, not %2").arg(pitch).arg(top + below)));
    }

    // Characters a face lacks, which another face lends, make no line taller, as LibreOffice sets
    // them: Japanese text is set as tall as the Asian font, for which the system's sans-serif face
    // stands where none of Word's is at hand (not as Droid Sans Fallback's taller lines), beside the
    // Latin text's own face; check marks keep the line of the Liberation Serif they are set in.
    void lentCharactersKeepThePitch() {
        const int lines = 20;
        const auto rows = [&](const QByteArray& text) {
            QByteArray body;
            for (int i = 1; i <= lines; ++i)
                body +=
                    "\\pard\\fs36 Row" + QByteArray::number(i).rightJustified(2, '0') + " " + text + "\\par ";
            return body;
        };
        const auto pitchOf = [&](const QByteArray& text, const QByteArray& face) {
            const Shown s = showWord(rows(text), face);
            return s.copy.pageCount() == 1 ? pitchTwips(s, lines) : -1.0;
        };
        const QByteArray japanese =
            "\\u12371?\\u12398?\\u36890?\\u30693?\\u12434?\\u27531?\\u12377?\\u12290?";
        // Of a face none has (which DejaVu Sans stands for) alone: DejaVu Sans's single line.
        const int sans = singleTwips(QStringLiteral("DejaVu Sans"), 360);
        QVERIFY(sans > 0);
        const double unknown = pitchOf(japanese + japanese, "\\fnil\\fcharset128 HiraKakuPro-W3");
        QVERIFY2(qAbs(unknown - sans) < 0.05,
                 qPrintable(QStringLiteral("%1, not %2").arg(unknown).arg(sans)));
        // Beside Liberation Sans: as a line of Liberation Sans and DejaVu Sans (423 twips in LibreOffice).
        const double liberation = pitchOf(japanese + japanese, "\\fswiss Liberation Sans");
        const double both =
            pitchOf("{\\f1 DejaVu text}", "\\fswiss Liberation Sans;}{\\f1\\fswiss DejaVu Sans");
        QVERIFY(both > sans);
        QVERIFY2(qAbs(liberation - both) < 0.05,
                 qPrintable(QStringLiteral("%1, not %2").arg(liberation).arg(both)));
        const int serif = singleTwips(QStringLiteral("Liberation Serif"), 360);
        const double marks = pitchOf("\\u10003?\\u10003?\\u10007?", "\\froman Liberation Serif");
        QVERIFY2(qAbs(marks - serif) < 0.05, qPrintable(QStringLiteral("%1, not %2").arg(marks).arg(serif)));
    }

    // LibreOffice keeps a word with a slash in it whole (a web address too), or with a full stop or colon
    // between a letter and a digit, where Qt would break the line after the slash or stop: the word goes
    // whole on to the next line. What keeps it whole makes no line taller.
    void slashedWordsStayWhole() {
        QByteArray body;
        for (const QByteArray word : {"ABCDEFGHQ/2016", "ABCDEFGHQ/IJKLMN", "123456789/ABCDEF",
                                      "ABCDEFGHQ.2016", "http://www.ABCD", "/ABCDEFGHQ", "ABCDE/(FGHQ)"})
            for (int i = 1; i <= 14; ++i)
                body += "\\pard\\fs24 Lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod "
                        "tempor " +
                        QByteArray(i, 'm') + " " + word + " end.\\par ";
        const Shown s = showWord(body, "\\froman Liberation Serif");
        int wrapped = 0;
        for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
            const QTextLayout* lines = b.layout();
            for (int i = 0; i + 1 < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                const QString text = b.text().mid(line.textStart(), line.textLength()).trimmed();
                QVERIFY2(!text.endsWith(QLatin1Char('/')) && !text.endsWith(QLatin1Char('.')),
                         qPrintable(text));
                wrapped += text.endsWith(QLatin1Char('m'));
            }
        }
        QVERIFY(wrapped > 4);
        // A paragraph of such words over several lines, few of its characters joined.
        const Shown many =
            showWord("\\pard\\fs24 " + QByteArray("The DSB/2016 ruling and S.2016 were read. ").repeated(20) +
                         "\\par ",
                     "\\froman Liberation Serif");
        const QTextLayout* lines = many.copy.body->begin().layout();
        QVERIFY(lines->lineCount() > 5);
        const double pitch = (lines->lineAt(lines->lineCount() - 1).y() - lines->lineAt(0).y()) /
                             (lines->lineCount() - 1) * 1440 / kLayoutDpi;
        const int single = singleTwips(QStringLiteral("Liberation Serif"), 240);
        QVERIFY2(qAbs(pitch - single) < 0.05,
                 qPrintable(QStringLiteral("%1, not %2").arg(pitch).arg(single)));
    }

    // LibreOffice breaks a line after a hyphen between a letter or digit and a digit ("2227269-1/14E"),
    // where Qt would move the word whole to the next line; the break makes no line taller.
    void hyphenBeforeDigitsBreaks() {
        QByteArray body;
        for (const QByteArray word : {"W2227269-1114E", "ABCDEFGHQ-2016", "ABCDEFGHQ-ABCD"})
            for (int i = 1; i <= 20; ++i)
                body += "\\pard\\fs24 Lorem ipsum dolor sit amet consectetur adipiscing elit " +
                        QByteArray(i, 'm') + " " + word + " end.\\par ";
        const Shown s = showWord(body, "\\froman Liberation Serif");
        // The lines that end at a hyphen, by the digits after it.
        std::map<QString, int> hyphens;
        for (QTextBlock b = s.copy.body->begin(); b.isValid(); b = b.next()) {
            const QTextLayout* lines = b.layout();
            for (int i = 0; i + 1 < lines->lineCount(); ++i) {
                const QTextLine line = lines->lineAt(i);
                const QString text = b.text().mid(line.textStart(), line.textLength()).remove(QChar(0x200B));
                if (text.trimmed().endsWith(QLatin1Char('-')))
                    ++hyphens[QString(b.text()).remove(QChar(0x200B)).section(QLatin1Char('-'), 1).left(4)];
            }
        }
        for (const char* after : {"1114", "2016", "ABCD"})
            QVERIFY2(hyphens[QLatin1String(after)] > 0, after);
        // The paragraphs on the first page.
        int first = 0;
        for (QTextBlock b = s.copy.body->begin(); b.isValid() && first < 15; b = b.next(), ++first) {
            const QTextLayout* lines = b.layout();
            if (lines->lineCount() < 2)
                continue;
            const double pitch = (lines->lineAt(1).y() - lines->lineAt(0).y()) * 1440 / kLayoutDpi;
            QVERIFY2(qAbs(pitch - singleTwips(QStringLiteral("Liberation Serif"), 240)) < 0.05,
                     qPrintable(QString::number(pitch)));
        }
    }

    // In a Word 2007+ file, blanks in a taller font make no line taller, as LibreOffice sets them: a
    // line of 8-point text with 24-point spaces or a tab in it is an 8-point line, the spaces as wide as
    // 24-point ones. A paragraph of nothing but spaces is as tall as its style's font, whatever theirs.
    void blanksMakeNoLineTaller() {
        using namespace docxsamples;
        const QByteArray big = "<w:sz w:val=\"48\"/>";
        const QByteArray small = "<w:sz w:val=\"16\"/>";
        const QByteArray body =
            paragraph(run("Row01")) + paragraph(run("Row02") + run("    ", big) + run("after")) +
            paragraph(run("    ", big)) +
            paragraph(run("Row04") + "<w:r><w:rPr>" + big + "</w:rPr><w:tab/></w:r>" + run("x")) +
            paragraph(run("Row05")) + paragraph(run("   ", small), "<w:pStyle w:val=\"Big\"/>") +
            paragraph(run("Row07"));
        const Shown s = showDocx(
            body, {}, "<w:style w:type=\"paragraph\" w:styleId=\"Big\"><w:rPr>" + big + "</w:rPr></w:style>");
        const auto drawn = record(s, 0);
        const auto at = [&](int row) {
            return baselineOf(*drawn, QStringLiteral("Row%1").arg(row, 2, 10, QLatin1Char('0')));
        };
        const double single = singleTwips(QStringLiteral("Liberation Serif"), 160) * kLayoutDpi / 1440;
        const double tall = singleTwips(QStringLiteral("Liberation Serif"), 480) * kLayoutDpi / 1440;
        QVERIFY(single > 0 && at(1) > 0);
        QVERIFY2(qAbs(at(5) - at(1) - 4 * single) < 1, qPrintable(QString::number((at(5) - at(1)) / single)));
        QVERIFY2(qAbs(at(7) - at(5) - single - tall) < 1, qPrintable(QString::number(at(7) - at(5))));
        const QTextBlock row = blockStarting(*s.copy.body, QStringLiteral("Row02"));
        const QTextLine line = row.layout()->lineAt(0);
        const QFontMetricsF bigSpace(QFont(QStringLiteral("Liberation Serif"), 24), layoutDevice());
        QCOMPARE(row.layout()->lineCount(), 1);
        QVERIFY(qAbs(line.cursorToX(9) - line.cursorToX(5) - bigSpace.horizontalAdvance("    ")) < 1);
    }

    // Spacing that names its rule but gives no height sets single lines, as LibreOffice reads it: the
    // double spacing of the defaults goes for auto and at-least rules, and stays where only the space
    // above is given.
    void ruleWithoutHeightSetsSingleLines() {
        using namespace docxsamples;
        const auto spaced = [](const QByteArray& row, const QByteArray& spacing) {
            return paragraph(run(row), "<w:spacing " + spacing + "/>");
        };
        const Shown s =
            showDocx(spaced("Row01", "w:lineRule=\"auto\"") + spaced("Row02", "w:lineRule=\"atLeast\"") +
                         spaced("Row03", "w:before=\"0\"") + paragraph(run("Row04")),
                     "<w:spacing w:after=\"0\" w:line=\"480\" w:lineRule=\"auto\"/>");
        const auto drawn = record(s, 0);
        const auto at = [&](int row) { return baselineOf(*drawn, QStringLiteral("Row0%1").arg(row)); };
        const double single = singleTwips(QStringLiteral("Liberation Serif"), 160) * kLayoutDpi / 1440;
        QVERIFY(single > 0 && at(1) > 0);
        QVERIFY2(qAbs(at(2) - at(1) - single) < 1, qPrintable(QString::number((at(2) - at(1)) / single)));
        QVERIFY2(qAbs(at(3) - at(2) - single) < 1, qPrintable(QString::number((at(3) - at(2)) / single)));
        QVERIFY2(qAbs(at(4) - at(3) - 2 * single) < 1, qPrintable(QString::number((at(4) - at(3)) / single)));
    }

    // A Word 2013+ letter breaks a line of italic text a twelfth of its height short of the margin, as
    // LibreOffice sets it: a line that fits by less than that wraps its last word. An earlier Word's
    // letter sets it on one line.
    void italicLinesKeepRoomForTheSlant() {
        using namespace docxsamples;
        const QString text = QStringLiteral("Smith Motors thanks you for your visit, Clerk");
        QFont font(QStringLiteral("Liberation Serif"));
        font.setPointSizeF(24);
        font.setItalic(true);
        const QFontMetricsF m(font, layoutDevice());
        // The line is as wide as the text and half the slant's room.
        const int right =
            qRound(12240 - 2 * 1440 - (m.horizontalAdvance(text) + m.height() / 24) * 1440 / kLayoutDpi);
        const QByteArray body = paragraph(run(text.toLatin1(), "<w:i/><w:sz w:val=\"48\"/>"),
                                          "<w:ind w:right=\"" + QByteArray::number(right) + "\"/>");
        for (const int mode : {14, 15}) {
            const Shown s = showDocx(body, {}, {},
                                     "<w:compat><w:compatSetting w:name=\"compatibilityMode\" "
                                     "w:uri=\"http://schemas.microsoft.com/office/word\" w:val=\"" +
                                         QByteArray::number(mode) + "\"/></w:compat>");
            QCOMPARE(s.copy.body->begin().layout()->lineCount(), mode >= 15 ? 2 : 1);
        }
    }

    // Lines spaced closer than single, as LibreOffice sets them: they lose that share of the single
    // height, cut down to whole twips, off the top of their text; the first line's text stands four
    // fifths down its shorter room, as on a line of set height, for faces whose text stands higher
    // (Liberation Serif) or lower (Liberation Mono) in their line. A line of a set height below the
    // text's own stands its text four fifths down as well, whatever gap the face has above its text.
    void closeLinesLoseTheirTop_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QByteArray>("spacing");
        QTest::addColumn<int>("percent"); // 0: the height is set, in twips
        QTest::addColumn<int>("set");
        for (const char* family : {"Liberation Serif", "Liberation Mono"}) {
            QTest::addRow("%s 83%%", family)
                << family << QByteArray("w:line=\"200\" w:lineRule=\"auto\"") << 83 << 0;
            QTest::addRow("%s 50%%", family)
                << family << QByteArray("w:line=\"120\" w:lineRule=\"auto\"") << 50 << 0;
        }
        QTest::addRow("exact 9 points")
            << "Liberation Serif" << QByteArray("w:line=\"180\" w:lineRule=\"exact\"") << 0 << 180;
    }

    void closeLinesLoseTheirTop() {
        using namespace docxsamples;
        QFETCH(QString, family);
        QFETCH(QByteArray, spacing);
        QFETCH(int, percent);
        QFETCH(int, set);
        const QByteArray face = "<w:rFonts w:ascii=\"" + family.toLatin1() + "\" w:hAnsi=\"" +
                                family.toLatin1() + "\"/><w:sz w:val=\"24\"/>";
        const Shown s = showDocx(paragraph(run("Row01", face)) +
                                 paragraph(run("Row02", face) + "<w:r><w:br/></w:r>" + run("Row03", face),
                                           "<w:spacing " + spacing + "/>") +
                                 paragraph(run("Row04", face)));
        const auto drawn = record(s, 0);
        const auto at = [&](int row) { return baselineOf(*drawn, QStringLiteral("Row0%1").arg(row)); };
        const int single = singleTwips(family, 240);
        const int room = percent > 0 ? single - single * (100 - percent) / 100 : set;
        // The face's text stands its header's ascent and gap down a single line.
        const QRawFont raw = QRawFont::fromFont(QFont(family, 12));
        const QByteArray hhea = raw.fontTable("hhea");
        QVERIFY(single > 0 && hhea.size() >= 10 && at(1) > 0);
        const double top = (s16(hhea, 4) + s16(hhea, 8)) * 240.0 / raw.unitsPerEm();
        const double px = kLayoutDpi / 1440;
        const auto near = [&](int a, int b, double twips) {
            const double got = (at(b) - at(a)) / px;
            QVERIFY2(
                qAbs(got - twips) < 1 / px,
                qPrintable(
                    QStringLiteral("Row0%1 to Row0%2: %3 twips, not %4").arg(a).arg(b).arg(got).arg(twips)));
        };
        near(1, 2, single - top + room * 0.8);
        // Lines after the first keep their text's room below the baseline.
        near(2, 3, percent > 0 ? room * 0.2 + top - (single - room) : room);
        near(3, 4, percent > 0 ? single : room * 0.2 + top);
    }

    // Text raised or lowered by a share of its size is raised by that share of its single line's height,
    // as LibreOffice sets it (8 points of 12 are two thirds of 13.8 points), and its line is taller by
    // as much, above or below the text.
    void raisedTextMakesItsLineTaller() {
        using namespace docxsamples;
        const QByteArray face = "<w:sz w:val=\"24\"/>";
        const auto moved = [&](const QByteArray& row, const QByteArray& word, int halfPoints) {
            return paragraph(
                run(row + " and ", face) +
                run(word, face + "<w:position w:val=\"" + QByteArray::number(halfPoints) + "\"/>") +
                run(" after", face));
        };
        const Shown s = showDocx(paragraph(run("Row01", face)) + moved("Row02", "Up", 16) +
                                 paragraph(run("Row03", face)) + moved("Row04", "Down", -16) +
                                 paragraph(run("Row05", face)));
        const auto drawn = record(s, 0);
        const auto at = [&](const QString& text) { return baselineOf(*drawn, text) * 1440 / kLayoutDpi; };
        const auto row = [&](int i) { return at(QStringLiteral("Row0%1").arg(i)); };
        const double single = singleTwips(QStringLiteral("Liberation Serif"), 240), by = single * 2 / 3;
        QVERIFY(single > 0 && row(1) > 0 && at(QStringLiteral("Up")) > 0 && at(QStringLiteral("Down")) > 0);
        const auto near = [](double got, double want, const char* what) {
            QVERIFY2(qAbs(got - want) < 5,
                     qPrintable(QStringLiteral("%1: %2 twips, not %3").arg(what).arg(got).arg(want)));
        };
        near(row(2) - at(QStringLiteral("Up")), by, "raised");
        near(at(QStringLiteral("Down")) - row(4), by, "lowered");
        near(row(2) - row(1), single + by, "raised line");
        near(row(3) - row(2), single, "after the raised line");
        near(row(4) - row(3), single, "lowered line");
        near(row(5) - row(4), single + by, "after the lowered line");
    }

    // A dropped capital is printed at the start of its paragraph's first word in the paragraph's size;
    // the lowering Word gives it in its frame does not make that line taller.
    void droppedCapitalKeepsItsLine() {
        using namespace docxsamples;
        const QByteArray face = "<w:sz w:val=\"24\"/>";
        const Shown s = showDocx(
            paragraph(run("Row01", face)) +
            paragraph(run("W", "<w:position w:val=\"-9\"/><w:sz w:val=\"110\"/>"),
                      "<w:framePr w:dropCap=\"drop\" w:lines=\"3\" w:wrap=\"around\" w:vAnchor=\"text\" "
                      "w:hAnchor=\"text\"/><w:spacing w:line=\"800\" w:lineRule=\"exact\"/>") +
            paragraph(run("Row02 of the letter", face)) + paragraph(run("Row03", face)));
        const double pitch = pitchTwips(s, 3);
        QVERIFY2(qAbs(pitch - singleTwips(QStringLiteral("Liberation Serif"), 240)) < 2,
                 qPrintable(QString::number(pitch)));
    }

    // Lines set closer than their letters are tall reach into the page before or after theirs at a
    // page's edge: each is drawn on its own page only, so that a PDF holds its words once.
    void closeSetLinesPrintOnTheirOwnPageOnly() {
        for (const QByteArray& spacing : {QByteArray("\\sl-160"), QByteArray("\\sl-240")}) {
            QByteArray body;
            for (int i = 1; i <= 90; ++i)
                body += "\\pard" + spacing + "\\slmult0\\fs24 Line " + QByteArray::number(i) + "\\par ";
            const Shown s = showWord(body);
            QVERIFY(s.copy.pageCount() > 1);
            std::map<QString, int> drawn;
            for (int page = 0; page < s.copy.pageCount(); ++page) {
                const auto sheet = record(s, page);
                for (const Recorder::Text& t : sheet->texts)
                    if (t.text.startsWith(QLatin1String("Line")))
                        ++drawn[t.text.trimmed()];
            }
            QCOMPARE(drawn.size(), size_t(90));
            for (const auto& [text, times] : drawn)
                QVERIFY2(times == 1, qPrintable(spacing + " " + text + " drawn " + QString::number(times)));
        }
    }

    // A section with a grid of lines (East Asian layout, 18 points here) sets each line on as many of
    // the grid's lines as its single height needs, its text in their middle, as LibreOffice does: a
    // 24-point line takes two, a double-spaced line one and a single line more, exact heights give way
    // to the grid, and a paragraph that does not snap to the grid keeps its own lines.
    void linesKeepToTheGrid() {
        using namespace docxsamples;
        const auto line = [](const char* text, const QByteArray& pPr = {}, const QByteArray& rPr = {}) {
            return paragraph(run(text, "<w:sz w:val=\"22\"/>" + rPr), "<w:spacing w:after=\"0\"/>" + pPr);
        };
        const QByteArray loose = "<w:snapToGrid w:val=\"0\"/>";
        const QByteArray body =
            line("Grid1") + line("Grid2") + line("Big", {}, "<w:sz w:val=\"48\"/>") + line("Grid3") +
            line("Exact", "<w:spacing w:line=\"200\" w:lineRule=\"exact\"/>") + line("Grid4") +
            line("Double", "<w:spacing w:line=\"480\" w:lineRule=\"auto\"/>") + line("Grid5") +
            line("Loose1", loose) + line("Loose2", loose);
        const QByteArray grid = section("<w:docGrid w:type=\"lines\" w:linePitch=\"360\"/>");
        const Shown s = showDocx(body, {}, {}, {}, grid);
        const Shown plain = showDocx(body, {}, {}, {}, section("<w:docGrid w:linePitch=\"360\"/>"));
        const auto drawn = record(s, 0);
        const auto at = [&](const char* text) {
            return baselineOf(*drawn, QString::fromLatin1(text)) * 1440 / kLayoutDpi;
        };
        const int single = singleTwips(QStringLiteral("Liberation Serif"), 220);
        QVERIFY(single > 0 && single < 360);
        QVERIFY(qAbs(at("Grid2") - at("Grid1") - 360) < 2);
        QVERIFY(qAbs(at("Grid3") - at("Grid2") - 1080) < 2);
        QVERIFY(qAbs(at("Grid4") - at("Grid3") - 720) < 2);
        QVERIFY(qAbs(at("Grid5") - at("Grid4") - 720 - single) < 3);
        QVERIFY(qAbs(at("Loose2") - at("Loose1") - single) < 2);
        const double before = baselineOf(*record(plain, 0), QStringLiteral("Grid1")) * 1440 / kLayoutDpi;
        QVERIFY(qAbs(at("Grid1") - before - (360 - single) / 2.0) < 3);
    }

    // A grid of lines takes as many whole lines as the page's room holds and sets them in the middle of
    // that room, as LibreOffice does: on A4 paper with 1134-twip margins, 40 lines of 360 twips leave 170
    // twips, the first line 85 twips lower than at the room's top; on Letter paper with inch margins the
    // 36 lines fill the room.
    void gridLinesStandInTheMiddleOfThePage() {
        using namespace docxsamples;
        const QByteArray body = paragraph(run("First"), "<w:spacing w:after=\"0\"/>");
        const auto firstBaseline = [&](const QByteArray& paper, const QByteArray& grid) {
            const QByteArray sectPr = "<w:sectPr>" + grid + paper + "</w:sectPr>";
            return baselineOf(*record(showDocx(body, {}, {}, {}, sectPr), 0), QStringLiteral("First")) *
                   1440 / kLayoutDpi;
        };
        const QByteArray lines = "<w:docGrid w:type=\"lines\" w:linePitch=\"360\"/>";
        const QByteArray a4 = "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1134\" w:right=\"1418\" "
                              "w:bottom=\"1134\" w:left=\"1418\" w:header=\"720\" w:footer=\"720\"/>";
        const QByteArray letter =
            "<w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
            "w:bottom=\"1440\" w:left=\"1440\" w:header=\"720\" w:footer=\"720\"/>";
        const int single = singleTwips(QStringLiteral("Liberation Serif"), 160);
        const double a4Plain = firstBaseline(a4, "<w:docGrid w:linePitch=\"360\"/>");
        QVERIFY(qAbs(firstBaseline(a4, lines) - a4Plain - (360 - single) / 2.0 - 85) < 3);
        const double letterPlain = firstBaseline(letter, "<w:docGrid w:linePitch=\"360\"/>");
        QVERIFY(qAbs(firstBaseline(letter, lines) - letterPlain - (360 - single) / 2.0) < 3);
    }

    // A picture with a shadow or a 3-D look keeps the room of its effects above and below it, one without
    // effects none, as LibreOffice sets them. On a line grid a paragraph of a picture alone stands at the
    // top of its grid lines, and 1.15 spacing widens its line by the text's share only.
    void picturesKeepTheirEffectRoom() {
        using namespace docxsamples;
        const auto picture = [](const QByteArray& effects) {
            return paragraph("<w:r><w:drawing><wp:inline><wp:extent cx=\"2540000\" cy=\"942975\"/>"
                             "<wp:effectExtent l=\"0\" t=\"254000\" r=\"0\" b=\"254000\"/><a:graphic>"
                             "<a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rId2\"/></pic:blipFill>"
                             "<pic:spPr>" +
                                 effects +
                                 "</pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline>"
                                 "</w:drawing></w:r>",
                             "<w:spacing w:after=\"0\"/>");
        };
        const QByteArray shadow = "<a:effectLst><a:outerShdw dist=\"18000\"/></a:effectLst>";
        const std::vector<Related> image{{"image", "media/p.png", png(40, 12)}};
        const auto drop = [&](const QByteArray& effects, const QByteArray& pPr, const QByteArray& sectPr) {
            const QByteArray line = paragraph(run("Above"), "<w:spacing w:after=\"0\"/>");
            const auto drawn = record(
                showDocx(line + picture(effects) + paragraph(run("Below")), pPr, {}, {}, sectPr, image), 0);
            const double above = baselineOf(*drawn, QStringLiteral("Above"));
            const auto twips = [&](double y) { return (y - above) * 1440 / kLayoutDpi; };
            return std::pair(twips(drawn->images.at(0).top()),
                             twips(baselineOf(*drawn, QStringLiteral("Below"))));
        };
        const double plain = drop({}, {}, section()).second;
        QVERIFY(qAbs(drop(shadow, {}, section()).second - plain - 800) < 8);
        QVERIFY(qAbs(drop("<a:sp3d/>", {}, section()).second - plain - 800) < 8);
        const QByteArray grid = section("<w:docGrid w:type=\"lines\" w:linePitch=\"360\"/>");
        const QByteArray spaced = "<w:spacing w:line=\"276\" w:lineRule=\"auto\"/>";
        const auto [gridTop, onGrid] = drop({}, {}, grid);
        const auto [spacedTop, spacedGrid] = drop({}, spaced, grid);
        const int single = singleTwips(QStringLiteral("Liberation Serif"), 160);
        QVERIFY(qAbs(spacedGrid - onGrid - 0.3 * single) < 4);
        QVERIFY(qAbs(spacedTop - gridTop - 0.15 * single) < 4);
        // Five grid lines hold the picture, the text below stands in the middle of the line after them
        // (within its face's gap: a centred picture would stand seven points lower).
        QFont face(QStringLiteral("Liberation Serif"));
        face.setPixelSize(160);
        QVERIFY(qAbs(onGrid - gridTop - 1800 - (360 - single) / 2.0 - QRawFont::fromFont(face).ascent()) <
                12);
    }
};

QTEST_MAIN(TestLinePitch)
#include "tst_linepitch.moc"
