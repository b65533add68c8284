#include "letters/TemplatePicker.h"

#include "errors/ShowError.h"
#include "files/Files.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "startup/AppContext.h"

#include <QFileInfo>
#include <QListWidget>
#include <QRadioButton>

using platform::placeInTwips;

namespace {
const QString kFillLocation = QStringLiteral("Form Main: Sub FillPromos");
const QString kChooseLocation = QStringLiteral("Form Main: Sub lstPromos_Click");
// Word 97 templates (RTF under that name, or converted), and Word 2007+ templates and documents.
const QStringList kTemplateExtensions{QStringLiteral(".dot"), QStringLiteral(".dotx"),
                                      QStringLiteral(".docx")};
const QString kTemplateFilter = QStringLiteral("Word templates|*.dot *.dotx *.docx");

// The name without its template extension; empty when the name has none.
std::optional<QString> templateTitle(const QString& fileName) {
    for (const QString& extension : kTemplateExtensions)
        if (fileName.endsWith(extension, Qt::CaseInsensitive))
            return fileName.left(fileName.size() - extension.size());
    return std::nullopt;
}
constexpr const char* kOptionNames[] = {"initialsOption", "followUpsOption", "mailAidsOption"};
} // namespace

TemplatePicker::TemplatePicker(AppContext& context, QWidget* parent)
    : QGroupBox(QStringLiteral("Select a template"), parent), m_context(context) {
    setObjectName(QStringLiteral("templatePicker"));
    placeInTwips(this, 60, 6390, 10695, 1335);
    const std::array<QString, 3> captions{QStringLiteral("Initial Contact Letters"),
                                          QStringLiteral("Follow-Up Letters"),
                                          QStringLiteral("Mailing Aids")};
    for (size_t i = 0; i < m_groupOptions.size(); ++i) {
        m_groupOptions[i] = new QRadioButton(captions[i], this);
        m_groupOptions[i]->setObjectName(QLatin1String(kOptionNames[i]));
        placeInTwips(m_groupOptions[i], 180, 270 + 285 * static_cast<int>(i), 1815, 255);
        m_groupOptions[i]->setVisible(false);
    }
    m_groupOptions[0]->setChecked(true);
    m_templateList = new QListWidget(this);
    m_templateList->setObjectName(QStringLiteral("templateList"));
    m_templateList->setSelectionMode(QAbstractItemView::SingleSelection);
    placeInTwips(m_templateList, 150, 180, 10515, 1035);

    for (QRadioButton* option : m_groupOptions)
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (checked)
                fill();
        });
    connect(m_templateList, &QListWidget::itemSelectionChanged, this, [this] {
        try {
            emit templateChosen();
        } catch (const Failure& failure) {
            showError(failure, kChooseLocation);
        }
    });
}

// The group's folder; an empty folder when no group is chosen.
QString TemplatePicker::groupFolder() const {
    if (m_groupOptions[0]->isChecked())
        return m_context.folders().initialsFolder;
    if (m_groupOptions[1]->isChecked())
        return m_context.folders().followUpsFolder;
    if (m_groupOptions[2]->isChecked())
        return m_context.folders().mailAidsFolder;
    return QString();
}

// The folder name the import puts a new template in.
QString TemplatePicker::groupFolderName() const {
    if (m_groupOptions[0]->isChecked())
        return QStringLiteral("Initials");
    if (m_groupOptions[1]->isChecked())
        return QStringLiteral("Follow-ups");
    return QStringLiteral("MailAids");
}

void TemplatePicker::fill() {
    try {
        const QStringList names = files::folderFiles(groupFolder());
        m_templateList->clear();
        emit templateChosen();
        QStringList titles;
        for (const QString& name : names)
            if (const auto title = templateTitle(name))
                titles << title->toLower();
        for (const QString& name : names) {
            const auto title = templateTitle(name);
            if (!title)
                continue;
            // The file's own name is kept with the entry; a title that two files share shows in full.
            auto* item = new QListWidgetItem(titles.count(title->toLower()) > 1 ? name : *title);
            item->setData(Qt::UserRole, name);
            m_templateList->addItem(item);
        }
    } catch (const Failure& failure) {
        showError(failure, kFillLocation);
    }
}

bool TemplatePicker::hasChosenTemplate() const {
    return !m_templateList->selectedItems().isEmpty();
}

std::optional<QString> TemplatePicker::chosenTemplatePath() const {
    const QListWidgetItem* item = m_templateList->currentItem();
    if (!item)
        return std::nullopt;
    return groupFolder() + item->data(Qt::UserRole).toString();
}

void TemplatePicker::importNewTemplate() {
    try {
        const QString chosen = platform::openFileName(kTemplateFilter);
        if (chosen.isEmpty())
            return;
        const QString source = chosen.trimmed();
        const QString title = QFileInfo(source).fileName();
        files::copyFile(source,
                        m_context.folders().templatesFolder + groupFolderName() + QLatin1Char('/') + title);
        fill();
        platform::messageBox(QStringLiteral("New template has been sucessfully added"),
                             platform::Icon::Information, platform::Buttons::OkOnly,
                             QStringLiteral("Quillmark"));
    } catch (const Failure& failure) {
        platform::messageBox(failure.description(), platform::Icon::Critical, platform::Buttons::OkOnly,
                             QStringLiteral("Quillmark"));
    }
}
