#include "tests/support/TestDatabase.h"

#include "database/DbErrors.h"
#include "errors/Failure.h"
#include "setup/Setup.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <grp.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

QString CreateTestDatabase(const QString& folder, int dealerships) {
    const QString file = QDir(folder).filePath(QStringLiteral("Quillmark.mdb"));
    createDatabase(file, dealerships);
    return file;
}

QString TestConnectionString(const QString& file) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=") + file +
           QStringLiteral("; Jet OLEDB:Database Password=") + setup::DatabasePassword;
}

std::unique_ptr<db::Connection> OpenTestDatabase(const QString& file) {
    auto connection = std::make_unique<db::Connection>();
    connection->open(TestConnectionString(file));
    return connection;
}

QList<QVariantList> RawRows(const QString& file, const QString& sql) {
    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(file);
    QList<QVariantList> rows;
    auto fail = [&]() {
        const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_close_v2(handle);
        throw Failure(DbErrors::EngineFailure, message);
    };
    if (sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail();
    const QByteArray key = setup::DatabasePassword.toUtf8();
    sqlite3_key(handle, key.constData(), int(key.size()));
    sqlite3_stmt* stmt = nullptr;
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
        fail();
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_NULL:
                row.append(QVariant());
                break;
            case SQLITE_INTEGER:
                row.append(QVariant(qint64(sqlite3_column_int64(stmt, i))));
                break;
            case SQLITE_FLOAT:
                row.append(QVariant(sqlite3_column_double(stmt, i)));
                break;
            default:
                row.append(
                    QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                                               sqlite3_column_bytes(stmt, i))));
                break;
            }
        }
        rows.append(row);
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        fail();
    sqlite3_close_v2(handle);
    return rows;
}

QVariant RawValue(const QString& file, const QString& sql) {
    const QList<QVariantList> rows = RawRows(file, sql);
    if (rows.isEmpty() || rows.first().isEmpty())
        return {};
    return rows.first().first();
}

QByteArray FileBytes(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

std::optional<Failure> CaughtFailure(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

qint32 FailureNumber(const std::function<void()>& action) {
    const std::optional<Failure> failure = CaughtFailure(action);
    return failure ? failure->number() : 0;
}

QString AsOrdinaryUser(const QString& tree, const std::function<QString(bool)>& action) {
    auto run = [&](bool inChild) {
        try {
            return action(inChild);
        } catch (const Failure& failure) {
            return failure.description();
        }
    };
    if (::geteuid() != 0)
        return run(false);
    constexpr uid_t nobody = 65534;
    const QByteArray root = QFile::encodeName(tree);
    if (::lchown(root.constData(), nobody, nobody) != 0)
        return QStringLiteral("<cannot hand over %1>").arg(tree);
    for (QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();)
        if (::lchown(QFile::encodeName(it.next()).constData(), nobody, nobody) != 0)
            return QStringLiteral("<cannot hand over %1>").arg(it.filePath());
    int channel[2];
    if (::pipe(channel) != 0)
        return QStringLiteral("<no pipe>");
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        QByteArray answer = "<could not become nobody>";
        if (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0)
            answer = run(true).toUtf8();
        for (qsizetype done = 0; done < answer.size();) {
            const ssize_t n = ::write(channel[1], answer.constData() + done, size_t(answer.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    QByteArray answer;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return QStringLiteral("<the child ended abnormally>");
    return QString::fromUtf8(answer);
}

QVariant ScalarOf(db::Connection& connection, const QString& sql) {
    db::Recordset rs;
    rs.open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
    return rs.eof() ? QVariant() : rs.value(0);
}

int PreparedStatements(db::Connection& connection, bool readingOnly) {
    int count = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(connection.handle(), nullptr); s;
         s = sqlite3_next_stmt(connection.handle(), s))
        count += !readingOnly || sqlite3_stmt_busy(s) ? 1 : 0;
    return count;
}

// The file is made in the folder before anything else needs it.
TestDatabase::TestDatabase(int dealerships, bool open) : file(CreateTestDatabase(dir.path(), dealerships)) {
    if (open)
        reopen();
}

db::Connection& TestDatabase::connection() {
    if (!m_connection)
        throw Failure(DbErrors::ObjectClosed, QStringLiteral("The test's connection is closed."));
    return *m_connection;
}

void TestDatabase::reopen() {
    m_connection.reset();
    m_connection = OpenTestDatabase(file);
}

void TestDatabase::close() {
    m_connection.reset();
}

int TestDatabase::addDataFile(const QString& name, const QDate& date) {
    db::Recordset rs;
    rs.open(QStringLiteral("DataFiles"), connection(), db::adOpenStatic, db::adLockOptimistic,
            db::adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("FileName"), name);
    rs.setValue(QStringLiteral("Date"), date);
    rs.update();
    return rs.value(QStringLiteral("ID")).toInt();
}

int TestDatabase::addName(int dataFile, const QString& name, const QVariant& phone, bool printed,
                          bool followed) {
    db::Recordset rs;
    rs.open(QStringLiteral("Names"), connection(), db::adOpenForwardOnly, db::adLockOptimistic,
            db::adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("DataFile_ID"), dataFile);
    rs.setValue(QStringLiteral("Name"), name);
    rs.setValue(QStringLiteral("Phone"), phone);
    rs.setValue(QStringLiteral("Printed"), printed);
    rs.setValue(QStringLiteral("Followed"), followed);
    rs.update();
    return rs.value(QStringLiteral("ID")).toInt();
}
