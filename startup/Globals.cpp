#include "startup/Globals.h"

#include <QCoreApplication>

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
    // Every event loop stops once the handler that ended the program returns, so nothing of the program
    // runs after the database is closed; main() then returns through QApplication, and the windows and
    // everything else are destroyed on the way out. Before the event loop runs, start-up returns instead.
    QCoreApplication::exit(0);
}

void setExitAction(std::function<void()> action) {
    g_exitAction = std::move(action);
}
