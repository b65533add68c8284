#include "wordproc/PageWriter.h"

#include "errors/Failure.h"
#include "wordproc/WordErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>

namespace wordproc {

namespace {

QPageLayout sheetLayout(const PageSetup& page) {
    const bool landscape = page.widthTwips > page.heightTwips;
    const QSizeF portrait(qMin(page.widthTwips, page.heightTwips) / 20.0,
                          qMax(page.widthTwips, page.heightTwips) / 20.0);
    return QPageLayout(QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch),
                       landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(0, 0, 0, 0));
}

bool samePaper(const PageSetup& a, const PageSetup& b) {
    return a.widthTwips == b.widthTwips && a.heightTwips == b.heightTwips;
}

} // namespace

void preparePrinter(QPrinter& printer, const PageSetup& page) {
    printer.setFullPage(true);
    printer.setPageLayout(sheetLayout(page));
}

QString printJobTitle(const QString& templatePath) {
    const QFileInfo file(templatePath);
    // The name the template picker lists it under; a name that is all extension keeps it.
    const QString name = file.completeBaseName().isEmpty() ? file.fileName() : file.completeBaseName();
    return QStringLiteral("Quillmark \u2013 %1").arg(name);
}

PageWriter::PageWriter(QPrinter& printer, const PageSetup& page) : m_printer(printer), m_page(page) {}

PageWriter::~PageWriter() {
    if (m_painter.isActive())
        m_painter.end();
}

void PageWriter::begin() {
    preparePrinter(m_printer, m_page);
    if (!m_painter.begin(&m_printer)) {
        const QString target = m_printer.outputFileName().isEmpty()
                                   ? m_printer.printerName()
                                   : QDir::toNativeSeparators(m_printer.outputFileName());
        throw Failure(errors::PrinterError,
                      QStringLiteral("The printer \"%1\" could not be started.").arg(target));
    }
    m_scale = m_printer.resolution() / kLayoutDpi;
    m_paper = m_page;
}

void PageWriter::write(const PageCopy& copy) {
    if (!copy.body)
        return;
    const int pages = copy.pageCount();
    for (int i = 0; i < pages; ++i) {
        // A section on other paper (a landscape one among portrait pages) gets its sheets on that paper.
        const PageSetup& paper = sheetPage(copy, i, m_page);
        if (m_pages > 0) {
            if (!samePaper(paper, m_paper)) {
                m_printer.setPageLayout(sheetLayout(paper));
                m_paper = paper;
            }
            m_printer.newPage();
        }
        ++m_pages;
        m_painter.save();
        m_painter.scale(m_scale, m_scale);
        paintSheet(m_painter, copy, i, m_page);
        m_painter.restore();
    }
}

void PageWriter::write(const MergedDocument& document) {
    for (const PageCopy& c : document.copies)
        write(c);
}

void PageWriter::end() {
    if (m_painter.isActive())
        m_painter.end();
}

} // namespace wordproc
