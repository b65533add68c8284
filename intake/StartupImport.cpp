#include "intake/StartupImport.h"

#include "errors/ShowError.h"
#include "intake/ProgressWindow.h"
#include "startup/Globals.h"

#include <QLabel>
#include <QProgressBar>

void ProgressWindowImport::scanStarted(const QString& folder, int files) {
    m_window.setWindowTitle(QStringLiteral("Searching for New Data Files..."));
    m_window.lblProgress->setText(QStringLiteral("Scanning ") + folder);
    // An empty folder shows a finished bar rather than the busy animation of an empty range.
    m_window.barProgress->setMaximum(files == 0 ? 1 : files);
    m_window.barProgress->setValue(files == 0 ? 1 : 0);
    m_window.show();
    m_window.Refresh();
}

void ProgressWindowImport::fileScanned() {
    m_window.barProgress->setValue(m_window.barProgress->value() + 1);
    m_window.Refresh();
}

void ProgressWindowImport::importStarted(int files) {
    m_window.setWindowTitle(QStringLiteral("Importing Data..."));
    m_window.lblProgress->setText(QStringLiteral("Importing File: "));
    m_window.barProgress->setMaximum(files);
    m_window.barProgress->setValue(0);
    m_window.show();
}

void ProgressWindowImport::fileStarted(int index, const QString& fileName) {
    m_window.barProgress->setValue(index);
    m_window.lblProgress->setText(QStringLiteral("Importing File: ") + fileName);
    m_window.Refresh();
}

void ProgressWindowImport::report(const Failure& failure, const QString& location) {
    ShowError(failure, location);
}

intake::ImportPlaces ProgramImportPlaces() {
    return {*DbConnection, DataFolder, UserDataFolder + QStringLiteral("/Error.log")};
}

void ScanAndImport(ProgressWindow& window) {
    ProgressWindowImport shown(window);
    intake::ScanAndImport(ProgramImportPlaces(), shown);
}

QStringList ScanDataFolder(ProgressWindow& window) {
    ProgressWindowImport shown(window);
    return intake::ScanDataFolder(ProgramImportPlaces(), shown);
}

void ImportDataFiles(const QStringList& newFiles, ProgressWindow& window) {
    ProgressWindowImport shown(window);
    intake::ImportDataFiles(ProgramImportPlaces(), newFiles, shown);
}
