#include "setup/Setup.h"

#include "database/CaseFolding.h"
#include "database/DbErrors.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "setup/SchemaSql.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace {

// Runs SQL text on the new file; a failure carries the database's own message.
void run(sqlite3* handle, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(handle, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        const QString text = QString::fromUtf8(message ? message : sqlite3_errmsg(handle));
        sqlite3_free(message);
        throw Failure(DbErrors::EngineFailure, text);
    }
}

void removeDatabaseFiles(const QString& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(file + QLatin1String(suffix));
}

} // namespace

void createDatabase(const QString& file, int dealerships) {
    if (dealerships < 1 || dealerships > 32767)
        throw Failure(ErrorNumbers::InvalidArgument,
                      QStringLiteral("The number of dealerships must be between 1 and 32767, not %1.")
                          .arg(dealerships));
    const QFileInfo info(file);
    if (info.exists())
        throw Failure(setup::FileAlreadyExists,
                      QStringLiteral("The database '%1' already exists; it is left as it is.").arg(file));
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        throw Failure(ErrorNumbers::PathNotFound,
                      QStringLiteral("Could not create the folder '%1'.").arg(folder));

    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(file);
    const int rc =
        sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    try {
        if (rc != SQLITE_OK)
            throw Failure(
                DbErrors::EngineFailure,
                QStringLiteral("Could not create the database '%1': %2")
                    .arg(file, QString::fromUtf8(handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc))));
        const QByteArray key = setup::DatabasePassword.toUtf8();
        if (sqlite3_key(handle, key.constData(), int(key.size())) != SQLITE_OK)
            throw Failure(DbErrors::EngineFailure, QString::fromUtf8(sqlite3_errmsg(handle)));
        run(handle, "PRAGMA journal_mode=WAL");
        run(handle, "BEGIN");
        run(handle, SchemaSql);
        sqlite3_stmt* insert = nullptr;
        if (sqlite3_prepare_v2(handle, "INSERT INTO Dlr_Info (ID, Name) VALUES (?1, NULL)", -1, &insert,
                               nullptr) != SQLITE_OK)
            throw Failure(DbErrors::EngineFailure, QString::fromUtf8(sqlite3_errmsg(handle)));
        for (int id = 1; id <= dealerships; ++id) {
            sqlite3_bind_int(insert, 1, id);
            if (sqlite3_step(insert) != SQLITE_DONE) {
                const QString text = QString::fromUtf8(sqlite3_errmsg(handle));
                sqlite3_finalize(insert);
                throw Failure(DbErrors::EngineFailure, text);
            }
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        run(handle, "COMMIT");
        // Marks the new file's text indexes as ordered the program's way, so no first start writes.
        if (const QString reason = db::useCaseFolding(handle); !reason.isEmpty())
            throw Failure(DbErrors::EngineFailure, reason);
        if (sqlite3_close(handle) != SQLITE_OK)
            throw Failure(DbErrors::EngineFailure, QString::fromUtf8(sqlite3_errmsg(handle)));
    } catch (...) {
        sqlite3_close_v2(handle);
        removeDatabaseFiles(file);
        throw;
    }
}

void prepareUserFolders(const QString& shippedTemplates, const QString& userDataFolder) {
    const QString data = userDataFolder + QStringLiteral("/Data");
    if (!QDir().mkpath(data))
        throw Failure(ErrorNumbers::PathNotFound,
                      QStringLiteral("Could not create the folder '%1'.").arg(data));
    const QString templates = userDataFolder + QStringLiteral("/Templates");
    if (QFileInfo::exists(templates))
        return;
    if (!QFileInfo(shippedTemplates).isDir())
        throw Failure(ErrorNumbers::PathNotFound,
                      QStringLiteral("The templates that come with Quillmark are missing: '%1'.")
                          .arg(shippedTemplates));
    // Copied under another name first, so that a copy cut short is not taken for the user's folder.
    const QString partial = userDataFolder + QStringLiteral("/Templates.partial");
    QDir(partial).removeRecursively();
    try {
        const QDir from(shippedTemplates);
        QDirIterator it(shippedTemplates, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        if (!QDir().mkpath(partial))
            throw Failure(ErrorNumbers::PathNotFound,
                          QStringLiteral("Could not create the folder '%1'.").arg(partial));
        while (it.hasNext()) {
            const QString source = it.next();
            const QString target = partial + QLatin1Char('/') + from.relativeFilePath(source);
            if (it.fileInfo().isDir()) {
                if (!QDir().mkpath(target))
                    throw Failure(ErrorNumbers::PathNotFound,
                                  QStringLiteral("Could not create the folder '%1'.").arg(target));
            } else if (QFile file(source);
                       !QDir().mkpath(QFileInfo(target).absolutePath()) || !file.copy(target)) {
                throw Failure(ErrorNumbers::PathFileAccessError,
                              QStringLiteral("Could not copy the template '%1' to '%2': %3")
                                  .arg(source, target, file.errorString()));
            }
        }
        if (!QDir().rename(partial, templates))
            throw Failure(ErrorNumbers::PathFileAccessError,
                          QStringLiteral("Could not create the folder '%1'.").arg(templates));
    } catch (...) {
        QDir(partial).removeRecursively();
        throw;
    }
}
