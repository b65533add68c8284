#include "leads/LeadListPanel.h"

#include "errors/ErrorNumbers.h"
#include "errors/ShowError.h"
#include "leads/ColumnFitter.h"
#include "leads/FindNameDialog.h"
#include "leads/NameList.h"
#include "platform/BusyGuard.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "startup/AppContext.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardItemModel>

using platform::BusyGuard;
using platform::placeInTwips;

namespace {

// Where the error boxes say a failure happened: the procedures the user's support knows.
const QString kFillNamesLocation = QStringLiteral("Form Main: Sub FillNames");
const QString kChooseDateLocation = QStringLiteral("Form Main: Sub cmbDates_Click");
const QString kDisplayLocation = QStringLiteral("Form Main: Sub cmbDisplay_Click");
const QString kSortLocation = QStringLiteral("Form Main: Sub cmdSort_Click_Err");
const QString kSelectionLocation = QStringLiteral("Form Main: Sub cmdSel_Click");
const QString kListClickLocation = QStringLiteral("Form Main: Sub lstNames_Click");
const QString kFindLocation = QStringLiteral("Form Main: Sub cmdFind_Click");

const QString kChosenMark = QStringLiteral("* ");
const QString kSearchEntry = QStringLiteral("* Name Search Results");
constexpr qint32 kSearchEntryId = -1;

// The panel's two groups, in twips of the window: the source date group above the name group.
constexpr int kLeft = 60, kTop = 1020, kWidth = 10785, kDatesHeight = 795, kNamesTop = 1830,
              kNamesWidth = 10755, kNamesHeight = 4515;

QString dateText(const QVariant& date) {
    return date.isNull() ? QString()
                         : QLocale(QLocale::English).toString(date.toDate(), QStringLiteral("MMMM d, yyyy"));
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* label(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    return l;
}

QComboBox* comboBox(const char* name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

LeadListPanel::LeadListPanel(AppContext& context, QWidget* parent) : QWidget(parent), m_context(context) {
    setObjectName(QStringLiteral("leadListPanel"));
    m_headerAscending.fill(true);
    buildLayout();

    // A choice made by the user (mouse or keys), also of the entry already shown; the program's own
    // selections call the handlers themselves where they are wanted.
    connect(m_datesBox, &QComboBox::activated, this, [this] { chooseDate(); });
    connect(m_displayBox, &QComboBox::activated, this, [this] { applyDisplay(); });
    for (int i = 0; i < leads::kSortColumnCount; ++i)
        connect(m_headers[static_cast<size_t>(i)], &QPushButton::clicked, this, [this, i] { sortBy(i); });
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { deleteSelected(); });
    connect(m_selectAllButton, &QPushButton::clicked, this, [this] { selectAll(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearSelection(); });
    connect(m_namesView, &NameList::listClicked, this, [this] { listClicked(); });
    // Rows are read as they are shown; one that cannot be is reported as a failed fill would be.
    connect(m_namesView, &NameList::rowsUnreadable, this, [](qint32 number, const QString& description) {
        showError(Failure(number, description), kFillNamesLocation);
    });
    connect(m_findButton, &QPushButton::clicked, this, [this] { findName(); });
}

LeadListPanel::~LeadListPanel() = default;

void LeadListPanel::buildLayout() {
    const QRect area = platform::twipsRect(kLeft, kTop, kWidth, kNamesTop + kNamesHeight - kTop);
    setGeometry(area);
    // The groups keep their places in the window: their twips are the window's, moved into the panel.
    auto placeGroup = [&](QGroupBox* group, int top, int width, int height) {
        group->setGeometry(platform::twipsRect(kLeft, top, width, height).translated(-area.topLeft()));
    };

    auto* dates = new QGroupBox(QStringLiteral("Select a Source Date"), this);
    placeGroup(dates, kTop, kWidth, kDatesHeight);
    m_modeBox = comboBox("modeBox", dates);
    m_modeBox->addItems({QStringLiteral("REPLACE"), QStringLiteral("ADD")});
    placeInTwips(m_modeBox, 5400, 300, 1635, 315);
    m_datesBox = comboBox("datesBox", dates);
    placeInTwips(m_datesBox, 1110, 300, 3615, 315);
    placeInTwips(label(QStringLiteral("Mode:"), dates), 4860, 330, 555, 255);
    placeInTwips(label(QStringLiteral("Source Date:"), dates), 120, 330, 1095, 255);
    placeInTwips(label(QStringLiteral("Display:"), dates), 7200, 330, 675, 255);
    m_displayBox = comboBox("displayBox", dates);
    m_displayBox->addItems(
        {QStringLiteral("ALL NAMES"), QStringLiteral("NOTE PRINTED"), QStringLiteral("PRINTED ONLY")});
    placeInTwips(m_displayBox, 7800, 300, 2745, 315);

    // The name group: the panel behind the list first, so that the header row and the list lie on top.
    auto* names = new QGroupBox(QStringLiteral("Select Names"), this);
    placeGroup(names, kNamesTop, kNamesWidth, kNamesHeight);
    auto* backing = new QWidget(names);
    placeInTwips(backing, 60, 210, 10695, 3675);
    m_findButton = button(QStringLiteral("Find Name..."), "findNameButton", names);
    placeInTwips(m_findButton, 5640, 3990, 1185, 375);
    m_deleteButton = button(QStringLiteral("Delete"), "deleteButton", names);
    placeInTwips(m_deleteButton, 7020, 3990, 1185, 375);
    m_selectAllButton = button(QStringLiteral("Select All"), "selectAllButton", names);
    placeInTwips(m_selectAllButton, 8250, 3990, 1185, 375);
    m_clearButton = button(QStringLiteral("Clear"), "clearButton", names);
    placeInTwips(m_clearButton, 9480, 3990, 1185, 375);
    placeInTwips(label(QStringLiteral("Availible Names:"), names), 90, 4110, 1275, 255);
    placeInTwips(label(QStringLiteral("Selected Names:"), names), 2340, 4110, 1275, 255);
    m_availableCount = label(QStringLiteral("0"), names, "availableCount");
    placeInTwips(m_availableCount, 1350, 4110, 825, 255);
    m_selectedCount = label(QStringLiteral("0"), names, "selectedCount");
    placeInTwips(m_selectedCount, 3630, 4110, 825, 255);
    m_namesView = new NameList(names);
    m_namesView->setObjectName(QStringLiteral("namesView"));
    placeInTwips(m_namesView, 90, 480, 10635, 3345);
    for (size_t i = 0; i < m_headers.size(); ++i) {
        const leads::ListColumn& column = leads::kListColumns[i];
        m_headers[i] = button(QString::fromLatin1(column.caption), column.objectName, names);
        placeInTwips(m_headers[i], column.left, 240, column.width, 255);
        m_headers[i]->setToolTip(QString::fromLatin1(column.tip));
        m_headers[i]->setAutoDefault(false);
    }
}

int LeadListPanel::selectedCount() const {
    return m_namesView->selectedCount();
}

std::vector<qint32> LeadListPanel::selectedIds() const {
    return m_namesView->selectedIds();
}

void LeadListPanel::load() {
    m_handleClicks = true;
    m_query.source = leads::ListSource::Dates;
    m_dates = leads::dataFilesNewestFirst(m_context.connection());
    // All dates go into the box's model at once: one insertion rather than one per date, which with
    // hundreds of data files was a noticeable part of the start.
    QList<QStandardItem*> items;
    items.reserve(static_cast<qsizetype>(m_dates.size()));
    for (const leads::DataFileEntry& file : m_dates) {
        m_dateTexts.push_back(dateText(file.date));
        auto* item = new QStandardItem(m_dateTexts.back());
        item->setData(file.id, Qt::UserRole);
        items.append(item);
    }
    if (!items.isEmpty())
        qobject_cast<QStandardItemModel*>(m_datesBox->model())->invisibleRootItem()->appendRows(items);
    m_modeBox->setCurrentIndex(0);
    m_appliedFilter = leads::DisplayFilter::AllNames;
    m_query.filter = m_appliedFilter;
    m_displayBox->setCurrentIndex(0);
    std::vector<int> stops;
    for (const leads::ListColumn& column : leads::kListColumns)
        stops.push_back(column.tabStop);
    m_namesView->setTabStops(std::move(stops));
    // Before the first lead list there is no date to choose: the list stays empty.
    if (m_datesBox->count() > 0) {
        m_datesBox->setCurrentIndex(0);
        chooseDate();
    }
}

std::vector<qint32> LeadListPanel::chosenDatesInListOrder() const {
    std::vector<qint32> ids;
    for (const leads::DataFileEntry& file : m_dates)
        if (m_chosenDates.count(file.id))
            ids.push_back(file.id);
    return ids;
}

// The box shows a chosen date with "* " in front of it.
void LeadListPanel::showDateMarks() {
    const int first = m_query.source == leads::ListSource::Search ? 1 : 0;
    for (size_t i = 0; i < m_dates.size(); ++i)
        m_datesBox->setItemText(first + static_cast<int>(i),
                                (m_chosenDates.count(m_dates[i].id) ? kChosenMark : QString()) +
                                    m_dateTexts[i]);
}

void LeadListPanel::selectionEmptied() {
    m_selectedCount->setText(QStringLiteral("0"));
    m_deleteButton->setEnabled(false);
    emit selectionChanged();
}

void LeadListPanel::fillNames() {
    m_namesView->clear();
    m_availableCount->setText(QStringLiteral("0"));
    selectionEmptied();

    try {
        m_query.dataFileIds = chosenDatesInListOrder();
        m_namesView->fill(m_context.connection(), m_query, font());
        m_availableCount->setText(QString::number(m_namesView->count()));
        m_selectedCount->setText(QString::number(m_namesView->selectedCount()));
    } catch (const Failure& failure) {
        // The rows read before the failure stay; the counters stay at 0.
        showError(failure, kFillNamesLocation);
    }
}

void LeadListPanel::chooseDate() {
    const int chosen = m_datesBox->currentIndex();
    if (chosen < 0 || m_datesBox->itemData(chosen).toInt() == kSearchEntryId || !m_handleClicks)
        return;
    BusyGuard busy(window());
    try {
        busy.enter();
        int index = chosen;
        if (m_query.source == leads::ListSource::Search) {
            // Choosing a date leaves the search.
            m_query.source = leads::ListSource::Dates;
            m_datesBox->removeItem(0);
            --index;
            m_query.searchTerms.clear();
            m_modeBox->setCurrentIndex(0);
        }
        const qint32 id = m_datesBox->itemData(index).toInt();
        if (m_modeBox->currentIndex() == 1) {
            if (m_chosenDates.count(id)) {
                // Already part of the list: only bring the box back to the last date chosen.
                m_datesBox->setCurrentIndex(m_datesBox->findData(m_lastChosenDate));
                return;
            }
        } else {
            m_chosenDates.clear();
        }
        m_lastChosenDate = id;
        m_chosenDates.insert(id);
        showDateMarks();
        fillNames();
    } catch (const Failure& failure) {
        showError(failure, kChooseDateLocation);
    }
}

void LeadListPanel::applyDisplay() {
    const auto filter = static_cast<leads::DisplayFilter>(m_displayBox->currentIndex());
    if (filter == m_appliedFilter)
        return;
    BusyGuard busy(window());
    try {
        busy.enter();
        m_appliedFilter = filter;
        m_query.filter = filter;
        fillNames();
    } catch (const Failure& failure) {
        showError(failure, kDisplayLocation);
    }
}

// A header sorts by its column; clicked again it turns the direction round. Each header remembers its
// own direction, and the last one clicked is underlined.
void LeadListPanel::sortBy(int header) {
    BusyGuard busy(window());
    try {
        busy.enter();
        const auto at = static_cast<size_t>(header);
        if (header == m_lastHeader) {
            m_headerAscending[at] = !m_headerAscending[at];
        } else {
            QFont plain = m_headers[static_cast<size_t>(m_lastHeader)]->font();
            plain.setUnderline(false);
            m_headers[static_cast<size_t>(m_lastHeader)]->setFont(plain);
            QFont underlined = m_headers[at]->font();
            underlined.setUnderline(true);
            m_headers[at]->setFont(underlined);
            m_lastHeader = header;
        }
        m_query.sort = {leads::kListColumns[at].sort, m_headerAscending[at]};
        fillNames();
        busy.leave();
        m_namesView->setFocus();
    } catch (const Failure& failure) {
        showError(failure, kSortLocation);
    }
}

void LeadListPanel::deleteSelected() {
    // Nothing selected, nothing to delete (the button is disabled then anyway).
    if (m_namesView->selectedCount() == 0)
        return;
    BusyGuard busy(window());
    try {
        const auto answer =
            platform::messageBox(QStringLiteral("Are you sure you want to delete the selected "
                                                "Names?\r\n\r\nThis action cannot be undone."),
                                 platform::Icon::Exclamation, platform::Buttons::YesNo,
                                 QStringLiteral("Confirm Delete"), platform::Yes);
        if (answer != platform::Yes)
            return;
        busy.enter();
        // The rows leave the list only once the database has let them go, so that list and database
        // never disagree.
        leads::deleteNames(m_context.connection(), selectedIds());
        m_namesView->removeSelected();
        m_availableCount->setText(QString::number(m_namesView->count()));
        selectionEmptied();
    } catch (const Failure& failure) {
        showError(failure, kSelectionLocation);
    }
}

void LeadListPanel::selectAll() {
    BusyGuard busy(window());
    busy.enter();
    m_handleClicks = false;
    m_namesView->selectRange(0, m_namesView->count() - 1, true);
    m_handleClicks = true;
    listClicked();
}

void LeadListPanel::clearSelection() {
    // One deselection of every row, handled once as the user's click would be.
    {
        const QSignalBlocker quiet(m_namesView);
        m_namesView->selectRange(0, m_namesView->count() - 1, false);
    }
    listClicked();
}

void LeadListPanel::listClicked() {
    if (!m_handleClicks)
        return;
    try {
        const int selected = m_namesView->selectedCount();
        m_selectedCount->setText(QString::number(selected));
        m_deleteButton->setEnabled(selected > 0);
        emit selectionChanged();
    } catch (const Failure& failure) {
        showError(failure, kListClickLocation);
    }
}

// A search replaces the list, or in ADD mode widens the last search; the search entry stands in the
// date box while the list shows search results.
void LeadListPanel::findName() {
    // A dialog left behind by a failed search is shown again, its text kept.
    auto* dialog = findChild<FindNameDialog*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog)
        dialog = new FindNameDialog(this);
    dialog->setResult(QDialog::Rejected);
    BusyGuard busy(window());
    try {
        platform::showModal(*dialog);
        if (dialog->result() == QDialog::Accepted) {
            busy.enter();
            if (m_query.source == leads::ListSource::Dates) {
                m_query.source = leads::ListSource::Search;
                m_chosenDates.clear();
                m_datesBox->insertItem(0, kSearchEntry, kSearchEntryId);
                showDateMarks();
                m_handleClicks = false;
                m_datesBox->setCurrentIndex(0);
                m_handleClicks = true;
                m_modeBox->setCurrentIndex(0);
            }
            const QString term = dialog->searchText();
            if (m_modeBox->currentIndex() == 0 || m_query.searchTerms.isEmpty())
                m_query.searchTerms = QStringList{term};
            else
                m_query.searchTerms.prepend(term);
            fillNames();
            busy.leave();
        }
        delete dialog;
    } catch (const Failure& failure) {
        m_handleClicks = true;
        showError(failure, kFindLocation);
    }
}
