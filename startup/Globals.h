#pragma once

#include "database/Database.h"
#include "startup/Folders.h"

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

// The values that stay with the running program: the shared connection and the instance lock, above
// the database layer. The folders and arguments, which the layers below need too, are in Folders.h.
extern std::unique_ptr<db::Connection> DbConnection;
// Held from start-up to the end: one running program per user data folder (Main takes it).
extern std::unique_ptr<QLockFile> InstanceLock;

// The database password and the connection string built from it.
extern const QString DatabasePassword;
QString connectionString(const QString& databaseFile);

// Closes DbConnection if open, releases it and the instance lock and ends the program: no further event
// is handled, and the event loop returns to main(). The ending itself goes through a replaceable action
// so that tests can watch it instead of losing their event loop.
void exitProgram();
void setExitAction(std::function<void()> action); // empty: end the process
