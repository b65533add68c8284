#include "database/Database.h"

#include "database/CaseFolding.h"
#include "database/DbErrors.h"
#include "errors/Failure.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace db {

namespace {

// How a column's values are converted on their way in and out. Known from the declared type of the
// table column (or of the result column when it is an expression over one).
enum class Kind { Dynamic, Integer, Real, Text, DateTime, YesNo };

struct ColumnInfo {
    QString name;
    Kind kind = Kind::Dynamic;
    int maxLength = -1;      // TEXT(n): at most n characters; -1: no limit
    bool rowidAlias = false; // INTEGER PRIMARY KEY: the row's number, given by the database
    QVariant defaultValue;   // what a new row holds when the column is not set
};

struct TableInfo {
    QString name;
    QString quotedName; // [name], ready for SQL text
    std::vector<ColumnInfo> columns;
    QHash<QString, int> index; // lower-case name -> column
};

[[noreturn]] void raise(qint32 number, const QString& description) {
    throw Failure(number, description);
}

QString engineMessage(sqlite3* handle) {
    return QString::fromUtf8(sqlite3_errmsg(handle));
}

// Statements SQLite cannot prepare (syntax, unknown table or column) are the statement's fault; anything
// that fails while running is the engine's.
[[noreturn]] void raisePrepare(sqlite3* handle, int rc) {
    const int primary = rc & 0xff;
    raise(primary == SQLITE_ERROR ? DbErrors::StatementRejected : DbErrors::EngineFailure,
          engineMessage(handle));
}

[[noreturn]] void raiseStep(sqlite3* handle) {
    raise(DbErrors::EngineFailure, engineMessage(handle));
}

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

// A date and time as its parts; the write path works on these, so that saving a date never pays for
// the local-time arithmetic of QDateTime.
struct DateParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

bool parseDateParts(QStringView text, DateParts& out);

DateParts partsOf(const QDateTime& value) {
    const QDate date = value.date();
    const QTime time = value.time();
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    return {y, m, d, time.hour(), time.minute(), time.second()};
}

QDateTime dateTimeOf(const DateParts& p) {
    return QDateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second));
}

// Jet stored dates as days since 30 December 1899; numbers handed to a date column keep that meaning.
QDateTime dateFromSerial(double days) {
    static const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const qint64 whole = static_cast<qint64>(std::floor(days));
    const double fraction = days - static_cast<double>(whole);
    return zero.addDays(whole).addSecs(static_cast<qint64>(fraction * 86400.0 + 0.5));
}

// Dates read back are looked up here first: constructing a local QDateTime costs a time-zone
// calculation, and a lead list holds few distinct dates.
using DateCache = QHash<quint64, QDateTime>;

// Reading of the stored form "YYYY-MM-DD HH:MM:SS"; anything else goes through parseDateText.
QDateTime dateFromStored(const char* text, int length, DateCache& cache) {
    auto digits = [text](int at, int count) {
        int v = 0;
        for (int i = 0; i < count; ++i) {
            const char c = text[at + i];
            if (c < '0' || c > '9')
                return -1;
            v = v * 10 + (c - '0');
        }
        return v;
    };
    if (length == 19 && text[4] == '-' && text[7] == '-' && text[10] == ' ' && text[13] == ':' &&
        text[16] == ':') {
        const int y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2);
        const int h = digits(11, 2), mi = digits(14, 2), s = digits(17, 2);
        if (y >= 0 && mo >= 0 && d >= 0 && h >= 0 && mi >= 0 && s >= 0) {
            const quint64 key = (quint64(y) << 40) | (quint64(mo) << 32) | (quint64(d) << 24) |
                                (quint64(h) << 16) | (quint64(mi) << 8) | quint64(s);
            const auto found = cache.constFind(key);
            if (found != cache.constEnd())
                return found.value();
            if (QDate::isValid(y, mo, d) && QTime::isValid(h, mi, s)) {
                const QDateTime value(QDate(y, mo, d), QTime(h, mi, s));
                if (cache.size() >= 16384)
                    cache.clear();
                cache.insert(key, value);
                return value;
            }
        }
    }
    return parseDateText(QString::fromUtf8(text, length));
}

// Writes "YYYY-MM-DD HH:MM:SS" (19 characters) for years 0 to 9999; returns the length, 0 otherwise.
int formatStoredDate(const DateParts& p, char* out) {
    if (p.year < 0 || p.year > 9999)
        return 0;
    auto two = [](char* at, int v) {
        at[0] = char('0' + v / 10);
        at[1] = char('0' + v % 10);
    };
    out[0] = char('0' + p.year / 1000);
    out[1] = char('0' + p.year / 100 % 10);
    out[2] = char('0' + p.year / 10 % 10);
    out[3] = char('0' + p.year % 10);
    out[4] = '-';
    two(out + 5, p.month);
    out[7] = '-';
    two(out + 8, p.day);
    out[10] = ' ';
    two(out + 11, p.hour);
    out[13] = ':';
    two(out + 14, p.minute);
    out[16] = ':';
    two(out + 17, p.second);
    return 19;
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

QVariant readColumn(sqlite3_stmt* stmt, int column, Kind kind, DateCache& dates) {
    const int type = sqlite3_column_type(stmt, column);
    if (type == SQLITE_NULL)
        return {};
    switch (kind) {
    case Kind::YesNo:
        return QVariant(sqlite3_column_int64(stmt, column) != 0);
    case Kind::Integer:
        if (type == SQLITE_INTEGER) {
            const qint64 v = sqlite3_column_int64(stmt, column);
            if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
                return QVariant(static_cast<int>(v));
            return QVariant(v);
        }
        break;
    case Kind::Text:
        if (type == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(stmt, column)));
        }
        break;
    case Kind::DateTime:
        if (type == SQLITE_TEXT) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            const int length = sqlite3_column_bytes(stmt, column);
            const QDateTime date = dateFromStored(text, length, dates);
            if (date.isValid())
                return QVariant(date);
            return QVariant(QString::fromUtf8(text, length));
        }
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return QVariant(dateFromSerial(sqlite3_column_double(stmt, column)));
        break;
    case Kind::Real:
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
            return QVariant(sqlite3_column_double(stmt, column));
        break;
    case Kind::Dynamic:
        break;
    }
    switch (type) {
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(stmt, column);
        if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return QVariant(static_cast<int>(v));
        return QVariant(v);
    }
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
        return QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                                          sqlite3_column_bytes(stmt, column)));
    default:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                                   sqlite3_column_bytes(stmt, column)));
    }
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

// One value converted for its column, ready to bind. Text lives in the recordset's scratch buffer (by
// offset, since the buffer may grow while a row's values are converted).
struct Bound {
    enum Type { Null, Integer, Real, Text, Blob } type = Null;
    qint64 integer = 0;
    double real = 0;
    size_t offset = 0;
    size_t length = 0;
};

