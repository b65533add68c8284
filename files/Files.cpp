#include "files/Files.h"

#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace files {
namespace {

QString systemMessage(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(qint32 number, const QString& description) {
    throw Failure(number, description);
}

// The number that best names why `file` could not be opened.
[[noreturn]] void failOpen(const QFile& file) {
    const QFileInfo info(file.fileName());
    if (!info.exists()) {
        if (!info.absoluteDir().exists())
            fail(ErrorNumbers::PathNotFound, file.errorString());
        fail(ErrorNumbers::FileNotFound, file.errorString());
    }
    if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
        fail(ErrorNumbers::PermissionDenied, file.errorString());
    fail(ErrorNumbers::PathFileAccessError, file.errorString());
}

[[noreturn]] void failErrno(int error) {
    switch (error) {
    case ENOENT:
        fail(ErrorNumbers::FileNotFound, systemMessage(error));
    case EACCES:
    case EPERM:
    case EROFS:
        fail(ErrorNumbers::PermissionDenied, systemMessage(error));
    default:
        fail(ErrorNumbers::PathFileAccessError, systemMessage(error));
    }
}

// A file that cannot be written is made writable first, as the forced delete and the replacing copy
// of the old file-system object did.
void clearReadOnly(const QString& path) {
    QFile::Permissions perms = QFile::permissions(path);
    if (!(perms & QFile::WriteOwner))
        QFile::setPermissions(path, perms | QFile::WriteOwner | QFile::WriteUser);
}

} // namespace

QStringList folderFiles(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.exists())
        fail(ErrorNumbers::PathNotFound, systemMessage(ENOENT));
    if (!info.isDir())
        fail(ErrorNumbers::PathNotFound, systemMessage(ENOTDIR));
    if (!info.isReadable() || !info.isExecutable())
        fail(ErrorNumbers::PermissionDenied, systemMessage(EACCES));
    // The iterator yields entries as the file system hands them out; no sorting on purpose.
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

void renameFile(const QString& folder, const QString& oldName, const QString& newName) {
    QString base = folder;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    QFile file(base + oldName);
    if (!file.exists())
        fail(ErrorNumbers::FileNotFound, systemMessage(ENOENT));
    if (oldName == newName)
        return;
    if (!file.rename(base + newName)) {
        if (QFileInfo::exists(base + newName))
            fail(ErrorNumbers::PathFileAccessError, systemMessage(EEXIST));
        fail(ErrorNumbers::PermissionDenied, file.errorString());
    }
}

void replaceWithCopy(const QString& folder, const QString& from, const QString& to) {
    QString base = folder;
    if (!base.isEmpty() && !base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    // Not a data file's name, so that one left behind by a crash is never imported.
    const QString temporary = base + to + QStringLiteral(".replacing");
    QFile::remove(temporary);
    const QByteArray source = QFile::encodeName(base + from);
    const QByteArray staged = QFile::encodeName(temporary);
    if (::link(source.constData(), staged.constData()) != 0) {
        const int error = errno;
        // File systems without hard links, or links refused for files of another owner: a copy.
        const bool noLinks = error == EPERM || error == EXDEV || error == EMLINK || error == EOPNOTSUPP;
        if (!noLinks)
            failErrno(error);
        QFile original(base + from);
        if (!original.copy(temporary))
            fail(ErrorNumbers::PathFileAccessError, original.errorString());
    }
    if (::rename(staged.constData(), QFile::encodeName(base + to).constData()) != 0) {
        const int error = errno;
        QFile::remove(temporary);
        failErrno(error);
    }
}

void deleteFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        fail(ErrorNumbers::FileNotFound, systemMessage(ENOENT));
    if (info.isDir())
        fail(ErrorNumbers::PathFileAccessError, systemMessage(EISDIR));
    clearReadOnly(path);
    QFile file(path);
    if (!file.remove())
        fail(ErrorNumbers::PermissionDenied, file.errorString());
}

void copyFile(const QString& source, const QString& destination) {
    const QFileInfo from(source);
    if (!from.exists())
        fail(ErrorNumbers::FileNotFound, systemMessage(ENOENT));
    if (from.isDir())
        fail(ErrorNumbers::PathFileAccessError, systemMessage(EISDIR));
    const QFileInfo to(destination);
    if (to.exists() && to.canonicalFilePath() == from.canonicalFilePath())
        return; // a file copied onto itself is already where it should be
    if (!to.absoluteDir().exists())
        fail(ErrorNumbers::PathNotFound, systemMessage(ENOENT));
    {
        // Read the source before touching the destination, so that an unreadable source leaves an
        // existing destination as it was.
        QFile probe(source);
        if (!probe.open(QIODevice::ReadOnly))
            failOpen(probe);
    }
    if (to.exists() || to.isSymLink()) {
        if (to.isDir())
            fail(ErrorNumbers::PathFileAccessError, systemMessage(EISDIR));
        clearReadOnly(destination);
        QFile old(destination);
        if (!old.remove())
            fail(ErrorNumbers::PermissionDenied, old.errorString());
    }
    QFile file(source);
    if (!file.copy(destination))
        fail(ErrorNumbers::PathFileAccessError, file.errorString());
}

QString fromAnsi(const QByteArray& bytes) {
    // Plain ASCII, by far the most common line, reads the same in every 8-bit code page.
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return QString::fromLatin1(bytes);
    thread_local QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArray toAnsi(const QString& text) {
    thread_local QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

// ---------------------------------------------------------------------------------------------------

TextReader::TextReader(const QString& path) : m_file(std::make_unique<QFile>(path)) {
    if (QFileInfo(path).isDir())
        fail(ErrorNumbers::PathFileAccessError, systemMessage(EISDIR));
    if (!m_file->open(QIODevice::ReadOnly))
        failOpen(*m_file);
}

TextReader::~TextReader() = default;

bool TextReader::atEnd() const {
    return !m_file->isOpen() || m_file->atEnd();
}

QString TextReader::readLine() {
    if (!m_file->isOpen())
        fail(ErrorNumbers::InvalidArgument, QStringLiteral("The file is not open"));
    if (m_file->atEnd())
        fail(ErrorNumbers::InputPastEndOfFile, QStringLiteral("Input past end of file"));
    // QIODevice buffers the reads, so one line at a time is all that is held in memory.
    qsizetype used = 0;
    for (;;) {
        if (m_line.size() - used < 256)
            m_line.resize(std::max<qsizetype>(used + 256, m_line.size() * 2));
        const qint64 n = m_file->readLine(m_line.data() + used, m_line.size() - used);
        if (n < 0)
            fail(ErrorNumbers::PathFileAccessError, m_file->errorString());
        used += qsizetype(n);
        if (n == 0 || m_line[used - 1] == '\n' || m_file->atEnd())
            break;
    }
    if (used > 0 && m_line[used - 1] == '\n') {
        --used;
        // Only a CR that comes right before the LF belongs to the break; a lone CR is text.
        if (used > 0 && m_line[used - 1] == '\r')
            --used;
    }
    return fromAnsi(QByteArray::fromRawData(m_line.constData(), used));
}

void TextReader::close() {
    m_file->close();
}

// ---------------------------------------------------------------------------------------------------

TextWriter::TextWriter(const QString& path, Mode mode) : m_file(std::make_unique<QFile>(path)) {
    if (QFileInfo(path).isDir())
        fail(ErrorNumbers::PathFileAccessError, systemMessage(EISDIR));
    const QIODevice::OpenMode how = mode == Append ? QIODevice::WriteOnly | QIODevice::Append
                                                   : QIODevice::WriteOnly | QIODevice::Truncate;
    if (!m_file->open(how))
        failOpen(*m_file);
}

TextWriter::~TextWriter() {
    if (m_file->isOpen())
        m_file->close();
}

void TextWriter::writeLine(const QString& text) {
    if (!m_file->isOpen())
        fail(ErrorNumbers::InvalidArgument, QStringLiteral("The file is not open"));
    QByteArray bytes = toAnsi(text);
    bytes.append("\r\n", 2);
    if (m_file->write(bytes) != bytes.size())
        fail(ErrorNumbers::PathFileAccessError, m_file->errorString());
}

void TextWriter::close() {
    if (!m_file->isOpen())
        return;
    const bool flushed = m_file->flush();
    const QString message = m_file->errorString();
    m_file->close();
    if (!flushed)
        fail(ErrorNumbers::PathFileAccessError, message);
}

bool TextWriter::isOpen() const {
    return m_file->isOpen();
}

} // namespace files
