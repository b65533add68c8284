#pragma once

#include "errors/Failure.h"

#include <QString>

// Appends the three-line entry for a rejected data-file line to the error log at `logFile` (created
// when missing, Windows-1252, CR LF): the program's is Folders::errorLog. Shows nothing:
// the import reports on its own.
void logRejectedLine(const QString& logFile, const QString& dataFileName, const Failure& failure,
                     const QString& rawLine);
