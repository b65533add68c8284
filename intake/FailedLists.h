#pragma once

#include "intake/Intake.h"

#include <QString>
#include <QStringList>

// What a start tells the user of the data files it could not import, and what it keeps of them for the
// next start, so that a file failing again can be told as one that does not mend by itself.
namespace intake {

// The names that rememberFailedFiles kept in `stateFile`; none when it is missing or cannot be read.
QStringList failedAtLastStart(const QString& stateFile);

// Keeps the names of `failed` in `stateFile` for the next start, replacing what was kept, in one step
// (a crash leaves the old names or the new ones); with none, the file is removed. Raises nothing.
void rememberFailedFiles(const QString& stateFile, const FailedFiles& failed);

// The text of the one message for the files of `failed` (not empty) of the Data folder `dataFolder`: in
// name order, each with its failure's number and description, those that `failedBefore` holds marked as
// failing at the previous start too. The first kListedFailures are told in full, the rest counted.
QString failedFilesMessage(const FailedFiles& failed, const QStringList& failedBefore,
                           const QString& dataFolder);
constexpr int kListedFailures = 10;

} // namespace intake
