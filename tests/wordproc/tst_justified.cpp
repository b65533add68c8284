#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;

namespace {

const QByteArray kLong = "Unless required by applicable law or agreed to in writing, the Licensor provides "
                         "the Work on an as is basis, without warranties or conditions of any kind.";

// The paragraph `n` (from 0) of the body.
QTextBlock paragraph(const Shown& s, int n) {
    QTextBlock b = s.copy.body->begin();
    for (int i = 0; i < n && b.isValid(); ++i)
        b = b.next();
    return b;
}

// Where the text at `at` of `b` starts on its line, in layout pixels from the margin.
double xAt(const QTextBlock& b, int at) {
    return b.layout()->lineForTextPosition(at).cursorToX(at);
}

double xOf(const QTextBlock& b, const QString& word) {
    const int at = int(b.text().indexOf(word));
    return at < 0 ? -1 : xAt(b, at);
}

// How far short of its width line `index` of `b` ends (its closing blanks and line break left out).
double shortOf(const QTextBlock& b, int index) {
    const QTextLine line = b.layout()->lineAt(index);
    const QString text = b.text();
    int end = line.textStart() + line.textLength();
    while (end > line.textStart() && (text.at(end - 1).isSpace() || text.at(end - 1) == QChar::LineSeparator))
        --end;
    return line.x() + line.width() - line.cursorToX(end);
}

// A Word 2007+ letter of `body` in 12-point Liberation Serif, with the settings given.
Shown showDocx(const QByteArray& body, const QByteArray& settings) {
    using namespace docxsamples;
    const std::vector<Related> parts{
        {"styles", "styles.xml",
         "<w:styles " + kW +
             "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Liberation Serif\" "
             "w:hAnsi=\"Liberation Serif\"/><w:sz w:val=\"24\"/></w:rPr></w:rPrDefault></w:docDefaults>"
             "</w:styles>"},
        {"settings", "settings.xml", "<w:settings " + kW + ">" + settings + "</w:settings>"}};
    Shown s;
    s.t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body), parts)), QStringLiteral("j.docx")));
    s.copy = Merger(s.t, nullptr).next();
    s.copy.body->documentLayout()->documentSize();
    return s;
}

} // namespace

class TestJustified : public QObject {
    Q_OBJECT

private slots:
    void noBreakSpacesKeepTheirWidth() {
        // A clause number set off by no-break spaces: its text starts where it would in a paragraph
        // set flush left, while the line's ordinary spaces take up its room and it ends at the margin.
        const QByteArray text = "9.\\~\\~\\~\\~\\~\\~Disclaimer of Warranty. " + kLong;
        const Shown s = showWord("\\pard\\qj " + text + "\\par\\pard " + text + "\\par");
        const QTextBlock justified = paragraph(s, 0);
        const QTextBlock left = paragraph(s, 1);
        QVERIFY(justified.layout()->lineCount() > 1);
        QVERIFY2(qAbs(xOf(justified, "Disclaimer") - xOf(left, "Disclaimer")) < 0.5,
                 qPrintable(QString::number(xOf(justified, "Disclaimer") - xOf(left, "Disclaimer"))));
        QVERIFY(xOf(justified, "Warranty") > xOf(left, "Warranty") + 1);
        QVERIFY2(qAbs(shortOf(justified, 0)) < 0.5, qPrintable(QString::number(shortOf(justified, 0))));
        // The last line is set as it stands.
        QVERIFY(shortOf(justified, justified.layout()->lineCount() - 1) > 10);
    }

    void textBeforeTheLastTabStays() {
        // The words before a line's last tab keep their spaces, and the tab its stop; the words after it
        // fill the line.
        const QByteArray text = "one two three four\\tab five six\\tab seven eight nine ten eleven twelve "
                                "thirteen fourteen fifteen sixteen seventeen eighteen nineteen.";
        const Shown s = showWord("\\pard\\qj " + text + "\\par\\pard " + text + "\\par");
        const QTextBlock justified = paragraph(s, 0);
        const QTextBlock left = paragraph(s, 1);
        for (const char* word : {"four", "five", "six", "seven"})
            QVERIFY2(qAbs(xOf(justified, word) - xOf(left, word)) < 0.5, word);
        QVERIFY(xOf(justified, "nine") > xOf(left, "nine") + 1);
        QVERIFY2(qAbs(shortOf(justified, 0)) < 0.5, qPrintable(QString::number(shortOf(justified, 0))));
    }

    void linesBrokenByHandAreJustified() {
        // A line that ends in a manual break fills the line too, in RTF whether or not the file asks
        // not to (LibreOffice reads no such setting from RTF)...
        const QByteArray text = "Short line ended by a manual break\\line " + kLong;
        for (const QByteArray& setting : {QByteArray(), QByteArray("\\expshrtn")}) {
            const Shown s = showWord(setting + "\\pard\\qj " + text + "\\par");
            const QTextBlock b = paragraph(s, 0);
            QCOMPARE(b.layout()->lineCount(), 3);
            QVERIFY2(qAbs(shortOf(b, 0)) < 0.5, qPrintable(QString::number(shortOf(b, 0))));
            QVERIFY(shortOf(b, 2) > 10);
        }
        // ...and in a Word 2007+ document unless its settings say not to.
        const QByteArray body = "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:t>Short line ended by a "
                                "manual break</w:t></w:r><w:r><w:br/></w:r><w:r><w:t>" +
                                kLong + "</w:t></w:r></w:p>";
        const Shown expanded = showDocx(body, {});
        QVERIFY2(qAbs(shortOf(paragraph(expanded, 0), 0)) < 0.5,
                 qPrintable(QString::number(shortOf(paragraph(expanded, 0), 0))));
        const Shown kept = showDocx(body, "<w:compat><w:doNotExpandShiftReturn/></w:compat>");
        QVERIFY(shortOf(paragraph(kept, 0), 0) > 100);
        QVERIFY2(qAbs(shortOf(paragraph(kept, 0), 1)) < 0.5,
                 qPrintable(QString::number(shortOf(paragraph(kept, 0), 1))));
    }
};

QTEST_MAIN(TestJustified)
#include "tst_justified.moc"
