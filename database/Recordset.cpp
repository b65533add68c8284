// Recordset (Database.h): opening one on SQL text or a whole table (the statement it reads, its fields
// and the one table whose rows it may change) and its public operations. Reading rows is in
// RecordsetRows.cpp, saving them in RecordsetSave.cpp.
#include "database/ConnectionPrivate.h"
#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/JetDialect.h"
#include "database/RecordsetPrivate.h"
#include "errors/Failure.h"

#include <sqlite3.h>

namespace db {

namespace {

// The statement a recordset reads, and the one table whose rows it may change.
struct PreparedSource {
    Statement statement;
    std::shared_ptr<const TableInfo> base;
    int rowidColumn = -1; // statement column of the hidden row number
    int firstField = 0;   // statement column of field 0
    QString notUpdatableReason;
};

// A table opened whole reads its rows in stored order; SQL text that reads one table and may change it
// gets that table's row number as a hidden first column, so that a changed row can be found again.
PreparedSource prepareSource(ConnectionPrivate& connection, const QString& source, LockTypeEnum lock,
                             CommandTypeEnum options) {
    PreparedSource prepared;
    if (options == adCmdTableDirect) {
        QString name = source.trimmed();
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        prepared.base = connection.table(name);
        prepared.statement = connection.prepare(
            QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(prepared.base->quotedName));
        prepared.rowidColumn = 0;
        prepared.firstField = 1;
        return prepared;
    }
    const QString sql = adaptSql(source);
    if (lock == adLockOptimistic) {
        const QString table = singleTableOf(sql, &prepared.notUpdatableReason);
        if (!table.isEmpty()) {
            try {
                prepared.base = connection.table(table);
            } catch (const Failure&) {
                // The statement itself reports the unknown table below.
            }
        }
        if (prepared.base) {
            const qsizetype select = findKeyword(sql, u"SELECT");
            if (select >= 0) {
                QString withRowid = sql;
                withRowid.insert(select + 6, QStringLiteral(" %1.rowid,").arg(prepared.base->quotedName));
                try {
                    prepared.statement = connection.prepare(withRowid);
                    prepared.rowidColumn = 0;
                    prepared.firstField = 1;
                } catch (const Failure&) {
                }
            }
            if (!prepared.statement) {
                prepared.base.reset();
                prepared.notUpdatableReason = QStringLiteral("its rows cannot be told apart.");
            }
        }
    }
    if (!prepared.statement)
        prepared.statement = connection.prepare(sql);
    return prepared;
}

// Names the fields of the result and finds the kind of each, and the column of the base table it reads.
void describeFields(RecordsetPrivate& d, ConnectionPrivate& connection) {
    sqlite3_stmt* statement = d.statement.get();
    const int count = int(d.fields.size());
    for (int i = 0; i < count; ++i) {
        RecordsetPrivate::Field& field = d.fields[i];
        const int column = d.firstField + i;
        field.name = QString::fromUtf8(sqlite3_column_name(statement, column));
        const char* table = sqlite3_column_table_name(statement, column);
        const char* origin = sqlite3_column_origin_name(statement, column);
        std::shared_ptr<const TableInfo> info;
        if (table && origin) {
            try {
                info = connection.table(QString::fromUtf8(table));
            } catch (const Failure&) {
            }
        }
        int baseIndex = -1;
        if (info) {
            const auto found = info->index.constFind(QString::fromUtf8(origin).toLower());
            if (found != info->index.constEnd()) {
                field.kind = info->columns[found.value()].kind;
                if (d.base && info == d.base)
                    baseIndex = found.value();
            }
        } else {
            int maxLength = -1;
            field.kind =
                kindOfDeclaredType(QString::fromUtf8(sqlite3_column_decltype(statement, column)), &maxLength);
        }
        field.baseColumn = baseIndex;
        if (!d.fieldIndex.contains(field.name))
            d.fieldIndex.insert(field.name, i);
        const QString lower = field.name.toLower();
        if (!d.fieldIndex.contains(lower))
            d.fieldIndex.insert(lower, i);
        // Where two tables give a field the same name, "Table.Column" tells them apart.
        if (table && origin) {
            const QString qualified = QString::fromUtf8(table) + QLatin1Char('.') + QString::fromUtf8(origin);
            if (!d.fieldIndex.contains(qualified))
                d.fieldIndex.insert(qualified, i);
            if (!d.fieldIndex.contains(qualified.toLower()))
                d.fieldIndex.insert(qualified.toLower(), i);
        }
    }
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            if (i != j && d.fields[i].name == d.fields[j].name)
                d.fields[i].uniqueName = false;
}

} // namespace

Recordset::Recordset() : d(std::make_unique<RecordsetPrivate>()) {}

Recordset::~Recordset() {
    close();
}

void Recordset::open(const QString& source, Connection& connection, CursorTypeEnum cursor, LockTypeEnum lock,
                     CommandTypeEnum options) {
    openWith(source, nullptr, connection, cursor, lock, options);
}

void Recordset::open(const QString& sql, const QVariantList& parameters, Connection& connection,
                     CursorTypeEnum cursor, LockTypeEnum lock) {
    openWith(sql, &parameters, connection, cursor, lock, adCmdText);
}

void Recordset::openWith(const QString& source, const QVariantList* parameters, Connection& connection,
                         CursorTypeEnum cursor, LockTypeEnum lock, CommandTypeEnum options) {
    if (d->isOpen)
        raise(DbErrors::ObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
    ConnectionPrivate& owner = *connection.d;
    owner.requireOpen();
    d->release();
    d->cursor = cursor == adOpenStatic ? adOpenStatic : adOpenForwardOnly;
    d->lock = lock == adLockOptimistic ? adLockOptimistic : adLockReadOnly;
    d->options = options;
    d->keepsRows = d->cursor == adOpenStatic;

    PreparedSource prepared = prepareSource(owner, source, d->lock, options);
    if (parameters)
        bindParameters(prepared.statement.get(), *parameters);
    d->connection = &owner;
    d->statement = std::move(prepared.statement);
    d->rowidColumn = prepared.rowidColumn;
    d->firstField = prepared.firstField;
    d->notUpdatableReason = prepared.notUpdatableReason;
    const int count = sqlite3_column_count(d->statement.get()) - d->firstField;
    if (count > 64 && d->lock == adLockOptimistic && prepared.base) {
        prepared.base.reset();
        d->notUpdatableReason = QStringLiteral("it has more than 64 fields.");
    }
    d->base = prepared.base;
    d->fields.resize(count);
    describeFields(*d, owner);
    d->pending.assign(count, QVariant());
    d->bound.assign(count, BoundValue());
    d->lastField = -1;
    d->saved.assign(count, QVariant());
    d->addedChanges.assign(count, QVariant());
    d->addedValues.assign(count, BoundValue());
    d->isOpen = true;
    owner.recordsets.insert(d.get());
    try {
        // A query is run at once, so that its failures surface on opening; a whole table waits.
        if (options != adCmdTableDirect)
            d->start();
    } catch (...) {
        d->release();
        throw;
    }
}

void Recordset::close() {
    if (!d->isOpen)
        return;
    // Changes not yet saved are abandoned.
    d->release();
}

int Recordset::state() const {
    return d->isOpen ? adStateOpen : adStateClosed;
}

bool Recordset::eof() const {
    d->requireOpen();
    return d->atEnd();
}

bool Recordset::bof() const {
    d->requireOpen();
    if (d->onAdded || d->edit == RecordsetPrivate::Edit::New)
        return false;
    d->start();
    if (d->keepsRows)
        return d->rows.empty();
    return d->stream == RecordsetPrivate::Stream::AtEnd && d->rowNumber <= 0;
}

void Recordset::moveNext() {
    d->requireOpen();
    d->save();
    if (d->onAdded) {
        d->onAdded = false;
        if (d->keepsRows) {
            d->start();
            // Continue after the added row in stored order.
            d->position = 0;
            while (d->position < qsizetype(d->rows.size()) && d->rowids[d->position] <= d->addedRowid)
                ++d->position;
        } else if (d->stream == RecordsetPrivate::Stream::NotStarted) {
            d->start();
        } else if (d->stream == RecordsetPrivate::Stream::OnRow) {
            d->step();
        }
        return;
    }
    if (d->atEnd())
        RecordsetPrivate::raiseNoCurrent();
    if (d->keepsRows)
        ++d->position;
    else
        d->step();
}

void Recordset::moveFirst() {
    d->requireOpen();
    d->save();
    d->onAdded = false;
    if (d->keepsRows) {
        d->start();
        d->position = 0;
        if (d->rows.empty())
            RecordsetPrivate::raiseNoCurrent();
        return;
    }
    // A forward-only cursor cannot go back; being on the first row already is no move at all.
    if (d->stream == RecordsetPrivate::Stream::NotStarted)
        d->start();
    else if (d->rowNumber > 0 || (d->stream == RecordsetPrivate::Stream::AtEnd && d->rowNumber == 0))
        raise(DbErrors::NotSupported,
              QStringLiteral("The recordset only moves forward; it cannot return to its first record."));
    if (d->stream != RecordsetPrivate::Stream::OnRow)
        RecordsetPrivate::raiseNoCurrent();
}

int Recordset::recordCount() const {
    d->requireOpen();
    if (!d->keepsRows)
        return -1;
    d->start();
    return int(d->rows.size());
}

int Recordset::fieldCount() const {
    d->requireOpen();
    return int(d->fields.size());
}

QString Recordset::fieldName(int index) const {
    d->requireOpen();
    d->checkIndex(index);
    return d->fields[index].name;
}

QVariant Recordset::value(const QString& field) const {
    d->requireOpen();
    return d->valueAt(d->fieldOf(field));
}

QVariant Recordset::value(int index) const {
    return d->valueAt(index);
}

void Recordset::setValue(const QString& field, const QVariant& value) {
    d->requireOpen();
    d->requireUpdatable();
    const int i = d->fieldOf(field);
    if (d->fields[i].baseColumn < 0)
        raise(DbErrors::NotSupported,
              QStringLiteral("Field '%1' cannot be updated: it is not a column of table %2.")
                  .arg(field, d->base->name));
    if (d->edit == RecordsetPrivate::Edit::None) {
        if (d->atEnd())
            RecordsetPrivate::raiseNoCurrent();
        d->edit = RecordsetPrivate::Edit::Change;
    }
    d->pending[i] = value;
    d->pendingMask |= quint64(1) << i;
}

void Recordset::addNew() {
    d->requireOpen();
    d->requireUpdatable();
    d->save();
    d->edit = RecordsetPrivate::Edit::New;
    d->pendingMask = 0;
}

void Recordset::update() {
    d->requireOpen();
    d->save();
}

void Recordset::cancelUpdate() {
    d->requireOpen();
    d->clearPending();
}

void Recordset::updateBatch() {
    d->requireOpen();
    // Changes are saved whenever the recordset leaves a row, so only the current row can be pending.
    d->save();
}

bool Recordset::editing() const {
    return d->isOpen && d->edit != RecordsetPrivate::Edit::None;
}

} // namespace db
