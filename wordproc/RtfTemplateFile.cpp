// Template files: RTF or a Word 2007+ package under any extension, or a Word binary document converted
// through LibreOffice.

#include "errors/Failure.h"
#include "wordproc/DocxReader.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace wordproc {

namespace {

// Word's binary documents (and templates) are OLE compound files.
bool isCompoundFile(const QByteArray& data) {
    return data.size() >= 8 && data.startsWith(QByteArray::fromHex("D0CF11E0A1B11AE1"));
}

// Ends the converter with everything it started: LibreOffice's launcher script leaves its real
// process behind when only the script is killed.
void stopConverter(QProcess& process) {
#ifdef Q_OS_UNIX
    if (process.processId() > 0)
        ::kill(-pid_t(process.processId()), SIGKILL);
#endif
    process.kill();
    process.waitForFinished(5000);
}

QByteArray convertThroughLibreOffice(const QString& path, const ConversionWatch& watch) {
    QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty())
        office = QStandardPaths::findExecutable(QStringLiteral("libreoffice"));
    if (office.isEmpty())
        throw Failure(
            errors::UnreadableDocument,
            QStringLiteral("The template \"%1\" is a Word binary document. Templates are read as RTF or "
                           "as Word 2007 documents; save it as Rich Text Format or as a Word template "
                           "(.dotx), or install LibreOffice so that it can be converted.")
                .arg(QDir::toNativeSeparators(path)));
    QTemporaryDir dir;
    // LibreOffice names its output after the input; a copy with a plain name keeps that predictable.
    const QString input = dir.filePath(QStringLiteral("template.doc"));
    QFile::copy(path, input);
    QProcess process;
#ifdef Q_OS_UNIX
    // A process group of its own, so that the whole of it can be stopped.
    process.setChildProcessModifier([] { ::setsid(); });
#endif
    // A profile of its own, so that a LibreOffice the user has open does not take the job over.
    const QString profile = QStringLiteral("-env:UserInstallation=") +
                            QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    // Converted to Word 2007's format rather than to RTF: of ten Word 97 documents, LibreOffice's .docx
    // of them printed here with LibreOffice's own page count and words in one more case each than its
    // RTF did (see the README).
    process.start(office, {QStringLiteral("--headless"), profile, QStringLiteral("--convert-to"),
                           QStringLiteral("docx"), QStringLiteral("--outdir"), dir.path(), input});
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(250) && process.state() != QProcess::NotRunning) {
        const int seconds = int(clock.elapsed() / 1000);
        if (watch.progress && !watch.progress(seconds)) {
            stopConverter(process);
            throw Failure(errors::UnreadableDocument,
                          QStringLiteral("The conversion of the Word template \"%1\" through LibreOffice "
                                         "was stopped.")
                              .arg(QDir::toNativeSeparators(path)));
        }
        if (clock.elapsed() >= qint64(watch.timeLimitSeconds) * 1000) {
            stopConverter(process);
            throw Failure(
                errors::UnreadableDocument,
                QStringLiteral("The template \"%1\" is a Word binary document and LibreOffice did "
                               "not convert it within %2 seconds; the conversion was given up. Save "
                               "the template as Rich Text Format or as a Word template (.dotx).")
                    .arg(QDir::toNativeSeparators(path))
                    .arg(watch.timeLimitSeconds));
        }
    }
    QFile out(dir.filePath(QStringLiteral("template.docx")));
    if (!out.open(QIODevice::ReadOnly))
        throw Failure(
            errors::UnreadableDocument,
            QStringLiteral("The template \"%1\" is a Word binary document and LibreOffice could not "
                           "convert it.")
                .arg(QDir::toNativeSeparators(path)));
    return out.readAll();
}

} // namespace

Template readTemplateFile(const QString& path, const ConversionWatch& watch) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw Failure(
            errors::FileNotFound,
            QStringLiteral("The template \"%1\" could not be found.").arg(QDir::toNativeSeparators(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(errors::UnreadableDocument,
                      QStringLiteral("The template \"%1\" could not be opened: %2.")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    QByteArray data = file.readAll();
    file.close();
    if (isCompoundFile(data))
        data = convertThroughLibreOffice(path, watch);
    if (isZipContainer(data))
        return readDocx(data, QDir::toNativeSeparators(path));
    return readRtf(data, QDir::toNativeSeparators(path));
}

} // namespace wordproc
