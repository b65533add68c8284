// Letter case in comparisons, name searches and the list order, for every letter a Windows-1252 lead
// list can hold, and databases made by earlier builds, against real encrypted files.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "setup/Setup.h"
#include "tests/support/TestDatabase.h"

#include <QTest>
#include <sqlite3.h>

using namespace db;

class TestCaseFolding : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void searchesAndComparisonsIgnoreCase();
    void orderIgnoresCaseAndKeepsAccentsBesideTheirLetter();
    void earlierDatabasesKeepWorking();

private:
    std::unique_ptr<TestDatabase> database;

    QStringList names(const QString& condition);
};

namespace {
// A plain SQLCipher handle on `file`, without the program's comparison: what an earlier build used.
struct PlainHandle {
    sqlite3* handle = nullptr;
    explicit PlainHandle(const QString& file) {
        sqlite3_open_v2(QFile::encodeName(file).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
        const QByteArray key = setup::DatabasePassword.toUtf8();
        sqlite3_key(handle, key.constData(), int(key.size()));
    }
    ~PlainHandle() { sqlite3_close_v2(handle); }
    bool run(const QString& sql) {
        return sqlite3_exec(handle, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
};
} // namespace

void TestCaseFolding::init() {
    database = std::make_unique<TestDatabase>();
    Connection& connection = database->connection();
    connection.execute("INSERT INTO DataFiles (FileName, [Date]) VALUES ('01022026.lst', '1/2/2026')");
    for (const char* name : {"MÜLLER, HANS", "müller, eva", "MULLER, JO", "ÉMILE, ZOË", "emile, paul",
                             "Edgar, Ann", "ŒUVRE, ŠÁRKA", "ŽIŽEK, ŸVES", "Ökonomou, Nikos", "okafor, ada",
                             "OKONOMOU, NIKOS", "OLSEN, OLE", "ZED, AL", "100% PURE"})
        connection.execute(QString("INSERT INTO [Names] (DataFile_ID, Name) VALUES (1, '%1')")
                               .arg(quoted(QString::fromUtf8(name))));
}

void TestCaseFolding::cleanup() {
    database.reset();
}

QStringList TestCaseFolding::names(const QString& condition) {
    QStringList out;
    Recordset rs;
    rs.open("SELECT Name FROM [Names] " + condition, database->connection(), adOpenForwardOnly,
            adLockReadOnly, adCmdText);
    for (; !rs.eof(); rs.moveNext())
        out << rs.value(0).toString();
    return out;
}

void TestCaseFolding::searchesAndComparisonsIgnoreCase() {
    // Case is ignored for every letter; accents are not.
    QCOMPARE(names("WHERE (Name LIKE '%müller%') ORDER BY ID"), (QStringList{"MÜLLER, HANS", "müller, eva"}));
    QCOMPARE(names("WHERE (Name LIKE '%MÜLLER%') OR (Name LIKE '%ŽIŽEK%') ORDER BY ID"),
             (QStringList{"MÜLLER, HANS", "müller, eva", "ŽIŽEK, ŸVES"}));
    QCOMPARE(names("WHERE (Name LIKE '%œuvre, šárka%') OR (Name LIKE '%ÿves')"),
             (QStringList{"ŒUVRE, ŠÁRKA", "ŽIŽEK, ŸVES"}));
    QCOMPARE(names("WHERE (Name LIKE '%é%') ORDER BY ID"), QStringList{"ÉMILE, ZOË"});
    QCOMPARE(names("WHERE Name = 'müller, hans' OR Name = 'Émile, Zoë'"),
             (QStringList{"MÜLLER, HANS", "ÉMILE, ZOË"}));
    QCOMPARE(names("WHERE Name = 'muller, hans'"), QStringList());
    // _ stands for one letter, whatever its length in bytes; % for any text; NOT LIKE is the opposite.
    QCOMPARE(names("WHERE (Name LIKE '_mile%') ORDER BY ID"), (QStringList{"ÉMILE, ZOË", "emile, paul"}));
    QCOMPARE(names("WHERE (Name LIKE 'M_LLER%') ORDER BY ID"),
             (QStringList{"MÜLLER, HANS", "müller, eva", "MULLER, JO"}));
    QCOMPARE(names("WHERE Name NOT LIKE '%E%' ORDER BY ID"),
             (QStringList{"Ökonomou, Nikos", "okafor, ada", "OKONOMOU, NIKOS"}));
    // An escape makes a wildcard literal; the engine's own rules for the escape and for Null hold.
    QCOMPARE(names("WHERE Name LIKE '%!%%' ESCAPE '!'"), QStringList{"100% PURE"});
    QCOMPARE(names("WHERE Name LIKE '%ü%' ESCAPE 'Ü' ORDER BY ID"),
             (QStringList{"MÜLLER, HANS", "müller, eva"}));
    QCOMPARE(names("WHERE Name LIKE '100%!' ESCAPE '!'"), QStringList());
    const auto escape = CaughtFailure([&] { names("WHERE Name LIKE '%' ESCAPE 'ab'"); });
    QVERIFY(escape && escape->description() == "ESCAPE expression must be a single character");
    QCOMPARE(database->scalar("SELECT quote(NULL LIKE 'a') || quote('a' LIKE NULL)").toString(),
             QString("NULLNULL"));
}

void TestCaseFolding::orderIgnoresCaseAndKeepsAccentsBesideTheirLetter() {
    // Accented letters sort beside their plain letter (Ökonomou before OLSEN, not after ZED), case
    // never decides, and where only accents differ the plain letter comes first.
    QStringList expected = {"100% PURE",       "Edgar, Ann",      "emile, paul", "ÉMILE, ZOË",
                            "müller, eva",     "MÜLLER, HANS",    "MULLER, JO",  "okafor, ada",
                            "OKONOMOU, NIKOS", "Ökonomou, Nikos", "OLSEN, OLE",  "ŒUVRE, ŠÁRKA",
                            "ZED, AL",         "ŽIŽEK, ŸVES"};
    QCOMPARE(names("ORDER BY Name ASC"), expected);
    std::reverse(expected.begin(), expected.end());
    QCOMPARE(names("ORDER BY Name DESC"), expected);
}

void TestCaseFolding::earlierDatabasesKeepWorking() {
    // An earlier build's file: indexes ordered by the engine's ASCII-only NOCASE, no schema version.
    const QStringList fileNames = {"É1.lst", "é3.lst", "e2.lst", "F.lst", "Ö5.lst", "o4.lst",
                                   "Z.lst",  "Ð7.lst", "d6.lst", "ÿ.lst", "Ÿ9.lst", "y8.lst"};
    const QString file = database->file;
    database->close();
    {
        PlainHandle old(file);
        QVERIFY(old.run("PRAGMA user_version = 0"));
        for (const QString& name : fileNames)
            QVERIFY(old.run(QString("INSERT INTO DataFiles (FileName) VALUES ('%1')").arg(name)));
        QVERIFY(old.run("REINDEX"));
    }
    // Another process holds the write lock: the one-time rebuild cannot run, and opening says why.
    {
        PlainHandle writer(file);
        QVERIFY(writer.run("BEGIN IMMEDIATE"));
        const auto locked = CaughtFailure([&] { OpenTestDatabase(file); });
        QVERIFY(locked && locked->number() == DbErrors::EngineFailure);
        QVERIFY2(locked->description().contains(file) && locked->description().contains("locked"),
                 qPrintable(locked->description()));
    }
    database->reopen();
    QCOMPARE(database->scalar("PRAGMA integrity_check").toString(), QString("ok"));
    for (const QString& name : fileNames) {
        const QString sql = "SELECT COUNT(*) FROM DataFiles WHERE FileName = '%1'";
        QCOMPARE(database->scalar(sql.arg(name.toUpper())).toInt(), 1);
        QCOMPARE(database->scalar(sql.arg(name.toLower())).toInt(), 1);
    }
    // Done once: a new file, and the earlier one now, open while another process writes.
    PlainHandle writer(file);
    QVERIFY(writer.run("BEGIN IMMEDIATE"));
    database->reopen();
    const TestDatabase fresh(1, false);
    PlainHandle freshWriter(fresh.file);
    QVERIFY(freshWriter.run("BEGIN IMMEDIATE"));
    QVERIFY(OpenTestDatabase(fresh.file) != nullptr);
}

QTEST_MAIN(TestCaseFolding)
#include "tst_casefolding.moc"
