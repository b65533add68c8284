#include "intake/StartupImport.h"

#include "errors/ShowError.h"
#include "intake/FailedLists.h"
#include "intake/ProgressWindow.h"
#include "platform/Platform.h"

#include <QFileInfo>
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
    return {context.connection(), context.folders().dataFolder, context.folders().errorLog};
}

intake::FailedFiles scanAndImport(const AppContext& context, ProgressWindow& window) {
    ProgressWindowImport shown(window);
    return intake::scanAndImport(importPlaces(context), shown);
}

QStringList scanDataFolder(const AppContext& context, ProgressWindow& window, intake::FailedFiles& failed) {
    ProgressWindowImport shown(window);
    return intake::scanDataFolder(importPlaces(context), shown, failed);
}

void importDataFiles(const AppContext& context, const QStringList& newFiles, ProgressWindow& window,
                     intake::FailedFiles& failed) {
    ProgressWindowImport shown(window);
    intake::importDataFiles(importPlaces(context), newFiles, shown, failed);
}

QString failedListsFile(const AppContext& context) {
    return QFileInfo(context.folders().errorLog).absolutePath() + QStringLiteral("/FailedLists.txt");
}

void reportFailedFiles(const AppContext& context, const intake::FailedFiles& failed) {
    const QString state = failedListsFile(context);
    const QStringList before = intake::failedAtLastStart(state);
    intake::rememberFailedFiles(state, failed);
    if (failed.empty())
        return;
    platform::messageBox(intake::failedFilesMessage(failed, before, context.folders().dataFolder),
                         platform::Icon::Exclamation, platform::Buttons::OkOnly,
                         QStringLiteral("Lead Lists Not Imported"));
}
