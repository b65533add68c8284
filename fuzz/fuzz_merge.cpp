// libFuzzer target for the whole merge: a template and a merge data file are read, merged, laid out
// and painted to a PDF file, as a print to a PDF printer does. Input: the data file, a NUL byte, the
// template; without a NUL byte, all of it is the template, merged with a small data file of its own.
// Nothing may crash, overflow or hang; a failure must be one of the word processor's, with a
// description; and every page laid out is painted.
#include "errors/Failure.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/RtfReader.h"

#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

using namespace wordproc;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

const QByteArray kData =
    "\"Name\"\t\"City\"\t\"Phone\"\r\n\"ANNA M\xdcLLER\"\t\"SPRINGFIELD\"\t\"555-0100\"\r\n"
    "\"BOB\"\t\"DOVER\"\t\"\"\r\n\"CY\"\t\"\"\t\"555-0199\"\r\n";

// At most this many copies of one input are painted: enough to reach every path, few enough to stay fast.
constexpr int kMaxCopies = 3;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    const QByteArray dataBytes = nul >= 0 ? input.left(nul) : kData;
    const QByteArray rtf = nul >= 0 ? input.mid(nul + 1) : input;
    static QTemporaryDir dir;
    try {
        const auto source = DataSource::parse(dataBytes, QStringLiteral("fuzz.txt"));
        const auto tmpl = std::make_shared<const Template>(readRtf(rtf, QStringLiteral("fuzz.dot")));
        Merger merger(tmpl, source);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("fuzz.pdf")));
        PageWriter writer(printer, tmpl->page);
        writer.begin();
        int pages = 0;
        for (int copies = 0; copies < kMaxCopies && !merger.atEnd(); ++copies) {
            const PageCopy copy = merger.next();
            check(copy.pageCount() >= 1);
            pages += copy.pageCount();
            writer.write(copy);
        }
        writer.end();
        check(writer.pagesWritten() == pages);
    } catch (const Failure& failure) {
        check(failure.number() != 0 && !failure.description().isEmpty());
    }
    return 0;
}
