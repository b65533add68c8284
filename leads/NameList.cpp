#include "leads/NameList.h"

#include <QApplication>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QPainter>
#include <algorithm>

int NameModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant NameModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= static_cast<int>(m_rows.size()))
        return {};
    const NameRow& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole)
        return row.text;
    if (role == Qt::UserRole)
        return row.id;
    return {};
}

void NameModel::setRows(std::vector<NameRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void NameModel::append(NameRow row) {
    const int at = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), at, at);
    m_rows.push_back(std::move(row));
    endInsertRows();
}

void NameModel::removeAt(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size()))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void NameModel::removeFlagged(const std::vector<bool>& flagged) {
    std::vector<NameRow> kept;
    kept.reserve(m_rows.size());
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (i >= flagged.size() || !flagged[i])
            kept.push_back(std::move(m_rows[i]));
    setRows(std::move(kept));
}

std::vector<int> TabStopDelegate::stopPixels(const std::vector<int>& dialogUnits, const QFont& font) {
    const qreal unit = QFontMetrics(font).averageCharWidth() / 4.0;
    std::vector<int> pixels;
    pixels.reserve(dialogUnits.size());
    for (int du : dialogUnits)
        pixels.push_back(qRound(du * unit));
    return pixels;
}

std::vector<int> TabStopDelegate::pieceOffsets(const QString& text, const std::vector<int>& stops,
                                               const ColumnFitter& widths) {
    std::vector<int> offsets;
    int x = 0;
    qsizetype start = 0;
    while (true) {
        offsets.push_back(x);
        const qsizetype tab = text.indexOf(QLatin1Char('\t'), start);
        if (tab < 0)
            break;
        const int end = x + widths.widthPixels(QStringView(text).mid(start, tab - start));
        // A tab moves to the first stop beyond the text; past the last stop it leaves one blank.
        auto next = std::upper_bound(stops.begin(), stops.end(), end);
        x = next != stops.end() ? *next : end + widths.widthPixels(u" ");
        start = tab + 1;
    }
    return offsets;
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const QRect area = opt.rect.adjusted(2, 0, -1, 0);
    const std::vector<int> stops = stopPixels(m_stops, opt.font);
    const std::vector<int> offsets = pieceOffsets(text, stops, ColumnFitter(opt.font));
    const QStringList pieces = text.split(QLatin1Char('\t'));

    const QPalette::ColorGroup group =
        (opt.state & QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected) ? QPalette::HighlightedText
                                                                                  : QPalette::Text));
    painter->setClipRect(opt.rect);
    for (qsizetype i = 0; i < pieces.size() && i < static_cast<qsizetype>(offsets.size()); ++i) {
        if (pieces[i].isEmpty())
            continue;
        const QRect cell(area.left() + offsets[static_cast<size_t>(i)], area.top(), area.width(),
                         area.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, pieces[i]);
    }
    painter->restore();
}

NameList::NameList(QWidget* parent)
    : QListView(parent), m_model(new NameModel(this)), m_delegate(new TabStopDelegate(this)) {
    setModel(m_model);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the height of one line: lets the view lay out a hundred thousand rows at once.
    setUniformItemSizes(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { emit listClicked(); });
}

int NameList::count() const {
    return m_model->rowCount();
}

QString NameList::text(int row) const {
    if (row < 0 || row >= count())
        return {};
    return m_model->rows()[static_cast<size_t>(row)].text;
}

qint32 NameList::itemData(int row) const {
    if (row < 0 || row >= count())
        return 0;
    return m_model->rows()[static_cast<size_t>(row)].id;
}

bool NameList::isSelected(int row) const {
    if (row < 0 || row >= count())
        return false;
    return selectionModel()->isSelected(m_model->index(row));
}

void NameList::setSelected(int row, bool selected) {
    if (row < 0 || row >= count())
        return;
    selectionModel()->select(m_model->index(row),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

namespace {
// The selection as sorted, non-overlapping spans of rows.
std::vector<std::pair<int, int>> selectedSpans(const QItemSelectionModel* model) {
    std::vector<std::pair<int, int>> spans;
    for (const QItemSelectionRange& range : model->selection())
        if (range.isValid())
            spans.emplace_back(range.top(), range.bottom());
    std::sort(spans.begin(), spans.end());
    std::vector<std::pair<int, int>> merged;
    for (const auto& span : spans) {
        if (!merged.empty() && span.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, span.second);
        else
            merged.push_back(span);
    }
    return merged;
}
} // namespace

int NameList::selectedCount() const {
    int total = 0;
    for (const auto& span : selectedSpans(selectionModel()))
        total += span.second - span.first + 1;
    return total;
}

void NameList::selectRange(int first, int last, bool selected) {
    first = std::max(first, 0);
    last = std::min(last, count() - 1);
    if (first > last)
        return;
    selectionModel()->select(QItemSelection(m_model->index(first), m_model->index(last)),
                             selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

std::vector<int> NameList::selectedRows() const {
    std::vector<int> rows;
    for (const auto& span : selectedSpans(selectionModel()))
        for (int r = span.first; r <= span.second; ++r)
            rows.push_back(r);
    return rows;
}

void NameList::clear() {
    setRows({});
}

void NameList::addItem(const QString& text, qint32 id) {
    m_model->append(NameRow{text, id});
}

void NameList::setRows(std::vector<NameRow> rows) {
    m_model->setRows(std::move(rows));
}

void NameList::removeAt(int row) {
    m_model->removeAt(row);
}

int NameList::removeSelected() {
    std::vector<bool> flagged(static_cast<size_t>(count()), false);
    int removed = 0;
    for (const auto& span : selectedSpans(selectionModel()))
        for (int r = span.first; r <= span.second; ++r, ++removed)
            flagged[static_cast<size_t>(r)] = true;
    if (removed > 0)
        m_model->removeFlagged(flagged);
    return removed;
}

void NameList::setTabStops(std::vector<int> dialogUnits) {
    m_delegate->setTabStops(std::move(dialogUnits));
    viewport()->update();
}

std::vector<int> NameList::tabStopPixels() const {
    return TabStopDelegate::stopPixels(m_delegate->tabStops(), font());
}
