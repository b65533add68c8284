#include "errors/ErrorNumbers.h"
#include "errors/Failure.h"
#include "files/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

// The number of the Failure that `action` raises, or 0 when it raises none.
qint32 failureNumber(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& failure) {
        if (failure.description().isEmpty())
            return -1; // every failure must say what went wrong
        return failure.number();
    }
    return 0;
}

QStringList readAllLines(const QString& path) {
    files::TextReader reader(path);
    QStringList lines;
    while (!reader.atEnd())
        lines << reader.readLine();
    reader.close();
    return lines;
}

} // namespace

class tst_Files : public QObject {
    Q_OBJECT

private slots:
    void folderListing();
    void renaming();
    void forcedDelete();
    void copying();
    void readingLines();
    void readingAnsi();
    void writing();
};

void tst_Files::folderListing() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    writeBytes(root + "/b.lst", "x");
    writeBytes(root + "/A.LST", "x");
    writeBytes(root + "/.hidden", "x");
    writeBytes(root + "/readme.txt", "");
    QVERIFY(QDir(root).mkdir("Sub"));
    writeBytes(root + "/Sub/inner.lst", "x");

    QStringList listed = files::folderFiles(root);
    // Every file once, hidden ones included, subfolders and their files not.
    QCOMPARE(listed.size(), 4);
    listed.sort();
    QCOMPARE(listed, (QStringList{".hidden", "A.LST", "b.lst", "readme.txt"}));
    // Both with and without a trailing separator.
    QCOMPARE(files::folderFiles(root + "/").size(), 4);

    QTemporaryDir empty;
    QVERIFY(files::folderFiles(empty.path()).isEmpty());

    QCOMPARE(failureNumber([&] { files::folderFiles(root + "/Missing"); }), ErrorNumbers::PathNotFound);
    QCOMPARE(failureNumber([&] { files::folderFiles(root + "/readme.txt"); }), ErrorNumbers::PathNotFound);
}

void tst_Files::renaming() {
    QTemporaryDir dir;
    const QString root = dir.path();
    writeBytes(root + "/R12031999.lst", "new");
    files::renameFile(root, "R12031999.lst", "12031999.lst");
    QVERIFY(!QFile::exists(root + "/R12031999.lst"));
    QCOMPARE(readBytes(root + "/12031999.lst"), QByteArray("new"));

    // Works with the folder's trailing separator too.
    files::renameFile(root + "/", "12031999.lst", "x.lst");
    QCOMPARE(readBytes(root + "/x.lst"), QByteArray("new"));

    QCOMPARE(failureNumber([&] { files::renameFile(root, "gone.lst", "other.lst"); }),
             ErrorNumbers::FileNotFound);

    // An existing destination is not overwritten by a rename; both files stay as they were.
    writeBytes(root + "/y.lst", "old");
    QVERIFY(failureNumber([&] { files::renameFile(root, "x.lst", "y.lst"); }) > 0);
    QCOMPARE(readBytes(root + "/x.lst"), QByteArray("new"));
    QCOMPARE(readBytes(root + "/y.lst"), QByteArray("old"));
}

void tst_Files::forcedDelete() {
    QTemporaryDir dir;
    const QString root = dir.path();
    writeBytes(root + "/plain.lst", "x");
    writeBytes(root + "/locked.lst", "x");
    QVERIFY(QFile::setPermissions(root + "/locked.lst", QFile::ReadOwner | QFile::ReadUser));

    files::deleteFile(root + "/plain.lst");
    files::deleteFile(root + "/locked.lst");
    QVERIFY(!QFile::exists(root + "/plain.lst"));
    QVERIFY(!QFile::exists(root + "/locked.lst"));

    QCOMPARE(failureNumber([&] { files::deleteFile(root + "/plain.lst"); }), ErrorNumbers::FileNotFound);
    QVERIFY(QDir(root).mkdir("folder"));
    QVERIFY(failureNumber([&] { files::deleteFile(root + "/folder"); }) > 0);
    QVERIFY(QFileInfo(root + "/folder").isDir());
}

