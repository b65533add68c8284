#pragma once

#include "wordproc/Template.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFormat>
#include <vector>

namespace wordproc {

QTextCharFormat toCharFormat(const CharFormat& c, const QString& defaultFamily);
QTextBlockFormat toBlockFormat(const ParaFormat& p);
// A right stop a little past the line's end, in a line `widthTwips` wide, stands at its end:
// Word and LibreOffice keep the text set by it on the line, Qt would break the line before it. The
// stops where the file puts them are kept (kStopsPastEndProperty).
void keepTabsOnLine(QTextBlockFormat& b, const ParaFormat& p, int widthTwips);
// Word and LibreOffice set their default stops every `defaultTwips` from the margin, where Qt sets its
// own from the line's start: past a paragraph's own stops, in a line `widthTwips` wide, the default
// stops of a paragraph indented off that grid are made stops of its own.
void addDefaultTabs(QTextBlockFormat& b, const ParaFormat& p, int defaultTwips, int widthTwips);
// `text` with a word joiner (U+2060) wherever Qt would break a line that LibreOffice keeps whole: after
// a slash that text follows ("DSB/2016", "and/or", "http://www.example.com"), and after a full stop or colon
// between a letter and a digit ("S.2016"). And a zero-width space where LibreOffice breaks a line that Qt
// keeps whole: after a hyphen between a letter or digit and a digit ("2227269-1/14E").
QString joinUnbrokenWords(QString text);
constexpr QChar kWordJoiner(0x2060);
constexpr QChar kBreakHere(0x200B);
// A word joiner's or such a space's format beside text of `format`: so small that no face it is drawn from
// makes the line taller.
QTextCharFormat joinerFormat(QTextCharFormat format);
// Spaces in a run of two or more, set as LibreOffice sets them: a sixth of an em wider each, unkerned.
QTextCharFormat spaceRun(QTextCharFormat format);
// LibreOffice sets a fifth of the letters' size apart wherever East Asian letters and Latin letters or
// digits meet: the character before each such meeting takes the room.
void spaceAsianFromWestern(QTextBlock block, const QTextBlock& last);
// Whether `text` holds an East Asian letter, which spaceAsianFromWestern() may set apart.
bool hasAsianLetter(const QString& text);
// East Asian commas and full stops that would carry the character before them down to the next line
// hang past the line's end instead, as in Word and LibreOffice.
void hangPunctuation(QTextDocument& doc);
// Justified lines widened as LibreOffice widens them: only their ordinary spaces after the last tab, and
// with `brokenLinesToo` the lines that end in a manual line break as well.
void justifyLines(QTextDocument& doc, bool brokenLinesToo);
// A merge field's text as a template prints it: from its first character to past its last.
struct FieldSpan {
    QTextCursor from, to;
};
// A word too long for its line breaks where it runs out of room, but LibreOffice never breaks one there
// at a field's edge or inside a field that starts after the line does: the line then ends a character
// before the last such edge.
void breakBesideFields(QTextDocument& doc, const std::vector<FieldSpan>& fields);
// Lines whose text LibreOffice, measuring it at the font's own advances, finds too wide for their room
// break as there: their paragraph is narrowed by the hair that Qt's measure lacks.
void breakLinesAsLibreOfficeFits(QTextDocument& doc);
// A paragraph's line edges from `block` to `last` (see MergeLineEdges.cpp): a break after the spaces
// that open a line, none kept for those that close it, room for italic letters' slant and for a box
// round letters.
void breakAfterOpeningSpaces(QTextBlock block, const QTextBlock& last);
void dropClosingSpaces(QTextBlock block, const QTextBlock& last);
void keepRoomAfterItalics(QTextBlock block, const QTextBlock& last);
void roomForLetterBoxes(QTextBlock block, const QTextBlock& last);
bool anyVisible(const Borders& borders);
// A paragraph's rules, for the painting. Paragraphs with the same rules share them, as in the common
// word processors: the rule between them is left out. The rules take their room from the spacing.
void setBorders(QTextBlockFormat& f, const Borders& borders, bool joinsPrevious, bool joinsNext,
                bool sidesOutside = false);
// What a paragraph's rule on `side` takes from its text's room (twips): the rule, its space and shadow.
int ruleRoom(const Border& b, Side side);
void setCellBorders(QTextTableCellFormat& f, const Borders& borders);

} // namespace wordproc