void appendText(std::string& scratch, Bound& out, QStringView text) {
    out.type = Bound::Text;
    out.offset = scratch.size();
    appendUtf8(scratch, text);
    out.length = scratch.size() - out.offset;
}

// Converts and checks one value for its column; raises the failure that refuses the row.
void convertValue(const QVariant& v, const ColumnInfo& column, std::string& scratch, Bound& out) {
    out.type = Bound::Null;
    if (v.isNull())
        return;
    switch (column.kind) {
    case Kind::DateTime: {
        char buffer[24];
        const int n = formatStoredDate(datePartsOfValue(v, column), buffer);
        if (n == 0)
            raiseMismatch(v, "a date", column);
        out.type = Bound::Text;
        out.offset = scratch.size();
        out.length = size_t(n);
        scratch.append(buffer, size_t(n));
        return;
    }
    case Kind::YesNo:
        out.type = Bound::Integer;
        out.integer = yesNoOfValue(v, column) ? -1 : 0;
        return;
    case Kind::Integer:
        out.type = Bound::Integer;
        out.integer = integerOfValue(v, column);
        return;
    case Kind::Real: {
        bool ok = false;
        const double d =
            v.typeId() == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        if (!ok)
            raiseMismatch(v, "a number", column);
        out.type = Bound::Real;
        out.real = d;
        return;
    }
    case Kind::Text:
    case Kind::Dynamic:
        break;
    }
    if (column.kind == Kind::Dynamic && isNumeric(v)) {
        if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            out.type = Bound::Real;
            out.real = v.toDouble();
        } else {
            out.type = Bound::Integer;
            out.integer = v.toLongLong();
        }
        return;
    }
    if (column.kind == Kind::Dynamic && v.typeId() == QMetaType::QByteArray) {
        const QByteArray& bytes = *static_cast<const QByteArray*>(v.constData());
        out.type = Bound::Blob;
        out.offset = scratch.size();
        out.length = size_t(bytes.size());
        scratch.append(bytes.constData(), size_t(bytes.size()));
        return;
    }
    QString converted;
    const QString* text = nullptr;
    if (v.typeId() == QMetaType::QString) {
        text = static_cast<const QString*>(v.constData());
    } else {
        if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate) {
            char buffer[24];
            const int n = formatStoredDate(datePartsOfValue(v, column), buffer);
            converted = QString::fromLatin1(buffer, n);
        } else {
            converted = v.toString();
        }
        text = &converted;
    }
    if (column.maxLength >= 0 && text->size() > column.maxLength)
        raise(DbErrors::ValueRefused,
              QStringLiteral(
                  "The field is too small to accept the amount of data you attempted to add: column %1 "
                  "holds at most %2 characters, the value '%3' has %4.")
                  .arg(column.name)
                  .arg(column.maxLength)
                  .arg(*text)
                  .arg(text->size()));
    appendText(scratch, out, *text);
}

void bindConverted(sqlite3_stmt* stmt, int parameter, const Bound& value, const std::string& scratch,
                   sqlite3* handle) {
    int rc = SQLITE_OK;
    switch (value.type) {
    case Bound::Null:
        rc = sqlite3_bind_null(stmt, parameter);
        break;
    case Bound::Integer:
        rc = sqlite3_bind_int64(stmt, parameter, value.integer);
        break;
    case Bound::Real:
        rc = sqlite3_bind_double(stmt, parameter, value.real);
        break;
    case Bound::Text:
        rc = sqlite3_bind_text(stmt, parameter, scratch.data() + value.offset, int(value.length),
                               SQLITE_STATIC);
        break;
    case Bound::Blob:
        rc = sqlite3_bind_blob(stmt, parameter, scratch.data() + value.offset, int(value.length),
                               SQLITE_STATIC);
        break;
    }
    if (rc != SQLITE_OK)
        raiseStep(handle);
}

