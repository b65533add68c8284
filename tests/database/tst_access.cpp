// Every way the program reaches the lead database, against real encrypted files.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "tests/support/TestDatabase.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace db;

class TestAccess : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRunTestAndDealerRows();
    void importAddsRowsWithTheirNumbers();
    void refusedRowsAreNotSaved();
    void yesNoColumnsStoreMinusOne();
    void nameListFiltersAndOrder();
    void printedAndFollowedByBatch();
    void contactAddAndChange();
    void quotesAreDoubled();
    void deletionsAndCascade();
    void callListAndMergeQueries();
    void cursorRules();
    void pendingChangesAbandoned();
    void forwardOnlyReadsLongResults();
    void tablesAreReadOnlyWhenNeeded();
    void textKeepsEveryCharacter();

private:
    std::unique_ptr<QTemporaryDir> dir;
    QString file;
    std::unique_ptr<Connection> connection;

    int addDataFile(const QString& name, const QVariant& date);
    int addName(int dataFile, const QString& name, const QVariant& phone = {}, const QVariant& fileDate = {},
                bool printed = false, bool followed = false);
    QList<int> ids(const QString& sql);
};

void TestAccess::init() {
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    file = CreateTestDatabase(dir->path(), 3);
    connection = OpenTestDatabase(file);
}

void TestAccess::cleanup() {
    connection.reset();
    dir.reset();
}

int TestAccess::addDataFile(const QString& name, const QVariant& date) {
    Recordset rs;
    rs.open(QStringLiteral("DataFiles"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("FileName"), name);
    rs.setValue(QStringLiteral("Date"), date);
    rs.update();
    return rs.value(QStringLiteral("ID")).toInt();
}

int TestAccess::addName(int dataFile, const QString& name, const QVariant& phone, const QVariant& fileDate,
                        bool printed, bool followed) {
    Recordset rs;
    rs.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("DataFile_ID"), dataFile);
    rs.setValue(QStringLiteral("Name"), name);
    rs.setValue(QStringLiteral("Street"), QStringLiteral("1 MAIN ST"));
    rs.setValue(QStringLiteral("City"), QStringLiteral("SPRINGFIELD"));
    rs.setValue(QStringLiteral("State"), QStringLiteral("IL"));
    if (!phone.isNull())
        rs.setValue(QStringLiteral("Phone"), phone);
    if (!fileDate.isNull())
        rs.setValue(QStringLiteral("File"), fileDate);
    if (printed)
        rs.setValue(QStringLiteral("Printed"), true);
    if (followed)
        rs.setValue(QStringLiteral("Followed"), true);
    rs.update();
    return rs.value(QStringLiteral("ID")).toInt();
}

