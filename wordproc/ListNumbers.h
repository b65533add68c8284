#pragma once

#include <QString>

namespace wordproc {

// A list item's number as Word writes it in the format that numbering.xml names ("decimal",
// "lowerRoman", "upperLetter", "decimalZero", "ordinal", "none"...). The RTF and .docx readers both
// number their lists by it.
QString listNumberText(int n, const QString& format);

} // namespace wordproc
