#include "startup/Folders.h"

#include <QFileInfo>
#include <QStandardPaths>

Folders Folders::of(const QString& applicationFolder, const QString& userDataFolder,
                    const QString& arguments) {
    Folders folders;
    folders.applicationFolder = applicationFolder;
    folders.userDataFolder = userDataFolder;
    const QString work = workFolder(applicationFolder, userDataFolder);
    folders.dataFolder = work + QStringLiteral("/Data/");
    folders.templatesFolder = work + QStringLiteral("/Templates/");
    folders.initialsFolder = folders.templatesFolder + QStringLiteral("Initials/");
    folders.followUpsFolder = folders.templatesFolder + QStringLiteral("Follow-ups/");
    folders.mailAidsFolder = folders.templatesFolder + QStringLiteral("MailAids/");
    folders.mergeDataFolder = ::mergeDataFolder(applicationFolder, userDataFolder, arguments);
    folders.errorLog = userDataFolder + QStringLiteral("/Error.log");
    return folders;
}

QString defaultUserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quillmark");
}

bool runsInstalled(const QString& applicationFolder) {
    const QFileInfo data(applicationFolder + QStringLiteral("/Data"));
    return !(data.isDir() && data.isWritable());
}

QString workFolder(const QString& applicationFolder, const QString& userDataFolder) {
    return runsInstalled(applicationFolder) ? userDataFolder : applicationFolder;
}

QString mergeDataFolder(const QString& applicationFolder, const QString& userDataFolder,
                        const QString& arguments) {
    if (arguments.compare(QStringLiteral("devenv"), Qt::CaseInsensitive) == 0) {
#ifdef Q_OS_WIN
        return QStringLiteral("C:/Program Files/Quillmark");
#else
        return workFolder(applicationFolder, userDataFolder);
#endif
    }
    return userDataFolder;
}
