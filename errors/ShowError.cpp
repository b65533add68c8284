#include "errors/ShowError.h"

#include "platform/Platform.h"

QString errorText(qint32 number, const QString& description, const QString& location) {
    return QStringLiteral("The following error occurred in ") + location + QStringLiteral(" : \r\n\r\n") +
           QStringLiteral("Error Number ") + QString::number(number) + QStringLiteral(": ") + description;
}

void showError(qint32 number, const QString& description, const QString& location, bool critical) {
    platform::messageBox(errorText(number, description, location),
                         critical ? platform::Icon::Critical : platform::Icon::Exclamation,
                         platform::Buttons::OkOnly, QStringLiteral("Quillmark Error"));
}
