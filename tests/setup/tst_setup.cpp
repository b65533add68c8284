// The installation tool: the delivered database, refusing to overwrite, the user data folder.
#include "errors/ErrorNumbers.h"
#include "setup/Setup.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSetup : public QObject {
    Q_OBJECT

private slots:
    void createsTheDeliveredDatabase();
    void toolUsesTheUserDataFolder();
    void installedToolPreparesTheUserFolders();
};

namespace {
// Exit code of quillmark-setup `tool` run with `args` for the user data home `dataHome`; its output in
// `output`.
int runTool(const QString& tool, const QString& dataHome, const QStringList& args,
            QString* output = nullptr) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dataHome);
    process.setProcessEnvironment(env);
    process.start(tool, args);
    process.waitForFinished(60000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

// Every file under `folder`, by relative path, with its content.
QMap<QString, QByteArray> tree(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files.insert(QDir(folder).relativeFilePath(file), FileBytes(file));
    }
    return files;
}
} // namespace

void TestSetup::createsTheDeliveredDatabase() {
    QTemporaryDir dir;
    const QString file = dir.filePath("deep/er/Quillmark.mdb");
    createDatabase(file, 4); // creates the missing folders
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
        auto failure = CaughtFailure([&] { createDatabase(existing, 3); });
        QVERIFY(failure && failure->number() == setup::FileAlreadyExists);
        QVERIFY2(failure->description().contains("already exists"), qPrintable(failure->description()));
        QCOMPARE(FileBytes(existing), before);
    }
    for (int count : {0, 40000}) {
        QCOMPARE(FailureNumber([&] { createDatabase(dir.filePath("Bad.mdb"), count); }),
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
        return runTool(tool, dataHome.path(), args, output);
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
    // Run from the build folder, the templates and Data stay beside the program.
    QVERIFY(!QFileInfo::exists(dataHome.filePath("Quillmark/Templates")));
    QVERIFY(!QFileInfo::exists(dataHome.filePath("Quillmark/Data")));
}

// Installed (a copy of the tool beside the shipped templates and without a Data folder, as under /usr),
// the first use makes the database, an empty Data folder and the user's copy of the templates; later
// uses change nothing, so the user's own template changes stay. Shipped templates that are missing are
// reported by path, with nothing half-made left behind.
void TestSetup::installedToolPreparesTheUserFolders() {
    QTemporaryDir root;
    const QString program = root.filePath("usr/lib/quillmark");
    const QString shipped = program + "/Templates";
    const QString tool = program + "/quillmark-setup";
    QVERIFY(QDir().mkpath(program));
    QVERIFY(QFile::copy(QM_BINARY_DIR "/app/quillmark-setup", tool));
    QCOMPARE(runTool("cp", {}, {"-r", QM_SOURCE_DIR "/templates", shipped}), 0);
    const QString home = root.filePath("home");
    const QString user = home + "/Quillmark";

    QString output;
    QCOMPARE(runTool(tool, home, {"--first-use"}, &output), 0);
    QVERIFY2(output.contains(user + "/Quillmark.mdb"), qPrintable(output));
    QCOMPARE(RawValue(user + "/Quillmark.mdb", "SELECT COUNT(*) FROM Dlr_Info WHERE Name IS NULL").toInt(),
             1);
    QVERIFY(QDir(user + "/Data").exists() && QDir(user + "/Data").isEmpty());
    const QMap<QString, QByteArray> copied = tree(user + "/Templates");
    QCOMPARE(copied, tree(QM_SOURCE_DIR "/templates"));
    QVERIFY(copied.contains("Initials/Fresh Start Invitation.dot") && copied.contains("CallList.dot"));
    QVERIFY(!QFileInfo::exists(program + "/Data") && !QFileInfo::exists(user + "/Templates.partial"));

    const QByteArray database = FileBytes(user + "/Quillmark.mdb");
    QFile edited(user + "/Templates/CallList.dot");
    QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write("{\\rtf1 mine}") > 0);
    edited.close();
    QVERIFY(QFile::remove(user + "/Templates/MailAids/Address Labels.dot"));
    QCOMPARE(runTool(tool, home, {"--first-use"}, &output), 0);
    QVERIFY2(output.isEmpty(), qPrintable(output));
    QVERIFY(runTool(tool, home, {}, &output) != 0); // without --first-use an existing database is a fault
    QVERIFY(output.contains("already exists"));
    QCOMPARE(FileBytes(user + "/Quillmark.mdb"), database);
    QCOMPARE(FileBytes(user + "/Templates/CallList.dot"), QByteArray("{\\rtf1 mine}"));
    QVERIFY(!QFileInfo::exists(user + "/Templates/MailAids/Address Labels.dot"));

    const QString other = root.filePath("other");
    QVERIFY(QDir(shipped).removeRecursively());
    QVERIFY(runTool(tool, other, {"--first-use"}, &output) != 0);
    QVERIFY2(output.contains("templates that come with Quillmark are missing") && output.contains(shipped),
             qPrintable(output));
    QVERIFY(!QFileInfo::exists(other + "/Quillmark/Templates") &&
            !QFileInfo::exists(other + "/Quillmark/Templates.partial") &&
            !QFileInfo::exists(other + "/Quillmark/Quillmark.mdb"));
}

QTEST_MAIN(TestSetup)
#include "tst_setup.moc"