QList<int> TestAccess::ids(const QString& sql) {
    QList<int> result;
    Recordset rs;
    rs.open(sql, *connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    while (!rs.eof()) {
        result.append(rs.value(QStringLiteral("ID")).toInt());
        rs.moveNext();
    }
    return result;
}

void TestAccess::firstRunTestAndDealerRows() {
    // "SELECT TOP 1 Name FROM Dlr_Info": the delivered first row has no name.
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT TOP 1 Name FROM Dlr_Info"), *connection, adOpenForwardOnly,
                adLockReadOnly, adCmdText);
        QVERIFY(!rs.eof());
        QVERIFY(rs.isNull(QStringLiteral("Name")));
        QCOMPARE(rs.recordCount(), -1);
        rs.moveNext();
        QVERIFY(rs.eof()); // TOP 1 gives one row of three
    }
    // Counting the dealerships: whole table, static, read-only.
    {
        Recordset rs;
        rs.open(QStringLiteral("Dlr_Info"), *connection, adOpenStatic, adLockReadOnly, adCmdTableDirect);
        QCOMPARE(rs.recordCount(), 3);
        QCOMPARE(rs.fieldCount(), 7);
        QCOMPARE(rs.fieldName(0), QStringLiteral("ID"));
        auto readOnly = CaughtFailure([&] { rs.setValue(QStringLiteral("Name"), QStringLiteral("X")); });
        QVERIFY(readOnly);
        QCOMPARE(readOnly->number(), DbErrors::NotSupported);
    }
    // Writing the dealer information over all rows in stored order.
    const QStringList names = {QStringLiteral("zeta motors"), QStringLiteral("Acme Autos"),
                               QStringLiteral("beta cars")};
    {
        Recordset rs;
        rs.open(QStringLiteral("Dlr_Info"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
        rs.moveFirst();
        for (int k = 0; k < 3; ++k) {
            rs.setValue(QStringLiteral("Name"), names[k]);
            rs.setValue(QStringLiteral("Addr1"), QStringLiteral("%1 Lake St").arg(k + 1));
            rs.setValue(QStringLiteral("Addr2"), QString()); // an empty line is stored as empty text
            rs.setValue(QStringLiteral("City"), QStringLiteral("Chicago"));
            rs.setValue(QStringLiteral("State"), QStringLiteral("IL"));
            rs.setValue(QStringLiteral("Zip"), QStringLiteral("60601"));
            rs.update();
            QCOMPARE(rs.value(QStringLiteral("Name")).toString(), names[k]);
            rs.moveNext();
        }
        QVERIFY(rs.eof());
    }
    const QList<QVariantList> stored =
        RawRows(file, QStringLiteral("SELECT ID, Name, Addr2 FROM Dlr_Info ORDER BY ID"));
    QCOMPARE(stored.size(), 3);
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(stored[k][0].toInt(), k + 1);
        QCOMPARE(stored[k][1].toString(), names[k]);
        QVERIFY(!stored[k][2].isNull());
        QCOMPARE(stored[k][2].toString(), QString());
    }
    // The dealer list: alphabetical without regard to case.
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT ID, Name FROM Dlr_Info ORDER BY Name"), *connection, adOpenForwardOnly,
                adLockReadOnly, adCmdText);
        QStringList order;
        while (!rs.eof()) {
            order << rs.value(QStringLiteral("Name")).toString();
            rs.moveNext();
        }
        QCOMPARE(order, (QStringList{names[1], names[2], names[0]}));
    }
    // Values over a column's size refuse the row and name the column; the row keeps its values.
    {
        Recordset rs;
        rs.open(QStringLiteral("Dlr_Info"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
        rs.setValue(QStringLiteral("Name"), QString(50, QLatin1Char('N'))); // exactly the limit
        rs.update();
        rs.setValue(QStringLiteral("State"), QStringLiteral("ILL"));
        auto refused = CaughtFailure([&] { rs.update(); });
        QVERIFY(refused);
        QCOMPARE(refused->number(), DbErrors::ValueRefused);
        QVERIFY2(refused->description().contains(QStringLiteral("State")),
                 qPrintable(refused->description()));
        rs.cancelUpdate();
        rs.setValue(QStringLiteral("Zip"), QStringLiteral("60601-12345"));
        refused = CaughtFailure([&] { rs.moveNext(); }); // the implicit save refuses too, and the row stays
        QVERIFY(refused);
        QCOMPARE(refused->number(), DbErrors::ValueRefused);
        QVERIFY(refused->description().contains(QStringLiteral("Zip")));
        QCOMPARE(rs.value(QStringLiteral("ID")).toInt(), 1);
        rs.cancelUpdate();
    }
    QCOMPARE(RawValue(file, QStringLiteral("SELECT Name FROM Dlr_Info WHERE ID = 1")).toString(),
             QString(50, QLatin1Char('N')));
    QCOMPARE(RawValue(file, QStringLiteral("SELECT State || Zip FROM Dlr_Info WHERE ID = 1")).toString(),
             QStringLiteral("IL60601"));
}

void TestAccess::importAddsRowsWithTheirNumbers() {
    // The import's pattern: both tables open for the whole file, rows grouped in one transaction.
    Recordset files;
    Recordset names;
    files.open(QStringLiteral("DataFiles"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
    names.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    QCOMPARE(names.recordCount(), -1);
    QList<int> fileIds;
    QList<int> nameIds;
    for (int f = 0; f < 2; ++f) {
        connection->beginTrans();
        files.addNew();
        files.setValue(QStringLiteral("FileName"), QStringLiteral("1203199%1.lst").arg(f));
        files.setValue(QStringLiteral("Date"), f == 0 ? QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                                                      : QDateTime(QDate(1999, 12, 3), QTime(0, 0)));
        files.update();
        const int fileId = files.value(QStringLiteral("ID")).toInt();
        QVERIFY(fileId > 0);
        fileIds << fileId;
        for (int line = 0; line < 3; ++line) {
            names.addNew();
            names.setValue(QStringLiteral("DataFile_ID"), fileId);
            names.setValue(QStringLiteral("Court_ID"), QStringLiteral("A12%1").arg(line));
            names.setValue(QStringLiteral("Name"), QStringLiteral("SMITH, JOHN %1").arg(line));
            names.setValue(QStringLiteral("Street"), QStringLiteral("12 MAIN ST"));
            names.setValue(QStringLiteral("City"), QStringLiteral("SPRINGFIELD"));
            names.setValue(QStringLiteral("State"), QStringLiteral("IL"));
            names.setValue(QStringLiteral("Zip"), QStringLiteral("62701"));
            names.setValue(QStringLiteral("File"), QStringLiteral("01/05/99"));
            if (line != 1)
                names.setValue(QStringLiteral("Discharge"), QStringLiteral("2/28/00"));
            if (line == 0)
                names.setValue(QStringLiteral("Phone"), QStringLiteral("(217) 555-0123"));
            names.update();
            const int id = names.value(QStringLiteral("ID")).toInt();
            QVERIFY(id > 0);
            if (!nameIds.isEmpty())
                QCOMPARE(id, nameIds.last() + 1);
            nameIds << id;
            // The added row reads back as saved, with the database's defaults.
            QCOMPARE(names.value(QStringLiteral("File")).toDateTime(),
                     QDateTime(QDate(1999, 1, 5), QTime(0, 0)));
            QCOMPARE(names.value(QStringLiteral("Printed")), QVariant(false));
            QCOMPARE(names.value(QStringLiteral("DataFile_ID")).toInt(), fileId);
        }
        connection->commitTrans();
    }
    QCOMPARE(fileIds[1], fileIds[0] + 1);
    QCOMPARE(files.recordCount(), 2);
    files.close();
    names.close();

    // Stored forms.
    const QList<QVariantList> dates =
        RawRows(file, QStringLiteral("SELECT FileName, Date FROM DataFiles ORDER BY ID"));
    QCOMPARE(dates[0][1].toString(), QStringLiteral("1899-12-30 00:00:00"));
    QCOMPARE(dates[1][1].toString(), QStringLiteral("1999-12-03 00:00:00"));
    QCOMPARE(RawValue(file, QStringLiteral("SELECT Discharge FROM Names WHERE ID = %1").arg(nameIds[0]))
                 .toString(),
             QStringLiteral("2000-02-28 00:00:00"));

    // The source date list: newest first, the zero date last.
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT ID, Date FROM DataFiles ORDER BY Date DESC"), *connection,
                adOpenForwardOnly, adLockReadOnly, adCmdText);
        QCOMPARE(rs.value(QStringLiteral("ID")).toInt(), fileIds[1]);
        QCOMPARE(rs.value(QStringLiteral("Date")).typeId(), QMetaType::QDateTime);
        QCOMPARE(rs.value(QStringLiteral("Date")).toDateTime().date(), QDate(1999, 12, 3));
        rs.moveNext();
        QCOMPARE(rs.value(QStringLiteral("Date")).toDateTime().date(), QDate(1899, 12, 30));
    }
    // The name list reads what the import stored, with the types the callers expect.
    {
        Recordset rs;
        rs.open(QStringLiteral(
                    "SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, Printed, "
                    "Followed FROM [Names] WHERE DataFile_ID IN (%1) ORDER BY Court_ID ASC")
                    .arg(fileIds[0]),
                *connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
        QCOMPARE(rs.value(QStringLiteral("ID")).typeId(), QMetaType::Int);
        QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("SMITH, JOHN 0"));
        QCOMPARE(rs.value(QStringLiteral("phone")).toString(), QStringLiteral("(217) 555-0123"));
        QCOMPARE(rs.value(QStringLiteral("Printed")), QVariant(false));
        QCOMPARE(rs.value(QStringLiteral("Followed")), QVariant(false));
        QCOMPARE(rs.value(QStringLiteral("Discharge")).toDateTime(),
                 QDateTime(QDate(2000, 2, 28), QTime(0, 0)));
        rs.moveNext();
        QVERIFY(rs.isNull(QStringLiteral("Phone")));
        QVERIFY(rs.isNull(QStringLiteral("Discharge"))); // "00/00/00" left the column unset
        QCOMPARE(rs.value(8).toDateTime(), QDateTime(QDate(1999, 1, 5), QTime(0, 0)));
    }
    // A new name shows up under "not printed".
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM [Names] WHERE NOT Printed")).size(), 6);
}

void TestAccess::refusedRowsAreNotSaved() {
    const int fileId = addDataFile(QStringLiteral("01011999.lst"), QStringLiteral("1/1/1999"));
    Recordset names;
    names.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    struct Case {
        QString text;
        QString stored; // empty: refused
    };
    const QList<Case> cases = {
        {QStringLiteral("12/31/29"), QStringLiteral("2029-12-31 00:00:00")},
        {QStringLiteral("01/01/30"), QStringLiteral("1930-01-01 00:00:00")},
        {QStringLiteral("7/4/1976"), QStringLiteral("1976-07-04 00:00:00")},
        {QStringLiteral("2003-01-05"), QStringLiteral("2003-01-05 00:00:00")},
        {QStringLiteral("2003-01-05 08:30"), QStringLiteral("2003-01-05 08:30:00")},
        {QStringLiteral("13/45/99"), {}},
        {QStringLiteral("02/30/99"), {}},
        {QStringLiteral("00/00/00"), {}},
        {QStringLiteral("SOON"), {}},
        {QString(), {}},
    };
    int saved = 0;
    for (const Case& c : cases) {
        names.addNew();
        names.setValue(QStringLiteral("DataFile_ID"), fileId);
        names.setValue(QStringLiteral("Name"), c.text);
        names.setValue(QStringLiteral("File"), c.text);
        auto failure = CaughtFailure([&] { names.update(); });
        if (c.stored.isEmpty()) {
            QVERIFY2(failure, qPrintable(c.text));
            QCOMPARE(failure->number(), DbErrors::DataTypeMismatch);
            QCOMPARE(failure->description(),
                     QStringLiteral("Data type mismatch: '%1' is not a date for column File.").arg(c.text));
            QVERIFY(names.editing());
            names.cancelUpdate();
            QVERIFY(!names.editing());
        } else {
            QVERIFY2(!failure, qPrintable(failure ? failure->description() : QString()));
            ++saved;
            QCOMPARE(RawValue(file, QStringLiteral("SELECT File FROM Names WHERE ID = %1")
                                        .arg(names.value(QStringLiteral("ID")).toInt()))
                         .toString(),
                     c.stored);
        }
    }
    // A QDate is a date too; a number is not text for a date but a day count, as it always was.
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), fileId);
    names.setValue(QStringLiteral("Discharge"), QDate(2001, 9, 8));
    names.update();
    ++saved;
    // Too long for State: refused, names the column, not saved.
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), fileId);
    names.setValue(QStringLiteral("State"), QStringLiteral("ILL"));
    auto tooLong = CaughtFailure([&] { names.update(); });
    QVERIFY(tooLong);
    QCOMPARE(tooLong->number(), DbErrors::ValueRefused);
    QVERIFY(tooLong->description().contains(QStringLiteral("State")));
    names.cancelUpdate();
    // 256 characters in a 255-character column.
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), fileId);
    names.setValue(QStringLiteral("Street"), QString(256, QLatin1Char('S')));
    tooLong = CaughtFailure([&] { names.update(); });
    QVERIFY(tooLong);
    QCOMPARE(tooLong->number(), DbErrors::ValueRefused);
    names.cancelUpdate();
    // A number column refuses text.
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), QStringLiteral("one"));
    auto notNumber = CaughtFailure([&] { names.update(); });
    QVERIFY(notNumber);
    QCOMPARE(notNumber->number(), DbErrors::DataTypeMismatch);
    names.cancelUpdate();
    // The recordset goes on adding after refusals.
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), fileId);
    names.setValue(QStringLiteral("Name"), QStringLiteral("LAST"));
    names.update();
    ++saved;
    names.close();
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Names")).toInt(), saved);
    QCOMPARE(
        RawValue(file, QStringLiteral("SELECT Discharge FROM Names WHERE Discharge IS NOT NULL")).toString(),
        QStringLiteral("2001-09-08 00:00:00"));
}

