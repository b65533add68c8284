// Conversion of values between QVariant and SQLite, by column kind (ColumnValues.h).
#include "database/ColumnValues.h"

#include "database/Database.h"
#include "database/DbErrors.h"
#include "database/Statement.h"
#include "errors/Failure.h"

#include <cmath>
#include <limits>
#include <sqlite3.h>

namespace db {

Kind kindOfDeclaredType(const QString& declared, int* maxLength) {
    *maxLength = -1;
    const QString type = declared.trimmed().toUpper();
    if (type.isEmpty())
        return Kind::Dynamic;
    const qsizetype paren = type.indexOf(QLatin1Char('('));
    const QString base = (paren >= 0 ? type.left(paren) : type).trimmed();
    if (base == u"TEXT" || base == u"VARCHAR" || base == u"CHAR" || base == u"NVARCHAR" || base == u"NCHAR" ||
        base == u"CHARACTER" || base == u"MEMO") {
        if (paren >= 0) {
            const qsizetype close = type.indexOf(QLatin1Char(')'), paren);
            bool ok = false;
            const int n = type.mid(paren + 1, close - paren - 1).trimmed().toInt(&ok);
            if (ok && n > 0)
                *maxLength = n;
        }
        return Kind::Text;
    }
    if (base == u"DATETIME" || base == u"DATE" || base == u"TIMESTAMP")
        return Kind::DateTime;
    if (base == u"YESNO" || base == u"BOOLEAN" || base == u"BIT" || base == u"BOOL")
        return Kind::YesNo;
    if (base.contains(u"INT") || base == u"COUNTER" || base == u"AUTOINCREMENT")
        return Kind::Integer;
    if (base == u"REAL" || base == u"DOUBLE" || base == u"FLOAT" || base == u"NUMERIC" ||
        base == u"DECIMAL" || base == u"CURRENCY")
        return Kind::Real;
    if (base.contains(u"TEXT") || base.contains(u"CHAR") || base.contains(u"CLOB"))
        return Kind::Text;
    return Kind::Dynamic;
}

namespace {

// Whole numbers read back as int where they fit, as Jet's Long columns did.
QVariant wholeNumber(qint64 n) {
    if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
        return QVariant(static_cast<int>(n));
    return QVariant(n);
}

// Appends `text` as UTF-8 (lone surrogates become U+FFFD, as QString::toUtf8 does).
void appendUtf8(std::string& out, QStringView text) {
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    const size_t start = out.size();
    out.resize(start + size_t(n) * 3);
    char* w = out.data() + start;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = p[i];
        if (c < 0x80) {
            *w++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && p[i + 1] >= 0xDC00 && p[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *w++ = char(0xC0 | (c >> 6));
            *w++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *w++ = char(0xE0 | (c >> 12));
            *w++ = char(0x80 | ((c >> 6) & 0x3F));
            *w++ = char(0x80 | (c & 0x3F));
        } else { // two UTF-16 units gave four bytes: within the three reserved per unit
            *w++ = char(0xF0 | (c >> 18));
            *w++ = char(0x80 | ((c >> 12) & 0x3F));
            *w++ = char(0x80 | ((c >> 6) & 0x3F));
            *w++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(size_t(w - out.data()));
}

bool isNumeric(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

QString shownValue(const QVariant& v) {
    return v.toString();
}

[[noreturn]] void raiseMismatch(const QVariant& v, const char* what, const ColumnInfo& column) {
    raise(DbErrors::DataTypeMismatch, QStringLiteral("Data type mismatch: '%1' is not %2 for column %3.")
                                          .arg(shownValue(v), QLatin1String(what), column.name));
}

// A value set on a date column as the date it stands for; fails for anything that is no date.
DateParts datePartsOfValue(const QVariant& v, const ColumnInfo& column) {
    DateParts parts;
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime d = v.toDateTime();
        if (d.isValid())
            return partsOf(d);
        break;
    }
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        if (d.isValid()) {
            d.getDate(&parts.year, &parts.month, &parts.day);
            return parts;
        }
        break;
    }
    case QMetaType::QString:
        if (parseDateParts(*static_cast<const QString*>(v.constData()), parts))
            return parts;
        break;
    default:
        if (isNumeric(v) && std::isfinite(v.toDouble()) && std::abs(v.toDouble()) < 3.0e6)
            return partsOf(dateFromSerial(v.toDouble()));
        break;
    }
    raiseMismatch(v, "a date", column);
}

bool yesNoOfValue(const QVariant& v, const ColumnInfo& column) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumeric(v))
        return v.toDouble() != 0.0;
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        if (t.compare(u"true", Qt::CaseInsensitive) == 0 || t.compare(u"yes", Qt::CaseInsensitive) == 0 ||
            t.compare(u"on", Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(u"false", Qt::CaseInsensitive) == 0 || t.compare(u"no", Qt::CaseInsensitive) == 0 ||
            t.compare(u"off", Qt::CaseInsensitive) == 0)
            return false;
        bool ok = false;
        const double n = t.toDouble(&ok);
        if (ok)
            return n != 0.0;
    }
    raiseMismatch(v, "a yes/no value", column);
}

