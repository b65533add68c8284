#pragma once

#include <QString>

// The program's folders, found once by start-up and handed down in its AppContext. They need nothing
// but Qt Core, so the libraries below the windows (the installation tool) use them too. Folder values
// use '/' as the separator; those that end with a separator in their comment still do.
struct Folders {
    QString applicationFolder; // the folder of the program file, no trailing separator
    QString userDataFolder;    // per-user data folder + "/Quillmark", no trailing separator
    QString dataFolder;        // work folder + "/Data/"
    QString templatesFolder;   // work folder + "/Templates/"
    QString initialsFolder;    // templatesFolder + "Initials/"
    QString followUpsFolder;   // templatesFolder + "Follow-ups/"
    QString mailAidsFolder;    // templatesFolder + "MailAids/"
    QString mergeDataFolder;   // where the merge data files go, no trailing separator
    QString errorLog;          // userDataFolder + "/Error.log", which the import appends rejected lines to

    // The folders of a program whose file lies in `applicationFolder`, with `userDataFolder` as its user
    // data folder and `arguments` its command line after the program name, joined by blanks.
    static Folders of(const QString& applicationFolder, const QString& userDataFolder,
                      const QString& arguments = {});
};

// The per-user data folder: $XDG_DATA_HOME (by default ~/.local/share) + "/Quillmark".
QString defaultUserDataFolder();

// True when the program runs installed: its folder has no Data folder it may write to (the package
// puts the program in a read-only folder under /usr and ships no Data folder). A build folder has one.
bool runsInstalled(const QString& applicationFolder);

// The folder whose Data/ and Templates/ the program uses, and where the devenv merge data goes: the
// application folder when run from a build, the user data folder when installed. No trailing separator.
QString workFolder(const QString& applicationFolder, const QString& userDataFolder);

// The folder that receives the merge data files: the user data folder, or with the command-line
// argument "devenv" (any case) the development folder.
QString mergeDataFolder(const QString& applicationFolder, const QString& userDataFolder,
                        const QString& arguments);
