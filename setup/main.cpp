// quillmark-setup: creates the per-user lead database that the installation delivers.
#include "errors/Failure.h"
#include "setup/Setup.h"
#include "startup/Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

void usage(QTextStream& out) {
    out << "Usage: quillmark-setup [--dealerships N] [--first-use]\n"
           "Creates the Quillmark lead database in the user data folder with N dealerships (default 1).\n"
           "For an installed Quillmark it also creates the user's Data folder and copies the templates\n"
           "that come with it into the user's Templates folder, unless that folder exists.\n"
           "--first-use: create only what is missing; an existing database is no fault.\n";
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    int dealerships = 1;
    bool firstUse = false;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        QString count;
        if (arg == u"--help" || arg == u"-h") {
            usage(out);
            return 0;
        }
        if (arg == u"--first-use") {
            firstUse = true;
            continue;
        }
        if (arg == u"--dealerships") {
            if (i + 1 >= args.size()) {
                err << "quillmark-setup: --dealerships needs a number.\n";
                usage(err);
                return 2;
            }
            count = args.at(++i);
        } else if (arg.startsWith(u"--dealerships=")) {
            count = arg.mid(int(sizeof("--dealerships=")) - 1);
        } else {
            err << "quillmark-setup: unknown argument '" << arg << "'.\n";
            usage(err);
            return 2;
        }
        bool ok = false;
        dealerships = count.toInt(&ok);
        if (!ok || dealerships < 1 || dealerships > 32767) {
            err << "quillmark-setup: the number of dealerships must be a whole number from 1 to 32767, not '"
                << count << "'.\n";
            return 2;
        }
    }

    // Installed, the program reads and writes the user's Data and Templates folders instead of its own.
    const QString program = QCoreApplication::applicationDirPath();
    const QString folder = defaultUserDataFolder();
    const QString file = folder + QStringLiteral("/Quillmark.mdb");
    try {
        if (runsInstalled(program))
            prepareUserFolders(program + QStringLiteral("/Templates"), folder);
        if (firstUse && QFileInfo::exists(file))
            return 0;
        createDatabase(file, dealerships);
    } catch (const Failure& failure) {
        err << "quillmark-setup: " << failure.description() << "\n";
        return 1;
    }
    out << "Created the Quillmark database " << QDir::toNativeSeparators(file) << " with " << dealerships
        << (dealerships == 1 ? " dealership" : " dealerships") << ".\n";
    return 0;
}
