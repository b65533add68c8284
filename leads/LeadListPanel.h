#pragma once

#include "leads/LeadStore.h"

#include <QWidget>
#include <array>
#include <set>
#include <vector>

class NameList;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class AppContext;

// The source date and name groups of the main window: the source dates with their REPLACE/ADD mode,
// the display filter, the name list under its header row of sort buttons, the selection buttons, the
// counters and Find Name. It keeps what the list shows as data (the chosen dates, the search terms, the
// filter and the order) and builds the list from it in fillNames(). It reports every change of the
// selection with selectionChanged(), and a rebuilt or emptied list the same way.
class LeadListPanel : public QWidget {
    Q_OBJECT
public:
    LeadListPanel(AppContext& context, QWidget* parent);
    ~LeadListPanel() override;

    // The window's load: the source dates newest first, REPLACE and ALL NAMES, and the newest date
    // chosen, which builds the list. A failure to read the dates is raised for the window's load.
    void load();
    // Builds the list anew from the chosen dates or search; a failure is reported here.
    void fillNames();

    int selectedCount() const;
    // The IDs of the selected names, in list order.
    std::vector<qint32> selectedIds() const;
    leads::SortOrder sortOrder() const { return m_query.sort; }

signals:
    void selectionChanged();

private:
    void buildLayout();
    void chooseDate();
    void applyDisplay();
    void sortBy(int header);
    void deleteSelected();
    void selectAll();
    void clearSelection();
    void listClicked();
    void findName();

    void showDateMarks();
    void selectionEmptied(); // after the list lost its rows or its selection without a click
    std::vector<qint32> chosenDatesInListOrder() const;

    AppContext& m_context;

    QComboBox* m_modeBox = nullptr;
    QComboBox* m_datesBox = nullptr; // item data: DataFiles.ID, -1 on the search entry
    QComboBox* m_displayBox = nullptr;
    QPushButton* m_findButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_selectAllButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    QLabel* m_availableCount = nullptr;
    QLabel* m_selectedCount = nullptr;
    std::array<QPushButton*, leads::kSortColumnCount> m_headers{};
    NameList* m_namesView = nullptr; // item data: Names.ID

    // The source dates as listed (newest first) and their texts without the mark of a chosen date.
    std::vector<leads::DataFileEntry> m_dates;
    std::vector<QString> m_dateTexts;
    std::set<qint32> m_chosenDates;
    qint32 m_lastChosenDate = -1; // the box goes back to it when ADD chooses a date already chosen
    leads::LeadQuery m_query;
    leads::DisplayFilter m_appliedFilter = leads::DisplayFilter::AllNames;
    // The header clicked last (Court before any click) and each header's next direction.
    int m_lastHeader = 0;
    std::array<bool, leads::kSortColumnCount> m_headerAscending{};
    // Off while the program changes the list or the dates itself, so that those are no user's clicks.
    bool m_handleClicks = true;
};
