#pragma once

#include <QGroupBox>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class AppContext;

// The contact group of the main window: the dealership the letters come from and the salesperson who
// signs them, picked from the name box, or typed in with a phone and saved (a new contact) or updated
// (a new phone for a listed one). contactChanged() reports every change of the name or phone that may
// decide whether letters can be printed.
class ContactPanel : public QGroupBox {
    Q_OBJECT
public:
    ContactPanel(AppContext& context, QWidget* parent);
    ~ContactPanel() override;

    // The window's load: the dealerships by name with the first chosen, the contacts in stored order with
    // none chosen. Fails (for the window's load to report) when there is no dealership.
    void load();

    bool hasNameAndPhone() const;
    // A typed contact or a new phone waits to be saved.
    bool savePending() const { return m_savePending; }
    // Saves the typed contact or the new phone; a failure is reported here.
    void saveContact();
    // The IDs of the chosen contact and dealership; without a chosen entry this fails.
    qint32 chosenContactId() const;
    qint32 chosenDealerId() const;
    // The name box's chosen entry (-1 while its text has been typed rather than picked).
    int nameListIndex() const { return m_nameListIndex; }

signals:
    void contactChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void fillContacts();
    void nameTyped();
    void namePicked();
    void nameLeft();
    void phoneChanged();
    void phoneEntered();
    void phoneLeft();
    void selectName(int index);
    void setSavePending(bool pending);

    AppContext& m_context;
    QComboBox* m_dealerBox = nullptr; // item data: Dlr_Info.ID
    QComboBox* m_nameBox = nullptr;   // editable; item data: Contact_Info.ID
    QLineEdit* m_phoneEdit = nullptr;
    QPushButton* m_saveButton = nullptr;

    int m_nameListIndex = -1;
    bool m_savePending = false;
    // The entry picked last, chosen again when the user leaves the name box emptied.
    std::optional<int> m_lastPick;
    // The phone as stored, put back when the user leaves the phone box emptied.
    QString m_storedPhone;
    // A pick raises the index change and then `activated`: handled once.
    bool m_pickHandled = false;
    // Off while the program changes the boxes itself, so that those are no user's changes.
    bool m_handleClicks = true;
    bool m_handlePhoneChange = true;
};
