#pragma once

#include "wordproc/Template.h"

#include <QByteArray>
#include <QString>

namespace wordproc {

// Reads an RTF document into a Template. `fileName` only names the file in failure descriptions.
// A document that is not RTF, is truncated or nests its groups beyond reason fails with
// errors::UnreadableDocument; nothing in the input can crash or stall the reader.
Template readRtf(const QByteArray& rtf, const QString& fileName);

// Reads a template file: RTF under any extension. A missing file fails with errors::FileNotFound; a
// Word binary document is converted through LibreOffice when that is installed and fails with a
// description saying so otherwise.
Template readTemplateFile(const QString& path);

// The parts of a field code: "MERGEFIELD Cust_Name \* Upper" gives a Merge field named Cust_Name.
void parseFieldInstruction(Field& field);

} // namespace wordproc
