// Connection (Database.h): opening a database file, refusing one that cannot be used before SQLite
// touches it, transactions with nested levels, and running statement texts. Also what the connection
// knows of each table's columns (ConnectionPrivate.h), read from the schema the first time a recordset
// needs them.
#include "database/CaseFolding.h"
#include "database/ConnectionPrivate.h"
#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/JetDialect.h"
#include "database/RecordsetPrivate.h"
#include "errors/Failure.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace db {

void ConnectionPrivate::requireOpen() const {
    if (!handle)
        raise(DbErrors::ObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

Statement ConnectionPrivate::prepare(const QString& sql) const {
    requireOpen();
    return Statement::prepare(handle, sql);
}

void ConnectionPrivate::run(const QString& sql) const {
    requireOpen();
    const QByteArray text = sql.toUtf8();
    const char* tail = text.constData();
    const char* end = tail + text.size();
    while (tail < end) {
        const char* next = nullptr;
        Statement statement = Statement::prepareFirst(handle, tail, end, &next);
        tail = next;
        if (statement) // else blanks or a comment
            statement.runToEnd();
    }
}

std::shared_ptr<const TableInfo> ConnectionPrivate::table(const QString& name) {
    const QString key = name.toLower();
    const auto found = tables.constFind(key);
    if (found != tables.constEnd())
        return found.value();
    requireOpen();
    auto info = std::make_shared<TableInfo>();
    Statement statement = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(bracketed(name)));
    sqlite3_stmt* columns = statement.get();
    auto textAt = [columns](int column) {
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, column)));
    };
    int primaryKeys = 0;
    int integerKey = -1;
    while (statement.step()) {
        ColumnInfo column;
        column.name = textAt(1);
        const QString declared = textAt(2);
        column.kind = kindOfDeclaredType(declared, &column.maxLength);
        column.defaultValue =
            defaultFor(textAt(4), sqlite3_column_type(columns, 4) != SQLITE_NULL, column.kind);
        if (sqlite3_column_int(columns, 5) > 0) {
            ++primaryKeys;
            if (declared.trimmed().compare(u"INTEGER", Qt::CaseInsensitive) == 0)
                integerKey = int(info->columns.size());
        }
        info->index.insert(column.name.toLower(), int(info->columns.size()));
        info->columns.push_back(std::move(column));
    }
    statement.finalize();
    if (info->columns.empty())
        raise(DbErrors::StatementRejected, QStringLiteral("no such table: %1").arg(name));
    if (primaryKeys == 1 && integerKey >= 0)
        info->columns[integerKey].rowidAlias = true;
    info->name = spelledTableName(name);
    info->quotedName = bracketed(info->name);
    tables.insert(key, info);
    return info;
}

// The name as the database spells it, for messages.
QString ConnectionPrivate::spelledTableName(const QString& name) const {
    Statement statement = prepare(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(statement.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(statement.get()) == SQLITE_ROW)
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
    return name;
}

namespace {

struct ConnectionParts {
    QString dataSource;
    QString password;
    bool hasDataSource = false;
};

ConnectionParts parseConnectionString(const QString& text) {
    ConnectionParts parts;
    const QStringList pieces = text.split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        const qsizetype eq = piece.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = piece.left(eq).trimmed().toLower();
        QString value = piece.mid(eq + 1).trimmed();
        if (value.size() >= 2 && ((value.startsWith(u'"') && value.endsWith(u'"')) ||
                                  (value.startsWith(u'\'') && value.endsWith(u'\''))))
            value = value.mid(1, value.size() - 2);
        if (key == u"data source") {
            parts.dataSource = value;
            parts.hasDataSource = true;
        } else if (key == u"jet oledb:database password") {
            parts.password = value;
        }
    }
    return parts;
}

// A database that may not be written is refused before SQLite opens it: opened for reading, a WAL
// database gets its -wal and -shm files made read-only like itself, and those stop every later start
// even once the database is writable again. Such files left by earlier builds are made writable when
// they are ours; they only hold what the database's own writer put there.
void refuseReadOnly(const QString& file) {
    const QFileInfo info(file);
    if (!info.isWritable())
        raise(DbErrors::EngineFailure, QStringLiteral("The database '%1' is read-only.").arg(file));
    if (!QFileInfo(info.absolutePath()).isWritable())
        raise(DbErrors::EngineFailure,
              QStringLiteral("The database '%1' is read-only: its folder cannot be written.").arg(file));
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString side = file + QLatin1String(suffix);
        const QFileInfo sideInfo(side);
        if (!sideInfo.exists() || sideInfo.isWritable())
            continue;
        if (!QFile::setPermissions(side, QFile::permissions(side) | QFile::WriteOwner | QFile::WriteUser) ||
            !QFileInfo(side).isWritable())
            raise(DbErrors::EngineFailure,
                  QStringLiteral("The database '%1' is read-only: '%2' cannot be written.").arg(file, side));
    }
}

} // namespace

