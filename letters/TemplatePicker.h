#pragma once

#include <QGroupBox>
#include <array>
#include <optional>

class QListWidget;
class QRadioButton;
class AppContext;

// The template group of the main window: the templates of the chosen group folder (Initial Contact
// Letters, Follow-Up Letters or Mailing Aids; the group options stay hidden and the first is chosen),
// and the import of a new template into that folder. templateChosen() reports every change of the
// chosen template, the list's refill included.
class TemplatePicker : public QGroupBox {
    Q_OBJECT
public:
    TemplatePicker(AppContext& context, QWidget* parent);

    // Lists the templates of the chosen group; a failure is reported here.
    void fill();
    bool hasChosenTemplate() const;
    // The full path of the chosen template; nothing when none is chosen.
    std::optional<QString> chosenTemplatePath() const;
    // Asks for a template file and copies it into the group's folder.
    void importNewTemplate();

signals:
    void templateChosen();

private:
    QString groupFolder() const;
    QString groupFolderName() const;

    AppContext& m_context;
    std::array<QRadioButton*, 3> m_groupOptions{};
    QListWidget* m_templateList = nullptr;
};
