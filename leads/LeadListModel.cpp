#include "leads/LeadListModel.h"

#include "database/Database.h"
#include "database/IntegerRows.h"
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"

#include <QDateTime>
#include <QHash>
#include <algorithm>

namespace {

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

QString requiredText(const QVariant& value) {
    if (value.isNull())
        throw nullFailure();
    return value.toString();
}

constexpr int kNameWidth = 1995;
constexpr int kStreetWidth = 2085;
constexpr int kCityWidth = 1875;

} // namespace

const QString LeadListModel::RowColumns =
    QStringLiteral("ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, Printed");

LeadListModel::LeadListModel(QObject* parent) : QAbstractListModel(parent) {}

int LeadListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
}

QVariant LeadListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::DisplayRole)
        return text(index.row());
    if (role == Qt::UserRole)
        return id(index.row());
    return {};
}

void LeadListModel::setFont(const QFont& font) {
    if (m_fitter && font == m_font)
        return;
    m_font = font;
    m_fitter = std::make_unique<ColumnFitter>(m_font);
    dropCache();
    if (!m_ids.empty())
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::DisplayRole});
}

void LeadListModel::fill(db::Connection& connection, const QString& conditionAndOrder,
                         const QVariantList& parameters) {
    beginResetModel();
    m_ids.clear();
    dropCache();
    m_rowsRead = 0;
    m_failureReported = false;
    m_connection = &connection;
    std::vector<qint32> ids;
    try {
        // The text of a row needs its Name and Street; a row without them is found here, where the list
        // stops at it as it always has, rather than when it is scrolled to.
        const db::PageCacheLimit sortInLittleMemory(connection, 4096);
        db::readIntegerRows(
            connection,
            QStringLiteral("SELECT ID, Name IS NULL OR Street IS NULL FROM [Names] ") + conditionAndOrder, 2,
            [&ids](const qint64* row) {
                if (row[1] != 0)
                    throw nullFailure();
                ids.push_back(static_cast<qint32>(row[0]));
                return true;
            },
            parameters);
    } catch (const Failure&) {
        m_ids = std::move(ids);
        endResetModel();
        throw;
    }
    m_ids = std::move(ids);
    endResetModel();
}

void LeadListModel::clear() {
    beginResetModel();
    m_ids.clear();
    m_ids.shrink_to_fit();
    dropCache();
    endResetModel();
}

qint32 LeadListModel::id(int row) const {
    if (row < 0 || row >= rowCount())
        return 0;
    return m_ids[static_cast<size_t>(row)];
}

QString LeadListModel::text(int row) const {
    if (row < 0 || row >= rowCount())
        return {};
    return batch(row / BatchRows).texts[static_cast<size_t>(row % BatchRows)];
}

void LeadListModel::removeSpans(const std::vector<std::pair<int, int>>& spans) {
    if (spans.empty())
        return;
    std::vector<qint32> kept;
    kept.reserve(m_ids.size());
    const auto begin = m_ids.begin();
    size_t next = 0;
    for (const auto& [first, last] : spans) {
        const auto from = static_cast<size_t>(std::clamp(first, 0, rowCount()));
        const auto to = static_cast<size_t>(std::clamp(last + 1, 0, rowCount()));
        if (from > next)
            kept.insert(kept.end(), begin + static_cast<qsizetype>(next),
                        begin + static_cast<qsizetype>(from));
        next = std::max(next, to);
    }
    kept.insert(kept.end(), m_ids.begin() + static_cast<qsizetype>(next), m_ids.end());
    beginResetModel();
    m_ids = std::move(kept);
    dropCache();
    endResetModel();
}

const LeadListModel::Batch& LeadListModel::batch(int index) const {
    auto found = m_batches.find(index);
    if (found != m_batches.end()) {
        m_recent.splice(m_recent.begin(), m_recent, found->second.use);
        return found->second;
    }
    while (static_cast<int>(m_batches.size()) >= CachedBatches) {
        m_batches.erase(m_recent.back());
        m_recent.pop_back();
    }
    m_recent.push_front(index);
    Batch& fresh = m_batches[index];
    fresh.use = m_recent.begin();
    readBatch(index, fresh);
    return fresh;
}

void LeadListModel::readBatch(int index, Batch& into) const {
    const int first = index * BatchRows;
    const int count = std::min(BatchRows, rowCount() - first);
    into.texts.assign(static_cast<size_t>(std::max(count, 0)), QString());
    if (count <= 0 || !m_connection)
        return;
    if (!m_fitter)
        m_fitter = std::make_unique<ColumnFitter>(m_font);
    // The batch's IDs go into the statement as numbers: at most BatchRows of them, whatever the list holds.
    QString sql = QStringLiteral("SELECT ") + RowColumns + QStringLiteral(" FROM [Names] WHERE ID IN (");
    QHash<qint32, int> offsets;
    offsets.reserve(count);
    for (int i = 0; i < count; ++i) {
        const qint32 id = m_ids[static_cast<size_t>(first + i)];
        offsets.insert(id, i);
        if (i > 0)
            sql += QLatin1Char(',');
        sql += QString::number(id);
    }
    sql += QLatin1Char(')');
    try {
        db::Recordset rs;
        rs.open(sql, *m_connection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        for (; !rs.eof(); rs.moveNext()) {
            const auto at = offsets.constFind(rs.value(0).toInt());
            if (at != offsets.constEnd())
                into.texts[static_cast<size_t>(at.value())] = rowText(rs, *m_fitter);
        }
        rs.close();
        m_rowsRead += count;
    } catch (const Failure& failure) {
        // Raised from a paint: the view cannot take a message box now, so the failure is passed on
        // once the paint is over, and the rows stay empty until the next fill.
        if (!m_failureReported) {
            m_failureReported = true;
            auto* self = const_cast<LeadListModel*>(this);
            QMetaObject::invokeMethod(
                self,
                [self, number = failure.number(), description = failure.description()] {
                    emit self->readFailed(number, description);
                },
                Qt::QueuedConnection);
        }
    }
}

void LeadListModel::dropCache() {
    m_batches.clear();
    m_recent.clear();
}

QString LeadListModel::rowText(const db::Recordset& rs, const ColumnFitter& fitter) {
    const QChar tab = QLatin1Char('\t');
    QString line;
    line.reserve(160);
    line += rs.value(1).toString();
    line += tab;
    const QString name = requiredText(rs.value(2));
    const QString street = requiredText(rs.value(3));
    QString cityState = rs.value(4).toString();
    cityState += QStringLiteral(", ");
    cityState += rs.value(5).toString();
    line += fitter.fit(name, kNameWidth);
    line += tab;
    line += fitter.fit(street, kStreetWidth);
    line += tab;
    line += fitter.fit(cityState, kCityWidth);
    line += tab;
    line += rs.value(6).toString();
    line += tab;
    line += rs.value(7).toString();
    line += tab;
    appendShortDate(line, rs.value(8));
    line += tab;
    appendShortDate(line, rs.value(9));
    line += tab;
    if (rs.value(10).toBool()) {
        line += QLatin1Char('+');
        line += tab;
    }
    return line;
}
