#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class QFile;

// The file-system services the import, the error log, the template catalogue and the merge data
// writers share. Every failure raises Failure (errors/Failure.h) with a run-time number
// (errors/ErrorNumbers.h) and the system's message.
namespace files {

// The files of a folder (no subfolders), named without folder, in the order the file system lists
// them. A missing folder fails.
QStringList folderFiles(const QString& folder);

// Renames `folder/oldName` to `folder/newName`.
void renameFile(const QString& folder, const QString& oldName, const QString& newName);
// Puts the content of `folder/from` in place of `folder/to` in one step (a reader sees the old file or
// the new one, never none), replacing a file of that name; `from` stays as it is. A crash leaves
// either both names as they were or both names holding the new content.
void replaceWithCopy(const QString& folder, const QString& from, const QString& to);
// Deletes a file, read-only or not. A missing file fails.
void deleteFile(const QString& path);
// Copies a file, replacing the destination.
void copyFile(const QString& source, const QString& destination);

// Windows-1252 text, the program's only text encoding on disk.
QString fromAnsi(const QByteArray& bytes);
QByteArray toAnsi(const QString& text);

// Reads a text file line by line (lines end with CR LF or LF; the break is not returned).
class TextReader {
public:
    explicit TextReader(const QString& path); // a missing file fails
    ~TextReader();
    bool atEnd() const;
    QString readLine(); // past the end fails with InputPastEndOfFile
    void close();

private:
    std::unique_ptr<QFile> m_file;
    QByteArray m_line; // reused from line to line
};

// Writes a text file: created anew (replacing) or opened for appending (created when missing).
class TextWriter {
public:
    enum Mode { Create, Append };
    TextWriter(const QString& path, Mode mode);
    ~TextWriter();
    void writeLine(const QString& text = {}); // the text and CR LF
    void close();
    bool isOpen() const;

private:
    std::unique_ptr<QFile> m_file;
};

} // namespace files
