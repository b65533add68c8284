// The installation tool: the delivered database, refusing to overwrite, the user data folder.
#include "errors/ErrorNumbers.h"
#include "setup/Setup.h"
#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSetup : public QObject {
    Q_OBJECT

private slots:
    void createsTheDeliveredDatabase();
    void toolUsesTheUserDataFolder();
};

void TestSetup::createsTheDeliveredDatabase() {
    QTemporaryDir dir;
    const QString file = dir.filePath("deep/er/Quillmark.mdb");
    CreateDatabase(file, 4); // creates the missing folders
    const QByteArray bytes = FileBytes(file);
    QVERIFY(!bytes.startsWith("SQLite format 3") && !bytes.contains("Dlr_Info")); // encrypted
    QCOMPARE(RawValue(file, "SELECT group_concat(ID || quote(Name)) FROM Dlr_Info"),
             QVariant("1NULL,2NULL,3NULL,4NULL"));
    QCOMPARE(RawValue(file, "SELECT (SELECT COUNT(*) FROM DataFiles) + (SELECT COUNT(*) FROM Names) + "
                            "(SELECT COUNT(*) FROM Contact_Info)"),
             QVariant(qint64(0)));

    // An existing file, database or not, is never overwritten.
    const QString text = dir.filePath("Other.mdb");
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("not mine") == 8);
    f.close();
    for (const QString& existing : {file, text}) {
        const QByteArray before = FileBytes(existing);
        auto failure = CaughtFailure([&] { CreateDatabase(existing, 3); });
        QVERIFY(failure && failure->number() == setup::FileAlreadyExists);
        QVERIFY2(failure->description().contains("already exists"), qPrintable(failure->description()));
        QCOMPARE(FileBytes(existing), before);
    }
    for (int count : {0, 40000}) {
        QCOMPARE(FailureNumber([&] { CreateDatabase(dir.filePath("Bad.mdb"), count); }),
                 ErrorNumbers::InvalidArgument);
        QVERIFY(!QFile::exists(dir.filePath("Bad.mdb")));
    }
}

void TestSetup::toolUsesTheUserDataFolder() {
    const QString tool = QM_BINARY_DIR "/app/quillmark-setup";
    QVERIFY2(QFile::exists(tool), "build the quillmark-setup target first");
    QTemporaryDir dataHome;
    const QString file = dataHome.filePath("Quillmark/Quillmark.mdb");
    auto run = [&](const QStringList& args, QString* output = nullptr) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dataHome.path());
        process.setProcessEnvironment(env);
        process.start(tool, args);
        process.waitForFinished(60000);
        if (output)
            *output =
                QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QString output;
    for (const QStringList& args : {QStringList{"--dealerships"}, QStringList{"--dealerships", "two"},
                                    QStringList{"--dealerships", "0"}, QStringList{"--force"}}) {
        QVERIFY2(run(args, &output) != 0, qPrintable(args.join(' ')));
        QVERIFY(!output.isEmpty() && !QFile::exists(file));
    }
    QCOMPARE(run({"--dealerships=3"}, &output), 0);
    QVERIFY2(output.contains(file), "the tool says what it created");
    QCOMPARE(RawValue(file, "SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NULL").toInt(), 3);

    const QByteArray before = FileBytes(file);
    QVERIFY(run({"--dealerships", "5"}, &output) != 0);
    QVERIFY(output.contains("already exists"));
    QCOMPARE(FileBytes(file), before);
    QVERIFY(QFile::remove(file));
    QCOMPARE(run({}), 0); // one dealership without the option
    QCOMPARE(RawValue(file, "SELECT COUNT(*) FROM Dlr_Info").toInt(), 1);
}

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