void TestAccess::yesNoColumnsStoreMinusOne() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const int neither = addName(fileId, QStringLiteral("NEITHER"));
    const int printed = addName(fileId, QStringLiteral("PRINTED"), {}, {}, true);
    const int both = addName(fileId, QStringLiteral("BOTH"), {}, {}, true, true);
    const QList<QVariantList> rows =
        RawRows(file, QStringLiteral("SELECT ID, Printed, Followed, typeof(Printed) FROM Names ORDER BY ID"));
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0][0].toInt(), neither);
    QCOMPARE(rows[0][1].toLongLong(), 0);
    QCOMPARE(rows[0][2].toLongLong(), 0);
    QCOMPARE(rows[0][3].toString(), QStringLiteral("integer"));
    QCOMPARE(rows[1][1].toLongLong(), -1);
    QCOMPARE(rows[1][2].toLongLong(), 0);
    QCOMPARE(rows[2][1].toLongLong(), -1);
    QCOMPARE(rows[2][2].toLongLong(), -1);
    QCOMPARE(rows[2][0].toInt(), both);

    // Yes/no never holds Null.
    Recordset rs;
    rs.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("DataFile_ID"), fileId);
    rs.setValue(QStringLiteral("Printed"), QVariant());
    auto null = CaughtFailure([&] { rs.update(); });
    QVERIFY(null);
    QCOMPARE(null->number(), DbErrors::EngineFailure);
    rs.cancelUpdate();
    // Other spellings of yes and no.
    rs.addNew();
    rs.setValue(QStringLiteral("DataFile_ID"), fileId);
    rs.setValue(QStringLiteral("Printed"), QStringLiteral("True"));
    rs.setValue(QStringLiteral("Followed"), 0);
    rs.update();
    QCOMPARE(rs.value(QStringLiteral("Printed")), QVariant(true)); // the added row reads back as saved
    QCOMPARE(rs.value(QStringLiteral("Followed")), QVariant(false));
    QCOMPARE(rs.value(QStringLiteral("DataFile_ID")), QVariant(fileId));
    const int spelled = rs.value(QStringLiteral("ID")).toInt();
    rs.addNew();
    rs.setValue(QStringLiteral("DataFile_ID"), fileId);
    rs.setValue(QStringLiteral("Printed"), QStringLiteral("maybe"));
    auto mismatch = CaughtFailure([&] { rs.update(); });
    QVERIFY(mismatch);
    QCOMPARE(mismatch->number(), DbErrors::DataTypeMismatch);
    rs.cancelUpdate();
    rs.close();
    QCOMPARE(
        RawValue(file, QStringLiteral("SELECT Printed FROM Names WHERE ID = %1").arg(spelled)).toLongLong(),
        -1);
    QCOMPARE(
        ids(QStringLiteral("SELECT ID FROM [Names] WHERE ID = %1 AND Printed AND NOT Followed").arg(spelled)),
        QList<int>{spelled});
    Q_UNUSED(printed);
}

