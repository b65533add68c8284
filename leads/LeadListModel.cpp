#include "leads/LeadListModel.h"

#include "errors/Failure.h"

#include <algorithm>

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

void LeadListModel::fill(db::Connection& connection, const leads::LeadQuery& query) {
    beginResetModel();
    m_ids.clear();
    dropCache();
    m_rowsRead = 0;
    m_failureReported = false;
    m_connection = &connection;
    std::vector<qint32> ids;
    try {
        leads::readLeadIds(connection, query, ids);
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
    try {
        const std::vector<qint32> ids(m_ids.begin() + first, m_ids.begin() + first + count);
        const std::vector<leads::LeadRow> rows = leads::leadRows(*m_connection, ids);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].id != 0)
                into.texts[i] = rowText(rows[i], *m_fitter);
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

QString LeadListModel::rowText(const leads::LeadRow& row, const ColumnFitter& fitter) {
    const QChar tab = QLatin1Char('\t');
    QString line;
    line.reserve(160);
    for (int c = 0; c < leads::kListColumnCount; ++c) {
        const leads::ListColumn& column = leads::kListColumns[c];
        const QString& cell = row.cells[static_cast<size_t>(c)];
        // An unset mark leaves no empty piece behind it: the line ends at the text before it.
        if (column.format == leads::CellFormat::Mark && cell.isEmpty())
            continue;
        line += column.format == leads::CellFormat::Fitted ? fitter.fit(cell, column.width) : cell;
        line += tab;
    }
    return line;
}
