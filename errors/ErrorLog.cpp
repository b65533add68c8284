#include "errors/ErrorLog.h"

#include "files/Files.h"
#include "startup/Folders.h"

#include <QDateTime>
#include <QLocale>

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
