#pragma once

#include "database/Database.h"
#include "errors/Failure.h"

#include <QDate>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

// Creates an installation's lead database in `folder` (made when missing) through the installation
// tool's own code and returns the path of the new Quillmark.mdb.
QString CreateTestDatabase(const QString& folder, int dealerships = 1);

// The connection string the program uses, for `file`, with the installation's password.
QString TestConnectionString(const QString& file);

// A connection opened on `file` through the database layer.
std::unique_ptr<db::Connection> OpenTestDatabase(const QString& file);

// Runs `sql` on `file` through a plain SQLCipher handle, past the database layer, and returns every row
// as it is stored (integers as qint64, text as QString, Null as a null QVariant). Lets tests check the
// stored form of values. Raises Failure on any error.
QList<QVariantList> RawRows(const QString& file, const QString& sql);
// The first column of the first row of RawRows (a null QVariant when there is no row).
QVariant RawValue(const QString& file, const QString& sql);

// The whole content of a file (empty when it cannot be read).
QByteArray FileBytes(const QString& file);

// The Failure that `action` raises, or nothing when it runs through.
std::optional<Failure> CaughtFailure(const std::function<void()>& action);
// The number of the Failure that `action` raises, or 0 when it runs through.
qint32 FailureNumber(const std::function<void()>& action);

// Runs `action` as an ordinary user, so that file modes count also when the tests run as root, who
// may read and write whatever the modes say. Under root: in a forked child that hands the folder
// `tree` (with everything in it) to the user nobody and becomes that user; `action` is told
// (`inChild`) so that it can leave the parent's open files alone. Otherwise: here, in this process.
// Returns what `action` returns, or the description of the Failure it raises.
QString AsOrdinaryUser(const QString& tree, const std::function<QString(bool inChild)>& action);

// The first value of the first row of `sql` read through `connection` (a null QVariant for no row).
QVariant ScalarOf(db::Connection& connection, const QString& sql);

// Statements still prepared on `connection`, or only those in the middle of a read. One left behind
// would keep a read open and hold up every later commit.
int PreparedStatements(db::Connection& connection, bool readingOnly = false);

// A lead database of one test's own: a fresh file with `dealerships` delivered Dlr_Info rows in a
// temporary folder that goes with it, opened through the database layer unless `open` is false.
class TestDatabase {
public:
    explicit TestDatabase(int dealerships = 1, bool open = true);

    QTemporaryDir dir;
    const QString file;

    // The open connection; reopen() gives a fresh one, close() lets it go.
    db::Connection& connection();
    void reopen();
    void close();

    QVariant scalar(const QString& sql) { return ScalarOf(connection(), sql); }
    // The stored form, read past the database layer.
    QVariant raw(const QString& sql) const { return RawValue(file, sql); }

    // Adds rows through a table opened whole, as the program adds them; returns the new row's ID.
    int addDataFile(const QString& name, const QDate& date = QDate(2000, 1, 1));
    int addName(int dataFile, const QString& name, const QVariant& phone = {}, bool printed = false,
                bool followed = false);

private:
    std::unique_ptr<db::Connection> m_connection;
};
