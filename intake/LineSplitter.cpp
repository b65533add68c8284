#include "intake/LineSplitter.h"

#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"

#include <algorithm>
#include <limits>

namespace intake {

qint16 countFields(QStringView line) {
    const qsizetype length = line.size();
    qint32 count = 1;
    qsizetype pos = 0;
    for (;;) {
        qsizetype comma;
        if (pos < length && line[pos] == u'"') {
            const qsizetype closing = line.indexOf(u'"', pos + 1);
            // Counted as the last field: searching on from the start of the line again would never end.
            if (closing < 0)
                break;
            comma = line.indexOf(u',', closing + 1);
        } else {
            comma = line.indexOf(u',', pos);
        }
        if (comma < 0)
            break;
        if (count == std::numeric_limits<qint16>::max())
            break;
        ++count;
        pos = comma + 1;
    }
    return static_cast<qint16>(count);
}

namespace {

QStringView trimmedView(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

// Writes into the field's own storage when nobody else holds it, so that a large file does not need
// a new string per field; otherwise (the previous value still held elsewhere) a fresh one is made.
void assign(QString& field, QStringView value) {
    if (field.isDetached() && field.capacity() >= value.size()) {
        field.resize(value.size());
        std::copy(value.begin(), value.end(), field.begin());
    } else {
        field = value.toString();
    }
}

} // namespace

QString trimSpaces(QStringView text) {
    return trimmedView(text).toString();
}

void splitLine(QStringView line, int count, FieldArray& fields) {
    if (count < 1 || count > MaxFields)
        throw Failure(ErrorNumbers::SubscriptOutOfRange, QStringLiteral("Subscript out of range"));
    const qsizetype length = line.size();
    qsizetype pos = 0;
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        QStringView value;
        if (pos < length && line[pos] == u'"') {
            const qsizetype closing = line.indexOf(u'"', pos + 1);
            if (closing < 0) {
                if (!last)
                    throw Failure(ErrorNumbers::InvalidArgument,
                                  QStringLiteral("Field %1 has no closing double quote").arg(i + 1));
                value = line.mid(pos + 1);
                pos = length;
            } else {
                value = line.mid(pos + 1, closing - pos - 1);
                pos = std::min(closing + 2, length); // the character after the quote stands for the comma
            }
        } else if (last) {
            value = line.mid(pos);
            pos = length;
        } else {
            const qsizetype comma = line.indexOf(u',', pos);
            if (comma < 0)
                throw Failure(ErrorNumbers::InvalidArgument,
                              QStringLiteral("Field %1 is not followed by a comma").arg(i + 1));
            value = line.mid(pos, comma - pos);
            pos = comma + 1;
        }
        assign(fields[i], trimmedView(value));
    }
}

void formatPhone(QStringView text, QString& phone) {
    phone.clear();
    phone.reserve(14);
    phone.append(QLatin1Char('('));
    phone.append(text.left(3));
    phone.append(QLatin1String(") "));
    phone.append(text.mid(3, 3));
    phone.append(QLatin1Char('-'));
    phone.append(text.right(4));
}

QString formatPhone(const QString& digits) {
    QString phone;
    formatPhone(digits, phone);
    return phone;
}

} // namespace intake
