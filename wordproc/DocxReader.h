#pragma once

#include "wordproc/Template.h"

#include <QByteArray>
#include <QString>

namespace wordproc {

// Whether `data` is a zip container, as Word 2007 and later save documents and templates in.
bool isZipContainer(const QByteArray& data);

// Reads a Word 2007+ document or template (.docx, .dotx, .docm, .dotm; macros are ignored) into a
// Template. `fileName` only names the file in failure descriptions. A damaged container, a part missing
// or linked outside the package, a part or a package that would inflate past what a letter can need,
// XML that nests beyond reason or declares a DTD all fail with errors::UnreadableDocument; a picture too
// large to decode is left out. Nothing in the input can crash or stall the reader.
Template readDocx(const QByteArray& data, const QString& fileName);

} // namespace wordproc
