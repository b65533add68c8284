// Opening the lead database, the dialect adaptation, date texts and refused statements.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "tests/support/TestDatabase.h"

#include <QDateTime>
#include <QFile>
#include <QTest>

using namespace db;

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void opensAndCloses();
    void refusesWithoutChangingTheFile();
    void refusesReadOnlyDatabaseLeavingNoFileBehind();
    void adaptsJetDialect();
    void parsesDateTexts();
    void rejectsBadStatements();
};

namespace {

int countOf(Connection& connection, const QString& sql) {
    return ScalarOf(connection, sql).toInt();
}

} // namespace

void TestConnection::opensAndCloses() {
    const TestDatabase database(2, false);
    const QString& file = database.file;
    Connection connection; // keys in any letter case, blanks around the parts
    connection.open(QString("  provider = Microsoft.Jet.OLEDB.4.0 ;DATA SOURCE=  %1 ;  jet oledb:database "
                            "password = quartzfern ")
                        .arg(file));
    QCOMPARE(countOf(connection, "SELECT COUNT(*) FROM Dlr_Info"), 2);
    QCOMPARE(FailureNumber([&] { connection.open(TestConnectionString(file)); }), DbErrors::ObjectOpen);

    Recordset streaming, table;
    streaming.open("SELECT ID FROM Dlr_Info", connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    table.open("Dlr_Info", connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
    table.setValue("Name", "Pending");
    connection.close(); // closes its recordsets and drops their pending changes
    QVERIFY(connection.state() == adStateClosed && table.state() == adStateClosed && !table.editing());
    QCOMPARE(FailureNumber([&] { streaming.moveNext(); }), DbErrors::ObjectClosed);
    QCOMPARE(FailureNumber([&] { connection.execute("DELETE FROM Names"); }), DbErrors::ObjectClosed);
    QCOMPARE(RawValue(file, "SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NOT NULL").toInt(), 0);

    connection.open(TestConnectionString(file)); // again after closing
    QCOMPARE(countOf(connection, "SELECT COUNT(*) FROM Dlr_Info"), 2);
    {
        auto gone = std::make_unique<Connection>(); // a connection may go away before its recordsets
        gone->open(TestConnectionString(file));
        streaming.open("Dlr_Info", *gone, adOpenForwardOnly, adLockReadOnly, adCmdTableDirect);
    }
    QCOMPARE(streaming.state(), int(adStateClosed));

    const QString noSource = "Provider=Microsoft.Jet.OLEDB.4.0; Jet OLEDB:Database Password=quartzfern";
    QCOMPARE(FailureNumber([&] { Connection().open(noSource); }), DbErrors::BadConnectionString);
}

void TestConnection::refusesWithoutChangingTheFile() {
    const TestDatabase database(1, false);
    const QString& file = database.file;
    const QTemporaryDir& dir = database.dir;
    const QString missing = dir.filePath("Missing.mdb");
    const QString text = dir.filePath("Text.mdb");
    const QString empty = dir.filePath("Empty.mdb");
    const QByteArray textBytes = QByteArray("This is a letter, not a database.\r\n").repeated(200);
    for (const auto& [path, bytes] : {std::pair{text, textBytes}, std::pair{empty, QByteArray()}}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QByteArray before = FileBytes(file);
    const QString prefix = "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + file;
    const QStringList refused = {prefix + "; Jet OLEDB:Database Password=wrong", prefix,
                                 TestConnectionString(missing), TestConnectionString(text),
                                 TestConnectionString(empty)};
    for (const QString& connectionString : refused) {
        Connection connection;
        auto failure = CaughtFailure([&] { connection.open(connectionString); });
        QVERIFY2(failure, qPrintable(connectionString));
        QCOMPARE(failure->number(), DbErrors::EngineFailure);
        QVERIFY2(failure->description().contains(dir.path()), qPrintable(failure->description()));
        QCOMPARE(connection.state(), int(adStateClosed));
    }
    QVERIFY(CaughtFailure([&] { Connection().open(refused[0]); })->description().contains("not a database"));
    QCOMPARE(CaughtFailure([&] { Connection().open(refused[2]); })->description(),
             QString("Could not find file '%1'.").arg(missing));
    QCOMPARE(FileBytes(file), before);
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(FileBytes(text), textBytes);
    QCOMPARE(QFileInfo(empty).size(), 0);
    QCOMPARE(countOf(*OpenTestDatabase(file), "SELECT COUNT(*) FROM Dlr_Info"), 1);
}

// A database that may not be written is reported as such before SQLite can leave read-only -wal and
// -shm files behind; once writable again it opens, also over such files left by earlier builds.
void TestConnection::refusesReadOnlyDatabaseLeavingNoFileBehind() {
    const TestDatabase database(1, false);
    const QString& file = database.file;
    const QTemporaryDir& dir = database.dir;
    const QString wal = file + "-wal", shm = file + "-shm";
    const QByteArray before = FileBytes(file);
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto writable = readOnly | QFile::WriteOwner;
    const auto open = [&] {
        return AsOrdinaryUser(dir.path(), [&](bool) {
            Connection connection;
            connection.open(TestConnectionString(file));
            connection.execute("INSERT INTO Contact_Info (Name) VALUES ('Pat')");
            return QString::number(countOf(connection, "SELECT COUNT(*) FROM Contact_Info"));
        });
    };
    QVERIFY(QFile::setPermissions(file, readOnly));
    QCOMPARE(open(), QString("The database '%1' is read-only.").arg(file));
    QVERIFY(QFile::setPermissions(file, writable));
    QVERIFY(
        QFile::setPermissions(dir.path(), readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    QCOMPARE(open(), QString("The database '%1' is read-only: its folder cannot be written.").arg(file));
    QVERIFY(QFile::setPermissions(dir.path(), writable | QFile::ExeOwner));
    QCOMPARE(FileBytes(file), before);
    QVERIFY(!QFile::exists(wal) && !QFile::exists(shm));

    for (const QString& side : {wal, shm}) {
        QFile f(side);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(QFile::setPermissions(side, readOnly));
    }
    QCOMPARE(open(), QString("1"));
    QCOMPARE(open(), QString("2"));
}

void TestConnection::adaptsJetDialect() {
    // The Jet text, then what SQLite is given.
    // clang-format off
    const QStringList pairs = {
        "SELECT TOP 1 Name FROM Dlr_Info", "SELECT Name FROM Dlr_Info LIMIT 1",
        "  select top 25 ID, Name from [Names] order by Name DESC; ",
        "  select ID, Name from [Names] order by Name DESC LIMIT 25",
        "SELECT DISTINCT TOP 3 City FROM [Names]", "SELECT DISTINCT City FROM [Names] LIMIT 3",
        "DELETE * FROM [Names] WHERE ID IN (1,2)", "DELETE FROM [Names] WHERE ID IN (1,2)",
        "delete   *   from DataFiles", "delete from DataFiles",
        "DELETE [Names].* FROM [Names] WHERE ID = 3", "DELETE FROM [Names] WHERE ID = 3",
        "SELECT ID FROM [Names] WHERE Name = 'TOP 5 DEALS'", "SELECT ID FROM [Names] WHERE Name = 'TOP 5 DEALS'",
        "SELECT ID FROM [Names] WHERE (Name LIKE '%J_NES%') AND NOT Printed",
        "SELECT ID FROM [Names] WHERE (Name LIKE '%J_NES%') AND NOT Printed"};
    // clang-format on
    for (qsizetype i = 0; i < pairs.size(); i += 2)
        QCOMPARE(adaptSql(pairs[i]), pairs[i + 1]);
}

void TestConnection::parsesDateTexts() {
    // The text, then the date and time it is (empty: refused).
    // clang-format off
    const QStringList pairs = {
        "01/05/99", "1999-01-05T00:00:00", "12/31/29", "2029-12-31T00:00:00", "1/1/30", "1930-01-01T00:00:00",
        "02/29/00", "2000-02-29T00:00:00", "7/4/1929", "1929-07-04T00:00:00",
        "12/30/1899", "1899-12-30T00:00:00", "2003-01-05 13:45:09", "2003-01-05T13:45:09",
        "1/5/99 7:05", "1999-01-05T07:05:00", "1/5/1999 1:05:09 PM", "1999-01-05T13:05:09",
        "1/5/1999 12:00:00 AM", "1999-01-05T00:00:00", "  3/12/2001  ", "2001-03-12T00:00:00",
        "02/30/99", "", "2/29/01", "", "13/45/99", "", "00/00/00", "", "", "", "yesterday", "", "1/5/999", "",
        "1/5/99x", "", "1/5", "", "2003-13-01", "", "1/5/99 24:00", "", "1/5/99 13:00 PM", ""};
    // clang-format on
    for (qsizetype i = 0; i < pairs.size(); i += 2)
        QCOMPARE(parseDateText(pairs[i]).toString(Qt::ISODate), pairs[i + 1]);
}

void TestConnection::rejectsBadStatements() {
    TestDatabase database;
    Connection* connection = &database.connection();
    Recordset rs;
    for (const char* sql : {"SELEC ID FROM [Names]", "SELECT Nmae FROM [Names]", "SELECT ID FROM Leads"}) {
        QCOMPARE(
            FailureNumber([&] { rs.open(sql, *connection, adOpenForwardOnly, adLockReadOnly, adCmdText); }),
            DbErrors::StatementRejected);
        QCOMPARE(rs.state(), int(adStateClosed));
    }
    auto execute = CaughtFailure([&] { connection->execute("DELETE * FROM Leads WHERE ID = 1"); });
    QVERIFY(execute && execute->number() == DbErrors::StatementRejected);
    QVERIFY(execute->description().contains("Leads"));
    // Accepted by SQLite but refused by the data: the engine's failure.
    auto constraint = CaughtFailure(
        [&] { connection->execute("INSERT INTO [Names] (DataFile_ID, Name) VALUES (999, 'X')"); });
    QVERIFY(constraint && constraint->number() == DbErrors::EngineFailure);
    QVERIFY2(constraint->description().contains("FOREIGN KEY"), qPrintable(constraint->description()));
    QCOMPARE(countOf(*connection, "SELECT COUNT(*) FROM [Names]"), 0); // still usable
    // A script stops at its first refused statement; what ran before it stays.
    QCOMPARE(FailureNumber([&] {
                 connection->execute("INSERT INTO Contact_Info (Name) VALUES ('Pat'); "
                                     "INSERT INTO [Names] (DataFile_ID, Name) VALUES (999, 'X'); "
                                     "INSERT INTO Contact_Info (Name) VALUES ('Lee')");
             }),
             DbErrors::EngineFailure);
    QCOMPARE(countOf(*connection, "SELECT COUNT(*) FROM Contact_Info"), 1);
    // A refused row, a refused change and a read that fails half-way: every statement is finalized with
    // its recordset, and nothing of a failure stays prepared on the connection.
    rs.open("Names", *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue("DataFile_ID", 999);
    QCOMPARE(FailureNumber([&] { rs.update(); }), DbErrors::EngineFailure);
    rs.close();
    connection->execute("INSERT INTO Contact_Info (Name) VALUES ('Al')");
    // The second row's number overflows.
    const QString overflow = "SELECT Name, abs(1 - length(Name) - 9223372036854775807) FROM Contact_Info";
    rs.open(overflow, *connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    QCOMPARE(rs.value("Name").toString(), QString("Pat"));
    QCOMPARE(FailureNumber([&] { rs.moveNext(); }), DbErrors::EngineFailure);
    rs.close();
    QCOMPARE(FailureNumber([&] { rs.open(overflow, *connection, adOpenStatic, adLockReadOnly, adCmdText); }),
             DbErrors::EngineFailure);
    QCOMPARE(PreparedStatements(*connection), 0);
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
