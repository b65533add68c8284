#pragma once

// Paragraphs whose negative indents take their lines out past the margins, or past their cells' edges,
// as LibreOffice prints them.

#include <QTextDocument>

namespace wordproc {

// Lets the body's paragraphs reach `left` and `right` (layout pixels) into the page's margins: each
// call may reach further, as the stories of a document are added.
void reachPastMargins(QTextDocument& doc, double left, double right);

// Lets the paragraphs of each table cell reach past the cell's text edges by their negative indents.
void reachPastCellEdges(QTextDocument& doc);

} // namespace wordproc
