// Group "list": building the name list of one source date with 100,000 names (FillNames on a real,
// offscreen main window) against the bare query of the same statement read to its end through the
// database layer, measured in the same run; and Select All on those rows.
#include "bench/Bench.h"
#include "database/Database.h"
#include "errors/Failure.h"
#include "leads/LeadListPanel.h"
#include "leads/NameList.h"
#include "platform/Platform.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>

namespace benchleads {

namespace {
bool check(int rc, sqlite3* handle, const char* what) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "bench leads: %s: %s\n", what, sqlite3_errmsg(handle));
    return false;
}
} // namespace

// Fills an installation's database with `files` data files (one source date each, a day apart going
// back from 2026-01-05) of `perFile` invented names each, straight through SQLCipher in one
// transaction, and names the first dealership. `fileNames` receives the data files' names.
bool fillLeads(const QString& dbFile, int files, int perFile, QStringList* fileNames) {
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(dbFile).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        return false;
    const QByteArray key = setup::DatabasePassword.toUtf8();
    bool ok = check(sqlite3_key(handle, key.constData(), int(key.size())), handle, "key");
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"})
        ok = ok && check(sqlite3_exec(handle, pragma, nullptr, nullptr, nullptr), handle, pragma);
    ok = ok && check(sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr), handle, "begin");
    ok = ok &&
         check(sqlite3_exec(handle, "UPDATE Dlr_Info SET Name = 'Bench Motors'", nullptr, nullptr, nullptr),
               handle, "dealer");

    static const char* const first[] = {"JOHN", "MARY",   "ROBERT", "LINDA",      "CARLOS", "ANGELA",
                                        "WEI",  "PRIYA",  "DMITRI", "RENEE",      "TRAVIS", "NGOC",
                                        "OWEN", "HANNAH", "LUIS",   "MAXIMILIANO"};
    static const char* const last[] = {"SMITH",  "GARCIA", "O'BRIEN", "NGUYEN", "KOWALSKI",      "LEE",
                                       "OKAFOR", "YAMADA", "HARRIS",  "DUBOIS", "WOLFESCHLEGEL", "CLARK"};
    static const char* const streets[] = {"MAIN ST",  "OAK AVE",
                                          "MAPLE DR", "CEDAR LN",
                                          "RIVER RD", "NORTHWEST SOUTHERN BOULEVARD EXTENSION APT 12"};
    static const char* const cities[][2] = {{"SPRINGFIELD", "IL"},
                                            {"PEORIA", "IL"},
                                            {"ST. LOUIS", "MO"},
                                            {"TERRE HAUTE", "IN"},
                                            {"WEST PALM BEACH GARDENS", "FL"}};
    quint32 seed = 4242;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };

    sqlite3_stmt* fileInsert = nullptr;
    sqlite3_stmt* nameInsert = nullptr;
    ok = ok && check(sqlite3_prepare_v2(handle, "INSERT INTO DataFiles (FileName, [Date]) VALUES (?, ?)", -1,
                                        &fileInsert, nullptr),
                     handle, "prepare data file");
    ok = ok && check(sqlite3_prepare_v2(
                         handle,
                         "INSERT INTO Names (DataFile_ID, Court_ID, Name, Street, City, State, Zip, "
                         "Phone, [File], Discharge, Printed, Followed) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)",
                         -1, &nameInsert, nullptr),
                     handle, "prepare name");
    const QDate newest(2026, 1, 5);
    char buffer[128];
    for (int f = 0; ok && f < files; ++f) {
        const QDate date = newest.addDays(-f);
        const QByteArray fileName = date.toString(QStringLiteral("MMddyyyy")).toLatin1() + ".lst";
        const QByteArray stored = date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() + " 00:00:00";
        if (fileNames)
            fileNames->append(QString::fromLatin1(fileName));
        sqlite3_bind_text(fileInsert, 1, fileName.constData(), int(fileName.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(fileInsert, 2, stored.constData(), int(stored.size()), SQLITE_TRANSIENT);
        ok = check(sqlite3_step(fileInsert), handle, "data file");
        sqlite3_reset(fileInsert);
        const sqlite3_int64 fileId = sqlite3_last_insert_rowid(handle);
        for (int i = 0; ok && i < perFile; ++i) {
            auto text = [&](int index, const char* value) {
                sqlite3_bind_text(nameInsert, index, value, -1, SQLITE_TRANSIENT);
            };
            sqlite3_bind_int64(nameInsert, 1, fileId);
            std::snprintf(buffer, sizeof buffer, "BK%06d", i);
            text(2, buffer);
            std::snprintf(buffer, sizeof buffer, "%s, %s", last[next(12)], first[next(16)]);
            text(3, buffer);
            std::snprintf(buffer, sizeof buffer, "%u %s", 1 + next(99999), streets[next(6)]);
            text(4, buffer);
            const auto& city = cities[next(5)];
            text(5, city[0]);
            text(6, city[1]);
            std::snprintf(buffer, sizeof buffer, "%05u", 60000 + next(9999));
            text(7, buffer);
            if (next(10) == 0)
                sqlite3_bind_null(nameInsert, 8);
            else {
                std::snprintf(buffer, sizeof buffer, "(%03u) 555-%04u", 200 + next(700), next(10000));
                text(8, buffer);
            }
            std::snprintf(buffer, sizeof buffer, "2025-%02u-%02u 00:00:00", 1 + next(12), 1 + next(28));
            text(9, buffer);
            if (next(10) < 4)
                sqlite3_bind_null(nameInsert, 10);
            else {
                std::snprintf(buffer, sizeof buffer, "2026-%02u-%02u 00:00:00", 1 + next(6), 1 + next(28));
                text(10, buffer);
            }
            const bool printed = next(4) == 0;
            sqlite3_bind_int(nameInsert, 11, printed ? -1 : 0);
            sqlite3_bind_int(nameInsert, 12, printed && next(2) == 0 ? -1 : 0);
            ok = check(sqlite3_step(nameInsert), handle, "name");
            sqlite3_reset(nameInsert);
        }
    }
    sqlite3_finalize(fileInsert);
    sqlite3_finalize(nameInsert);
    ok = ok && check(sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr), handle, "commit");
    sqlite3_close(handle);
    return ok;
}

} // namespace benchleads

