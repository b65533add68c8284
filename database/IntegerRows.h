#pragma once

#include <QString>
#include <QVariantList>
#include <QtGlobal>
#include <functional>

namespace db {

class Connection;

// Runs SQL text on `connection` and hands the first `width` columns of each row, read as integers (Null
// as 0), to `row` until it returns false or the rows end. A long result of numbers, such as the IDs of a
// list of a million names, is read this way without a recordset's value-by-value wrapping. Failures are
// raised as a recordset raises them. `parameters` are the values of the text's ? marks, in order.
void readIntegerRows(Connection& connection, const QString& sql, int width,
                     const std::function<bool(const qint64* values)>& row,
                     const QVariantList& parameters = {});

// Holds the connection's page cache to at most `kib` KiB while it lives, and gives it back its size
// after. The engine sizes a sort's in-memory runs by the page cache, and a sort held in memory keeps
// every run it has made; reading a million rows in order with the cache kept for imports (32 MiB) would
// cost that much twice over on top of the runs themselves.
class PageCacheLimit {
public:
    PageCacheLimit(Connection& connection, int kib);
    ~PageCacheLimit();
    PageCacheLimit(const PageCacheLimit&) = delete;
    PageCacheLimit& operator=(const PageCacheLimit&) = delete;

private:
    Connection& m_connection;
    qint64 m_before = 0;
    bool m_changed = false;
};

} // namespace db
