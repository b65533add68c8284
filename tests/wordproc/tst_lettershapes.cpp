// How a letter's lines and marks print: line heights of the faces, underlines and rules, page borders,
// line numbers, check boxes, and lines fitted to a page by their set height.
#include "Rendering.h"
#include "Samples.h"
#include "platform/Fonts.h"
#include "wordproc/PaintRules.h"

#include <QGlyphRun>
#include <QRawFont>
#include <QtTest>

using namespace wordproc;
using namespace rendering;

class TestLetterShapes : public QObject {
    Q_OBJECT

private slots:
    // As the program does at its start, before any face is asked for.
    void initTestCase() { platform::useMetricCompatibleFonts(); }

    // Calibri's stand-in, Carlito, holds its line gap within its Windows ascent and descent: LibreOffice
    // sets 12-point lines 14.65 points apart (2500/2048 of the size), where Qt would add the gap again.
    void lineHeightsOfCarlito() {
        const Shown s =
            showWord("\\pard\\fs24 One\\par Two\\par Three\\par \\pard\\sl276\\slmult1 Four\\par Five\\par ",
                     "\\fswiss Calibri");
        const auto drawn = record(s, 0);
        const auto at = [&](const char* word) {
            return baselineOf(*drawn, QLatin1String(word)) * 72 / kLayoutDpi;
        };
        const double single = (at("Three") - at("One")) / 2;
        QVERIFY2(qAbs(single - 14.65) < 0.05, qPrintable(QString::number(single)));
        // 1.15 lines, as Word 2007+ sets its body text, are 1.15 of that.
        const double wider = at("Five") - at("Four");
        QVERIFY2(qAbs(wider - 14.65 * 1.15) < 0.1, qPrintable(QString::number(wider)));
        // The first line's text stands at the top of the text area: no gap above it.
        const QFontMetricsF m(QFont(QStringLiteral("Carlito"), 12), layoutDevice());
        QVERIFY2(qAbs(baselineOf(*drawn, QStringLiteral("One")) - s.bodyTop() - m.ascent()) < 1,
                 qPrintable(QString::number(baselineOf(*drawn, QStringLiteral("One")) - s.bodyTop())));
    }

    // A form's check box is drawn, a square as tall as the text is large and crossed when ticked, and the
    // page's text holds no character for it.
    // A double underline is two lines under the word, a thick one a line twice as heavy as a single
    // one, a double strike-through two lines across the letters, and a words-only underline leaves the
    // space between its words bare.
    void underlineAndStrikeKinds() {
        const Shown s = showWord("\\pard\\fs48 {\\ul single}\\par {\\uldb double}\\par {\\ulth thick}\\par "
                                 "{\\striked1 struck}\\par {\\ulw two words}\\par ");
        const auto drawn = record(s, 0);
        const double size = 24 * kLayoutDpi / 72.0;
        // The horizontal lines within the word's row: below its baseline, or across its letters.
        const auto linesOf = [&](const char* word, bool below) {
            std::vector<Recorder::Line> found;
            const auto texts = drawn->textsStarting(QLatin1String(word));
            if (texts.empty())
                return found;
            const QPointF at = texts.front().baseline;
            for (const Recorder::Line& l : drawn->lines) {
                const double y = l.line.y1();
                const bool row =
                    below ? y > at.y() && y < at.y() + size * 0.3 : y < at.y() && y > at.y() - size * 0.6;
                if (qAbs(l.line.dy()) < 0.01 && row && qMin(l.line.x1(), l.line.x2()) < at.x() + 1 &&
                    qMax(l.line.x1(), l.line.x2()) > at.x() + size)
                    found.push_back(l);
            }
            return found;
        };
        const auto single = linesOf("single", true);
        QCOMPARE(single.size(), size_t(1));
        const auto twice = linesOf("double", true);
        QCOMPARE(twice.size(), size_t(2));
        QVERIFY(qAbs(twice[0].line.y1() - twice[1].line.y1()) >= single[0].width);
        double heaviest = 0;
        for (const Recorder::Line& l : linesOf("thick", true))
            heaviest = qMax(heaviest, l.width);
        QVERIFY(heaviest >= single[0].width * 1.9);
        QCOMPARE(linesOf("struck", false).size(), size_t(2));
        QCOMPARE(linesOf("struck", true).size(), size_t(0));
        // Under the space before "words", no line.
        const auto words = drawn->textsStarting(QStringLiteral("words"));
        QVERIFY(!words.empty());
        const QPointF gap = words.front().baseline - QPointF(size * 0.1, 0);
        int under = 0, underWords = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (qAbs(l.line.dy()) < 0.01 && l.line.y1() > gap.y() && l.line.y1() < gap.y() + size * 0.3) {
                under += qMin(l.line.x1(), l.line.x2()) < gap.x() && qMax(l.line.x1(), l.line.x2()) > gap.x();
                underWords += qMin(l.line.x1(), l.line.x2()) <= words.front().baseline.x() + 1 &&
                              qMax(l.line.x1(), l.line.x2()) > words.front().baseline.x() + size;
            }
        QCOMPARE(under, 0);
        QCOMPARE(underWords, 1);
    }

