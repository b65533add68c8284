#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVariant>
#include <QWidget>
#include <array>

class NameList;

// A control's tag: a small text kept with the control and never shown.
inline QString Tag(const QObject* control) {
    return control->property("Tag").toString();
}
inline void SetTag(QObject* control, const QString& text) {
    control->setProperty("Tag", text);
}

// Twips (1/1440 inch) to pixels at 96 dots per inch.
constexpr int Twips(int twips) {
    return twips / 15;
}

// The program's one working window: contact, source date, name list and template groups, with the
// command buttons underneath. Controls and handlers are public so that the tests can drive the window
// as a user would and read what it shows. The handlers live with their subsystems:
//   leads/   layout, Form_Load, closing, FillNames, dates, display, sorting, selection, Find Name
//   dealer/  the contact controls
//   letters/ the template catalogue, the print buttons' rules and the print handler
class frmMain : public QWidget {
    Q_OBJECT
public:
    // Builds the controls and connects them; Form_Load fills them and is called before the first show.
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // Window state shared by the handlers (the text values live in the controls' tags).
    bool bEnableClicks = true;
    bool bEnablePhoneChange = true;
    qint16 iListSource = 0; // 0: marked source dates, 1: name search results

    // Contact group.
    QGroupBox* Frame = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbDealer = nullptr; // item data: Dlr_Info.ID
    QLabel* Label2 = nullptr;
    QComboBox* cmbName = nullptr; // editable; item data: Contact_Info.ID
    QLabel* Label3 = nullptr;
    QLineEdit* txtPhone = nullptr;
    QPushButton* cmdSave = nullptr;

    // Source date group.
    QGroupBox* Frame1 = nullptr;
    QComboBox* cmbMode = nullptr;
    QComboBox* cmbDates = nullptr; // item data: DataFiles.ID, -1 on the search entry
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* cmbDisplay = nullptr;

    // Name group.
    QGroupBox* Frame2 = nullptr;
    QPushButton* cmdFind = nullptr;
    std::array<QPushButton*, 3> cmdSel{}; // Delete, Select All, Clear
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* lblAvail = nullptr;
    QLabel* lblSel = nullptr;
    QWidget* pnlNames = nullptr;
    std::array<QPushButton*, 9> cmdSort{};
    NameList* lstNames = nullptr; // item data: Names.ID

    // Template group.
    QGroupBox* Frame3 = nullptr;
    std::array<QRadioButton*, 3> optPromos{};
    QListWidget* lstPromos = nullptr;

    // Command row.
    std::array<QPushButton*, 3> cmdPrint{}; // Print Call, Preview, Print
    QPushButton* cmdExit = nullptr;
    QPushButton* cmdImportNewTemplate = nullptr;
    QPushButton* cmdImportdatafile = nullptr;

    // leads/
    void Form_Load();
    void cmdExit_Click();
    void FillNames();
    void cmbDates_Click();
    void cmbDisplay_Click();
    void cmdSort_Click(int Index);
    void cmdSel_Click(int Index);
    void lstNames_Click();
    void cmdFind_Click();

    // dealer/
    void FillContacts(); // load step 4
    void cmbName_Change();
    void cmbName_Click();
    void cmbName_LostFocus();
    void txtPhone_Change();
    void txtPhone_GotFocus();
    void txtPhone_LostFocus();
    void cmdSave_Click();
    void SaveContact();
    // The name box's selected entry (-1 while its text has been typed rather than picked).
    int cmbNameListIndex() const;

    // letters/
    void FillPromos();
    void optPromos_Click(int Index);
    void lstPromos_Click();
    void EnablePrint();
    void cmdImportNewTemplate_Click();
    void cmdPrint_Click(int Index);

    // intake/
    void cmdImportdatafile_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();      // leads/
    void connectContacts();  // dealer/: signals and focus events of the contact controls
    void connectTemplates(); // letters/
    int m_cmbNameListIndex = -1;
    friend class ContactControls;
};
