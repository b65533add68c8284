#pragma once

#include "dealer/DealerStore.h"

#include <QDialog>
#include <array>
#include <vector>

class QGroupBox;
class QLineEdit;
class QPushButton;

// The dealer information dialog: asks for the name and address of every dealership the installation
// serves (one per delivered Dlr_Info row) and writes them all once the last one is confirmed. Shown
// modally by start-up at first run; it ends Accepted when the dealerships were saved, Rejected when not.
class DealerDialog : public QDialog {
    Q_OBJECT
public:
    explicit DealerDialog(db::Connection& connection, QWidget* parent = nullptr);
    ~DealerDialog() override;

    QGroupBox* group() const { return m_group; }
    QLineEdit* nameEdit() const { return m_nameEdit; }
    std::array<QLineEdit*, 2> addressEdits() const { return m_addressEdits; }
    QLineEdit* cityEdit() const { return m_cityEdit; }
    QLineEdit* stateEdit() const { return m_stateEdit; }
    QLineEdit* zipEdit() const { return m_zipEdit; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

public slots:
    // Escape and the close box count as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void load();
    void updateOkButton();
    void confirm(); // OK or Next
    void cancel();
    void finish(DialogCode result);
    std::array<QLineEdit*, 6> edits() const;

    db::Connection& m_connection;
    QGroupBox* m_group = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    std::array<QLineEdit*, 2> m_addressEdits{};
    QLineEdit* m_cityEdit = nullptr;
    QLineEdit* m_stateEdit = nullptr;
    QLineEdit* m_zipEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;

    int m_dealerCount = 0;   // dealerships to enter: the rows Dlr_Info holds
    int m_current = 0;       // dealership being entered, 1 to m_dealerCount
    bool m_finished = false; // saved, given up or cancelled: the dialog takes no more clicks
    // The values entered so far, one per dealership (the first is dealership 1).
    std::vector<dealer::DealerEntry> m_entries;
};
