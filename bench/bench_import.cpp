// Group "import": the start-up scan and import of one large data file through the program's own code,
// against two baselines over the same rows measured in the same run: reading and splitting the file
// alone, and a bare bulk insert through SQLCipher (one prepared statement, one transaction).
#include "bench/Bench.h"
#include "database/Database.h"
#include "errors/Failure.h"
#include "files/Files.h"
#include "intake/LineSplitter.h"
#include "intake/ProgressWindow.h"
#include "intake/StartupImport.h"
#include "setup/Setup.h"
#include "startup/AppContext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <ctime>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int Lines = 200000;
const char* const FileName = "01052026.lst";

// A reproducible lead list of invented people in the eight-field layout.
QByteArray generateLines() {
    static const char* const first[] = {"JOHN",   "MARY", "ROBERT", "LINDA",  "CARLOS", "JOS\xc9",
                                        "ANGELA", "WEI",  "PRIYA",  "DMITRI", "RENEE",  "TRAVIS",
                                        "NGOC",   "OWEN", "HANNAH", "LUIS"};
    static const char* const last[] = {"SMITH",     "GARCIA", "O'BRIEN",  "NGUYEN", "KOWALSKI",
                                       "M\xdcLLER", "LEE",    "PETERSEN", "OKAFOR", "YAMADA",
                                       "HARRIS",    "DUBOIS", "CLARK",    "LOPEZ"};
    static const char* const streets[] = {"MAIN ST",  "OAK AVE",  "MAPLE DR",
                                          "CEDAR LN", "RIVER RD", "PARK PL"};
    static const char* const cities[] = {"SPRINGFIELD, IL", "PEORIA, IL", "ST. LOUIS, MO", "TERRE HAUTE, IN",
                                         "DAVENPORT, IA"};
    quint32 seed = 12345;
    auto next = [&seed](quint32 n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    QByteArray out;
    out.reserve(Lines * 96);
    char buffer[256];
    for (int i = 0; i < Lines; ++i) {
        const bool noDischarge = next(10) < 4;
        const bool noPhone = next(10) < 1;
        int n = std::snprintf(buffer, sizeof buffer, "BK%06d,\"%s, %s\",%u %s,\"%s\",%05u,%02u/%02u/25,", i,
                              last[next(14)], first[next(16)], 1 + next(9999), streets[next(6)],
                              cities[next(5)], 60000 + next(9999), 1 + next(12), 1 + next(28));
        out.append(buffer, n);
        if (noDischarge)
            out.append("00/00/00,");
        else {
            n = std::snprintf(buffer, sizeof buffer, "%02u/%02u/26,", 1 + next(6), 1 + next(28));
            out.append(buffer, n);
        }
        if (!noPhone) {
            n = std::snprintf(buffer, sizeof buffer, "%03u555%04u", 200 + next(700), next(10000));
            out.append(buffer, n);
        }
        out.append("\r\n");
    }
    return out;
}

// Wall-clock and processor time of one measured stretch. The machine is shared, so the processor
// time, which other programs do not inflate, is reported beside the wall-clock figures.
struct Stopwatch {
    QElapsedTimer wall;
    double cpuStart = cpuNow();
    Stopwatch() { wall.start(); }
    static double cpuNow() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    double seconds() const { return double(wall.nsecsElapsed()) / 1e9; }
    double cpuSeconds() const { return cpuNow() - cpuStart; }
};

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// One row as the Names table receives it.
struct NameRow {
    QByteArray court, name, street, city, state, zip, file, discharge, phone; // empty date/phone: Null
};

QByteArray storedDate(const QString& text) {
    if (text == QLatin1String("00/00/00"))
        return {};
    return db::parseDateText(text).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
}

bool check(int rc, sqlite3* handle, const char* what) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return true;
    std::fprintf(stderr, "bench import: %s: %s\n", what, sqlite3_errmsg(handle));
    return false;
}

