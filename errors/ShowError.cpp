#include "errors/ShowError.h"

#include "files/Files.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QDateTime>
#include <QLocale>

QString ErrorText(qint32 number, const QString& description, const QString& location) {
    return QStringLiteral("The following error occurred in ") + location + QStringLiteral(" : \r\n\r\n") +
           QStringLiteral("Error Number ") + QString::number(number) + QStringLiteral(": ") + description;
}

void ShowError(qint32 number, const QString& description, const QString& location, bool critical) {
    platform::messageBox(ErrorText(number, description, location),
                         critical ? platform::Icon::Critical : platform::Icon::Exclamation,
                         platform::Buttons::OkOnly, QStringLiteral("Quillmark Error"));
}

void LogRejectedLine(const QString& dataFileName, const Failure& failure, const QString& rawLine) {
    const QString now = QLocale(QLocale::English)
                            .toString(QDateTime::currentDateTime(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
    files::TextWriter log(UserDataFolder + QStringLiteral("/Error.log"), files::TextWriter::Append);
    log.writeLine(now + QStringLiteral("  ") + dataFileName + QStringLiteral("  Error #") +
                  QString::number(failure.number()) + QStringLiteral(": ") + failure.description());
    log.writeLine(rawLine);
    log.writeLine();
    log.close();
}
