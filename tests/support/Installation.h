#pragma once

// An installation of its own for one test: an application folder with Data and the three template
// group folders, a user data folder with a fresh database of `dealerships` delivered rows, and the
// program's context on them with its connection open. Ending the program is only counted, so that the
// test survives it.

#include "database/Database.h"
#include "startup/AppContext.h"
#include "tests/support/TestDatabase.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

struct TestInstallation {
    explicit TestInstallation(int dealerships = 1, bool openDatabase = true) : context(laidOut(dir)) {
        context.setExitAction([this] {
            ended = true;
            ++exits;
        });
        if (dealerships <= 0)
            return;
        databaseFile = CreateTestDatabase(folders().userDataFolder, dealerships);
        if (openDatabase)
            context.openDatabase();
    }

    // The folders of an installation run from a build in `dir`, made there. The installation tool and
    // anything else that asks for the user data folder find this one.
    static Folders laidOut(const QTemporaryDir& dir) {
        const QString app = dir.path() + QStringLiteral("/app");
        for (const char* sub :
             {"/Data", "/Templates/Initials", "/Templates/Follow-ups", "/Templates/MailAids"})
            QDir().mkpath(app + QLatin1String(sub));
        qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toUtf8());
        const QString user = defaultUserDataFolder();
        QDir().mkpath(user);
        return Folders::of(app, user);
    }

    const Folders& folders() const { return context.folders(); }
    db::Connection& connection() const { return context.connection(); }
    // The first value of the first row of `sql`, read through the program's own connection.
    QVariant scalar(const QString& sql) const { return ScalarOf(connection(), sql); }

    // AsOrdinaryUser on this installation. In a child the parent's connection and instance lock are
    // dropped unclosed (closing them would undo the parent's hold on the files), and the connection is
    // opened afresh when the parent had one open.
    QString asOrdinaryUser(const std::function<QString()>& action) {
        return AsOrdinaryUser(dir.path(), [&](bool inChild) {
            if (inChild) {
                const bool wasOpen = context.databaseOpen();
                context.forgetInheritedFiles();
                if (wasOpen)
                    context.openDatabase();
            }
            return action();
        });
    }
    TestInstallation(const TestInstallation&) = delete;
    TestInstallation& operator=(const TestInstallation&) = delete;

    QTemporaryDir dir; // before the context, whose folders lie in it
    AppContext context;
    QString databaseFile;
    bool ended = false;
    int exits = 0;
};

// The text of a printed PDF file, as pdftotext (poppler-utils) reads it back.
inline QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The title a printed PDF file carries in its document information, as pdfinfo (poppler-utils) reads it.
inline QString PdfTitle(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf});
    p.waitForFinished(60000);
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Title:")))
            return line.mid(6).trimmed();
    return {};
}
