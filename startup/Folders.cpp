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

QString applicationFolder() {
    if (!g_applicationFolder.isEmpty())
        return g_applicationFolder;
    return QCoreApplication::applicationDirPath();
}

void setApplicationFolder(const QString& folder) {
    g_applicationFolder = folder;
}

QString defaultUserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quillmark");
}

bool runsInstalled(const QString& applicationFolder) {
    const QFileInfo data(applicationFolder + QStringLiteral("/Data"));
    return !(data.isDir() && data.isWritable());
}

QString workFolder() {
    const QString app = applicationFolder();
    return runsInstalled(app) ? defaultUserDataFolder() : app;
}

void setFolders() {
    const QString work = workFolder();
    DataFolder = work + QStringLiteral("/Data/");
    TemplatesFolder = work + QStringLiteral("/Templates/");
    InitialsFolder = TemplatesFolder + QStringLiteral("Initials/");
    FollowUpsFolder = TemplatesFolder + QStringLiteral("Follow-ups/");
    MailAidsFolder = TemplatesFolder + QStringLiteral("MailAids/");
    UserDataFolder = defaultUserDataFolder();
}

QString commandLineArguments() {
    return g_arguments;
}
void setCommandLineArguments(const QString& arguments) {
    g_arguments = arguments;
}

QString mergeDataFolder() {
    if (commandLineArguments().compare(QStringLiteral("devenv"), Qt::CaseInsensitive) == 0) {
#ifdef Q_OS_WIN
        return QStringLiteral("C:/Program Files/Quillmark");
#else
        return workFolder();
#endif
    }
    return UserDataFolder;
}
