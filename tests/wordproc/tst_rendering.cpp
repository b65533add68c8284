#include "Rendering.h"
#include "Samples.h"
#include "platform/Fonts.h"
#include "tests/support/Glyphs.h"
#include "wordproc/PaintRules.h"

#include <QRawFont>
#include <QtTest>
#include <map>

using namespace wordproc;
using namespace rendering;

class TestRendering : public QObject {
    Q_OBJECT

private slots:
    // As the program does at its start, before any face is asked for.
    void initTestCase() { platform::useMetricCompatibleFonts(); }

    void letterheadDateAndRules() {
        const Shown s = show("letterhead.rtf");
        // The picture LibreOffice saved as a shape floats at the top of the text area, as wide as the
        // text; the letter starts below it.
        QCOMPARE(s.t->floats.size(), size_t(1));
        QCOMPARE(s.copy.pictures.size(), size_t(1));
        const PlacedPicture& pic = s.copy.pictures.front();
        QCOMPARE(pic.page, 0);
        QCOMPARE(pic.image.size(), QSize(160, 40));
        const QRectF expected(twipsToLayout(1440), twipsToLayout(1440), twipsToLayout(9360),
                              twipsToLayout(1440));
        QVERIFY2((pic.rect.topLeft() - expected.topLeft()).manhattanLength() < 2 &&
                     (pic.rect.bottomRight() - expected.bottomRight()).manhattanLength() < 2,
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(pic.rect.x())
                                .arg(pic.rect.y())
                                .arg(pic.rect.width())
                                .arg(pic.rect.height())));
        // LibreOffice writes the date picture as MMMM\ d', 'yyyy.
        const QTextBlock date = blockStarting(*s.copy.body, QStringLiteral("December"));
        QCOMPARE(date.text(), QStringLiteral("December 6, 2026"));
        QVERIFY(onSheet(s, date).top() >= pic.rect.bottom());

