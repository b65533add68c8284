#pragma once

#include "database/Database.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The lead list's reads and writes of the database, apart from any window: the source dates, the query
// behind the name list, and deleting names. Everything here needs Qt Core alone.
namespace leads {

// Where the names of the list come from: the chosen source dates, or a name search.
enum class ListSource { Dates, Search };

// Which names the list shows by their print status, in the order of the Display box.
enum class DisplayFilter { AllNames, NotPrinted, PrintedOnly };

// The list's columns, in the order of the header buttons.
enum class SortColumn { Court, Name, Street, CityState, Zip, Phone, FileDate, Discharge, Printed };
inline constexpr int kSortColumnCount = 9;

struct SortOrder {
    SortColumn column = SortColumn::Street;
    bool ascending = true;
    // The ORDER BY clause, as the merge data files sort too ("Street ASC").
    QString clause() const;
};

// What the name list shows.
struct LeadQuery {
    ListSource source = ListSource::Dates;
    std::vector<qint32> dataFileIds; // the chosen source dates (DataFiles.ID), none: no names
    QStringList searchTerms;         // the searched texts, newest first; % and _ are wildcards
    DisplayFilter filter = DisplayFilter::AllNames;
    SortOrder sort;
};

// The WHERE and ORDER BY clauses of the name list's query, with a ? for the pattern of each search
// term, and the patterns.
QString leadListCondition(const LeadQuery& query);
QVariantList leadListParameters(const LeadQuery& query);

// A recorded data file: its ID and source date (a QDate, Null for none).
struct DataFileEntry {
    qint32 id = 0;
    QVariant date;
};
// Every recorded data file, newest source date first.
std::vector<DataFileEntry> dataFilesNewestFirst(db::Connection& connection);

// Deletes the names with these IDs (a selection of any length) in one statement: all of them go or, on a
// failure, none. Their data files stay.
void deleteNames(db::Connection& connection, const std::vector<qint32>& ids);

} // namespace leads
