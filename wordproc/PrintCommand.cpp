// quillmark-print: prints a letter template as the program's Print does, to a PDF file or a printer,
// so that a template can be checked before a mailing or printed from a script.
#include "errors/Failure.h"
#include "platform/Fonts.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/PageWriter.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QDir>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>
#include <new>
#include <optional>

namespace {

const char kUsage[] =
    "Usage: quillmark-print [--data FILE] (--pdf OUT.pdf | --printer NAME) TEMPLATE\n"
    "Prints TEMPLATE (RTF, or a Word document) as Quillmark prints letters: to the PDF file OUT.pdf or\n"
    "to the printer NAME. --data FILE merges the tab-separated merge data file FILE, one copy per\n"
    "record; without it each field shows the text the template itself shows where the field stands.\n";

struct Options {
    QString data;
    QString pdf;
    QString printer;
    QString templatePath;
};

// The options, or nothing after saying on `err` what is wrong with them.
std::optional<Options> parseArguments(const QStringList& args, QTextStream& err) {
    Options options;
    bool haveData = false;
    bool havePdf = false;
    bool havePrinter = false;
    const auto refuse = [&err](const QString& why) {
        err << "quillmark-print: " << why << "\n" << kUsage;
        return std::nullopt;
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        struct Valued {
            const char* name;
            QString* value;
            bool* given;
        };
        const Valued valued[] = {{"--data", &options.data, &haveData},
                                 {"--pdf", &options.pdf, &havePdf},
                                 {"--printer", &options.printer, &havePrinter}};
        bool matched = false;
        for (const Valued& v : valued) {
            const QString name = QLatin1String(v.name);
            QString value;
            if (arg == name) {
                if (i + 1 >= args.size())
                    return refuse(QStringLiteral("%1 needs a value.").arg(name));
                value = args.at(++i);
            } else if (arg.startsWith(name + QLatin1Char('='))) {
                value = arg.mid(name.size() + 1);
            } else {
                continue;
            }
            if (*v.given)
                return refuse(QStringLiteral("%1 is given twice.").arg(name));
            if (value.isEmpty())
                return refuse(QStringLiteral("%1 needs a value.").arg(name));
            *v.given = true;
            *v.value = value;
            matched = true;
            break;
        }
        if (matched)
            continue;
        if (arg.startsWith(QLatin1Char('-')))
            return refuse(QStringLiteral("unknown option '%1'.").arg(arg));
        if (!options.templatePath.isEmpty())
            return refuse(QStringLiteral("one template at a time, not '%1' as well.").arg(arg));
        options.templatePath = arg;
    }
    if (options.templatePath.isEmpty())
        return refuse(QStringLiteral("no template given."));
    if (havePdf == havePrinter)
        return refuse(QStringLiteral("give either --pdf or --printer."));
    return options;
}

// Prints as the program's print run does: the template read whole first, the data file checked against
// its fields before the printer starts, then one job in which each copy is laid out, painted and
// dropped before the next.
void print(const Options& options) {
    const auto tmpl =
        std::make_shared<const wordproc::Template>(wordproc::readTemplateFile(options.templatePath));
    std::shared_ptr<const wordproc::DataSource> data;
    if (!options.data.isEmpty()) {
        data = wordproc::DataSource::read(options.data);
        // A job without a page would leave an empty or blank PDF that looks like a template fault.
        if (data->recordCount() == 0)
            throw Failure(wordproc::errors::NoRecords,
                          QStringLiteral("The data source \"%1\" holds no records; nothing was printed.")
                              .arg(QDir::toNativeSeparators(options.data)));
    }
    wordproc::Merger merger(tmpl, data);

    QPrinter printer(QPrinter::HighResolution);
    if (!options.pdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(options.pdf);
    } else {
        if (QPrinterInfo::printerInfo(options.printer).isNull())
            throw Failure(wordproc::errors::PrinterError,
                          QStringLiteral("There is no printer named \"%1\".").arg(options.printer));
        printer.setPrinterName(options.printer);
    }
    printer.setDocName(wordproc::printJobTitle(options.templatePath));
    wordproc::PageWriter writer(printer, tmpl->page);
    writer.begin();
    while (!merger.atEnd())
        writer.write(merger.next());
    writer.end();
}

} // namespace

int main(int argc, char* argv[]) {
    // From a script or over ssh there is no display, and none is needed to print.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Quillmark"));
    // The program's own font set-up, so that the letters measure as they do when it prints them.
    QGuiApplication::setFont(platform::applicationFont());
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        out << kUsage;
        return 0;
    }
    const std::optional<Options> options = parseArguments(args, err);
    if (!options)
        return 2;
    try {
        print(*options);
    } catch (const Failure& failure) {
        err << "quillmark-print: " << failure.description() << "\n";
        return 1;
    } catch (const std::bad_alloc&) {
        err << "quillmark-print: out of memory while printing \""
            << QDir::toNativeSeparators(options->templatePath) << "\".\n";
        return 1;
    }
    return 0;
}
