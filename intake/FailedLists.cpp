#include "intake/FailedLists.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>

namespace intake {

namespace {
const QString kParagraph = QStringLiteral("\r\n\r\n");

bool byName(const FailedFile* a, const FailedFile* b) {
    const int folded = a->fileName.compare(b->fileName, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a->fileName < b->fileName;
}
} // namespace

QStringList failedAtLastStart(const QString& stateFile) {
    QFile file(stateFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList names;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            names.append(QString::fromUtf8(line));
    return names;
}

// The names only help the message of the next start: a folder that cannot take them must not stop this
// one, which has told the user everything already. Without them the next message lacks the remark.
void rememberFailedFiles(const QString& stateFile, const FailedFiles& failed) {
    if (failed.empty()) {
        QFile::remove(stateFile);
        return;
    }
    QByteArray names;
    for (const FailedFile& file : failed)
        names += file.fileName.toUtf8() + '\n';
    QSaveFile file(stateFile);
    if (file.open(QIODevice::WriteOnly) && file.write(names) == names.size())
        file.commit();
}

QString failedFilesMessage(const FailedFiles& failed, const QStringList& failedBefore,
                           const QString& dataFolder) {
    std::vector<const FailedFile*> sorted;
    for (const FailedFile& file : failed)
        sorted.push_back(&file);
    std::sort(sorted.begin(), sorted.end(), byName);

    const QString folder = QDir::toNativeSeparators(dataFolder);
    QString text = sorted.size() == 1
                       ? QStringLiteral("The lead list below could not be imported. It is left in %1 as it "
                                        "is, and the next start tries it again.")
                             .arg(folder)
                       : QStringLiteral("The %1 lead lists below could not be imported. They are left in %2 "
                                        "as they are, and the next start tries them again.")
                             .arg(sorted.size())
                             .arg(folder);
    bool again = false;
    for (size_t i = 0; i < sorted.size(); ++i) {
        const FailedFile& file = *sorted[i];
        const bool before = failedBefore.contains(file.fileName);
        again = again || before;
        if (i >= size_t(kListedFailures))
            continue;
        text += kParagraph + file.fileName + QStringLiteral("\r\nError Number ") +
                QString::number(file.failure.number()) + QStringLiteral(": ") + file.failure.description();
        if (before)
            text += QStringLiteral("\r\nIt could not be imported at the previous start either.");
    }
    if (sorted.size() > size_t(kListedFailures))
        text += kParagraph + QStringLiteral("... and %1 more lead lists that could not be imported either.")
                                 .arg(sorted.size() - size_t(kListedFailures));
    if (again)
        text += kParagraph + QStringLiteral("A list that failed at the previous start too does not mend by "
                                            "itself: put right the cause given for it, or move it out of "
                                            "the folder.");
    return text;
}

} // namespace intake
