#pragma once

#include "errors/Failure.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// One press of a print button, apart from any window: the merge data file written, the template merged
// through the word processor to the printer (call list, letters) or to a preview, and the printed names
// marked. Failures are reported through its progress callbacks, and whatever the job holds is let go,
// however it ends.
namespace db {
class Connection;
}

namespace letters {

enum class PrintKind { CallList, Preview, Letters };

struct PrintRequest {
    PrintKind kind = PrintKind::Letters;
    db::Connection* connection = nullptr; // the names', contacts' and dealerships' database
    QString mergeDataFolder;              // where the merge data file is written
    std::vector<qint32> nameIds;          // the selected names, in list order
    // The template to merge: the call list's, or the chosen one (none chosen fails when it is needed).
    std::optional<QString> templatePath;
    // Letters only: the contact and dealership the letters come from, asked for when their data is
    // written, after a pending contact edit has been saved (so both can fail there).
    std::function<std::pair<qint32, qint32>()> contactAndDealer;
};

// How the job shows its progress; the window passes a progress window behind these.
struct PrintProgress {
    std::function<void(const QString& caption, const QString& text, int steps)> open;
    std::function<void(int step, const QString& text)> step;
    // During a long template conversion, every second: false when the user stopped it.
    std::function<bool(int seconds)> conversionGoesOn;
    std::function<void()> close;
    // None of the selected names has a phone: no call list is printed, and the user should be told.
    std::function<void()> noPhoneNumbers;
    // The job failed; what it held has been let go.
    std::function<void(const Failure& failure)> failed;
};

// Runs the request. `namesMarked` is called once the printed names are marked, while the progress is
// still shown (the window rebuilds its list). Returns true when a preview was left open for the user.
bool runPrintJob(const PrintRequest& request, const PrintProgress& progress,
                 const std::function<void()>& namesMarked);

} // namespace letters