    // The spaces that end a line are underlined as LibreOffice underlines them: a form's blank of
    // underlined spaces to the right margin, however many run on past it, the space where a line wraps,
    // the spaces before a line break, and those before a paragraph's end under a double underline.
    void underlinedClosingSpaces() {
        const QByteArray many(300, ' '), few(20, ' ');
        const QByteArray words = QByteArray("lorem ipsum dolor sit amet ").repeated(6);
        const Shown s = showWord("\\pard\\sb120 Blank{\\ul " + many + "}\\par \\pard\\sb120 Wrap{\\ul " +
                                 many + "}word\\par \\pard\\sb120 {\\ul Soft " + words +
                                 "}\\par \\pard\\sb120 "
                                 "Twice{\\uldb " +
                                 few + "}\\par \\pard\\sb120 Broken{\\ul      }\\line Next\\par ");
        const auto drawn = record(s, 0);
        const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
        // The reach of the lines drawn just under the text starting with `start`.
        const auto under = [&](const char* start) {
            std::pair<double, double> reach{1e9, -1e9};
            int count = 0;
            const auto texts = drawn->textsStarting(QLatin1String(start));
            if (texts.empty())
                return std::make_pair(reach, count);
            const double y = texts.front().baseline.y();
            for (const Recorder::Line& l : drawn->lines)
                if (qAbs(l.line.dy()) < 0.01 && l.line.y1() > y && l.line.y1() < y + twipsToLayout(80) &&
                    qAbs(l.line.dx()) > 1) {
                    reach.first = qMin(reach.first, qMin(l.line.x1(), l.line.x2()));
                    reach.second = qMax(reach.second, qMax(l.line.x1(), l.line.x2()));
                    ++count;
                }
            return std::make_pair(reach, count);
        };
        for (const char* start : {"Blank", "Wrap"}) {
            const auto [reach, count] = under(start);
            QVERIFY2(count > 0 && qAbs(reach.second - right) < 1, qPrintable(QString::number(reach.second)));
            QVERIFY2(reach.first > left + twipsToLayout(300), start);
        }
        QVERIFY(!drawn->textsStarting(QStringLiteral("word")).empty());
        // The first line of the wrapped paragraph: underlined a space past its last word.
        const QTextBlock soft = blockStarting(*s.copy.body, QStringLiteral("Soft"));
        QVERIFY(soft.isValid() && soft.layout()->lineCount() == 2);
        const QTextLine first = soft.layout()->lineAt(0);
        const double space = QFontMetricsF(QFont(QStringLiteral("Times New Roman"), 12), layoutDevice())
                                 .horizontalAdvance(QLatin1Char(' '));
        const auto wrapped = under("Soft").first;
        QVERIFY2(qAbs(wrapped.second - wrapped.first - first.naturalTextWidth() - space) < 1,
                 qPrintable(QString::number(wrapped.second - wrapped.first - first.naturalTextWidth())));
        const auto [twice, rules] = under("Twice");
        QCOMPARE(rules, 2);
        QVERIFY2(twice.second - twice.first > 20 * space * 0.9,
                 qPrintable(QString::number(twice.second - twice.first)));
        // Before a line break, all of them.
        const auto broken = under("Broken").first;
        QVERIFY2(broken.second - broken.first > 5 * space,
                 qPrintable(QString::number(broken.second - broken.first)));
    }

