// Templates and merge data made to hurt: lengths near the int limits, control words that multiply
// memory, input that makes naive code quadratic, and documents longer than Qt's layout can measure.
// Built with the asan preset, any overflow here halts the test.
#include "Samples.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/RtfReader.h"
#include "wordproc/Twips.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtTest>

using namespace wordproc;
using samples::failureNumber;

namespace {

Template read(const QByteArray& body, const QByteArray& mailMerge = {}) {
    return readRtf(samples::rtfHead(mailMerge) + body + "}", "t.dot");
}

std::vector<const Row*> rows(const Story& s) {
    std::vector<const Row*> out;
    for (const Block& b : s.blocks)
        if (const Table* t = std::get_if<Table>(&b))
            for (const Row& r : t->rows)
                out.push_back(&r);
    return out;
}

// Paints every copy to a PDF file as a print does; returns the pages painted.
int paintToPdf(Merger& merger, const PageSetup& page, const QString& file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    PageWriter writer(printer, page);
    writer.begin();
    while (!merger.atEnd())
        writer.write(merger.next());
    writer.end();
    return writer.pagesWritten();
}

} // namespace

class TestHostile : public QObject {
    Q_OBJECT

private slots:
    // Lengths near INT_MAX are held within what paper can hold; what is laid out and painted stays
    // where it belongs.
    void extremeLengths() {
        const QDir dir(QStringLiteral(QM_SOURCE_DIR "/tests/wordproc/hostile"));
        const QStringList files = dir.entryList({"*.rtf"});
        QCOMPARE(files.size(), 6);
        QTemporaryDir out;
        for (const QString& name : files) {
            const auto t = std::make_shared<const Template>(readTemplateFile(dir.filePath(name)));
            const PageSetup& pg = t->page;
            QVERIFY2(qint64(pg.leftTwips) + pg.rightTwips <= pg.widthTwips - 720, qPrintable(name));
            QVERIFY2(qint64(pg.topTwips) + pg.bottomTwips <= pg.heightTwips - 720, qPrintable(name));
            for (const Row* row : rows(t->body)) {
                int last = row->leftTwips;
                for (const Cell& cell : row->cells) {
                    // In order, and never past the widest paper.
                    QVERIFY2(cell.rightTwips >= last && cell.rightTwips <= kMaxTwips, qPrintable(name));
                    last = cell.rightTwips;
                }
            }
            Merger shown(t, nullptr);
            QVERIFY2(paintToPdf(shown, pg, out.filePath(name + ".pdf")) >= 1, qPrintable(name));
        }
        const Template picture = readTemplateFile(dir.filePath("picture-width.rtf"));
        QCOMPARE(picture.pictures.at(0).widthTwips, kMaxTwips); // not wrapped round to a sliver
        QCOMPARE(picture.pictures.at(0).heightTwips, 15);

        // A tab stop left of a huge indent lies left of it, far from anything wrapped round.
        const auto tab = std::make_shared<const Template>(readTemplateFile(dir.filePath("tab-indent.rtf")));
        const auto doc = Merger(tab, nullptr).all("tab");
        const QList<QTextOption::Tab> tabs = doc->copies.at(0).body->begin().blockFormat().tabPositions();
        QCOMPARE(tabs.size(), 1);
        QCOMPARE(tabs.at(0).position, twipsToLogical(-9.0 - kMaxTwips));
    }

    // What a template takes follows what it holds, not products of its control words.
    void memoryFollowsContent() {
        // 10,000 cell edges, then 4,000 rows of one cell: each row keeps room for one cell only.
        QByteArray cells = "\\trowd";
        for (int i = 1; i <= 10000; ++i)
            cells += "\\cellx" + QByteArray::number(i * 10);
        for (int i = 0; i < 4000; ++i)
            cells += "\\intbl a\\cell\\row ";
        const Template wide = read(cells + "\\pard\\par ");
        const auto wideRows = rows(wide.body);
        QCOMPARE(wideRows.size(), size_t(4000));
        for (const Row* row : wideRows)
            QVERIFY(row->cells.size() == 1 && row->cells.capacity() == 1);

        // More cells than a row holds: the rest of the text goes into the last one.
        QByteArray many = "\\trowd\\cellx1000";
        for (int i = 1; i <= 70; ++i)
            many += "\\intbl c" + QByteArray::number(i) + "\\cell ";
        const Template crowded = read(many + "\\row\\pard\\par ");
        const Row& row = *rows(crowded.body).at(0);
        QCOMPARE(row.cells.size(), size_t(63));
        QCOMPARE(row.cells.back().paragraphs.size(), size_t(8));
        QCOMPARE(row.cells.back().paragraphs.back().runs.at(0).text, QStringLiteral("c70"));
        // The same without a row end: the row the reader closes for it holds no more either.
        const Template unended = read(many + "\\intbl c71\\par\\pard\\par ");
        const Row& open = *rows(unended.body).at(0);
        QCOMPARE(open.cells.size(), size_t(63));
        QCOMPARE(open.cells.back().paragraphs.back().runs.at(0).text, QStringLiteral("c71"));

        // 500,000 tab stops, then 2,000 paragraphs, each opening a group.
        QByteArray tabs;
        for (int i = 0; i < 500000; ++i)
            tabs += "\\tx" + QByteArray::number(i % 9000);
        for (int i = 0; i < 2000; ++i)
            tabs += "{p}\\par ";
        const Template tabbed = read(tabs);
        QCOMPARE(tabbed.body.blocks.size(), size_t(2000));
        for (const Block& b : tabbed.body.blocks)
            QVERIFY(std::get<Paragraph>(b).format.tabs.capacity() <= 64);
    }

