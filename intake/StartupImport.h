#pragma once

#include "intake/Intake.h"
#include "startup/AppContext.h"

class ProgressWindow;

// The import as the start-up runs it: on the connection and folders start-up hands it, shown in the
// progress window, with a file name that holds no date reported in the error box and the files it could
// not import told together in one message.

// Shows the scan and the import in `window` and refreshes it after every change, since no events are
// processed while they run; reports go to showError with the exclamation icon.
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

// The context's connection, Data folder and error log.
intake::ImportPlaces importPlaces(const AppContext& context);

// The scan and the import of the context's Data folder, left on screen in `window` for Main to unload.
// Returns the files left for the next start.
[[nodiscard]] intake::FailedFiles scanAndImport(const AppContext& context, ProgressWindow& window);
QStringList scanDataFolder(const AppContext& context, ProgressWindow& window, intake::FailedFiles& failed);
void importDataFiles(const AppContext& context, const QStringList& newFiles, ProgressWindow& window,
                     intake::FailedFiles& failed);

// Where a start keeps the names of the files it could not import for the next start: beside the error log
// in the user data folder, which the instance lock keeps to one program at a time. Not in the database,
// whose schema every installed database would have to receive, nor in the Data folder, where the scan
// counts every file and the user drops lists.
QString failedListsFile(const AppContext& context);

// Tells the user of the files of `failed` in one message (exclamation icon), marking those that the
// previous start could not import either, and keeps their names for the next start. Nothing is shown when
// `failed` is empty.
void reportFailedFiles(const AppContext& context, const intake::FailedFiles& failed);
