#pragma once

#include "database/Database.h"

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

// The program-wide values, set once by Main and read everywhere. Folder values use '/' as the
// separator; those that end with a separator in their definition still do.
extern QString UserDataFolder;  // per-user data folder + "/Quillmark", no trailing separator
extern QString DataFolder;      // WorkFolder() + "/Data/"
extern QString TemplatesFolder; // WorkFolder() + "/Templates/"
extern QString InitialsFolder;  // TemplatesFolder + "Initials/"
extern QString FollowUpsFolder; // TemplatesFolder + "Follow-ups/"
extern QString MailAidsFolder;  // TemplatesFolder + "MailAids/"
extern std::unique_ptr<db::Connection> DbConnection;
// Held from start-up to the end: one running program per user data folder (Main takes it).
extern std::unique_ptr<QLockFile> InstanceLock;

// The database password and the connection string built from it.
extern const QString DatabasePassword;
QString ConnectionString(const QString& databaseFile);

// The folder of the program file (no trailing separator). Tests point it at a folder of their own.
QString ApplicationFolder();
void SetApplicationFolder(const QString& folder);

// The per-user data folder: $XDG_DATA_HOME (by default ~/.local/share) + "/Quillmark".
QString DefaultUserDataFolder();

// True when the program runs installed: its folder has no Data folder it may write to (the package
// puts the program in a read-only folder under /usr and ships no Data folder). A build folder has one.
bool RunsInstalled(const QString& applicationFolder);

// The folder whose Data/ and Templates/ the program uses, and where the devenv merge data goes: the
// application folder when run from a build, the user data folder when installed. No trailing separator.
QString WorkFolder();

// Sets the folder values from the application folder and the user data folder, as Main does.
void SetFolders();

// The command-line arguments after the program name, joined by blanks ("devenv" is the only one used).
QString CommandLineArguments();
void SetCommandLineArguments(const QString& arguments);

// Closes DbConnection if open, releases it and the instance lock and ends the program at once. The ending
// itself goes through a replaceable action so that tests can watch it instead of losing their process.
void ExitProgram();
void SetExitAction(std::function<void()> action); // empty: end the process
