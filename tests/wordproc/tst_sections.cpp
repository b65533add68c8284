// Sections of their own: a later section's paper and margins, its body below its own header, page
// numbers that run on across sections, and text set in columns.
#include "DocxSamples.h"
#include "Sheets.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextTable>
#include <QtTest>

using namespace wordproc;

namespace {

// Letter paper with one-inch margins.
const QByteArray kHead =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\froman Liberation Serif;}}\\paperw12240\\paperh15840"
    "\\margl1440\\margr1440\\margt1440\\margb1440 ";

std::shared_ptr<const Template> rtf(const QByteArray& body) {
    return std::make_shared<const Template>(readRtf(kHead + body + "}", "sections.rtf"));
}

std::shared_ptr<MergedDocument> merged(const QByteArray& body) {
    return Merger(rtf(body), nullptr).all(QStringLiteral("sections"));
}

// `count` one-line paragraphs of exactly 12 points.
QByteArray filler(int count, const QByteArray& word = "Filler") {
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += "\\pard\\sl-240\\slmult0 " + word + " " + QByteArray::number(i) + "\\par ";
    return out;
}

// Sheet `index` of `copy` at a quarter of the layout's resolution.
QImage sheetImage(const PageCopy& copy, int index, const PageSetup& page) {
    return sheets::paint(copy, index, page, kLayoutDpi * 0.25);
}

// Whether any pixel between columns `x0` and `x1` (inches from the sheet's left edge) is dark.
bool inkBetween(const QImage& image, double x0, double x1) {
    const double dpi = kLayoutDpi * 0.25;
    for (int y = 0; y < image.height(); ++y)
        for (int x = int(x0 * dpi); x < int(x1 * dpi) && x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

// The paper of each page of a PDF, width and height in points, as its page objects give them.
QList<QSizeF> mediaBoxes(const QByteArray& pdf) {
    QList<QSizeF> out;
    static const QRegularExpression box(
        QStringLiteral("/MediaBox\\s*\\[\\s*([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s+([-\\d.]+)\\s*\\]"));
    for (auto it = box.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out << QSizeF(m.captured(3).toDouble() - m.captured(1).toDouble(),
                      m.captured(4).toDouble() - m.captured(2).toDouble());
    }
    return out;
}

// Where the block holding `text` stands in `doc`, table cells included; an empty rectangle when none does.
QRectF placeOfText(const QTextDocument& doc, const QString& text) {
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.text().contains(text))
            return doc.documentLayout()->blockBoundingRect(b);
    return {};
}

} // namespace

