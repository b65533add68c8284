// libFuzzer target for the merge data file reader: any bytes are read or refused with a clear failure,
// in time proportional to their length; every record has one value per field name, and a file without
// quotes or line breaks inside its values reads as a plain split at the TABs.
#include "errors/Failure.h"
#include "wordproc/DataSource.h"
#include "wordproc/WordErrors.h"

#include <QStringDecoder>
#include <cstdint>
#include <cstdlib>

using namespace wordproc;

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::shared_ptr<const DataSource> source;
    try {
        source = DataSource::parse(bytes, QStringLiteral("fuzz.txt"));
    } catch (const Failure& failure) {
        check(failure.number() == errors::DataSourceUnreadable && failure.description().contains("fuzz.txt"));
        return 0;
    }
    const QStringList& fields = source->fieldNames();
    check(!fields.isEmpty());
    for (int c = 0; c < fields.size(); ++c) {
        const int found = source->fieldIndex(fields.at(c));
        check(found >= 0 && found <= c && fields.at(found).compare(fields.at(c), Qt::CaseInsensitive) == 0);
    }
    check(source->value(-1, 0).isEmpty() && source->value(source->recordCount(), 0).isEmpty());
    check(source->value(0, int(fields.size())).isEmpty());

    if (bytes.contains('"') || bytes.contains('\r'))
        return 0;
    // Unquoted: one record per non-empty line, its values split at the TABs; extra ones go into the last.
    const QString text = QStringDecoder("windows-1252").decode(bytes);
    QStringList lines = text.split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    lines.removeFirst();
    lines.removeAll(QString());
    check(source->recordCount() == lines.size());
    for (int r = 0; r < lines.size(); ++r) {
        const QStringList parts = lines.at(r).split(QLatin1Char('\t'));
        for (int c = 0; c + 1 < fields.size(); ++c)
            check(source->value(r, c) == (c < parts.size() ? parts.at(c) : QString()));
    }
    return 0;
}
