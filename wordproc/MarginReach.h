#pragma once

// Paragraphs whose negative indents take their lines out past the margins, or past their cells' edges,
// as LibreOffice prints them.

#include <QTextBlock>
#include <QTextDocument>

namespace wordproc {

// Lets the body's paragraphs reach `left` and `right` (layout pixels) into the page's margins: each
// call may reach further, as the stories of a document are added.
void reachPastMargins(QTextDocument& doc, double left, double right);

// How far the lines of `b`, a block of the body's frame, reach past the right margin by its own indent
// (layout pixels; negative: they end short of it).
double rightReach(const QTextBlock& b);

// Lets the paragraphs of each table cell reach past the cell's text edges by their negative indents.
void reachPastCellEdges(QTextDocument& doc);

} // namespace wordproc
