#pragma once

#include "wordproc/Template.h"

#include <QTextFormat>
#include <QTextTableCell>

class QTextDocument;

// Text turned a quarter in a table cell. Qt's text layout only sets lines across the page, so the
// cell's merged text moves into a document of its own, laid out along the turned line and drawn
// rotated in place of one object character: it stays text in a PDF, and it sizes the cell as its turned
// box does.
namespace wordproc {

// Characters that stand for a cell's turned text; their format carries the text's document.
constexpr int kTurnedTextObject = QTextFormat::UserObject + 1;
// Object character: the turned text's QTextDocument (a QSharedPointer).
constexpr int kTurnedTextProperty = QTextFormat::UserProperty + 100;
// Object character: the direction (Cell::Direction) its lines read in.
constexpr int kTurnedDirectionProperty = QTextFormat::UserProperty + 101;

// Lets `doc` lay out and draw turned text.
void allowTurnedText(QTextDocument& doc);

// Turns what `cell` holds so that it reads `direction` (not Cell::Direction::Across). Its lines are
// `length` layout pixels long when that is positive, else as long as their text is but no shorter than
// -`length`; across the cell the text stands where `align` puts its lines' tops.
void turnCellText(QTextTableCell cell, Cell::Direction direction, Cell::VAlign align, double length);

} // namespace wordproc
