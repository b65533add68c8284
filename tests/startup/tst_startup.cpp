#include "database/Database.h"
#include "database/DbErrors.h"
#include "dealer/DealerDialog.h"
#include "intake/ProgressWindow.h"
#include "letters/MergeData.h"
#include "platform/Platform.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"
#include "startup/Main.h"
#include "tests/support/Installation.h"
#include "tests/support/MainWindowControls.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
void writeDataFile(const QString& path, const QByteArray& name = "JOHN SMITH") {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("A1," + name + ",12 MAIN ST,\"SPRINGFIELD, IL\",62701,01/05/26,00/00/00,2175550123\r\n");
}

QString shownWith(const QString& text = {}) {
    return QStringLiteral("shown\n#window") +
           (text.isEmpty() ? QString()
                           : QStringLiteral("\n#Lead Lists Not Imported|") +
                                 QString::number(int(platform::Icon::Exclamation)) + QLatin1Char('|') + text);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<TestInstallation>(0); }

    void cleanup() {
        if (shownMainWindow(m_env->context))
            delete shownMainWindow(m_env->context);
        m_env.reset();
    }

    // 800 x 600 passes with the window one pixel above the top; 1024 x 768 centres; 800 x 599 ends
    // after the message without touching the database.
    void screenCheck_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<bool>("passes");
        QTest::newRow("800x600") << QSize(800, 600) << true;
        QTest::newRow("1024x768") << QSize(1024, 768) << true;
        QTest::newRow("800x599") << QSize(800, 599) << false;
        QTest::newRow("799x600") << QSize(799, 600) << false;
    }
    void screenCheck() {
        QFETCH(QSize, screen);
        QFETCH(bool, passes);
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        { // dealer information present, so no dialog
            db::Connection c;
            c.open(connectionString(m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb")));
            c.execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'"));
        }
        platform::ScriptedAnswerer answers;
        answers.setScreenSize(screen);
        const bool shown = startProgram(m_env->context);
        QCOMPARE(shown, passes);
        if (!passes) {
            QCOMPARE(answers.messages.size(), size_t(1));
            QCOMPARE(answers.messages[0].title, QStringLiteral("Screen Size Below Minimum Requirements"));
            QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
            QVERIFY(answers.messages[0].text.contains(QStringLiteral("800 x 600 pixels.  Please enlarge")));
            QVERIFY(answers.messages[0].text.contains(QString::fromLatin1(kSupportTelephone)));
            QVERIFY(!m_env->context.databaseOpen());
            QCOMPARE(shownMainWindow(m_env->context), nullptr);
            return;
        }
        MainWindow* window = shownMainWindow(m_env->context);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        const QRect frame = window->frameGeometry();
        if (screen == QSize(800, 600)) {
            QCOMPARE(frame.top(), -1);
        } else {
            QCOMPARE(frame.top(), (screen.height() - frame.height()) / 2);
        }
        QCOMPARE(frame.left(), (screen.width() - frame.width()) / 2);
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillmark"));

        // Exit closes the connection and ends the program.
        QTest::mouseClick(MainWindowControls(window).exitButton(), Qt::LeftButton);
        QCOMPARE(m_env->exits, 1);
        QVERIFY(!m_env->context.databaseOpen());
    }

    // Without a watcher the end closes the database and leaves the event loop with 0, so that main()
    // returns through QApplication; no event queued before it is handled.
    void endLeavesTheEventLoop() {
        const QString file = CreateTestDatabase(m_env->folders().userDataFolder, 1);
        m_env->context.openDatabase();
        m_env->context.setExitAction({});
        bool handledAfterEnd = false;
        QTimer::singleShot(0, [&] {
            m_env->context.exitProgram();
            QVERIFY(!m_env->context.databaseOpen());
            QTimer::singleShot(0, [&] { handledAfterEnd = true; });
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!m_env->context.databaseOpen());
        QVERIFY(!handledAfterEnd);
    }

    // The context holds the instance lock and the connection from start-up to the end: another
    // program's context on the same folder is kept out until the end, which closes the database and
    // lets the folder go; a connection that is not open is refused, not used.
    void contextHoldsLockAndConnectionUntilTheEnd() {
        AppContext& context = m_env->context;
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        QVERIFY(!context.databaseOpen());
        QCOMPARE(FailureNumber([&] { context.connection(); }), DbErrors::ObjectClosed);
        QVERIFY(context.lockUserDataFolder());
        context.openDatabase();
        QVERIFY(context.databaseOpen() && context.holdsInstanceLock());
        QCOMPARE(ScalarOf(context.connection(), QStringLiteral("SELECT COUNT(*) FROM Dlr_Info")).toInt(), 1);
        {
            AppContext other(m_env->folders());
            QVERIFY(!other.lockUserDataFolder());
            QVERIFY(!other.holdsInstanceLock());
        }
        context.exitProgram();
        QCOMPARE(m_env->exits, 1);
        QVERIFY(!context.databaseOpen() && !context.holdsInstanceLock());
        QCOMPARE(FailureNumber([&] { context.connection(); }), DbErrors::ObjectClosed);
        AppContext next(m_env->folders());
        QVERIFY(next.lockUserDataFolder());
        next.openDatabase();
        QVERIFY(next.databaseOpen());
    }

    // No database, a wrong password, a file that is no database: the critical error box with the
    // start-up location, then the end; the file is left exactly as it was.
    void unusableDatabase_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("wrongPassword");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not a database") << QByteArray("this is not an SQLCipher file, just text\n") << false;
        QTest::newRow("wrong password") << QByteArray() << true;
    }
    void unusableDatabase() {
        QFETCH(QByteArray, content);
        QFETCH(bool, wrongPassword);
        const QString file = m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb");
        QVERIFY(QDir().mkpath(m_env->folders().userDataFolder));
        if (!content.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        if (wrongPassword) {
            // A database of the right shape keyed with another password.
            QTemporaryDir other;
            const QString made = CreateTestDatabase(other.path(), 1);
            QVERIFY(QFile::copy(made, file));
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(0);
            QByteArray salt = f.read(16);
            for (char& c : salt)
                c = char(c ^ 0x5a); // another salt: the key no longer derives to this file's key
            f.seek(0);
            f.write(salt);
        }
        const QByteArray before = FileBytes(file);
        platform::ScriptedAnswerer answers;
        QVERIFY(!startProgram(m_env->context));
        QCOMPARE(m_env->exits, 1);
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Quillmark Error"));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
        QVERIFY(answers.messages[0].text.startsWith(
            QStringLiteral("The following error occurred in Module Main: Sub Main : \r\n\r\nError Number ")));
        QCOMPARE(FileBytes(file), before);
        QCOMPARE(QFile::exists(file), !content.isEmpty() || wrongPassword);
        QCOMPARE(shownMainWindow(m_env->context), nullptr);
    }

    // First run: the dealer dialog comes before the import; cancelling ends without importing and the
    // next start asks again; saving goes on to the import and the main window; then no more questions.
    void dealerInformationFirst() {
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01052026.lst"));

        {
            platform::ScriptedAnswerer answers;
            int dataFilesWhenAsked = -1;
            answers.setNextModal([&](QDialog& dialog) {
                dataFilesWhenAsked = count(QStringLiteral("SELECT COUNT(*) FROM DataFiles"));
                QTest::mouseClick(static_cast<DealerDialog&>(dialog).cancelButton(), Qt::LeftButton);
            });
            QVERIFY(!startProgram(m_env->context));
            QCOMPARE(dataFilesWhenAsked, 0);
            QCOMPARE(m_env->exits, 1);
            QCOMPARE(answers.modalTitles.size(), 1);
            QCOMPARE(answers.messages.size(), size_t(1));
            QCOMPARE(answers.messages[0].text,
                     QStringLiteral("Your Dealer Information is required to use Quillmark."));
            QCOMPARE(answers.messages[0].title, QStringLiteral("Dealer Information Not Saved"));
            QCOMPARE(answers.messages[0].icon, platform::Icon::Critical);
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 0);
        }
        {
            platform::ScriptedAnswerer answers;
            answers.setNextModal([&](QDialog& d) {
                auto& dialog = static_cast<DealerDialog&>(d);
                QTest::keyClicks(dialog.nameEdit(), QStringLiteral("Acme Auto"));
                QTest::keyClicks(dialog.addressEdits()[0], QStringLiteral("1 Motor Way"));
                QTest::keyClicks(dialog.cityEdit(), QStringLiteral("Springfield"));
                QTest::keyClicks(dialog.stateEdit(), QStringLiteral("IL"));
                QTest::keyClicks(dialog.zipEdit(), QStringLiteral("62701"));
                QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
            });
            QVERIFY(startProgram(m_env->context));
            QCOMPARE(answers.modalTitles.size(), 1);
            QCOMPARE(answers.messages.size(), size_t(1));
            QCOMPARE(answers.messages[0].text,
                     QStringLiteral("Your Dealer Information has been saved successfully."));
            QCOMPARE(answers.messages[0].title, QStringLiteral("Dealer Information Saved"));
            QCOMPARE(answers.messages[0].icon, platform::Icon::Information);
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 1);
            QVERIFY(shownMainWindow(m_env->context));
            shownMainWindow(m_env->context)->close();
            QCOMPARE(m_env->exits, 2);
        }
        {
            platform::ScriptedAnswerer answers;
            QVERIFY(startProgram(m_env->context));
            QVERIFY(answers.modalTitles.isEmpty());
            QVERIFY(answers.messages.empty());
            QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 1); // nothing imported twice
        }
    }

    // A dangling link and a list that may not be read beside a good list: the good list's names are
    // imported, the main window opens, and one message names both bad files with their causes; they stay
    // unrecorded. The next start says of a file that failed again that it failed before, and imports the
    // one made readable; the one after imports the last and says nothing.
    void badListsBesideAGoodOne() {
        createNamedDatabase();
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01052026.lst"), "ANN GOOD");
        QVERIFY(QFile::link(m_env->folders().dataFolder + QStringLiteral("gone.txt"),
                            m_env->folders().dataFolder + QStringLiteral("01062026.lst")));
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01072026.lst"), "LOCKED OUT");
        QVERIFY(QFile::setPermissions(m_env->folders().dataFolder + QStringLiteral("01072026.lst"), {}));
        const QString failedLists = m_env->folders().userDataFolder + QStringLiteral("/FailedLists.txt");

        // As an ordinary user, whom the file's mode keeps out also when the tests run as root.
        const QString twoBad =
            QStringLiteral("The 2 lead lists below could not be imported. They are left in ") +
            m_env->folders().dataFolder +
            QStringLiteral(" as they are, and the next start tries them again.\r\n\r\n") +
            notFound(QStringLiteral("01062026.lst")) +
            QStringLiteral("\r\n\r\n01072026.lst\r\nError Number 70: Cannot read the data file ") +
            m_env->folders().dataFolder + QStringLiteral("01072026.lst: Permission denied");
        QCOMPARE(m_env->asOrdinaryUser([this] { return startAndClose(); }), shownWith(twoBad));
        QCOMPARE(column(QStringLiteral("SELECT FileName FROM DataFiles")), QStringList{"01052026.lst"});
        QCOMPARE(column(QStringLiteral("SELECT Name FROM [Names]")), QStringList{"ANN GOOD"});
        QVERIFY(QFile::exists(failedLists));

        QVERIFY(QFile::setPermissions(m_env->folders().dataFolder + QStringLiteral("01072026.lst"),
                                      QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(startAndClose(),
                 shownWith(QStringLiteral("The lead list below could not be imported. It is left in ") +
                           m_env->folders().dataFolder +
                           QStringLiteral(" as it is, and the next start tries it again.\r\n\r\n") +
                           notFound(QStringLiteral("01062026.lst")) +
                           QStringLiteral("\r\nIt could not be imported at the previous start either.\r\n\r\n"
                                          "A list that failed at the previous start too does not mend by "
                                          "itself: put right the cause given for it, or move it out of the "
                                          "folder.")));
        QCOMPARE(column(QStringLiteral("SELECT Name FROM [Names] ORDER BY Name")),
                 (QStringList{"ANN GOOD", "LOCKED OUT"}));

        writeDataFile(m_env->folders().dataFolder + QStringLiteral("gone.txt"), "LINKED LATE");
        QCOMPARE(startAndClose(), shownWith());
        QCOMPARE(column(QStringLiteral("SELECT FileName FROM DataFiles ORDER BY FileName")),
                 (QStringList{"01052026.lst", "01062026.lst", "01072026.lst"}));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 3);
        QVERIFY(!QFile::exists(failedLists));
    }

    // Twenty lists that cannot be read are told in one message: the first ten in full, the rest counted.
    void manyBadListsOneMessage() {
        createNamedDatabase();
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01052026.lst"));
        for (int day = 1; day <= 20; ++day)
            QVERIFY(QFile::link(m_env->folders().dataFolder + QStringLiteral("gone.txt"),
                                m_env->folders().dataFolder +
                                    QStringLiteral("02%12026.lst").arg(day, 2, 10, QLatin1Char('0'))));
        platform::ScriptedAnswerer answers;
        QVERIFY(startProgram(m_env->context));
        QVERIFY(shownMainWindow(m_env->context) && shownMainWindow(m_env->context)->isVisible());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 1);
        QCOMPARE(answers.messages.size(), size_t(1));
        const QStringList paragraphs = answers.messages[0].text.split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(paragraphs.size(), 12);
        QVERIFY(paragraphs[0].startsWith(QStringLiteral("The 20 lead lists below could not be imported.")));
        for (int day = 1; day <= 10; ++day)
            QCOMPARE(paragraphs[day],
                     notFound(QStringLiteral("02%12026.lst").arg(day, 2, 10, QLatin1Char('0'))));
        QCOMPARE(paragraphs[11],
                 QStringLiteral("... and 10 more lead lists that could not be imported either."));
    }

    // A list whose rejected lines cannot be logged (a directory in the error log's place) waits for the
    // next start, which logs them; the main window is up behind the message, the progress window gone.
    void unloggableLinesWaitForTheNextStart() {
        createNamedDatabase();
        QFile f(m_env->folders().dataFolder + QStringLiteral("01052026.lst"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("bad line\r\n");
        f.close();
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01062026.lst"));
        QVERIFY(QDir().mkpath(m_env->folders().userDataFolder + QStringLiteral("/Error.log")));
        struct Watching : platform::ScriptedAnswerer {
            QStringList shown;
            platform::Button answerMessage(const platform::Message& message) override {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (w->isVisible() && (qobject_cast<ProgressWindow*>(w) || qobject_cast<MainWindow*>(w)))
                        shown << QString::fromLatin1(w->metaObject()->className());
                return ScriptedAnswerer::answerMessage(message);
            }
        } answers;
        QVERIFY(startProgram(m_env->context));
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(answers.messages[0].icon, platform::Icon::Exclamation);
        QCOMPARE(answers.messages[0].text,
                 QStringLiteral("The lead list below could not be imported. It is left in ") +
                     m_env->folders().dataFolder +
                     QStringLiteral(" as it is, and the next start tries it again.\r\n\r\n01052026.lst\r\n"
                                    "Error Number 75: Cannot write the error log ") +
                     m_env->folders().userDataFolder + QStringLiteral("/Error.log: Is a directory"));
        QCOMPARE(answers.shown, QStringList{"MainWindow"});
        QCOMPARE(column(QStringLiteral("SELECT FileName FROM DataFiles")), QStringList{"01062026.lst"});
        shownMainWindow(m_env->context)->close();

        // With the log mended, the next start imports the file: its line is logged.
        QVERIFY(QDir(m_env->folders().userDataFolder + QStringLiteral("/Error.log")).removeRecursively());
        QVERIFY(startProgram(m_env->context));
        QCOMPARE(answers.messages.size(), size_t(1));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 2);
        QVERIFY(FileBytes(m_env->folders().userDataFolder + QStringLiteral("/Error.log"))
                    .contains("bad line\r\n"));
    }

    // A full database still ends the start with the database's message, whatever lists failed before it
    // filled up; nothing of the list is kept, and the next start with room imports it.
    void fullDatabaseEndsTheStart() {
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        QByteArray lines;
        for (int i = 0; i < 3000; ++i)
            lines += "F" + QByteArray::number(i) +
                     ",\"FULL, FRED\",1 A ST,\"PEORIA, IL\",61604,01/05/99,00/00/00,\r\n";
        QFile f(m_env->folders().dataFolder + QStringLiteral("01052026.lst"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(lines);
        f.close();
        QVERIFY(QFile::link(m_env->folders().dataFolder + QStringLiteral("gone.txt"),
                            m_env->folders().dataFolder + QStringLiteral("01062026.lst")));
        platform::ScriptedAnswerer answers;
        // The first start asks for the dealer information: the moment to cap the program's connection.
        answers.setNextModal([&](QDialog& d) {
            db::Recordset pages;
            pages.open(QStringLiteral("PRAGMA page_count"), m_env->connection(), db::adOpenForwardOnly,
                       db::adLockReadOnly, db::adCmdText);
            const int used = pages.value(0).toInt();
            pages.close();
            m_env->connection().execute(QStringLiteral("PRAGMA max_page_count = %1").arg(used + 8));
            auto& dialog = static_cast<DealerDialog&>(d);
            QTest::keyClicks(dialog.nameEdit(), QStringLiteral("Acme Auto"));
            QTest::keyClicks(dialog.addressEdits()[0], QStringLiteral("1 Motor Way"));
            QTest::keyClicks(dialog.cityEdit(), QStringLiteral("Springfield"));
            QTest::keyClicks(dialog.stateEdit(), QStringLiteral("IL"));
            QTest::keyClicks(dialog.zipEdit(), QStringLiteral("62701"));
            QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        });
        QVERIFY(!startProgram(m_env->context));
        QCOMPARE(m_env->exits, 1);
        QCOMPARE(answers.messages.size(), size_t(2));
        QCOMPARE(answers.messages[0].title, QStringLiteral("Dealer Information Saved"));
        QCOMPARE(answers.messages[1].title, QStringLiteral("Quillmark Error"));
        QCOMPARE(answers.messages[1].icon, platform::Icon::Critical);
        QCOMPARE(
            answers.messages[1].text,
            QStringLiteral("The following error occurred in Module Main: Sub Main : \r\n\r\nError Number ") +
                QString::number(DbErrors::EngineFailure) + QStringLiteral(": database or disk is full"));
        QCOMPARE(shownMainWindow(m_env->context), nullptr);
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 0);
        QCOMPARE(column(QStringLiteral("SELECT Name FROM Dlr_Info WHERE Name IS NOT NULL")),
                 QStringList{"Acme Auto"});

        // The link was never told of, so the next message does not call it a second failure.
        QCOMPARE(startAndClose(),
                 shownWith(QStringLiteral("The lead list below could not be imported. It is left in ") +
                           m_env->folders().dataFolder +
                           QStringLiteral(" as it is, and the next start tries it again.\r\n\r\n") +
                           notFound(QStringLiteral("01062026.lst"))));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 3000);
    }

    // One program at a time per user data folder: a second one started meanwhile says so and ends
    // without touching the database; one that was killed does not keep the next start out.
    void secondInstance() {
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        {
            db::Connection c;
            c.open(connectionString(m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb")));
            c.execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'"));
        }
        // Starts the program in a child process; it reports what it showed, then (when `stay`) keeps running.
        const auto startElsewhere = [this](bool stay, QByteArray* report) {
            int channel[2];
            if (::pipe(channel) != 0)
                return pid_t(-1);
            const pid_t child = ::fork();
            if (child == 0) {
                // A program of its own, which leaves the parent's connection and lock alone.
                AppContext elsewhere(m_env->folders());
                platform::ScriptedAnswerer answers;
                QByteArray said = startProgram(elsewhere) ? "shown" : "ended";
                for (const auto& m : answers.messages)
                    said += "|" + m.title.toUtf8() + "|" + QByteArray::number(int(m.icon)) + "|" +
                            m.text.toUtf8();
                said += "\n";
                if (::write(channel[1], said.constData(), size_t(said.size())) != said.size() || !stay)
                    ::_exit(0);
                ::pause();
            }
            ::close(channel[1]);
            char buffer[1024];
            const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
            report->append(buffer, std::max<ssize_t>(n, 0));
            ::close(channel[0]);
            return child;
        };
        platform::ScriptedAnswerer answers;
        QVERIFY(startProgram(m_env->context));
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01052026.lst"));
        QByteArray report;
        const pid_t second = startElsewhere(false, &report);
        ::waitpid(second, nullptr, 0);
        QCOMPARE(report, "ended|Quillmark|" + QByteArray::number(int(platform::Icon::Information)) +
                             "|Quillmark is already running.\n");
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 0);
        QVERIFY(answers.messages.empty());

        shownMainWindow(m_env->context)->close();
        report.clear();
        const pid_t killed = startElsewhere(true, &report);
        QCOMPARE(report, QByteArray("shown\n"));
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 1);
        ::kill(killed, SIGKILL);
        ::waitpid(killed, nullptr, 0);
        writeDataFile(m_env->folders().dataFolder + QStringLiteral("01062026.lst"));
        QVERIFY(startProgram(m_env->context));
        QVERIFY(answers.messages.empty());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM DataFiles")), 2);
    }

    // Run from a build, Data and Templates are those beside the program; installed (no Data folder of
    // its own that it may write to, as under /usr), those of the user data folder, for the import, the
    // template list and the devenv merge data alike. A start of the installed program after setup has
    // prepared the user's folders imports from the user's Data and lists the shipped templates.
    void folderChoice() {
        const QString app = m_env->folders().applicationFolder;
        const QString user = defaultUserDataFolder();
        QCOMPARE(m_env->folders().userDataFolder, user);
        QVERIFY(!runsInstalled(app));
        QCOMPARE(workFolder(app, user), app);
        QCOMPARE(m_env->folders().dataFolder, app + QStringLiteral("/Data/"));
        QCOMPARE(m_env->folders().mailAidsFolder, app + QStringLiteral("/Templates/MailAids/"));
        QCOMPARE(m_env->folders().mergeDataFolder, user);
        QCOMPARE(Folders::of(app, user, QStringLiteral("devenv")).mergeDataFolder, app);

        QVERIFY(QDir(app + QStringLiteral("/Data")).removeRecursively());
        QVERIFY(runsInstalled(app));
        const Folders installed = Folders::of(app, user);
        QCOMPARE(workFolder(app, user), user);
        QCOMPARE(installed.userDataFolder, user);
        QCOMPARE(installed.dataFolder, user + QStringLiteral("/Data/"));
        QCOMPARE(installed.templatesFolder, user + QStringLiteral("/Templates/"));
        QCOMPARE(installed.initialsFolder, user + QStringLiteral("/Templates/Initials/"));
        QCOMPARE(installed.followUpsFolder, user + QStringLiteral("/Templates/Follow-ups/"));
        QCOMPARE(installed.errorLog, user + QStringLiteral("/Error.log"));
        QCOMPARE(Folders::of(app, user, QStringLiteral("devenv")).mergeDataFolder, user);
        QCOMPARE(installed.mergeDataFolder, user);
        if (geteuid() != 0) { // root may write anywhere: only an ordinary user sees a read-only folder
            QVERIFY(QDir().mkpath(app + QStringLiteral("/Data")));
            QFile::setPermissions(app + QStringLiteral("/Data"), QFile::ReadOwner | QFile::ExeOwner);
            QVERIFY(runsInstalled(app));
            QFile::setPermissions(app + QStringLiteral("/Data"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QVERIFY(!runsInstalled(app));
            QVERIFY(QDir(app + QStringLiteral("/Data")).removeRecursively());
        }

        CreateTestDatabase(user, 1);
        {
            db::Connection c;
            c.open(connectionString(user + QStringLiteral("/Quillmark.mdb")));
            c.execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'"));
        }
        prepareUserFolders(QStringLiteral(QM_SOURCE_DIR "/templates"), user);
        writeDataFile(installed.dataFolder + QStringLiteral("01052026.lst"));
        AppContext context(installed);
        context.setExitAction([] {});
        platform::ScriptedAnswerer answers;
        QVERIFY(startProgram(context));
        QVERIFY(answers.messages.empty());
        QCOMPARE(count(QStringLiteral("SELECT COUNT(*) FROM [Names]")), 1);
        QVERIFY(!QDir(app + QStringLiteral("/Data")).exists());
        QStringList listed;
        const QListWidget* templates = MainWindowControls(shownMainWindow(context)).templateList();
        for (int i = 0; i < templates->count(); ++i)
            listed << templates->item(i)->text();
        listed.sort();
        QCOMPARE(listed, (QStringList{"Fresh Start Invitation", "Second Chance Welcome"}));
        delete shownMainWindow(context); // before the context it was shown on
    }

private:
    int count(const QString& sql) {
        return RawValue(m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb"), sql).toInt();
    }

    QStringList column(const QString& sql) {
        QStringList values;
        for (const QVariantList& row :
             RawRows(m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb"), sql))
            values << row.value(0).toString();
        return values;
    }

    // A database whose dealer information is entered, so that a start asks nothing before the import.
    void createNamedDatabase() {
        CreateTestDatabase(m_env->folders().userDataFolder, 1);
        db::Connection c;
        c.open(connectionString(m_env->folders().userDataFolder + QStringLiteral("/Quillmark.mdb")));
        c.execute(QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto'"));
    }

    // What a start showed: "shown" or "ended", whether the main window was up at the end, then every message
    // as title, icon and text, the parts separated by '|' and the entries by "\n#". The main window is
    // closed again, as the user would.
    QString startAndClose() {
        platform::ScriptedAnswerer answers;
        const bool started = startProgram(m_env->context);
        MainWindow* window = shownMainWindow(m_env->context);
        QStringList said{started ? QStringLiteral("shown") : QStringLiteral("ended"),
                         window && window->isVisible() ? QStringLiteral("window")
                                                       : QStringLiteral("no window")};
        for (const auto& m : answers.messages)
            said << m.title + QLatin1Char('|') + QString::number(int(m.icon)) + QLatin1Char('|') + m.text;
        if (window)
            window->close();
        return said.join(QStringLiteral("\n#"));
    }

    QString notFound(const QString& name) {
        return name + QStringLiteral("\r\nError Number 53: Cannot read the data file ") +
               m_env->folders().dataFolder + name + QStringLiteral(": No such file or directory");
    }

    std::unique_ptr<TestInstallation> m_env;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
