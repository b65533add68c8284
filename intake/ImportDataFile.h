#pragma once

// The work of the "Import data file" button, apart from ending the program: asks for a file, copies
// it into DataFolder and tells the user to reopen. A file whose name is already recorded in DataFiles
// is not copied; a message says how to replace that list. Returns true when the file was copied.
bool CopyChosenDataFile();
