#include "errors/ShowError.h"

#include "platform/Platform.h"

QString ErrorText(qint32 number, const QString& description, const QString& location) {
    return QStringLiteral("The following error occurred in ") + location + QStringLiteral(" : \r\n\r\n") +
           QStringLiteral("Error Number ") + QString::number(number) + QStringLiteral(": ") + description;
}

void ShowError(qint32 number, const QString& description, const QString& location, bool critical) {
    platform::messageBox(ErrorText(number, description, location),
                         critical ? platform::Icon::Critical : platform::Icon::Exclamation,
                         platform::Buttons::OkOnly, QStringLiteral("Quillmark Error"));
}
