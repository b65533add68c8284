// The template catalogue of the main window: the templates of the chosen group, the import of a new
// template into the group's folder, and the rules that enable the Preview and Print buttons.

#include "errors/ShowError.h"
#include "files/Files.h"
#include "leads/NameList.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QFileInfo>

namespace {

const QString kTemplateExtension = QStringLiteral(".dot");

// The group folder (global) and the folder name the import rebuilds it from, by the chosen option;
// an empty folder when no option is chosen.
QString groupFolder(const frmMain& w) {
    if (w.optPromos[0]->isChecked())
        return InitialsFolder;
    if (w.optPromos[1]->isChecked())
        return FollowUpsFolder;
    if (w.optPromos[2]->isChecked())
        return MailAidsFolder;
    return QString();
}

QString groupFolderName(const frmMain& w) {
    if (w.optPromos[0]->isChecked())
        return QStringLiteral("Initials");
    if (w.optPromos[1]->isChecked())
        return QStringLiteral("Follow-ups");
    return QStringLiteral("MailAids");
}

} // namespace

void frmMain::connectTemplates() {
    for (int i = 0; i < static_cast<int>(optPromos.size()); ++i)
        connect(optPromos[i], &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                optPromos_Click(i);
        });
    connect(lstPromos, &QListWidget::itemSelectionChanged, this, [this] { lstPromos_Click(); });
    connect(cmdImportNewTemplate, &QPushButton::clicked, this, [this] { cmdImportNewTemplate_Click(); });
}

void frmMain::FillPromos() {
    try {
        const QStringList names = files::folderFiles(groupFolder(*this));
        lstPromos->clear();
        cmdPrint[1]->setEnabled(false);
        cmdPrint[2]->setEnabled(false);
        for (const QString& name : names)
            if (name.right(4).toLower() == kTemplateExtension)
                lstPromos->addItem(name.left(name.size() - 4));
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub FillPromos"));
    }
}

void frmMain::optPromos_Click(int /*Index*/) {
    FillPromos();
}

void frmMain::lstPromos_Click() {
    try {
        cmdPrint[1]->setEnabled(!lstPromos->selectedItems().isEmpty());
        EnablePrint();
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub lstPromos_Click"));
    }
}

void frmMain::EnablePrint() {
    try {
        cmdPrint[2]->setEnabled(!cmbName->currentText().isEmpty() && !txtPhone->text().isEmpty() &&
                                !lstPromos->selectedItems().isEmpty() && lstNames->selectedCount() >= 1);
    } catch (const Failure& failure) {
        ShowError(failure, QStringLiteral("Form Main: Sub EnablePrint"));
    }
}

void frmMain::cmdImportNewTemplate_Click() {
    try {
        const QString chosen = platform::openFileName(QStringLiteral("Microsoft Word Template(.dot)|*.dot"));
        if (chosen.isEmpty())
            return;
        const QString source = chosen.trimmed();
        const QString title = QFileInfo(source).fileName();
        files::copyFile(source, TemplatesFolder + groupFolderName(*this) + QLatin1Char('/') + title);
        FillPromos();
        platform::messageBox(QStringLiteral("New template has been sucessfully added"),
                             platform::Icon::Information, platform::Buttons::OkOnly,
                             QStringLiteral("Quillmark"));
    } catch (const Failure& failure) {
        platform::messageBox(failure.description(), platform::Icon::Critical, platform::Buttons::OkOnly,
                             QStringLiteral("Quillmark"));
    }
}
