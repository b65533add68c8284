#include "DocxSamples.h"
#include "Rendering.h"
#include "wordproc/DocxReader.h"

#include <QtTest>

using namespace wordproc;
using namespace rendering;
using namespace docxsamples;

namespace {

// The lines of the paragraph in a cell `width` twips wide (no padding) that holds `content`, as
// printed from the template.
QStringList cellLines(const QByteArray& content, int width) {
    const QByteArray w = QByteArray::number(width);
    const QByteArray body =
        "<w:tbl><w:tblPr><w:tblW w:w=\"" + w +
        "\" w:type=\"dxa\"/><w:tblLayout w:type=\"fixed\"/><w:tblCellMar><w:left w:w=\"0\" "
        "w:type=\"dxa\"/><w:right w:w=\"0\" w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol "
        "w:w=\"" +
        w + "\"/></w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"" + w + "\" w:type=\"dxa\"/></w:tcPr>" +
        paragraph(content) + "</w:tc></w:tr></w:tbl>";
    const auto t = std::make_shared<const Template>(
        readDocx(zipParts(package(document(body))), QStringLiteral("f.docx")));
    PageCopy copy = Merger(t, nullptr).next();
    copy.body->documentLayout()->documentSize();
    QStringList out;
    for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next()) {
        if (!QTextCursor(b).currentTable() || b.text().trimmed().isEmpty())
            continue;
        for (int i = 0; i < b.layout()->lineCount(); ++i) {
            const QTextLine line = b.layout()->lineAt(i);
            out << b.text().mid(line.textStart(), line.textLength()).remove(QChar(0x200B));
        }
    }
    return out;
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
};

QTEST_MAIN(TestFieldBreaks)
#include "tst_fieldbreaks.moc"