qint64 integerOfValue(const QVariant& v, const ColumnInfo& column) {
    if (v.typeId() == QMetaType::Bool)
        return v.toBool() ? -1 : 0;
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        const double d = v.toDouble();
        if (std::isfinite(d) && d >= -9.2e18 && d <= 9.2e18)
            return static_cast<qint64>(std::llround(d));
        raiseMismatch(v, "a number", column);
    }
    bool ok = false;
    const qint64 n = isNumeric(v) ? v.toLongLong(&ok) : v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        raiseMismatch(v, "a number", column);
    return n;
}

void appendText(std::string& scratch, BoundValue& out, QStringView text) {
    out.type = BoundValue::Text;
    out.offset = scratch.size();
    appendUtf8(scratch, text);
    out.length = scratch.size() - out.offset;
}

// A date in its stored text form, already formatted into `text`.
void appendStoredDate(std::string& scratch, BoundValue& out, const char* text, int length) {
    out.type = BoundValue::Text;
    out.offset = scratch.size();
    out.length = size_t(length);
    scratch.append(text, size_t(length));
}

} // namespace

void convertText(QStringView text, const ColumnInfo& column, std::string& scratch, BoundValue& out) {
    switch (column.kind) {
    case Kind::DateTime: {
        DateParts parts;
        char buffer[24];
        const int n = parseDateParts(text, parts) ? formatStoredDate(parts, buffer) : 0;
        if (n == 0)
            raiseMismatch(QVariant(text.toString()), "a date", column);
        appendStoredDate(scratch, out, buffer, n);
        return;
    }
    case Kind::YesNo:
    case Kind::Integer:
    case Kind::Real:
        // Numbers and yes/no written as text are rare; they take the general road.
        convertValue(QVariant(text.toString()), column, scratch, out);
        return;
    case Kind::Text:
    case Kind::Dynamic:
        break;
    }
    if (column.maxLength >= 0 && text.size() > column.maxLength)
        raise(DbErrors::ValueRefused,
              QStringLiteral(
                  "The field is too small to accept the amount of data you attempted to add: column %1 "
                  "holds at most %2 characters, the value '%3' has %4.")
                  .arg(column.name)
                  .arg(column.maxLength)
                  .arg(text)
                  .arg(text.size()));
    appendText(scratch, out, text);
}

void convertValue(const QVariant& v, const ColumnInfo& column, std::string& scratch, BoundValue& out) {
    out.type = BoundValue::Null;
    if (v.isNull())
        return;
    if (v.typeId() == QMetaType::QString &&
        (column.kind == Kind::DateTime || column.kind == Kind::Text || column.kind == Kind::Dynamic)) {
        convertText(*static_cast<const QString*>(v.constData()), column, scratch, out);
        return;
    }
    switch (column.kind) {
    case Kind::DateTime: {
        char buffer[24];
        const int n = formatStoredDate(datePartsOfValue(v, column), buffer);
        if (n == 0)
            raiseMismatch(v, "a date", column);
        appendStoredDate(scratch, out, buffer, n);
        return;
    }
    case Kind::YesNo:
        out.type = BoundValue::Integer;
        out.integer = yesNoOfValue(v, column) ? -1 : 0;
        return;
    case Kind::Integer:
        out.type = BoundValue::Integer;
        out.integer = integerOfValue(v, column);
        return;
    case Kind::Real: {
        bool ok = false;
        const double d =
            v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        if (!ok)
            raiseMismatch(v, "a number", column);
        out.type = BoundValue::Real;
        out.real = d;
        return;
    }
    case Kind::Text:
    case Kind::Dynamic:
        break;
    }
    if (column.kind == Kind::Dynamic && isNumeric(v)) {
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            out.type = BoundValue::Real;
            out.real = v.toDouble();
        } else {
            out.type = BoundValue::Integer;
            out.integer = v.toLongLong();
        }
        return;
    }
    if (column.kind == Kind::Dynamic && v.typeId() == QMetaType::QByteArray) {
        const QByteArray& bytes = *static_cast<const QByteArray*>(v.constData());
        out.type = BoundValue::Blob;
        out.offset = scratch.size();
        out.length = size_t(bytes.size());
        scratch.append(bytes.constData(), size_t(bytes.size()));
        return;
    }
    QString converted;
    if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate) {
        char buffer[24];
        const int n = formatStoredDate(datePartsOfValue(v, column), buffer);
        converted = QString::fromLatin1(buffer, n);
    } else {
        converted = v.toString();
    }
    convertText(converted, column, scratch, out);
}

