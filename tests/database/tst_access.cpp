// Every way the program reaches the lead database, against real encrypted files.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/IntegerRows.h"
#include "tests/support/TestDatabase.h"

#include <QDateTime>
#include <QTest>

using namespace db;

class TestAccess : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dealerRows();
    void importAddsRowsWithTheirNumbers();
    void refusedRowsAreNotSaved();
    void nameListAndYesNo();
    void printedAndFollowedByBatch();
    void contactAddAndChange();
    void boundValues();
    void deletionsAndCascade();
    void callListAndMergeQueries();
    void cursorRules();

private:
    std::unique_ptr<TestDatabase> database; // with three dealerships

    Connection& connection() { return database->connection(); }
    int addDataFile(const QString& name) { return database->addDataFile(name); }
    int addName(int dataFile, const QString& name, const QVariant& phone = {}, bool printed = false,
                bool followed = false) {
        return database->addName(dataFile, name, phone, printed, followed);
    }
    QList<int> ids(const QString& sql, CommandTypeEnum type = adCmdText);
    qint64 raw(const QString& sql) { return database->raw(sql).toLongLong(); }
    QString rawText(const QString& sql) { return database->raw(sql).toString(); }
};

void TestAccess::init() {
    database = std::make_unique<TestDatabase>(3);
}

void TestAccess::cleanup() {
    database.reset();
}

QList<int> TestAccess::ids(const QString& sql, CommandTypeEnum type) {
    QList<int> result;
    Recordset rs;
    rs.open(sql, connection(), adOpenForwardOnly, adLockReadOnly, type);
    for (; !rs.eof(); rs.moveNext())
        result.append(rs.value("ID").toInt());
    return result;
}

void TestAccess::dealerRows() {
    Recordset rs; // the first-run test: the delivered first row has no name
    rs.open("SELECT TOP 1 Name FROM Dlr_Info", connection(), adOpenForwardOnly, adLockReadOnly, adCmdText);
    QVERIFY(rs.isNull("Name"));
    QCOMPARE(rs.recordCount(), -1);
    rs.moveNext();
    QVERIFY(rs.eof()); // one row of three
    rs.close();
    rs.open("Dlr_Info", connection(), adOpenStatic, adLockReadOnly, adCmdTableDirect); // counting dealerships
    QCOMPARE(rs.recordCount(), 3);
    rs.close();

    // The dealer information is written over all rows in stored order.
    const QStringList names = {"zeta motors", "Acme Autos", "beta cars"};
    rs.open("Dlr_Info", connection(), adOpenStatic, adLockOptimistic, adCmdTableDirect);
    rs.moveFirst();
    for (const QString& name : names) {
        rs.setValue("Name", name);
        rs.setValue("Addr2", QString()); // an empty line is stored as empty text
        rs.update();
        rs.moveNext();
    }
    QVERIFY(rs.eof());
    rs.close();
    const QList<QVariantList> stored =
        RawRows(database->file, "SELECT ID, Name, quote(Addr2) FROM Dlr_Info ORDER BY ID");
    for (int k = 0; k < 3; ++k)
        QCOMPARE(stored[k], (QVariantList{qint64(k + 1), names[k], QString("''")}));
    // The dealer list: alphabetical without regard to case.
    QCOMPARE(ids("SELECT ID, Name FROM Dlr_Info ORDER BY Name"), (QList<int>{2, 3, 1}));

    // Values over a column's size refuse the row and name the column.
    rs.open("Dlr_Info", connection(), adOpenStatic, adLockOptimistic, adCmdTableDirect);
    rs.setValue("Name", QString(50, 'N')); // exactly the limit
    rs.update();
    rs.setValue("Zip", "60601-12345");
    auto refused = CaughtFailure([&] { rs.moveNext(); }); // the implicit save refuses, and the row stays
    QVERIFY(refused && refused->number() == DbErrors::ValueRefused);
    QVERIFY(refused->description().contains("Zip"));
    QCOMPARE(rs.value("ID").toInt(), 1);
    rs.cancelUpdate();
    QCOMPARE(rawText("SELECT Name || quote(Zip) FROM Dlr_Info WHERE ID = 1"), QString(50, 'N') + "NULL");
}

