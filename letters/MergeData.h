#pragma once

#include <QString>
#include <vector>

namespace files {
class TextWriter;
}

// The merge data files the word processor merges into the templates: tab-separated, every field in
// double quotes without escaping, a header line of field names, Windows-1252, CR LF.
namespace letters {

// The folder that receives the merge data files: the user data folder, or with the command-line
// argument "devenv" (any case) the development folder.
QString MergeDataFolder();

inline const QString kMergeDataFile = QStringLiteral("/MergeData.txt");
inline const QString kCallDataFile = QStringLiteral("/CallData.txt");

// The writers take the selected names' IDs in list order, however many: the IDs reach the queries
// through a temporary table, and the records come in list order.

// Call list: header, then the selected names that have a phone. Returns the number of records.
int WriteCallListData(files::TextWriter& out, const std::vector<qint32>& ids);
// Preview: header and the one sample record; no database access.
void WritePreviewData(files::TextWriter& out);
// Letters: header, then one record per selected name with the chosen dealership and contact.
void WritePrintData(files::TextWriter& out, const std::vector<qint32>& ids, qint32 contactId,
                    qint32 dealerId);

// After a print without error each printed name moves one step: not printed, printed, followed. All the
// names change in one statement, or none does.
void UpdatePrintedStatus(const std::vector<qint32>& ids);

} // namespace letters
