// Preparing, stepping and finalizing statements, and the failures raised on the way (Statement.h).
#include "database/Statement.h"

#include "database/DateText.h"
#include "database/DbErrors.h"
#include "errors/Failure.h"

#include <sqlite3.h>

namespace db {

void raise(qint32 number, const QString& description) {
    throw Failure(number, description);
}

QString engineMessage(sqlite3* handle) {
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

void raisePrepareFailure(sqlite3* handle, int resultCode) {
    const int primary = resultCode & 0xff;
    raise(primary == SQLITE_ERROR ? DbErrors::StatementRejected : DbErrors::EngineFailure,
          engineMessage(handle));
}

void raiseEngineFailure(sqlite3* handle) {
    raise(DbErrors::EngineFailure, engineMessage(handle));
}

void bindParameters(sqlite3_stmt* statement, const QVariantList& values) {
    if (sqlite3_bind_parameter_count(statement) != values.size())
        raise(DbErrors::StatementRejected, QStringLiteral("The statement takes %1 values, %2 were given.")
                                               .arg(sqlite3_bind_parameter_count(statement))
                                               .arg(values.size()));
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& value = values[i];
        int rc = SQLITE_OK;
        if (value.isNull()) {
            rc = sqlite3_bind_null(statement, i + 1);
        } else if (value.typeId() == QMetaType::Bool) {
            rc = sqlite3_bind_int64(statement, i + 1, value.toBool() ? -1 : 0);
        } else if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong ||
                   value.typeId() == QMetaType::UInt) {
            rc = sqlite3_bind_int64(statement, i + 1, value.toLongLong());
        } else if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate) {
            // In the stored form, so that a date compares with a date column as the same text.
            const QDateTime dateTime = value.typeId() == QMetaType::QDate
                                           ? QDateTime(value.toDate(), QTime(0, 0))
                                           : value.toDateTime();
            char stored[20];
            const int length = formatStoredDate(partsOf(dateTime), stored);
            if (!dateTime.isValid() || length == 0)
                raise(DbErrors::DataTypeMismatch,
                      QStringLiteral("The date %1 cannot be stored.").arg(value.toString()));
            rc = sqlite3_bind_text(statement, i + 1, stored, length, SQLITE_TRANSIENT);
        } else {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            raiseEngineFailure(sqlite3_db_handle(statement));
    }
}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        finalize();
        m_statement = std::exchange(other.m_statement, nullptr);
    }
    return *this;
}

Statement Statement::prepare(sqlite3* handle, const QString& sql) {
    const QByteArray text = sql.toUtf8();
    const char* next = nullptr;
    return prepareFirst(handle, text.constData(), text.constData() + text.size(), &next);
}

Statement Statement::prepareFirst(sqlite3* handle, const char* begin, const char* end, const char** next) {
    sqlite3_stmt* prepared = nullptr;
    const int rc = sqlite3_prepare_v2(handle, begin, int(end - begin), &prepared, next);
    Statement statement(prepared);
    if (rc != SQLITE_OK)
        raisePrepareFailure(handle, rc);
    return statement;
}

bool Statement::step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3* handle = sqlite3_db_handle(m_statement);
    // The message is taken before the reset, which may replace it.
    const QString message = engineMessage(handle);
    sqlite3_reset(m_statement);
    raise(DbErrors::EngineFailure, message);
}

void Statement::runToEnd() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(m_statement);
}

void Statement::finalize() {
    sqlite3_finalize(m_statement);
    m_statement = nullptr;
}

} // namespace db