    // Rules around the page stand their space inside the page's edge, or outside the margins when
    // measured from the text (Word's RTF leaves bit 5 of \pgbrdropt clear for that).
    // A dashed rule in dashes of six points with three between, as LibreOffice draws it, not Qt's short
    // ones.
    void dashedRules() {
        const Shown s = showWord("\\pard\\brdrb\\brdrdash\\brdrw10\\brsp20 Dashed\\par ");
        const QImage page = sheet(s, 0);
        const QTextBlock b = blockStarting(*s.copy.body, QStringLiteral("Dashed"));
        QVERIFY(b.isValid());
        const QRectF r = onSheet(s, b);
        const double text = b.layout()->lineAt(0).height();
        // Two inches of the rule, clear of the word.
        const int dashes = marksAlong(page, QRectF(r.left() + twipsToLayout(1440), r.top() + text,
                                                   twipsToLayout(2880), twipsToLayout(300)));
        QVERIFY2(dashes >= 14 && dashes <= 18, qPrintable(QString::number(dashes)));
    }

    void pageBorders() {
        const QByteArray rules = "\\pgbrdrt\\brdrs\\brdrw20\\brsp480\\pgbrdrl\\brdrs\\brdrw20\\brsp480"
                                 "\\pgbrdrb\\brdrs\\brdrw20\\brsp480\\pgbrdrr\\brdrs\\brdrw20\\brsp480 ";
        const auto horizontal = [](const Recorder& r) {
            std::vector<QLineF> found;
            for (const Recorder::Line& l : r.lines)
                if (qAbs(l.line.dy()) < 0.01 && qAbs(l.line.dx()) > twipsToLayout(9000))
                    found.push_back(l.line);
            std::sort(found.begin(), found.end(),
                      [](const QLineF& a, const QLineF& b) { return a.y1() < b.y1(); });
            return found;
        };
        const Shown text = showWord("\\sectd" + rules + "\\pard Bordered\\par ");
        QCOMPARE(text.t->page.pageBorders[size_t(Side::Top)].style, Border::Single);
        const auto fromText = horizontal(*record(text, 0));
        QCOMPARE(fromText.size(), size_t(2));
        QCOMPARE(fromText[0].y1(), twipsToLayout(1440 - 480 - 10));
        QCOMPARE(fromText[1].y1(), twipsToLayout(15840 - 1440 + 480 + 10));
        // Across to the side rules' outer edges.
        QCOMPARE(qMin(fromText[0].x1(), fromText[0].x2()), twipsToLayout(1440 - 480 - 20));
        const Shown edge = showWord("\\sectd\\pgbrdropt32" + rules + "\\pard Bordered\\par ");
        const auto fromEdge = horizontal(*record(edge, 0));
        QCOMPARE(fromEdge.size(), size_t(2));
        QCOMPARE(fromEdge[0].y1(), twipsToLayout(480 + 10));
        QCOMPARE(fromEdge[1].y1(), twipsToLayout(15840 - 480 - 10));
        // A new section without rules has none.
        const Shown none = showWord("\\sectd" + rules + "\\sectd\\pard Bare\\par ");
        QVERIFY(horizontal(*record(none, 0)).empty());
    }

