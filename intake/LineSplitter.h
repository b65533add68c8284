#pragma once

#include <QString>
#include <QStringView>
#include <array>

// The lexical side of a data-file line, kept free of widgets and of the database so that it can be
// fuzzed on its own with nothing but QtCore.
namespace intake {

// The most fields a data-file line can carry (the eight-field layout).
constexpr int MaxFields = 8;
using FieldArray = std::array<QString, MaxFields>;

// Number of fields of a file's first line. A quoted field counts up to its closing quote and then up
// to the next comma; a quoted field that is never closed ends the count (it is taken as the last
// field). Saturates at the largest 16-bit value.
qint16 countFields(QStringView line);

// Splits `line` into `fields[0..count-1]` (count 1..MaxFields) by the lexical rules of a data file:
//  - a field that begins with a double quote runs to the next double quote; the character after the
//    closing quote is taken to be the separating comma and skipped unseen;
//  - any other field runs to the next comma;
//  - the last field is not ended by a comma: unquoted it is the rest of the line, quoted it is the
//    text up to the next double quote (or the rest of the line when there is none);
//  - every value is trimmed of leading and trailing spaces.
// A field other than the last that has no terminator raises Failure (errors/Failure.h). Entries from
// `count` on are left untouched.
void splitLine(QStringView line, int count, FieldArray& fields);

// Leading and trailing blanks (spaces only, as the data files pad them) removed.
QString trimSpaces(QStringView text);

// "(" + first three characters + ") " + characters 4 to 6 + "-" + last four characters.
QString formatPhone(const QString& digits);
// The same into `out`, whose storage is reused.
void formatPhone(QStringView digits, QString& out);

} // namespace intake
