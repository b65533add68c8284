// quillmark-print as a script calls it: the command itself, run as a process, read back through the
// PDF it writes.
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kCommand = QStringLiteral(QM_PRINT_COMMAND);
const QString kLetter = QStringLiteral(QM_SOURCE_DIR "/tests/wordproc/command/letter.rtf");

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runCommand(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // As from a script on a machine without a display: the command must choose its platform itself.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(kCommand, args);
    Run run;
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = p.exitCode();
    run.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(p.readAllStandardError());
    return run;
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    return p.waitForFinished(60000) && p.exitCode() == 0 ? QString::fromUtf8(p.readAllStandardOutput())
                                                         : QString();
}

// The title in the PDF's document information: the job name the command gave the printer.
QString pdfTitle(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Title:")))
            return line.mid(6).trimmed();
    return {};
}

// The program's merge data format: quoted fields, TAB between them, CR LF, Windows-1252.
bool writeData(const QString& path, const QList<QStringList>& lines) {
    QByteArray bytes;
    for (const QStringList& line : lines) {
        QStringList quoted;
        for (const QString& field : line)
            quoted << QLatin1Char('"') + field + QLatin1Char('"');
        QStringEncoder encoder("windows-1252");
        bytes += QByteArray(encoder.encode(quoted.join(QLatin1Char('\t')))) + "\r\n";
    }
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestPrintCommand : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(kCommand).isExecutable(), qPrintable(kCommand));
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (poppler-utils) is not installed");
    }

    void withoutDataEachFieldShowsItsStoredResult() {
        const Run run = runCommand({QStringLiteral("--pdf"), path("stored.pdf"), kLetter});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString text = pdfText(path("stored.pdf"));
        QCOMPARE(text.count(QLatin1Char('\f')), 1);
        QVERIFY2(text.contains(QStringLiteral("Dear \u00abCust_Name\u00bb,")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("waits in Springfield.")), qPrintable(text));
        QVERIFY(text.indexOf(QStringLiteral("Harbour Motors")) < text.indexOf(QStringLiteral("Dear")));
        // Printed to a queue, the job is listed under the template's name, as the program's own are.
        QCOMPARE(pdfTitle(path("stored.pdf")), QStringLiteral("Quillmark \u2013 letter"));
    }

    void withDataEachRecordGetsItsOwnCopy() {
        QVERIFY(writeData(path("data.txt"), {{"Cust_Name", "Cust_City"},
                                             {"Zo\u00eb Adams", "Shelbyville"},
                                             {"Yves Brown", "Capital City"},
                                             {"Xavier Cole", "Ogdenville"}}));
        const Run run = runCommand({QStringLiteral("--data"), path("data.txt"), QStringLiteral("--pdf"),
                                    path("merged.pdf"), kLetter});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList pages = pdfText(path("merged.pdf")).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 3);
        const QStringList names{QStringLiteral("Dear Zo\u00eb Adams,"), QStringLiteral("Dear Yves Brown,"),
                                QStringLiteral("Dear Xavier Cole,")};
        const QStringList cities{QStringLiteral("Shelbyville"), QStringLiteral("Capital City"),
                                 QStringLiteral("Ogdenville")};
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(pages.at(i).contains(names.at(i)), qPrintable(pages.at(i)));
            QVERIFY2(pages.at(i).contains(QStringLiteral("waits in ") + cities.at(i)),
                     qPrintable(pages.at(i)));
            QVERIFY(!pages.at(i).contains(QStringLiteral("Cust_Name")));
        }
    }

    void aMissingTemplateIsNamed() {
        const QString missing = path("No Such Letter.rtf");
        const Run run = runCommand({QStringLiteral("--pdf"), path("missing.pdf"), missing});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("\"") + missing + QStringLiteral("\" could not be found")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path("missing.pdf")));
    }

    void aTemplateThatIsNotRtfIsNamed() {
        QFile f(path("notes.rtf"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("Dear customer,\n") > 0);
        f.close();
        const Run run = runCommand({QStringLiteral("--pdf"), path("notes.pdf"), f.fileName()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(f.fileName()), qPrintable(run.err));
    }

    void aBadDataFileIsNamed() {
        // Without a header line there are no field names to merge by.
        QVERIFY(writeData(path("empty.txt"), {}));
        Run run = runCommand(
            {QStringLiteral("--data"), path("empty.txt"), QStringLiteral("--pdf"), path("e.pdf"), kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path("empty.txt")) && run.err.contains(QStringLiteral("header")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path("e.pdf")));

        // A field of the template that the data lacks: the field and both files are named.
        QVERIFY(writeData(path("short.txt"), {{"Cust_Name"}, {"Zoe Adams"}}));
        run = runCommand(
            {QStringLiteral("--data"), path("short.txt"), QStringLiteral("--pdf"), path("s.pdf"), kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path("short.txt")) && run.err.contains(QStringLiteral("Cust_City")) &&
                     run.err.contains(kLetter),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path("s.pdf")));

        // A header and no records would print nothing at all.
        QVERIFY(writeData(path("header.txt"), {{"Cust_Name", "Cust_City"}}));
        run = runCommand(
            {QStringLiteral("--data"), path("header.txt"), QStringLiteral("--pdf"), path("h.pdf"), kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path("header.txt")), qPrintable(run.err));

        run = runCommand(
            {QStringLiteral("--data"), path("absent.txt"), QStringLiteral("--pdf"), path("a.pdf"), kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(path("absent.txt")), qPrintable(run.err));
    }

    void aPdfThatCannotBeWrittenIsNamed() {
        const QString target = path("no-folder/letter.pdf");
        const Run run = runCommand({QStringLiteral("--pdf"), target, kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(target), qPrintable(run.err));
    }

    void anUnknownPrinterIsNamed() {
        const Run run =
            runCommand({QStringLiteral("--printer"), QStringLiteral("No Such Printer 42"), kLetter});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("No Such Printer 42")), qPrintable(run.err));
    }

    void badUsageShowsTheUsage_data() {
        QTest::addColumn<QStringList>("args");
        const QString pdf = path("usage.pdf");
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("no template") << QStringList{"--pdf", pdf};
        QTest::newRow("no output") << QStringList{kLetter};
        QTest::newRow("both outputs") << QStringList{"--pdf", pdf, "--printer", "office", kLetter};
        QTest::newRow("two templates") << QStringList{"--pdf", pdf, kLetter, kLetter};
        QTest::newRow("value missing") << QStringList{kLetter, "--pdf"};
        QTest::newRow("data twice") << QStringList{"--data", "a.txt", "--data=b.txt", "--pdf", pdf, kLetter};
        QTest::newRow("unknown option") << QStringList{"--copies", "2", "--pdf", pdf, kLetter};
    }

    void badUsageShowsTheUsage() {
        QFETCH(QStringList, args);
        const Run run = runCommand(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("Usage: quillmark-print")), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(path("usage.pdf")));
    }

    void helpGoesToStandardOutput() {
        const Run run = runCommand({QStringLiteral("--help")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.startsWith(QStringLiteral("Usage: quillmark-print")));
    }
};

QTEST_GUILESS_MAIN(TestPrintCommand)
#include "tst_printcommand.moc"
