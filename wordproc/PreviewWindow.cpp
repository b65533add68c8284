#include "wordproc/PreviewWindow.h"

#include "errors/Failure.h"
#include "platform/Platform.h"
#include "wordproc/PageWriter.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolBar>
#include <QVBoxLayout>
#include <new>

namespace wordproc {

PreviewWindow::PreviewWindow(std::shared_ptr<const MergedDocument> document, const QString& jobTitle,
                             QWidget* parent)
    : QWidget(parent), m_document(std::move(document)), m_printer(std::make_unique<QPrinter>()),
      m_jobTitle(jobTitle.isEmpty() ? m_document->name : jobTitle) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("%1 - Quillmark").arg(m_document->name));
    preparePrinter(*m_printer, m_document->page);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    // Tool buttons drop a trailing ellipsis unless the icon text carries it.
    QAction* print = bar->addAction(tr("Print..."), this, &PreviewWindow::print);
    print->setIconText(print->text());
    QAction* save = bar->addAction(tr("Save as PDF..."), this, &PreviewWindow::saveAsPdf);
    save->setIconText(save->text());
    bar->addSeparator();
    bar->addAction(tr("Zoom Out"), this, &PreviewWindow::zoomOut);
    bar->addAction(tr("Zoom In"), this, &PreviewWindow::zoomIn);
    bar->addAction(tr("Page Width"), this, &PreviewWindow::fitWidth);
    m_zoomLabel = new QLabel(bar);
    m_zoomLabel->setMinimumWidth(60);
    m_zoomLabel->setAlignment(Qt::AlignCenter);
    bar->addWidget(m_zoomLabel);
    layout->addWidget(bar);

    m_preview = new QPrintPreviewWidget(m_printer.get(), this);
    m_preview->setViewMode(QPrintPreviewWidget::SinglePageView);
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &PreviewWindow::paint);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &PreviewWindow::showZoom);
    layout->addWidget(m_preview, 1);
    resize(820, 900);
    m_preview->fitToWidth();
    showZoom();
}

PreviewWindow::~PreviewWindow() = default;

int PreviewWindow::zoomPercent() const {
    return qRound(m_preview->zoomFactor() * 100);
}

void PreviewWindow::paint(QPrinter* printer) {
    try {
        PageWriter writer(*printer, m_document->page);
        writer.begin();
        writer.write(*m_document);
        writer.end();
    } catch (const Failure& failure) {
        platform::messageBox(failure.description(), platform::Icon::Exclamation, platform::Buttons::OkOnly,
                             windowTitle());
    } catch (const std::bad_alloc&) {
        platform::messageBox(QStringLiteral("Out of memory: the pages could not be painted."),
                             platform::Icon::Exclamation, platform::Buttons::OkOnly, windowTitle());
    }
}

bool PreviewWindow::print() {
    QPrinter printer(QPrinter::HighResolution);
    preparePrinter(printer, m_document->page);
    printer.setDocName(m_jobTitle);
    if (!platform::choosePrinter(printer))
        return false;
    paint(&printer);
    return true;
}

bool PreviewWindow::saveAsPdf() {
    const QString filter = QStringLiteral("PDF file(*.pdf)|*.pdf");
    QString fileName;
    // Tests answer the question through the platform's answerer; a person gets the save dialog.
    if (platform::Answerer* answerer = platform::answerer())
        fileName = answerer->answerOpenFile(platform::FileRequest{filter});
    else
        fileName = QFileDialog::getSaveFileName(
            this, tr("Save as PDF"), m_document->name + QStringLiteral(".pdf"), tr("PDF file (*.pdf)"));
    if (fileName.isEmpty())
        return false;
    if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        fileName += QStringLiteral(".pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    printer.setDocName(m_jobTitle);
    paint(&printer);
    return QFileInfo::exists(fileName);
}

void PreviewWindow::zoomIn() {
    m_preview->zoomIn(1.25);
    showZoom();
}

void PreviewWindow::zoomOut() {
    m_preview->zoomOut(1.25);
    showZoom();
}

void PreviewWindow::fitWidth() {
    m_preview->fitToWidth();
    showZoom();
}

void PreviewWindow::showZoom() {
    m_zoomLabel->setText(QStringLiteral("%1%").arg(zoomPercent()));
}

} // namespace wordproc
