// adaptSql and quoted of Database.h, and the reading of statement texts the layer needs (JetDialect.h).
#include "database/JetDialect.h"

#include "database/Database.h"

#include <QRegularExpression>

namespace db {

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

QString bracketed(const QString& name) {
    return QLatin1Char('[') + name + QLatin1Char(']');
}

qsizetype findKeyword(const QString& sql, QStringView word, qsizetype from) {
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

bool changesSchema(const QString& sql) {
    return findKeyword(sql, u"CREATE") >= 0 || findKeyword(sql, u"ALTER") >= 0 ||
           findKeyword(sql, u"DROP") >= 0;
}

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

} // namespace db
