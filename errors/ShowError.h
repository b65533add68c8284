#pragma once

#include "errors/Failure.h"

#include <QString>

// The uniform failure message: "Quillmark Error", the location, the number and the description.
void ShowError(qint32 number, const QString& description, const QString& location, bool critical = false);
inline void ShowError(const Failure& failure, const QString& location, bool critical = false) {
    ShowError(failure.number(), failure.description(), location, critical);
}
QString ErrorText(qint32 number, const QString& description, const QString& location);
