#pragma once

#include "leads/ColumnFitter.h"
#include "leads/LeadListModel.h"

#include <QListView>
#include <QStyledItemDelegate>
#include <array>
#include <vector>

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
// the row's Names.ID as item data. Its model holds the IDs in list order and reads a row's text only when
// it is shown, so that a million names fill quickly and in little memory; the selection is kept as ranges
// of rows, so that selecting all of them or counting them does not go row by row. Every change of the
// selection, by the user or by the program, raises listClicked(), as the list box's Click event was
// raised; the window's guard decides whether it is handled.
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
    // The Names.IDs of the selected rows, in list order.
    std::vector<qint32> selectedIds() const;
    void clear();
    // Fills the list with the names `query` lists, their fitted columns fitted in `font`. A failure is
    // raised with the rows before it kept.
    void fill(db::Connection& connection, const leads::LeadQuery& query, const QFont& font);
    // Removes every selected row as one change; returns how many went.
    int removeSelected();

    void setTabStops(std::vector<int> dialogUnits);
    std::vector<int> tabStopPixels() const;

    LeadListModel* leadModel() const { return m_model; }

signals:
    void listClicked();
    // Rows the list was about to show could not be read; raised after the paint that met it.
    void rowsUnreadable(qint32 number, const QString& description);

private:
    LeadListModel* m_model;
    TabStopDelegate* m_delegate;
};