void TestAccess::nameListFiltersAndOrder() {
    const int fileA = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const int fileB = addDataFile(QStringLiteral("b.lst"), QDate(2000, 1, 2));
    const int jones =
        addName(fileA, QStringLiteral("JONES, MARY"), QStringLiteral("(312) 555-0001"), {}, true);
    const int janes = addName(fileA, QStringLiteral("janes, bob"), QString());         // empty phone
    const int smith = addName(fileA, QStringLiteral("Smith, Al"), {}, {}, true, true); // Null phone
    const int adams = addName(fileB, QStringLiteral("adams, eve"), QStringLiteral("555-0002"));

    const QString list =
        QStringLiteral("SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, "
                       "Printed, Followed FROM [Names] ");
    // Source dates.
    QCOMPARE(ids(list + QStringLiteral("WHERE DataFile_ID IN (%1) ORDER BY Name ASC").arg(fileA)),
             (QList<int>{janes, jones, smith}));
    QCOMPARE(
        ids(list + QStringLiteral("WHERE DataFile_ID IN (%1,%2) ORDER BY Name DESC").arg(fileA).arg(fileB)),
        (QList<int>{smith, jones, janes, adams}));
    // Display filters.
    QCOMPARE(
        ids(list + QStringLiteral("WHERE DataFile_ID IN (%1) AND NOT Printed ORDER BY Name ASC").arg(fileA)),
        QList<int>{janes});
    QCOMPARE(ids(list + QStringLiteral("WHERE DataFile_ID IN (%1) AND Printed AND NOT Followed").arg(fileA)),
             QList<int>{jones});
    // Sorting by a yes/no column: yes (-1) comes first in ascending order.
    const QList<int> byPrinted =
        ids(list + QStringLiteral("WHERE DataFile_ID IN (%1) ORDER BY Printed ASC, Name ASC").arg(fileA));
    QCOMPARE(byPrinted, (QList<int>{jones, smith, janes}));
    // Name search: %, _ and letter case.
    QCOMPARE(ids(list + QStringLiteral("WHERE (Name LIKE '%JONES%') ORDER BY Name ASC")), QList<int>{jones});
    QCOMPARE(ids(list + QStringLiteral("WHERE (Name LIKE '%j_nes%') ORDER BY Name ASC")),
             (QList<int>{janes, jones}));
    QCOMPARE(
        ids(list + QStringLiteral("WHERE (Name LIKE '%SMITH%') OR (Name LIKE '%ADAMS%') ORDER BY Name ASC")),
        (QList<int>{adams, smith}));
    QCOMPARE(ids(list + QStringLiteral("WHERE (Name LIKE '%nobody%')")), QList<int>{});
    // "=" ignores case too.
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM [Names] WHERE Name = 'SMITH, AL'")), QList<int>{smith});
    // Phone <> '' leaves out Null and empty phones.
    QCOMPARE(ids(QStringLiteral(
                     "SELECT ID, Name, City, State, Phone FROM [Names] WHERE Phone <> ''   AND [Names].ID "
                     "IN (%1,%2,%3,%4) ORDER BY [Names].Name ASC")
                     .arg(jones)
                     .arg(janes)
                     .arg(smith)
                     .arg(adams)),
             (QList<int>{adams, jones}));
    QCOMPARE(
        RawValue(file, QStringLiteral("SELECT quote(Phone) FROM Names WHERE ID = %1").arg(janes)).toString(),
        QStringLiteral("''"));
}

void TestAccess::printedAndFollowedByBatch() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const int fresh = addName(fileId, QStringLiteral("FRESH"));
    const int before = addName(fileId, QStringLiteral("BEFORE"), {}, {}, true);
    const int untouched = addName(fileId, QStringLiteral("UNTOUCHED"));

    auto markPrinted = [&](const QString& idList) {
        Recordset rs;
        rs.open(QStringLiteral("SELECT Printed, Followed FROM [Names] WHERE ID IN ") + idList, *connection,
                adOpenForwardOnly, adLockOptimistic, adCmdText);
        rs.moveFirst();
        while (!rs.eof()) {
            if (!rs.value(QStringLiteral("Printed")).toBool())
                rs.setValue(QStringLiteral("Printed"), true);
            else
                rs.setValue(QStringLiteral("Followed"), true);
            rs.moveNext();
        }
        rs.updateBatch();
        rs.close();
    };
    auto flags = [&](int id) {
        const QList<QVariantList> rows =
            RawRows(file, QStringLiteral("SELECT Printed, Followed FROM Names WHERE ID = %1").arg(id));
        return qMakePair(rows[0][0].toLongLong(), rows[0][1].toLongLong());
    };
    markPrinted(QStringLiteral("(%1,%2)").arg(fresh).arg(before));
    QCOMPARE(flags(fresh), qMakePair(qint64(-1), qint64(0)));
    QCOMPARE(flags(before), qMakePair(qint64(-1), qint64(-1)));
    QCOMPARE(flags(untouched), qMakePair(qint64(0), qint64(0)));
    markPrinted(QStringLiteral("(%1)").arg(fresh));
    markPrinted(QStringLiteral("(%1)").arg(fresh));
    QCOMPARE(flags(fresh), qMakePair(qint64(-1), qint64(-1)));

    // The last row's change, still pending at the end, is saved by updateBatch alone.
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT Printed, Followed FROM [Names] WHERE ID IN (%1)").arg(untouched),
                *connection, adOpenForwardOnly, adLockOptimistic, adCmdText);
        rs.setValue(QStringLiteral("Printed"), true);
        QCOMPARE(rs.value(QStringLiteral("Printed")), QVariant(true));
        rs.updateBatch();
        QVERIFY(!rs.editing());
        QCOMPARE(rs.value(QStringLiteral("Printed")), QVariant(true));
    }
    QCOMPARE(flags(untouched), qMakePair(qint64(-1), qint64(0)));
}

