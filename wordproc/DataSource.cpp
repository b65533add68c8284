#include "wordproc/DataSource.h"

#include "errors/Failure.h"
#include "wordproc/WordErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace wordproc {

namespace {

const QString kSeparator = QStringLiteral("\"\t\"");

// The fields of one line: quoted fields split at quote-TAB-quote, so that a quote or TAB inside a
// value stays in it; a line written without quotes falls back to plain TABs.
QStringList splitLine(const QString& line) {
    if (line.size() >= 2 && line.startsWith(QLatin1Char('"')) && line.endsWith(QLatin1Char('"')))
        return line.mid(1, line.size() - 2).split(kSeparator);
    QStringList fields = line.split(QLatin1Char('\t'));
    for (QString& f : fields)
        if (f.size() >= 2 && f.startsWith(QLatin1Char('"')) && f.endsWith(QLatin1Char('"')))
            f = f.mid(1, f.size() - 2);
    return fields;
}

// A line that is a record by itself never continues the one before: a short line stays short.
bool isWholeRecord(const QString& line, qsizetype expected) {
    return expected > 1 && line.startsWith(QLatin1Char('"')) && line.endsWith(QLatin1Char('"')) &&
           line.count(kSeparator) == expected - 1;
}

} // namespace

std::shared_ptr<const DataSource> DataSource::read(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    if (!QFileInfo(path).isFile())
        throw Failure(errors::FileNotFound,
                      QStringLiteral("The data source \"%1\" could not be found.").arg(shown));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            errors::DataSourceUnreadable,
            QStringLiteral("The data source \"%1\" could not be opened: %2.").arg(shown, file.errorString()));
    return parse(file.readAll(), shown);
}

std::shared_ptr<const DataSource> DataSource::parse(const QByteArray& bytes, const QString& name) {
    auto source = std::make_shared<DataSource>();
    source->m_name = name;
    QStringDecoder decoder("windows-1252");
    const QString text = decoder.decode(bytes);

    // Lines end with CR LF (LF alone is accepted too).
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);

    int i = 0;
    while (i < lines.size() && lines.at(i).isEmpty())
        ++i;
    if (i >= lines.size())
        throw Failure(errors::DataSourceUnreadable,
                      QStringLiteral("The data source \"%1\" has no header line of field names.").arg(name));
    source->m_fields = splitLine(lines.at(i++));
    for (QString& f : source->m_fields)
        f = f.trimmed();
    // From the last column back, so that a name given twice finds its first column.
    for (int c = int(source->m_fields.size()) - 1; c >= 0; --c)
        source->m_index.insert(source->m_fields.at(c).toCaseFolded(), c);
    const qsizetype expected = source->m_fields.size();

    while (i < lines.size()) {
        QString line = lines.at(i++);
        if (line.isEmpty())
            continue;
        // A value holding a line break continues on the next line: the record is complete once it
        // has every separator and ends with its closing quote.
        // The separators are counted line by line (none can span the line break that joins two), so
        // that a quote that is never closed costs time in proportion to the file, not its square.
        if (line.startsWith(QLatin1Char('"'))) {
            qsizetype separators = line.count(kSeparator);
            while ((separators < expected - 1 || !line.endsWith(QLatin1Char('"')) || line.size() < 2) &&
                   i < lines.size() && !(lines.at(i).isEmpty() && i + 1 >= lines.size()) &&
                   !isWholeRecord(lines.at(i), expected)) {
                separators += lines.at(i).count(kSeparator);
                line += QStringLiteral("\r\n") + lines.at(i++);
            }
        }
        QStringList values = splitLine(line);
        if (values.size() > expected && expected > 0) {
            // Extra separators inside the last value: they belong to it.
            const QString tail = values.mid(expected - 1).join(kSeparator);
            values = values.mid(0, expected - 1);
            values << tail;
        }
        while (values.size() < expected)
            values << QString();
        source->m_records.push_back(std::move(values));
    }
    return source;
}

int DataSource::fieldIndex(const QString& field) const {
    return m_index.value(field.toCaseFolded(), -1);
}

QString DataSource::value(int record, int column) const {
    if (record < 0 || record >= recordCount())
        return {};
    const QStringList& r = m_records[size_t(record)];
    return column >= 0 && column < r.size() ? r.at(column) : QString();
}

} // namespace wordproc