void TestAccess::importAddsRowsWithTheirNumbers() {
    // The import's pattern: both tables open for the whole file, each file in one transaction.
    Recordset files, names;
    files.open("DataFiles", connection(), adOpenStatic, adLockOptimistic, adCmdTableDirect);
    names.open("Names", connection(), adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    QList<int> fileIds, nameIds;
    for (int f = 0; f < 2; ++f) {
        connection().beginTrans();
        files.addNew();
        files.setValue("FileName", QString("1203199%1.lst").arg(f));
        files.setValue("Date", f == 0 ? QDate(1899, 12, 30) : QDate(1999, 12, 3));
        files.update();
        fileIds << files.value("ID").toInt();
        for (int line = 0; line < 2; ++line) {
            names.addNew();
            names.setValue("DataFile_ID", fileIds.last());
            names.setValue("Court_ID", QString("A12%1").arg(line));
            names.setValue("Name", QString("SMITH, JOHN %1").arg(line));
            names.setValue("File", "01/05/99");
            if (line == 0) { // "00/00/00" and no phone leave the columns unset
                names.setValue("Discharge", "2/28/00");
                names.setValue("Phone", "(217) 555-0123");
            }
            names.update();
            nameIds << names.value("ID").toInt(); // the new row reads back as saved, with the defaults
            QCOMPARE(names.value("File").toDateTime(), QDateTime(QDate(1999, 1, 5), QTime(0, 0)));
            QCOMPARE(names.value("Printed"), QVariant(false));
        }
        QCOMPARE(raw("SELECT COUNT(*) FROM Names"), 2 * f); // not visible to others until committed
        connection().commitTrans();
    }
    QVERIFY(fileIds[0] > 0 && nameIds[0] > 0);
    QCOMPARE(fileIds[1], fileIds[0] + 1);
    QCOMPARE(nameIds[3], nameIds[0] + 3);
    QCOMPARE(files.recordCount(), 2);
    QCOMPARE(FailureNumber([&] { connection().commitTrans(); }), DbErrors::EngineFailure);
    connection().beginTrans();
    files.addNew();
    files.setValue("FileName", "lost.lst");
    files.update();
    connection().close(); // closing inside a transaction abandons it
    QCOMPARE(raw("SELECT COUNT(*) FROM DataFiles"), 2);
    connection().open(TestConnectionString(database->file));
    QCOMPARE(rawText("SELECT group_concat(Date, '|') FROM DataFiles"),
             QString("1899-12-30 00:00:00|1999-12-03 00:00:00"));
    QCOMPARE(rawText(QString("SELECT Discharge FROM Names WHERE ID = %1").arg(nameIds[0])),
             QString("2000-02-28 00:00:00"));

    // The source date list: newest first, the zero date last.
    QCOMPARE(ids("SELECT ID, Date FROM DataFiles ORDER BY Date DESC"), (QList<int>{fileIds[1], fileIds[0]}));
    // The name list reads what the import stored, with the types the callers expect.
    Recordset rs;
    rs.open(QString("SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, Printed, "
                    "Followed FROM [Names] WHERE DataFile_ID IN (%1) ORDER BY Court_ID ASC")
                .arg(fileIds[0]),
            connection(), adOpenForwardOnly, adLockReadOnly, adCmdText);
    QCOMPARE(rs.value("File").typeId(), QMetaType::QDateTime);
    QCOMPARE(rs.value("phone").toString(), QString("(217) 555-0123"));
    QCOMPARE(rs.value("Discharge").toDateTime(), QDateTime(QDate(2000, 2, 28), QTime(0, 0)));
    rs.moveNext();
    QVERIFY(rs.isNull("Phone") && rs.isNull("Discharge"));
    rs.close();
    QCOMPARE(ids("SELECT ID FROM [Names] WHERE NOT Printed").size(), 4); // new names are "not printed"

    // Text keeps every character, stored as UTF-8.
    const QString name = "M\u00dcLLER, JOS\u00c9 \u4e2d \U0001F600";
    const int id = addName(fileIds[0], name);
    QCOMPARE(rawText(QString("SELECT Name || hex(substr(Name, 1, 2)) FROM Names WHERE ID = %1").arg(id)),
             name + "4DC39C");
    QCOMPARE(ids(QString("SELECT ID FROM [Names] WHERE Name = '%1'").arg(name)), QList<int>{id});
}

void TestAccess::refusedRowsAreNotSaved() {
    const int fileId = addDataFile("01011999.lst");
    Recordset names;
    names.open("Names", connection(), adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    bool keptAfterRefusal = true;
    auto add = [&](const QString& field, const QVariant& value) {
        names.addNew();
        names.setValue("DataFile_ID", fileId);
        names.setValue(field, value);
        auto failure = CaughtFailure([&] { names.update(); });
        if (failure) {
            keptAfterRefusal = keptAfterRefusal && names.editing();
            names.cancelUpdate();
        }
        return failure;
    };
    auto number = [](const std::optional<Failure>& failure) { return failure ? failure->number() : 0; };
    const QList<std::pair<QString, QString>> dates = {{"12/31/29", "2029-12-31 00:00:00"},
                                                      {"01/01/30", "1930-01-01 00:00:00"},
                                                      {"2003-01-05 08:30", "2003-01-05 08:30:00"}};
    for (const auto& [text, stored] : dates) {
        QVERIFY(!add("File", text));
        QCOMPARE(rawText(QString("SELECT File FROM Names WHERE ID = %1").arg(names.value("ID").toInt())),
                 stored);
    }
    for (const QString& text :
         {QString("13/45/99"), QString("02/30/99"), QString("00/00/00"), QString("SOON"), QString()}) {
        auto failure = add("File", text);
        QVERIFY2(failure && failure->number() == DbErrors::DataTypeMismatch, qPrintable(text));
        QCOMPARE(failure->description(),
                 QString("Data type mismatch: '%1' is not a date for column File.").arg(text));
    }
    QVERIFY(!add("Discharge", QDate(2001, 9, 8)));
    auto tooLong = add("State", "ILL");
    QVERIFY(tooLong && tooLong->number() == DbErrors::ValueRefused);
    QVERIFY(tooLong->description().contains("State"));
    QCOMPARE(number(add("Street", QString(256, 'S'))), DbErrors::ValueRefused); // 255 characters at most
    QCOMPARE(number(add("DataFile_ID", "one")), DbErrors::DataTypeMismatch);
    QVERIFY(keptAfterRefusal);              // a refused row stays pending until cancelled
    QVERIFY(!add("State", "\u00c9\u00c9")); // sizes count characters, not bytes
    QVERIFY(!add("Name", "LAST"));          // the recordset goes on adding after refusals
    names.close();
    QCOMPARE(raw("SELECT COUNT(*) FROM Names"), 6);
    QCOMPARE(rawText("SELECT Discharge FROM Names WHERE Discharge IS NOT NULL"),
             QString("2001-09-08 00:00:00"));
}

void TestAccess::nameListAndYesNo() {
    const int fileA = addDataFile("a.lst");
    const int fileB = addDataFile("b.lst");
    const int jones = addName(fileA, "JONES, MARY", "(312) 555-0001", true);
    const int janes = addName(fileA, "janes, bob");
    const int smith = addName(fileA, "Smith, Al", {}, true, true);
    const int adams = addName(fileB, "adams, eve", "555-0002");
    // Yes/no columns store -1 and 0 as integers, never Null.
    QCOMPARE(rawText("SELECT group_concat(Printed || ',' || Followed || typeof(Printed), '|') FROM Names"),
             QString("-1,0integer|0,0integer|-1,-1integer|0,0integer"));
    Recordset rs;
    rs.open("Names", connection(), adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue("DataFile_ID", fileA);
    rs.setValue("Printed", QVariant());
    QCOMPARE(FailureNumber([&] { rs.update(); }), DbErrors::EngineFailure);
    rs.cancelUpdate();

    const QString list = "SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, "
                         "Printed, Followed FROM [Names] ";
    QCOMPARE(ids(list + QString("WHERE DataFile_ID IN (%1) ORDER BY Name ASC").arg(fileA)),
             (QList<int>{janes, jones, smith}));
    QCOMPARE(ids(list + QString("WHERE DataFile_ID IN (%1,%2) ORDER BY Name DESC").arg(fileA).arg(fileB)),
             (QList<int>{smith, jones, janes, adams}));
    QCOMPARE(ids(list + QString("WHERE DataFile_ID IN (%1) AND NOT Printed").arg(fileA)), QList<int>{janes});
    QCOMPARE(ids(list + QString("WHERE DataFile_ID IN (%1) AND Printed AND NOT Followed").arg(fileA)),
             QList<int>{jones});
    // Sorting by a yes/no column: yes (-1) comes first in ascending order.
    QCOMPARE(ids(list + QString("WHERE DataFile_ID IN (%1) ORDER BY Printed ASC, Name ASC").arg(fileA)),
             (QList<int>{jones, smith, janes}));
    // Name search: %, _ and letter case; "=" ignores case too.
    QCOMPARE(ids(list + "WHERE (Name LIKE '%j_nes%') ORDER BY Name ASC"), (QList<int>{janes, jones}));
    QCOMPARE(ids(list + "WHERE (Name LIKE '%SMITH%') OR (Name LIKE '%ADAMS%') ORDER BY Name ASC"),
             (QList<int>{adams, smith}));
    QCOMPARE(ids(list + "WHERE (Name LIKE '%J_NES,%M%')"), QList<int>{jones});
    QCOMPARE(ids("SELECT ID FROM [Names] WHERE Name = 'SMITH, AL'"), QList<int>{smith});
}

void TestAccess::printedAndFollowedByBatch() {
    const int fileId = addDataFile("a.lst");
    const int fresh = addName(fileId, "FRESH");
    const int before = addName(fileId, "BEFORE", {}, true);
    const int untouched = addName(fileId, "UNTOUCHED");
    auto markPrinted = [&](const QString& idList) {
        Recordset rs;
        rs.open("SELECT Printed, Followed FROM [Names] WHERE ID IN " + idList, connection(),
                adOpenForwardOnly, adLockOptimistic, adCmdText);
        rs.moveFirst();
        for (; !rs.eof(); rs.moveNext())
            rs.setValue(rs.value("Printed").toBool() ? "Followed" : "Printed", true);
        rs.updateBatch();
    };
    auto flags = [&](int id) {
        return rawText(QString("SELECT Printed || ',' || Followed FROM Names WHERE ID = %1").arg(id));
    };
    markPrinted(QString("(%1,%2)").arg(fresh).arg(before));
    QCOMPARE(flags(fresh), QString("-1,0"));
    QCOMPARE(flags(before), QString("-1,-1"));
    QCOMPARE(flags(untouched), QString("0,0"));

    // The last row's change, still pending at the end, is saved by updateBatch alone.
    Recordset rs;
    rs.open(QString("SELECT Printed, Followed FROM [Names] WHERE ID IN (%1)").arg(untouched), connection(),
            adOpenForwardOnly, adLockOptimistic, adCmdText);
    rs.setValue("Printed", true);
    rs.updateBatch();
    QVERIFY(!rs.editing());
    QCOMPARE(rs.value("Printed"), QVariant(true));
    QCOMPARE(flags(untouched), QString("-1,0"));
}

void TestAccess::contactAddAndChange() {
    auto add = [&](const QString& name, const QString& phone) {
        Recordset rs;
        rs.open("Contact_Info", connection(), adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
        rs.addNew();
        rs.setValue("Name", name);
        rs.setValue("Phone", phone);
        rs.update();
        return rs.value("ID").toInt();
    };
    const int pat = add("Pat Doe", "555-1000");
    const int lee = add("Lee Roe", "555-2000");
    QVERIFY(pat > 0);
    QCOMPARE(lee, pat + 1);
    QCOMPARE(ids("SELECT ID FROM Contact_Info WHERE Name = 'PAT DOE' AND Phone = '555-1000'"),
             QList<int>{pat});
    QCOMPARE(ids("Contact_Info", adCmdTableDirect), (QList<int>{pat, lee})); // the contact list: stored order

    // Changing a contact through "SELECT * ... WHERE ID = n".
    Recordset rs;
    rs.open(QString("SELECT * FROM Contact_Info WHERE ID = %1").arg(pat), connection(), adOpenForwardOnly,
            adLockOptimistic, adCmdText);
    QCOMPARE(rs.fieldCount(), 3);
    rs.setValue("Name", "Pat Doe");
    rs.setValue("Phone", "555-9999");
    rs.update();
    QCOMPARE(rs.value("Phone").toString(), QString("555-9999"));
    rs.close();
    QCOMPARE(rawText("SELECT group_concat(Name || ':' || Phone, '|') FROM Contact_Info"),
             QString("Pat Doe:555-9999|Lee Roe:555-2000"));
    rs.open("SELECT * FROM Contact_Info WHERE ID = 12345", connection(), adOpenForwardOnly, adLockOptimistic,
            adCmdText);
    QCOMPARE(FailureNumber([&] { rs.setValue("Phone", "1"); }), DbErrors::NoCurrentRecord);
}

// Values reach the database bound to ? marks, never spliced into the text: quotes and wildcards are
// plain characters, Null is Null, numbers, yes/no and dates compare as they are stored, and a count of
// values that does not match the marks is the statement's fault, leaving no statement behind.
void TestAccess::boundValues() {
    QCOMPARE(quoted("O'BRIEN"), QString("O''BRIEN")); // the test fixtures still splice with it
    const int fileId = database->addDataFile("O'B%_1.lst", QDate(2026, 1, 5));
    const int other = database->addDataFile("O'Bx11.lst", QDate(2026, 1, 6));
    auto idsOf = [&](const QString& sql, const QVariantList& values) {
        QList<int> result;
        Recordset rs;
        rs.open(sql, values, connection(), adOpenForwardOnly, adLockReadOnly);
        for (; !rs.eof(); rs.moveNext())
            result.append(rs.value(0).toInt());
        return result;
    };
    // Compared for equality % and _ are themselves (and case is ignored); LIKE keeps their meaning.
    QCOMPARE(idsOf("SELECT ID FROM DataFiles WHERE FileName = ?", {"o'b%_1.LST"}), QList<int>{fileId});
    QCOMPARE(idsOf("SELECT ID FROM DataFiles WHERE FileName LIKE ? ORDER BY ID", {"O'B%_1.lst"}),
             (QList<int>{fileId, other}));
    // A ? inside a quoted literal is text, not a mark, also in the statements the Jet forms rewrite.
    QCOMPARE(idsOf("SELECT TOP 1 ID FROM DataFiles WHERE FileName = ? OR FileName = 'TOP 2 ?' ORDER BY ID",
                   {"O'Bx11.lst"}),
             QList<int>{other});
    connection().execute("DELETE * FROM DataFiles WHERE FileName = '?' OR FileName = ?", {"none?"});
    QCOMPARE(raw("SELECT COUNT(*) FROM DataFiles"), 2);

    // Null matches nothing with = and the names without a phone with IS; a number text finds the row
    // its number does, yes/no is -1/0 as stored.
    const int noPhone = addName(fileId, "ANN", QVariant());
    const int printed = addName(fileId, "BOB", "(312) 555-0001", true);
    connection().execute("INSERT INTO [Names] (DataFile_ID, Name, Phone) VALUES (?, ?, ?)",
                         {other, "O'BRIEN, PAT 50%", QVariant()});
    QCOMPARE(idsOf("SELECT ID FROM [Names] WHERE Phone = ?", {QVariant()}), QList<int>{});
    QCOMPARE(idsOf("SELECT ID FROM [Names] WHERE Phone IS ? AND DataFile_ID = ?", {QVariant(), fileId}),
             QList<int>{noPhone});
    QCOMPARE(idsOf("SELECT ID FROM [Names] WHERE DataFile_ID = ? AND Printed = ?",
                   {QString::number(fileId), true}),
             QList<int>{printed});
    QCOMPARE(
        rawText("SELECT Name FROM [Names] WHERE Phone IS NULL AND DataFile_ID = " + QString::number(other)),
        QString("O'BRIEN, PAT 50%"));
    QList<qint64> read;
    readIntegerRows(connection(), "SELECT ID, Printed FROM [Names] WHERE Name LIKE ? OR ID = ? ORDER BY ID",
                    2,
                    [&](const qint64* values) {
                        read << values[0] << values[1];
                        return true;
                    },
                    {"%'BRIEN%", printed});
    QCOMPARE(read, (QList<qint64>{printed, -1, printed + 1, 0}));

    // Dates in the stored form: a QDate or QDateTime finds the day a row was saved with, and a date
    // written through a bound value is stored as the program stores every date.
    QCOMPARE(idsOf("SELECT ID FROM DataFiles WHERE [Date] = ?", {QDate(2026, 1, 6)}), QList<int>{other});
    QCOMPARE(
        idsOf("SELECT ID FROM DataFiles WHERE [Date] < ?", {QDateTime(QDate(2026, 1, 5), QTime(0, 0, 1))}),
        QList<int>{fileId});
    connection().execute("UPDATE DataFiles SET [Date] = ? WHERE ID = ?",
                         {QDateTime(QDate(1999, 12, 4), QTime(13, 5, 9)), other});
    QCOMPARE(rawText("SELECT [Date] FROM DataFiles WHERE ID = " + QString::number(other)),
             QString("1999-12-04 13:05:09"));
    QCOMPARE(FailureNumber([&] { idsOf("SELECT ID FROM DataFiles WHERE [Date] = ?", {QDateTime()}); }),
             DbErrors::DataTypeMismatch);

    // Too few or too many values: a clear failure of the statement, whichever way it is run.
    const int prepared = PreparedStatements(connection());
    for (const QVariantList& values : {QVariantList{}, QVariantList{1, 2}}) {
        const QString told = QString("The statement takes 1 values, %1 were given.").arg(values.size());
        for (const std::function<void()>& run : std::initializer_list<std::function<void()>>{
                 [&] { idsOf("SELECT ID FROM DataFiles WHERE ID = ?", values); },
                 [&] { connection().execute("DELETE FROM DataFiles WHERE ID = ?", values); },
                 [&] {
                     readIntegerRows(
                         connection(), "SELECT ID FROM DataFiles WHERE ID = ?", 1,
                         [](const qint64*) { return true; }, values);
                 }}) {
            const std::optional<Failure> failure = CaughtFailure(run);
            QVERIFY(failure);
            QCOMPARE(failure->number(), DbErrors::StatementRejected);
            QCOMPARE(failure->description(), told);
        }
    }
    QCOMPARE(PreparedStatements(connection()), prepared);
    QCOMPARE(raw("SELECT COUNT(*) FROM DataFiles"), 2);
}

void TestAccess::deletionsAndCascade() {
    const int fileA = addDataFile("12031999.lst");
    const int fileB = addDataFile("12041999.lst");
    QList<int> a, b;
    for (int i = 0; i < 3; ++i) {
        a << addName(fileA, QString("A%1").arg(i));
        b << addName(fileB, QString("B%1").arg(i));
    }
    connection().execute(QString("DELETE * FROM [Names] WHERE ID IN (%1,%2)").arg(a[0]).arg(b[0]));
    QCOMPARE(ids("SELECT ID FROM [Names] ORDER BY ID"), (QList<int>{a[1], b[1], a[2], b[2]}));
    // Forgetting a replaced data file takes its names with it (file names compare without case).
    connection().execute("DELETE FROM DataFiles WHERE FileName = '12031999.LST'");
    QCOMPARE(ids("SELECT ID FROM DataFiles"), QList<int>{fileB});
    QCOMPARE(ids("SELECT ID FROM [Names] ORDER BY ID"), (QList<int>{b[1], b[2]}));
    QVERIFY(addDataFile("12031999.lst") > fileB); // auto numbers are never reused
    QCOMPARE(FailureNumber([&] { addName(fileA, "ORPHAN"); }), DbErrors::EngineFailure);
}

void TestAccess::callListAndMergeQueries() {
    const int fileId = addDataFile("a.lst");
    const int empty = addName(fileId, "CAL", QString()); // an empty phone; BOB's is Null
    const QString idList = QString("(%1,%2,%3,%4)")
                               .arg(addName(fileId, "ZED", "(312) 555-0001"))
                               .arg(addName(fileId, "AMY", "(312) 555-0002"))
                               .arg(addName(fileId, "BOB"))
                               .arg(empty);
    QCOMPARE(rawText(QString("SELECT quote(Phone) FROM Names WHERE ID = %1").arg(empty)), QString("''"));
    connection().execute("UPDATE Dlr_Info SET Name = 'Acme', City = 'Chicago' WHERE ID = 2");
    connection().execute("INSERT INTO Contact_Info (Name, Phone) VALUES ('Pat', '555-1000')");
    const int contact = int(raw("SELECT ID FROM Contact_Info"));

    Recordset rs; // the call list needs the record count: static cursor; Phone <> '' skips Null and empty
    rs.open("SELECT Name, City, State, Phone FROM [Names] WHERE Phone <> ''   AND [Names].ID IN " + idList +
                " ORDER BY [Names].Name ASC",
            connection(), adOpenStatic, adLockReadOnly, adCmdText);
    QCOMPARE(rs.recordCount(), 2);
    rs.moveNext();
    QCOMPARE(rs.value(3).toString(), QString("(312) 555-0001"));
    rs.moveNext();
    QVERIFY(rs.eof());
    rs.moveFirst(); // a static cursor goes back
    QCOMPARE(rs.value(0).toString(), QString("AMY"));
    rs.close();

    // The merge query: a cross join restricted to one dealer and one contact.
    const QString merge =
        "SELECT [Names].Name, [Names].Street, [Names].City, [Names].State, [Names].Zip,"
        "       Dlr_Info.Name, Dlr_Info.Addr1, Dlr_Info.Addr2, Dlr_Info.City, Dlr_Info.State, Dlr_Info.Zip,"
        "       Contact_Info.Name, Contact_Info.Phone FROM [Names], Dlr_Info, Contact_Info "
        "WHERE Contact_Info.ID = %1  AND Dlr_Info.ID = %2  AND [Names].ID IN %3 ORDER BY [Names].Street ASC";
    rs.open(merge.arg(contact).arg(2).arg(idList), connection(), adOpenForwardOnly, adLockReadOnly,
            adCmdText);
    rs.moveFirst();
    QCOMPARE(rs.fieldCount(), 13);
    int records = 0;
    for (; !rs.eof(); rs.moveNext(), ++records) {
        QCOMPARE(rs.value(5).toString(), QString("Acme"));
        QVERIFY(rs.value(6).isNull() && rs.value(0).toString() != "Acme");
        QCOMPARE(rs.value("Contact_Info.Phone").toString(), QString("555-1000"));
    }
    QCOMPARE(records, 4);
    QCOMPARE(FailureNumber([&] { rs.setValue("Name", "X"); }), DbErrors::NotSupported); // a join is read-only
    rs.close();
    // No dealer with that number: the move to the first record fails.
    rs.open(merge.arg(contact).arg(99).arg(idList), connection(), adOpenForwardOnly, adLockOptimistic,
            adCmdText);
    QVERIFY(rs.eof() && rs.bof());
    QCOMPARE(FailureNumber([&] { rs.moveFirst(); }), DbErrors::NoCurrentRecord);
    QCOMPARE(FailureNumber([&] { rs.setValue("Name", "X"); }), DbErrors::NotSupported);
}

// The cursor rules, and that forward-only results stream and table-direct opens read nothing until
// needed (counted as the connection's statements that are in the middle of a read).
void TestAccess::cursorRules() {
    auto reading = [&] { return PreparedStatements(connection(), true); };
    const int fileId = addDataFile("a.lst");
    const int first = addName(fileId, "ONE");
    Recordset rs;
    QCOMPARE(FailureNumber([&] { rs.eof(); }), DbErrors::ObjectClosed);
    rs.open("Names", connection(), adOpenForwardOnly, adLockOptimistic, adCmdTableDirect);
    rs.addNew();
    rs.setValue("DataFile_ID", fileId);
    rs.setValue("Name", "TWO");
    rs.update();
    QCOMPARE(reading(), 0);
    rs.moveNext(); // reading starts at the first stored row
    QCOMPARE(reading(), 1);
    QCOMPARE(rs.value("Name").toString(), QString("ONE"));
    rs.close();

    rs.open("SELECT ID, Name FROM [Names] ORDER BY ID", connection(), adOpenForwardOnly, adLockReadOnly,
            adCmdText);
    QCOMPARE(rs.recordCount(), -1);
    QCOMPARE(reading(), 1);
    QCOMPARE(FailureNumber([&] {
                 rs.open("Names", connection(), adOpenForwardOnly, adLockReadOnly, adCmdTableDirect);
             }),
             DbErrors::ObjectOpen);
    rs.moveFirst(); // already on the first record: allowed
    QCOMPARE(rs.value("ID").toInt(), first);
    QCOMPARE(FailureNumber([&] { rs.value("Nmae"); }), DbErrors::ItemNotFound);
    QCOMPARE(FailureNumber([&] { rs.setValue("Name", "X"); }), DbErrors::NotSupported); // read-only
    QCOMPARE(FailureNumber([&] { rs.addNew(); }), DbErrors::NotSupported);
    connection().beginTrans(); // a read in progress does not keep a transaction from ending
    connection().execute("INSERT INTO Contact_Info (Name) VALUES ('Pat')");
    connection().commitTrans();
    QCOMPARE(raw("SELECT COUNT(*) FROM Contact_Info"), 1);
    rs.moveNext();
    QCOMPARE(FailureNumber([&] { rs.moveFirst(); }), DbErrors::NotSupported); // forward only
    rs.moveNext();
    QVERIFY(rs.eof() && !rs.bof());
    QCOMPARE(reading(), 0);
    QCOMPARE(FailureNumber([&] { rs.value("Name"); }), DbErrors::NoCurrentRecord);
    QCOMPARE(FailureNumber([&] { rs.moveNext(); }), DbErrors::NoCurrentRecord);
}

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