void TestAccess::contactAddAndChange() {
    auto count = [&](const QString& name, const QString& phone) {
        Recordset rs;
        rs.open(QStringLiteral("SELECT COUNT(*) FROM Contact_Info WHERE Name = '") + name +
                    QStringLiteral("' AND Phone = '") + phone + QStringLiteral("'"),
                *connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
        return rs.value(0).toInt();
    };
    auto add = [&](const QString& name, const QString& phone) {
        Recordset rs;
        rs.open(QStringLiteral("Contact_Info"), *connection, adOpenForwardOnly, adLockOptimistic,
                adCmdTableDirect);
        rs.addNew();
        rs.setValue(QStringLiteral("Name"), name);
        rs.setValue(QStringLiteral("Phone"), phone);
        rs.update();
        return rs.value(QStringLiteral("ID")).toInt();
    };
    QCOMPARE(count(QStringLiteral("Pat Doe"), QStringLiteral("555-1000")), 0);
    const int pat = add(QStringLiteral("Pat Doe"), QStringLiteral("555-1000"));
    const int lee = add(QStringLiteral("Lee Roe"), QStringLiteral("555-2000"));
    QVERIFY(pat > 0);
    QCOMPARE(lee, pat + 1);
    QCOMPARE(count(QStringLiteral("PAT DOE"), QStringLiteral("555-1000")), 1);

    // The contact list: whole table, read-only, stored order.
    {
        Recordset rs;
        rs.open(QStringLiteral("Contact_Info"), *connection, adOpenForwardOnly, adLockReadOnly,
                adCmdTableDirect);
        QStringList listed;
        while (!rs.eof()) {
            listed << rs.value(QStringLiteral("Name")).toString();
            rs.moveNext();
        }
        QCOMPARE(listed, (QStringList{QStringLiteral("Pat Doe"), QStringLiteral("Lee Roe")}));
    }
    // Changing a contact through "SELECT * ... WHERE ID = n".
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT * FROM Contact_Info WHERE ID = %1").arg(pat), *connection,
                adOpenForwardOnly, adLockOptimistic, adCmdText);
        QCOMPARE(rs.fieldCount(), 3);
        QCOMPARE(rs.fieldName(0), QStringLiteral("ID"));
        rs.setValue(QStringLiteral("Name"), QStringLiteral("Pat Doe"));
        rs.setValue(QStringLiteral("Phone"), QStringLiteral("555-9999"));
        rs.update();
        QCOMPARE(rs.value(QStringLiteral("Phone")).toString(), QStringLiteral("555-9999"));
        rs.close();
    }
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT Phone FROM Contact_Info WHERE ID = %1").arg(pat), *connection,
                adOpenForwardOnly, adLockReadOnly, adCmdText);
        QCOMPARE(rs.value(QStringLiteral("Phone")).toString(), QStringLiteral("555-9999"));
    }
    QCOMPARE(
        RawValue(file, QStringLiteral("SELECT Phone FROM Contact_Info WHERE ID = %1").arg(lee)).toString(),
        QStringLiteral("555-2000"));
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Contact_Info")).toInt(), 2);

    // An added row can be changed right away through the same recordset.
    {
        Recordset rs;
        rs.open(QStringLiteral("Contact_Info"), *connection, adOpenForwardOnly, adLockOptimistic,
                adCmdTableDirect);
        rs.addNew();
        rs.setValue(QStringLiteral("Name"), QStringLiteral("Kim"));
        rs.update();
        const int kim = rs.value(QStringLiteral("ID")).toInt();
        QVERIFY(rs.isNull(QStringLiteral("Phone")));
        rs.setValue(QStringLiteral("Phone"), QStringLiteral("555-3000"));
        rs.update();
        QCOMPARE(rs.value(QStringLiteral("Phone")).toString(), QStringLiteral("555-3000"));
        QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("Kim"));
        QCOMPARE(rs.value(QStringLiteral("ID")).toInt(), kim);
        QCOMPARE(RawValue(file, QStringLiteral("SELECT Phone FROM Contact_Info WHERE ID = %1").arg(kim))
                     .toString(),
                 QStringLiteral("555-3000"));
    }
}

void TestAccess::quotesAreDoubled() {
    QCOMPARE(quoted(QStringLiteral("O'BRIEN")), QStringLiteral("O''BRIEN"));
    QCOMPARE(quoted(QStringLiteral("''")), QStringLiteral("''''"));
    QCOMPARE(quoted(QStringLiteral("%J_NES")), QStringLiteral("%J_NES"));

    const int fileId = addDataFile(QStringLiteral("o'brien.lst"), QDate(2000, 1, 1));
    const int obrien = addName(fileId, QStringLiteral("O'BRIEN, PAT"));
    addName(fileId, QStringLiteral("OBRIEN, SAM"));
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM [Names] WHERE (Name LIKE '%") +
                 quoted(QStringLiteral("o'brien")) + QStringLiteral("%')")),
             QList<int>{obrien});
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM DataFiles WHERE FileName = '") +
                 quoted(QStringLiteral("O'BRIEN.LST")) + QStringLiteral("'")),
             QList<int>{fileId});
    // Unquoted, the statement is refused rather than run wrongly.
    auto unquoted =
        CaughtFailure([&] { ids(QStringLiteral("SELECT ID FROM [Names] WHERE Name = 'O'BRIEN, PAT'")); });
    QVERIFY(unquoted);
    QCOMPARE(unquoted->number(), DbErrors::StatementRejected);
    // Round trip of the stored value.
    Recordset rs;
    rs.open(QStringLiteral("SELECT Name FROM [Names] WHERE ID = %1").arg(obrien), *connection,
            adOpenForwardOnly, adLockReadOnly, adCmdText);
    QCOMPARE(rs.value(0).toString(), QStringLiteral("O'BRIEN, PAT"));
}