// The value a saved column reads back as, from what was set on it.
QVariant readBack(const QVariant& v, const ColumnInfo& column) {
    if (v.isNull())
        return {};
    try {
        switch (column.kind) {
        case Kind::DateTime:
            return dateTimeOf(datePartsOfValue(v, column));
        case Kind::YesNo:
            return yesNoOfValue(v, column);
        case Kind::Integer: {
            const qint64 n = integerOfValue(v, column);
            if (n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
                return QVariant(static_cast<int>(n));
            return QVariant(n);
        }
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

// Masks of fields: recordsets that can change rows have at most 64 fields.
bool hasBit(quint64 mask, int i) {
    return i < 64 && ((mask >> i) & 1);
}

QString bracketed(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

// The position of `word` as a whole keyword in `sql`, outside quotes and brackets, from `from` on.
qsizetype findKeyword(const QString& sql, QStringView word, qsizetype from = 0) {
    QChar quote;
    for (qsizetype i = from; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            continue;
        }
        if (c == u'[') {
            quote = u']';
            continue;
        }
        if ((i == 0 || !(sql.at(i - 1).isLetterOrNumber() || sql.at(i - 1) == u'_')) &&
            QStringView(sql).mid(i).startsWith(word, Qt::CaseInsensitive)) {
            const qsizetype end = i + word.size();
            if (end >= sql.size() || !(sql.at(end).isLetterOrNumber() || sql.at(end) == u'_'))
                return i;
        }
    }
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------------------------------
// Text helpers

QString quoted(const QString& value) {
    QString out = value;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString adaptSql(const QString& jetSql) {
    // Only statements that start with one of the two Jet forms are touched; everything else (bracketed
    // names, LIKE with % and _, NOT on yes/no columns) SQLite reads as Jet did.
    static const QRegularExpression top(
        QStringLiteral("^(\\s*SELECT\\s+(?:(?:DISTINCT|ALL)\\s+)?)TOP\\s+(\\d+)\\s+"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression deleteAll(
        QStringLiteral("^(\\s*DELETE)\\s+(?:(?:\\[[^\\]]*\\]|\\w+)\\s*\\.\\s*)?\\*\\s*(FROM\\b)"),
        QRegularExpression::CaseInsensitiveOption);
    qsizetype start = 0;
    while (start < jetSql.size() && jetSql.at(start).isSpace())
        ++start;
    const QStringView head = QStringView(jetSql).mid(start);
    if (head.startsWith(u"SELECT", Qt::CaseInsensitive)) {
        const QRegularExpressionMatch m = top.match(jetSql);
        if (m.hasMatch()) {
            QString rest = jetSql.mid(m.capturedEnd(0));
            qsizetype end = rest.size();
            while (end > 0 && (rest.at(end - 1).isSpace() || rest.at(end - 1) == u';'))
                --end;
            rest.truncate(end);
            return m.captured(1) + rest + QStringLiteral(" LIMIT ") + m.captured(2);
        }
    } else if (head.startsWith(u"DELETE", Qt::CaseInsensitive)) {
        const QRegularExpressionMatch m = deleteAll.match(jetSql);
        if (m.hasMatch())
            return m.captured(1) + QLatin1Char(' ') + m.captured(2) + jetSql.mid(m.capturedEnd(0));
    }
    return jetSql;
}

namespace {

bool parseDateParts(QStringView input, DateParts& out) {
    const QStringView text = input.trimmed();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Reads 1..maxDigits digits; returns -1 when there is none.
    auto number = [&](int maxDigits, int* count) {
        int v = 0;
        int c = 0;
        while (i < n && c < maxDigits && text.at(i) >= u'0' && text.at(i) <= u'9') {
            v = v * 10 + (text.at(i).unicode() - u'0');
            ++i;
            ++c;
        }
        if (count)
            *count = c;
        return c ? v : -1;
    };
    int year = -1, month = -1, day = -1;
    int digits = 0;
    const int first = number(4, &digits);
    if (first < 0 || i >= n)
        return false;
    if (digits == 4 && text.at(i) == u'-') { // YYYY-MM-DD
        year = first;
        ++i;
        month = number(2, nullptr);
        if (month < 0 || i >= n || text.at(i) != u'-')
            return false;
        ++i;
        day = number(2, nullptr);
    } else if (digits <= 2 && text.at(i) == u'/') { // M/D/YY or M/D/YYYY
        month = first;
        ++i;
        day = number(2, nullptr);
        if (day < 0 || i >= n || text.at(i) != u'/')
            return false;
        ++i;
        int yearDigits = 0;
        year = number(4, &yearDigits);
        if (yearDigits == 2)
            year += year < 30 ? 2000 : 1900;
        else if (yearDigits != 4)
            return false;
    } else {
        return false;
    }
    if (day < 0)
        return false;
    if (!QDate::isValid(year, month, day))
        return false;
    out = DateParts{year, month, day, 0, 0, 0};
    if (i < n) {
        if (!(text.at(i).isSpace() || text.at(i) == u'T'))
            return false;
        while (i < n && (text.at(i).isSpace() || text.at(i) == u'T'))
            ++i;
        const int hour = number(2, nullptr);
        if (hour < 0 || i >= n || text.at(i) != u':')
            return false;
        ++i;
        int minuteDigits = 0;
        const int minute = number(2, &minuteDigits);
        if (minuteDigits != 2)
            return false;
        int second = 0;
        if (i < n && text.at(i) == u':') {
            ++i;
            int secondDigits = 0;
            second = number(2, &secondDigits);
            if (secondDigits != 2)
                return false;
        }
        int h = hour;
        while (i < n && text.at(i).isSpace())
            ++i;
        if (i < n) {
            const QStringView marker = QStringView(text).mid(i);
            const bool am = marker.compare(u"AM", Qt::CaseInsensitive) == 0;
            const bool pm = marker.compare(u"PM", Qt::CaseInsensitive) == 0;
            if ((!am && !pm) || hour < 1 || hour > 12)
                return false;
            h = hour % 12 + (pm ? 12 : 0);
        }
        if (!QTime::isValid(h, minute, second))
            return false;
        out.hour = h;
        out.minute = minute;
        out.second = second;
    }
    return true;
}

} // namespace

QDateTime parseDateText(const QString& input) {
    DateParts parts;
    if (!parseDateParts(input, parts))
        return {};
    return dateTimeOf(parts);
}

// ---------------------------------------------------------------------------------------------------
// Connection

struct Connection::Impl {
    sqlite3* handle = nullptr;
    QString file;
    int transactionDepth = 0;
    QHash<QString, std::shared_ptr<const TableInfo>> tables; // lower-case name -> columns
    QSet<Recordset::Impl*> recordsets;                       // open on this connection
    DateCache dates;

    void requireOpen() const {
        if (!handle)
            raise(DbErrors::ObjectClosed,
                  QStringLiteral("Operation is not allowed when the object is closed."));
    }

    sqlite3_stmt* prepare(const QString& sql) const {
        requireOpen();
        sqlite3_stmt* stmt = nullptr;
        const QByteArray text = sql.toUtf8();
        const int rc = sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &stmt, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(stmt);
            raisePrepare(handle, rc);
        }
        return stmt;
    }

    void run(const QString& sql) const {
        requireOpen();
        const QByteArray text = sql.toUtf8();
        const char* tail = text.constData();
        const char* end = tail + text.size();
        while (tail < end) {
            sqlite3_stmt* stmt = nullptr;
            const char* next = nullptr;
            const int rc = sqlite3_prepare_v2(handle, tail, int(end - tail), &stmt, &next);
            if (rc != SQLITE_OK) {
                sqlite3_finalize(stmt);
                raisePrepare(handle, rc);
            }
            tail = next;
            if (!stmt) // blanks or a comment
                continue;
            int step;
            while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
            }
            if (step != SQLITE_DONE) {
                const QString message = engineMessage(handle);
                sqlite3_finalize(stmt);
                raise(DbErrors::EngineFailure, message);
            }
            sqlite3_finalize(stmt);
        }
    }

    std::shared_ptr<const TableInfo> table(const QString& name) {
        const QString key = name.toLower();
        const auto found = tables.constFind(key);
        if (found != tables.constEnd())
            return found.value();
        requireOpen();
        auto info = std::make_shared<TableInfo>();
        sqlite3_stmt* stmt = prepare(QStringLiteral("PRAGMA table_info(%1)").arg(bracketed(name)));
        int primaryKeys = 0;
        int integerKey = -1;
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            ColumnInfo column;
            column.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
            const QString declared =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
            column.kind = kindOfDeclaredType(declared, &column.maxLength);
            column.defaultValue =
                defaultFor(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 4))),
                           sqlite3_column_type(stmt, 4) != SQLITE_NULL, column.kind);
            if (sqlite3_column_int(stmt, 5) > 0) {
                ++primaryKeys;
                if (declared.trimmed().compare(u"INTEGER", Qt::CaseInsensitive) == 0)
                    integerKey = int(info->columns.size());
            }
            info->index.insert(column.name.toLower(), int(info->columns.size()));
            info->columns.push_back(std::move(column));
        }
        if (rc != SQLITE_DONE) {
            const QString message = engineMessage(handle);
            sqlite3_finalize(stmt);
            raise(DbErrors::EngineFailure, message);
        }
        sqlite3_finalize(stmt);
        if (info->columns.empty())
            raise(DbErrors::StatementRejected, QStringLiteral("no such table: %1").arg(name));
        if (primaryKeys == 1 && integerKey >= 0)
            info->columns[integerKey].rowidAlias = true;
        // The name as the database spells it, for messages.
        sqlite3_stmt* spelled = prepare(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE"));
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(spelled, 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        info->name = sqlite3_step(spelled) == SQLITE_ROW
                         ? QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(spelled, 0)))
                         : name;
        sqlite3_finalize(spelled);
        info->quotedName = bracketed(info->name);
        tables.insert(key, info);
        return info;
    }
};

namespace {

struct ConnectionParts {
    QString dataSource;
    QString password;
    bool hasDataSource = false;
};

ConnectionParts parseConnectionString(const QString& text) {
    ConnectionParts parts;
    const QStringList pieces = text.split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        const qsizetype eq = piece.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        const QString key = piece.left(eq).trimmed().toLower();
        QString value = piece.mid(eq + 1).trimmed();
        if (value.size() >= 2 && ((value.startsWith(u'"') && value.endsWith(u'"')) ||
                                  (value.startsWith(u'\'') && value.endsWith(u'\''))))
            value = value.mid(1, value.size() - 2);
        if (key == u"data source") {
            parts.dataSource = value;
            parts.hasDataSource = true;
        } else if (key == u"jet oledb:database password") {
            parts.password = value;
        }
    }
    return parts;
}

// A database that may not be written is refused before SQLite opens it: opened for reading, a WAL
// database gets its -wal and -shm files made read-only like itself, and those stop every later start
// even once the database is writable again. Such files left by earlier builds are made writable when
// they are ours; they only hold what the database's own writer put there.
void refuseReadOnly(const QString& file) {
    const QFileInfo info(file);
    if (!info.isWritable())
        raise(DbErrors::EngineFailure, QStringLiteral("The database '%1' is read-only.").arg(file));
    if (!QFileInfo(info.absolutePath()).isWritable())
        raise(DbErrors::EngineFailure,
              QStringLiteral("The database '%1' is read-only: its folder cannot be written.").arg(file));
    for (const char* suffix : {"-wal", "-shm"}) {
        const QString side = file + QLatin1String(suffix);
        const QFileInfo sideInfo(side);
        if (!sideInfo.exists() || sideInfo.isWritable())
            continue;
        if (!QFile::setPermissions(side, QFile::permissions(side) | QFile::WriteOwner | QFile::WriteUser) ||
            !QFileInfo(side).isWritable())
            raise(DbErrors::EngineFailure,
                  QStringLiteral("The database '%1' is read-only: '%2' cannot be written.").arg(file, side));
    }
}

} // namespace

Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() {
    close();
}

void Connection::open(const QString& connectionString, const QString& userId, const QString& password) {
    Q_UNUSED(userId);
    Q_UNUSED(password);
    if (d->handle)
        raise(DbErrors::ObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
    const ConnectionParts parts = parseConnectionString(connectionString);
    if (!parts.hasDataSource || parts.dataSource.isEmpty())
        raise(DbErrors::BadConnectionString,
              QStringLiteral("The connection string names no data source: '%1'.").arg(connectionString));
    const QString file = parts.dataSource;
    const QFileInfo info(file);
    if (!info.exists() || info.isDir())
        raise(DbErrors::EngineFailure, QStringLiteral("Could not find file '%1'.").arg(file));
    // An empty file would be taken for a new, empty database and written to; it is no lead database.
    if (info.size() == 0)
        raise(DbErrors::EngineFailure,
              QStringLiteral("Could not open the database file '%1': the file is empty, not a database.")
                  .arg(file));

    refuseReadOnly(file);

    sqlite3* handle = nullptr;
    const QByteArray path = QFile::encodeName(file);
    int rc = sqlite3_open_v2(path.constData(), &handle, SQLITE_OPEN_READWRITE, nullptr);
    auto failOpen = [&](const QString& reason) {
        sqlite3_close_v2(handle);
        raise(DbErrors::EngineFailure,
              QStringLiteral("Could not open the database file '%1': %2").arg(file, reason));
    };
    if (rc != SQLITE_OK)
        failOpen(handle ? engineMessage(handle) : QString::fromUtf8(sqlite3_errstr(rc)));
    // SQLite falls back to reading alone when it may not write; nothing has been read yet, so no
    // journal file has been made.
    if (sqlite3_db_readonly(handle, "main") == 1) {
        sqlite3_close_v2(handle);
        raise(DbErrors::EngineFailure, QStringLiteral("The database '%1' is read-only.").arg(file));
    }
    if (!parts.password.isEmpty()) {
        const QByteArray key = parts.password.toUtf8();
        rc = sqlite3_key(handle, key.constData(), int(key.size()));
        if (rc != SQLITE_OK)
            failOpen(engineMessage(handle));
    }
    // The first read tells a wrong password or a foreign file apart before anything can be written.
    rc = sqlite3_exec(handle, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        if ((rc & 0xff) == SQLITE_NOTADB)
            failOpen(QStringLiteral("file is not a database (wrong password?)"));
        failOpen(engineMessage(handle));
    }
    // Beyond the required settings: a page cache large enough that a data file's rows, saved in one
    // transaction, are encrypted once at commit rather than spilled and re-encrypted, and sorts of the
    // name list kept in memory instead of encrypted temporary files.
    for (const char* pragma :
         {"PRAGMA foreign_keys=ON", "PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL",
          "PRAGMA cache_size=-32768", "PRAGMA temp_store=MEMORY"}) {
        rc = sqlite3_exec(handle, pragma, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            failOpen(engineMessage(handle));
    }
    sqlite3_busy_timeout(handle, 2000);
    if (const QString reason = useCaseFolding(handle); !reason.isEmpty())
        failOpen(reason);
    d->handle = handle;
    d->file = file;
    d->transactionDepth = 0;
    d->tables.clear();
}

int Connection::state() const {
    return d->handle ? adStateOpen : adStateClosed;
}

sqlite3* Connection::handle() const {
    return d->handle;
}

void Connection::execute(const QString& sql) {
    d->requireOpen();
    const QString adapted = adaptSql(sql);
    // The column cache follows the schema.
    if (findKeyword(adapted, u"CREATE") >= 0 || findKeyword(adapted, u"ALTER") >= 0 ||
        findKeyword(adapted, u"DROP") >= 0)
        d->tables.clear();
    d->run(adapted);
}

void Connection::beginTrans() {
    d->requireOpen();
    syncTransaction();
    // The outermost level takes the write lock at once, so that what it reads before its first write
    // (is this data file known?) cannot be changed by another program before it writes.
    if (d->transactionDepth == 0)
        d->run(QStringLiteral("BEGIN IMMEDIATE"));
    else
        d->run(QStringLiteral("SAVEPOINT qm_level_%1").arg(d->transactionDepth));
    ++d->transactionDepth;
}

void Connection::commitTrans() {
    d->requireOpen();
    syncTransaction();
    if (d->transactionDepth == 0)
        raise(DbErrors::EngineFailure, QStringLiteral("No transaction is active."));
    try {
        if (d->transactionDepth == 1)
            d->run(QStringLiteral("COMMIT"));
        else
            d->run(QStringLiteral("RELEASE qm_level_%1").arg(d->transactionDepth - 1));
    } catch (const Failure&) {
        // A commit that fails (a full disk) may leave the transaction open; it ends here, undone, and
        // the failure that stopped it is the one reported.
        if (!sqlite3_get_autocommit(d->handle))
            sqlite3_exec(d->handle, "ROLLBACK", nullptr, nullptr, nullptr);
        d->transactionDepth = 0;
        throw;
    }
    --d->transactionDepth;
}

void Connection::rollbackTrans() {
    d->requireOpen();
    syncTransaction();
    if (d->transactionDepth == 0)
        raise(DbErrors::EngineFailure, QStringLiteral("No transaction is active."));
    if (d->transactionDepth == 1) {
        d->run(QStringLiteral("ROLLBACK"));
    } else {
        const QString name = QStringLiteral("qm_level_%1").arg(d->transactionDepth - 1);
        d->run(QStringLiteral("ROLLBACK TO ") + name);
        d->run(QStringLiteral("RELEASE ") + name);
    }
    --d->transactionDepth;
}

bool Connection::inTransaction() const {
    syncTransaction();
    return d->transactionDepth > 0;
}

// SQLite undoes a whole transaction by itself after some failures (a full disk, no memory, an I/O
// error); the transaction is over then, and undoing it again would only report that none is active.
void Connection::syncTransaction() const {
    if (d->handle && d->transactionDepth > 0 && sqlite3_get_autocommit(d->handle))
        d->transactionDepth = 0;
}

// ---------------------------------------------------------------------------------------------------
// Recordset

struct Recordset::Impl {
    struct Field {
        QString name;
        Kind kind = Kind::Dynamic;
        int baseColumn = -1; // column of the base table it reads, -1 for an expression
        bool uniqueName = true;
    };
    enum class Edit { None, New, Change };
    enum class Stream { NotStarted, OnRow, AtEnd };

    Connection::Impl* conn = nullptr;
    bool isOpen = false;
    CursorTypeEnum cursor = adOpenForwardOnly;
    LockTypeEnum lock = adLockReadOnly;
    CommandTypeEnum options = adCmdText;

    sqlite3_stmt* stmt = nullptr;
    int rowidColumn = -1; // statement column of the hidden row number
    int firstField = 0;   // statement column of field 0
    std::vector<Field> fields;
    QHash<QString, int> fieldIndex;        // exact spelling and lower case -> field
    int lastField = -1;                    // the field found last by name
    std::shared_ptr<const TableInfo> base; // the one table whose rows can be changed; null: none
    QString notUpdatableReason;

    // Static cursor: every row read (lazily for a table-direct open) and kept.
    bool keepsRows = false;
    bool rowsRead = false;
    std::vector<std::vector<QVariant>> rows;
    std::vector<qint64> rowids;
    qsizetype position = 0;

    // Forward-only cursor: rows come straight from the statement.
    Stream stream = Stream::NotStarted;
    qint64 rowNumber = -1;       // 0 for the first row
    std::vector<QVariant> saved; // values saved on the current streamed row
    quint64 savedMask = 0;

    // A row added by this recordset and not moved away from (forward-only, or static before reading).
    bool onAdded = false;
    qint64 addedRowid = 0;
    // Its values are kept as they were saved (the converted values and their text), not as the caller's
    // QVariants: holding those would keep the caller's strings shared, and an importer that reuses its
    // field strings from line to line would then have to allocate new ones for every line.
    std::string addedText;
    std::vector<Bound> addedValues; // by set field, in field order
    quint64 addedMask = 0;
    std::vector<QVariant> addedChanges; // changed after saving, by field
    quint64 addedChangesMask = 0;

    Edit edit = Edit::None;
    std::vector<QVariant> pending;
    quint64 pendingMask = 0;

    QHash<quint64, sqlite3_stmt*> inserts; // by set of fields
    std::string scratch;                   // the text of the values being saved
    std::vector<Bound> bound;
    QHash<quint64, sqlite3_stmt*> updates;

    ~Impl() { release(); }

    void release() {
        if (stmt)
            sqlite3_finalize(stmt);
        stmt = nullptr;
        for (sqlite3_stmt* s : std::as_const(inserts))
            sqlite3_finalize(s);
        for (sqlite3_stmt* s : std::as_const(updates))
            sqlite3_finalize(s);
        inserts.clear();
        updates.clear();
        if (conn)
            conn->recordsets.remove(this);
        conn = nullptr;
        isOpen = false;
        fields.clear();
        fieldIndex.clear();
        base.reset();
        rows.clear();
        rowids.clear();
        saved.clear();
        addedText.clear();
        addedValues.clear();
        addedChanges.clear();
        addedChangesMask = 0;
        pending.clear();
        edit = Edit::None;
        pendingMask = addedMask = savedMask = 0;
        onAdded = false;
        rowsRead = false;
        stream = Stream::NotStarted;
        rowNumber = -1;
        position = 0;
    }

    void requireOpen() const {
        if (!isOpen)
            raise(DbErrors::ObjectClosed,
                  QStringLiteral("Operation is not allowed when the object is closed."));
    }

    sqlite3* handle() const { return conn->handle; }

    // Field names are looked up on every value read and set: an exact match of the spelling is found by
    // comparing characters (trying first the field after the last one found, as callers go through
    // fields in order), without hashing; other spellings go through the hash of lower-case names.
    int fieldOf(const QString& name) {
        const qsizetype n = name.size();
        const QChar* text = name.constData(); // utf16() would copy literal text to add a terminator
        const int count = int(fields.size());
        auto same = [&](int i) {
            const QString& candidate = fields[i].name;
            return candidate.size() == n &&
                   std::memcmp(candidate.constData(), text, size_t(n) * sizeof(QChar)) == 0;
        };
        const int guess = lastField + 1;
        if (guess < count && fields[guess].uniqueName && same(guess))
            return lastField = guess;
        for (int i = 0; i < count; ++i)
            if (same(i))
                return lastField = i;
        auto found = fieldIndex.constFind(name);
        if (found == fieldIndex.constEnd())
            found = fieldIndex.constFind(name.toLower());
        if (found == fieldIndex.constEnd())
            raise(DbErrors::ItemNotFound,
                  QStringLiteral(
                      "Item cannot be found in the collection corresponding to the requested name or "
                      "ordinal: '%1'.")
                      .arg(name));
        return found.value();
    }

    void checkIndex(int index) const {
        if (index < 0 || index >= int(fields.size()))
            raise(DbErrors::ItemNotFound,
                  QStringLiteral(
                      "Item cannot be found in the collection corresponding to the requested name or "
                      "ordinal: %1.")
                      .arg(index));
    }

    [[noreturn]] static void raiseNoCurrent() {
        raise(DbErrors::NoCurrentRecord,
              QStringLiteral("Either BOF or EOF is True, or the current record has been "
                             "deleted. Requested operation requires a current record."));
    }

    void readRows() {
        rows.clear();
        rowids.clear();
        int rc;
        const int count = int(fields.size());
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<QVariant> row;
            row.reserve(count);
            for (int i = 0; i < count; ++i)
                row.push_back(readColumn(stmt, firstField + i, fields[i].kind, conn->dates));
            rows.push_back(std::move(row));
            rowids.push_back(rowidColumn >= 0 ? sqlite3_column_int64(stmt, rowidColumn) : 0);
        }
        if (rc != SQLITE_DONE) {
            const QString message = engineMessage(handle());
            sqlite3_reset(stmt);
            raise(DbErrors::EngineFailure, message);
        }
        sqlite3_reset(stmt);
        rowsRead = true;
        position = 0;
        // A row added before reading is among the rows read now, and stays the current one.
        if (onAdded) {
            onAdded = false;
            while (position < qsizetype(rows.size()) && rowids[position] != addedRowid)
                ++position;
        }
    }

    void step() {
        const int rc = sqlite3_step(stmt);
        saved.assign(saved.size(), QVariant());
        savedMask = 0;
        if (rc == SQLITE_ROW) {
            stream = Stream::OnRow;
            ++rowNumber;
        } else {
            const bool done = rc == SQLITE_DONE;
            const QString message = done ? QString() : engineMessage(handle());
            // Finishing the statement at once ends its read, so that commits are not held up.
            sqlite3_reset(stmt);
            stream = Stream::AtEnd;
            if (!done)
                raise(DbErrors::EngineFailure, message);
        }
    }

    // The first row is read only when one is needed: a table opened just to add rows is never read.
    void start() {
        if (keepsRows) {
            if (!rowsRead)
                readRows();
        } else if (stream == Stream::NotStarted) {
            rowNumber = -1;
            step();
        }
    }

    bool atEnd() {
        if (onAdded || edit == Edit::New)
            return false;
        start();
        return keepsRows ? position >= qsizetype(rows.size()) : stream != Stream::OnRow;
    }

    qint64 currentRowid() {
        if (onAdded)
            return addedRowid;
        return keepsRows ? rowids[position] : sqlite3_column_int64(stmt, rowidColumn);
    }

    QVariant valueAt(int i) {
        requireOpen();
        checkIndex(i);
        if (edit != Edit::None && hasBit(pendingMask, i))
            return pending[i];
        const Field& field = fields[i];
        if (edit == Edit::New) {
            if (field.baseColumn >= 0)
                return base->columns[field.baseColumn].defaultValue;
            return {};
        }
        if (onAdded) {
            if (field.baseColumn >= 0) {
                const ColumnInfo& column = base->columns[field.baseColumn];
                if (hasBit(addedChangesMask, i))
                    return addedChanges[i];
                if (hasBit(addedMask, i)) {
                    const quint64 before = addedMask & ((quint64(1) << i) - 1);
                    return savedValue(addedValues[std::popcount(before)], column.kind);
                }
                if (column.rowidAlias)
                    return addedRowid <= std::numeric_limits<int>::max() ? QVariant(int(addedRowid))
                                                                         : QVariant(addedRowid);
                return column.defaultValue;
            }
            return {};
        }
        if (atEnd())
            raiseNoCurrent();
        if (keepsRows)
            return rows[position][i];
        if (hasBit(savedMask, i))
            return saved[i];
        return readColumn(stmt, firstField + i, field.kind, conn->dates);
    }

    // A value as it was saved, read back the way the column reads.
    QVariant savedValue(const Bound& value, Kind kind) const {
        switch (value.type) {
        case Bound::Null:
            return {};
        case Bound::Integer:
            if (kind == Kind::YesNo)
                return QVariant(value.integer != 0);
            if (value.integer >= std::numeric_limits<int>::min() &&
                value.integer <= std::numeric_limits<int>::max())
                return QVariant(int(value.integer));
            return QVariant(value.integer);
        case Bound::Real:
            return QVariant(value.real);
        case Bound::Text: {
            const char* text = addedText.data() + value.offset;
            if (kind == Kind::DateTime) {
                const QDateTime date = dateFromStored(text, int(value.length), conn->dates);
                if (date.isValid())
                    return QVariant(date);
            }
            return QVariant(QString::fromUtf8(text, qsizetype(value.length)));
        }
        case Bound::Blob:
            return QVariant(QByteArray(addedText.data() + value.offset, qsizetype(value.length)));
        }
        return {};
    }

    void requireUpdatable() const {
        if (lock != adLockOptimistic)
            raise(DbErrors::NotSupported,
                  QStringLiteral("The recordset was opened read-only; it cannot be changed."));
        if (!base)
            raise(DbErrors::NotSupported,
                  QStringLiteral("The recordset cannot be changed: %1").arg(notUpdatableReason));
    }

    sqlite3_stmt* statementFor(QHash<quint64, sqlite3_stmt*>& cache, quint64 mask, bool insert) {
        const auto found = cache.constFind(mask);
        if (found != cache.constEnd())
            return found.value();
        QString sql;
        if (insert) {
            if (mask == 0) {
                sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(base->quotedName);
            } else {
                QString names, marks;
                for (int i = 0; i < int(fields.size()); ++i) {
                    if (!hasBit(mask, i))
                        continue;
                    if (!names.isEmpty()) {
                        names += QLatin1Char(',');
                        marks += QLatin1Char(',');
                    }
                    names += bracketed(base->columns[fields[i].baseColumn].name);
                    marks += QLatin1Char('?');
                }
                sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(base->quotedName, names, marks);
            }
        } else {
            QString sets;
            for (int i = 0; i < int(fields.size()); ++i) {
                if (!hasBit(mask, i))
                    continue;
                if (!sets.isEmpty())
                    sets += QLatin1Char(',');
                sets += bracketed(base->columns[fields[i].baseColumn].name) + QStringLiteral("=?");
            }
            sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(base->quotedName, sets);
        }
        sqlite3_stmt* s = conn->prepare(sql);
        cache.insert(mask, s);
        return s;
    }

    // Converts and binds the pending values in field order; returns the next parameter number. Nothing
    // is bound unless every value converts, so a refused row leaves the statement as it was.
    int bindPending(sqlite3_stmt* s) {
        scratch.clear();
        int used = 0;
        for (int i = 0; i < int(fields.size()); ++i) {
            if (!hasBit(pendingMask, i))
                continue;
            convertValue(pending[i], base->columns[fields[i].baseColumn], scratch, bound[used++]);
        }
        for (int k = 0; k < used; ++k)
            bindConverted(s, k + 1, bound[k], scratch, handle());
        return used + 1;
    }

    void runSave(sqlite3_stmt* s) {
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE) {
            const QString message = engineMessage(handle());
            sqlite3_reset(s);
            raise(DbErrors::EngineFailure, message);
        }
        sqlite3_reset(s);
    }

    void clearPending() {
        for (int i = 0; i < int(pending.size()); ++i)
            if (hasBit(pendingMask, i))
                pending[i] = QVariant();
        pendingMask = 0;
        edit = Edit::None;
    }

    void save() {
        if (edit == Edit::None)
            return;
        if (edit == Edit::New) {
            sqlite3_stmt* s = statementFor(inserts, pendingMask, true);
            bindPending(s);
            runSave(s);
            const qint64 rowid = sqlite3_last_insert_rowid(handle());
            if (keepsRows && rowsRead) {
                std::vector<QVariant> row(fields.size());
                for (int i = 0; i < int(fields.size()); ++i) {
                    const Field& field = fields[i];
                    if (field.baseColumn < 0)
                        continue;
                    const ColumnInfo& column = base->columns[field.baseColumn];
                    if (hasBit(pendingMask, i))
                        row[i] = readBack(pending[i], column);
                    else if (column.rowidAlias)
                        row[i] =
                            rowid <= std::numeric_limits<int>::max() ? QVariant(int(rowid)) : QVariant(rowid);
                    else
                        row[i] = column.defaultValue;
                }
                rows.push_back(std::move(row));
                rowids.push_back(rowid);
                position = qsizetype(rows.size()) - 1;
                clearPending();
            } else {
                // The added row becomes the current one, kept as saved (swapped, not copied).
                addedText.swap(scratch);
                addedValues.swap(bound);
                addedMask = pendingMask;
                for (int i = 0; i < int(addedChanges.size()); ++i)
                    if (hasBit(addedChangesMask, i))
                        addedChanges[i] = QVariant();
                addedChangesMask = 0;
                addedRowid = rowid;
                onAdded = true;
                clearPending();
            }
            return;
        }
        // A change of the current row.
        if (pendingMask == 0) {
            edit = Edit::None;
            return;
        }
        const qint64 rowid = currentRowid();
        sqlite3_stmt* s = statementFor(updates, pendingMask, false);
        const int parameter = bindPending(s);
        sqlite3_bind_int64(s, parameter, rowid);
        runSave(s);
        if (sqlite3_changes(handle()) == 0)
            raise(DbErrors::EngineFailure,
                  QStringLiteral("Row cannot be located for updating: the row was deleted from %1.")
                      .arg(base->name));
        for (int i = 0; i < int(fields.size()); ++i) {
            if (!hasBit(pendingMask, i))
                continue;
            if (onAdded) {
                addedChanges[i] = readBack(pending[i], base->columns[fields[i].baseColumn]);
                addedChangesMask |= quint64(1) << i;
                continue;
            }
            // Any field of the same column shows the new value.
            const int column = fields[i].baseColumn;
            const QVariant value = readBack(pending[i], base->columns[column]);
            for (int j = 0; j < int(fields.size()); ++j) {
                if (fields[j].baseColumn != column)
                    continue;
                if (keepsRows) {
                    rows[position][j] = value;
                } else {
                    saved[j] = value;
                    savedMask |= quint64(1) << j;
                }
            }
        }
        clearPending();
    }
};

namespace {

// The table after FROM when the statement reads exactly one table (no join, no list of tables).
QString singleTableOf(const QString& sql, QString* reason) {
    if (findKeyword(sql, u"DISTINCT") >= 0 || findKeyword(sql, u"GROUP") >= 0 ||
        findKeyword(sql, u"UNION") >= 0) {
        *reason = QStringLiteral("its statement groups or combines rows.");
        return {};
    }
    const qsizetype from = findKeyword(sql, u"FROM");
    if (from < 0) {
        *reason = QStringLiteral("its statement reads no table.");
        return {};
    }
    qsizetype end = sql.size();
    for (const char16_t* word : {u"WHERE", u"ORDER", u"LIMIT", u"HAVING"}) {
        const qsizetype at = findKeyword(sql, word, from + 4);
        if (at >= 0 && at < end)
            end = at;
    }
    QString table = sql.mid(from + 4, end - from - 4).trimmed();
    if (table.contains(QLatin1Char(',')) || findKeyword(table, u"JOIN") >= 0 ||
        table.contains(QLatin1Char('(')) || table.isEmpty()) {
        *reason = QStringLiteral("its statement reads more than one table.");
        return {};
    }
    if (table.startsWith(QLatin1Char('[')) && table.endsWith(QLatin1Char(']')))
        table = table.mid(1, table.size() - 2);
    if (table.contains(QLatin1Char(' ')) || table.contains(QLatin1Char('['))) {
        *reason = QStringLiteral("its statement names its table with an alias.");
        return {};
    }
    return table;
}

} // namespace

Recordset::Recordset() : d(std::make_unique<Impl>()) {}

Recordset::~Recordset() {
    close();
}

void Recordset::open(const QString& source, Connection& connection, CursorTypeEnum cursor, LockTypeEnum lock,
                     CommandTypeEnum options) {
    if (d->isOpen)
        raise(DbErrors::ObjectOpen, QStringLiteral("Operation is not allowed when the object is open."));
    Connection::Impl* conn = connection.impl();
    conn->requireOpen();
    d->release();
    d->cursor = cursor == adOpenStatic ? adOpenStatic : adOpenForwardOnly;
    d->lock = lock == adLockOptimistic ? adLockOptimistic : adLockReadOnly;
    d->options = options;
    d->keepsRows = d->cursor == adOpenStatic;

    std::shared_ptr<const TableInfo> base;
    sqlite3_stmt* stmt = nullptr;
    int rowidColumn = -1;
    int firstField = 0;
    QString reason;
    if (options == adCmdTableDirect) {
        QString name = source.trimmed();
        if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
            name = name.mid(1, name.size() - 2);
        base = conn->table(name);
        stmt = conn->prepare(QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(base->quotedName));
        rowidColumn = 0;
        firstField = 1;
    } else {
        const QString sql = adaptSql(source);
        if (d->lock == adLockOptimistic) {
            const QString table = singleTableOf(sql, &reason);
            if (!table.isEmpty()) {
                try {
                    base = conn->table(table);
                } catch (const Failure&) {
                    // The statement itself reports the unknown table below.
                }
            }
            if (base) {
                const qsizetype select = findKeyword(sql, u"SELECT");
                if (select >= 0) {
                    QString withRowid = sql;
                    withRowid.insert(select + 6, QStringLiteral(" %1.rowid,").arg(base->quotedName));
                    try {
                        stmt = conn->prepare(withRowid);
                        rowidColumn = 0;
                        firstField = 1;
                    } catch (const Failure&) {
                        stmt = nullptr;
                    }
                }
                if (!stmt) {
                    base.reset();
                    reason = QStringLiteral("its rows cannot be told apart.");
                }
            }
        }
        if (!stmt)
            stmt = conn->prepare(sql);
    }

    d->conn = conn;
    d->stmt = stmt;
    d->rowidColumn = rowidColumn;
    d->firstField = firstField;
    d->notUpdatableReason = reason;
    const int count = sqlite3_column_count(stmt) - firstField;
    if (count > 64 && d->lock == adLockOptimistic && base) {
        base.reset();
        d->notUpdatableReason = QStringLiteral("it has more than 64 fields.");
    }
    d->base = base;
    d->fields.resize(count);
    for (int i = 0; i < count; ++i) {
        Impl::Field& field = d->fields[i];
        const int column = firstField + i;
        field.name = QString::fromUtf8(sqlite3_column_name(stmt, column));
        const char* table = sqlite3_column_table_name(stmt, column);
        const char* origin = sqlite3_column_origin_name(stmt, column);
        std::shared_ptr<const TableInfo> info;
        if (table && origin) {
            try {
                info = conn->table(QString::fromUtf8(table));
            } catch (const Failure&) {
            }
        }
        int baseIndex = -1;
        if (info) {
            const auto found = info->index.constFind(QString::fromUtf8(origin).toLower());
            if (found != info->index.constEnd()) {
                const ColumnInfo& c = info->columns[found.value()];
                field.kind = c.kind;
                if (base && info == base)
                    baseIndex = found.value();
            }
        } else {
            int maxLength = -1;
            field.kind =
                kindOfDeclaredType(QString::fromUtf8(sqlite3_column_decltype(stmt, column)), &maxLength);
        }
        field.baseColumn = baseIndex;
        if (!d->fieldIndex.contains(field.name))
            d->fieldIndex.insert(field.name, i);
        const QString lower = field.name.toLower();
        if (!d->fieldIndex.contains(lower))
            d->fieldIndex.insert(lower, i);
        // Where two tables give a field the same name, "Table.Column" tells them apart.
        if (table && origin) {
            const QString qualified = QString::fromUtf8(table) + QLatin1Char('.') + QString::fromUtf8(origin);
            if (!d->fieldIndex.contains(qualified))
                d->fieldIndex.insert(qualified, i);
            if (!d->fieldIndex.contains(qualified.toLower()))
                d->fieldIndex.insert(qualified.toLower(), i);
        }
    }
    d->pending.assign(count, QVariant());
    d->bound.assign(count, Bound());
    d->lastField = -1;
    for (int i = 0; i < count; ++i)
        for (int j = 0; j < count; ++j)
            if (i != j && d->fields[i].name == d->fields[j].name)
                d->fields[i].uniqueName = false;
    d->saved.assign(count, QVariant());
    d->addedChanges.assign(count, QVariant());
    d->addedValues.assign(count, Bound());
    d->isOpen = true;
    conn->recordsets.insert(d.get());
    try {
        // A query is run at once, so that its failures surface on opening; a whole table waits.
        if (options != adCmdTableDirect)
            d->start();
    } catch (...) {
        d->release();
        throw;
    }
}

void Recordset::close() {
    if (!d->isOpen)
        return;
    // Changes not yet saved are abandoned.
    d->release();
}

int Recordset::state() const {
    return d->isOpen ? adStateOpen : adStateClosed;
}

bool Recordset::eof() const {
    d->requireOpen();
    return d->atEnd();
}

bool Recordset::bof() const {
    d->requireOpen();
    if (d->onAdded || d->edit == Impl::Edit::New)
        return false;
    d->start();
    if (d->keepsRows)
        return d->rows.empty();
    return d->stream == Impl::Stream::AtEnd && d->rowNumber <= 0;
}

void Recordset::moveNext() {
    d->requireOpen();
    d->save();
    if (d->onAdded) {
        d->onAdded = false;
        if (d->keepsRows) {
            d->start();
            // Continue after the added row in stored order.
            d->position = 0;
            while (d->position < qsizetype(d->rows.size()) && d->rowids[d->position] <= d->addedRowid)
                ++d->position;
        } else if (d->stream == Impl::Stream::NotStarted) {
            d->start();
        } else if (d->stream == Impl::Stream::OnRow) {
            d->step();
        }
        return;
    }
    if (d->atEnd())
        Impl::raiseNoCurrent();
    if (d->keepsRows)
        ++d->position;
    else
        d->step();
}

void Recordset::moveFirst() {
    d->requireOpen();
    d->save();
    d->onAdded = false;
    if (d->keepsRows) {
        d->start();
        d->position = 0;
        if (d->rows.empty())
            Impl::raiseNoCurrent();
        return;
    }
    // A forward-only cursor cannot go back; being on the first row already is no move at all.
    if (d->stream == Impl::Stream::NotStarted)
        d->start();
    else if (d->rowNumber > 0 || (d->stream == Impl::Stream::AtEnd && d->rowNumber == 0))
        raise(DbErrors::NotSupported,
              QStringLiteral("The recordset only moves forward; it cannot return to its first record."));
    if (d->stream != Impl::Stream::OnRow)
        Impl::raiseNoCurrent();
}

int Recordset::recordCount() const {
    d->requireOpen();
    if (!d->keepsRows)
        return -1;
    d->start();
    return int(d->rows.size());
}

int Recordset::fieldCount() const {
    d->requireOpen();
    return int(d->fields.size());
}

QString Recordset::fieldName(int index) const {
    d->requireOpen();
    d->checkIndex(index);
    return d->fields[index].name;
}

QVariant Recordset::value(const QString& field) const {
    d->requireOpen();
    return d->valueAt(d->fieldOf(field));
}

QVariant Recordset::value(int index) const {
    return d->valueAt(index);
}

void Recordset::setValue(const QString& field, const QVariant& value) {
    d->requireOpen();
    d->requireUpdatable();
    const int i = d->fieldOf(field);
    if (d->fields[i].baseColumn < 0)
        raise(DbErrors::NotSupported,
              QStringLiteral("Field '%1' cannot be updated: it is not a column of table %2.")
                  .arg(field, d->base->name));
    if (d->edit == Impl::Edit::None) {
        if (d->atEnd())
            Impl::raiseNoCurrent();
        d->edit = Impl::Edit::Change;
    }
    d->pending[i] = value;
    d->pendingMask |= quint64(1) << i;
}

void Recordset::addNew() {
    d->requireOpen();
    d->requireUpdatable();
    d->save();
    d->edit = Impl::Edit::New;
    d->pendingMask = 0;
}

void Recordset::update() {
    d->requireOpen();
    d->save();
}

void Recordset::cancelUpdate() {
    d->requireOpen();
    d->clearPending();
}

void Recordset::updateBatch() {
    d->requireOpen();
    // Changes are saved whenever the recordset leaves a row, so only the current row can be pending.
    d->save();
}

bool Recordset::editing() const {
    return d->isOpen && d->edit != Impl::Edit::None;
}

// ---------------------------------------------------------------------------------------------------

void Connection::close() {
    if (!d || !d->handle)
        return;
    // Recordsets still open on this connection are closed first; their changes are abandoned.
    const QSet<Recordset::Impl*> open = d->recordsets;
    for (Recordset::Impl* r : open)
        r->release();
    d->recordsets.clear();
    if (d->transactionDepth > 0)
        sqlite3_exec(d->handle, "ROLLBACK", nullptr, nullptr, nullptr);
    d->transactionDepth = 0;
    sqlite3_close_v2(d->handle);
    d->handle = nullptr;
    d->tables.clear();
}

} // namespace db
