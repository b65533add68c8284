// Faces installed twice under one name: the program draws with the file that fontconfig, and so
// LibreOffice, would draw the text with. Run under a font set of its own, made before Qt starts.
#include "platform/Fonts.h"
#include "tests/support/Glyphs.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Debian's fonts-droid-fallback installs Droid Sans Fallback twice: a file without Hangul in the
// folder fontconfig reads by default, and one with Hangul in a folder of its own.
const char* const kFolders[] = {"/usr/share/fonts/truetype/droid", "/usr/share/fonts-droid-fallback/truetype",
                                "/usr/share/fonts/truetype/dejavu"};

bool allFoldersPresent() {
    for (const char* folder : kFolders)
        if (!QDir(QString::fromLatin1(folder)).exists())
            return false;
    return true;
}

} // namespace

class TestFontFiles : public QObject {
    Q_OBJECT
private slots:
    // Korean text in a face the machine lacks falls back to the file of that name that has Hangul.
    void hangulIsDrawnFromTheFileThatHasIt() {
        if (!allFoldersPresent())
            QSKIP("fonts-droid-fallback or fonts-dejavu-core is not installed");
        const QString hangul = QString::fromUtf8("\xed\x95\x9c\xea\xb8\x80");
        const QList<quint32> glyphs =
            glyphsOf(hangul, platform::namedFont(QStringLiteral("Malgun Gothic"), 12));
        QCOMPARE(glyphs.size(), 2);
        QVERIFY(!glyphs.contains(0u));
        // The face keeps its other scripts: Japanese kana and Chinese characters.
        const QList<quint32> cjk = glyphsOf(QString::fromUtf8("\xe3\x81\x82\xe6\x97\xa5"),
                                            platform::namedFont(QStringLiteral("Droid Sans Fallback"), 12));
        QCOMPARE(cjk.size(), 2);
        QVERIFY(!cjk.contains(0u));
        QVERIFY(QRawFont::fromFont(platform::namedFont(QStringLiteral("Droid Sans Fallback"), 12))
                    .supportsCharacter(char32_t(0xD55C)));
    }
};

int main(int argc, char* argv[]) {
    QTemporaryDir fontConfig;
    QFile file(fontConfig.filePath(QStringLiteral("fonts.conf")));
    if (fontConfig.isValid() && file.open(QIODevice::WriteOnly)) {
        file.write("<?xml version=\"1.0\"?><fontconfig>");
        for (const char* folder : kFolders)
            file.write(QByteArray("<dir>") + folder + "</dir>");
        file.write("<cachedir>" + QFile::encodeName(fontConfig.path()) + "</cachedir></fontconfig>");
        file.close();
        qputenv("FONTCONFIG_FILE", QFile::encodeName(file.fileName()));
    }
    QGuiApplication app(argc, argv);
    TestFontFiles test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fontfiles.moc"