void TestAccess::deletionsAndCascade() {
    const int fileA = addDataFile(QStringLiteral("12031999.lst"), QDate(1999, 12, 3));
    const int fileB = addDataFile(QStringLiteral("12041999.lst"), QDate(1999, 12, 4));
    QList<int> a, b;
    for (int i = 0; i < 4; ++i) {
        a << addName(fileA, QStringLiteral("A%1").arg(i));
        b << addName(fileB, QStringLiteral("B%1").arg(i));
    }
    connection->execute(QStringLiteral("DELETE * FROM [Names] WHERE ID IN (%1,%2)").arg(a[0]).arg(b[0]));
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM [Names] ORDER BY ID")),
             (QList<int>{a[1], b[1], a[2], b[2], a[3], b[3]}));

    // Forgetting a replaced data file takes its names with it (file names compare without case).
    connection->execute(QStringLiteral("DELETE FROM DataFiles WHERE FileName = '12031999.LST'"));
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM DataFiles")), QList<int>{fileB});
    QCOMPARE(ids(QStringLiteral("SELECT ID FROM [Names] ORDER BY ID")), (QList<int>{b[1], b[2], b[3]}));
    {
        Recordset rs;
        rs.open(QStringLiteral("SELECT COUNT(*) FROM DataFiles WHERE FileName = '12031999.lst'"), *connection,
                adOpenForwardOnly, adLockReadOnly, adCmdText);
        QCOMPARE(rs.value(0).toInt(), 0);
    }
    // Auto numbers are never reused.
    const int fileC = addDataFile(QStringLiteral("12031999.lst"), QDate(1999, 12, 3));
    QVERIFY(fileC > fileB);
    // A name needs an existing data file.
    auto orphan = CaughtFailure([&] { addName(fileA, QStringLiteral("ORPHAN")); });
    QVERIFY(orphan);
    QCOMPARE(orphan->number(), DbErrors::EngineFailure);
}

void TestAccess::callListAndMergeQueries() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const int n1 = addName(fileId, QStringLiteral("ZED"), QStringLiteral("(312) 555-0001"));
    const int n2 = addName(fileId, QStringLiteral("AMY"), QStringLiteral("(312) 555-0002"));
    const int n3 = addName(fileId, QStringLiteral("BOB"));
    connection->execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme', City = 'Chicago' WHERE ID = 2"));
    Recordset contacts;
    contacts.open(QStringLiteral("Contact_Info"), *connection, adOpenForwardOnly, adLockOptimistic,
                  adCmdTableDirect);
    contacts.addNew();
    contacts.setValue(QStringLiteral("Name"), QStringLiteral("Pat"));
    contacts.setValue(QStringLiteral("Phone"), QStringLiteral("555-1000"));
    contacts.update();
    const int contact = contacts.value(QStringLiteral("ID")).toInt();
    contacts.close();
    const QString idList = QStringLiteral("(%1,%2,%3)").arg(n1).arg(n2).arg(n3);

    // The call list needs the record count: static cursor.
    {
        Recordset rs;
        rs.open(QStringLiteral(
                    "SELECT Name, City, State, Phone FROM [Names] WHERE Phone <> ''   AND [Names].ID IN ") +
                    idList + QStringLiteral(" ORDER BY [Names].Name ASC"),
                *connection, adOpenStatic, adLockReadOnly, adCmdText);
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.value(0).toString(), QStringLiteral("AMY"));
        rs.moveNext();
        QCOMPARE(rs.value(3).toString(), QStringLiteral("(312) 555-0001"));
        rs.moveNext();
        QVERIFY(rs.eof());
        rs.moveFirst(); // a static cursor goes back
        QCOMPARE(rs.value(0).toString(), QStringLiteral("AMY"));
    }
    // The merge query: a cross join restricted to one dealer and one contact.
    const QString merge = QStringLiteral(
        "SELECT [Names].Name, [Names].Street, [Names].City, [Names].State, [Names].Zip,"
        "       Dlr_Info.Name, Dlr_Info.Addr1, Dlr_Info.Addr2, Dlr_Info.City, Dlr_Info.State, "
        "Dlr_Info.Zip,"
        "       Contact_Info.Name, Contact_Info.Phone "
        "FROM [Names], Dlr_Info, Contact_Info "
        "WHERE Contact_Info.ID = %1  AND Dlr_Info.ID = %2  AND [Names].ID IN %3 ORDER BY [Names].Street "
        "ASC");
    {
        Recordset rs;
        rs.open(merge.arg(contact).arg(2).arg(idList), *connection, adOpenForwardOnly, adLockReadOnly,
                adCmdText);
        rs.moveFirst();
        QCOMPARE(rs.fieldCount(), 13);
        int records = 0;
        while (!rs.eof()) {
            QCOMPARE(rs.value(5).toString(), QStringLiteral("Acme"));
            QCOMPARE(rs.value(8).toString(), QStringLiteral("Chicago"));
            QVERIFY(rs.value(6).isNull());
            QCOMPARE(rs.value(11).toString(), QStringLiteral("Pat"));
            QCOMPARE(rs.value(QStringLiteral("Dlr_Info.Name")).toString(), QStringLiteral("Acme"));
            QCOMPARE(rs.value(QStringLiteral("Contact_Info.Phone")).toString(), QStringLiteral("555-1000"));
            QVERIFY(rs.value(0).toString() != QStringLiteral("Acme"));
            ++records;
            rs.moveNext();
        }
        QCOMPARE(records, 3);
        // A join cannot be changed.
        auto readOnly = CaughtFailure([&] { rs.setValue(QStringLiteral("Name"), QStringLiteral("X")); });
        QVERIFY(readOnly);
        QCOMPARE(readOnly->number(), DbErrors::NotSupported);
    }
    {
        Recordset rs;
        rs.open(merge.arg(contact).arg(99).arg(idList), *connection, adOpenForwardOnly, adLockOptimistic,
                adCmdText);
        QVERIFY(rs.eof());
        QVERIFY(rs.bof());
        // No dealer with that number: the move to the first record fails.
        auto failure = CaughtFailure([&] { rs.moveFirst(); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), DbErrors::NoCurrentRecord);
        auto change = CaughtFailure([&] { rs.setValue(QStringLiteral("Name"), QStringLiteral("X")); });
        QVERIFY(change);
        QCOMPARE(change->number(), DbErrors::NotSupported);
    }
}

