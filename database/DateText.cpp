// Date texts read and written by the database layer (DateText.h), and parseDateText of Database.h.
#include "database/DateText.h"

#include "database/Database.h"

#include <cmath>

namespace db {

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

QDateTime dateFromSerial(double days) {
    static const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const qint64 whole = static_cast<qint64>(std::floor(days));
    const double fraction = days - static_cast<double>(whole);
    return zero.addDays(whole).addSecs(static_cast<qint64>(fraction * 86400.0 + 0.5));
}

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

QDateTime parseDateText(const QString& input) {
    DateParts parts;
    if (!parseDateParts(input, parts))
        return {};
    return dateTimeOf(parts);
}

} // namespace db
