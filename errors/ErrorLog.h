#pragma once

#include "errors/Failure.h"

#include <QString>

// Appends the three-line entry for a rejected data-file line to UserDataFolder + "/Error.log"
// (created when missing, Windows-1252, CR LF). Shows nothing: the import reports on its own.
void LogRejectedLine(const QString& dataFileName, const Failure& failure, const QString& rawLine);
