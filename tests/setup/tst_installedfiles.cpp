// What the installation puts beside the programs for Debian and the desktop: manual pages that keep up
// with the commands' options, the desktop entry and the AppStream metadata under one id, the copyright
// and the changelog. Installed with `cmake --install` into a folder of its own, as the package is.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
};

Run run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (p.waitForFinished(300000) && p.exitStatus() == QProcess::NormalExit)
        r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    return r;
}

// The text of a gzipped file, through gzip itself; empty when it cannot be read.
QString gunzipped(const QString& path) {
    const Run r = run(QStringLiteral("gzip"), {QStringLiteral("-dc"), path});
    return r.exitCode == 0 ? QString::fromUtf8(r.out) : QString();
}

} // namespace

class TestInstalledFiles : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_usr;

    QString installed(const QString& path) const { return m_usr + QLatin1Char('/') + path; }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_usr = m_dir.filePath(QStringLiteral("usr"));
        const Run r =
            run(QStringLiteral(QM_CMAKE_COMMAND), {QStringLiteral("--install"), QStringLiteral(QM_BINARY_DIR),
                                                   QStringLiteral("--prefix"), m_usr});
        QVERIFY2(r.exitCode == 0, r.out.constData());
    }

    // Each command's page is gzipped without a time stamp (so that two builds give the same package),
    // is titled by the command and says what it does, its files and its exit codes.
    void eachCommandHasItsManualPage_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("program");
        QTest::newRow("program") << QStringLiteral("quillmark") << QStringLiteral("bin/quillmark");
        QTest::newRow("setup") << QStringLiteral("quillmark-setup")
                               << QStringLiteral("lib/quillmark/quillmark-setup");
        QTest::newRow("print") << QStringLiteral("quillmark-print") << QStringLiteral("bin/quillmark-print");
    }
    void eachCommandHasItsManualPage() {
        QFETCH(QString, command);
        QFETCH(QString, program);
        const QString path = installed(QStringLiteral("share/man/man1/%1.1.gz").arg(command));
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray header = file.read(10);
        QCOMPARE(header.left(2), QByteArray("\x1f\x8b"));
        QCOMPARE(header.mid(4, 4), QByteArray(4, '\0'));
        const QString page = gunzipped(path);
        QString escaped = command.toUpper();
        escaped.replace(QLatin1Char('-'), QLatin1String("\\-"));
        QVERIFY2(page.startsWith(QStringLiteral(".TH %1 1 ").arg(escaped)), qPrintable(page.left(80)));
        QString name = command;
        name.replace(QLatin1Char('-'), QLatin1String("\\-"));
        QVERIFY(page.contains(QStringLiteral(".SH NAME\n%1 \\- ").arg(name)));
        for (const char* section : {".SH SYNOPSIS", ".SH DESCRIPTION", ".SH FILES", ".SH EXIT STATUS"})
            QVERIFY2(page.contains(QLatin1String(section)), section);
        QVERIFY(QFileInfo(installed(program)).isExecutable());
        // The page gives the path of a command that is not on the PATH.
        if (!program.startsWith(QLatin1String("bin/"))) {
            QString synopsis = QStringLiteral(".SH SYNOPSIS\n.B /usr/") + program;
            QVERIFY2(page.contains(synopsis.replace(QLatin1Char('-'), QLatin1String("\\-"))),
                     qPrintable(synopsis));
        }
    }

    // Every option a command's usage names is in its manual page, so that the two do not drift apart.
    void manualPagesNameEveryOption_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("program");
        QTest::newRow("setup") << QStringLiteral("quillmark-setup")
                               << QStringLiteral("lib/quillmark/quillmark-setup");
        QTest::newRow("print") << QStringLiteral("quillmark-print") << QStringLiteral("bin/quillmark-print");
    }
    void manualPagesNameEveryOption() {
        QFETCH(QString, command);
        QFETCH(QString, program);
        const Run usage = run(installed(program), {QStringLiteral("--help")});
        QCOMPARE(usage.exitCode, 0);
        const QString page = gunzipped(installed(QStringLiteral("share/man/man1/%1.1.gz").arg(command)));
        QStringList options;
        const QRegularExpression option(QStringLiteral("(?<![\\w-])--?[a-z][a-z-]*"));
        for (auto it = option.globalMatch(QString::fromUtf8(usage.out)); it.hasNext();)
            options << it.next().captured();
        options.removeDuplicates();
        QVERIFY2(options.size() >= 2, qPrintable(options.join(QLatin1Char(' '))));
        for (const QString& o : options) {
            // In roff a dash is written "\-"; the option must stand whole, not as the start of a longer one.
            QString roff = o;
            roff.replace(QLatin1Char('-'), QLatin1String("\\-"));
            const QRegularExpression named(QRegularExpression::escape(roff) +
                                           QStringLiteral("(?![a-z]|\\\\-)"));
            QVERIFY2(page.contains(named), qPrintable(command + QLatin1Char(' ') + o));
        }
    }

    // Software centres match the metadata to the desktop entry by the id; the metadata names the
    // licence and a screenshot on the web, and the entry starts the launcher with an installed icon.
    void desktopEntryAndMetadataShareTheId() {
        const QStringList entries =
            QDir(installed(QStringLiteral("share/applications"))).entryList({QStringLiteral("*.desktop")});
        QCOMPARE(entries.size(), 1);
        const QString id = entries.first().chopped(int(sizeof(".desktop")) - 1);
        QFile metainfo(installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(id)));
        QVERIFY2(metainfo.open(QIODevice::ReadOnly), qPrintable(metainfo.fileName()));
        QMap<QString, QString> values;
        QXmlStreamReader xml(&metainfo);
        const QStringList wanted{QStringLiteral("id"), QStringLiteral("launchable"), QStringLiteral("name"),
                                 QStringLiteral("project_license"), QStringLiteral("image")};
        while (!xml.atEnd())
            if (xml.readNext() == QXmlStreamReader::StartElement)
                if (const QString name = xml.name().toString();
                    wanted.contains(name) && !values.contains(name))
                    values.insert(name, xml.readElementText().trimmed());
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(values.value(QStringLiteral("id")), id);
        QCOMPARE(values.value(QStringLiteral("launchable")), entries.first());
        QCOMPARE(values.value(QStringLiteral("name")), QStringLiteral("Quillmark"));
        QVERIFY(!values.value(QStringLiteral("project_license")).isEmpty());
        QVERIFY2(values.value(QStringLiteral("image")).startsWith(QLatin1String("https://")),
                 qPrintable(values.value(QStringLiteral("image"))));
        QVERIFY(QFile::exists(QStringLiteral(QM_SOURCE_DIR "/setup/screenshots/") +
                              QFileInfo(values.value(QStringLiteral("image"))).fileName()));

        QFile entry(installed(QStringLiteral("share/applications/") + entries.first()));
        QVERIFY(entry.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY(text.contains(QLatin1String("\nExec=quillmark\n")));
        const QRegularExpression icon(QStringLiteral("\nIcon=([^\n]+)\n"));
        const QString iconName = icon.match(text).captured(1);
        QVERIFY(QFile::exists(
            installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(iconName))));
    }

    // Debian's copyright in its machine-readable form, and the changelog at the version the package has.
    void copyrightAndChangelog() {
        QFile copyright(installed(QStringLiteral("share/doc/quillmark/copyright")));
        QVERIFY(copyright.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(copyright.readAll());
        QVERIFY(text.startsWith(
            QLatin1String("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n")));
        QVERIFY(text.contains(QLatin1String("\nFiles: *\n")));
        const QString changelog = gunzipped(installed(QStringLiteral("share/doc/quillmark/changelog.gz")));
        QVERIFY2(changelog.startsWith(QStringLiteral("quillmark (" QM_VERSION ") ")),
                 qPrintable(changelog.left(60)));
        QVERIFY(changelog.contains(QLatin1String("\n -- ")));
    }
};

QTEST_GUILESS_MAIN(TestInstalledFiles)
#include "tst_installedfiles.moc"
