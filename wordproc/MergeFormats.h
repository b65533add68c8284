#pragma once

#include "wordproc/Template.h"

#include <QTextFormat>

namespace wordproc {

QTextCharFormat toCharFormat(const CharFormat& c, const QString& defaultFamily);
QTextBlockFormat toBlockFormat(const ParaFormat& p);
bool anyVisible(const Borders& borders);
// A paragraph's rules, for the painting. Paragraphs with the same rules share them, as in the common
// word processors: the rule between them is left out. The rules take their room from the spacing.
void setBorders(QTextBlockFormat& f, const Borders& borders, bool joinsPrevious, bool joinsNext);
// What a paragraph's rule on `side` takes from its text's room (twips): the rule, its space and shadow.
int ruleRoom(const Border& b, Side side);
void setCellBorders(QTextTableCellFormat& f, const Borders& borders);

} // namespace wordproc
