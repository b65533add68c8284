#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace wordproc {

// The tab-separated merge data file: Windows-1252 text, the first line the field names, every field
// in double quotes and written without escaping. A value may therefore hold a double quote, a TAB or
// even a line break; the reader relies on the quote-TAB-quote that separates fields and on the number
// of fields the header gives to keep such a value whole.
class DataSource {
public:
    // Reads the file; a missing file fails with errors::FileNotFound, a file without a header line
    // with errors::DataSourceUnreadable.
    static std::shared_ptr<const DataSource> read(const QString& path);
    // The same from the file's bytes; `name` only names it in failure descriptions.
    static std::shared_ptr<const DataSource> parse(const QByteArray& bytes, const QString& name);

    const QString& name() const { return m_name; }
    const QStringList& fieldNames() const { return m_fields; }
    // The column of a field, compared without regard to case; -1 when there is none.
    int fieldIndex(const QString& field) const;
    int recordCount() const { return int(m_records.size()); }
    // An empty text for a record or column outside the file.
    QString value(int record, int column) const;

private:
    QString m_name;
    QStringList m_fields;
    QHash<QString, int> m_index; // case-folded field name: its first column
    std::vector<QStringList> m_records;
};

} // namespace wordproc