void bindValue(sqlite3_stmt* statement, int parameter, const BoundValue& value, const std::string& scratch) {
    int rc = SQLITE_OK;
    switch (value.type) {
    case BoundValue::Null:
        rc = sqlite3_bind_null(statement, parameter);
        break;
    case BoundValue::Integer:
        rc = sqlite3_bind_int64(statement, parameter, value.integer);
        break;
    case BoundValue::Real:
        rc = sqlite3_bind_double(statement, parameter, value.real);
        break;
    case BoundValue::Text:
        rc = sqlite3_bind_text(statement, parameter, scratch.data() + value.offset, int(value.length),
                               SQLITE_STATIC);
        break;
    case BoundValue::Blob:
        rc = sqlite3_bind_blob(statement, parameter, scratch.data() + value.offset, int(value.length),
                               SQLITE_STATIC);
        break;
    }
    if (rc != SQLITE_OK)
        raiseEngineFailure(sqlite3_db_handle(statement));
}

QVariant readBack(const QVariant& v, const ColumnInfo& column) {
    if (v.isNull())
        return {};
    try {
        switch (column.kind) {
        case Kind::DateTime:
            return dateTimeOf(datePartsOfValue(v, column));
        case Kind::YesNo:
            return yesNoOfValue(v, column);
        case Kind::Integer:
            return wholeNumber(integerOfValue(v, column));
        case Kind::Text:
            return v.typeId() == QMetaType::QString ? v : QVariant(v.toString());
        default:
            return v;
        }
    } catch (const Failure&) {
        return v;
    }
}

QVariant defaultFor(const QString& declaredDefault, bool hasDefault, Kind kind) {
    if (!hasDefault)
        return {};
    QString text = declaredDefault.trimmed();
    if (text.startsWith(QLatin1Char('(')) && text.endsWith(QLatin1Char(')')))
        text = text.mid(1, text.size() - 2).trimmed();
    if (text.compare(u"NULL", Qt::CaseInsensitive) == 0)
        return {};
    if (text.size() >= 2 && text.startsWith(QLatin1Char('\'')) && text.endsWith(QLatin1Char('\'')))
        text = text.mid(1, text.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    switch (kind) {
    case Kind::YesNo: {
        bool ok = false;
        const double n = text.toDouble(&ok);
        if (ok)
            return QVariant(n != 0.0);
        return QVariant(text.compare(u"true", Qt::CaseInsensitive) == 0);
    }
    case Kind::Integer: {
        bool ok = false;
        const int n = text.toInt(&ok);
        return ok ? QVariant(n) : QVariant(text);
    }
    case Kind::Real: {
        bool ok = false;
        const double n = text.toDouble(&ok);
        return ok ? QVariant(n) : QVariant(text);
    }
    case Kind::DateTime: {
        const QDateTime d = parseDateText(text);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    default:
        return QVariant(text);
    }
}

QVariant readColumn(sqlite3_stmt* statement, int column, Kind kind, DateCache& dates) {
    const int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL)
        return {};
    switch (kind) {
    case Kind::YesNo:
        return QVariant(sqlite3_column_int64(statement, column) != 0);
    case Kind::Integer:
        if (type == SQLITE_INTEGER)
            return wholeNumber(sqlite3_column_int64(statement, column));
        break;
    case Kind::Text:
        if (type == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement, column)));
        }
        break;
    case Kind::DateTime:
        if (type == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            const int length = sqlite3_column_bytes(statement, column);
            const QDateTime date = dateFromStored(text, length, dates);
            if (date.isValid())
                return QVariant(date);
            return QVariant(QString::fromUtf8(text, length));
        }
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return QVariant(dateFromSerial(sqlite3_column_double(statement, column)));
        break;
    case Kind::Real:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return QVariant(sqlite3_column_double(statement, column));
        break;
    case Kind::Dynamic:
        break;
    }
    switch (type) {
    case SQLITE_INTEGER:
        return wholeNumber(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                              sqlite3_column_bytes(statement, column)));
    default:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                   sqlite3_column_bytes(statement, column)));
    }
}

QVariant readSaved(const BoundValue& value, Kind kind, const std::string& scratch, DateCache& dates) {
    switch (value.type) {
    case BoundValue::Null:
        return {};
    case BoundValue::Integer:
        if (kind == Kind::YesNo)
            return QVariant(value.integer != 0);
        return wholeNumber(value.integer);
    case BoundValue::Real:
        return QVariant(value.real);
    case BoundValue::Text: {
        const char* text = scratch.data() + value.offset;
        if (kind == Kind::DateTime) {
            const QDateTime date = dateFromStored(text, int(value.length), dates);
            if (date.isValid())
                return QVariant(date);
        }
        return QVariant(QString::fromUtf8(text, qsizetype(value.length)));
    }
    case BoundValue::Blob:
        return QVariant(QByteArray(scratch.data() + value.offset, qsizetype(value.length)));
    }
    return {};
}

} // namespace db
