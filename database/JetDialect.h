#pragma once

#include <QString>
#include <QStringView>

// The SQL texts of the program's procedures are written in the Jet dialect. What SQLite needs instead
// is adapted in one place, adaptSql (declared with quoted in database/Database.h and defined here):
// "SELECT TOP n ..." becomes "... LIMIT n" and "DELETE * FROM" becomes "DELETE FROM"; bracketed names,
// LIKE with % and _ and NOT on yes/no columns SQLite reads as Jet did.
//
// The helpers below read a statement's text as far as the layer needs to: whole keywords outside
// quotes and brackets, and the one table a SELECT reads, whose rows a recordset may then change.
namespace db {

// The position of `word` as a whole keyword in `sql`, outside quotes and brackets, from `from` on;
// -1 when it does not occur.
qsizetype findKeyword(const QString& sql, QStringView word, qsizetype from = 0);

// [name], ready for SQL text.
QString bracketed(const QString& name);

// Whether the statement creates, alters or drops something, so that what is known of the tables'
// columns must be read again.
bool changesSchema(const QString& sql);

// The table after FROM when the statement reads exactly one table (no join, no list of tables, no
// grouping, no alias); otherwise an empty text, and *reason completes "The recordset cannot be
// changed: ".
QString singleTableOf(const QString& sql, QString* reason);

} // namespace db
