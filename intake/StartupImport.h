#pragma once

#include "intake/Intake.h"

class ProgressWindow;

// The import as the start-up runs it: on the program's own connection and folders, shown in the
// progress window, with a file name that holds no date reported in the error box.

// Shows the scan and the import in `window` and refreshes it after every change, since no events are
// processed while they run; reports go to ShowError with the exclamation icon.
class ProgressWindowImport : public intake::ImportProgress {
public:
    explicit ProgressWindowImport(ProgressWindow& window) : m_window(window) {}
    void scanStarted(const QString& folder, int files) override;
    void fileScanned() override;
    void importStarted(int files) override;
    void fileStarted(int index, const QString& fileName) override;
    void report(const Failure& failure, const QString& location) override;

private:
    ProgressWindow& m_window;
};

// DbConnection, DataFolder and the error log in UserDataFolder.
intake::ImportPlaces ProgramImportPlaces();

// The scan and the import of the program's Data folder, left on screen in `window` for Main to unload.
void ScanAndImport(ProgressWindow& window);
QStringList ScanDataFolder(ProgressWindow& window);
void ImportDataFiles(const QStringList& newFiles, ProgressWindow& window);
