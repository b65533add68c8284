#pragma once

class AppContext;
class MainWindow;

// Start-up in `context`, made by main() with the program's folders: screen check, the instance lock,
// the database connection, dealer information, the data-file import, then the main window, which keeps
// `context`. Returns true when the main window is shown and the program goes on in its event loop; false
// when the program ended during start-up (context.exitProgram() has then run, or the screen was too
// small or another program runs on the folder and nothing was opened).
bool startProgram(AppContext& context);

// The main window that startProgram showed on `context` (deleted on close).
MainWindow* shownMainWindow(const AppContext& context);

// The support number quoted by the screen-size message.
extern const char* const kSupportTelephone;
