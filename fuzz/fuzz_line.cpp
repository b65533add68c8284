// libFuzzer target for the data-file line rules: the field count of a first line and the splitting of
// a line into a layout's fields. Neither may hang, crash or read out of bounds on any input, and on
// lines without double quotes both must agree with a plain split at the commas.
#include "errors/Failure.h"
#include "intake/LineSplitter.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the layout width, the rest is the line as the file holds it (8-bit text).
    const int count = 1 + data[0] % intake::MaxFields;
    const QString line = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const qint16 fields = intake::countFields(line);
    if (fields < 1)
        std::abort();

    intake::FieldArray values;
    values[intake::MaxFields - 1] = QStringLiteral("untouched");
    bool failed = false;
    try {
        intake::splitLine(line, count, values);
    } catch (const Failure& failure) {
        if (failure.number() == 0 || failure.description().isEmpty())
            std::abort();
        failed = true;
    }
    if (!failed && count < intake::MaxFields && values[intake::MaxFields - 1] != QLatin1String("untouched"))
        std::abort(); // entries past the layout are not the splitter's to change

    if (!line.contains(QLatin1Char('"')) && !line.contains(QLatin1Char('\n'))) {
        const QStringList parts = line.split(QLatin1Char(','));
        if (fields != std::min<qsizetype>(parts.size(), 32767))
            std::abort();
        // Enough commas: every field is its part, the last one takes the rest, commas included.
        if (parts.size() >= count) {
            if (failed)
                std::abort();
            for (int i = 0; i < count - 1; ++i)
                if (values[i] != intake::trimSpaces(parts[i]))
                    std::abort();
            if (values[count - 1] != intake::trimSpaces(parts.mid(count - 1).join(QLatin1Char(','))))
                std::abort();
        } else if (!failed) {
            std::abort(); // too few commas must reject the line
        }
    }
    for (int i = 0; i < count && !failed; ++i)
        if (values[i].startsWith(QLatin1Char(' ')) || values[i].endsWith(QLatin1Char(' ')))
            std::abort();
    return 0;
}
