#pragma once

#include "database/Database.h"

#include <QString>

// What the windows need of the running program, handed down from start-up instead of read from
// globals: the open connection and the folders of the installation (each ending with a separator).
struct AppContext {
    db::Connection& connection;
    QString dataFolder;
    QString templatesFolder;
    QString initialsFolder;
    QString followUpsFolder;
    QString mailAidsFolder;

    // The connection and folders start-up has set up (DbConnection must be open).
    static AppContext fromProgram();
};
