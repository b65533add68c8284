#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QRawFont>
#include <QtTest>
#include <cmath>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

// The template of a cell `width` twips wide, `margin` twips of padding either side, that holds the
// paragraph `content`, printed.
PageCopy cellCopy(const QByteArray& content, int width, int margin = 0) {
    const QByteArray w = QByteArray::number(width), m = QByteArray::number(margin);
    const QByteArray body = "<w:tbl><w:tblPr><w:tblW w:w=\"" + w +
                            "\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/><w:tblCellMar><w:left w:w=\"" +
                            m + "\" w:type=\"dxa\"/><w:right w:w=\"" + m +
                            "\" w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol "
                            "w:w=\"" +
                            w + "\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"" + w +
                            "\" w:type=\"dxa\"/></w:tcPr>" + paragraph(content) + "</w:tc></w:tr></w:tbl>";
    const auto t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body))), QStringLiteral("f.docx")));
    PageCopy copy = Merger(t, nullptr).next();
    copy.body->documentLayout()->documentSize();
    return copy;
}

// The cell's paragraphs, as `cellCopy` prints them.
std::vector<QTextBlock> cellBlocks(const PageCopy& copy) {
    std::vector<QTextBlock> out;
    for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
        if (QTextCursor(b).currentTable() && !b.text().trimmed().isEmpty())
            out.push_back(b);
    return out;
}

// The lines of the paragraph in a cell `width` twips wide (`margin` twips of padding either side) that
// holds `content`, as printed from the template.
QStringList cellLines(const QByteArray& content, int width, int margin = 0) {
    const PageCopy copy = cellCopy(content, width, margin);
    QStringList out;
    for (const QTextBlock& b : cellBlocks(copy)) {
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            out << b.text().mid(line.textStart(), line.textLength()).remove(QChar(0x200B));
        }
    }
    return out;
}

// How wide `text` is set in `font` at the face's own advances, in twips, uncut by any device's pixels.
double ownWidthTwips(const QFont& font, const QString& text) {
    constexpr double kPixels = 4096;
    QRawFont raw = QRawFont::fromFont(font);
    raw.setPixelSize(kPixels);
    double sum = 0;
    for (const QPointF& a : raw.advancesForGlyphIndexes(raw.glyphIndexesForString(text)))
        sum += a.x();
    return sum * font.pointSizeF() * 20 / kPixels;
}

QByteArray mergeField(const QByteArray& name, const QByteArray& shown) {
    return complexField("MERGEFIELD " + name, shown);
}

} // namespace

class TestFieldBreaks : public QObject {
    Q_OBJECT

private slots:
    // A word of fields and text too long for its cell breaks, in LibreOffice, a character before the
    // last edge of a field that fits on the line: not where the room runs out, nor at the edge itself.
    // A word that does not reach a field's edge, or a line that starts within a field, breaks where the
    // room runs out.
    void overlongWordBreaksBeforeFieldEdge() {
        const QByteArray products = mergeField("TableStart:Products", "\xC2\xABTableStart:Products\xC2\xBB");
        const QByteArray position = mergeField("Position", "\xC2\xABPosition\xC2\xBB");
        // Wide enough for the first field, not for both.
        QStringList lines = cellLines(products + position, 2600);
        QCOMPARE(lines.value(0), QStringLiteral("\u00ABTableStart:Products"));
        QCOMPARE(lines.value(1), QStringLiteral("\u00BB\u00ABPosition\u00BB"));
        // Text before a field: the text's last letter goes down with the field.
        lines = cellLines(run("CCCCCCCCCCCC") + mergeField("Model", "AAAAAAAAAAAAAAAA"), 2600);
        QCOMPARE(lines.value(0), QStringLiteral("CCCCCCCCCCC"));
        QVERIFY(lines.value(1).startsWith(QStringLiteral("CA")));
        // Text after a field.
        lines = cellLines(mergeField("Model", "AAAAAAAAAAA") + run("CCCCCCCCCCCCCCCCCC"), 2600);
        QCOMPARE(lines.value(0), QStringLiteral("AAAAAAAAAA"));
        QVERIFY(lines.value(1).startsWith(QStringLiteral("AC")));
        // One long field, its own line full.
        const QString model(40, QLatin1Char('A'));
        lines = cellLines(mergeField("Model", model.toLatin1()), 2600);
        QVERIFY(lines.size() > 1);
        QCOMPARE(lines.join(QString()), model);
        QVERIFY(lines.value(1).size() >= lines.value(0).size() - 1);
        // A space before the word still breaks the line there.
        lines = cellLines(run("Dear ") + products + position, 2600);
        QCOMPARE(lines.value(0), QStringLiteral("Dear "));
    }

    // Qt sets each letter a little short of its face's own advance, and a long word a twip or two
    // narrower than LibreOffice, which measures it at those advances and rounds it to whole 720ths of
    // an inch: in a cell just too narrow for it there, the word breaks as there. Cells a twip apart
    // around the word's width, their text's room between Word's default margins: it keeps to one line
    // from the first that holds it so measured.
    void wordJustWiderThanItsCellBreaks() {
        constexpr int kMargin = 108;
        const QString word(60, QLatin1Char('x'));
        const PageCopy probe = cellCopy(run(word.toLatin1()), 6000);
        const std::vector<QTextBlock> blocks = cellBlocks(probe);
        QCOMPARE(blocks.size(), size_t(1));
        const QFont font = blocks.front().begin().fragment().charFormat().font();
        const int holds = int(2 * std::round(ownWidthTwips(font, word) / 2));
        for (int width = holds - 3; width <= holds + 2; ++width) {
            const QStringList lines = cellLines(run(word.toLatin1()), width + 2 * kMargin, kMargin);
            QVERIFY2((lines.size() == 1) == (width >= holds),
                     qPrintable(QStringLiteral("%1 lines in %2 twips, the word %3")
                                    .arg(lines.size())
                                    .arg(width)
                                    .arg(ownWidthTwips(font, word))));
        }
    }
};

QTEST_MAIN(TestFieldBreaks)
#include "tst_fieldbreaks.moc"
