#include "DocxSamples.h"
#include "Rendering.h"
#include "platform/Fonts.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// A Word 2007+ letter of `body` in 10-point Liberation Serif, its East Asian text in the face Qt finds;
// the theme's minor East Asian font is ＭＳ 明朝 for Japanese.
Shown showDocx(const QByteArray& body) {
    using namespace docxsamples;
    const QByteArray styles = "<w:styles " + kW +
                              "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" "
                              "w:hAnsi=\"Liberation Serif\"/><w:sz w:val=\"20\"/></w:rPr></w:rPrDefault>"
                              "</w:docDefaults></w:styles>";
    const QByteArray theme =
        "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:themeElements>"
        "<a:fontScheme name=\"F\"><a:majorFont><a:latin typeface=\"Liberation Serif\"/><a:ea typeface=\"\"/>"
        "</a:majorFont><a:minorFont><a:latin typeface=\"Liberation Serif\"/><a:ea typeface=\"\"/><a:font "
        "script=\"Jpan\" typeface=\"ＭＳ 明朝\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>";
    Shown s;
    s.t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body),
                                  {{"styles", "styles.xml", styles}, {"theme", "theme/theme1.xml", theme}})),
                 QStringLiteral("a.docx")));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

// How much wider than `other` the character at `at` of the paragraph starting with `start` is set, in
// points.
double wider(const Shown& s, const char* start, int at, int other) {
    const QTextBlock b = blockStarting(*s.copy.body, QString::fromUtf8(start));
    if (!b.isValid())
        return -100;
    const QTextLine line = b.layout()->lineAt(0);
    const auto advance = [&](int i) { return line.cursorToX(i + 1) - line.cursorToX(i); };
    return (advance(at) - advance(other)) * 72 / kLayoutDpi;
}

// The distance between the tops of the paragraphs starting with `start` and the one after it (points).
double pitch(const Shown& s, const char* start) {
    const QTextBlock b = blockStarting(*s.copy.body, QString::fromUtf8(start));
    if (!b.isValid() || !b.next().isValid())
        return -100;
    QAbstractTextDocumentLayout* layout = s.copy.body->documentLayout();
    return (layout->blockBoundingRect(b.next()).top() - layout->blockBoundingRect(b).top()) * 72 / kLayoutDpi;
}

} // namespace

