#pragma once

#include "letters/PrintJob.h"
#include "startup/AppContext.h"

#include <QWidget>

class ContactPanel;
class LeadListPanel;
class PrintButtons;
class QPushButton;
class TemplatePicker;

// The program's one working window. It composes the panels, each of which owns its controls and their
// handlers: the contact group, the source dates with the name list, the template group and the print
// buttons; and it keeps the command row's Exit, "Import new template" and "Import data file". It decides
// which print buttons are enabled, from what the panels report, and runs a print with what they hold.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Fills the panels, before the window is first shown: dealerships and contacts, source dates and the
    // newest date's names, templates. A failure is reported and skips the rest of the load.
    void load();

    ContactPanel& contactPanel() const { return *m_contact; }
    LeadListPanel& leadListPanel() const { return *m_leadList; }
    TemplatePicker& templatePicker() const { return *m_templates; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setTabOrder();
    void updatePrintButtons();
    void print(letters::PrintKind kind);
    void exit();
    void importDataFile();

    AppContext& m_context;
    ContactPanel* m_contact = nullptr;
    LeadListPanel* m_leadList = nullptr;
    TemplatePicker* m_templates = nullptr;
    PrintButtons* m_printButtons = nullptr;
    QPushButton* m_exitButton = nullptr;
    QPushButton* m_importTemplateButton = nullptr;
    QPushButton* m_importDataFileButton = nullptr;
};
