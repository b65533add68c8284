#include "database/IntegerRows.h"

#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/Statement.h"

#include <algorithm>
#include <sqlite3.h>
#include <vector>

namespace db {

void readIntegerRows(Connection& connection, const QString& sql, int width,
                     const std::function<bool(const qint64* values)>& row, const QVariantList& parameters) {
    if (connection.state() != adStateOpen)
        raise(DbErrors::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
    Statement statement = Statement::prepare(connection.handle(), adaptSql(sql));
    // Also with no values: a mark left without one would silently read as Null.
    bindParameters(statement.get(), parameters);
    sqlite3_stmt* reading = statement.get();
    const int columns = std::min(width, sqlite3_column_count(reading));
    std::vector<qint64> values(static_cast<size_t>(std::max(width, 0)), 0);
    while (statement.step()) {
        for (int i = 0; i < columns; ++i)
            values[static_cast<size_t>(i)] = sqlite3_column_int64(reading, i);
        if (!row(values.data()))
            break;
    }
}

PageCacheLimit::PageCacheLimit(Connection& connection, int kib) : m_connection(connection) {
    if (connection.state() != adStateOpen)
        return;
    readIntegerRows(connection, QStringLiteral("PRAGMA cache_size"), 1, [this](const qint64* values) {
        m_before = values[0];
        return false;
    });
    // A negative size counts KiB, a positive one pages; either way a cache already smaller stays.
    if (m_before < 0 && -m_before <= kib)
        return;
    connection.execute(QStringLiteral("PRAGMA cache_size=-%1").arg(kib));
    m_changed = true;
}

PageCacheLimit::~PageCacheLimit() {
    if (m_changed && m_connection.state() == adStateOpen)
        sqlite3_exec(m_connection.handle(),
                     QStringLiteral("PRAGMA cache_size=%1").arg(m_before).toUtf8().constData(), nullptr,
                     nullptr, nullptr);
}

} // namespace db