void tst_Files::copying() {
    QTemporaryDir dir;
    const QString root = dir.path();
    QVERIFY(QDir(root).mkdir("Data"));
    writeBytes(root + "/source.lst", "first\r\n");
    files::copyFile(root + "/source.lst", root + "/Data/source.lst");
    QCOMPARE(readBytes(root + "/Data/source.lst"), QByteArray("first\r\n"));

    // The destination is replaced, read-only or not.
    writeBytes(root + "/source.lst", "second\r\n");
    QVERIFY(QFile::setPermissions(root + "/Data/source.lst", QFile::ReadOwner | QFile::ReadUser));
    files::copyFile(root + "/source.lst", root + "/Data/source.lst");
    QCOMPARE(readBytes(root + "/Data/source.lst"), QByteArray("second\r\n"));

    // A copy onto itself keeps the file.
    files::copyFile(root + "/source.lst", root + "/source.lst");
    QCOMPARE(readBytes(root + "/source.lst"), QByteArray("second\r\n"));

    // A missing source fails and leaves the destination alone.
    QCOMPARE(failureNumber([&] { files::copyFile(root + "/none.lst", root + "/Data/source.lst"); }),
             ErrorNumbers::FileNotFound);
    QCOMPARE(readBytes(root + "/Data/source.lst"), QByteArray("second\r\n"));

    // So does a source that cannot be read (unless we run with the powers to read it anyway).
    writeBytes(root + "/secret.lst", "s");
    writeBytes(root + "/Data/secret.lst", "kept");
    QVERIFY(QFile::setPermissions(root + "/secret.lst", QFileDevice::WriteOwner));
    QFile probe(root + "/secret.lst");
    if (!probe.open(QIODevice::ReadOnly)) {
        QCOMPARE(failureNumber([&] { files::copyFile(root + "/secret.lst", root + "/Data/secret.lst"); }),
                 ErrorNumbers::PermissionDenied);
        QCOMPARE(readBytes(root + "/Data/secret.lst"), QByteArray("kept"));
    }

    QCOMPARE(failureNumber([&] { files::copyFile(root + "/source.lst", root + "/NoFolder/source.lst"); }),
             ErrorNumbers::PathNotFound);
}

void tst_Files::readingLines() {
    QTemporaryDir dir;
    const QString root = dir.path();

    writeBytes(root + "/crlf.lst", "one\r\ntwo\r\n\r\nfour\r\n");
    QCOMPARE(readAllLines(root + "/crlf.lst"), (QStringList{"one", "two", "", "four"}));

    writeBytes(root + "/lf.lst", "one\ntwo\n\nfour");
    QCOMPARE(readAllLines(root + "/lf.lst"), (QStringList{"one", "two", "", "four"}));

    // A CR that does not come right before a LF is part of the line.
    writeBytes(root + "/cr.lst", "a\rb\r\nc\r");
    QCOMPARE(readAllLines(root + "/cr.lst"), (QStringList{"a\rb", "c\r"}));

    // A trailing empty line is a line of its own.
    writeBytes(root + "/trailing.lst", "x\r\n\r\n");
    QCOMPARE(readAllLines(root + "/trailing.lst"), (QStringList{"x", ""}));

    // A long line comes back whole.
    const QByteArray longLine(100000, 'L');
    writeBytes(root + "/long.lst", longLine + "\r\nshort\r\n");
    QCOMPARE(readAllLines(root + "/long.lst"), (QStringList{QString::fromLatin1(longLine), "short"}));

    // Line breaks that fall across the reader's chunks, at many lengths.
    QByteArray mixed;
    QStringList expected;
    for (int length = 250; length < 1100; length += 3) {
        const QByteArray text(length, char('a' + length % 26));
        mixed += text + (length % 2 ? "\r\n" : "\n");
        expected << QString::fromLatin1(text);
    }
    writeBytes(root + "/mixed.lst", mixed);
    QCOMPARE(readAllLines(root + "/mixed.lst"), expected);

    // An empty file is at its end at once; reading on fails.
    writeBytes(root + "/empty.lst", "");
    {
        files::TextReader reader(root + "/empty.lst");
        QVERIFY(reader.atEnd());
        QCOMPARE(failureNumber([&] { reader.readLine(); }), ErrorNumbers::InputPastEndOfFile);
    }
    {
        files::TextReader reader(root + "/crlf.lst");
        for (int i = 0; i < 4; ++i)
            reader.readLine();
        QVERIFY(reader.atEnd());
        QCOMPARE(failureNumber([&] { reader.readLine(); }), ErrorNumbers::InputPastEndOfFile);
    }
    QCOMPARE(failureNumber([&] { files::TextReader reader(root + "/none.lst"); }),
             ErrorNumbers::FileNotFound);
    QVERIFY(!QFile::exists(root + "/none.lst")); // reading never creates
    QCOMPARE(failureNumber([&] { files::TextReader reader(root + "/NoFolder/x.lst"); }),
             ErrorNumbers::PathNotFound);
}

