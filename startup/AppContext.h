#pragma once

#include "database/Database.h"
#include "startup/Folders.h"

#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

// The running program as start-up sets it up: its folders, the instance lock of the user data folder and
// the connection to the user's lead database. main() makes the one AppContext and hands it down to the
// start, the import and the windows, which take it by reference; nothing else holds these.
class AppContext {
public:
    explicit AppContext(Folders folders);
    ~AppContext(); // closes the database and releases the lock if the program has not ended before
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    const Folders& folders() const { return m_folders; }

    // Takes the instance lock of the user data folder, held until the program ends: one running program
    // per folder. False when another running program holds it; a folder where no lock can be made
    // (missing, read-only) is left to the database's open to report.
    bool lockUserDataFolder();
    bool holdsInstanceLock() const { return m_instanceLock != nullptr; }

    // Opens the connection on the user data folder's Quillmark.mdb (raises Failure as db::Connection::open).
    void openDatabase();
    bool databaseOpen() const;
    // The open connection; raises Failure when the database is not open.
    db::Connection& connection() const;

    // Closes the database if open, releases the instance lock and ends the program: no further event is
    // handled, and the event loop returns to main(). The ending itself goes through a replaceable action
    // so that tests can watch it instead of losing their event loop.
    void exitProgram();
    void setExitAction(std::function<void()> action); // empty: leave the event loop

    // The main window start-up showed on this context (null before, and once it is closed and gone).
    // Held as a plain object: the context belongs below the windows and knows none of their types.
    QObject* mainWindow() const { return m_mainWindow; }
    void setMainWindow(QObject* window) { m_mainWindow = window; }

    // In a forked child: lets the parent's connection and lock go without closing them, since closing
    // them would undo the parent's hold on the files.
    void forgetInheritedFiles();

private:
    Folders m_folders;
    std::unique_ptr<QLockFile> m_instanceLock;
    std::unique_ptr<db::Connection> m_connection;
    std::function<void()> m_exitAction;
    QPointer<QObject> m_mainWindow;
};

// The connection string of the lead database `databaseFile`, with the installation's password.
QString connectionString(const QString& databaseFile);