namespace {

constexpr int Names = 100000;
constexpr int Runs = 3;

double minimum(const std::vector<double>& v) {
    return *std::min_element(v.begin(), v.end());
}

bool run() {
    try {
        const QString root = bench::scratchFolder(QStringLiteral("list"));
        const QString app = root + QStringLiteral("/app");
        for (const char* sub :
             {"/Data", "/Templates/Initials", "/Templates/Follow-ups", "/Templates/MailAids"})
            QDir().mkpath(app + QLatin1String(sub));
        AppContext context(Folders::of(app, root + QStringLiteral("/xdg/Quillmark")));
        QDir().mkpath(context.folders().userDataFolder);
        const QString dbFile = context.folders().userDataFolder + QStringLiteral("/Quillmark.mdb");
        createDatabase(dbFile, 1);
        if (!benchleads::fillLeads(dbFile, 1, Names, nullptr))
            return false;

        platform::ScriptedAnswerer answers; // no dialog may stop the run
        bool ended = false;
        context.setExitAction([&ended] { ended = true; });
        context.openDatabase();

        MainWindow window(context);
        window.load();
        window.show();
        QApplication::processEvents();
        const auto* names = window.findChild<NameList*>(QStringLiteral("namesView"));
        if (names->count() != Names || !answers.messages.empty()) {
            std::fprintf(stderr, "bench list: the list holds %d rows\n", names->count());
            return false;
        }

        const QString sql =
            QStringLiteral("SELECT ID, Court_ID, Name, Street, City, State, Zip, Phone, File, "
                           "Discharge, Printed, Followed FROM [Names] WHERE DataFile_ID IN (") +
            QString::number(window.findChild<QComboBox*>(QStringLiteral("datesBox"))->itemData(0).toInt()) +
            QStringLiteral(") ORDER BY Street ASC");
        std::vector<double> fill, bare, selectAll;
        for (int r = 0; r < Runs; ++r) {
            {
                QElapsedTimer timer;
                timer.start();
                window.leadListPanel().fillNames();
                QApplication::processEvents(); // the view lays the rows out
                fill.push_back(timer.nsecsElapsed() / 1e6);
            }
            {
                QElapsedTimer timer;
                timer.start();
                db::Recordset rs;
                rs.open(sql, context.connection(), db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
                qint64 touched = 0;
                while (!rs.eof()) {
                    for (int c = 0; c < 12; ++c)
                        touched += rs.value(c).isNull() ? 0 : 1;
                    rs.moveNext();
                }
                rs.close();
                bare.push_back(timer.nsecsElapsed() / 1e6);
                if (touched == 0)
                    return false;
            }
            {
                QElapsedTimer timer;
                timer.start();
                window.findChild<QPushButton*>(QStringLiteral("selectAllButton"))->click();
                QApplication::processEvents();
                selectAll.push_back(timer.nsecsElapsed() / 1e6);
                if (names->selectedCount() != Names)
                    return false;
            }
        }
        bench::note(QStringLiteral("font_family"), bench::fontFamily(names->font()));
        bench::figure(QStringLiteral("fillnames_ms"), minimum(fill));
        bench::figure(QStringLiteral("bare_query_ms"), minimum(bare));
        bench::figure(QStringLiteral("fillnames_vs_query"), minimum(fill) / minimum(bare));
        bench::figure(QStringLiteral("select_all_ms"), minimum(selectAll));
        bench::figure(QStringLiteral("select_all_vs_fillnames"), minimum(selectAll) / minimum(fill));

        return answers.messages.empty();
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench list: %s\n", failure.what());
        return false;
    }
}

bench::Register reg(QStringLiteral("list"), run);

} // namespace
