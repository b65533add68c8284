#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <array>
#include <vector>

// The dealer information dialog: asks for the name and address of every dealership the installation
// serves (one per delivered Dlr_Info row) and writes them all once the last one is confirmed. Shown
// modally by start-up at first run; the caller reads iResponse once the dialog has hidden itself.
class frmDlrInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmDlrInfo(QWidget* parent = nullptr);
    ~frmDlrInfo() override;

    qint16 iResponse = 0; // 0 while running, 1 saved, 2 not saved
    qint16 iDlrCount = 0; // dealerships to enter: the rows Dlr_Info holds
    qint16 iCurDlr = 0;   // dealership being entered, 1 to iDlrCount

    // Columns of a row of sDlrEntries, in the order they are written.
    enum Column { colName, colAddr1, colAddr2, colCity, colState, colZip, ColumnCount };
    // The values entered so far, one row per dealership (row 0 is dealership 1).
    std::vector<std::array<QString, ColumnCount>> sDlrEntries;

    QGroupBox* fraDlrInfo = nullptr;
    std::array<QLabel*, 5> lblDlrInfo{}; // Name, Address, City, State, Zip
    QLineEdit* txtName = nullptr;
    std::array<QLineEdit*, 2> txtAddr{};
    QLineEdit* txtCity = nullptr;
    QLineEdit* txtState = nullptr;
    QLineEdit* txtZip = nullptr;
    std::array<QPushButton*, 2> cmdDlrInfo{}; // OK/Next, Cancel

    void Form_Load();
    void cmdDlrInfo_Click(int Index);
    void EnableOK();

public slots:
    // Escape and the close box count as Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void writeEntries();
    void giveUp(); // after a reported failure: not saved, and the dialog ends
};
