// A recordset's reading side (RecordsetPrivate.h): finding fields by name, reading rows from a static or
// forward-only cursor, and the values of the current, pending or just-added row.
#include "database/ConnectionPrivate.h"
#include "database/DbErrors.h"
#include "database/RecordsetPrivate.h"

#include <bit>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace db {

void RecordsetPrivate::release() {
    statement.finalize();
    inserts.clear();
    updates.clear();
    if (connection)
        connection->recordsets.remove(this);
    connection = nullptr;
    isOpen = false;
    fields.clear();
    fieldIndex.clear();
    base.reset();
    rows.clear();
    rowids.clear();
    saved.clear();
    addedText.clear();
    addedValues.clear();
    addedChanges.clear();
    addedChangesMask = 0;
    pending.clear();
    edit = Edit::None;
    pendingMask = addedMask = savedMask = 0;
    onAdded = false;
    rowsRead = false;
    stream = Stream::NotStarted;
    rowNumber = -1;
    position = 0;
}

void RecordsetPrivate::requireOpen() const {
    if (!isOpen)
        raise(DbErrors::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

sqlite3* RecordsetPrivate::handle() const {
    return connection->handle;
}

// Field names are looked up on every value read and set: an exact match of the spelling is found by
// comparing characters (trying first the field after the last one found, as callers go through
// fields in order), without hashing; other spellings go through the hash of lower-case names.
int RecordsetPrivate::fieldOf(const QString& name) {
    const qsizetype n = name.size();
    const QChar* text = name.constData(); // utf16() would copy literal text to add a terminator
    const int count = int(fields.size());
    auto same = [&](int i) {
        const QString& candidate = fields[i].name;
        return candidate.size() == n &&
               std::memcmp(candidate.constData(), text, size_t(n) * sizeof(QChar)) == 0;
    };
    const int guess = lastField + 1;
    if (guess < count && fields[guess].uniqueName && same(guess))
        return lastField = guess;
    for (int i = 0; i < count; ++i)
        if (same(i))
            return lastField = i;
    auto found = fieldIndex.constFind(name);
    if (found == fieldIndex.constEnd())
        found = fieldIndex.constFind(name.toLower());
    if (found == fieldIndex.constEnd())
        raise(DbErrors::ItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                             "ordinal: '%1'.")
                  .arg(name));
    return found.value();
}

void RecordsetPrivate::checkIndex(int index) const {
    if (index < 0 || index >= int(fields.size()))
        raise(DbErrors::ItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or "
                             "ordinal: %1.")
                  .arg(index));
}

void RecordsetPrivate::raiseNoCurrent() {
    raise(DbErrors::NoCurrentRecord,
          QStringLiteral("Either BOF or EOF is True, or the current record has been "
                         "deleted. Requested operation requires a current record."));
}

void RecordsetPrivate::readRows() {
    rows.clear();
    rowids.clear();
    const int count = int(fields.size());
    sqlite3_stmt* reading = statement.get();
    while (statement.step()) {
        std::vector<QVariant> row;
        row.reserve(count);
        for (int i = 0; i < count; ++i)
            row.push_back(readColumn(reading, firstField + i, fields[i].kind, connection->dates));
        rows.push_back(std::move(row));
        rowids.push_back(rowidColumn >= 0 ? sqlite3_column_int64(reading, rowidColumn) : 0);
    }
    statement.reset();
    rowsRead = true;
    position = 0;
    // A row added before reading is among the rows read now, and stays the current one.
    if (onAdded) {
        onAdded = false;
        while (position < qsizetype(rows.size()) && rowids[position] != addedRowid)
            ++position;
    }
}

void RecordsetPrivate::step() {
    saved.assign(saved.size(), QVariant());
    savedMask = 0;
    bool onRow = false;
    try {
        onRow = statement.step();
    } catch (...) {
        stream = Stream::AtEnd;
        throw;
    }
    if (onRow) {
        stream = Stream::OnRow;
        ++rowNumber;
    } else {
        // Finishing the statement at once ends its read, so that commits are not held up.
        statement.reset();
        stream = Stream::AtEnd;
    }
}

// The first row is read only when one is needed: a table opened just to add rows is never read.
void RecordsetPrivate::start() {
    if (keepsRows) {
        if (!rowsRead)
            readRows();
    } else if (stream == Stream::NotStarted) {
        rowNumber = -1;
        step();
    }
}

bool RecordsetPrivate::atEnd() {
    if (onAdded || edit == Edit::New)
        return false;
    start();
    return keepsRows ? position >= qsizetype(rows.size()) : stream != Stream::OnRow;
}

qint64 RecordsetPrivate::currentRowid() {
    if (onAdded)
        return addedRowid;
    return keepsRows ? rowids[position] : sqlite3_column_int64(statement.get(), rowidColumn);
}

QVariant RecordsetPrivate::valueAt(int i) {
    requireOpen();
    checkIndex(i);
    if (edit != Edit::None && hasBit(pendingMask, i))
        return pending[i];
    const Field& field = fields[i];
    if (edit == Edit::New) {
        if (field.baseColumn >= 0)
            return base->columns[field.baseColumn].defaultValue;
        return {};
    }
    if (onAdded)
        return addedValueAt(i);
    if (atEnd())
        raiseNoCurrent();
    if (keepsRows)
        return rows[position][i];
    if (hasBit(savedMask, i))
        return saved[i];
    return readColumn(statement.get(), firstField + i, field.kind, connection->dates);
}

// A field of the row this recordset added and has not moved away from.
QVariant RecordsetPrivate::addedValueAt(int i) const {
    const Field& field = fields[i];
    if (field.baseColumn < 0)
        return {};
    const ColumnInfo& column = base->columns[field.baseColumn];
    if (hasBit(addedChangesMask, i))
        return addedChanges[i];
    if (hasBit(addedMask, i)) {
        const quint64 before = addedMask & ((quint64(1) << i) - 1);
        return readSaved(addedValues[std::popcount(before)], column.kind, addedText, connection->dates);
    }
    if (column.rowidAlias)
        return addedRowid <= std::numeric_limits<int>::max() ? QVariant(int(addedRowid))
                                                             : QVariant(addedRowid);
    return column.defaultValue;
}

} // namespace db
