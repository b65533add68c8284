#pragma once

#include "leads/ColumnFitter.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>
#include <array>
#include <vector>

// One row of the name list: the tab-separated line as shown and the Names.ID behind it.
struct NameRow {
    QString text;
    qint32 id = 0;
};

// The rows of the name list, kept in the order they were added (the list never sorts).
class NameModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const std::vector<NameRow>& rows() const { return m_rows; }
    void setRows(std::vector<NameRow> rows);
    void append(NameRow row);
    void removeAt(int row);
    // Keeps the rows whose flag is false, in their order, in one reset.
    void removeFlagged(const std::vector<bool>& flagged);

private:
    std::vector<NameRow> m_rows;
};

// Draws a row's tab-separated text at the list's tab stops, the way a list box with tab stops
// lays out tabbed text: each tab moves on to the first stop right of the text drawn so far.
class TabStopDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Tab stops in dialog units of the list's font.
    void setTabStops(std::vector<int> dialogUnits) { m_stops = std::move(dialogUnits); }
    const std::vector<int>& tabStops() const { return m_stops; }

    // Pixel positions of the stops for `font` (a dialog unit is a quarter of the average
    // character width).
    static std::vector<int> stopPixels(const std::vector<int>& dialogUnits, const QFont& font);
    // Left edge (pixels from the text's start) of every tab-separated piece of `text`.
    static std::vector<int> pieceOffsets(const QString& text, const std::vector<int>& stops,
                                         const ColumnFitter& widths);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    std::vector<int> m_stops;
};

// The list of names: extended multiple selection, unsorted, one line of tab-separated text per row with
// the row's Names.ID as item data. Backed by a model, so that a hundred thousand rows fill and select
// quickly. Every change of the selection, by the user or by the program, raises listClicked(), as the
// list box's Click event was raised; the window's guard decides whether it is handled.
class NameList : public QListView {
    Q_OBJECT
public:
    explicit NameList(QWidget* parent = nullptr);

    int count() const;
    QString text(int row) const;
    qint32 itemData(int row) const;
    bool isSelected(int row) const;
    void setSelected(int row, bool selected);
    int selectedCount() const;
    // Selects or deselects rows first..last (inclusive) as one change.
    void selectRange(int first, int last, bool selected = true);
    std::vector<int> selectedRows() const; // ascending
    void clear();
    void addItem(const QString& text, qint32 id);
    void setRows(std::vector<NameRow> rows);
    void removeAt(int row);
    // Removes every selected row as one change; returns how many went.
    int removeSelected();

    void setTabStops(std::vector<int> dialogUnits);
    std::vector<int> tabStopPixels() const;

    NameModel* nameModel() const { return m_model; }

signals:
    void listClicked();

private:
    NameModel* m_model;
    TabStopDelegate* m_delegate;
};
