#include "platform/Fonts.h"
#include "startup/Globals.h"
#include "startup/Main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmark"));
    // One font everywhere, so that the fixed layouts and the fitted list columns measure alike on
    // every machine.
    QApplication::setFont(platform::applicationFont());
    setCommandLineArguments(app.arguments().mid(1).join(QLatin1Char(' ')));
    if (!startProgram())
        return 0;
    return app.exec();
}