void tst_Files::readingAnsi() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/ansi.lst";
    // é, €, the typographic apostrophe and ü, as a Windows program writes them.
    writeBytes(path, "JOS\xc9 CAF\xe9,\x80 5,O\x92NEIL,M\xfcLLER\r\n");
    const QStringList lines = readAllLines(path);
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines[0], QString::fromUtf8("JOSÉ CAFé,€ 5,O\u2019NEIL,MüLLER"));

    QCOMPARE(files::toAnsi(QString::fromUtf8("é€\u2019")), QByteArray("\xe9\x80\x92"));
    QCOMPARE(files::fromAnsi(files::toAnsi(QString::fromUtf8("Zoë Ærø"))), QString::fromUtf8("Zoë Ærø"));
    // Never UTF-8 or UTF-16 on disk: one byte per character.
    QCOMPARE(files::toAnsi(QString::fromUtf8("ÀÉÎ")).size(), 3);
}

void tst_Files::writing() {
    QTemporaryDir dir;
    const QString root = dir.path();
    const QString log = root + "/Error.log";

    // Appending creates a missing file.
    {
        files::TextWriter writer(log, files::TextWriter::Append);
        QVERIFY(writer.isOpen());
        writer.writeLine(QString::fromUtf8("first é"));
        writer.writeLine();
        writer.close();
        QVERIFY(!writer.isOpen());
    }
    QCOMPARE(readBytes(log), QByteArray("first \xe9\r\n\r\n"));
    // Appending keeps what is there.
    {
        files::TextWriter writer(log, files::TextWriter::Append);
        writer.writeLine("second");
    } // closed by the destructor
    QCOMPARE(readBytes(log), QByteArray("first \xe9\r\n\r\nsecond\r\n"));

    // Creating replaces.
    {
        files::TextWriter writer(log, files::TextWriter::Create);
        writer.writeLine("Field1\tField2");
        writer.writeLine("a\tb");
        writer.close();
    }
    QCOMPARE(readBytes(log), QByteArray("Field1\tField2\r\na\tb\r\n"));

    // What was written reads back the same.
    QCOMPARE(readAllLines(log), (QStringList{"Field1\tField2", "a\tb"}));

    QCOMPARE(failureNumber(
                 [&] { files::TextWriter writer(root + "/NoFolder/Error.log", files::TextWriter::Append); }),
             ErrorNumbers::PathNotFound);
    {
        files::TextWriter writer(log, files::TextWriter::Create);
        writer.close();
        QVERIFY(failureNumber([&] { writer.writeLine("late"); }) > 0);
    }
    QCOMPARE(readBytes(log), QByteArray());
}

QTEST_GUILESS_MAIN(tst_Files)
#include "tst_files.moc"
