#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

// Asks for the text of a name search. The caller shows it modally and reads iResponse and the text
// afterwards: 1 = OK, 2 = Cancel, 0 = closed with the close box.
class frmFindName : public QDialog {
    Q_OBJECT
public:
    explicit frmFindName(QWidget* parent = nullptr);

    qint16 iResponse = 0;

    QLabel* lblFindName = nullptr;
    QLineEdit* txtName = nullptr;
    std::array<QPushButton*, 2> cmdFindName{}; // OK, Cancel
    QLabel* Label1 = nullptr;

    void txtName_Change();
    void txtName_GotFocus();
    void cmdFindName_Click(int Index);

    // The examples line under the prompt.
    static QString examplesText();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
