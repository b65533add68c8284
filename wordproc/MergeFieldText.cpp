#include "wordproc/Merge.h"

#include <QLocale>

// The text a merge field or a DATE field shows: case switches and date pictures.

namespace wordproc {

QString applyCaseSwitches(QString value, const QStringList& switches) {
    for (const QString& sw : switches) {
        if (sw == QLatin1String("Upper")) {
            value = value.toUpper();
        } else if (sw == QLatin1String("Lower")) {
            value = value.toLower();
        } else if (sw == QLatin1String("Caps")) {
            bool start = true;
            for (QChar& c : value) {
                if (c.isLetter()) {
                    if (start)
                        c = c.toUpper();
                    start = false;
                } else if (c.isSpace() || c == QLatin1Char('-')) {
                    start = true;
                }
            }
        } else if (sw == QLatin1String("FirstCap")) {
            for (QChar& c : value) {
                if (c.isLetter()) {
                    c = c.toUpper();
                    break;
                }
            }
        }
    }
    return value;
}

QString formatDatePicture(const QDateTime& when, const QString& picture) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QDate date = when.date();
    const QTime time = when.time();
    QString out;
    const int n = int(picture.size());
    int i = 0;
    while (i < n) {
        const QChar c = picture.at(i);
        if (c == QLatin1Char('\\') && i + 1 < n) {
            // A backslash takes the next character as it stands: LibreOffice writes "MMMM\ d', 'yyyy".
            out += picture.at(i + 1);
            i += 2;
            continue;
        }
        if (c == QLatin1Char('\'')) {
            ++i;
            while (i < n && picture.at(i) != QLatin1Char('\''))
                out += picture.at(i++);
            ++i;
            continue;
        }
        if (picture.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            const bool upper = picture.at(i).isUpper();
            const QString s = time.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            out += upper ? s : s.toLower();
            i += 5;
            continue;
        }
        int run = 1;
        while (i + run < n && picture.at(i + run) == c)
            ++run;
        const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
        switch (c.unicode()) {
        case 'M':
            out += run == 1   ? QString::number(date.month())
                   : run == 2 ? two(date.month())
                   : run == 3 ? english.monthName(date.month(), QLocale::ShortFormat)
                              : english.monthName(date.month(), QLocale::LongFormat);
            break;
        case 'd':
        case 'D':
            out += run == 1   ? QString::number(date.day())
                   : run == 2 ? two(date.day())
                   : run == 3 ? english.dayName(date.dayOfWeek(), QLocale::ShortFormat)
                              : english.dayName(date.dayOfWeek(), QLocale::LongFormat);
            break;
        case 'y':
        case 'Y':
            out += run <= 2 ? two(date.year() % 100) : QString::number(date.year());
            break;
        case 'h': {
            const int h12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
            out += run == 1 ? QString::number(h12) : two(h12);
            break;
        }
        case 'H':
            out += run == 1 ? QString::number(time.hour()) : two(time.hour());
            break;
        case 'm':
            out += run == 1 ? QString::number(time.minute()) : two(time.minute());
            break;
        case 's':
        case 'S':
            out += run == 1 ? QString::number(time.second()) : two(time.second());
            break;
        default:
            out += QString(run, c);
            break;
        }
        i += run;
    }
    return out;
}

} // namespace wordproc
