#include "intake/StartupImport.h"

#include "errors/ShowError.h"
#include "intake/ProgressWindow.h"

#include <QLabel>
#include <QProgressBar>

void ProgressWindowImport::scanStarted(const QString& folder, int files) {
    m_window.setWindowTitle(QStringLiteral("Searching for New Data Files..."));
    m_window.progressLabel->setText(QStringLiteral("Scanning ") + folder);
    // An empty folder shows a finished bar rather than the busy animation of an empty range.
    m_window.progressBar->setMaximum(files == 0 ? 1 : files);
    m_window.progressBar->setValue(files == 0 ? 1 : 0);
    m_window.show();
    m_window.refresh();
}

void ProgressWindowImport::fileScanned() {
    m_window.progressBar->setValue(m_window.progressBar->value() + 1);
    m_window.refresh();
}

void ProgressWindowImport::importStarted(int files) {
    m_window.setWindowTitle(QStringLiteral("Importing Data..."));
    m_window.progressLabel->setText(QStringLiteral("Importing File: "));
    m_window.progressBar->setMaximum(files);
    m_window.progressBar->setValue(0);
    m_window.show();
}

void ProgressWindowImport::fileStarted(int index, const QString& fileName) {
    m_window.progressBar->setValue(index);
    m_window.progressLabel->setText(QStringLiteral("Importing File: ") + fileName);
    m_window.refresh();
}

void ProgressWindowImport::report(const Failure& failure, const QString& location) {
    showError(failure, location);
}

intake::ImportPlaces importPlaces(const AppContext& context) {
    return {context.connection, context.dataFolder, context.errorLog};
}

void scanAndImport(const AppContext& context, ProgressWindow& window) {
    ProgressWindowImport shown(window);
    intake::scanAndImport(importPlaces(context), shown);
}

QStringList scanDataFolder(const AppContext& context, ProgressWindow& window) {
    ProgressWindowImport shown(window);
    return intake::scanDataFolder(importPlaces(context), shown);
}

void importDataFiles(const AppContext& context, const QStringList& newFiles, ProgressWindow& window) {
    ProgressWindowImport shown(window);
    intake::importDataFiles(importPlaces(context), newFiles, shown);
}
