#include "startup/Globals.h"

#include <cstdio>
#include <cstdlib>

std::unique_ptr<db::Connection> DbConnection;
std::unique_ptr<QLockFile> InstanceLock;

const QString DatabasePassword = QStringLiteral("quartzfern");

namespace {
std::function<void()> g_exitAction;
} // namespace

QString connectionString(const QString& databaseFile) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + databaseFile +
           QStringLiteral("; Jet OLEDB:Database Password=") + DatabasePassword;
}

void exitProgram() {
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

void setExitAction(std::function<void()> action) {
    g_exitAction = std::move(action);
}
