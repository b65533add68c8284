#include "leads/LeadStore.h"

#include "database/IdTable.h"
#include "database/IntegerRows.h"

#include <QDate>

namespace leads {

namespace {
constexpr const char* kColumnNames[kSortColumnCount] = {"Court_ID", "Name", "Street",    "City",   "Zip",
                                                        "Phone",    "File", "Discharge", "Printed"};
// "(1,2,3)": the IDs for an IN clause, in their order, without blanks.
QString idList(const std::vector<qint32>& ids) {
    QString text = QStringLiteral("(");
    for (qint32 id : ids)
        text += QString::number(id) + QLatin1Char(',');
    if (text.endsWith(QLatin1Char(',')))
        text.chop(1);
    return text + QLatin1Char(')');
}
} // namespace

QString SortOrder::clause() const {
    return QLatin1String(kColumnNames[static_cast<int>(column)]) +
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
