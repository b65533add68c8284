#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace db {

class Connection;

// A list of row IDs handed to SQL as the temporary table temp.<name> (Position INTEGER PRIMARY KEY, ID
// INTEGER), Position counting from 1 in the list's order. It is filled through one prepared insert, so
// a statement reads a list of any length by a join or by "IN (SELECT ID FROM temp.<name>)" while its
// own text stays short; a selection of a million names never becomes a statement of megabytes.
//
// The table is dropped when the object goes; it must outlive the recordsets that read it.
class IdTable {
public:
    IdTable(Connection& connection, const QString& name, const std::vector<qint32>& ids);
    ~IdTable();
    IdTable(const IdTable&) = delete;
    IdTable& operator=(const IdTable&) = delete;

    const QString& name() const { return m_name; }
    // "(SELECT ID FROM temp.<name>)", to follow an IN.
    QString subquery() const;

private:
    Connection& m_connection;
    QString m_name;
};

} // namespace db
