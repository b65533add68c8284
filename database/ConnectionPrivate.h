#pragma once

#include "database/ColumnValues.h"
#include "database/Statement.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <memory>

struct sqlite3;

// What a Connection holds besides its SQLite handle: the transaction level it has begun, what it knows
// of the tables' columns (read once per table from the schema, forgotten when a statement changes the
// schema), the recordsets open on it (closed with it) and the dates its reads have met.
namespace db {

class RecordsetPrivate;

class ConnectionPrivate {
public:
    sqlite3* handle = nullptr;
    QString file;
    int transactionDepth = 0;
    QHash<QString, std::shared_ptr<const TableInfo>> tables; // lower-case name -> columns
    QSet<RecordsetPrivate*> recordsets;                      // open on this connection
    DateCache dates;

    // Raises ObjectClosed unless the connection is open.
    void requireOpen() const;
    Statement prepare(const QString& sql) const;
    // Runs every statement of `sql` to its end, passing over rows.
    void run(const QString& sql) const;
    // A table's columns; raises StatementRejected for a table the database does not have.
    std::shared_ptr<const TableInfo> table(const QString& name);

private:
    QString spelledTableName(const QString& name) const;
};

} // namespace db