// The same rows into a fresh database of the same schema, with nothing of the program in between.
bool bulkInsert(const QString& file, const std::vector<NameRow>& rows, Timing* timing) {
    createDatabase(file, 1);
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &handle, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK)
        return false;
    const QByteArray key = setup::DatabasePassword.toUtf8();
    bool ok = check(sqlite3_key(handle, key.constData(), int(key.size())), handle, "key");
    for (const char* pragma :
         {"PRAGMA foreign_keys=ON", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"})
        ok = ok && check(sqlite3_exec(handle, pragma, nullptr, nullptr, nullptr), handle, pragma);

    const Stopwatch watch;
    ok = ok && check(sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr), handle, "begin");
    ok = ok && check(sqlite3_exec(handle,
                                  "INSERT INTO DataFiles (FileName, [Date]) VALUES ('01052026.lst', "
                                  "'2026-01-05 00:00:00')",
                                  nullptr, nullptr, nullptr),
                     handle, "data file row");
    const sqlite3_int64 fileId = sqlite3_last_insert_rowid(handle);
    sqlite3_stmt* insert = nullptr;
    ok = ok &&
         check(sqlite3_prepare_v2(handle,
                                  "INSERT INTO Names (DataFile_ID, Court_ID, Name, Street, City, State, Zip, "
                                  "[File], Discharge, Phone) VALUES (?,?,?,?,?,?,?,?,?,?)",
                                  -1, &insert, nullptr),
               handle, "prepare");
    auto text = [&](int index, const QByteArray& value) {
        if (value.isEmpty())
            sqlite3_bind_null(insert, index);
        else
            sqlite3_bind_text(insert, index, value.constData(), int(value.size()), SQLITE_STATIC);
    };
    for (size_t i = 0; ok && i < rows.size(); ++i) {
        const NameRow& r = rows[i];
        sqlite3_bind_int64(insert, 1, fileId);
        text(2, r.court);
        text(3, r.name);
        text(4, r.street);
        text(5, r.city);
        text(6, r.state);
        text(7, r.zip);
        text(8, r.file);
        text(9, r.discharge);
        text(10, r.phone);
        ok = check(sqlite3_step(insert), handle, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ok = ok && check(sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr), handle, "commit");
    *timing = {watch.seconds(), watch.cpuSeconds()};
    sqlite3_close(handle);
    return ok;
}

bool run() {
    try {
        const QString root = bench::scratchFolder(QStringLiteral("import"));
        const QString app = root + QStringLiteral("/app");
        QDir().mkpath(app + QStringLiteral("/Data"));
        AppContext context(Folders::of(app, root + QStringLiteral("/xdg/Quillmark")));
        const QString dataFile = context.folders().dataFolder + QLatin1String(FileName);
        {
            QFile out(dataFile);
            if (!out.open(QIODevice::WriteOnly) || out.write(generateLines()) < 0)
                return false;
        }

        // Baseline 1: the file read and split, nothing stored.
        std::vector<NameRow> rows;
        rows.reserve(Lines);
        Timing split;
        {
            const Stopwatch watch;
            intake::FieldArray fields;
            qsizetype characters = 0;
            files::TextReader reader(dataFile);
            while (!reader.atEnd()) {
                intake::splitLine(reader.readLine(), 8, fields);
                characters += fields[1].size();
            }
            reader.close();
            split = {watch.seconds(), watch.cpuSeconds()};
            if (characters == 0)
                return false;
        }
        // The rows for the bulk baseline, converted beforehand so that it times the inserts alone.
        {
            intake::FieldArray f;
            files::TextReader reader(dataFile);
            while (!reader.atEnd()) {
                intake::splitLine(reader.readLine(), 8, f);
                const qsizetype comma = f[3].indexOf(QLatin1Char(','));
                rows.push_back({f[0].toUtf8(), f[1].toUtf8(), f[2].toUtf8(), f[3].left(comma).toUtf8(),
                                f[3].right(2).toUtf8(), f[4].toUtf8(), storedDate(f[5]), storedDate(f[6]),
                                f[7].isEmpty() ? QByteArray() : intake::formatPhone(f[7]).toUtf8()});
            }
        }

        // The program's own scan and import into a fresh encrypted database.
        QDir().mkpath(context.folders().userDataFolder);
        createDatabase(context.folders().userDataFolder + QStringLiteral("/Quillmark.mdb"), 1);
        context.openDatabase();
        Timing import;
        intake::FailedFiles failed;
        {
            ProgressWindow progress;
            const Stopwatch watch;
            failed = scanAndImport(context, progress);
            import = {watch.seconds(), watch.cpuSeconds()};
        }
        int imported = 0;
        {
            db::Recordset count;
            count.open(QStringLiteral("SELECT COUNT(*) FROM Names"), context.connection(),
                       db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
            imported = count.value(0).toInt();
        }
        context.connection().close();
        if (imported != Lines || !failed.empty()) {
            std::fprintf(stderr, "bench import: %d of %d lines imported, %d file(s) failed\n", imported,
                         Lines, int(failed.size()));
            return false;
        }

        // Baseline 2: the same rows inserted in bulk.
        Timing bulk;
        if (!bulkInsert(root + QStringLiteral("/bulk.mdb"), rows, &bulk))
            return false;

        bench::figure(QStringLiteral("import_lines_per_s"), Lines / import.wall);
        bench::figure(QStringLiteral("split_lines_per_s"), Lines / split.wall);
        bench::figure(QStringLiteral("bulk_insert_lines_per_s"), Lines / bulk.wall);
        bench::figure(QStringLiteral("import_vs_bulk_insert"), import.wall / bulk.wall);
        bench::figure(QStringLiteral("import_vs_bulk_insert_cpu"), import.cpu / bulk.cpu);
        return true;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "bench import: %d %s\n", failure.number(), qPrintable(failure.description()));
        return false;
    }
}

const bench::Register reg(QStringLiteral("import"), run);

} // namespace
