#include "platform/Fonts.h"
#include "startup/AppContext.h"
#include "startup/Main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    // One font everywhere, so that the fixed layouts and the fitted list columns measure alike on
    // every machine.
    QApplication::setFont(platform::applicationFont());
    // Made after the application, so that it goes before it: the database is closed, if the end has
    // not closed it already, while Qt is still there.
    AppContext context(Folders::of(QCoreApplication::applicationDirPath(), defaultUserDataFolder(),
                                   app.arguments().mid(1).join(QLatin1Char(' '))));
    if (!startProgram(context))
        return 0;
    return app.exec();
}
