#include "wordproc/Pages.h"

#include "errors/Failure.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QImage>
#include <QPageLayout>
#include <QPrinter>
#include <QTextBlock>
#include <QTextOption>

namespace wordproc {

QPaintDevice* layoutDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMeter = qRound(kLayoutDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

namespace {

std::unique_ptr<QTextDocument> newDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    doc->documentLayout()->setPaintDevice(layoutDevice());
    doc->setDocumentMargin(0);
    QFont font(defaultFamily.isEmpty() ? QStringLiteral("Times New Roman") : defaultFamily);
    font.setPointSizeF(12);
    doc->setDefaultFont(font);
    QTextOption option = doc->defaultTextOption();
    option.setTabStopDistance(twipsToLogical(page.defaultTabTwips));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    doc->setDefaultTextOption(option);
    return doc;
}

double contentWidth(const PageSetup& page) {
    return twipsToLayout(page.widthTwips - page.leftTwips - page.rightTwips);
}

} // namespace

std::unique_ptr<QTextDocument> newPagedDocument(const PageSetup& page, const QString& defaultFamily,
                                                double height) {
    auto doc = newDocument(page, defaultFamily);
    if (height <= 0)
        height = twipsToLayout(page.heightTwips - page.topTwips - page.bottomTwips);
    doc->setPageSize(QSizeF(contentWidth(page), height));
    return doc;
}

std::unique_ptr<QTextDocument> newBandDocument(const PageSetup& page, const QString& defaultFamily) {
    auto doc = newDocument(page, defaultFamily);
    doc->setTextWidth(contentWidth(page));
    return doc;
}

int PageCopy::pageCount() const {
    return body ? qMax(1, body->pageCount()) : 0;
}

int MergedDocument::pageCount() const {
    int n = 0;
    for (const PageCopy& c : copies)
        n += c.pageCount();
    return n;
}

QString MergedDocument::plainText() const {
    QStringList parts;
    for (const PageCopy& c : copies)
        if (c.body)
            parts << c.body->toPlainText();
    return parts.join(QLatin1Char('\n'));
}

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

void PageWriter::paintBand(const QTextDocument& band, double top) {
    m_painter.save();
    m_painter.scale(m_scale, m_scale);
    m_painter.translate(twipsToLayout(m_page.leftTwips), top);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.palette.setColor(QPalette::Text, Qt::black);
    band.documentLayout()->draw(&m_painter, ctx);
    m_painter.restore();
}

void PageWriter::write(const PageCopy& copy) {
    if (!copy.body)
        return;
    const QTextDocument& doc = *copy.body;
    const QSizeF size = doc.pageSize();
    const int pages = copy.pageCount();
    const double left = twipsToLayout(m_page.leftTwips);
    const double pageWidth = twipsToLayout(m_page.widthTwips);
    for (int i = 0; i < pages; ++i) {
        if (m_pages > 0)
            m_printer.newPage();
        ++m_pages;
        m_painter.save();
        m_painter.scale(m_scale, m_scale);
        m_painter.translate(left, copy.bodyTop >= 0 ? copy.bodyTop : twipsToLayout(m_page.topTwips));
        // Lines of a paragraph that runs on to the next page lie below this page's text area.
        const QRectF area(-left, i * size.height(), pageWidth, size.height());
        m_painter.translate(0, -i * size.height());
        m_painter.setClipRect(area);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = area;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        doc.documentLayout()->draw(&m_painter, ctx);
        m_painter.restore();
        if (copy.header)
            paintBand(*copy.header, twipsToLayout(m_page.headerTwips));
        if (copy.footer)
            paintBand(*copy.footer, twipsToLayout(m_page.heightTwips - m_page.footerTwips) -
                                        copy.footer->documentLayout()->documentSize().height());
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
