#pragma once

#include <QtGlobal>

// Numbers of the failures the word processor raises, in the numbering the automation server used, so
// that a caller that knew those numbers (4198 above all) keeps working.
namespace wordproc::errors {
constexpr qint32 CommandFailed = 4198;        // "Command failed": the print dialog was cancelled
constexpr qint32 NoDocumentOpen = 4248;       // a closed document or a quit application was used
constexpr qint32 NotAvailable = 4605;         // merge without a data source, editing a template
constexpr qint32 UnreadableDocument = 5151;   // a template that is not readable RTF
constexpr qint32 FileNotFound = 5174;         // a template or data file that does not exist
constexpr qint32 PrinterError = 5216;         // the chosen printer or PDF file could not be started
constexpr qint32 NoRecords = 5631;            // a data source without records
constexpr qint32 MergeFieldMissing = 5852;    // a merge field that the data source lacks
constexpr qint32 DataSourceUnreadable = 5922; // a data file without a header line, or unreadable
constexpr qint32 NoSuchMember = 5941;         // Documents.Item with an index outside the collection
constexpr qint32 BadArgument = 5;             // a value outside what an operation accepts
constexpr qint32 DocumentTooLong = 5999;      // one copy of a merge too long to lay out
} // namespace wordproc::errors
