#pragma once

#include "errors/Failure.h"

#include <QString>

// The uniform failure message: "Quillmark Error", the location, the number and the description.
void showError(qint32 number, const QString& description, const QString& location, bool critical = false);
inline void showError(const Failure& failure, const QString& location, bool critical = false) {
    showError(failure.number(), failure.description(), location, critical);
}
QString errorText(qint32 number, const QString& description, const QString& location);
