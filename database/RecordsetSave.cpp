// A recordset's saving side (RecordsetPrivate.h): the INSERT and UPDATE statements for each set of
// fields, converting and binding a row's values, and what the recordset shows after a save.
#include "database/ConnectionPrivate.h"
#include "database/DbErrors.h"
#include "database/JetDialect.h"
#include "database/RecordsetPrivate.h"

#include <limits>
#include <sqlite3.h>

namespace db {

void RecordsetPrivate::requireUpdatable() const {
    if (lock != adLockOptimistic)
        raise(DbErrors::NotSupported,
              QStringLiteral("The recordset was opened read-only; it cannot be changed."));
    if (!base)
        raise(DbErrors::NotSupported,
              QStringLiteral("The recordset cannot be changed: %1").arg(notUpdatableReason));
}

QString RecordsetPrivate::insertSql(quint64 mask) const {
    if (mask == 0)
        return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(base->quotedName);
    QString names, marks;
    for (int i = 0; i < int(fields.size()); ++i) {
        if (!hasBit(mask, i))
            continue;
        if (!names.isEmpty()) {
            names += QLatin1Char(',');
            marks += QLatin1Char(',');
        }
        names += bracketed(base->columns[fields[i].baseColumn].name);
        marks += QLatin1Char('?');
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(base->quotedName, names, marks);
}

QString RecordsetPrivate::updateSql(quint64 mask) const {
    QString sets;
    for (int i = 0; i < int(fields.size()); ++i) {
        if (!hasBit(mask, i))
            continue;
        if (!sets.isEmpty())
            sets += QLatin1Char(',');
        sets += bracketed(base->columns[fields[i].baseColumn].name) + QStringLiteral("=?");
    }
    return QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(base->quotedName, sets);
}

// An import saves the same set of fields row after row; each set's statement is prepared once.
Statement& RecordsetPrivate::statementFor(std::unordered_map<quint64, Statement>& cache, quint64 mask,
                                          bool insert) {
    const auto found = cache.find(mask);
    if (found != cache.end())
        return found->second;
    Statement prepared = connection->prepare(insert ? insertSql(mask) : updateSql(mask));
    return cache.emplace(mask, std::move(prepared)).first->second;
}

// Converts and binds the pending values in field order; returns the next parameter number. Nothing
// is bound unless every value converts, so a refused row leaves the statement as it was.
int RecordsetPrivate::bindPending(sqlite3_stmt* saving) {
    scratch.clear();
    int used = 0;
    for (int i = 0; i < int(fields.size()); ++i) {
        if (!hasBit(pendingMask, i))
            continue;
        convertValue(pending[i], base->columns[fields[i].baseColumn], scratch, bound[used++]);
    }
    for (int k = 0; k < used; ++k)
        bindValue(saving, k + 1, bound[k], scratch);
    return used + 1;
}

void RecordsetPrivate::clearPending() {
    for (int i = 0; i < int(pending.size()); ++i)
        if (hasBit(pendingMask, i))
            pending[i] = QVariant();
    pendingMask = 0;
    edit = Edit::None;
}

void RecordsetPrivate::save() {
    if (edit == Edit::None)
        return;
    if (edit == Edit::New) {
        saveNew();
        return;
    }
    // A change of the current row.
    if (pendingMask == 0) {
        edit = Edit::None;
        return;
    }
    saveChange();
}

void RecordsetPrivate::saveNew() {
    Statement& insert = statementFor(inserts, pendingMask, true);
    bindPending(insert.get());
    insert.runToEnd();
    insert.reset();
    const qint64 rowid = sqlite3_last_insert_rowid(handle());
    if (keepsRows && rowsRead) {
        std::vector<QVariant> row(fields.size());
        for (int i = 0; i < int(fields.size()); ++i) {
            const Field& field = fields[i];
            if (field.baseColumn < 0)
                continue;
            const ColumnInfo& column = base->columns[field.baseColumn];
            if (hasBit(pendingMask, i))
                row[i] = readBack(pending[i], column);
            else if (column.rowidAlias)
                row[i] = rowid <= std::numeric_limits<int>::max() ? QVariant(int(rowid)) : QVariant(rowid);
            else
                row[i] = column.defaultValue;
        }
        rows.push_back(std::move(row));
        rowids.push_back(rowid);
        position = qsizetype(rows.size()) - 1;
        clearPending();
        return;
    }
    // The added row becomes the current one, kept as saved (swapped, not copied).
    addedText.swap(scratch);
    addedValues.swap(bound);
    addedMask = pendingMask;
    for (int i = 0; i < int(addedChanges.size()); ++i)
        if (hasBit(addedChangesMask, i))
            addedChanges[i] = QVariant();
    addedChangesMask = 0;
    addedRowid = rowid;
    onAdded = true;
    clearPending();
}

void RecordsetPrivate::saveChange() {
    const qint64 rowid = currentRowid();
    Statement& update = statementFor(updates, pendingMask, false);
    const int parameter = bindPending(update.get());
    sqlite3_bind_int64(update.get(), parameter, rowid);
    update.runToEnd();
    update.reset();
    if (sqlite3_changes(handle()) == 0)
        raise(DbErrors::EngineFailure,
              QStringLiteral("Row cannot be located for updating: the row was deleted from %1.")
                  .arg(base->name));
    for (int i = 0; i < int(fields.size()); ++i) {
        if (!hasBit(pendingMask, i))
            continue;
        if (onAdded) {
            addedChanges[i] = readBack(pending[i], base->columns[fields[i].baseColumn]);
            addedChangesMask |= quint64(1) << i;
            continue;
        }
        // Any field of the same column shows the new value.
        const int column = fields[i].baseColumn;
        const QVariant value = readBack(pending[i], base->columns[column]);
        for (int j = 0; j < int(fields.size()); ++j) {
            if (fields[j].baseColumn != column)
                continue;
            if (keepsRows) {
                rows[position][j] = value;
            } else {
                saved[j] = value;
                savedMask |= quint64(1) << j;
            }
        }
    }
    clearPending();
}

} // namespace db
