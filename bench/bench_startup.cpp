// Group "startup": from Main to the shown main window with 1,000,000 names in 500 data files that are
// all known already (present in the Data folder and imported before), against the same start-up on an
// installation with one known data file and no names, so that both runs go through every load step.
#include "bench/Bench.h"
#include "database/Database.h"
#include "errors/Failure.h"
#include "leads/NameList.h"
#include "platform/Platform.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"
#include "startup/Main.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>

namespace benchleads {
bool fillLeads(const QString& dbFile, int files, int perFile, QStringList* fileNames);
}

namespace {

constexpr int Files = 500;
constexpr int PerFile = 2000;
constexpr int Runs = 5;

struct Installation {
    QString app;
    QString xdg;
    int newestCount = 0;
};

// An application folder whose Data folder holds `files` data files already recorded in the database,
// and a user data folder with that database.
bool install(const QString& root, int files, int perFile, Installation& out) {
    out.app = root + QStringLiteral("/app");
    out.xdg = root + QStringLiteral("/xdg");
    for (const char* sub : {"/Data", "/Templates/Initials", "/Templates/Follow-ups", "/Templates/MailAids"})
        QDir().mkpath(out.app + QLatin1String(sub));
    const Folders folders = Folders::of(out.app, out.xdg + QStringLiteral("/Quillmark"));
    QDir().mkpath(folders.userDataFolder);
    const QString dbFile = folders.userDataFolder + QStringLiteral("/Quillmark.mdb");
    createDatabase(dbFile, 1);
    QStringList names;
    if (!benchleads::fillLeads(dbFile, files, perFile, &names))
        return false;
    for (const QString& name : names) {
        QFile file(folders.dataFolder + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("BK000001,\"SMITH, JOHN\",1 MAIN ST,\"SPRINGFIELD, IL\",62701,01/02/25,00/00/00,\r\n");
    }
    out.newestCount = perFile;
    return true;
}

// One start-up, timed up to the shown main window; the window is closed and gone afterwards.
bool startOnce(const Installation& inst, platform::ScriptedAnswerer& answers, int& exits, double* ms,
               QString* family) {
    AppContext context(Folders::of(inst.app, inst.xdg + QStringLiteral("/Quillmark")));
    context.setExitAction([&exits] { ++exits; });
    QElapsedTimer timer;
    timer.start();
    const bool started = startProgram(context);
    MainWindow* window = shownMainWindow(context);
    if (window)
        QApplication::processEvents(); // the first paint
    *ms = timer.nsecsElapsed() / 1e6;
    if (!started || !window || !window->isVisible()) {
        std::fprintf(stderr, "bench startup: the main window did not come up\n");
        return false;
    }
    const auto* names = window->findChild<NameList*>(QStringLiteral("namesView"));
    const bool listed = names->count() == inst.newestCount;
    *family = bench::fontFamily(names->font());
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!listed || !answers.messages.empty()) {
        std::fprintf(stderr, "bench startup: unexpected list or message\n");
        return false;
    }
    return true;
}

bool run() {
    try {
        Installation big, empty;
        if (!install(bench::scratchFolder(QStringLiteral("startup-1m")), Files, PerFile, big))
            return false;
        if (!install(bench::scratchFolder(QStringLiteral("startup-empty")), 1, 0, empty))
            return false;

        platform::ScriptedAnswerer answers; // no dialog may stop the run
        int exits = 0;
        std::vector<double> bigMs, emptyMs;
        QString family;
        for (int r = 0; r < Runs; ++r) {
            double ms = 0;
            if (!startOnce(empty, answers, exits, &ms, &family))
                return false;
            emptyMs.push_back(ms);
            if (!startOnce(big, answers, exits, &ms, &family))
                return false;
            bigMs.push_back(ms);
        }
        const double b = *std::min_element(bigMs.begin(), bigMs.end());
        const double e = *std::min_element(emptyMs.begin(), emptyMs.end());
        bench::note(QStringLiteral("font_family"), family);
        bench::figure(QStringLiteral("startup_1m_ms"), b);
        bench::figure(QStringLiteral("startup_empty_ms"), e);
        bench::figure(QStringLiteral("startup_1m_vs_empty"), b / e);
        return exits == 2 * Runs;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench startup: %s\n", failure.what());
        return false;
    }
}

bench::Register reg(QStringLiteral("startup"), run);

} // namespace
