#include "wordproc/PageWriter.h"

#include "errors/Failure.h"
#include "wordproc/WordErrors.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>

namespace wordproc {

void preparePrinter(QPrinter& printer, const PageSetup& page) {
    const bool landscape = page.widthTwips > page.heightTwips;
    const QSizeF portrait(qMin(page.widthTwips, page.heightTwips) / 20.0,
                          qMax(page.widthTwips, page.heightTwips) / 20.0);
    const QPageLayout layout(QPageSize(portrait, QPageSize::Point, QString(), QPageSize::FuzzyMatch),
                             landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                             QMarginsF(0, 0, 0, 0));
    printer.setFullPage(true);
    printer.setPageLayout(layout);
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
}

void PageWriter::write(const PageCopy& copy) {
    if (!copy.body)
        return;
    const int pages = copy.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (m_pages > 0)
            m_printer.newPage();
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
