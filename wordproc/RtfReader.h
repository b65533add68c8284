#pragma once

#include "wordproc/Template.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <functional>

namespace wordproc {

// Reads an RTF document into a Template. `fileName` only names the file in failure descriptions.
// A document that is not RTF, is truncated or nests its groups beyond reason fails with
// errors::UnreadableDocument; nothing in the input can crash or stall the reader.
Template readRtf(const QByteArray& rtf, const QString& fileName);

// Watches the conversion of a Word binary document through LibreOffice, which can take long or hang.
struct ConversionWatch {
    // Called about four times a second with the seconds spent so far; false stops the conversion.
    std::function<bool(int seconds)> progress;
    // The conversion is given up after this long.
    int timeLimitSeconds = 60;
};

// Reads a template file: RTF under any extension. A missing file fails with errors::FileNotFound; a
// Word binary document is converted through LibreOffice when that is installed and fails with a
// description saying so otherwise, or when the conversion fails, is stopped or runs out of time.
Template readTemplateFile(const QString& path, const ConversionWatch& watch = {});

// The colour LibreOffice marks the tracked changes of the document's `order`th author in (from 0).
QColor revisionAuthorColour(qsizetype order);

// The parts of a field code: "MERGEFIELD Cust_Name \* Upper" gives a Merge field named Cust_Name.
void parseFieldInstruction(Field& field);

// A field that does not evaluate its code (any but an IF, or one left showing its stored result): the
// fields nested in its code stand for nothing, and are blanked, those nested in them as well, so that
// the merge asks the data for none of their columns.
void dropFieldCode(Template& t, Field& field);

// A FILENAME field shows the name of the template it stands in (its whole path with \p), as it is when
// printed rather than the name Word stored: true when `field` was one and now holds that name.
bool showFileName(Field& field, const QString& path);

} // namespace wordproc
