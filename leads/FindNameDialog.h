#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for the text of a name search. The caller shows it modally; it ends Accepted by OK (the text is
// then searched for) and Rejected by Cancel, Escape or the close box.
class FindNameDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindNameDialog(QWidget* parent = nullptr);

    QString searchText() const;
    QLineEdit* nameEdit() const { return m_nameEdit; }
    QPushButton* okButton() const { return m_okButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // The examples line under the prompt.
    static QString examplesText();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void updateOkButton();
    void selectText();
    void answer(DialogCode result);

    QLineEdit* m_nameEdit = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
