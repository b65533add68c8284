// Group "scale": the name list of one source date with 1,000,000 names. The list is filled on a real,
// offscreen main window, from its making and load until its first page has been drawn, each time in a
// process of its own so that the peak memory reported is that of the fill; the baseline is the bare
// ordered ID query of the list, read to its end straight through SQLCipher on the same database in this
// process (on a connection opened as the program opens it).
//
// The database takes a while to make, so it is kept in the temporary folder between runs.
#include "bench/Bench.h"
#include "database/Database.h"
#include "errors/Failure.h"
#include "leads/NameList.h"
#include "platform/Fonts.h"
#include "platform/Platform.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace benchleads {
bool fillLeads(const QString& dbFile, int files, int perFile, QStringList* fileNames);
}

namespace {

constexpr int Names = 1000000;
constexpr int Runs = 3;

struct Installation {
    QString root;
    QString app;
    QString xdg;
    QString dbFile;
};

Installation installationAt(const QString& root) {
    return {root, root + QStringLiteral("/app"), root + QStringLiteral("/xdg"),
            root + QStringLiteral("/xdg/Quillmark/Quillmark.mdb")};
}

// The program's folders on the installation.
Folders foldersOf(const Installation& inst) {
    return Folders::of(inst.app, inst.xdg + QStringLiteral("/Quillmark"));
}

// The installation with the million names, made once and kept; a marker file says it is complete.
bool cachedInstallation(Installation& out) {
    const QString root = QDir::tempPath() + QStringLiteral("/quillmark-bench-scale-1m");
    out = installationAt(root);
    const QString marker = root + QStringLiteral("/complete-v1");
    if (QFile::exists(marker))
        return true;
    QDir(root).removeRecursively();
    for (const char* sub : {"/Data", "/Templates/Initials", "/Templates/Follow-ups", "/Templates/MailAids"})
        QDir().mkpath(out.app + QLatin1String(sub));
    QDir().mkpath(foldersOf(out).userDataFolder);
    createDatabase(out.dbFile, 1);
    if (!benchleads::fillLeads(out.dbFile, 1, Names, nullptr))
        return false;
    QFile done(marker);
    return done.open(QIODevice::WriteOnly);
}

// The list's ordered ID query stepped straight through SQLCipher, on a connection opened as the program
// opens it (so with the program's letter-case order for Street); returns the rows read.
int bareIdQuery(const QString& dbFile, double* ms) {
    db::Connection connection;
    connection.open(connectionString(dbFile));
    sqlite3* handle = connection.handle();
    sqlite3_stmt* statement = nullptr;
    int fileId = 0;
    if (sqlite3_prepare_v2(handle, "SELECT MAX(ID) FROM DataFiles", -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        fileId = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    statement = nullptr;
    const QByteArray sql = "SELECT ID FROM [Names] WHERE DataFile_ID IN (" + QByteArray::number(fileId) +
                           ") ORDER BY Street ASC";
    int rows = -1;
    QElapsedTimer timer;
    timer.start();
    if (sqlite3_prepare_v2(handle, sql.constData(), -1, &statement, nullptr) == SQLITE_OK) {
        rows = 0;
        qint64 sum = 0;
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
            sum += sqlite3_column_int(statement, 0);
            ++rows;
        }
        if (rc != SQLITE_DONE || sum == 0)
            rows = -1;
    }
    sqlite3_finalize(statement);
    *ms = timer.nsecsElapsed() / 1e6;
    return rows;
}

// Notes the first paint of a widget.
class PaintSeen : public QObject {
public:
    bool seen = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            seen = true;
        return false;
    }
};

// Child: the main window made and loaded on the installation, timed to the first page of the list drawn.
// Prints "<ms> <peak MB> <rows> <font family>".
int listChild(const QStringList& args) {
    if (args.size() != 1)
        return 2;
    try {
        QApplication::setFont(platform::applicationFont()); // as the program does
        const Installation inst = installationAt(args[0]);
        platform::ScriptedAnswerer answers; // no dialog may stop the run
        AppContext context(foldersOf(inst));
        context.openDatabase();

        QElapsedTimer timer;
        timer.start();
        MainWindow window(context);
        auto* names = window.findChild<NameList*>(QStringLiteral("namesView"));
        PaintSeen painted;
        names->viewport()->installEventFilter(&painted);
        window.load();
        window.show();
        for (int spins = 0; !painted.seen && spins < 1000; ++spins)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        QApplication::processEvents(); // what the paint itself asked for
        const double ms = timer.nsecsElapsed() / 1e6;
        if (!painted.seen || !answers.messages.empty()) {
            std::fprintf(stderr, "bench scale: no first page, or a message\n");
            return 1;
        }
        std::printf("%.3f %.3f %d %s\n", ms, bench::peakRssMb(), names->count(),
                    qPrintable(bench::fontFamily(names->font()).replace(QLatin1Char(' '), u'_')));
        std::fflush(stdout);
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench scale: %s\n", failure.what());
        return 1;
    }
}

bool run() {
    try {
        Installation inst;
        if (!cachedInstallation(inst))
            return false;
        std::vector<double> idQuery, list, rss;
        QString family;
        for (int r = 0; r < Runs; ++r) {
            double ms = 0;
            const int rows = bareIdQuery(inst.dbFile, &ms);
            if (rows != Names) {
                std::fprintf(stderr, "bench scale: the ID query read %d rows\n", rows);
                return false;
            }
            idQuery.push_back(ms);

            const QStringList out = bench::runChild(QStringLiteral("scale-list"), {inst.root})
                                        .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (out.size() != 4 || out[2].toInt() != Names) {
                std::fprintf(stderr, "bench scale: the list child reported '%s'\n",
                             qPrintable(out.join(u' ')));
                return false;
            }
            list.push_back(out[0].toDouble());
            rss.push_back(out[1].toDouble());
            family = out[3].trimmed().replace(u'_', QLatin1Char(' '));
        }
        const double l = *std::min_element(list.begin(), list.end());
        const double q = *std::min_element(idQuery.begin(), idQuery.end());
        bench::note(QStringLiteral("font_family"), family);
        QStringList each;
        for (int r = 0; r < Runs; ++r)
            each << QStringLiteral("%1 ms / %2 MB (ID query %3 ms)")
                        .arg(list[r], 0, 'f', 0)
                        .arg(rss[r], 0, 'f', 0)
                        .arg(idQuery[r], 0, 'f', 0);
        bench::note(QStringLiteral("runs"), each.join(QStringLiteral("; ")));
        bench::figure(QStringLiteral("list_1m_ms"), l);
        bench::figure(QStringLiteral("id_query_1m_ms"), q);
        bench::figure(QStringLiteral("list_1m_vs_id_query"), l / q);
        bench::figure(QStringLiteral("list_1m_rss_mb"), *std::max_element(rss.begin(), rss.end()));
        return true;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench scale: %s\n", failure.what());
        return false;
    }
}

bench::Register reg(QStringLiteral("scale"), run);
bench::ChildRegister child(QStringLiteral("scale-list"), listChild);

} // namespace
