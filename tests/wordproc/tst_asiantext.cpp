#include "DocxSamples.h"
#include "Rendering.h"
#include "platform/Fonts.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

// A Word 2007+ letter of `body` in 10-point Liberation Serif, its East Asian text in the face Qt finds.
Shown showDocx(const QByteArray& body) {
    using namespace docxsamples;
    const QByteArray styles = "<w:styles " + kW +
                              "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" "
                              "w:hAnsi=\"Liberation Serif\"/><w:sz w:val=\"20\"/></w:rPr></w:rPrDefault>"
                              "</w:docDefaults></w:styles>";
    Shown s;
    s.t = std::make_shared<const Template>(readDocx(
        zipParts(package(document(body), {{"styles", "styles.xml", styles}})), QStringLiteral("a.docx")));
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
        // 漢字CCC漢字12かな: after 字 (1), the last C (4), 字 (6) and 2 (8); 漢 (0) and 1 (7) are set close.
        QVERIFY2(qAbs(wider(s, "漢字CCC", 1, 0) - 2) < 0.05,
                 qPrintable(QString::number(wider(s, "漢字CCC", 1, 0))));
        QVERIFY(qAbs(wider(s, "漢字CCC", 4, 3) - 2) < 0.05);
        QVERIFY(qAbs(wider(s, "漢字CCC", 3, 2)) < 0.05);
        QVERIFY(qAbs(wider(s, "漢字CCC", 6, 5) - 2) < 0.05);
        QVERIFY(qAbs(wider(s, "漢字CCC", 8, 7) - 2) < 0.05);
        QVERIFY(qAbs(wider(s, "漢字CCC", 9, 0)) < 0.05);
        // Punctuation and a space keep the letters beside them close; a letter after the space is set
        // apart again.
        QVERIFY(qAbs(wider(s, "字字、", 1, 0)) < 0.05);
        QVERIFY(qAbs(wider(s, "字字、", 4, 3)) < 0.05);
        QVERIFY(qAbs(wider(s, "字字、", 7, 6) - 2) < 0.05);
        // The room follows the size of the character before it: 20-point ideographs, 4 points.
        QVERIFY(qAbs(wider(s, "大大", 1, 0) - 4) < 0.05);
        // A field's value meets the text before it as any run does.
        QVERIFY(qAbs(wider(s, "字字CC", 1, 0) - 2) < 0.05);
    }
};

QTEST_MAIN(TestAsianText)
#include "tst_asiantext.moc"
