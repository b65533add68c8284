#include "intake/ImportDataFile.h"

#include "errors/Failure.h"
#include "files/Files.h"
#include "intake/Intake.h"
#include "platform/Platform.h"

#include <QFileInfo>
#include <QLocale>
#include <optional>

namespace {
// The chosen name with the blanks around it removed, as the dialog's text may carry them.
QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == QLatin1Char(' '))
        ++begin;
    while (end > begin && text[end - 1] == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

// A known list is never read again, so copying a file over it would report success while its leads
// never reach the database; the user is told how a replacement is made instead.
QString knownListMessage(const intake::RecordedDataFile& known) {
    QString dated;
    if (known.date.isValid() && known.date != intake::zeroDate())
        dated = QStringLiteral(" of ") +
                QLocale(QLocale::English).toString(known.date.date(), QStringLiteral("MMMM d, yyyy"));
    return QStringLiteral("The lead list %1%2 has already been imported, so this file was not copied.\r\n\r\n"
                          "To replace that list, name the new file R%1 and import it. At the next start "
                          "its names replace the names of %1.")
        .arg(known.fileName, dated);
}
} // namespace

bool copyChosenDataFile(db::Connection& connection, const QString& dataFolder) {
    const QString chosen = platform::openFileName(QStringLiteral("MASM Listing(.lst)|*.lst"));
    if (chosen.isEmpty())
        return false;
    try {
        const QString source = trimBlanks(chosen);
        const QString name = QFileInfo(source).fileName();
        if (const std::optional<intake::RecordedDataFile> known =
                intake::recordedDataFile(connection, name)) {
            platform::messageBox(knownListMessage(*known), platform::Icon::Exclamation,
                                 platform::Buttons::OkOnly, QStringLiteral("Quillmark"));
            return false;
        }
        files::copyFile(source, dataFolder + name);
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
