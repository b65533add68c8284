// Opening the lead database, the dialect adaptation, date texts, statements and transactions.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "tests/support/TestDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheJetConnectionString();
    void refusesWithoutChangingTheFile();
    void adaptsJetDialect_data();
    void adaptsJetDialect();
    void parsesDateTexts_data();
    void parsesDateTexts();
    void rejectsBadStatements();
    void groupsSavesInTransactions();
    void closingTheConnectionClosesItsRecordsets();
};

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

int countOf(db::Connection& connection, const QString& sql) {
    db::Recordset rs;
    rs.open(sql, connection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
    return rs.value(0).toInt();
}

} // namespace

void TestConnection::opensWithTheJetConnectionString() {
    QTemporaryDir dir;
    const QString file = CreateTestDatabase(dir.path(), 2);

    // Keys in any letter case, blanks around the parts.
    db::Connection connection;
    QCOMPARE(connection.state(), int(db::adStateClosed));
    connection.open(
        QStringLiteral("  provider = Microsoft.Jet.OLEDB.4.0 ;DATA SOURCE=  %1 ;  jet oledb:database "
                       "password = quartzfern ")
            .arg(file));
    QCOMPARE(connection.state(), int(db::adStateOpen));
    QVERIFY(connection.handle() != nullptr);
    QCOMPARE(countOf(connection, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info")), 2);

    // The settings the program relies on.
    db::Recordset rs;
    rs.open(QStringLiteral("PRAGMA foreign_keys"), connection, db::adOpenForwardOnly, db::adLockReadOnly,
            db::adCmdText);
    QCOMPARE(rs.value(0).toInt(), 1);
    rs.close();
    rs.open(QStringLiteral("PRAGMA journal_mode"), connection, db::adOpenForwardOnly, db::adLockReadOnly,
            db::adCmdText);
    QCOMPARE(rs.value(0).toString(), QStringLiteral("wal"));
    rs.close();

    auto twice = CaughtFailure([&] { connection.open(TestConnectionString(file)); });
    QVERIFY(twice);
    QCOMPARE(twice->number(), DbErrors::ObjectOpen);

    connection.close();
    QCOMPARE(connection.state(), int(db::adStateClosed));
    auto closed = CaughtFailure([&] { connection.execute(QStringLiteral("DELETE FROM Names")); });
    QVERIFY(closed);
    QCOMPARE(closed->number(), DbErrors::ObjectClosed);
    auto closedOpen = CaughtFailure([&] {
        rs.open(QStringLiteral("Names"), connection, db::adOpenForwardOnly, db::adLockReadOnly,
                db::adCmdTableDirect);
    });
    QVERIFY(closedOpen);
    QCOMPARE(closedOpen->number(), DbErrors::ObjectClosed);

    // A connection can be opened again after closing.
    connection.open(TestConnectionString(file));
    QCOMPARE(countOf(connection, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info")), 2);

    db::Connection noSource;
    auto bad = CaughtFailure([&] {
        noSource.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Jet OLEDB:Database "
                                     "Password=quartzfern"));
    });
    QVERIFY(bad);
    QCOMPARE(bad->number(), DbErrors::BadConnectionString);
    QCOMPARE(noSource.state(), int(db::adStateClosed));
}

void TestConnection::refusesWithoutChangingTheFile() {
    QTemporaryDir dir;
    const QString file = CreateTestDatabase(dir.path());
    const QByteArray before = FileBytes(file);
    QVERIFY(!before.isEmpty());

    // Wrong password: the file stays byte for byte as it was.
    {
        db::Connection connection;
        auto failure = CaughtFailure([&] {
            connection.open(
                QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=%1; Jet OLEDB:Database "
                               "Password=wrong")
                    .arg(file));
        });
        QVERIFY(failure);
        QCOMPARE(failure->number(), DbErrors::EngineFailure);
        QVERIFY2(failure->description().contains(file), qPrintable(failure->description()));
        QVERIFY2(failure->description().contains(QStringLiteral("not a database")),
                 qPrintable(failure->description()));
        QCOMPARE(connection.state(), int(db::adStateClosed));
    }
    QCOMPARE(FileBytes(file), before);

    // No password at all on an encrypted file.
    {
        db::Connection connection;
        auto failure = CaughtFailure([&] {
            connection.open(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0; Data Source=%1").arg(file));
        });
        QVERIFY(failure);
        QCOMPARE(failure->number(), DbErrors::EngineFailure);
    }
    QCOMPARE(FileBytes(file), before);

    // A missing file is not created.
    const QString missing = dir.filePath(QStringLiteral("Missing.mdb"));
    {
        db::Connection connection;
        auto failure = CaughtFailure([&] { connection.open(TestConnectionString(missing)); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), DbErrors::EngineFailure);
        QCOMPARE(failure->description(), QStringLiteral("Could not find file '%1'.").arg(missing));
    }
    QVERIFY(!QFile::exists(missing));

    // A text file and an empty file are no database and are left alone.
    const QString text = dir.filePath(QStringLiteral("Text.mdb"));
    const QByteArray textBytes = QByteArray("This is a letter, not a database.\r\n").repeated(200);
    writeFile(text, textBytes);
    const QString empty = dir.filePath(QStringLiteral("Empty.mdb"));
    writeFile(empty, QByteArray());
    for (const QString& path : {text, empty}) {
        db::Connection connection;
        auto failure = CaughtFailure([&] { connection.open(TestConnectionString(path)); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), DbErrors::EngineFailure);
        QVERIFY2(failure->description().contains(path), qPrintable(failure->description()));
    }
    QCOMPARE(FileBytes(text), textBytes);
    QCOMPARE(QFileInfo(empty).size(), 0);

    // The right password still opens the untouched file.
    auto connection = OpenTestDatabase(file);
    QCOMPARE(countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info")), 1);
}

void TestConnection::adaptsJetDialect_data() {
    QTest::addColumn<QString>("jet");
    QTest::addColumn<QString>("sqlite");
    QTest::newRow("top") << "SELECT TOP 1 Name FROM Dlr_Info"
                         << "SELECT Name FROM Dlr_Info LIMIT 1";
    QTest::newRow("top lower case, order, semicolon")
        << "  select top 25 ID, Name from [Names] order by Name DESC; "
        << "  select ID, Name from [Names] order by Name DESC LIMIT 25";
    QTest::newRow("top distinct") << "SELECT DISTINCT TOP 3 City FROM [Names]"
                                  << "SELECT DISTINCT City FROM [Names] LIMIT 3";
    QTest::newRow("delete star") << "DELETE * FROM [Names] WHERE ID IN (1,2)"
                                 << "DELETE FROM [Names] WHERE ID IN (1,2)";
    QTest::newRow("delete star lower case") << "delete   *   from DataFiles"
                                            << "delete from DataFiles";
    QTest::newRow("delete table star") << "DELETE [Names].* FROM [Names] WHERE ID = 3"
                                       << "DELETE FROM [Names] WHERE ID = 3";
    QTest::newRow("plain delete") << "DELETE FROM DataFiles WHERE FileName = 'a.lst'"
                                  << "DELETE FROM DataFiles WHERE FileName = 'a.lst'";
    QTest::newRow("top inside a value") << "SELECT ID FROM [Names] WHERE Name = 'TOP 5 DEALS'"
                                        << "SELECT ID FROM [Names] WHERE Name = 'TOP 5 DEALS'";
    QTest::newRow("name list") << "SELECT ID, Name FROM [Names] WHERE (Name LIKE '%J_NES%') AND NOT Printed"
                               << "SELECT ID, Name FROM [Names] WHERE (Name LIKE '%J_NES%') AND NOT Printed";
}

void TestConnection::adaptsJetDialect() {
    QFETCH(QString, jet);
    QFETCH(QString, sqlite);
    QCOMPARE(db::adaptSql(jet), sqlite);
}

void TestConnection::parsesDateTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("expected"); // invalid: refused
    auto at = [](int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
        return QDateTime(QDate(y, m, d), QTime(h, mi, s));
    };
    QTest::newRow("m/d/yy") << "01/05/99" << at(1999, 1, 5);
    QTest::newRow("single digits") << "1/5/99" << at(1999, 1, 5);
    QTest::newRow("year 29 is 2029") << "12/31/29" << at(2029, 12, 31);
    QTest::newRow("year 30 is 1930") << "1/1/30" << at(1930, 1, 1);
    QTest::newRow("year 00 is 2000") << "02/29/00" << at(2000, 2, 29);
    QTest::newRow("four-digit year") << "12/03/1999" << at(1999, 12, 3);
    QTest::newRow("four-digit year 2029 kept") << "7/4/1929" << at(1929, 7, 4);
    QTest::newRow("iso") << "2003-01-05" << at(2003, 1, 5);
    QTest::newRow("iso with time") << "2003-01-05 13:45:09" << at(2003, 1, 5, 13, 45, 9);
    QTest::newRow("time without seconds") << "1/5/99 7:05" << at(1999, 1, 5, 7, 5);
    QTest::newRow("afternoon") << "1/5/1999 1:05:09 PM" << at(1999, 1, 5, 13, 5, 9);
    QTest::newRow("midnight am") << "1/5/1999 12:00:00 AM" << at(1999, 1, 5);
    QTest::newRow("blanks around") << "  3/12/2001  " << at(2001, 3, 12);
    QTest::newRow("zero date") << "12/30/1899" << at(1899, 12, 30);
    QTest::newRow("no day 30 in february") << "02/30/99" << QDateTime();
    QTest::newRow("no 2001-02-29") << "2/29/01" << QDateTime();
    QTest::newRow("month 13") << "13/45/99" << QDateTime();
    QTest::newRow("all zeros") << "00/00/00" << QDateTime();
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("words") << "yesterday" << QDateTime();
    QTest::newRow("three-digit year") << "1/5/999" << QDateTime();
    QTest::newRow("trailing text") << "1/5/99x" << QDateTime();
    QTest::newRow("no year") << "1/5" << QDateTime();
    QTest::newRow("iso month 13") << "2003-13-01" << QDateTime();
    QTest::newRow("hour 24") << "1/5/99 24:00" << QDateTime();
    QTest::newRow("minute one digit") << "1/5/99 10:5" << QDateTime();
    QTest::newRow("pm at hour 13") << "1/5/99 13:00 PM" << QDateTime();
}

void TestConnection::parsesDateTexts() {
    QFETCH(QString, text);
    QFETCH(QDateTime, expected);
    const QDateTime parsed = db::parseDateText(text);
    QCOMPARE(parsed.isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(parsed, expected);
}

void TestConnection::rejectsBadStatements() {
    QTemporaryDir dir;
    auto connection = OpenTestDatabase(CreateTestDatabase(dir.path()));
    db::Recordset rs;
    struct Case {
        const char* sql;
        const char* message;
    };
    for (const Case& c :
         {Case{"SELEC ID FROM [Names]", "syntax error"}, Case{"SELECT Nmae FROM [Names]", "no such column"},
          Case{"SELECT ID FROM Leads", "no such table"}}) {
        auto failure = CaughtFailure([&] {
            rs.open(QString::fromLatin1(c.sql), *connection, db::adOpenForwardOnly, db::adLockReadOnly,
                    db::adCmdText);
        });
        QVERIFY2(failure, c.sql);
        QCOMPARE(failure->number(), DbErrors::StatementRejected);
        QVERIFY2(failure->description().contains(QLatin1String(c.message)),
                 qPrintable(failure->description()));
        QCOMPARE(rs.state(), int(db::adStateClosed));
    }
    auto direct = CaughtFailure([&] {
        rs.open(QStringLiteral("Leads"), *connection, db::adOpenStatic, db::adLockOptimistic,
                db::adCmdTableDirect);
    });
    QVERIFY(direct);
    QCOMPARE(direct->number(), DbErrors::StatementRejected);
    auto execute =
        CaughtFailure([&] { connection->execute(QStringLiteral("DELETE * FROM Leads WHERE ID = 1")); });
    QVERIFY(execute);
    QCOMPARE(execute->number(), DbErrors::StatementRejected);
    QVERIFY(execute->description().contains(QStringLiteral("Leads")));

    // A statement that SQLite accepts but the data refuses is the engine's failure.
    auto constraint = CaughtFailure([&] {
        connection->execute(QStringLiteral("INSERT INTO [Names] (DataFile_ID, Name) VALUES (999, 'X')"));
    });
    QVERIFY(constraint);
    QCOMPARE(constraint->number(), DbErrors::EngineFailure);
    QVERIFY2(constraint->description().contains(QStringLiteral("FOREIGN KEY")),
             qPrintable(constraint->description()));

    // The connection stays usable after failures.
    rs.open(QStringLiteral("SELECT COUNT(*) FROM [Names]"), *connection, db::adOpenForwardOnly,
            db::adLockReadOnly, db::adCmdText);
    QCOMPARE(rs.value(0).toInt(), 0);
}

void TestConnection::groupsSavesInTransactions() {
    QTemporaryDir dir;
    const QString file = CreateTestDatabase(dir.path());
    auto connection = OpenTestDatabase(file);
    QVERIFY(!connection->inTransaction());

    auto add = [&](const QString& name) {
        db::Recordset rs;
        rs.open(QStringLiteral("Contact_Info"), *connection, db::adOpenForwardOnly, db::adLockOptimistic,
                db::adCmdTableDirect);
        rs.addNew();
        rs.setValue(QStringLiteral("Name"), name);
        rs.setValue(QStringLiteral("Phone"), QStringLiteral("555"));
        rs.update();
    };
    connection->beginTrans();
    QVERIFY(connection->inTransaction());
    add(QStringLiteral("Dropped"));
    connection->rollbackTrans();
    QVERIFY(!connection->inTransaction());
    QCOMPARE(countOf(*connection, QStringLiteral("SELECT COUNT(*) FROM Contact_Info")), 0);

    connection->beginTrans();
    add(QStringLiteral("Kept"));
    // Not visible to another reader until committed.
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Contact_Info")).toInt(), 0);
    connection->beginTrans();
    add(QStringLiteral("Inner dropped"));
    connection->rollbackTrans();
    connection->beginTrans();
    add(QStringLiteral("Inner kept"));
    connection->commitTrans();
    QVERIFY(connection->inTransaction());
    connection->commitTrans();
    QVERIFY(!connection->inTransaction());
    const QList<QVariantList> rows =
        RawRows(file, QStringLiteral("SELECT Name FROM Contact_Info ORDER BY ID"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0][0].toString(), QStringLiteral("Kept"));
    QCOMPARE(rows[1][0].toString(), QStringLiteral("Inner kept"));

    // A read in progress does not keep a transaction from ending.
    {
        db::Recordset reading;
        reading.open(QStringLiteral("SELECT Name FROM Contact_Info ORDER BY ID"), *connection,
                     db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        QCOMPARE(reading.value(0).toString(), QStringLiteral("Kept"));
        connection->beginTrans();
        add(QStringLiteral("While reading"));
        connection->commitTrans();
        connection->beginTrans();
        add(QStringLiteral("Rolled back while reading"));
        connection->rollbackTrans();
        QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Contact_Info")).toInt(), 3);
    }
    connection->execute(QStringLiteral("DELETE FROM Contact_Info WHERE Name = 'While reading'"));

    auto stray = CaughtFailure([&] { connection->commitTrans(); });
    QVERIFY(stray);
    QCOMPARE(stray->number(), DbErrors::EngineFailure);

    // Closing the connection inside a transaction abandons it.
    connection->beginTrans();
    add(QStringLiteral("Lost"));
    connection->close();
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Contact_Info")).toInt(), 2);
}

void TestConnection::closingTheConnectionClosesItsRecordsets() {
    QTemporaryDir dir;
    auto connection = OpenTestDatabase(CreateTestDatabase(dir.path(), 3));
    db::Recordset streaming;
    streaming.open(QStringLiteral("SELECT ID FROM Dlr_Info"), *connection, db::adOpenForwardOnly,
                   db::adLockReadOnly, db::adCmdText);
    db::Recordset table;
    table.open(QStringLiteral("Dlr_Info"), *connection, db::adOpenStatic, db::adLockOptimistic,
               db::adCmdTableDirect);
    table.setValue(QStringLiteral("Name"), QStringLiteral("Pending"));
    QVERIFY(table.editing());
    connection->close();
    QCOMPARE(streaming.state(), int(db::adStateClosed));
    QCOMPARE(table.state(), int(db::adStateClosed));
    QVERIFY(!table.editing());
    auto failure = CaughtFailure([&] { streaming.moveNext(); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), DbErrors::ObjectClosed);
    // The connection may even go away before its recordsets.
    connection.reset();
    streaming.close();
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
