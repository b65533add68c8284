#pragma once

#include <QString>
#include <QtGlobal>
#include <vector>

namespace db {
class Connection;
}
namespace files {
class TextWriter;
}

// The merge data files the word processor merges into the templates: tab-separated, every field in
// double quotes without escaping, a header line of field names, Windows-1252, CR LF.
namespace letters {

// The merge data files, in the folder that start-up chose for them (Folders::mergeDataFolder in the
// AppContext).
inline const QString kMergeDataFile = QStringLiteral("/MergeData.txt");
inline const QString kCallDataFile = QStringLiteral("/CallData.txt");

// The writers take the selected names' IDs in list order, however many: the IDs reach the queries
// through a temporary table of `connection`, and the records come in list order.

// Call list: header, then the selected names that have a phone. Returns the number of records.
int writeCallListData(db::Connection& connection, files::TextWriter& out, const std::vector<qint32>& ids);
// Preview: header and the one sample record; no database access.
void writePreviewData(files::TextWriter& out);
// Letters: header, then one record per selected name with the chosen dealership and contact.
void writePrintData(db::Connection& connection, files::TextWriter& out, const std::vector<qint32>& ids,
                    qint32 contactId, qint32 dealerId);

// After a print without error each printed name moves one step: not printed, printed, followed. All the
// names change in one statement, or none does.
void updatePrintedStatus(db::Connection& connection, const std::vector<qint32>& ids);

} // namespace letters
