#pragma once

#include "database/Database.h"

#include <QString>

// What the windows need of the running program, handed down from start-up instead of read from
// globals: the open connection, the folders of the installation (each ending with a separator), where the
// merge data files go and the error log that the import appends rejected lines to.
struct AppContext {
    db::Connection& connection;
    QString dataFolder;
    QString templatesFolder;
    QString initialsFolder;
    QString followUpsFolder;
    QString mailAidsFolder;
    QString mergeDataFolder; // no trailing separator
    QString errorLog;

    // The connection and folders start-up has set up (DbConnection must be open).
    static AppContext fromProgram();
};
