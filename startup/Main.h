#pragma once

class MainWindow;

// Start-up: screen check, folders, the database connection, dealer information, the data-file
// import, then the main window. Returns true when the main window is shown and the program goes on
// in its event loop; false when the program ended during start-up (exitProgram has then run, or the
// screen was too small and nothing was opened).
bool startProgram();

// The main window that startProgram showed (deleted on close).
MainWindow* shownMainWindow();

// The support number quoted by the screen-size message.
extern const char* const kSupportTelephone;
