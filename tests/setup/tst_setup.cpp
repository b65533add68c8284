// The installation tool: the delivered database, refusing to overwrite, the user data folder.
#include "database/Database.h"
#include "database/DbErrors.h"
#include "errors/ErrorNumbers.h"
#include "setup/Setup.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSetup : public QObject {
    Q_OBJECT

private slots:
    void createsTheDeliveredDatabase();
    void refusesToOverwrite();
    void refusesBadDealershipCounts();
    void toolUsesTheUserDataFolder();
    void toolRefusesBadArgumentsAndExistingDatabase();

private:
    static QString toolPath() { return QStringLiteral(QM_BINARY_DIR "/app/quillmark-setup"); }
    static QProcessEnvironment environmentWithDataHome(const QString& folder) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), folder);
        return env;
    }
};

void TestSetup::createsTheDeliveredDatabase() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("deep/er/Quillmark.mdb"));
    CreateDatabase(file, 4); // creates the missing folders
    QVERIFY(QFile::exists(file));

    // Encrypted: no plain SQLite header, and no readable table names.
    const QByteArray bytes = FileBytes(file);
    QVERIFY(!bytes.startsWith("SQLite format 3"));
    QVERIFY(!bytes.contains("Dlr_Info"));

    const QList<QVariantList> dealers =
        RawRows(file, QStringLiteral("SELECT ID, Name FROM Dlr_Info ORDER BY rowid"));
    QCOMPARE(dealers.size(), 4);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(dealers[i][0].toInt(), i + 1);
        QVERIFY(dealers[i][1].isNull());
    }
    for (const char* table : {"DataFiles", "Names", "Contact_Info"})
        QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))).toInt(),
                 0);
    const QStringList indexes = [&] {
        QStringList names;
        for (const QVariantList& row :
             RawRows(file, QStringLiteral(
                               "SELECT tbl_name || '.' || sql FROM sqlite_master WHERE type = 'index' AND "
                               "sql IS NOT NULL")))
            names << row[0].toString();
        return names;
    }();
    QCOMPARE(indexes.size(), 2);
    QVERIFY(indexes.filter(QStringLiteral("Names.")).first().contains(QStringLiteral("DataFile_ID")));
    QVERIFY(indexes.filter(QStringLiteral("DataFiles.")).first().contains(QStringLiteral("FileName")));

    // The program's layer opens it with the delivered password and sees the first run.
    auto connection = OpenTestDatabase(file);
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT TOP 1 Name FROM Dlr_Info"), *connection, db::adOpenForwardOnly,
            db::adLockReadOnly, db::adCmdText);
    QVERIFY(!rs.eof());
    QVERIFY(rs.isNull(QStringLiteral("Name")));

    // The test helper goes the same way.
    QTemporaryDir other;
    const QString helper = CreateTestDatabase(other.path(), 2);
    QCOMPARE(helper, QDir(other.path()).filePath(QStringLiteral("Quillmark.mdb")));
    QCOMPARE(RawValue(helper, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NULL")).toInt(), 2);
}

void TestSetup::refusesToOverwrite() {
    QTemporaryDir dir;
    const QString file = CreateTestDatabase(dir.path(), 1);
    {
        auto connection = OpenTestDatabase(file);
        connection->execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme'"));
    }
    const QByteArray before = FileBytes(file);
    auto failure = CaughtFailure([&] { CreateDatabase(file, 3); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), setup::FileAlreadyExists);
    QVERIFY2(failure->description().contains(QStringLiteral("already exists")),
             qPrintable(failure->description()));
    QCOMPARE(FileBytes(file), before);
    QCOMPARE(RawValue(file, QStringLiteral("SELECT Name FROM Dlr_Info")).toString(), QStringLiteral("Acme"));

    // Any file of that name is left alone, database or not.
    const QString text = dir.filePath(QStringLiteral("Other.mdb"));
    {
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not mine");
    }
    QVERIFY(CaughtFailure([&] { CreateDatabase(text, 1); }));
    QCOMPARE(FileBytes(text), QByteArray("not mine"));
}

void TestSetup::refusesBadDealershipCounts() {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Quillmark.mdb"));
    for (int count : {0, -1, 40000}) {
        auto failure = CaughtFailure([&] { CreateDatabase(file, count); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), ErrorNumbers::InvalidArgument);
        QVERIFY(!QFile::exists(file));
    }
    // A folder that cannot be made: a file stands in its way. Nothing is left behind.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    {
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto failure = CaughtFailure([&] { CreateDatabase(blocker + QStringLiteral("/sub/Quillmark.mdb"), 1); });
    QVERIFY(failure);
    QCOMPARE(failure->number(), ErrorNumbers::PathNotFound);
}

void TestSetup::toolUsesTheUserDataFolder() {
    QVERIFY2(QFile::exists(toolPath()), "build the quillmark-setup target first");
    QTemporaryDir dataHome;
    QProcess tool;
    tool.setProcessEnvironment(environmentWithDataHome(dataHome.path()));
    tool.start(toolPath(), {QStringLiteral("--dealerships"), QStringLiteral("3")});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    const QString file = dataHome.filePath(QStringLiteral("Quillmark/Quillmark.mdb"));
    QVERIFY(QFile::exists(file));
    QVERIFY2(QString::fromLocal8Bit(tool.readAllStandardOutput()).contains(file),
             "the tool says what it created");
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NULL")).toInt(), 3);

    // Without the option: one dealership.
    QTemporaryDir secondHome;
    QProcess plain;
    plain.setProcessEnvironment(environmentWithDataHome(secondHome.path()));
    plain.start(toolPath(), {});
    QVERIFY(plain.waitForFinished(60000));
    QCOMPARE(plain.exitCode(), 0);
    QCOMPARE(RawValue(secondHome.filePath(QStringLiteral("Quillmark/Quillmark.mdb")),
                      QStringLiteral("SELECT COUNT(*) FROM Dlr_Info"))
                 .toInt(),
             1);
}

void TestSetup::toolRefusesBadArgumentsAndExistingDatabase() {
    QVERIFY2(QFile::exists(toolPath()), "build the quillmark-setup target first");
    QTemporaryDir dataHome;
    const QString file = dataHome.filePath(QStringLiteral("Quillmark/Quillmark.mdb"));
    for (const QStringList& args : {QStringList{QStringLiteral("--dealerships")},
                                    QStringList{QStringLiteral("--dealerships"), QStringLiteral("0")},
                                    QStringList{QStringLiteral("--dealerships"), QStringLiteral("two")},
                                    QStringList{QStringLiteral("--force")}}) {
        QProcess tool;
        tool.setProcessEnvironment(environmentWithDataHome(dataHome.path()));
        tool.start(toolPath(), args);
        QVERIFY(tool.waitForFinished(60000));
        QVERIFY2(tool.exitCode() != 0, qPrintable(args.join(QLatin1Char(' '))));
        QVERIFY(!tool.readAllStandardError().isEmpty());
        QVERIFY(!QFile::exists(file));
    }

    QProcess first;
    first.setProcessEnvironment(environmentWithDataHome(dataHome.path()));
    first.start(toolPath(), {QStringLiteral("--dealerships=2")});
    QVERIFY(first.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    const QByteArray before = FileBytes(file);

    QProcess again;
    again.setProcessEnvironment(environmentWithDataHome(dataHome.path()));
    again.start(toolPath(), {QStringLiteral("--dealerships"), QStringLiteral("5")});
    QVERIFY(again.waitForFinished(60000));
    QVERIFY(again.exitCode() != 0);
    QVERIFY(QString::fromLocal8Bit(again.readAllStandardError()).contains(QStringLiteral("already exists")));
    QCOMPARE(FileBytes(file), before);
    QCOMPARE(RawValue(file, QStringLiteral("SELECT COUNT(*) FROM Dlr_Info")).toInt(), 2);
}

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
