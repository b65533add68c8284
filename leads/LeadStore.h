#pragma once

#include "database/Database.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <array>
#include <iterator>
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

// How a column's value becomes its piece of a list line.
enum class CellFormat {
    Text,      // as stored; Null shows empty
    Fitted,    // cut with "..." to the column's width
    ShortDate, // "m/d/yy"; Null shows empty
    Mark,      // "+" when true; when false the line ends before it, without a tab
};

// Everything the program knows about one column of the name list: the stored values it shows, its
// header button above the list, and where its text stands in the line.
struct ListColumn {
    SortColumn sort;
    // The Names columns shown, joined by ", " when there are two; the first is the one it sorts by.
    const char* fields[2];
    CellFormat format;
    bool required;          // a Null stops the list ("Invalid use of Null"): its text cannot be formed
    const char* caption;    // the header button's caption
    const char* objectName; // the header button's name
    const char* tip;        // the header button's tool tip, "" for none
    int left;               // the header's left edge in twips of the window
    int width;              // the header's width in twips; a Fitted text is cut to it
    int tabStop;            // the list's tab stop that ends the column, in dialog units of its font
};

// The name list's columns, left to right: the header row above the list, the list's lines, their order
// and the tests all read them here.
// One line a column, so that a column's every property reads in one place.
// clang-format off
inline constexpr ListColumn kListColumns[] = {
    // sort                 fields             format                 required caption       objectName         tip                       left   width tabStop
    {SortColumn::Court,     {"Court_ID"},      CellFormat::Text,      false, "Court",       "sortByCourt",     "",                       90,    555,  23},
    {SortColumn::Name,      {"Name"},          CellFormat::Fitted,    true,  "Name",        "sortByName",      "Sort by Name",           644,   1995, 112},
    {SortColumn::Street,    {"Street"},        CellFormat::Fitted,    true,  "Street",      "sortByStreet",    "Sort by Street Address", 2638,  2085, 204},
    {SortColumn::CityState, {"City", "State"}, CellFormat::Fitted,    false, "City, State", "sortByCity",      "",                       4722,  1875, 288},
    {SortColumn::Zip,       {"Zip"},           CellFormat::Text,      false, "Zip",         "sortByZip",       "",                       6596,  645,  316},
    {SortColumn::Phone,     {"Phone"},         CellFormat::Text,      false, "Phone",       "sortByPhone",     "",                       7245,  1215, 369},
    {SortColumn::FileDate,  {"File"},          CellFormat::ShortDate, false, "File Date",   "sortByFileDate",  "",                       8460,  795,  405},
    {SortColumn::Discharge, {"Discharge"},     CellFormat::ShortDate, false, "Disch.",      "sortByDischarge", "",                       9255,  765,  441},
    {SortColumn::Printed,   {"Printed"},       CellFormat::Mark,      false, "P",           "sortByPrinted",   "",                       10035, 315,  450},
};
// clang-format on
inline constexpr int kListColumnCount = static_cast<int>(std::size(kListColumns));
inline constexpr int kSortColumnCount = kListColumnCount;

// The column that sorts by `sort`.
constexpr const ListColumn& listColumn(SortColumn sort) {
    for (const ListColumn& column : kListColumns)
        if (column.sort == sort)
            return column;
    return kListColumns[0];
}

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

// Reads the IDs of the names `query` lists into `ids`, in list order. A name without a value its line
// needs (a required column) stops the read there as a failure ("Invalid use of Null"); on any failure
// the IDs read before it stay in `ids` and the failure is raised.
void readLeadIds(db::Connection& connection, const LeadQuery& query, std::vector<qint32>& ids);

// One name as the list shows it, before its texts are fitted to their columns: a piece of text per
// column of kListColumns, in their order.
struct LeadRow {
    qint32 id = 0;
    std::array<QString, kListColumnCount> cells;
};
// The rows of the names with these IDs (a batch: they go into the statement as numbers), in the order of
// `ids`; an ID no longer in the table gives a row with ID 0 and no text. A Null in a required column
// raises "Invalid use of Null".
std::vector<LeadRow> leadRows(db::Connection& connection, const std::vector<qint32>& ids);

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
