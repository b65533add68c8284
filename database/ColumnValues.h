#pragma once

#include "database/DateText.h"

#include <QHash>
#include <QString>
#include <QStringView>
#include <QVariant>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// Values between QVariant and SQLite, column by column. A column's Kind follows from its declared type
// (TEXT(n), DATETIME, YESNO, INTEGER, ...), as Jet's typed columns did: date/time columns hold the text
// "YYYY-MM-DD HH:MM:SS" and read back as QDateTime, yes/no columns store -1 and 0 and read back as
// bool, integers read back as int where they fit, and TEXT(n) refuses more than n characters.
//
// The write path converts a row's values into BoundValues over one scratch buffer before anything is
// bound, so that a value that is refused (DataTypeMismatch, ValueRefused) leaves the statement as it
// was; the import saves tens of thousands of rows this way, which is why it avoids a QString or a
// QByteArray per value.
namespace db {

// How a column's values are converted on their way in and out.
enum class Kind { Dynamic, Integer, Real, Text, DateTime, YesNo };

struct ColumnInfo {
    QString name;
    Kind kind = Kind::Dynamic;
    int maxLength = -1;      // TEXT(n): at most n characters; -1: no limit
    bool rowidAlias = false; // INTEGER PRIMARY KEY: the row's number, given by the database
    QVariant defaultValue;   // what a new row holds when the column is not set
};

struct TableInfo {
    QString name;       // as the database spells it, for messages
    QString quotedName; // [name], ready for SQL text
    std::vector<ColumnInfo> columns;
    QHash<QString, int> index; // lower-case name -> column
};

// The kind of a declared type; *maxLength is n for TEXT(n) and the like, else -1.
Kind kindOfDeclaredType(const QString& declared, int* maxLength);

// A column's declared default (as PRAGMA table_info gives it) as the value a new row reads.
QVariant defaultFor(const QString& declaredDefault, bool hasDefault, Kind kind);

// One result column of the current row, read the way its kind reads.
QVariant readColumn(sqlite3_stmt* statement, int column, Kind kind, DateCache& dates);

// One value converted for its column, ready to bind. Text and blobs live in a scratch buffer, by offset,
// since the buffer may grow while a row's values are converted.
struct BoundValue {
    enum Type { Null, Integer, Real, Text, Blob } type = Null;
    qint64 integer = 0;
    double real = 0;
    size_t offset = 0;
    size_t length = 0;
};

// Converts and checks one value for its column; raises the failure that refuses the row.
void convertValue(const QVariant& value, const ColumnInfo& column, std::string& scratch, BoundValue& out);
// The same for a text, without a QVariant or a QString around it: the import's road.
void convertText(QStringView text, const ColumnInfo& column, std::string& scratch, BoundValue& out);
// Binds a converted value to parameter `parameter` (from 1); the scratch buffer must outlive the step.
void bindValue(sqlite3_stmt* statement, int parameter, const BoundValue& value, const std::string& scratch);

// The value a saved column reads back as, from what was set on it.
QVariant readBack(const QVariant& value, const ColumnInfo& column);
// A converted value read back the way a column of `kind` reads.
QVariant readSaved(const BoundValue& value, Kind kind, const std::string& scratch, DateCache& dates);

} // namespace db
