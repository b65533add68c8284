// TableInsert (Database.h): the import's road into a table, one prepared INSERT for all its rows.
#include "database/ColumnValues.h"
#include "database/ConnectionPrivate.h"
#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/JetDialect.h"
#include "database/Statement.h"

#include <sqlite3.h>

namespace db {

class TableInsertPrivate {
public:
    struct Value {
        BoundValue::Type type = BoundValue::Null; // Null, Integer or Text
        qint64 integer = 0;
        QStringView text;
    };

    std::shared_ptr<const TableInfo> table;
    std::vector<const ColumnInfo*> columns;
    Statement statement;
    std::vector<Value> values;
    std::vector<BoundValue> bound;
    std::string scratch; // the converted texts of the row being saved

    Value& at(int column) {
        if (column < 0 || column >= int(values.size()))
            raise(DbErrors::ItemNotFound,
                  QStringLiteral("Item cannot be found in the collection corresponding to the requested name "
                                 "or ordinal: %1.")
                      .arg(column));
        return values[size_t(column)];
    }
    void clear() {
        for (Value& v : values)
            v = Value();
    }
    void convert(const Value& value, const ColumnInfo& column, BoundValue& out) {
        switch (value.type) {
        case BoundValue::Text:
            convertText(value.text, column, scratch, out);
            return;
        case BoundValue::Integer:
            if (column.kind == Kind::Integer || column.kind == Kind::Dynamic) {
                out.type = BoundValue::Integer;
                out.integer = value.integer;
            } else {
                convertValue(QVariant(value.integer), column, scratch, out);
            }
            return;
        default:
            out.type = BoundValue::Null;
            return;
        }
    }
};

TableInsert::TableInsert(Connection& connection, const QString& table, const QStringList& columns)
    : d(std::make_unique<TableInsertPrivate>()) {
    d->table = connection.d->table(table);
    QString names, marks;
    for (const QString& name : columns) {
        const auto found = d->table->index.constFind(name.toLower());
        if (found == d->table->index.constEnd())
            raise(DbErrors::ItemNotFound,
                  QStringLiteral("Item cannot be found in the collection corresponding to the requested name "
                                 "or ordinal: '%1'.")
                      .arg(name));
        const ColumnInfo& column = d->table->columns[size_t(found.value())];
        d->columns.push_back(&column);
        if (!names.isEmpty()) {
            names += QLatin1Char(',');
            marks += QLatin1Char(',');
        }
        names += bracketed(column.name);
        marks += QLatin1Char('?');
    }
    d->statement = connection.d->prepare(
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(d->table->quotedName, names, marks));
    d->values.resize(d->columns.size());
    d->bound.resize(d->columns.size());
}

TableInsert::~TableInsert() = default;

void TableInsert::setNull(int column) {
    d->at(column) = TableInsertPrivate::Value();
}

void TableInsert::setInteger(int column, qint64 value) {
    TableInsertPrivate::Value& v = d->at(column);
    v.type = BoundValue::Integer;
    v.integer = value;
}

void TableInsert::setText(int column, QStringView text) {
    TableInsertPrivate::Value& v = d->at(column);
    v.type = BoundValue::Text;
    v.text = text;
}

qint64 TableInsert::insert() {
    struct Clear {
        TableInsertPrivate* d;
        ~Clear() { d->clear(); }
    } clear{d.get()};
    // Every value is converted before anything is bound, so that a refused row leaves the statement as it
    // was; the texts go into one buffer that the bindings point into until the step is done.
    d->scratch.clear();
    for (size_t i = 0; i < d->values.size(); ++i)
        d->convert(d->values[i], *d->columns[i], d->bound[i]);
    sqlite3_stmt* statement = d->statement.get();
    for (size_t i = 0; i < d->bound.size(); ++i)
        bindValue(statement, int(i) + 1, d->bound[i], d->scratch);
    d->statement.runToEnd();
    d->statement.reset();
    return sqlite3_last_insert_rowid(sqlite3_db_handle(statement));
}

} // namespace db