class TestAsianText : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { platform::useMetricCompatibleFonts(); }

    // Where ideographs or kana meet Latin letters or digits, LibreOffice sets them a fifth of the size of
    // the character before the meeting apart, across runs and fields too; not beside punctuation or
    // blanks, nor between letters of one kind.
    void asianAndLatinLettersAreSetApart() {
        using namespace docxsamples;
        const Shown s = showDocx(paragraph(run("漢字CCC漢字12かな")) + paragraph(run("字字、CC 字字C")) +
                                 paragraph(run("大大", "<w:sz w:val=\"40\"/>") + run("x")) +
                                 paragraph(run("字字") + simpleField("MERGEFIELD Name", "CC")));
        // The room (points) after a character beside another's.
        const struct {
            const char* start;
            int at, other;
            double room;
        } cases[] = {{"漢字CCC", 1, 0, 2}, {"漢字CCC", 4, 3, 2}, {"漢字CCC", 3, 2, 0}, {"漢字CCC", 6, 5, 2},
                     {"漢字CCC", 8, 7, 2}, {"漢字CCC", 9, 0, 0}, {"字字、", 1, 0, 0},  {"字字、", 4, 3, 0},
                     {"字字、", 7, 6, 2},  {"大大", 1, 0, 4},    {"字字CC", 1, 0, 2}};
        for (const auto& c : cases)
            QVERIFY2(qAbs(wider(s, c.start, c.at, c.other) - c.room) < 0.05, c.start);
    }

    // LibreOffice sets East Asian text's lines as tall as the face the system gives for the font asked
    // and the text's language: for Japanese in a Japanese font that none has, Droid Sans Fallback,
    // taller than the sans-serif face that stands for a Chinese font, or where no Asian font is named.
    // A theme's font for the language's script counts as named.
    void asianLinesAreAsTallAsTheFaceForTheirLanguage() {
        using namespace docxsamples;
        const auto lines = [](const QByteArray& mark, const QByteArray& rPr) {
            return paragraph(run(mark + "漢字の行", rPr)) + paragraph(run("漢字の行", rPr));
        };
        const QByteArray ja = "<w:lang w:eastAsia=\"ja-JP\"/>";
        const Shown s = showDocx(
            lines("J", "<w:rFonts w:eastAsia=\"ＭＳ 明朝\"/>" + ja) +
            lines("D", "<w:rFonts w:eastAsia=\"Droid Sans Fallback\"/>") +
            lines("C", "<w:rFonts w:eastAsia=\"宋体\"/><w:lang w:eastAsia=\"zh-CN\"/>") + lines("N", ja) +
            lines("T", "<w:rFonts w:eastAsiaTheme=\"minorEastAsia\"/>" + ja) + paragraph(run("End")));
        const double droid = pitch(s, "D漢字");
        QVERIFY(qAbs(pitch(s, "J漢字") - droid) < 0.05);
        QVERIFY(qAbs(pitch(s, "T漢字") - droid) < 0.05);
        QVERIFY(pitch(s, "C漢字") < droid - 1);
        QVERIFY(qAbs(pitch(s, "C漢字") - pitch(s, "N漢字")) < 0.05);
    }

    // Ideographic spaces that end a right-aligned or centred paragraph hang past its end as Latin ones
    // do: its text stands where it would without them.
    void closingIdeographicSpacesHang() {
        using namespace docxsamples;
        for (const QByteArray align : {"right", "center"}) {
            const QByteArray jc = "<w:jc w:val=\"" + align + "\"/>";
            const Shown s = showDocx(paragraph(run("字字　　　　"), jc) + paragraph(run("字字"), jc));
            const QTextBlock spaced = s.copy.body->begin();
            const auto left = [](const QTextBlock& b) {
                return b.layout()->lineAt(0).naturalTextRect().left();
            };
            QVERIFY2(qAbs(left(spaced) - left(spaced.next())) < 0.5, align.constData());
        }
    }

    // A comma or full stop that would carry the character before it down to the next line hangs past
    // the line's end, in any alignment; brackets do not, nor two marks together, which go down whole.
    void commasAndFullStopsHangPastTheLineEnd() {
        using namespace docxsamples;
        const QByteArray rPr = "<w:rFonts w:eastAsia=\"Droid Sans Fallback\"/><w:lang w:eastAsia=\"ja-JP\"/>";
        QByteArray full;
        for (int i = 0; i < 200; ++i)
            full += "字";
        // How many characters a full line holds.
        const Shown measure = showDocx(paragraph(run(full, rPr)));
        const int n = measure.copy.body->begin().layout()->lineAt(0).textLength();
        QVERIFY(n > 10);
        QByteArray before;
        for (int i = 0; i < n - 1; ++i)
            before += "字";
        const QByteArray tail = "いろはにほへと";
        const struct {
            const char* mark;
            const char* align;
            int first; // the characters the first line holds
        } cases[] = {{"、", "left", n + 1},   {"。", "both", n + 1}, {"，", "center", n + 1},
                     {"．", "right", n + 1},  {"）", "left", n - 1}, {"」", "left", n - 1},
                     {"、。", "left", n - 1}, {"、", "left", n + 1}};
        QByteArray body;
        for (const auto& c : cases)
            body += paragraph(run(before + "く" + c.mark + tail, rPr),
                              "<w:jc w:val=\"" + QByteArray(c.align) + "\"/>");
        const Shown s = showDocx(body);
        QTextBlock b = s.copy.body->begin();
        for (const auto& c : cases) {
            const QByteArray what = QByteArray(c.mark) + " " + c.align;
            QVERIFY2(b.layout()->lineCount() == 2, what.constData());
            const QTextLine first = b.layout()->lineAt(0);
            QVERIFY2(first.textLength() == c.first, what.constData());
            // A hung mark is set at the line's end and takes no room there; one carried down keeps its own.
            const QTextLine holder = b.layout()->lineAt(c.first == n + 1 ? 0 : 1);
            const double mark = holder.cursorToX(n + 1) - holder.cursorToX(n);
            QVERIFY2(c.first == n + 1 ? qAbs(mark) < 0.5 && holder.cursorToX(n) <= first.width() + 0.5
                                      : mark > 10,
                     what.constData());
            b = b.next();
        }
    }
};

QTEST_MAIN(TestAsianText)
#include "tst_asiantext.moc"