    // Every second line of the body numbered in the margin, beside its line, the count starting again
    // on each page when asked, and table cells left out.
    void lineNumbers() {
        const QByteArray lines =
            "\\pard One\\par Two\\par Three\\par Four\\par "
            "\\trowd\\cellx3000\\pard\\intbl Cell\\cell\\row\\pard Five\\par\\page Six\\par Seven\\par ";
        for (const char* restart : {"\\lineppage", "\\linerestart"}) {
            const Shown s = showWord(QByteArray("\\sectd\\linemod2\\linex360") + restart + lines);
            const auto first = record(s, 0);
            QStringList numbers;
            for (const Recorder::Text& t : first->texts)
                if (t.text.at(0).isDigit()) {
                    numbers << t.text;
                    QVERIFY(t.baseline.x() < twipsToLayout(1440 - 360));
                    QVERIFY(t.baseline.x() > twipsToLayout(1440 - 720));
                }
            QCOMPARE(numbers, (QStringList{"2", "4"}));
            QCOMPARE(baselineOf(*first, QStringLiteral("2")), baselineOf(*first, QStringLiteral("Two")));
            QCOMPARE(baselineOf(*first, QStringLiteral("4")), baselineOf(*first, QStringLiteral("Four")));
            const auto second = record(s, 1);
            const bool perPage = QByteArray(restart) == "\\lineppage";
            // Page 2 starts with line 1 again, or goes on with line 6.
            const double numbered =
                baselineOf(*second, perPage ? QStringLiteral("Seven") : QStringLiteral("Six"));
            QVERIFY(numbered > 0);
            QCOMPARE(baselineOf(*second, perPage ? QStringLiteral("2") : QStringLiteral("6")), numbered);
        }
        // Without \linemod, no numbers.
        const auto plain = record(showWord("\\sectd" + lines), 0);
        for (const Recorder::Text& t : plain->texts)
            QVERIFY(!t.text.at(0).isDigit());
    }

    void checkBoxesAreDrawn() {
        const QByteArray box = "{\\field{\\*\\fldinst FORMCHECKBOX {\\*\\formfield{\\fftype1\\ffres";
        const Shown s =
            showWord("\\pard\\fs24 Tick " + box + "1}}}{\\fldrslt }} and " + box + "0}}}{\\fldrslt }}\\par ");
        const auto drawn = record(s, 0);
        QString text;
        for (const Recorder::Text& t : drawn->texts)
            text += t.text;
        QVERIFY(text.contains(QLatin1String("Tick")) && text.contains(QLatin1String("and")));
        QVERIFY(!text.contains(QChar(0x2610)) && !text.contains(QChar(0x2612)) &&
                !text.contains(QChar::ObjectReplacementCharacter));
        const double side = 12 * kLayoutDpi / 72.0;
        int edges = 0, crossings = 0;
        for (const Recorder::Line& l : drawn->lines) {
            const QLineF& line = l.line;
            if (qAbs(line.dx()) < 0.5 || qAbs(line.dy()) < 0.5)
                edges += qAbs(line.length() - side) < side * 0.1 ? 1 : 0;
            else
                crossings += qAbs(qAbs(line.dx()) - side) < side * 0.1 ? 1 : 0;
        }
        QCOMPARE(edges, 8);
        QCOMPARE(crossings, 2);
    }

