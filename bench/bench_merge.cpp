#include "bench/Bench.h"
#include "errors/Failure.h"
#include "platform/Platform.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordProcessor.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <cstdio>
#include <zip.h>

// A 1,000-letter merge to a PDF file against the rendering of an already prepared 1,000-page document
// of the same text: the merge's own cost (reading, filling the fields, building each letter) is the
// difference between the two.
namespace {

constexpr int kRecords = 1000;

QByteArray field(const QByteArray& name, const QByteArray& switches = {}) {
    return "{\\field{\\*\\fldinst { MERGEFIELD " + name + (switches.isEmpty() ? "" : " " + switches) +
           " }}{\\fldrslt {\\'ab" + name + "\\'bb}}}";
}

QByteArray letterheadPng() {
    QImage image(240, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, 240, 12, QColor(20, 40, 120));
    p.fillRect(0, 48, 240, 12, QColor(160, 20, 20));
    p.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray letterTemplate() {
    QByteArray r =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
        "{\\colortbl;\\red0\\green0\\blue0;}{\\*\\mailmerge\\mmmaintypeletters}"
        "\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1080\\margb1080 ";
    r += "\\pard\\qc\\sa120 {\\pict\\pngblip\\picwgoal3600\\pichgoal900 " + letterheadPng().toHex() +
         "}\\par ";
    r += "\\pard\\qr\\sa240 {\\field{\\*\\fldinst DATE \\\\@ \"MMMM d, yyyy\"}{\\fldrslt x}}\\par ";
    r += "\\pard " + field("Cust_Name", "\\\\* Caps") + "\\par " + field("Cust_Street") + "\\par " +
         field("Cust_City") + ", " + field("Cust_State") + "  " + field("Cust_Zip") + "\\par\\par ";
    r += "Dear " + field("Cust_Name", "\\\\* Lower \\\\* Caps") + ",\\par\\par ";
    for (int i = 0; i < 3; ++i)
        r += "\\pard\\qj\\fi720\\sa120 Congratulations on your fresh start! At {\\b " + field("Dlr_Name") +
             "} we help people rebuild their credit with a reliable car, a fair rate and a payment that fits "
             "the budget. Call me at " +
             field("Contact_Phone") +
             " and ask for me by name \\endash  I\\rquote d "
             "be glad to help you choose the right car and drive it home the same day.\\par ";
    r += "\\pard\\sb240 Sincerely,\\par\\pard\\par\\par " + field("Contact_Name") + "\\par " +
         field("Dlr_Name") + "\\par " + field("Dlr_Addr1") + field("Dlr_Addr2", "\\\\b \", \"") + "\\par " +
         field("Dlr_City") + ", " + field("Dlr_State") + " " + field("Dlr_Zip") + "\\par }";
    return r;
}

// The same letter as Word 2007 and later save it: simple and complex MERGEFIELDs, the letterhead a
// picture part of its own.
QByteArray docxField(const QByteArray& name, const QByteArray& switches = {}, bool simple = false) {
    const QByteArray code = " MERGEFIELD " + name + (switches.isEmpty() ? "" : " " + switches) + " ";
    const QByteArray shown = "<w:r><w:t>\u00ab" + name + "\u00bb</w:t></w:r>";
    if (simple)
        return "<w:fldSimple w:instr=\"" + code + "\">" + shown + "</w:fldSimple>";
    return "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText xml:space=\"preserve\">" + code +
           "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" + shown +
           "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
}

QByteArray docxText(const QByteArray& text, bool bold = false) {
    return "<w:r>" + QByteArray(bold ? "<w:rPr><w:b/></w:rPr>" : "") + "<w:t xml:space=\"preserve\">" + text +
           "</w:t></w:r>";
}

QByteArray docxParagraph(const QByteArray& content, const QByteArray& pPr = {}) {
    return "<w:p><w:pPr>" + pPr + "</w:pPr>" + content + "</w:p>";
}

QByteArray docxLetter() {
    const QByteArray ns =
        "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
        "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";
    QByteArray b =
        docxParagraph("<w:r><w:drawing><wp:inline><wp:extent cx=\"2286000\" cy=\"571500\"/><a:graphic>"
                      "<a:graphicData><pic:pic><pic:blipFill><a:blip r:embed=\"rId2\"/></pic:blipFill>"
                      "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>",
                      "<w:jc w:val=\"center\"/><w:spacing w:after=\"120\"/>");
    b += docxParagraph("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> DATE \\@ \"MMMM d, "
                       "yyyy\" </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                           docxText("x") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>",
                       "<w:jc w:val=\"right\"/><w:spacing w:after=\"240\"/>");
    b += docxParagraph(docxField("Cust_Name", "\\* Caps"));
    b += docxParagraph(docxField("Cust_Street", {}, true));
    b += docxParagraph(docxField("Cust_City") + docxText(", ") + docxField("Cust_State", {}, true) +
                       docxText("  ") + docxField("Cust_Zip"));
    b += docxParagraph({});
    b += docxParagraph(docxText("Dear ") + docxField("Cust_Name", "\\* Lower \\* Caps") + docxText(","));
    b += docxParagraph({});
    for (int i = 0; i < 3; ++i)
        b += docxParagraph(
            docxText("Congratulations on your fresh start! At ") + docxField("Dlr_Name", {}, true) +
                docxText(
                    " we help people rebuild their credit with a reliable car, a fair rate and a payment "
                    "that fits the budget. Call me at ") +
                docxField("Contact_Phone") +
                docxText(
                    " and ask for me by name \u2013 I\u2019d be glad to help you choose the right car and "
                    "drive it home the same day."),
            "<w:ind w:firstLine=\"720\"/><w:jc w:val=\"both\"/><w:spacing w:after=\"120\"/>");
    b += docxParagraph(docxText("Sincerely,"), "<w:spacing w:before=\"240\"/>");
    b += docxParagraph({}) + docxParagraph({});
    b += docxParagraph(docxField("Contact_Name")) + docxParagraph(docxField("Dlr_Name", {}, true));
    b += docxParagraph(docxField("Dlr_Addr1") + docxField("Dlr_Addr2", "\\b \", \""));
    b += docxParagraph(docxField("Dlr_City") + docxText(", ") + docxField("Dlr_State") + docxText(" ") +
                       docxField("Dlr_Zip"));
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " + ns + "><w:body>" + b +
        "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1080\" w:right=\"1440\" "
        "w:bottom=\"1080\" w:left=\"1440\" w:header=\"720\" "
        "w:footer=\"720\"/></w:sectPr></w:body></w:document>";
    const QByteArray styles =
        "<w:styles " + ns +
        "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" w:hAnsi=\"Times New "
        "Roman\"/><w:sz w:val=\"24\"/></w:rPr></w:rPrDefault></w:docDefaults></w:styles>";
    const QByteArray relationships = "http://schemas.openxmlformats.org/package/2006/relationships";
    const QByteArray types = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    const std::vector<std::pair<QByteArray, QByteArray>> parts{
        {"_rels/.rels", "<Relationships xmlns=\"" + relationships + "\"><Relationship Id=\"rId1\" Type=\"" +
                            types + "officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml", document},
        {"word/styles.xml", styles},
        {"word/media/letterhead.png", letterheadPng()},
        {"word/_rels/document.xml.rels",
         "<Relationships xmlns=\"" + relationships + "\"><Relationship Id=\"rId1\" Type=\"" + types +
             "styles\" Target=\"styles.xml\"/><Relationship Id=\"rId2\" Type=\"" + types +
             "image\" Target=\"media/letterhead.png\"/></Relationships>"}};
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("letter.dotx")).toUtf8();
    int error = 0;
    zip_t* z = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z)
        return {};
    for (const auto& [name, data] : parts)
        zip_file_add(z, name.constData(),
                     zip_source_buffer(z, data.constData(), zip_uint64_t(data.size()), 0), ZIP_FL_OVERWRITE);
    zip_close(z);
    QFile f(QString::fromUtf8(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray dataFile() {
    QString text =
        QStringLiteral("\"Cust_Name\"\t\"Cust_Street\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Zip\"\t"
                       "\"Dlr_Name\"\t\"Dlr_Addr1\"\t\"Dlr_Addr2\"\t\"Dlr_City\"\t\"Dlr_State\"\t"
                       "\"Dlr_Zip\"\t\"Contact_Name\"\t\"Contact_Phone\"\r\n");
    for (int i = 0; i < kRecords; ++i)
        text +=
            QStringLiteral("\"CUSTOMER NUMBER %1\"\t\"%2 MAIN ST\"\t\"SPRINGFIELD\"\t\"IL\"\t\"62701\"\t"
                           "\"Prairie Motors\"\t\"400 Route 66\"\t\"\"\t\"Springfield\"\t\"IL\"\t\"62702\"\t"
                           "\"Dana Seller\"\t\"555-0100\"\r\n")
                .arg(i + 1)
                .arg(100 + i);
    QStringEncoder encoder("windows-1252");
    return encoder.encode(text);
}

bool write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The merge of one template against the rendering of its prepared letters; `prefix` names the
// figures.
bool measure(const QString& folder, const QString& templatePath, const QString& dataPath,
             const QString& prefix) {
    try {
        // The baseline: the same letters, already merged and laid out, rendered to PDF.
        wordproc::Merger preparer(
            std::make_shared<const wordproc::Template>(wordproc::readTemplateFile(templatePath)),
            wordproc::DataSource::read(dataPath));
        const auto prepared = preparer.all(QStringLiteral("prepared"));
        for (const wordproc::PageCopy& c : prepared->copies)
            c.body->pageCount();
        if (prepared->pageCount() != kRecords) {
            std::fprintf(stderr, "merge: the prepared document has %d pages\n", prepared->pageCount());
            return false;
        }
        const QString renderPdf = folder + QStringLiteral("/render.pdf");
        QElapsedTimer renderClock;
        renderClock.start();
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(renderPdf);
            wordproc::PageWriter writer(printer, prepared->page);
            writer.begin();
            writer.write(*prepared);
            writer.end();
        }
        const double renderMs = renderClock.nsecsElapsed() / 1e6;

        // The merge, as the print handler drives it, to a PDF file chosen in the print dialog.
        const QString mergePdf = folder + QStringLiteral("/merge.pdf");
        platform::ScriptedAnswerer answers;
        answers.setNextPrintFile(mergePdf);
        QElapsedTimer mergeClock;
        mergeClock.start();
        {
            auto app = std::make_shared<wordproc::Application>();
            wordproc::Document& doc = app->documents().add(templatePath);
            wordproc::MailMerge& mm = doc.mailMerge();
            mm.openDataSource(dataPath);
            mm.setDestination(wordproc::Printer);
            mm.execute(true);
            doc.close(0);
            app->quit(0);
        }
        const double mergeMs = mergeClock.nsecsElapsed() / 1e6;
        if (QFileInfo(mergePdf).size() == 0 || QFileInfo(renderPdf).size() == 0)
            return false;

        bench::figure(prefix + QStringLiteral("_1000_ms"), mergeMs);
        bench::figure(QStringLiteral("render_") +
                          (prefix == QLatin1String("merge") ? QString() : prefix + QLatin1Char('_')) +
                          QStringLiteral("1000_ms"),
                      renderMs);
        bench::figure(prefix + QStringLiteral("_vs_render"), mergeMs / renderMs);
        return true;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "merge: %s\n", failure.what());
        return false;
    }
}

bool run() {
    const QString folder = bench::scratchFolder(QStringLiteral("merge"));
    const QString templatePath = folder + QStringLiteral("/Letter.dot");
    const QString docxPath = folder + QStringLiteral("/Letter.dotx");
    const QString dataPath = folder + QStringLiteral("/MergeData.txt");
    const QByteArray docx = docxLetter();
    if (!write(templatePath, letterTemplate()) || !write(docxPath, docx) || docx.isEmpty() ||
        !write(dataPath, dataFile()))
        return false;
    return measure(folder, templatePath, dataPath, QStringLiteral("merge")) &&
           measure(folder, docxPath, dataPath, QStringLiteral("merge_docx"));
}

static bench::Register reg(QStringLiteral("merge"), [] { return run(); });

} // namespace
