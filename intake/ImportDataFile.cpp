#include "errors/Failure.h"
#include "files/Files.h"
#include "intake/Intake.h"
#include "leads/frmMain.h"
#include "platform/Platform.h"
#include "startup/Globals.h"

#include <QFileInfo>

namespace {
// The chosen name with the blanks around it removed, as the dialog's text may carry them.
QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

bool CopyChosenDataFile() {
    const QString chosen = platform::openFileName(QStringLiteral("MASM Listing(.lst)|*.lst"));
    if (chosen.isEmpty())
        return false;
    try {
        const QString source = TrimBlanks(chosen);
        files::copyFile(source, DataFolder + QFileInfo(source).fileName());
    } catch (const Failure& failure) {
        platform::messageBox(failure.description(), platform::Icon::Critical, platform::Buttons::OkOnly,
                             QStringLiteral("Quillmark"));
        return false;
    }
    platform::messageBox(QStringLiteral("Please reopen Quillmark for the changes."),
                         platform::Icon::Information, platform::Buttons::OkOnly,
                         QStringLiteral("Data file has been added"));
    return true;
}

// The file is imported by the next start's scan; the program ends so that it happens at once.
void frmMain::cmdImportdatafile_Click() {
    if (CopyChosenDataFile())
        ExitProgram();
}
