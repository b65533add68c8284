#include "errors/ErrorLog.h"

#include "files/Files.h"

#include <QDateTime>
#include <QLocale>

void logRejectedLine(const QString& logFile, const QString& dataFileName, const Failure& failure,
                     const QString& rawLine) {
    const QString now = QLocale(QLocale::English)
                            .toString(QDateTime::currentDateTime(), QStringLiteral("M/d/yyyy h:mm:ss AP"));
    files::TextWriter log(logFile, files::TextWriter::Append);
    log.writeLine(now + QStringLiteral("  ") + dataFileName + QStringLiteral("  Error #") +
                  QString::number(failure.number()) + QStringLiteral(": ") + failure.description());
    log.writeLine(rawLine);
    log.writeLine();
    log.close();
}
