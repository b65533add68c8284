#include "database/IdTable.h"

#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/Statement.h"
#include "errors/Failure.h"

#include <sqlite3.h>

namespace db {

namespace {
void run(sqlite3* handle, const QString& sql) {
    Statement::prepare(handle, sql).runToEnd();
}
} // namespace

IdTable::IdTable(Connection& connection, const QString& name, const std::vector<qint32>& ids)
    : m_connection(connection), m_name(name) {
    if (connection.state() != adStateOpen)
        raise(DbErrors::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
    sqlite3* handle = connection.handle();
    run(handle, QStringLiteral("CREATE TEMP TABLE %1 (Position INTEGER PRIMARY KEY, ID INTEGER NOT NULL)")
                    .arg(m_name));
    // One savepoint around the inserts: the temporary table is written once rather than once a row,
    // and a failure half-way leaves it empty instead of holding part of the list.
    try {
        run(handle, QStringLiteral("SAVEPOINT qm_id_table"));
        try {
            Statement insert =
                Statement::prepare(handle, QStringLiteral("INSERT INTO temp.%1 (ID) VALUES (?)").arg(m_name));
            for (qint32 id : ids) {
                sqlite3_bind_int(insert.get(), 1, id);
                insert.runToEnd();
                insert.reset();
            }
            run(handle, QStringLiteral("RELEASE qm_id_table"));
        } catch (const Failure&) {
            sqlite3_exec(handle, "ROLLBACK TO qm_id_table; RELEASE qm_id_table", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const Failure&) {
        sqlite3_exec(handle, QStringLiteral("DROP TABLE temp.%1").arg(m_name).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
        throw;
    }
}

IdTable::~IdTable() {
    if (m_connection.state() == adStateOpen)
        sqlite3_exec(m_connection.handle(),
                     QStringLiteral("DROP TABLE temp.%1").arg(m_name).toUtf8().constData(), nullptr, nullptr,
                     nullptr);
}

QString IdTable::subquery() const {
    return QStringLiteral("(SELECT ID FROM temp.%1)").arg(m_name);
}

} // namespace db
