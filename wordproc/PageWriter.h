#pragma once

#include "wordproc/Pages.h"

#include <QPainter>
#include <QString>

class QPrinter;

// The laid-out pages onto a printer: a real one, a PDF file or the preview. Kept apart from the layout,
// which needs nothing of the printing support.
namespace wordproc {

// Sets `printer` up for the template's paper: its size, no margins, painting from the sheet's corner.
void preparePrinter(QPrinter& printer, const PageSetup& page);

// "Quillmark – Fresh Start Invitation" for the template file ".../Fresh Start Invitation.dot": the
// name a print queue lists the job under, so that one mailing can be told from another there.
QString printJobTitle(const QString& templatePath);

// Paints copies onto a printer as one job. begin() fails with errors::PrinterError when the printer
// (or the PDF file) cannot be started.
class PageWriter {
public:
    PageWriter(QPrinter& printer, const PageSetup& page);
    ~PageWriter();
    void begin();
    void write(const PageCopy& copy);
    void write(const MergedDocument& document);
    void end();
    int pagesWritten() const { return m_pages; }

private:
    QPrinter& m_printer;
    PageSetup m_page;
    PageSetup m_paper; // the paper of the sheet being painted
    QPainter m_painter;
    double m_scale = 1.0;
    int m_pages = 0;
};

} // namespace wordproc
