#include "startup/AppContext.h"

#include "database/DbErrors.h"
#include "errors/Failure.h"

#include <QCoreApplication>

namespace {
const QString kDatabasePassword = QStringLiteral("quartzfern");

void closeIfOpen(db::Connection* connection) {
    if (connection && connection->state() == db::adStateOpen)
        connection->close();
}
} // namespace

QString connectionString(const QString& databaseFile) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + databaseFile +
           QStringLiteral("; Jet OLEDB:Database Password=") + kDatabasePassword;
}

AppContext::AppContext(Folders folders) : m_folders(std::move(folders)) {}

AppContext::~AppContext() {
    closeIfOpen(m_connection.get());
}

bool AppContext::lockUserDataFolder() {
    auto lock = std::make_unique<QLockFile>(m_folders.userDataFolder + QStringLiteral("/Quillmark.lock"));
    // A program runs for days: only a lock whose program has ended (crashed, killed) is stale.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_instanceLock = std::move(lock);
        return true;
    }
    return lock->error() != QLockFile::LockFailedError;
}

void AppContext::openDatabase() {
    closeIfOpen(m_connection.get());
    m_connection = std::make_unique<db::Connection>();
    m_connection->open(connectionString(m_folders.userDataFolder + QStringLiteral("/Quillmark.mdb")));
}

bool AppContext::databaseOpen() const {
    return m_connection && m_connection->state() == db::adStateOpen;
}

db::Connection& AppContext::connection() const {
    if (!m_connection)
        throw Failure(DbErrors::ObjectClosed, QStringLiteral("The program's database is closed."));
    return *m_connection;
}

void AppContext::exitProgram() {
    closeIfOpen(m_connection.get());
    m_connection.reset();
    m_instanceLock.reset();
    if (m_exitAction) {
        m_exitAction();
        return;
    }
    // Every event loop stops once the handler that ended the program returns, so nothing of the program
    // runs after the database is closed; main() then returns through QApplication, and the windows and
    // everything else are destroyed on the way out. Before the event loop runs, start-up returns instead.
    QCoreApplication::exit(0);
}

void AppContext::setExitAction(std::function<void()> action) {
    m_exitAction = std::move(action);
}

void AppContext::forgetInheritedFiles() {
    (void)m_connection.release();
    (void)m_instanceLock.release();
}