void TestAccess::cursorRules() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const int first = addName(fileId, QStringLiteral("ONE"));
    addName(fileId, QStringLiteral("TWO"));

    Recordset rs;
    QCOMPARE(rs.state(), int(adStateClosed));
    auto closed = CaughtFailure([&] { rs.eof(); });
    QVERIFY(closed);
    QCOMPARE(closed->number(), DbErrors::ObjectClosed);

    rs.open(QStringLiteral("SELECT ID, Name FROM [Names] ORDER BY ID"), *connection, adOpenForwardOnly,
            adLockReadOnly, adCmdText);
    QCOMPARE(rs.state(), int(adStateOpen));
    QVERIFY(!rs.bof());
    auto reopened = CaughtFailure([&] {
        rs.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockReadOnly, adCmdTableDirect);
    });
    QVERIFY(reopened);
    QCOMPARE(reopened->number(), DbErrors::ObjectOpen);
    rs.moveFirst(); // already on the first record: allowed
    QCOMPARE(rs.value(QStringLiteral("ID")).toInt(), first);
    auto unknown = CaughtFailure([&] { rs.value(QStringLiteral("Nmae")); });
    QVERIFY(unknown);
    QCOMPARE(unknown->number(), DbErrors::ItemNotFound);
    auto badIndex = CaughtFailure([&] { rs.value(2); });
    QVERIFY(badIndex);
    QCOMPARE(badIndex->number(), DbErrors::ItemNotFound);
    auto readOnly = CaughtFailure([&] { rs.setValue(QStringLiteral("Name"), QStringLiteral("X")); });
    QVERIFY(readOnly);
    QCOMPARE(readOnly->number(), DbErrors::NotSupported);
    auto noAdd = CaughtFailure([&] { rs.addNew(); });
    QVERIFY(noAdd);
    QCOMPARE(noAdd->number(), DbErrors::NotSupported);
    rs.moveNext();
    auto back = CaughtFailure([&] { rs.moveFirst(); });
    QVERIFY(back);
    QCOMPARE(back->number(), DbErrors::NotSupported);
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("TWO"));
    rs.moveNext();
    QVERIFY(rs.eof());
    QVERIFY(!rs.bof());
    auto atEnd = CaughtFailure([&] { rs.value(QStringLiteral("Name")); });
    QVERIFY(atEnd);
    QCOMPARE(atEnd->number(), DbErrors::NoCurrentRecord);
    auto pastEnd = CaughtFailure([&] { rs.moveNext(); });
    QVERIFY(pastEnd);
    QCOMPARE(pastEnd->number(), DbErrors::NoCurrentRecord);
    rs.close();
    QCOMPARE(rs.state(), int(adStateClosed));

    // Changing at the end fails; an optimistic recordset with no rows has nothing to change.
    rs.open(QStringLiteral("SELECT * FROM Contact_Info WHERE ID = 12345"), *connection, adOpenForwardOnly,
            adLockOptimistic, adCmdText);
    QVERIFY(rs.eof());
    auto noRow = CaughtFailure([&] { rs.setValue(QStringLiteral("Phone"), QStringLiteral("1")); });
    QVERIFY(noRow);
    QCOMPARE(noRow->number(), DbErrors::NoCurrentRecord);
    rs.close();

    // A static cursor counts and goes back.
    rs.open(QStringLiteral("SELECT ID FROM [Names] ORDER BY ID DESC"), *connection, adOpenStatic,
            adLockReadOnly, adCmdText);
    QCOMPARE(rs.recordCount(), 2);
    rs.moveNext();
    QCOMPARE(rs.value(0).toInt(), first);
    rs.moveFirst();
    QVERIFY(rs.value(0).toInt() > first);
    rs.close();

    // Table-direct opens read the table in stored order.
    rs.open(QStringLiteral("Names"), *connection, adOpenStatic, adLockReadOnly, adCmdTableDirect);
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("ONE"));
    QCOMPARE(rs.fieldName(12), QStringLiteral("Followed"));
}

