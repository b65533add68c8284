#pragma once

// The main window's controls as the tests find them: by the names the window gives them, the way a user
// finds them by their captions.

#include "leads/LeadStore.h"
#include "leads/NameList.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <array>

class MainWindowControls {
public:
    explicit MainWindowControls(QWidget* window = nullptr) : m_root(window) {}

    template <class T> T* control(const char* name) const {
        T* found = m_root ? m_root->findChild<T*>(QLatin1String(name)) : nullptr;
        if (!found)
            qFatal("the main window has no %s", name);
        return found;
    }

    // Contact group.
    QComboBox* dealerBox() const { return control<QComboBox>("dealerBox"); }
    QComboBox* nameBox() const { return control<QComboBox>("contactNameBox"); }
    QLineEdit* phoneEdit() const { return control<QLineEdit>("phoneEdit"); }
    QPushButton* saveButton() const { return control<QPushButton>("saveContactButton"); }
    // Source date and name groups.
    QComboBox* datesBox() const { return control<QComboBox>("datesBox"); }
    QComboBox* modeBox() const { return control<QComboBox>("modeBox"); }
    QComboBox* displayBox() const { return control<QComboBox>("displayBox"); }
    NameList* namesView() const { return control<NameList>("namesView"); }
    QLabel* availableCount() const { return control<QLabel>("availableCount"); }
    QLabel* selectedCount() const { return control<QLabel>("selectedCount"); }
    QPushButton* findButton() const { return control<QPushButton>("findNameButton"); }
    QPushButton* deleteButton() const { return control<QPushButton>("deleteButton"); }
    QPushButton* selectAllButton() const { return control<QPushButton>("selectAllButton"); }
    QPushButton* clearButton() const { return control<QPushButton>("clearButton"); }
    // The header buttons, left to right.
    std::array<QPushButton*, leads::kListColumnCount> headers() const {
        std::array<QPushButton*, leads::kListColumnCount> out{};
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = control<QPushButton>(leads::kListColumns[i].objectName);
        return out;
    }
    QPushButton* header(size_t column) const { return headers()[column]; }
    // Template group.
    QListWidget* templateList() const { return control<QListWidget>("templateList"); }
    QRadioButton* followUpsOption() const { return control<QRadioButton>("followUpsOption"); }
    QRadioButton* mailAidsOption() const { return control<QRadioButton>("mailAidsOption"); }
    // Command row.
    QPushButton* printCallButton() const { return control<QPushButton>("printCallButton"); }
    QPushButton* previewButton() const { return control<QPushButton>("previewButton"); }
    QPushButton* printButton() const { return control<QPushButton>("printButton"); }
    QPushButton* exitButton() const { return control<QPushButton>("exitButton"); }
    QPushButton* importTemplateButton() const { return control<QPushButton>("importTemplateButton"); }
    QPushButton* importDataFileButton() const { return control<QPushButton>("importDataFileButton"); }

protected:
    QWidget* m_root;
};
