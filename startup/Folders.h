#pragma once

#include <QString>

// The program's folders and arguments, set once by Main and read everywhere. They need nothing but
// Qt Core, so the libraries below the windows (the error log, the installation tool) read them here.
// Folder values use '/' as the separator; those that end with a separator in their definition still do.
extern QString UserDataFolder;  // per-user data folder + "/Quillmark", no trailing separator
extern QString DataFolder;      // workFolder() + "/Data/"
extern QString TemplatesFolder; // workFolder() + "/Templates/"
extern QString InitialsFolder;  // TemplatesFolder + "Initials/"
extern QString FollowUpsFolder; // TemplatesFolder + "Follow-ups/"
extern QString MailAidsFolder;  // TemplatesFolder + "MailAids/"

// The folder of the program file (no trailing separator). Tests point it at a folder of their own.
QString applicationFolder();
void setApplicationFolder(const QString& folder);

// The per-user data folder: $XDG_DATA_HOME (by default ~/.local/share) + "/Quillmark".
QString defaultUserDataFolder();

// True when the program runs installed: its folder has no Data folder it may write to (the package
// puts the program in a read-only folder under /usr and ships no Data folder). A build folder has one.
bool runsInstalled(const QString& applicationFolder);

// The folder whose Data/ and Templates/ the program uses, and where the devenv merge data goes: the
// application folder when run from a build, the user data folder when installed. No trailing separator.
QString workFolder();

// The folder that receives the merge data files: the user data folder, or with the command-line
// argument "devenv" (any case) the development folder.
QString mergeDataFolder();

// Sets the folder values from the application folder and the user data folder, as Main does.
void setFolders();

// The command-line arguments after the program name, joined by blanks ("devenv" is the only one used).
QString commandLineArguments();
void setCommandLineArguments(const QString& arguments);