Connection::Connection() : d(std::make_unique<ConnectionPrivate>()) {}

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString, const QString& userId, const QString& password) {
    Q_UNUSED(userId);
    Q_UNUSED(password);
    if (d->handle)
        raise(DbErrors::ObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
    const ConnectionParts parts = parseConnectionString(connectionString);
    if (!parts.hasDataSource || parts.dataSource.isEmpty())
        raise(DbErrors::BadConnectionString,
              QStringLiteral("The connection string names no data source: '%1'.").arg(connectionString));
    const QString file = parts.dataSource;
    const QFileInfo info(file);
    if (!info.exists() || info.isDir())
        raise(DbErrors::EngineFailure, QStringLiteral("Could not find file '%1'.").arg(file));
    // An empty file would be taken for a new, empty database and written to; it is no lead database.
    if (info.size() == 0)
        raise(DbErrors::EngineFailure,
              QStringLiteral("Could not open the database file '%1': the file is empty, not a database.")
                  .arg(file));

    refuseReadOnly(file);

    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(file);
    int rc = sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    auto failOpen = [&](const QString& reason) {
        sqlite3_close_v2(handle);
        raise(DbErrors::EngineFailure,
              QStringLiteral("Could not open the database file '%1': %2").arg(file, reason));
    };
    if (rc != SQLITE_OK)
        failOpen(handle ? engineMessage(handle) : QString::fromUtf8(sqlite3_errstr(rc)));
    // SQLite falls back to reading alone when it may not write; nothing has been read yet, so no
    // journal file has been made.
    if (sqlite3_db_readonly(handle, "main") == 1) {
        sqlite3_close_v2(handle);
        raise(DbErrors::EngineFailure, QStringLiteral("The database '%1' is read-only.").arg(file));
    }
    if (!parts.password.isEmpty()) {
        const QByteArray key = parts.password.toUtf8();
        rc = sqlite3_key(handle, key.constData(), int(key.size()));
        if (rc != SQLITE_OK)
            failOpen(engineMessage(handle));
    }
    // The first read tells a wrong password or a foreign file apart before anything can be written.
    rc = sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_NOTADB)
            failOpen(QStringLiteral("file is not a database (wrong password?)"));
        failOpen(engineMessage(handle));
    }
    // Beyond the required settings: a page cache large enough that a data file's rows, saved in one
    // transaction, are encrypted once at commit rather than spilled and re-encrypted, and sorts of the
    // name list kept in memory instead of encrypted temporary files.
    for (const char* pragma :
         {"PRAGMA foreign_keys=ON", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
          "PRAGMA cache_size=-32768", "PRAGMA temp_store=MEMORY"}) {
        rc = sqlite3_exec(handle, pragma, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            failOpen(engineMessage(handle));
    }
    sqlite3_busy_timeout(handle, 2000);
    if (const QString reason = useCaseFolding(handle); !reason.isEmpty())
        failOpen(reason);
    d->handle = handle;
    d->file = file;
    d->transactionDepth = 0;
    d->tables.clear();
}

