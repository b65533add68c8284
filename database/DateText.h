#pragma once

#include <QDateTime>
#include <QHash>
#include <QStringView>

// Dates on their way into and out of the database. A date/time column stores the text
// "YYYY-MM-DD HH:MM:SS"; what a caller writes to one may be a QDateTime or QDate, a date text in one of
// the forms parseDateText reads (M/D/YY, M/D/YYYY, YYYY-MM-DD, each optionally with a time), or a Jet day
// number (days since 30 December 1899). parseDateText, the public reading of date texts, is declared in
// database/Database.h and defined here.
//
// The write path works on DateParts rather than QDateTime so that saving a date never pays for the
// local-time arithmetic of QDateTime; the read path looks dates up in a per-connection cache first,
// since a lead list holds few distinct dates.
namespace db {

struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// The date texts parseDateText accepts; false for anything else.
bool parseDateParts(QStringView text, DateParts& out);

DateParts partsOf(const QDateTime& value);
QDateTime dateTimeOf(const DateParts& parts);

// Jet stored dates as days since 30 December 1899; numbers handed to a date column keep that meaning.
QDateTime dateFromSerial(double days);

using DateCache = QHash<quint64, QDateTime>;

// Reads the stored form quickly (through the cache); anything else goes through parseDateText.
QDateTime dateFromStored(const char* text, int length, DateCache& cache);

// Writes "YYYY-MM-DD HH:MM:SS" (19 characters) for years 0 to 9999; returns the length, 0 otherwise.
int formatStoredDate(const DateParts& parts, char* out);

} // namespace db
