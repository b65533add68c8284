#pragma once

#include "wordproc/SymbolFonts.h"

#include <QString>
#include <QTextCharFormat>
#include <vector>

namespace wordproc {

// Marks a character format whose text came from a symbol font: the symbol sets its text may be of, as
// bits (1 << int(SymbolSet)), those earlier in SymbolSet tried first.
constexpr int kSymbolSetProperty = QTextFormat::UserProperty + 130;

// The bits of kSymbolSetProperty for text of the font named `family`: LibreOffice's own symbol face,
// which letters here print the symbols of both sets in, may hold either.
int symbolSetsOfFamily(const QString& family);

// Text of a symbol font, as Word and LibreOffice write it into a PDF: each symbol at its private-use
// code (U+F000 plus the font's byte), drawn by a face registered here with the same pictures as the
// face the text is printed in otherwise, and with no other characters.
struct PrivateSymbols {
    struct Stretch {
        qsizetype start = 0, end = 0;
        QString family;
    };
    QString text;
    std::vector<Stretch> stretches;
};

// `text` of the symbol `sets` printed in `family`, with the symbols at their private-use codes.
PrivateSymbols toPrivateSymbols(const QString& text, int sets, const QString& family);

} // namespace wordproc
