#include "startup/Globals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

QString UserDataFolder;
QString DataFolder;
QString TemplatesFolder;
QString InitialsFolder;
QString FollowUpsFolder;
QString MailAidsFolder;
std::unique_ptr<db::Connection> DbConnection;
std::unique_ptr<QLockFile> InstanceLock;

const QString DatabasePassword = QStringLiteral("quartzfern");

namespace {
QString g_applicationFolder;
QString g_arguments;
std::function<void()> g_exitAction;
} // namespace

QString ConnectionString(const QString& databaseFile) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + databaseFile +
           QStringLiteral("; Jet OLEDB:Database Password=") + DatabasePassword;
}

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

void ExitProgram() {
    if (DbConnection && DbConnection->state() == db::adStateOpen)
        DbConnection->close();
    DbConnection.reset();
    InstanceLock.reset();
    if (g_exitAction) {
        g_exitAction();
        return;
    }
    // Nothing is left to save: the connection is closed and every file is written as it goes.
    std::fflush(nullptr);
    std::_Exit(0);
}

void SetExitAction(std::function<void()> action) {
    g_exitAction = std::move(action);
}