void TestAccess::pendingChangesAbandoned() {
    Recordset rs;
    rs.open(QStringLiteral("Dlr_Info"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
    rs.setValue(QStringLiteral("Name"), QStringLiteral("Cancelled"));
    QVERIFY(rs.editing());
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("Cancelled"));
    rs.cancelUpdate();
    QVERIFY(!rs.editing());
    QVERIFY(rs.isNull(QStringLiteral("Name")));
    rs.setValue(QStringLiteral("Name"), QStringLiteral("Closed away"));
    rs.close();
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NOT NULL")).toInt(),
             0);

    // An abandoned new row is not saved, and the recordset goes on.
    rs.open(QStringLiteral("Contact_Info"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
    QCOMPARE(rs.recordCount(), 0);
    rs.addNew();
    rs.setValue(QStringLiteral("Name"), QStringLiteral("Never"));
    QVERIFY(rs.isNull(QStringLiteral("ID")));
    rs.cancelUpdate();
    rs.addNew();
    rs.setValue(QStringLiteral("Name"), QStringLiteral("Saved by moving"));
    rs.moveFirst(); // leaving a new row saves it
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("Saved by moving"));
    rs.close();
    QCOMPARE(RawValue(file, QStringLiteral("SELECT group_concat(Name) FROM Contact_Info")).toString(),
             QStringLiteral("Saved by moving"));
}

void TestAccess::forwardOnlyReadsLongResults() {
    const int fileId = addDataFile(QStringLiteral("big.lst"), QDate(2000, 1, 1));
    connection->beginTrans();
    Recordset names;
    names.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    const int rows = 20000;
    for (int i = 0; i < rows; ++i) {
        names.addNew();
        names.setValue(QStringLiteral("DataFile_ID"), fileId);
        names.setValue(QStringLiteral("Name"), QStringLiteral("NAME %1").arg(i, 5, 10, QLatin1Char('0')));
        names.setValue(QStringLiteral("File"), QStringLiteral("1/5/99"));
        names.update();
    }
    connection->commitTrans();
    names.close();

    Recordset rs;
    rs.open(QStringLiteral(
                "SELECT ID, Name, File, Printed FROM [Names] WHERE DataFile_ID IN (%1) ORDER BY Name DESC")
                .arg(fileId),
            *connection, adOpenForwardOnly, adLockReadOnly, adCmdText);
    QCOMPARE(rs.recordCount(), -1);
    int count = 0;
    QString previous;
    while (!rs.eof()) {
        const QString name = rs.value(1).toString();
        if (count > 0)
            QVERIFY(name < previous);
        previous = name;
        ++count;
        rs.moveNext();
    }
    QCOMPARE(count, rows);
    // A finished read does not hold up writes.
    connection->execute(QStringLiteral("DELETE * FROM [Names] WHERE DataFile_ID = %1").arg(fileId));
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Names")).toInt(), 0);
}

namespace {

// Statements of the connection that are in the middle of a read (stepped and not finished).
int readsInProgress(Connection& connection) {
    int busy = 0;
    for (sqlite3_stmt* s = sqlite3_next_stmt(connection.handle(), nullptr); s;
         s = sqlite3_next_stmt(connection.handle(), s))
        busy += sqlite3_stmt_busy(s) ? 1 : 0;
    return busy;
}

} // namespace

void TestAccess::tablesAreReadOnlyWhenNeeded() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    for (int i = 0; i < 3; ++i)
        addName(fileId, QStringLiteral("N%1").arg(i));
    QCOMPARE(readsInProgress(*connection), 0);

    // A whole table opened to add rows is not read at all.
    {
        Recordset names;
        names.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic,
                   adCmdTableDirect);
        QCOMPARE(readsInProgress(*connection), 0);
        names.addNew();
        names.setValue(QStringLiteral("DataFile_ID"), fileId);
        names.update();
        QCOMPARE(readsInProgress(*connection), 0);
        // Reading starts it, at the first stored row.
        names.moveNext();
        QCOMPARE(readsInProgress(*connection), 1);
        QCOMPARE(names.value(QStringLiteral("Name")).toString(), QStringLiteral("N0"));
    }
    QCOMPARE(readsInProgress(*connection), 0);
    {
        Recordset files;
        files.open(QStringLiteral("DataFiles"), *connection, adOpenStatic, adLockOptimistic,
                   adCmdTableDirect);
        QCOMPARE(readsInProgress(*connection), 0);
        QCOMPARE(files.recordCount(), 1); // a static cursor reads everything and finishes
        QCOMPARE(readsInProgress(*connection), 0);
        files.addNew();
        files.setValue(QStringLiteral("FileName"), QStringLiteral("b.lst"));
        files.update();
        QCOMPARE(files.recordCount(), 2);
        QCOMPARE(files.value(QStringLiteral("FileName")).toString(), QStringLiteral("b.lst"));
        // Counting reads the table after an addition; the added row stays current, the next one too.
        Recordset more;
        more.open(QStringLiteral("DataFiles"), *connection, adOpenStatic, adLockOptimistic, adCmdTableDirect);
        more.addNew();
        more.setValue(QStringLiteral("FileName"), QStringLiteral("c.lst"));
        more.update();
        QCOMPARE(more.recordCount(), 3);
        QCOMPARE(more.value(QStringLiteral("FileName")).toString(), QStringLiteral("c.lst"));
        more.addNew();
        more.setValue(QStringLiteral("FileName"), QStringLiteral("d.lst"));
        more.update();
        QCOMPARE(more.recordCount(), 4);
        QCOMPARE(more.value(QStringLiteral("FileName")).toString(), QStringLiteral("d.lst"));
        more.moveFirst();
        QCOMPARE(more.value(QStringLiteral("FileName")).toString(), QStringLiteral("a.lst"));
        more.close();
        QCOMPARE(files.recordCount(), 2); // a static cursor keeps the rows it read
        QVERIFY(files.value(QStringLiteral("ID")).toInt() > fileId);
        QCOMPARE(files.value(QStringLiteral("FileName")).toString(), QStringLiteral("b.lst"));
        QVERIFY(files.isNull(QStringLiteral("Date")));
    }
    // A forward-only query streams: it stays in the middle of its read until the end.
    Recordset rs;
    rs.open(QStringLiteral("SELECT ID FROM [Names]"), *connection, adOpenForwardOnly, adLockReadOnly,
            adCmdText);
    QCOMPARE(readsInProgress(*connection), 1);
    int rows = 0;
    while (!rs.eof()) {
        ++rows;
        rs.moveNext();
    }
    QCOMPARE(rows, 4);
    QCOMPARE(readsInProgress(*connection), 0);
}

void TestAccess::textKeepsEveryCharacter() {
    const int fileId = addDataFile(QStringLiteral("a.lst"), QDate(2000, 1, 1));
    const QString name = QStringLiteral("M\u00dcLLER, JOS\u00c9 \u4e2d \U0001F600");
    const int id = addName(fileId, name);
    Recordset rs;
    rs.open(QStringLiteral("SELECT Name FROM [Names] WHERE ID = %1").arg(id), *connection, adOpenForwardOnly,
            adLockReadOnly, adCmdText);
    QCOMPARE(rs.value(0).toString(), name);
    QCOMPARE(RawValue(file, QStringLiteral("SELECT Name FROM Names WHERE ID = %1").arg(id)).toString(), name);
    QCOMPARE(RawValue(file, QStringLiteral("SELECT hex(substr(Name, 1, 2)) FROM Names WHERE ID = %1").arg(id))
                 .toString(),
             QStringLiteral("4DC39C")); // stored as UTF-8
    // Sizes count characters, not bytes.
    Recordset names;
    names.open(QStringLiteral("Names"), *connection, adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    names.addNew();
    names.setValue(QStringLiteral("DataFile_ID"), fileId);
    names.setValue(QStringLiteral("State"), QStringLiteral("\u00c9\u00c9"));
    names.update();
    QCOMPARE(names.value(QStringLiteral("State")).toString(), QStringLiteral("\u00c9\u00c9"));
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