    // Times and Helvetica print in their URW faces, as LibreOffice prints them, from the OpenType files
    // (the Type 1 ones lack a header's heights): 12-point lines 14.4 points apart (the header's 1200 of
    // 1000), not the Windows heights' 16.
    void lineHeightsOfTheUrwFaces() {
        for (const char* face : {"\\froman Times", "\\fswiss Helvetica"}) {
            const Shown s = showWord("\\pard\\fs24 One\\par Two\\par Three\\par ", face);
            const auto drawn = record(s, 0);
            const auto at = [&](const char* word) {
                return baselineOf(*drawn, QLatin1String(word)) * 72 / kLayoutDpi;
            };
            const double single = (at("Three") - at("One")) / 2;
            QVERIFY2(qAbs(single - 14.4) < 0.05, qPrintable(QString::number(single)));
            // The text stands as high in its line as the header's ascent and line gap together (883 and
            // 929 of 1000 for Nimbus Roman and Nimbus Sans), not as low as the Windows ascent: LibreOffice
            // sets the first baseline 10.6 and 11.15 points under the top margin.
            const double first = (baselineOf(*drawn, QStringLiteral("One")) - s.bodyTop()) * 72 / kLayoutDpi;
            const double expected = face[2] == 'r' ? 10.6 : 11.15;
            QVERIFY2(qAbs(first - expected) < 0.2, qPrintable(QString::number(first)));
        }
        const QRawFont raw = QRawFont::fromFont(platform::namedFont(QStringLiteral("Times"), 12));
        QVERIFY(!raw.fontTable("hhea").isEmpty());
    }

    // A line of several faces is as tall as the tallest top over the baseline and the deepest room below
    // it, each taken apart, as LibreOffice 7.4 sets it: Nimbus Roman's italic and bold keep the regular
    // face's 14.4 points at 12 points (Qt's Windows heights and gaps, taken apart, would make 15.8), and
    // a word of Arial (Liberation Sans) raises the line's text to its own top, 11.26 points, over Nimbus
    // Roman's room of 3.8 points below.
    void lineOfSeveralFaces() {
        const Shown s = showWord(
            "\\pard\\fs24 One\\par Two {\\i slanted} {\\b bold}\\par Three\\par Four {\\f1 sans}\\par "
            "Five\\par ",
            "\\froman Times;}{\\f1\\fswiss Arial");
        const auto drawn = record(s, 0);
        const auto at = [&](const char* word) {
            return baselineOf(*drawn, QLatin1String(word)) * 72 / kLayoutDpi;
        };
        const auto apart = [&](const char* above, const char* below, double expected) {
            const double gap = at(below) - at(above);
            QVERIFY2(qAbs(gap - expected) < 0.15, qPrintable(QStringLiteral("%1: %2").arg(below).arg(gap)));
        };
        apart("One", "Two", 14.4);
        apart("Two", "Three", 14.4);
        apart("Three", "Four", 15.03);
        apart("Four", "Five", 14.4);
        QCOMPARE(at("sans"), at("Four"));
    }

    // Qt sets a line of several faces as high as the tallest of their ascents and gaps taken together,
    // not of each taken apart: a word of DejaVu Serif (no gap) among Liberation Serif (a gap) makes a
    // line of 1.17 ems, 14.04 points at 12 points, as in LibreOffice, not a line shorter by a third of
    // a point.
    void lineOfAFaceWithoutGap() {
        const Shown s = showWord("\\pard\\fs24 One\\par Two {\\f1 serif}\\par Three\\par ",
                                 "\\froman Times New Roman;}{\\f1\\froman DejaVu Serif");
        const auto drawn = record(s, 0);
        const double apart =
            (baselineOf(*drawn, QStringLiteral("Three")) - baselineOf(*drawn, QStringLiteral("One"))) * 72 /
            kLayoutDpi;
        QVERIFY2(qAbs(apart - 13.86 - 14.04) < 0.15, qPrintable(QString::number(apart)));
    }

