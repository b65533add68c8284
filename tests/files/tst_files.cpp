// File-system services: listing, rename, delete, copy, and 8-bit text with CR LF line ends.
#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "files/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <dirent.h>
#include <functional>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The number of the Failure that `action` raises (-1 when it says nothing), or 0 when it raises none.
qint32 failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure.description().isEmpty() ? -1 : failure.number();
    }
    return 0;
}

QStringList readAllLines(const QString& path) {
    files::TextReader reader(path);
    QStringList lines;
    while (!reader.atEnd())
        lines << reader.readLine();
    return lines;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void folders();
    void text();
};

void TestFiles::folders() {
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* name : {"b.lst", "A.LST", ".hidden", "c.lst", "readme.txt", "locked.lst"})
        writeBytes(root + "/" + name, "x");
    QVERIFY(QDir(root).mkdir("Sub"));
    writeBytes(root + "/Sub/inner.lst", "x");
    // Every file once, in the order the file system lists them (no sorting), subfolders left out.
    QStringList expected;
    DIR* listing = opendir(QFile::encodeName(root).constData());
    while (const dirent* entry = readdir(listing))
        if (QFileInfo(root + "/" + entry->d_name).isFile())
            expected << QString::fromLocal8Bit(entry->d_name);
    closedir(listing);
    QCOMPARE(expected.size(), 6);
    QCOMPARE(files::folderFiles(root), expected);
    QCOMPARE(failureNumber([&] { files::folderFiles(root + "/Missing"); }), ErrorNumbers::PathNotFound);

    files::renameFile(root, "b.lst", "R.lst");
    QVERIFY(!QFile::exists(root + "/b.lst") && readBytes(root + "/R.lst") == "x");
    QCOMPARE(failureNumber([&] { files::renameFile(root, "b.lst", "d.lst"); }), ErrorNumbers::FileNotFound);
    writeBytes(root + "/c.lst", "old"); // an existing destination is not overwritten by a rename
    QVERIFY(failureNumber([&] { files::renameFile(root, "R.lst", "c.lst"); }) > 0);
    QCOMPARE(readBytes(root + "/c.lst") + readBytes(root + "/R.lst"), QByteArray("oldx"));

    QVERIFY(QFile::setPermissions(root + "/locked.lst", QFile::ReadOwner));
    files::deleteFile(root + "/locked.lst"); // forced: read-only files go too
    QVERIFY(!QFile::exists(root + "/locked.lst"));
    QCOMPARE(failureNumber([&] { files::deleteFile(root + "/locked.lst"); }), ErrorNumbers::FileNotFound);

    // A copy replaces the destination, read-only or not; a failed copy leaves it alone.
    QVERIFY(QFile::setPermissions(root + "/Sub/inner.lst", QFile::ReadOwner));
    files::copyFile(root + "/c.lst", root + "/Sub/inner.lst");
    files::copyFile(root + "/c.lst", root + "/c.lst");
    QCOMPARE(readBytes(root + "/c.lst"), QByteArray("old"));
    QCOMPARE(failureNumber([&] { files::copyFile(root + "/none.lst", root + "/Sub/inner.lst"); }),
             ErrorNumbers::FileNotFound);
    QCOMPARE(readBytes(root + "/Sub/inner.lst"), QByteArray("old"));
    QCOMPARE(failureNumber([&] { files::copyFile(root + "/c.lst", root + "/NoFolder/c.lst"); }),
             ErrorNumbers::PathNotFound);
}

void TestFiles::text() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/data.lst";
    writeBytes(path, "one\r\ntwo\n\r\nfour"); // CR LF or LF alone; the last line may have neither
    QCOMPARE(readAllLines(path), (QStringList{"one", "two", "", "four"}));
    writeBytes(path, "a\rb\r\nc\r\n\r\n"); // a lone CR is part of the line; a trailing empty line counts
    QCOMPARE(readAllLines(path), (QStringList{"a\rb", "c", ""}));

    // Line breaks falling across the reader's chunks, and a long line, come back whole.
    QByteArray mixed = QByteArray(100000, 'L') + "\r\n";
    QStringList expected{QString(100000, 'L')};
    for (int length = 250; length < 1100; length += 3) {
        expected << QString(length, QChar('a' + length % 26));
        mixed += expected.last().toLatin1() + (length % 2 ? "\r\n" : "\n");
    }
    writeBytes(path, mixed);
    QCOMPARE(readAllLines(path), expected);

    // Windows-1252, both ways: é, €, the typographic apostrophe, ü; one byte per character.
    writeBytes(path, "JOS\xc9 CAF\xe9,\x80 5,O\x92NEIL,M\xfcLLER\r\n");
    QCOMPARE(readAllLines(path), QStringList{"JOSÉ CAFé,€ 5,O\u2019NEIL,MüLLER"});
    QCOMPARE(files::toAnsi("é€\u2019Ü"), QByteArray("\xe9\x80\x92\xdc"));

    writeBytes(path, "");
    files::TextReader empty(path);
    QVERIFY(empty.atEnd());
    QCOMPARE(failureNumber([&] { empty.readLine(); }), ErrorNumbers::InputPastEndOfFile);
    QCOMPARE(failureNumber([&] { files::TextReader reader(dir.path() + "/none.lst"); }),
             ErrorNumbers::FileNotFound);
    QVERIFY(!QFile::exists(dir.path() + "/none.lst")); // reading never creates

    // Writing: exact bytes, CR LF after every line.
    const QString log = dir.path() + "/Error.log";
    {
        files::TextWriter writer(log, files::TextWriter::Append); // creates a missing file
        writer.writeLine("first é");
        writer.writeLine();
    }
    {
        files::TextWriter writer(log, files::TextWriter::Append); // keeps what is there
        writer.writeLine("second");
        writer.close();
    }
    QCOMPARE(readBytes(log), QByteArray("first \xe9\r\n\r\nsecond\r\n"));
    {
        files::TextWriter writer(log, files::TextWriter::Create); // replaces
        writer.writeLine("Field1\tField2");
        writer.writeLine("a\tb");
    }
    QCOMPARE(readBytes(log), QByteArray("Field1\tField2\r\na\tb\r\n"));
    const QString noFolder = dir.path() + "/NoFolder/x.txt";
    QCOMPARE(failureNumber([&] { files::TextWriter(noFolder, files::TextWriter::Append); }),
             ErrorNumbers::PathNotFound);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