class TestSections : public QObject {
    Q_OBJECT

private slots:
    // A landscape section between portrait ones is laid out and printed on its own paper.
    void landscapeSectionHasItsOwnSheet() {
        const auto doc = merged("Portrait text\\par \\sect\\sectd\\lndscpsxn\\pgwsxn15840\\pghsxn12240"
                                "\\marglsxn720\\margrsxn720 Landscape text\\par \\sect\\sectd\\pgwsxn12240"
                                "\\pghsxn15840 Portrait again\\par ");
        QCOMPARE(doc->copies.size(), size_t(1));
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.pageCount(), 3);
        QCOMPARE(copy.parts.size(), size_t(2));
        QCOMPARE(sheetPage(copy, 0, doc->page).widthTwips, 12240);
        QCOMPARE(sheetPage(copy, 1, doc->page).widthTwips, 15840);
        QCOMPARE(sheetPage(copy, 1, doc->page).heightTwips, 12240);
        QCOMPARE(sheetPage(copy, 2, doc->page).widthTwips, 12240);
        // The landscape body is as wide as its own paper less its own margins.
        QCOMPARE(copy.parts[0].body->pageSize().width(), twipsToLayout(15840 - 1440));
        QVERIFY(copy.parts[0].body->toPlainText().contains(QStringLiteral("Landscape text")));
        QVERIFY(!copy.body->toPlainText().contains(QStringLiteral("Landscape text")));
        // The painted sheet carries the text on its own paper: ink well right of a portrait sheet's edge.
        const QImage wide = sheetImage(copy, 1, doc->page);
        QCOMPARE(wide.width(), qRound(twipsToLayout(15840) * 0.25));
        QVERIFY(inkBetween(wide, 0.5, 0.6));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath(QStringLiteral("sections.pdf"));
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(file);
            PageWriter writer(printer, doc->page);
            writer.begin();
            writer.write(*doc);
            writer.end();
            QCOMPARE(writer.pagesWritten(), 3);
        }
        QFile pdf(file);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        const QList<QSizeF> boxes = mediaBoxes(pdf.readAll());
        QCOMPARE(boxes.size(), 3);
        QVERIFY(qAbs(boxes[0].width() - 612) < 1 && qAbs(boxes[0].height() - 792) < 1);
        QVERIFY2(qAbs(boxes[1].width() - 792) < 1 && qAbs(boxes[1].height() - 612) < 1,
                 qPrintable(QStringLiteral("%1 x %2").arg(boxes[1].width()).arg(boxes[1].height())));
        QVERIFY(qAbs(boxes[2].width() - 612) < 1 && qAbs(boxes[2].height() - 792) < 1);
    }

    // Each section's body keeps clear of its own header only: a tall header in the second section
    // leaves the first section's text at its top margin.
    void bodyKeepsClearOfItsOwnHeader() {
        QByteArray tall;
        for (int i = 0; i < 12; ++i)
            tall += "Letterhead line " + QByteArray::number(i) + "\\par ";
        const auto doc = merged("{\\header \\pard Small\\par }First section\\par \\sect\\sectd "
                                "{\\header \\pard " +
                                tall + "}Second section\\par ");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.pageCount(), 2);
        QCOMPARE(copy.bodyTop, twipsToLayout(1440));
        QCOMPARE(copy.parts.size(), size_t(1));
        const PageCopy& second = copy.parts.front();
        // Twelve lines of 12-point text from half an inch down reach past 2.5 inches.
        QVERIFY2(second.bodyTop > twipsToLayout(720 + 12 * 240), qPrintable(QString::number(second.bodyTop)));
        // And each sheet shows its own section's header.
        QTextDocument* first = bandOn(copy, 0, true);
        QTextDocument* later = bandOn(copy, 1, true);
        QVERIFY(first && later);
        QVERIFY(first->toPlainText().contains(QStringLiteral("Small")));
        QVERIFY(later->toPlainText().contains(QStringLiteral("Letterhead line 11")));
    }

    // PAGE and NUMPAGES count the sheets of all sections as one run.
    void pageNumbersRunAcrossSections() {
        const QByteArray number = "Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} of "
                                  "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 9}}\\par ";
        const auto doc =
            merged(filler(60) + number + "\\sect\\sectd\\lndscpsxn\\pgwsxn15840\\pghsxn12240 " + number +
                   "{\\footer \\pard Foot {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}}\\par }");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.ownSheets(), 2);
        QCOMPARE(copy.pageCount(), 3);
        QVERIFY2(copy.body->toPlainText().contains(QStringLiteral("Page 2 of 3")),
                 qPrintable(copy.body->toPlainText().right(40)));
        const PageCopy& last = copy.parts.front();
        QCOMPARE(last.firstPage, 3);
        QVERIFY(last.body->toPlainText().contains(QStringLiteral("Page 3 of 3")));
        // The footer is numbered as it is painted.
        sheetImage(copy, 2, doc->page);
        QTextDocument* foot = bandOn(copy, 2, false);
        QVERIFY(foot);
        QVERIFY2(foot->toPlainText().contains(QStringLiteral("Foot 3")), qPrintable(foot->toPlainText()));
    }

    // A body in two columns: a column's width each, the text running on into the right column, which is
    // painted right of the gap.
    void twoColumnsFillLeftThenRight() {
        // 6.5 inches of text, two columns half an inch apart: three inches each.
        const auto doc = merged("\\sectd\\cols2\\colsx720 " + filler(70, "Left") + filler(10, "Right"));
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(doc->page.columns, 2);
        QCOMPARE(copy.columns, 2);
        QCOMPARE(copy.body->pageSize().width(), twipsToLayout(4320));
        QCOMPARE(copy.pageCount(), 1);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Left 0")), 0);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Right 9")), 1);
        const QImage sheet = sheetImage(copy, 0, doc->page);
        QVERIFY(inkBetween(sheet, 1.0, 1.5));
        // Nothing in the gap (4 to 4.5 inches from the edge), text from the right column's edge on.
        QVERIFY(!inkBetween(sheet, 4.05, 4.45));
        QVERIFY(inkBetween(sheet, 4.5, 5.0));
    }

    // LibreOffice keeps the space above the paragraph that opens each column after the first on the
    // body's first sheet, its own and not the space after the paragraph before; the columns of later
    // sheets start at their tops, as pages do.
    void columnTopsOfTheFirstSheetKeepTheSpaceAbove() {
        QByteArray body = "\\sectd\\cols2\\colsx720 ";
        for (int i = 0; i < 150; ++i)
            body += "\\pard\\sb240\\sa200 Spaced " + QByteArray::number(i) + "\\par ";
        const auto doc = merged(body);
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.columns, 2);
        const QTextDocument& d = *copy.body;
        d.documentLayout()->documentSize();
        const double page = d.pageSize().height();
        // How far below its column's top each column's first line stands.
        std::vector<double> below(4, -1);
        std::vector<bool> seen(4, false);
        for (QTextBlock b = d.begin(); b.isValid(); b = b.next()) {
            // A line at a page's very top may stand a hair above it.
            const double top = lineRoomTop(b, 0);
            const int on = pageAt(top + 1, page);
            if (on < 4 && !seen[size_t(on)]) {
                seen[size_t(on)] = true;
                below[size_t(on)] = top - on * page;
            }
        }
        QVERIFY2(qAbs(below[1] - twipsToLayout(240)) < 1, qPrintable(QString::number(below[1])));
        QVERIFY2(qAbs(below[2]) < 1 && qAbs(below[3]) < 1,
                 qPrintable(QStringLiteral("%1 %2").arg(below[2]).arg(below[3])));
    }

    // A column break starts the next column; with three columns a sheet holds three of them.
    void columnBreakStartsTheNextColumn() {
        const auto doc =
            merged("\\sectd\\cols3\\colsx360\\linebetcol Alpha\\column Beta\\column Gamma\\column "
                   "Delta\\par ");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.columns, 3);
        QVERIFY(doc->page.columnRule);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Beta")), 1);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Gamma")), 2);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Delta")), 3);
        QCOMPARE(copy.pageCount(), 2);
        // A section without columns after \sectd has one.
        const auto plain = rtf("\\sectd\\cols2 One\\par \\sect\\sectd Two\\par ");
        QCOMPARE(plain->page.columns, 2);
        QCOMPARE(plain->sections.at(0).page.columns, 1);
        // A \sectd in a footer or a note belongs to no section.
        const auto pasted =
            rtf("\\sectd\\cols2\\colsx440{\\footer\\pard Page\\sectd\\cols1\\pgwsxn5000\\par }One"
                "{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} A note.\\sectd\\par }\\par ");
        QCOMPARE(pasted->page.columns, 2);
        QCOMPARE(pasted->page.columnGapTwips, 440);
        QCOMPARE(pasted->page.widthTwips, plain->page.widthTwips);
    }

    // A footnote in a body set in columns is as wide as its column; one in a landscape section as wide
    // as that section's text.
    void notesAreAsWideAsTheirColumn() {
        const QByteArray note = "{\\super\\chftn}{\\footnote\\pard\\plain\\fs20{\\super\\chftn} A note.}";
        const auto columns = merged("\\sectd\\cols2\\colsx720 Text" + note + "\\par ");
        const PageCopy& copy = columns->copies.front();
        QVERIFY(!copy.notes.empty() && !copy.notes[0].empty());
        QCOMPARE(copy.notes[0][0].text->textWidth(), twipsToLayout(4320));
        const auto wide =
            merged("Portrait\\par \\sect\\sectd\\lndscpsxn\\pgwsxn15840\\pghsxn12240 Text" + note + "\\par ");
        const PageCopy& landscape = wide->copies.front().parts.at(0);
        QVERIFY(!landscape.notes.empty() && !landscape.notes[0].empty());
        QCOMPARE(landscape.notes[0][0].text->textWidth(), twipsToLayout(15840 - 2880));
    }

    // Word 2007+ sections give their columns with w:cols; a column break ends the column.
    void wordColumnsAreRead() {
        using namespace docxsamples;
        const QByteArray cols = "<w:cols w:num=\"2\" w:space=\"708\" w:sep=\"1\"/>";
        const Template t = readDocx(
            zipParts(package(document(
                paragraph(run("One") + "<w:r><w:br w:type=\"column\"/></w:r>" + run("Two")), section(cols)))),
            QStringLiteral("columns.docx"));
        QCOMPARE(t.page.columns, 2);
        QCOMPARE(t.page.columnGapTwips, 708);
        QVERIFY(t.page.columnRule);
        const Template unequal =
            readDocx(zipParts(package(document(
                         paragraph(run("One")),
                         section("<w:cols w:equalWidth=\"0\"><w:col w:w=\"3000\" w:space=\"400\"/>"
                                 "<w:col w:w=\"2000\" w:space=\"300\"/><w:col w:w=\"1000\"/></w:cols>")))),
                     QStringLiteral("unequal.docx"));
        QCOMPARE(unequal.page.columns, 3);
        QCOMPARE(unequal.page.columnGapTwips, 400);
        PageCopy copy = Merger(std::make_shared<const Template>(t), nullptr).next();
        QCOMPARE(copy.columns, 2);
        QCOMPARE(sheets::pageOfText(*copy.body, QStringLiteral("Two")), 1);
        QCOMPARE(copy.pageCount(), 1);
    }
    // A section that runs on in two columns stands below the text before it on the same sheet, its
    // columns side by side; a column break starts the right one.
    void columnsOfASectionRunningOnShareTheSheet() {
        const auto doc = merged("Opening across the page\\par \\sect\\sectd\\sbknone\\cols2\\colsx720 "
                                "Left words\\column Right words\\par ");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.columns, 1);
        QCOMPARE(copy.pageCount(), 1);
        const QRectF opening = placeOfText(*copy.body, QStringLiteral("Opening"));
        const QRectF left = placeOfText(*copy.body, QStringLiteral("Left words"));
        const QRectF right = placeOfText(*copy.body, QStringLiteral("Right words"));
        QVERIFY(!left.isEmpty() && !right.isEmpty());
        QVERIFY(left.top() >= opening.bottom() - 1);
        QCOMPARE_LE(qAbs(right.top() - left.top()), 1.0);
        // 6.5 inches of text, two columns half an inch apart: the right one starts 3.5 inches in.
        QCOMPARE_LE(qAbs(left.left()), 1.0);
        QCOMPARE_LE(qAbs(right.left() - twipsToLayout(5040)), 1.0);
        QCOMPARE_LE(right.width(), twipsToLayout(4320) + 1);
    }

    // Without a column break, a section another one running on follows shares its text evenly among
    // its columns; the document's last section fills its first column first.
    void runningOnColumnsBalanceBeforeTheNextSection() {
        QByteArray columns = "Opening\\par \\sect\\sectd\\sbknone\\cols2\\colsx720 ";
        for (int i = 1; i <= 6; ++i)
            columns += "Paragraph " + QByteArray::number(i) +
                       " of the columns, long enough to run over "
                       "several lines in one column.\\par ";
        const auto last = merged(columns);
        const QTextDocument& lastBody = *last->copies.front().body;
        QCOMPARE_LE(qAbs(placeOfText(lastBody, QStringLiteral("Paragraph 6")).left() -
                         placeOfText(lastBody, QStringLiteral("Paragraph 1")).left()),
                    1.0);
        const auto between = merged(columns + "\\sect\\sectd\\sbknone Closing words\\par ");
        const QTextDocument& body = *between->copies.front().body;
        const QRectF first = placeOfText(body, QStringLiteral("Paragraph 1"));
        const QRectF third = placeOfText(body, QStringLiteral("Paragraph 3"));
        const QRectF fourth = placeOfText(body, QStringLiteral("Paragraph 4"));
        const QRectF sixth = placeOfText(body, QStringLiteral("Paragraph 6"));
        QCOMPARE_LE(qAbs(third.left() - first.left()), 1.0);
        QCOMPARE_LE(qAbs(fourth.left() - twipsToLayout(5040)), 1.0);
        QCOMPARE_LE(qAbs(fourth.top() - first.top()), 1.0);
        const QRectF closing = placeOfText(body, QStringLiteral("Closing words"));
        QVERIFY(closing.top() >= qMax(third.bottom(), sixth.bottom()) - 2);
        QCOMPARE_LE(qAbs(closing.left()), 1.0);
    }

    // Columns running on below other text and longer than the sheet fill the room left on the sheet,
    // the left column to the foot before the right, and go on over the next sheet, balanced there
    // before the next section.
    void runningOnColumnsLongerThanTheSheetGoOnOverTheNext() {
        const auto doc = merged(filler(21, "Opening") + "\\sect\\sectd\\sbknone\\cols2\\colsx720 " +
                                filler(100, "Column") + "\\sect\\sectd\\sbknone Closing\\par ");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.pageCount(), 2);
        const double height = copy.body->pageSize().height();
        const auto at = [&](int line) { // the page and column of line `line` of the columns
            for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
                if (b.text() == QStringLiteral("Column %1").arg(line)) {
                    const QRectF r = copy.body->documentLayout()->blockBoundingRect(b);
                    return std::pair(pageAt(r.top(), height), r.left() > twipsToLayout(4320) ? 1 : 0);
                }
            return std::pair(-1, -1);
        };
        QCOMPARE(at(0), std::pair(0, 0));
        QCOMPARE(at(31), std::pair(0, 0));
        QCOMPARE(at(34), std::pair(0, 1));
        QCOMPARE(at(64), std::pair(0, 1));
        QCOMPARE(at(68), std::pair(1, 0));
        QCOMPARE(at(81), std::pair(1, 0));
        QCOMPARE(at(85), std::pair(1, 1));
        QCOMPARE(at(99), std::pair(1, 1));
    }

    // Word 2007+ marks a section that runs on with w:type continuous; its columns are set the same way.
    void wordContinuousSectionInColumns() {
        using namespace docxsamples;
        const QByteArray ends = section().replace("<w:sectPr>", "<w:sectPr><w:cols w:space=\"720\"/>");
        const QByteArray cols = "<w:type w:val=\"continuous\"/><w:cols w:num=\"2\" w:space=\"720\"/>";
        const Template t =
            readDocx(zipParts(package(document(
                         paragraph(run("Opening")) + paragraph({}, ends) +
                             paragraph(run("One") + "<w:r><w:br w:type=\"column\"/></w:r>" + run("Two")),
                         section(cols)))),
                     QStringLiteral("continuous.docx"));
        // The empty paragraph that only ends the first section takes no line, as LibreOffice reads it.
        QCOMPARE(t.body.blocks.size(), size_t(3)); // the column break starts a block
        QCOMPARE(t.sections.back().firstBlock, 1);
        PageCopy copy = Merger(std::make_shared<const Template>(t), nullptr).next();
        QCOMPARE(copy.pageCount(), 1);
        const QRectF one = placeOfText(*copy.body, QStringLiteral("One"));
        const QRectF two = placeOfText(*copy.body, QStringLiteral("Two"));
        QCOMPARE_LE(qAbs(two.top() - one.top()), 1.0);
        QCOMPARE_LE(qAbs(two.left() - twipsToLayout(5040)), 1.0);
    }

    // A section that opens with a table keeps the empty paragraph that ends it before one that runs on,
    // as LibreOffice sets it, a line between its last table and the next; one that opens with text does
    // not, whatever comes before the paragraph.
    void emptyParagraphEndingASectionOpenedByATable() {
        using namespace docxsamples;
        const QByteArray table = "<w:tbl><w:tblGrid><w:gridCol w:w=\"4000\"/></w:tblGrid><w:tr><w:tc>" +
                                 paragraph(run("Cell")) + "</w:tc></w:tr></w:tbl>";
        const QByteArray ends = section("<w:type w:val=\"continuous\"/>");
        const auto read = [&](const QByteArray& body) {
            return readDocx(zipParts(package(document(body, ends))), QStringLiteral("sections.docx"));
        };
        const auto isParagraph = [](const Template& t, size_t i) {
            return i < t.body.blocks.size() && std::holds_alternative<Paragraph>(t.body.blocks[i]);
        };
        const QByteArray mark = paragraph({}, ends);
        const Template opened = read(table + mark + table + paragraph(run("After")));
        QCOMPARE(opened.body.blocks.size(), size_t(4));
        QVERIFY(isParagraph(opened, 1));
        QCOMPARE(opened.sections.front().firstBlock, 2);
        const Template text = read(paragraph(run("Before")) + table + mark + table + paragraph(run("After")));
        QCOMPARE(text.body.blocks.size(), size_t(4));
        QVERIFY(!isParagraph(text, 2));
        // The second section opens with a table, the first with text.
        const Template second = read(paragraph(run("Before")) + mark + table + paragraph(run("Text")) + mark +
                                     paragraph(run("End")));
        QCOMPARE(second.body.blocks.size(), size_t(5));
        QCOMPARE(second.sections.size(), size_t(2));
        QCOMPARE(second.sections[0].firstBlock, 1);
        QCOMPARE(second.sections[1].firstBlock, 4);
        QVERIFY(isParagraph(second, 3));

        // Laid out, the kept line stands between the two tables.
        PageCopy copy = Merger(std::make_shared<const Template>(opened), nullptr).next();
        QTextDocument& doc = *copy.body;
        QList<QTextTable*> tables;
        for (QTextFrame* f : doc.rootFrame()->childFrames())
            if (auto* t = qobject_cast<QTextTable*>(f))
                tables.push_back(t);
        QCOMPARE(tables.size(), 2);
        const QRectF a = doc.documentLayout()->frameBoundingRect(tables[0]);
        const QRectF b = doc.documentLayout()->frameBoundingRect(tables[1]);
        QVERIFY2(b.top() - a.bottom() > twipsToLayout(200),
                 qPrintable(QStringLiteral("%1 %2").arg(a.bottom()).arg(b.top())));

        // RTF's empty paragraph ended by \sect right after a table likewise, when the next section runs on
        // (\sbknone); not before a new page, nor after a section that opens with text.
        const QByteArray row = "\\trowd\\trgaph108\\cellx4000\\pard\\intbl Cell\\cell\\row ";
        const auto blocks = [](const std::shared_ptr<const Template>& t) {
            QString kinds;
            for (const Block& b : t->body.blocks)
                kinds += std::holds_alternative<Table>(b) ? u'T' : u'P';
            return kinds;
        };
        const auto tabled = rtf(row + "\\pard\\sect\\sectd\\sbknone " + row + "\\pard After\\par");
        QCOMPARE(blocks(tabled), QStringLiteral("TPTP"));
        QCOMPARE(tabled->sections.front().firstBlock, 2);
        QCOMPARE(blocks(rtf(row + "\\pard\\sect\\sectd " + row + "\\pard After\\par")),
                 QStringLiteral("TTP"));
        QCOMPARE(blocks(rtf("\\pard Before\\par " + row + "\\pard\\sect\\sectd\\sbknone " + row +
                            "\\pard After\\par")),
                 QStringLiteral("PTTP"));
        // An empty paragraph of its own (\par) before \sect is the one line.
        QCOMPARE(blocks(rtf(row + "\\pard\\par\\sect\\sectd\\sbknone " + row + "\\pard After\\par")),
                 QStringLiteral("TPTP"));
    }

    // An empty paragraph that only ends a section before a new page takes no line either: after a page
    // break, or below a full page, it makes no page of its own, as in LibreOffice. A section that holds
    // nothing else keeps it, and its page.
    void emptyParagraphEndingASectionMakesNoPage() {
        using namespace docxsamples;
        const QByteArray pageBreak = "<w:r><w:br w:type=\"page\"/></w:r>";
        QByteArray full;
        for (int i = 0; i < 54; ++i) // 54 lines of 12pt fill the 9-inch body exactly
            full +=
                paragraph("<w:pPr><w:spacing w:line=\"240\" w:lineRule=\"exact\" w:after=\"0\"/></w:pPr>" +
                          run("Line"));
        const auto pages = [](const QByteArray& body) {
            const Template t = readDocx(zipParts(package(document(body + paragraph(run("Next")), section()))),
                                        QStringLiteral("sections.docx"));
            return Merger(std::make_shared<const Template>(t), nullptr).next().pageCount();
        };
        QCOMPARE(pages(paragraph(run("Broken") + pageBreak) + paragraph({}, section())), 2);
        QCOMPARE(pages(full + paragraph({}, section())), 2);
        QCOMPARE(pages(paragraph(run("Own"), section()) + paragraph({}, section())), 3);
        QCOMPARE(pages(paragraph(run("Text") + pageBreak) + paragraph(run("Ends"), section())), 3);
    }

    // Columns of their own widths: each as wide as the file gives it, the gaps after them as given, the
    // text filling a column to the sheet's foot before the next, or moving on at a column break.
    void columnsOfTheirOwnWidths() {
        const auto doc = merged("\\sectd\\cols2\\colno1\\colw2880\\colsr720\\colno2\\colw5760 " + filler(60));
        const PageCopy& rtfCopy = doc->copies.front();
        QCOMPARE(rtfCopy.pageCount(), 1);
        QCOMPARE(rtfCopy.columns, 1);
        const QRectF top = placeOfText(*rtfCopy.body, QStringLiteral("Filler 0"));
        const QRectF last = placeOfText(*rtfCopy.body, QStringLiteral("Filler 53"));
        const QRectF next = placeOfText(*rtfCopy.body, QStringLiteral("Filler 54"));
        QCOMPARE_LE(qAbs(top.left()), 1.0);
        QCOMPARE_LE(qAbs(top.width() - twipsToLayout(2880)), 1.0);
        QCOMPARE_LE(qAbs(last.left()), 1.0);
        QCOMPARE_LE(qAbs(next.left() - twipsToLayout(3600)), 1.0);
        QCOMPARE_LE(qAbs(next.width() - twipsToLayout(5760)), 1.0);
        QCOMPARE_LE(qAbs(next.top() - top.top()), 1.0);

        using namespace docxsamples;
        const QByteArray cols =
            "<w:cols w:num=\"3\" w:space=\"720\" w:equalWidth=\"0\"><w:col w:w=\"2000\" "
            "w:space=\"300\"/><w:col w:w=\"3000\" w:space=\"1000\"/><w:col w:w=\"3060\"/></w:cols>";
        const QByteArray columnBreak = "<w:r><w:br w:type=\"column\"/></w:r>";
        const Template t =
            readDocx(zipParts(package(document(
                         paragraph(run("One") + columnBreak + run("Two") + columnBreak + run("Three")),
                         section(cols)))),
                     QStringLiteral("columns.docx"));
        QCOMPARE(t.page.columnWidths, (std::vector<int>{2000, 3000, 3060}));
        PageCopy copy = Merger(std::make_shared<const Template>(t), nullptr).next();
        QCOMPARE(copy.pageCount(), 1);
        const QRectF one = placeOfText(*copy.body, QStringLiteral("One"));
        const QRectF two = placeOfText(*copy.body, QStringLiteral("Two"));
        const QRectF three = placeOfText(*copy.body, QStringLiteral("Three"));
        QCOMPARE_LE(qAbs(one.left()), 1.0);
        QCOMPARE_LE(qAbs(two.left() - twipsToLayout(2300)), 1.0);
        QCOMPARE_LE(qAbs(three.left() - twipsToLayout(6300)), 1.0);
        QCOMPARE_LE(qAbs(three.top() - one.top()), 1.0);
    }

    // A section's numbers start past 1 and are written in roman numerals or letters, its own or a
    // field's \* switch after any other; the body's number as well as the footer's.
    void pageNumbersStartAndStyle() {
        const QByteArray fields = "{\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} {\\field{\\*\\fldinst PAGE "
                                  "\\\\* MERGEFORMAT \\\\* ALPHABETIC}{\\fldrslt 9}} {\\field{\\*\\fldinst "
                                  "PAGE \\\\* Arabic}{\\fldrslt 9}}";
        // LibreOffice starts RTF's numbers at 1 whatever \\pgnstarts says.
        const auto doc = merged("\\sectd\\pgnrestart\\pgnstarts4\\pgnlcrm{\\footer \\pard Foot " + fields +
                                "\\par }" + filler(60) + "\\pard Body " + fields + "\\par ");
        const PageCopy& copy = doc->copies.front();
        QCOMPARE(copy.pageCount(), 2);
        QVERIFY2(copy.body->toPlainText().contains(QStringLiteral("Body ii B 2")),
                 qPrintable(copy.body->toPlainText().right(40)));
        for (int page = 0; page < 2; ++page) {
            sheetImage(copy, page, doc->page);
            QTextDocument* foot = bandOn(copy, page, false);
            QVERIFY(foot);
            QCOMPARE(foot->toPlainText(),
                     page == 0 ? QStringLiteral("Foot i A 1") : QStringLiteral("Foot ii B 2"));
        }

        using namespace docxsamples;
        const QByteArray numbered = "<w:pgNumType w:fmt=\"upperRoman\" w:start=\"2\"/>";
        const Template t =
            readDocx(zipParts(package(
                         document(paragraph(run("Page ") + simpleField("PAGE", "1")), section(numbered)))),
                     QStringLiteral("numbered.docx"));
        QCOMPARE(t.page.pageNumberStart, 2);
        QCOMPARE(t.page.pageNumberFormat, QStringLiteral("upperRoman"));
        PageCopy one = Merger(std::make_shared<const Template>(t), nullptr).next();
        QCOMPARE(one.body->toPlainText(), QStringLiteral("Page II"));
    }

    // A later section starts its numbers anew or writes them its own way, the page count with them;
    // one that does not start anew runs on from the section before, from its start number too.
    void laterSectionsNumberTheirOwnWay() {
        const QByteArray foot = "{\\footer \\pard Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 9}} of "
                                "{\\field{\\*\\fldinst NUMPAGES}{\\fldrslt 9}}\\par }";
        const auto fromRtf =
            merged("\\sectd" + foot + "A\\par \\sect\\sectd\\sbkpage\\pgnrestart\\pgnlcrm" + foot +
                   "B\\page B\\par \\sect\\sectd\\sbkpage\\pgnucltr" + foot + "C\\par ");
        using namespace docxsamples;
        const QByteArray footer =
            "<?xml version=\"1.0\"?><w:ftr " + kW + ">" +
            paragraph(run("Page ") + simpleField("PAGE", "9") + run(" of ") + simpleField("NUMPAGES", "9")) +
            "</w:ftr>";
        const QByteArray reference = "<w:footerReference w:type=\"default\" r:id=\"rId1\"/>";
        const auto sectionEnd = [&](const QByteArray& content, const QByteArray& numbers) {
            return paragraph(content, section(reference + numbers));
        };
        const QByteArray body = sectionEnd(run("A"), "<w:pgNumType w:start=\"3\"/>") + paragraph(run("B")) +
                                sectionEnd("<w:r><w:br w:type=\"page\"/><w:t>B</w:t></w:r>",
                                           "<w:pgNumType w:fmt=\"lowerRoman\"/>") +
                                paragraph(run("C"));
        const Template t = readDocx(
            zipParts(package(
                document(body, section(reference + "<w:pgNumType w:fmt=\"upperLetter\" w:start=\"5\"/>")),
                {{"footer", "footer1.xml", footer}})),
            QStringLiteral("numbered.docx"));
        const auto fromDocx =
            Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("numbered"));
        const QStringList rtfPages{"Page 1 of 4", "Page i of iv", "Page ii of iv", "Page C of D"};
        const QStringList docxPages{"Page 3 of 4", "Page iv of iv", "Page v of iv", "Page E of D"};
        for (const auto& [doc, pages] : {std::pair{fromRtf, rtfPages}, std::pair{fromDocx, docxPages}}) {
            const PageCopy& copy = doc->copies.front();
            QCOMPARE(copy.pageCount(), 4);
            for (int sheet = 0; sheet < 4; ++sheet) {
                sheetImage(copy, sheet, doc->page);
                QTextDocument* band = bandOn(copy, sheet, false);
                QVERIFY(band);
                QCOMPARE(band->toPlainText(), pages[sheet]);
            }
        }
    }
};

QTEST_MAIN(TestSections)
#include "tst_sections.moc"
