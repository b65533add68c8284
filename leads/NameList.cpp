#include "leads/NameList.h"

#include <QApplication>
#include <QFontMetrics>
#include <QItemSelectionModel>
#include <QPainter>
#include <algorithm>

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
    : QListView(parent), m_model(new LeadListModel(this)), m_delegate(new TabStopDelegate(this)) {
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
    connect(m_model, &LeadListModel::readFailed, this, &NameList::rowsUnreadable);
}

int NameList::count() const {
    return m_model->rowCount();
}

QString NameList::text(int row) const {
    return m_model->text(row);
}

qint32 NameList::itemData(int row) const {
    return m_model->id(row);
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

std::vector<qint32> NameList::selectedIds() const {
    std::vector<qint32> ids;
    const std::vector<qint32>& all = m_model->ids();
    for (const auto& [first, last] : selectedSpans(selectionModel()))
        ids.insert(ids.end(), all.begin() + first, all.begin() + last + 1);
    return ids;
}

void NameList::clear() {
    m_model->clear();
}

void NameList::fill(db::Connection& connection, const leads::LeadQuery& query, const QFont& font) {
    m_model->setFont(font);
    m_model->fill(connection, query);
}

int NameList::removeSelected() {
    const auto spans = selectedSpans(selectionModel());
    int removed = 0;
    for (const auto& [first, last] : spans)
        removed += last - first + 1;
    m_model->removeSpans(spans);
    return removed;
}

void NameList::setTabStops(std::vector<int> dialogUnits) {
    m_delegate->setTabStops(std::move(dialogUnits));
    viewport()->update();
}

std::vector<int> NameList::tabStopPixels() const {
    return TabStopDelegate::stopPixels(m_delegate->tabStops(), font());
}
