#pragma once

#include "wordproc/Template.h"

#include <QPainter>
#include <QTextDocument>
#include <memory>
#include <vector>

class QPrinter;
class QPaintDevice;

// Laid-out pages: merged text in QTextDocuments, paginated for the template's paper, and the painting
// of those pages onto a printer (a real one, a PDF file or the preview). Every document is laid out
// on one fixed-resolution device, so that the pages are the same wherever they are painted.
namespace wordproc {

// Fine enough for print positions, and coarse enough that 12-point text stays under the size up to
// which the font engine caches glyph metrics (at 1,200 dpi a merge spends much of its time re-reading
// them).
constexpr double kLayoutDpi = 288.0;
// Lengths in the layout device's pixels: the page size, a paragraph's left and right indents and its
// first-line indent.
inline double twipsToLayout(double twips) {
    return twips * kLayoutDpi / 1440.0;
}
// Lengths that Qt scales from 96 dpi to the device itself: spacing above and below paragraphs, line
// heights, tab stops, image sizes, and every length of a table.
inline double twipsToLogical(double twips) {
    return twips / 15.0;
}

// The device every document of the word processor is laid out for.
QPaintDevice* layoutDevice();

// A new empty document for the body of `page`: laid out on layoutDevice(), paginated to pages of
// `height` (layout pixels; the space between the margins when negative), no undo history.
std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height = -1);
// A new empty document for a page header or footer: as wide as the body, not paginated.
std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily);

// One run of pages that starts on a new sheet: a letter's record, a label sheet's records, or the
// whole of a catalog.
struct PageCopy {
    std::unique_ptr<QTextDocument> body;
    std::unique_ptr<QTextDocument> header; // may be null
    std::unique_ptr<QTextDocument> footer; // may be null
    double bodyTop = -1;                   // layout pixels from the sheet's top; the top margin when negative
    int pageCount() const;
};

// The result of a merge to a new document (or a template shown as it stands).
struct MergedDocument {
    PageSetup page;
    QString name;
    std::vector<PageCopy> copies;
    int pageCount() const;
    // All text of all copies, pages in order (for checks and for the window's clipboard-free users).
    QString plainText() const;
};

// Sets `printer` up for the template's paper: its size, no margins, painting from the sheet's corner.
void preparePrinter(QPrinter& printer, const PageSetup& page);

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
    void paintBand(const QTextDocument& band, double top);

    QPrinter& m_printer;
    PageSetup m_page;
    QPainter m_painter;
    double m_scale = 1.0;
    int m_pages = 0;
};

} // namespace wordproc