    void pictureLineUnderWiderSpacing() {
        // Of a line that holds a picture, 1.5 lines' spacing widens only the text's part, as LibreOffice
        // sets it: half a line of 12-point text more (6.9 points), not half the picture (about 37). Single
        // spacing, written as such, as one line or as a least height below it, leaves the picture's line
        // as tall as the picture and the text's depth: it is not scaled as a line of text is.
        const auto gap = [](const QByteArray& spacing, int pictureTwips) {
            const Shown s = showWord("\\pard\\fs24 Above\\par \\pard" + spacing +
                                     " {\\pict\\pngblip\\picw30\\pich30\\picwgoal1440\\pichgoal" +
                                     QByteArray::number(pictureTwips) + " " + samples::pngHex(30, 30) +
                                     "}\\par \\pard Below\\par ");
            const auto drawn = record(s, 0);
            return (baselineOf(*drawn, QStringLiteral("Below")) -
                    baselineOf(*drawn, QStringLiteral("Above"))) *
                   72 / kLayoutDpi;
        };
        // LibreOffice 7.4 sets these baselines 85.8 and 373.8 points apart under single spacing, 92.7 and
        // 380.7 under 1.5 lines.
        for (const QByteArray& single :
             {QByteArray(), QByteArray("\\sl240\\slmult1"), QByteArray("\\sl20\\slmult0")}) {
            const double small = gap(single, 1440), tall = gap(single, 7200);
            QVERIFY2(qAbs(small - 85.8) < 0.5, qPrintable(single + ": " + QByteArray::number(small)));
            QVERIFY2(qAbs(tall - 373.8) < 0.5, qPrintable(single + ": " + QByteArray::number(tall)));
        }
        const double wider = gap("\\sl360\\slmult1", 1440), tallWider = gap("\\sl360\\slmult1", 7200);
        QVERIFY2(qAbs(wider - 92.7) < 0.5, qPrintable(QString::number(wider)));
        QVERIFY2(qAbs(tallWider - 380.7) < 0.5, qPrintable(QString::number(tallWider)));
    }
    // Carlito's lines are set 13.43 points apart at 11 points, where the face's own heights, gap
    // included, make 15.9: a line fits at a page's foot by the first, as in LibreOffice and Word. After
    // 46 lines of 12 points, 6.2 lines of 11-point Carlito are left: the seventh line fits, the eighth
    // goes on to page 2.
    void linesFitAPageByTheirSetHeight() {
        QByteArray body;
        for (int i = 0; i < 46; ++i)
            body += "\\pard\\sl-240\\slmult0\\fs22 Filler " + QByteArray::number(i) + "\\par ";
        for (int i = 0; i < 8; ++i)
            body += "\\pard\\fs22 Word " + QByteArray::number(i) + "\\par ";
        const Shown s = showWord(body, "\\fswiss Calibri");
        QCOMPARE(s.copy.pageCount(), 2);
        const double pageHeight = s.copy.body->pageSize().height();
        const auto first = record(s, 0), second = record(s, 1);
        QCOMPARE(first->textsStarting(QStringLiteral("Word 6")).size(), size_t(1));
        QVERIFY(second->textsStarting(QStringLiteral("Word 6")).empty());
        QCOMPARE(second->textsStarting(QStringLiteral("Word 7")).size(), size_t(1));
        // The seventh line's room ends within the page, and its text stands as the others' does.
        const QTextBlock six = blockStarting(*s.copy.body, QStringLiteral("Word 6"));
        const QTextBlock five = blockStarting(*s.copy.body, QStringLiteral("Word 5"));
        const double height = six.blockFormat().lineHeight() * kLayoutDpi / 96;
        QVERIFY2(qAbs(height * 72 / kLayoutDpi - 11 * 2500.0 / 2048) < 0.05,
                 qPrintable(QString::number(height)));
        QVERIFY(lineRoomTop(six, 0) + height <= pageHeight + 0.5);
        const double pitch =
            baselineOf(*first, QStringLiteral("Word 6")) - baselineOf(*first, QStringLiteral("Word 5"));
        QVERIFY2(qAbs(pitch - height) < 0.5, qPrintable(QString::number(pitch)));
        QVERIFY2(qAbs(baselineOf(*first, QStringLiteral("Word 5")) - s.bodyTop() - lineRoomTop(five, 0) -
                      (baselineOf(*second, QStringLiteral("Word 7")) - s.bodyTop())) < 0.5,
                 qPrintable(QString::number(baselineOf(*first, QStringLiteral("Word 5")))));
        // Page 2's line starts at the text area's top, its text where a first line's stands.
        const QFontMetricsF m(QFont(QStringLiteral("Carlito"), 11), layoutDevice());
        QVERIFY2(qAbs(baselineOf(*second, QStringLiteral("Word 7")) - s.bodyTop() - m.ascent()) < 1,
                 qPrintable(QString::number(baselineOf(*second, QStringLiteral("Word 7")) - s.bodyTop())));
    }

