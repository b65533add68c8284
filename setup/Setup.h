#pragma once

#include <QString>
#include <QtGlobal>

// The installation's side of the lead database: the tool that creates the per-user database file.
namespace setup {
// The password the delivered database is keyed with (the program opens it with the same one).
inline const QString DatabasePassword = QStringLiteral("quartzfern");
// "File already exists", raised when the database to create is already there.
constexpr qint32 FileAlreadyExists = 58;
} // namespace setup

// Creates the per-user lead database as the installation delivers it: an encrypted file holding the
// four tables and `dealerships` Dlr_Info rows whose names are still empty. Creates the folder when
// missing. Never touches an existing file: raises Failure (setup::FileAlreadyExists) instead. Any other
// problem raises Failure too and leaves no half-made file behind.
void createDatabase(const QString& file, int dealerships);

// The rest of what an installed program needs in the user data folder: an empty Data folder for the
// lead lists and the user's own copy of the shipped templates (the program's folder is read-only, and
// templates are meant to be changed and added to). A Templates folder that exists is the user's and is
// left as it is; Data is never filled here. Raises Failure naming the first folder or file that could
// not be made, and leaves no half-copied Templates folder behind.
void prepareUserFolders(const QString& shippedTemplates, const QString& userDataFolder);
