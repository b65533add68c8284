#pragma once

#include "leads/ColumnFitter.h"
#include "leads/LeadStore.h"

#include <QAbstractListModel>
#include <QFont>
#include <list>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

// The rows of the name list as a model over their Names.IDs in list order. Filling it reads the IDs alone
// through the lead store; a row's text (Court, fitted Name, Street and "City, State", Zip, Phone, the
// two dates, "+" when printed, each followed by a tab) is read and fitted only when the view asks for it,
// a batch of neighbouring rows at a time, and only a bounded number of batches stays in memory. A million
// names then cost the list four bytes each instead of their whole text.
class LeadListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int BatchRows = 32;
    static constexpr int CachedBatches = 64;

    explicit LeadListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // Qt::DisplayRole: the row's text; Qt::UserRole: its Names.ID.
    QVariant data(const QModelIndex& index, int role) const override;

    // The font the Name, Street and "City, State" columns are fitted in.
    void setFont(const QFont& font);

    // Takes the IDs of the names `query` lists, in list order, from `connection`; rows are read from the
    // same connection later. A Name or Street that is Null stops the fill as a failure ("Invalid use of
    // Null"), as reading that row's text would. On any failure the rows before it stay and the failure is
    // raised.
    void fill(db::Connection& connection, const leads::LeadQuery& query);
    void clear();

    qint32 id(int row) const;
    const std::vector<qint32>& ids() const { return m_ids; }
    // The row's text, read and fitted now if it is not at hand.
    QString text(int row) const;
    // Removes the rows of `spans` (first, last; ascending and apart) in one reset; the others keep their
    // order and their texts are read again when next shown.
    void removeSpans(const std::vector<std::pair<int, int>>& spans);

    // How many rows have been read from the database since the last fill: what the view has shown.
    qint64 rowsRead() const { return m_rowsRead; }

    // A name as a line of the list: each column's text, fitted where its column is, followed by a tab.
    static QString rowText(const leads::LeadRow& row, const ColumnFitter& fitter);

signals:
    // The rows the view asked for could not be read (they show empty); raised once a fill, after the
    // paint that met it.
    void readFailed(qint32 number, const QString& description);

private:
    struct Batch {
        std::vector<QString> texts;
        std::list<int>::iterator use;
    };
    const Batch& batch(int index) const;
    void readBatch(int index, Batch& into) const;
    void dropCache();

    std::vector<qint32> m_ids;
    db::Connection* m_connection = nullptr;
    QFont m_font;
    mutable std::unique_ptr<ColumnFitter> m_fitter; // made on first use when no font was set
    mutable std::unordered_map<int, Batch> m_batches;
    mutable std::list<int> m_recent; // batch indexes, most recently used first
    mutable qint64 m_rowsRead = 0;
    mutable bool m_failureReported = false;
};