    // A line set at a fixed height for its fit stands a little above its room: the page of a PAGE field
    // on a page's first line is its room's.
    void pageFieldOnAFittedFirstLine() {
        const QByteArray field = "{\\field{\\*\\fldinst PAGE }{\\fldrslt 9}}";
        const Shown s = showWord("\\pard\\fs22 On page " + field + "\\page On page " + field +
                                     "\\page On page " + field + "\\par ",
                                 "\\fswiss Calibri");
        QCOMPARE(s.copy.pageCount(), 3);
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            QCOMPARE(drawn->textsStarting(QString::number(page + 1)).size(), size_t(1));
        }
    }

    // Only paragraphs whose lines all have one height are fitted, or of one line, whose faces of
    // different sizes all set its height: the lines of a longer paragraph take each their own, as do
    // those of one that borrows a few characters from another face, which only some of its lines hold.
    // Cells keep their proportional lines, as Qt moves a row on to the next page by where its first
    // line stands.
    void onlyLinesOfOneHeightAreFitted() {
        const QByteArray words = QByteArray("more words ").repeated(30);
        const Shown s =
            showWord("\\pard\\fs22 Plain text\\par \\pard\\fs22 Mixed \\u26085?\\u26412? " + words +
                         "\\par "
                         "\\pard\\fs22 Sized {\\fs40 text}\\par \\pard\\fs22 Long {\\fs40 text} " +
                         words +
                         "\\par \\trowd\\cellx4000 \\pard\\intbl\\fs22 "
                         "In a cell\\cell\\row \\pard After\\par ",
                     "\\fswiss Calibri");
        const auto fitted = [&](const char* start) {
            const QTextBlock b = blockStarting(*s.copy.body, QLatin1String(start));
            return b.isValid() && b.blockFormat().hasProperty(kFittedHeightProperty) &&
                   b.blockFormat().lineHeightType() == QTextBlockFormat::FixedHeight;
        };
        QVERIFY(fitted("Plain"));
        QVERIFY(!fitted("Mixed"));
        QVERIFY(fitted("Sized"));
        QVERIFY(!fitted("Long"));
        QVERIFY(blockStarting(*s.copy.body, QStringLiteral("Long")).layout()->lineCount() > 1);
        QVERIFY(!fitted("In a cell"));
        const QTextBlock cell = blockStarting(*s.copy.body, QStringLiteral("In a cell"));
        QCOMPARE(cell.blockFormat().lineHeightType(), int(QTextBlockFormat::ProportionalHeight));
        // Unfitted, the mixed paragraph's first line is as tall as its borrowed characters make it.
        const QTextBlock mixed = blockStarting(*s.copy.body, QStringLiteral("Mixed"));
        const QTextBlock plain = blockStarting(*s.copy.body, QStringLiteral("Plain"));
        QVERIFY(mixed.layout()->lineAt(0).height() >= plain.layout()->lineAt(0).height());
        // The fitted line of two sizes is as tall as its larger text sets it, taller than the plain one.
        const QTextBlock sized = blockStarting(*s.copy.body, QStringLiteral("Sized"));
        QVERIFY(sized.blockFormat().lineHeight() > plain.blockFormat().lineHeight() * 1.5);
        QVERIFY(sized.blockFormat().lineHeight() < plain.blockFormat().lineHeight() * 2);
    }
};

QTEST_MAIN(TestLetterShapes)
#include "tst_lettershapes.moc"
