#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QPrintPreviewWidget;
class QPrinter;
class QLabel;

namespace wordproc {

struct MergedDocument;

// A merged document on screen, page by page as it prints, with "Print...", "Save as PDF..." and zoom.
// It owns the pages it shows, so it outlives the Application that made it, and it closes without
// asking to save (there is nothing to save: the merge data stays where it was).
class PreviewWindow : public QWidget {
    Q_OBJECT
public:
    // `jobTitle` names its print jobs and saved PDFs (see printJobTitle); empty, the document's name does.
    explicit PreviewWindow(std::shared_ptr<const MergedDocument> document, const QString& jobTitle = {},
                           QWidget* parent = nullptr);
    ~PreviewWindow() override;

    const MergedDocument& document() const { return *m_document; }
    QPrintPreviewWidget* preview() const { return m_preview; }
    int zoomPercent() const;

public slots:
    // The print dialog (through platform::choosePrinter), then every page as one job. A cancelled
    // dialog prints nothing. Returns whether pages were printed.
    bool print();
    // Asks for a file name and writes every page to it as PDF. Returns whether a file was written.
    bool saveAsPdf();
    void zoomIn();
    void zoomOut();
    void fitWidth();

private:
    void paint(QPrinter* printer);
    void showZoom();

    std::shared_ptr<const MergedDocument> m_document;
    std::unique_ptr<QPrinter> m_printer;
    QString m_jobTitle;
    QPrintPreviewWidget* m_preview = nullptr;
    QLabel* m_zoomLabel = nullptr;
};

} // namespace wordproc
