#include "leads/LeadStore.h"

#include "database/IdTable.h"
#include "database/IntegerRows.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"

#include <QDate>
#include <QHash>

namespace leads {

namespace {
// "(1,2,3)": the IDs for an IN clause, in their order, without blanks.
QString idList(const std::vector<qint32>& ids) {
    QString text = QStringLiteral("(");
    for (qint32 id : ids)
        text += QString::number(id) + QLatin1Char(',');
    if (text.endsWith(QLatin1Char(',')))
        text.chop(1);
    return text + QLatin1Char(')');
}

// Appends the "m/d/yy" form of a date; a Null date adds nothing. Written digit by digit: a page of the
// list formats two dates a row.
void appendShortDate(QString& line, const QVariant& value) {
    if (value.isNull())
        return;
    const QDate date = value.toDateTime().date();
    if (!date.isValid())
        return;
    char16_t text[8];
    int n = 0;
    auto number = [&](int v) {
        if (v >= 10)
            text[n++] = static_cast<char16_t>(u'0' + v / 10);
        text[n++] = static_cast<char16_t>(u'0' + v % 10);
    };
    const int yy = date.year() % 100;
    number(date.month());
    text[n++] = u'/';
    number(date.day());
    text[n++] = u'/';
    text[n++] = static_cast<char16_t>(u'0' + yy / 10);
    text[n++] = static_cast<char16_t>(u'0' + yy % 10);
    line.append(QStringView(text, n));
}

Failure nullFailure() {
    return Failure(ErrorNumbers::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
}

// "ID, Court_ID, Name, ...": the columns a row is read with, each column's fields in table order.
QString rowFields() {
    QString fields = QStringLiteral("ID");
    for (const ListColumn& column : kListColumns)
        for (const char* field : column.fields)
            if (field)
                fields += QStringLiteral(", ") + QLatin1String(field);
    return fields;
}

// "Name IS NULL OR Street IS NULL": true for a name whose line cannot be formed.
QString missingRequiredValue() {
    QStringList tests;
    for (const ListColumn& column : kListColumns)
        if (column.required)
            for (const char* field : column.fields)
                if (field)
                    tests << QLatin1String(field) + QStringLiteral(" IS NULL");
    return tests.isEmpty() ? QStringLiteral("0") : tests.join(QStringLiteral(" OR "));
}

// The column's piece of the line from its values, read from `rs` starting at `at`; `at` moves past them.
QString cellText(const ListColumn& column, const db::Recordset& rs, int& at) {
    QString text;
    bool first = true;
    for (const char* field : column.fields) {
        if (!field)
            continue;
        const QVariant value = rs.value(at++);
        if (column.required && value.isNull())
            throw nullFailure();
        if (!first)
            text += QStringLiteral(", ");
        first = false;
        switch (column.format) {
        case CellFormat::Text:
        case CellFormat::Fitted:
            text += value.toString();
            break;
        case CellFormat::ShortDate:
            appendShortDate(text, value);
            break;
        case CellFormat::Mark:
            if (value.toBool())
                text += QLatin1Char('+');
            break;
        }
    }
    return text;
}
} // namespace

QString SortOrder::clause() const {
    return QLatin1String(listColumn(column).fields[0]) +
           (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
}

QString leadListCondition(const LeadQuery& query) {
    QString condition;
    if (query.source == ListSource::Dates) {
        condition = QStringLiteral("DataFile_ID IN ") + idList(query.dataFileIds); // "()": no names
    } else {
        // One pattern per term, bound as a value (leadListParameters): LIKE folds letter case as every
        // comparison of the database does, and a % or _ the user typed stays a wildcard.
        QStringList terms;
        for (qsizetype i = 0; i < query.searchTerms.size(); ++i)
            terms << QStringLiteral("(Name LIKE ?)");
        condition = terms.join(QStringLiteral(" OR "));
    }
    QString filter;
    switch (query.filter) {
    case DisplayFilter::NotPrinted:
        filter = QStringLiteral(" AND NOT Printed");
        break;
    case DisplayFilter::PrintedOnly:
        filter = QStringLiteral(" AND Printed AND NOT Followed");
        break;
    case DisplayFilter::AllNames:
        break;
    }
    // The filter must hold for every term of a search, not just the last one.
    if (query.source == ListSource::Search && !filter.isEmpty())
        condition = QLatin1Char('(') + condition + QLatin1Char(')');
    return QStringLiteral("WHERE ") + condition + filter + QStringLiteral(" ORDER BY ") + query.sort.clause();
}

QVariantList leadListParameters(const LeadQuery& query) {
    QVariantList patterns;
    if (query.source == ListSource::Search)
        for (const QString& term : query.searchTerms)
            patterns << QString(QLatin1Char('%') + term + QLatin1Char('%'));
    return patterns;
}

void readLeadIds(db::Connection& connection, const LeadQuery& query, std::vector<qint32>& ids) {
    // A row without a required value is found here, where the list stops at it before showing anything
    // of it, rather than when it is scrolled to and its line cannot be formed.
    const db::PageCacheLimit sortInLittleMemory(connection, 4096);
    db::readIntegerRows(
        connection,
        QStringLiteral("SELECT ID, ") + missingRequiredValue() + QStringLiteral(" FROM [Names] ") +
            leadListCondition(query),
        2,
        [&ids](const qint64* row) {
            if (row[1] != 0)
                throw nullFailure();
            ids.push_back(static_cast<qint32>(row[0]));
            return true;
        },
        leadListParameters(query));
}

std::vector<LeadRow> leadRows(db::Connection& connection, const std::vector<qint32>& ids) {
    std::vector<LeadRow> rows(ids.size());
    if (ids.empty())
        return rows;
    QHash<qint32, size_t> offsets;
    offsets.reserve(static_cast<qsizetype>(ids.size()));
    for (size_t i = 0; i < ids.size(); ++i)
        offsets.insert(ids[i], i);
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT ") + rowFields() + QStringLiteral(" FROM [Names] WHERE ID IN ") +
                idList(ids),
            connection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
    for (; !rs.eof(); rs.moveNext()) {
        const auto found = offsets.constFind(rs.value(0).toInt());
        if (found == offsets.constEnd())
            continue;
        LeadRow& row = rows[found.value()];
        row.id = found.key();
        int at = 1;
        for (int c = 0; c < kListColumnCount; ++c)
            row.cells[static_cast<size_t>(c)] = cellText(kListColumns[c], rs, at);
    }
    rs.close();
    return rows;
}

std::vector<DataFileEntry> dataFilesNewestFirst(db::Connection& connection) {
    // The day alone, as a number: the box shows no time, and a start with five hundred data files would
    // otherwise spend more on turning their dates into local date-times than on reading them.
    std::vector<DataFileEntry> files;
    db::readIntegerRows(
        connection,
        QStringLiteral("SELECT ID, CAST(strftime('%Y%m%d', Date) AS INTEGER) FROM DataFiles "
                       "ORDER BY Date DESC"),
        2, [&files](const qint64* row) {
            const int day = static_cast<int>(row[1]);
            const QDate date(day / 10000, day / 100 % 100, day % 100);
            files.push_back({static_cast<qint32>(row[0]), date.isValid() ? QVariant(date) : QVariant()});
            return true;
        });
    return files;
}

void deleteNames(db::Connection& connection, const std::vector<qint32>& ids) {
    const db::IdTable doomed(connection, QStringLiteral("DeletedNames"), ids);
    connection.execute(QStringLiteral("DELETE * FROM [Names] WHERE ID IN ") + doomed.subquery());
}

} // namespace leads