        const QImage page = sheet(s, 0);
        QCOMPARE(page.pixelColor(px(pic.rect.center().x()), px(pic.rect.top()) + 2), QColor(20, 40, 120));
        // The header's rule under its text and the footer's above its text run from margin to margin,
        // and no further.
        const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
        const QRectF headerArea(left, twipsToLayout(720), right - left, twipsToLayout(700));
        const QRectF footerArea(left, twipsToLayout(15840 - 1440), right - left, twipsToLayout(700));
        QVERIFY(ruleShare(page, headerArea, Qt::Horizontal) > 0.97);
        QVERIFY(ruleShare(page, footerArea, Qt::Horizontal) > 0.97);
        const QRectF outside(twipsToLayout(600), headerArea.top(), twipsToLayout(700), headerArea.height());
        QCOMPARE(ruleShare(page, outside, Qt::Horizontal), 0.0);
    }

    void pageNumbersAndSpacing() {
        Shown s = show("two-pages.rtf");
        QCOMPARE(s.copy.pageCount(), 2);
        // The file stores "1" as both numbers; each page shows its own (as does the older \chpgn).
        for (int i = 0; i < 2; ++i) {
            sheet(s, i);
            QCOMPARE(s.copy.footer->toPlainText(), QStringLiteral("Page %1 of 2").arg(i + 1));
        }
        Shown older;
        older.t = std::make_shared<const Template>(
            readRtf("{\\rtf1 {\\footer \\pard Sheet \\chpgn\\par }\\pard One\\page Two\\par }", "older.rtf"));
        older.copy = Merger(older.t, nullptr).next();
        sheet(older, 1);
        QCOMPARE(older.copy.footer->toPlainText(), QStringLiteral("Sheet 2"));
        // Space after (12 pt) and before (6 pt) add up between paragraphs; a paragraph the text runs on
        // to the second page starts at that page's top.
        const QTextDocument& doc = *s.copy.body;
        const double pageHeight = doc.pageSize().height();
        QTextBlock b = blockStarting(doc, QStringLiteral("Your new car"));
        // Lines, not blocks: a line that does not fit moves on to the next page within its block.
        const auto lineTop = [&](const QTextBlock& x, int i) { return lineRoomTop(x, i); };
        int gaps = 0;
        for (QTextBlock n = b.next(); n.isValid() && n.text().startsWith(QLatin1String("Your"));
             n = n.next()) {
            const QTextBlock up = n.previous();
            const int last = up.layout()->lineCount() - 1;
            const double bottom = lineTop(up, last) + up.layout()->lineAt(last).height();
            if (pageAt(bottom, pageHeight) != pageAt(lineTop(n, 0), pageHeight))
                continue;
            // QTextLine rounds its height up to a whole pixel; the line itself is a fraction shorter.
            QVERIFY2(qAbs(lineTop(n, 0) - bottom - twipsToLayout(240 + 120)) < 1.5,
                     qPrintable(QString::number(lineTop(n, 0) - bottom)));
            ++gaps;
        }
        QVERIFY(gaps >= 10);

        // The closing line's double rule above it and single rule below it.
        const QTextBlock closing = blockStarting(doc, QStringLiteral("Come see"));
        const QRectF text = onSheet(s, closing).translated(0, -pageHeight);
        const QImage second = sheet(s, 1);
        const double margin = twipsToLayout(1440), across = twipsToLayout(9360);
        QCOMPARE(rulesAcross(second,
                             QRectF(margin, text.top() - twipsToLayout(60 + 60), across, twipsToLayout(60))),
                 2);
        QCOMPARE(
            rulesAcross(second, QRectF(margin, text.bottom() + twipsToLayout(30), across, twipsToLayout(90))),
            1);
        double firstOnSecond = 2 * pageHeight;
        for (; b.isValid(); b = b.next())
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const double y = lineRoomTop(b, i);
                if (y >= pageHeight - 1)
                    firstOnSecond = qMin(firstOnSecond, y);
            }
        QVERIFY2(qAbs(firstOnSecond - pageHeight) < 1,
                 qPrintable(QString::number(firstOnSecond - pageHeight)));
    }

    void paragraphShading() {
        // Shading that LibreOffice saved as \cbpat lies under the paragraph's lines from margin to
        // margin, the text over it; the space after the paragraph stays clear.
        const Shown s = show("shading.rtf");
        const QImage page = sheet(s, 0);
        const auto drawn = record(s, 0);
        const double left = twipsToLayout(1440), right = twipsToLayout(12240 - 1440);
        const std::pair<QString, QColor> shaded[]{{QStringLiteral("Zero down"), QColor(255, 230, 153)},
                                                  {QStringLiteral("A free oil"), QColor(198, 224, 180)}};
        for (const auto& [start, color] : shaded) {
            const QRectF text = onSheet(s, blockStarting(*s.copy.body, start));
            int fills = 0;
            for (const Recorder::Fill& f : drawn->fills) {
                if (f.color != color)
                    continue;
                ++fills;
                QVERIFY(qAbs(f.rect.left() - left) < 1 && qAbs(f.rect.right() - right) < 1);
                QVERIFY(qAbs(f.rect.top() - text.top()) < 1);
                QVERIFY2(qAbs(f.rect.height() - twipsToLayout(276)) < 1,
                         qPrintable(QString::number(f.rect.height())));
            }
            QCOMPARE(fills, 1);
            const int y = px(text.top() + twipsToLayout(138));
            int darkest = 255;
            for (int x = px(left); x < px(right); ++x)
                darkest = qMin(darkest, qGray(page.pixel(x, y)));
            QVERIFY(darkest < 100);
            QCOMPARE(page.pixelColor(px(right) - 2, px(text.top()) + 1), color);
            QCOMPARE(page.pixelColor(px(right) - 2, px(text.top() + twipsToLayout(276)) + 2),
                     QColor(Qt::white));
        }
    }

    void shadedParagraphsInARowMakeOneBand() {
        // Paragraphs shaded alike one after another make one band, the space between them shaded too, as
        // LibreOffice fills it; the space after the last one, and before a paragraph shaded otherwise or
        // not at all, stays clear.
        const Shown s = showWord("\\pard\\sa400\\cbpat2 One\\par \\pard\\sb200\\sa400\\cbpat2 Two\\par "
                                 "\\pard\\sa400\\cbpat1 Dark\\par \\pard Plain\\par ");
        const auto drawn = record(s, 0);
        const QColor light(255, 230, 153);
        std::vector<QRectF> band;
        for (const Recorder::Fill& f : drawn->fills)
            if (f.color == light)
                band.push_back(f.rect);
        QCOMPARE(band.size(), size_t(2));
        std::sort(band.begin(), band.end(),
                  [](const QRectF& a, const QRectF& b) { return a.top() < b.top(); });
        const QRectF one = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("One")));
        const QRectF two = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Two")));
        const QRectF dark = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Dark")));
        QVERIFY(qAbs(band[0].top() - one.top()) < 1);
        QVERIFY2(qAbs(band[0].bottom() - band[1].top()) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(band[0].bottom()).arg(band[1].top())));
        QVERIFY(qAbs(band[1].bottom() - two.bottom()) < 1);
        QVERIFY(dark.top() - band[1].bottom() > twipsToLayout(300));
        for (const Recorder::Fill& f : drawn->fills)
            if (f.color == QColor(Qt::black))
                QVERIFY(qAbs(f.rect.bottom() - dark.bottom()) < 1);
    }

    void indentedRules() {
        // A paragraph indented half an inch on both sides has its rules from indent to indent, their
        // space away from its text.
        const Shown s = show("colours.rtf");
        const QRectF text = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Offer ends")));
        const auto drawn = record(s, 0);
        QList<QLineF> rules;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0 && qAbs(l.line.y1() - text.center().y()) < twipsToLayout(400))
                rules << l.line;
        QCOMPARE(rules.size(), 2);
        for (const QLineF& r : rules) {
            QVERIFY(qAbs(qMin(r.x1(), r.x2()) - twipsToLayout(1440 + 720)) < 1);
            QVERIFY(qAbs(qMax(r.x1(), r.x2()) - twipsToLayout(12240 - 1440 - 720)) < 1);
        }
        const double above = qMin(rules[0].y1(), rules[1].y1()), below = qMax(rules[0].y1(), rules[1].y1());
        QVERIFY(qAbs(text.top() - above - twipsToLayout(40 + 5)) < 1.5);
        QVERIFY(qAbs(below - text.top() - twipsToLayout(276 + 40 + 5)) < 1.5); // one line of 13.8 pt
    }

    // A paragraph indented into the left margin sets its first line there, however its own first-line
    // indent moves it back; the rules of a boxed one stand on its indent in the margin.
    void indentsIntoTheMargin() {
        const Shown s = showWord("\\pard\\li-1080\\fi1080 Heading\\par \\pard\\li-720 Outside\\par "
                                 "\\pard\\li-500\\fi-300 Further\\par \\pard\\li-720\\box\\brdrs\\brdrw20 "
                                 "Boxed\\par \\pard Inside\\par ");
        std::map<QString, double> left;
        for (const SheetLine& l : bodyLines(s))
            left[l.text.trimmed()] = l.rect.left();
        QCOMPARE(left.count(QStringLiteral("Heading")), size_t(1));
        const double margin = left[QStringLiteral("Inside")];
        QVERIFY2(qAbs(margin - twipsToLayout(1440)) < 1, qPrintable(QString::number(margin)));
        QVERIFY2(qAbs(left[QStringLiteral("Heading")] - margin) < 1,
                 qPrintable(QString::number(left[QStringLiteral("Heading")])));
        QVERIFY2(qAbs(left[QStringLiteral("Outside")] - margin + twipsToLayout(720)) < 1,
                 qPrintable(QString::number(left[QStringLiteral("Outside")])));
        QVERIFY2(qAbs(left[QStringLiteral("Further")] - margin + twipsToLayout(800)) < 1,
                 qPrintable(QString::number(left[QStringLiteral("Further")])));
        const auto drawn = record(s, 0);
        const QRectF boxed = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Boxed")));
        bool ruleAtIndent = false;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0 && l.line.y1() <= boxed.bottom() && l.line.y2() >= boxed.top())
                ruleAtIndent = ruleAtIndent || qAbs(l.line.x1() - (margin - twipsToLayout(720))) < 4;
        QVERIFY(ruleAtIndent);
    }

    // In columns too, text indented into the margin prints there whole, as LibreOffice prints it, not cut
    // at the column's edge.
    void columnTextIntoTheMargin() {
        const Shown s =
            showWord("\\sectd\\cols2\\colsx720 \\pard\\li-720 IIIIIIIIIIII\\par \\pard Inside\\par ");
        const QRectF line = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("IIII")));
        QVERIFY2(qAbs(line.left() - twipsToLayout(720)) < 1, qPrintable(QString::number(line.left())));
        const QImage image = sheet(s, 0);
        const QRectF outside(twipsToLayout(760), line.top(), twipsToLayout(600), line.height());
        QVERIFY(marksAlong(image, outside) >= 5);
    }

    // A letterhead on the first page only, then left and right pages' own headers; a first page's
    // header taller than its margin moves that page's text down, and only that page's.
    void headersOfFirstEvenAndOddPages() {
        const Shown s = showRtf(
            "\\facingp\\sectd\\titlepg{\\headerf \\pard Letterhead\\par Street\\par Town\\par "
            "Phone\\par Mail\\par }{\\headerl \\pard Even head\\par }{\\headerr \\pard Odd head\\par }"
            "{\\footer \\pard Foot {\\field{\\*\\fldinst PAGE }{\\fldrslt 1}}\\par }"
            "\\pard One\\par \\page Two\\par \\page Three\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        const QStringList heads{"Letterhead", "Even head", "Odd head"};
        std::array<double, 3> bodyLine{};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            for (int h = 0; h < 3; ++h)
                QCOMPARE(drawn->textsStarting(heads[h]).size(), size_t(h == page ? 1 : 0));
            // The first page has no footer of its own: none; the others, one for both sides.
            const QTextDocument* footer = bandOn(s.copy, page, false);
            QCOMPARE(footer ? footer->toPlainText() : QString(),
                     page == 0 ? QString() : QStringLiteral("Foot %1").arg(page + 1));
            bodyLine[size_t(page)] = baselineOf(*drawn, QStringList{"One", "Two", "Three"}[page]);
            QVERIFY(bodyLine[size_t(page)] > 0);
        }
        // The letterhead reaches past the top margin: page 1's text starts below it, the others' at the
        // margin, as their short headers leave it.
        const double letterhead =
            twipsToLayout(720) + s.copy.firstHeader->documentLayout()->documentSize().height();
        QVERIFY(letterhead > twipsToLayout(1440) + 20);
        QCOMPARE(s.copy.bodyTop, twipsToLayout(1440));
        QVERIFY2(qAbs(bodyLine[0] - bodyLine[1] - (letterhead - twipsToLayout(1440))) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(bodyLine[0]).arg(bodyLine[1])));
        QCOMPARE(bodyLine[1], bodyLine[2]);

        // A first page of its own without a header of its own shows none.
        const Shown bare =
            showRtf("\\sectd\\titlepg{\\header \\pard Running\\par }\\pard One\\page Two\\par ");
        QCOMPARE(bare.copy.pageCount(), 2);
        QVERIFY(!bandOn(bare.copy, 0, true));
        QVERIFY(record(bare, 0)->textsStarting(QStringLiteral("Running")).empty());
        QCOMPARE(record(bare, 1)->textsStarting(QStringLiteral("Running")).size(), size_t(1));
    }

    // A section that starts a new page starts it, with its own header from there on.
    void sectionsStartPagesWithTheirHeaders() {
        const Shown s =
            showRtf("\\sectd{\\header \\pard First part\\par }\\pard A\\par \\sect\\sectd"
                    "{\\header \\pard Second part\\par }\\pard B\\par \\page C\\par \\sect\\sectd\\sbknone"
                    "{\\header \\pard Third part\\par }\\pard D\\par ");
        QCOMPARE(s.copy.pageCount(), 3);
        const QStringList heads{"First part", "Second part", "Second part"};
        const QStringList lines{"A", "B", "C"};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            QCOMPARE(drawn->textsStarting(heads[page]).size(), size_t(1));
            QVERIFY(baselineOf(*drawn, lines[page]) > 0);
        }
        // The third section runs on below C: its header would start with the next page.
        QVERIFY(baselineOf(*record(s, 2), QStringLiteral("D")) > 0);
        // The second section is laid out on sheets of its own, and the third runs on within it.
        QCOMPARE(s.copy.parts.size(), size_t(1));
        const PageCopy& second = s.copy.parts.front();
        QCOMPARE(second.sections.size(), size_t(2));
        QCOMPARE(second.sections[0].fromPage, 0);
        QCOMPARE(second.sections[1].fromPage, 2);
    }

    // A page break drops the space after the paragraph before it and keeps the space before the
    // paragraph after it, as LibreOffice sets a letter's second page (its PDF of such a letter has the
    // line 6 pt below the top margin, for 6 pt before and 12 pt after).
    void spaceAtAPageBreak() {
        const Shown s = showRtf("\\pard\\sa240 One\\par \\pard\\sb120\\sa240\\pagebb Two\\par ");
        QCOMPARE(s.copy.pageCount(), 2);
        const double first = baselineOf(*record(s, 0), QStringLiteral("One"));
        const double second = baselineOf(*record(s, 1), QStringLiteral("Two"));
        QVERIFY2(qAbs(second - first - twipsToLayout(120)) < 1, qPrintable(QString::number(second - first)));
    }

    // PAGE in the body of a letter that runs on to a second page shows, on each page, that page.
    void pageFieldsInTheBody() {
        // A text area of 594.6 pt, which Qt's 64ths of a pixel do not hold exactly.
        QByteArray body = "\\margt2508 ";
        for (int i = 0; i < 60; ++i)
            body += "\\pard Line " + QByteArray::number(i) +
                    " on page {\\b{\\field{\\*\\fldinst PAGE }{\\fldrslt 9}}}\\par ";
        body += "\\pard\\pagebb Last on page {\\b{\\field{\\*\\fldinst PAGE }{\\fldrslt 9}}}\\par ";
        const Shown s = showRtf(body);
        QCOMPARE(s.copy.pageCount(), 3);
        std::array<int, 3> seen{};
        for (int page = 0; page < 3; ++page) {
            const auto drawn = record(s, page);
            double top = 1e9;
            QString topNumber;
            for (const Recorder::Text& t : drawn->texts) {
                bool number = false;
                t.text.toInt(&number);
                if (!number)
                    continue;
                QCOMPARE(t.text, QString::number(page + 1));
                ++seen[size_t(page)];
                if (t.baseline.y() < top) {
                    top = t.baseline.y();
                    topNumber = t.text;
                }
            }
            // The first line of each page numbers its own page, whatever the rounding of its place.
            QCOMPARE(topNumber, QString::number(page + 1));
        }
        QVERIFY(seen[0] > 20 && seen[1] > 0 && seen[2] == 1);
    }

    // Lines are as tall as LibreOffice sets them (the font's spacing, 13.8 pt for 12-point Liberation
    // Serif, not Qt's whole layout pixels), and their text sits where LibreOffice sets it, under the
    // font's line gap (Qt would set the gap below the text), so that a page holds the same lines at the
    // same heights.
    void raisedSpacedAndNarrowedLetters() {
        // \up and \dn move the letters six points' share of their font's single line (13.8 points for
        // 12-point Liberation Serif), as LibreOffice moves them; \expndtw spaces them two points apart;
        // \charscalex draws them at 80% of their width.
        const Shown s = showWord(
            "\\pard Base {\\up12 raised} base {\\dn12 lowered} end\\par \\pard{\\expndtw40 Spaced}\\par "
            "\\pard Spaced\\par \\pard{\\charscalex80 Narrowed}\\par \\pard Narrowed\\par ");
        const auto drawn = record(s, 0);
        const double base = baselineOf(*drawn, QStringLiteral("Base"));
        const double six = twipsToLayout(120) * 13.8 / 12;
        QVERIFY2(qAbs(base - baselineOf(*drawn, QStringLiteral("raised")) - six) < twipsToLayout(10),
                 qPrintable(QString::number(base - baselineOf(*drawn, QStringLiteral("raised")))));
        QVERIFY2(qAbs(baselineOf(*drawn, QStringLiteral("lowered")) - base - six) < twipsToLayout(10),
                 qPrintable(QString::number(baselineOf(*drawn, QStringLiteral("lowered")) - base)));
        const QTextDocument& doc = *s.copy.body;
        QTextCursor raised = doc.find(QStringLiteral("raised"));
        QCOMPARE(raised.charFormat().fontPointSize(), 12.0);
        QCOMPARE(raised.charFormat().verticalAlignment(), QTextCharFormat::AlignNormal);
        // The widths of the formatted and the plain paragraph of the same word.
        const auto widths = [&](const QString& word) {
            QList<double> out;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
                if (b.text() == word)
                    out << b.layout()->lineAt(0).naturalTextWidth();
            return out;
        };
        const QList<double> spaced = widths(QStringLiteral("Spaced"));
        QCOMPARE(spaced.size(), 2);
        QVERIFY2(spaced[0] - spaced[1] > 5 * twipsToLayout(40) - 1 &&
                     spaced[0] - spaced[1] < 6 * twipsToLayout(40) + 1,
                 qPrintable(QStringLiteral("%1 %2").arg(spaced[0]).arg(spaced[1])));
        const QList<double> narrowed = widths(QStringLiteral("Narrowed"));
        QCOMPARE(narrowed.size(), 2);
        QVERIFY2(qAbs(narrowed[0] / narrowed[1] - 0.8) < 0.03,
                 qPrintable(QStringLiteral("%1 %2").arg(narrowed[0]).arg(narrowed[1])));
    }

    // A box round letters (\chbrdr), measured in LibreOffice 7.4's PDF of the same paragraphs: its rule
    // and space stand between the letters and the text beside them, above the text's top (ascent and line
    // gap) and below its descent, and make the line that much taller; runs side by side with the same box
    // share it. A box of no rule is none, and so is one of a thick rule (\brdrth), which LibreOffice
    // leaves out.
    void lettersInABox() {
        const Shown s = showWord(
            "\\pard Name: {\\chbrdr\\brdrs\\brdrw10 BOXED} after\\par "
            "\\pard Next\\par "
            "\\pard Name: {\\cf1 BOXED} after\\par "
            "\\pard Last\\par "
            "\\pard Two: {\\chbrdr\\brdrs\\brdrw10 AAA}{\\b\\chbrdr\\brdrs\\brdrw10 BBB} end\\par "
            "\\pard {\\chbrdr\\brdrs\\brdrw10\\brsp80 SPACED} {\\chbrdr\\brdrnone\\brdrcf1 NONE}\\par "
            "\\pard {\\chbrdr\\brdrth\\brdrw10 THICK}\\par ",
            "\\froman Liberation Serif");
        const auto drawn = record(s, 0);
        const auto x = [&](const QString& start) {
            const auto found = drawn->textsStarting(start);
            return found.empty() ? -1.0 : found.front().baseline.x();
        };
        const auto pt = [](double layout) { return layout * 72 / kLayoutDpi; };
        const auto near = [](double ours, double theirs) {
            return qAbs(ours - theirs) < 0.15 ? QString()
                                              : QStringLiteral("%1 pt, not %2").arg(ours).arg(theirs);
        };
        // The letters stand the rule's width (half a point) further on, the text after them twice that.
        const auto words = drawn->textsStarting(QStringLiteral("BOXED"));
        QCOMPARE(words.size(), size_t(2));
        QCOMPARE(near(pt(words[0].baseline.x() - words[1].baseline.x()), 0.5), QString());
        const auto after = drawn->textsStarting(QStringLiteral(" after"));
        QCOMPARE(after.size(), size_t(2));
        QCOMPARE(near(pt(after[0].baseline.x() - after[1].baseline.x()), 1.0), QString());
        // LibreOffice: the boxed line's baseline 11.7 pt below the margin and 14.8 pt above the next
        // line's (13.8 pt between plain lines).
        const double boxed = baselineOf(*drawn, QStringLiteral("BOXED"));
        QCOMPARE(near(pt(boxed - s.bodyTop()), 11.7), QString());
        QCOMPARE(near(pt(baselineOf(*drawn, QStringLiteral("Next")) - boxed), 14.3), QString());
        QCOMPARE(near(pt(baselineOf(*drawn, QStringLiteral("Last")) - words[1].baseline.y()), 13.8),
                 QString());
        // The box: its rules' middles a quarter point inside its edges, 11.7 pt above the baseline and
        // 3.1 pt below, from where the text before ends to where the text after starts.
        const auto across = [&](double y0, double y1) {
            std::vector<Recorder::Line> found;
            for (const Recorder::Line& l : drawn->lines)
                if (l.line.y1() > y0 && l.line.y2() < y1 && l.line.y1() < y1 && l.line.y2() > y0)
                    found.push_back(l);
            return found;
        };
        const auto rules = across(boxed - twipsToLayout(300), boxed + twipsToLayout(100));
        QCOMPARE(rules.size(), size_t(4));
        double top = 1e9, foot = -1e9, left = 1e9, right = -1e9;
        for (const Recorder::Line& l : rules) {
            QCOMPARE(near(pt(l.width), 0.5), QString());
            if (l.line.dy() == 0) {
                top = qMin(top, l.line.y1());
                foot = qMax(foot, l.line.y1());
            } else {
                left = qMin(left, l.line.x1());
                right = qMax(right, l.line.x1());
            }
        }
        QCOMPARE(near(pt(boxed - top), 11.45), QString());
        QCOMPARE(near(pt(foot - boxed), 2.85), QString());
        QCOMPARE(near(pt(x(QStringLiteral("BOXED")) - left), 0.25), QString());
        QCOMPARE(near(pt(after[0].baseline.x() - right), 0.25), QString());
        // One box round both runs: no rule down between them.
        const double two = baselineOf(*drawn, QStringLiteral("AAA"));
        int down = 0;
        for (const Recorder::Line& l : across(two - twipsToLayout(300), two + twipsToLayout(100)))
            down += l.line.dx() == 0;
        QCOMPARE(down, 2);
        QCOMPARE(near(pt(x(QStringLiteral("BBB")) - x(QStringLiteral("AAA"))),
                      pt(QFontMetricsF(QFont(QStringLiteral("Liberation Serif"), 12), layoutDevice())
                             .horizontalAdvance(QStringLiteral("AAA")))),
                 QString());
        // Four points of space inside the rule; the box without a rule draws nothing.
        QCOMPARE(near(pt(x(QStringLiteral("SPACED")) - twipsToLayout(1440)), 4.5), QString());
        const double spaced = baselineOf(*drawn, QStringLiteral("SPACED"));
        QList<double> sides;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0 && qMin(l.line.y1(), l.line.y2()) < spaced &&
                qMax(l.line.y1(), l.line.y2()) > spaced)
                sides << pt(l.line.x1() - twipsToLayout(1440));
        std::sort(sides.begin(), sides.end());
        QCOMPARE(sides.size(), 2);
        QCOMPARE(near(sides[0], 0.25), QString());
        const double none = x(QStringLiteral(" NONE"));
        QVERIFY(none > 0 && sides[1] < pt(none - twipsToLayout(1440)));
        const double thick = baselineOf(*drawn, QStringLiteral("THICK"));
        QVERIFY(thick > spaced);
        for (const Recorder::Line& l : drawn->lines)
            QVERIFY(l.line.dx() != 0 || qMax(l.line.y1(), l.line.y2()) < thick - twipsToLayout(100));
    }

    void lineHeights() {
        Shown s = show("two-pages.rtf");
        const double textBottom = s.bodyTop() + s.copy.body->pageSize().height();
        // Each body line's baseline as painted, in points from its sheet's top, by page.
        std::array<QList<double>, 2> baselines;
        for (int page = 0; page < 2; ++page) {
            QList<double> ys;
            const auto drawn = record(s, page);
            for (const Recorder::Text& t : drawn->texts)
                if (t.baseline.y() < textBottom && !t.text.trimmed().isEmpty())
                    ys << t.baseline.y() * 72 / kLayoutDpi;
            std::sort(ys.begin(), ys.end());
            for (double y : ys)
                if (baselines[size_t(page)].isEmpty() || y - baselines[size_t(page)].last() > 0.2)
                    baselines[size_t(page)] << y;
        }
        // Measured once in LibreOffice 7.4's PDF of two-pages.rtf (its text positions, with the fonts
        // of tools/fresh-fonts): 32 lines on the first page, the first baseline of each page 83.2 pt
        // from the sheet's top, the last on the first page 703.0 pt.
        QCOMPARE(baselines[0].size(), 32);
        QVERIFY(!baselines[1].isEmpty());
        const auto near = [](double ours, double theirs) {
            return qAbs(ours - theirs) < 0.25 ? QString()
                                              : QStringLiteral("%1 pt, not %2").arg(ours).arg(theirs);
        };
        QCOMPARE(near(baselines[0].first(), 83.2), QString());
        QCOMPARE(near(baselines[0].last(), 703.0), QString());
        QCOMPARE(near(baselines[1].first(), 83.2), QString());
        // The third to fifth lines are one paragraph (140.8, 154.6 and 168.4 pt in LibreOffice's PDF).
        QCOMPARE(near(baselines[0][2], 140.8), QString());
        const double pitch = (baselines[0][4] - baselines[0][2]) / 2;
        QVERIFY2(qAbs(pitch - 13.8) < 0.05, qPrintable(QString::number(pitch)));
    }

    void shadingBesideSpacedRule() {
        // LibreOffice stands a side rule on the paragraph's indent and sets the text in by the rule's
        // width and space (\brsp); the shading reaches from the rule's inner edge across the space, and on
        // the right, without a rule, it ends at the indent.
        const Shown s =
            showWord("\\pard\\li720\\ri720\\brdrl\\brdrs\\brdrw30\\brsp120\\cbpat2 Shaded beside a "
                     "rule\\par \\pard\\li720 After\\par ");
        const QRectF text = onSheet(s, blockStarting(*s.copy.body, QStringLiteral("Shaded")));
        const double indent = twipsToLayout(1440 + 720);
        const auto drawn = record(s, 0);
        // The first letter of each paragraph: the ruled one's 150 twips in from the plain one's.
        const auto startOf = [&](const QString& word) {
            for (const Recorder::Text& t : drawn->texts)
                if (t.text.startsWith(word))
                    return t.baseline.x();
            return -1.0;
        };
        QVERIFY2(qAbs(startOf(QStringLiteral("After")) - indent) < 0.5,
                 qPrintable(QString::number(startOf(QStringLiteral("After")))));
        QVERIFY2(qAbs(startOf(QStringLiteral("Shaded")) - (indent + twipsToLayout(150))) < 0.5,
                 qPrintable(QString::number(startOf(QStringLiteral("Shaded")))));
        const QColor shade(255, 230, 153);
        std::vector<QRectF> fills;
        for (const Recorder::Fill& f : drawn->fills)
            if (f.color == shade)
                fills.push_back(f.rect);
        QCOMPARE(fills.size(), size_t(1));
        const QRectF& fill = fills.front();
        QVERIFY2(qAbs(fill.left() - (indent + twipsToLayout(30))) < 0.5,
                 qPrintable(QString::number(fill.left())));
        QVERIFY(qAbs(fill.right() - twipsToLayout(12240 - 1440 - 720)) < 0.5);
        QVERIFY(qAbs(fill.top() - text.top()) < 0.5);
        std::vector<Recorder::Line> rules;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dx() == 0)
                rules.push_back(l);
        QCOMPARE(rules.size(), size_t(1));
        const Recorder::Line& rule = rules.front();
        QCOMPARE(rule.width, twipsToLayout(30));
        QVERIFY2(qAbs(rule.line.x1() - rule.width / 2 - indent) < 0.5,
                 qPrintable(QString::number(rule.line.x1())));
        QVERIFY(qAbs(qMin(rule.line.y1(), rule.line.y2()) - fill.top()) < 0.5);
        QVERIFY(qAbs(qMax(rule.line.y1(), rule.line.y2()) - fill.bottom()) < 1);
        const QImage page = sheet(s, 0);
        const int y = px(text.center().y());
        QCOMPARE(page.pixelColor(px(fill.left()) + 2, y), shade);
        QCOMPARE(page.pixelColor(px(rule.line.x1() - rule.width / 2) - 2, y), QColor(Qt::white));
        QVERIFY(qGray(page.pixel(px(rule.line.x1()), y)) < 100);
    }

    // A boxed paragraph's top and bottom rules reach across its side rules, from indent to indent, and
    // its text stands in by the side rules' room on both sides.
    void boxedParagraphReachesItsIndents() {
        const Shown s = showWord("\\pard\\li720\\ri720\\box\\brdrs\\brdrw60\\brsp240 Boxed words that run on "
                                 "and on to a second line, and on and on to a third line of the box, "
                                 "and then a little further still\\par ");
        const double left = twipsToLayout(1440 + 720), right = twipsToLayout(12240 - 1440 - 720);
        const auto drawn = record(s, 0);
        int spans = 0;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0) {
                ++spans;
                QVERIFY2(qAbs(qMin(l.line.x1(), l.line.x2()) - left) < 0.5,
                         qPrintable(QString::number(l.line.x1())));
                QVERIFY(qAbs(qMax(l.line.x1(), l.line.x2()) - right) < 0.5);
            } else if (l.line.dx() == 0) {
                const double x = l.line.x1();
                QVERIFY2(qAbs(x - left - l.width / 2) < 0.5 || qAbs(x - right + l.width / 2) < 0.5,
                         qPrintable(QString::number(x)));
            }
        QCOMPARE(spans, 2);
        // The text's lines keep 15 points (the rule's 3 and its space's 12) from each indent.
        const QTextBlock b = blockStarting(*s.copy.body, QStringLiteral("Boxed"));
        QVERIFY(b.layout()->lineCount() >= 2);
        const QRectF text = onSheet(s, b);
        for (const Recorder::Text& t : drawn->texts)
            if (t.baseline.y() > text.top() && t.baseline.y() < text.bottom()) {
                QVERIFY2(t.baseline.x() >= left + twipsToLayout(300) - 0.5,
                         qPrintable(QString::number(t.baseline.x())));
                QVERIFY(t.baseline.x() < right - twipsToLayout(300));
            }
        QVERIFY(text.width() <= right - left - 2 * twipsToLayout(300) + 0.5);
    }

    // Two boxed paragraphs whose rules differ (the second's are shadowed, \brdrsh) are two boxes: the
    // first's bottom rule and the second's top rule both take their room, and touch. The shadow takes
    // the rule's width again below the box.
    void boxesOneAboveAnother() {
        const Shown s = showWord("\\pard\\box\\brdrs\\brdrw20\\brsp40 One\\par "
                                 "\\pard\\box\\brdrsh\\brdrs\\brdrw20\\brsp40 Two\\par \\pard After\\par ");
        const QTextDocument& doc = *s.copy.body;
        const QRectF one = onSheet(s, blockStarting(doc, QStringLiteral("One")));
        const QRectF two = onSheet(s, blockStarting(doc, QStringLiteral("Two")));
        const QRectF after = onSheet(s, blockStarting(doc, QStringLiteral("After")));
        const double line = textBottom(blockStarting(doc, QStringLiteral("One")), one) - one.top();
        QVERIFY2(qAbs(two.top() - one.top() - line - twipsToLayout(2 * (40 + 20))) < 0.5,
                 qPrintable(QString::number(two.top() - one.top() - line)));
        QVERIFY2(qAbs(after.top() - two.top() - line - twipsToLayout(40 + 20 + 20)) < 0.5,
                 qPrintable(QString::number(after.top() - two.top() - line)));
        const auto drawn = record(s, 0);
        QList<double> across;
        for (const Recorder::Line& l : drawn->lines)
            if (l.line.dy() == 0)
                across << l.line.y1();
        std::sort(across.begin(), across.end());
        QCOMPARE(across.size(), 4);
        QVERIFY2(qAbs(across[2] - across[1] - twipsToLayout(20)) < 0.5,
                 qPrintable(QString::number(across[2] - across[1])));
    }

    // LibreOffice kerns every pair unless kerning is turned off outright (\kerning0), whatever size
    // \kerning names: in its PDF the line below is 111.1 points wide kerned and 124.5 points not.
    void kerningAsLibreOfficeSetsIt() {
        const Shown s = showWord("\\pard AVAVAV WAWA Tatze\\par \\pard\\kerning0 AVAVAV WAWA Tatze\\par "
                                 "\\pard\\kerning28 AVAVAV WAWA Tatze\\par ");
        const QTextDocument& doc = *s.copy.body;
        QVERIFY(doc.blockCount() >= 3);
        const auto width = [&](int block) {
            return doc.findBlockByNumber(block).layout()->lineAt(0).naturalTextWidth() * 72 / kLayoutDpi;
        };
        for (const auto& [block, expected] : {std::pair{0, 111.1}, std::pair{1, 124.5}, std::pair{2, 111.1}})
            QVERIFY2(qAbs(width(block) - expected) < 0.3,
                     qPrintable(QStringLiteral("paragraph %1: %2 pt").arg(block).arg(width(block))));
    }

    // A letter naming more families than the layout takes on still prints a known face in the face
    // that stands for it, and an unknown one in the letter's default family.
    void familiesPastTheCap() {
        QByteArray fonts = "{\\rtf1\\deff0{\\fonttbl{\\f0 Arial;}";
        QByteArray text;
        for (int i = 1; i <= 40; ++i) {
            fonts += "{\\f" + QByteArray::number(i) + " Face" + QByteArray::number(i) + ";}";
            text += "\\f" + QByteArray::number(i) + " x";
        }
        fonts += "{\\f41 Times New Roman;}{\\f42 Face42;}}";
        const auto t = std::make_shared<const Template>(
            readRtf(fonts + text + "\\f41 Roman\\f42 Other\\par}", QStringLiteral("f.rtf")));
        const PageCopy copy = Merger(t, nullptr).next();
        QStringList roman, other;
        for (auto it = copy.body->firstBlock().begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(QLatin1String("Roman")))
                roman = it.fragment().charFormat().font().families();
            if (it.fragment().text().contains(QLatin1String("Other")))
                other = it.fragment().charFormat().font().families();
        }
        QCOMPARE(roman.size(), 1);
        QVERIFY2(roman.at(0).compare(QLatin1String("Liberation Serif"), Qt::CaseInsensitive) == 0,
                 qPrintable(roman.join(',')));
        QCOMPARE(other, QStringList{QStringLiteral("Arial")});
    }

    // Letters are never joined: Carlito's "ti" and "fj" are glyphs no character stands for, and the
    // "ffi" and "fl" of DejaVu, Liberation and Carlito read back from a PDF as ligature characters, not
    // as the letters; the text stays in one piece, kerned.
    void lettersAreNotJoined() {
        for (const QByteArray& face :
             {QByteArray("\\fswiss Calibri"), QByteArray("\\fswiss DejaVu Sans"),
              QByteArray("\\fswiss Arial"), QByteArray("\\froman Times New Roman")}) {
            const Shown s = showWord("\\pard Etiam fjord office fluffy AV To\\par ", face);
            const QTextBlock b = s.copy.body->firstBlock();
            QVERIFY2(b.begin().fragment().length() == b.length() - 1, face.constData());
            const QFont font = b.begin().fragment().charFormat().font();
            QVERIFY(font.kerning());
            // Laid out on its own: a block's layout keeps no glyphs once its lines are placed.
            QVERIFY2(glyphsOf(b.text(), font, layoutDevice()).size() == b.text().size(), face.constData());
        }
    }
};

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
