#pragma once

#include <QChar>
#include <QString>

namespace wordproc {

// The fonts whose characters are pictures: their bytes stand for the symbols of the font's own encoding.
// Dingbats: Zapf Dingbats and Monotype Sorts, its Windows copy.
enum class SymbolSet : quint8 { None, Symbol, Wingdings, Dingbats };

// Which symbol font a face's name is, if any.
SymbolSet symbolSetOfFont(const QString& name);

// A byte of a symbol font as the character it shows; `plain` where there is none.
QChar symbolCharacter(SymbolSet set, uchar byte, QChar plain);

} // namespace wordproc
