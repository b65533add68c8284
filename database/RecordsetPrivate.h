#pragma once

#include "database/ColumnValues.h"
#include "database/Database.h"
#include "database/Statement.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The state of an open Recordset and the two halves of its work.
//
// Reading (RecordsetRows.cpp): a static cursor reads every row once (a table opened whole only when a
// row is first needed) and keeps them; a forward-only cursor streams rows straight from its statement
// and ends the statement's read as soon as it reaches the end, so that commits are not held up.
//
// Saving (RecordsetSave.cpp): changes and new rows of the one base table are saved through INSERT and
// UPDATE statements prepared once per set of fields and kept while the recordset is open; a row is
// converted whole before anything is bound, so a refused row leaves nothing half-saved. A row added
// and not moved away from stays the current row and reads back its values as they were saved.
namespace db {

class ConnectionPrivate;

// Masks of fields: recordsets that can change rows have at most 64 fields.
inline bool hasBit(quint64 mask, int i) {
    return i < 64 && ((mask >> i) & 1);
}

class RecordsetPrivate {
public:
    struct Field {
        QString name;
        Kind kind = Kind::Dynamic;
        int baseColumn = -1; // column of the base table it reads, -1 for an expression
        bool uniqueName = true;
    };
    enum class Edit { None, New, Change };
    enum class Stream { NotStarted, OnRow, AtEnd };

    ConnectionPrivate* connection = nullptr;
    bool isOpen = false;
    CursorTypeEnum cursor = adOpenForwardOnly;
    LockTypeEnum lock = adLockReadOnly;
    CommandTypeEnum options = adCmdText;

    Statement statement;
    int rowidColumn = -1; // statement column of the hidden row number
    int firstField = 0;   // statement column of field 0
    std::vector<Field> fields;
    QHash<QString, int> fieldIndex;        // exact spelling and lower case -> field
    int lastField = -1;                    // the field found last by name
    std::shared_ptr<const TableInfo> base; // the one table whose rows can be changed; null: none
    QString notUpdatableReason;

    // Static cursor: every row read (lazily for a table-direct open) and kept.
    bool keepsRows = false;
    bool rowsRead = false;
    std::vector<std::vector<QVariant>> rows;
    std::vector<qint64> rowids;
    qsizetype position = 0;

    // Forward-only cursor: rows come straight from the statement.
    Stream stream = Stream::NotStarted;
    qint64 rowNumber = -1;       // 0 for the first row
    std::vector<QVariant> saved; // values saved on the current streamed row
    quint64 savedMask = 0;

    // A row added by this recordset and not moved away from (forward-only, or static before reading).
    bool onAdded = false;
    qint64 addedRowid = 0;
    // Its values are kept as they were saved (the converted values and their text), not as the caller's
    // QVariants: holding those would keep the caller's strings shared, and an importer that reuses its
    // field strings from line to line would then have to allocate new ones for every line.
    std::string addedText;
    std::vector<BoundValue> addedValues; // by set field, in field order
    quint64 addedMask = 0;
    std::vector<QVariant> addedChanges; // changed after saving, by field
    quint64 addedChangesMask = 0;

    Edit edit = Edit::None;
    std::vector<QVariant> pending;
    quint64 pendingMask = 0;

    std::unordered_map<quint64, Statement> inserts; // by set of fields
    std::unordered_map<quint64, Statement> updates;
    std::string scratch; // the text of the values being saved
    std::vector<BoundValue> bound;

    ~RecordsetPrivate() { release(); }

    // Closes: finalizes the statements and forgets every row and pending change.
    void release();
    void requireOpen() const;
    sqlite3* handle() const;

    // Reading
    int fieldOf(const QString& name);
    void checkIndex(int index) const;
    [[noreturn]] static void raiseNoCurrent();
    void start();
    void step();
    bool atEnd();
    QVariant valueAt(int i);

    // Saving
    void requireUpdatable() const;
    void save();
    void clearPending();

private:
    void readRows();
    qint64 currentRowid();
    QVariant addedValueAt(int i) const;
    Statement& statementFor(std::unordered_map<quint64, Statement>& cache, quint64 mask, bool insert);
    QString insertSql(quint64 mask) const;
    QString updateSql(quint64 mask) const;
    int bindPending(sqlite3_stmt* statement);
    void saveNew();
    void saveChange();
};

} // namespace db