int Connection::state() const {
    return d->handle ? adStateOpen : adStateClosed;
}

sqlite3* Connection::handle() const {
    return d->handle;
}

void Connection::execute(const QString& sql) {
    d->requireOpen();
    const QString adapted = adaptSql(sql);
    // The column cache follows the schema.
    if (changesSchema(adapted))
        d->tables.clear();
    d->run(adapted);
}

void Connection::execute(const QString& sql, const QVariantList& parameters) {
    d->requireOpen();
    const QString adapted = adaptSql(sql);
    if (changesSchema(adapted))
        d->tables.clear();
    Statement statement = Statement::prepare(d->handle, adapted);
    if (!statement)
        raise(DbErrors::StatementRejected, QStringLiteral("The statement is empty."));
    bindParameters(statement.get(), parameters);
    statement.runToEnd();
}

void Connection::beginTrans() {
    d->requireOpen();
    syncTransaction();
    // The outermost level takes the write lock at once, so that what it reads before its first write
    // (is this data file known?) cannot be changed by another program before it writes.
    if (d->transactionDepth == 0)
        d->run(QStringLiteral("BEGIN IMMEDIATE"));
    else
        d->run(QStringLiteral("SAVEPOINT qm_level_%1").arg(d->transactionDepth));
    ++d->transactionDepth;
}

void Connection::commitTrans() {
    d->requireOpen();
    syncTransaction();
    if (d->transactionDepth == 0)
        raise(DbErrors::EngineFailure, QStringLiteral("No transaction is active."));
    try {
        if (d->transactionDepth == 1)
            d->run(QStringLiteral("COMMIT"));
        else
            d->run(QStringLiteral("RELEASE qm_level_%1").arg(d->transactionDepth - 1));
    } catch (const Failure&) {
        // A commit that fails (a full disk) may leave the transaction open; it ends here, undone, and
        // the failure that stopped it is the one reported.
        if (!sqlite3_get_autocommit(d->handle))
            sqlite3_exec(d->handle, "ROLLBACK", nullptr, nullptr, nullptr);
        d->transactionDepth = 0;
        throw;
    }
    --d->transactionDepth;
}

void Connection::rollbackTrans() {
    d->requireOpen();
    syncTransaction();
    if (d->transactionDepth == 0)
        raise(DbErrors::EngineFailure, QStringLiteral("No transaction is active."));
    if (d->transactionDepth == 1) {
        d->run(QStringLiteral("ROLLBACK"));
    } else {
        const QString name = QStringLiteral("qm_level_%1").arg(d->transactionDepth - 1);
        d->run(QStringLiteral("ROLLBACK TO ") + name);
        d->run(QStringLiteral("RELEASE ") + name);
    }
    --d->transactionDepth;
}

bool Connection::inTransaction() const {
    syncTransaction();
    return d->transactionDepth > 0;
}

// SQLite undoes a whole transaction by itself after some failures (a full disk, no memory, an I/O
// error); the transaction is over then, and undoing it again would only report that none is active.
void Connection::syncTransaction() const {
    if (d->handle && d->transactionDepth > 0 && sqlite3_get_autocommit(d->handle))
        d->transactionDepth = 0;
}

void Connection::close() {
    if (!d || !d->handle)
        return;
    // Recordsets still open on this connection are closed first; their changes are abandoned.
    const QSet<RecordsetPrivate*> open = d->recordsets;
    for (RecordsetPrivate* recordset : open)
        recordset->release();
    d->recordsets.clear();
    if (d->transactionDepth > 0)
        sqlite3_exec(d->handle, "ROLLBACK", nullptr, nullptr, nullptr);
    d->transactionDepth = 0;
    sqlite3_close_v2(d->handle);
    d->handle = nullptr;
    d->tables.clear();
}

} // namespace db
