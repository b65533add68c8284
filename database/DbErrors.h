#pragma once

#include <QtGlobal>

// Every number the database layer raises: large negative numbers, shown with their sign, so that an error
// box or the error log tells a failure of the database from the program's own small positive numbers
// (errors/ErrorNumbers.h). The description is the database's own message where SQLite gave one.
namespace DbErrors {
// The engine failed: missing file ("Could not find file '<path>'."), wrong password or a file that is
// no database ("Could not open the database file '<path>': file is not a database (wrong password?)"),
// an empty file, disk or lock trouble, a constraint (NOT NULL, FOREIGN KEY), a changed row that no
// longer exists, commit or rollback without a transaction.
constexpr qint32 EngineFailure = -2147467259; // 0x80004005
// The database rejected the statement: syntax error, unknown table or column (SQLite's message).
constexpr qint32 StatementRejected = -2147217900; // 0x80040E14
// A value could not be converted for its column: a text that is no date ("Data type mismatch: '13/45/99'
// is not a date for column File."), a non-number for a number column, an unknown yes/no spelling.
constexpr qint32 DataTypeMismatch = -2147217913; // 0x80040E07
// A text longer than its column's size (TEXT(n)); the description names the column.
constexpr qint32 ValueRefused = -2147217887; // 0x80040E21
// Reading or changing the current record while at the end, moving past the end, moveFirst on an empty
// result.
constexpr qint32 NoCurrentRecord = -2146825267; // 0x800A0BCD
// A field name or index that the recordset does not have.
constexpr qint32 ItemNotFound = -2146825023; // 0x800A0CC1
// Using a closed connection or recordset, or opening an open one.
constexpr qint32 ObjectClosed = -2146824584; // 0x800A0E78
constexpr qint32 ObjectOpen = -2146824583;   // 0x800A0E79
// Changing or adding through a read-only recordset or one whose statement reads no single table (a
// join), changing a computed field, moveFirst on a forward-only cursor that has moved on.
constexpr qint32 NotSupported = -2146825037; // 0x800A0CB3
// A connection string without a data source.
constexpr qint32 BadConnectionString = -2147217805; // 0x80040E73
} // namespace DbErrors