    // Fonts, fields and data lines cost time in proportion to their number: naive code takes minutes
    // here and runs into the test's time-out.
    void linearInFontsFieldsAndLines() {
        // 100,000 fonts each used once, in one paragraph.
        QByteArray fonts = "{\\rtf1\\deff0{\\fonttbl";
        QByteArray text;
        for (int i = 0; i < 100000; ++i) {
            fonts += "{\\f" + QByteArray::number(i) + " Face" + QByteArray::number(i) + ";}";
            text += "\\f" + QByteArray::number(i) + " x";
        }
        const auto manyFonts =
            std::make_shared<const Template>(readRtf(fonts + "}" + text + "\\par}", "f.dot"));
        QCOMPARE(manyFonts->formats.size(), size_t(100001));
        const auto shown = Merger(manyFonts, nullptr).all("fonts");
        QCOMPARE(shown->plainText(), QString(100000, QLatin1Char('x')));
        QVERIFY(shown->copies.at(0).body->allFormats().size() < 100); // the layout meets a few fonts

        // 100,000 merge fields in one paragraph, each naming a field of its own.
        QByteArray fields;
        QStringList header, values;
        for (int i = 0; i < 100000; ++i) {
            fields += samples::mergeField("F" + QByteArray::number(i)) + " ";
            header << QStringLiteral("F%1").arg(i);
            values << QString::number(i % 10);
        }
        const auto manyFields = std::make_shared<const Template>(read(fields + "\\par "));
        Merger merger(manyFields, DataSource::parse(samples::dataFile(header, {values}), "d.txt"));
        const QString merged = merger.next().body->toPlainText();
        QCOMPARE(merged.size(), 200000);
        QVERIFY(merged.startsWith("0 1 2 3") && merged.endsWith("7 8 9 "));

        // A value that opens a quote and never closes it takes the rest of the file, once.
        QByteArray lines = "\"Name\"\t\"City\"\r\n\"OPEN\r\n";
        for (int i = 0; i < 200000; ++i)
            lines += "line " + QByteArray::number(i) + "\r\n";
        const auto open = DataSource::parse(lines, "open.txt");
        QCOMPARE(open->recordCount(), 1);
        QVERIFY(open->value(0, 0).endsWith("line 199999"));
    }

    // Past some 12,900 pages Qt's layout wraps round and the document printed as one blank page.
    void documentsOfAnyLength() {
        // A call list of 13,500 names, a page each: every page is there and painted.
        QList<QStringList> records;
        for (int i = 1; i <= 13500; ++i)
            records << QStringList{QStringLiteral("NAME %1").arg(i)};
        const auto source = DataSource::parse(samples::dataFile({"Cust_Name"}, records), "call.txt");
        const auto catalog = std::make_shared<const Template>(
            read("\\pard\\pagebb " + samples::mergeField("Cust_Name") + "\\par ", "\\mmmaintypecatalog"));
        const auto doc = Merger(catalog, source).all("calls");
        QVERIFY(doc->copies.size() > 1);
        QCOMPARE(doc->pageCount(), 13500);
        const QStringList pages = doc->plainText().split('\n');
        QCOMPARE(pages.size(), 13500);
        QCOMPARE(pages.back(), QStringLiteral("NAME 13500"));
        QTemporaryDir out;
        Merger printed(catalog, source);
        QCOMPARE(paintToPdf(printed, catalog->page, out.filePath("calls.pdf")), 13500);

        // Without page breaks a piece ends where a record starts a page, so the pages come out as one
        // long document's would: full, but for the last; and they are numbered as one document's.
        QList<QStringList> lines;
        for (int i = 1; i <= 60000; ++i)
            lines << QStringList{QStringLiteral("LINE %1").arg(i)};
        const QByteArray pageOf = "Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} of "
                                  "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 9}}";
        const auto flowing = std::make_shared<const Template>(
            read("{\\footer \\pard " + pageOf + "\\par}\\pard " + samples::mergeField("Cust_Name") + "\\par ",
                 "\\mmmaintypecatalog"));
        const auto list =
            Merger(flowing, DataSource::parse(samples::dataFile({"Cust_Name"}, lines), "l.txt")).all("l");
        QVERIFY(list->copies.size() > 1);
        int perPage = 0;
        for (QTextBlock b = list->copies.at(0).body->begin(); b.isValid(); b = b.next())
            perPage += list->copies.at(0).body->documentLayout()->blockBoundingRect(b).bottom() <=
                       list->copies.at(0).body->pageSize().height();
        const int total = (60000 + perPage - 1) / perPage;
        QCOMPARE(list->pageCount(), total);
        QImage sheet(8, 8, QImage::Format_RGB32);
        const auto footerOn = [&](const PageCopy& copy, int index) {
            QPainter painter(&sheet);
            paintSheet(painter, copy, index, flowing->page);
            return copy.footer->toPlainText();
        };
        const PageCopy& second = list->copies.at(1);
        const int before = list->copies.at(0).pageCount();
        QCOMPARE(footerOn(list->copies.at(0), 0), QStringLiteral("Page 1 of %1").arg(total));
        QCOMPARE(footerOn(second, 0), QStringLiteral("Page %1 of %2").arg(before + 1).arg(total));
        QCOMPARE(footerOn(list->copies.back(), list->copies.back().pageCount() - 1),
                 QStringLiteral("Page %1 of %1").arg(total));

        // One letter too long for any layout fails, naming the template, rather than print blank.
        QByteArray endless;
        for (int i = 0; i < 13500; ++i)
            endless += "p\\page ";
        QString why;
        const auto letter = std::make_shared<const Template>(read(endless + "\\par "));
        QCOMPARE(failureNumber([&] { Merger(letter, nullptr).all("long"); }, &why), errors::DocumentTooLong);
        QVERIFY2(why.contains("t.dot") && why.contains("too long"), qPrintable(why));
    }
};

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
