#include "startup/Folders.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

QString UserDataFolder;
QString DataFolder;
QString TemplatesFolder;
QString InitialsFolder;
QString FollowUpsFolder;
QString MailAidsFolder;

namespace {
QString g_applicationFolder;
QString g_arguments;
} // namespace

QString ApplicationFolder() {
    if (!g_applicationFolder.isEmpty())
        return g_applicationFolder;
    return QCoreApplication::applicationDirPath();
}

void SetApplicationFolder(const QString& folder) {
    g_applicationFolder = folder;
}

QString DefaultUserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quillmark");
}

bool RunsInstalled(const QString& applicationFolder) {
    const QFileInfo data(applicationFolder + QStringLiteral("/Data"));
    return !(data.isDir() && data.isWritable());
}

QString WorkFolder() {
    const QString app = ApplicationFolder();
    return RunsInstalled(app) ? DefaultUserDataFolder() : app;
}

void SetFolders() {
    const QString work = WorkFolder();
    DataFolder = work + QStringLiteral("/Data/");
    TemplatesFolder = work + QStringLiteral("/Templates/");
    InitialsFolder = TemplatesFolder + QStringLiteral("Initials/");
    FollowUpsFolder = TemplatesFolder + QStringLiteral("Follow-ups/");
    MailAidsFolder = TemplatesFolder + QStringLiteral("MailAids/");
    UserDataFolder = DefaultUserDataFolder();
}

QString CommandLineArguments() {
    return g_arguments;
}
void SetCommandLineArguments(const QString& arguments) {
    g_arguments = arguments;
}

QString MergeDataFolder() {
    if (CommandLineArguments().compare(QStringLiteral("devenv"), Qt::CaseInsensitive) == 0) {
#ifdef Q_OS_WIN
        return QStringLiteral("C:/Program Files/Quillmark");
#else
        return WorkFolder();
#endif
    }
    return UserDataFolder;
}
