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
#include <cstdio>

// A 1,000-letter merge to a PDF file against the rendering of an already prepared 1,000-page document
// of the same text: the merge's own cost (reading, filling the fields, building each letter) is the
// difference between the two.
namespace {

constexpr int kRecords = 1000;

QByteArray field(const QByteArray& name, const QByteArray& switches = {}) {
    return "{\\field{\\*\\fldinst { MERGEFIELD " + name + (switches.isEmpty() ? "" : " " + switches) +
           " }}{\\fldrslt {\\'ab" + name + "\\'bb}}}";
}

QByteArray letterhead() {
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
    return png.toHex();
}

QByteArray letterTemplate() {
    QByteArray r =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
        "{\\colortbl;\\red0\\green0\\blue0;}{\\*\\mailmerge\\mmmaintypeletters}"
        "\\paperw12240\\paperh15840\\margl1440\\margr1440\\margt1080\\margb1080 ";
    r += "\\pard\\qc\\sa120 {\\pict\\pngblip\\picwgoal3600\\pichgoal900 " + letterhead() + "}\\par ";
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

bool run() {
    const QString folder = bench::scratchFolder(QStringLiteral("merge"));
    const QString templatePath = folder + QStringLiteral("/Letter.dot");
    const QString dataPath = folder + QStringLiteral("/MergeData.txt");
    if (!write(templatePath, letterTemplate()) || !write(dataPath, dataFile()))
        return false;

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

        bench::figure(QStringLiteral("merge_1000_ms"), mergeMs);
        bench::figure(QStringLiteral("render_1000_ms"), renderMs);
        bench::figure(QStringLiteral("merge_vs_render"), mergeMs / renderMs);
        return true;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "merge: %s\n", failure.what());
        return false;
    }
}

static bench::Register reg(QStringLiteral("merge"), [] { return run(); });

} // namespace
