#pragma once

#include <QString>

namespace db {
class Connection;
}

// The work of the "Import data file" button, apart from ending the program: asks for a file, copies
// it into `dataFolder` (ending with a separator) and tells the user to reopen. A file whose name is
// already recorded in DataFiles of `connection` is not copied; a message says how to replace that list.
// Returns true when the file was copied.
bool copyChosenDataFile(db::Connection& connection, const QString& dataFolder);
