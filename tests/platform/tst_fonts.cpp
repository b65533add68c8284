// The faces the program draws with: every Windows face that a window or a template names resolves to an
// installed face of the packages the program depends on, with the metrics of the face it stands for.
#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QTest>

class TestFonts : public QObject {
    Q_OBJECT
private slots:
    void windowsFacesResolveToInstalledStandIns_data() {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("drawn");
        for (const char* sans : {"MS Sans Serif", "Microsoft Sans Serif", "Arial"})
            QTest::newRow(sans) << QString::fromLatin1(sans) << QStringLiteral("Liberation Sans");
        for (const char* serif : {"Times New Roman"})
            QTest::newRow(serif) << QString::fromLatin1(serif) << QStringLiteral("Liberation Serif");
        for (const char* mono : {"Courier New"})
            QTest::newRow(mono) << QString::fromLatin1(mono) << QStringLiteral("Liberation Mono");
        // The Mac's faces in the URW faces of the same widths, as LibreOffice draws them.
        QTest::newRow("Helvetica") << QStringLiteral("Helvetica") << QStringLiteral("Nimbus Sans");
        QTest::newRow("Times") << QStringLiteral("Times") << QStringLiteral("Nimbus Roman");
        QTest::newRow("Courier") << QStringLiteral("Courier") << QStringLiteral("Nimbus Mono PS");
        // Word's faces: those of the same widths, else what LibreOffice draws them with.
        const char* const word[][2] = {
            {"Calibri", "Carlito"},         {"Cambria", "Caladea"},
            {"Palatino Linotype", "P052"},  {"Bookman Old Style", "URW Bookman"},
            {"Century Schoolbook", "C059"}, {"Arial Narrow", "Nimbus Sans Narrow"},
            {"Tahoma", "DejaVu Sans"},      {"Verdana", "DejaVu Sans"},
            {"Segoe UI", "DejaVu Sans"},    {"Calibri Light", "DejaVu Sans"},
            {"Symbol", "DejaVu Sans"},      {"Georgia", "DejaVu Serif"},
            {"Garamond", "DejaVu Serif"},   {"Consolas", "DejaVu Sans Mono"},
            {"Comic Sans MS", "Z003"},      {"Cambria Math", "DejaVu Math TeX Gyre"},
        };
        for (const auto& [face, drawn] : word)
            QTest::newRow(face) << QString::fromLatin1(face) << QString::fromLatin1(drawn);
    }
    void windowsFacesResolveToInstalledStandIns() {
        QFETCH(QString, asked);
        QFETCH(QString, drawn);
        const QFont font = platform::windowFont(asked);
        QCOMPARE(font.pointSizeF(), 8.25);
        // A face installed from two foundries is named with its foundry ("P052 [urw]").
        const QString family = QFontInfo(font).family().section(QStringLiteral(" ["), 0, 0);
        // Where the Windows face itself is installed it is drawn, with the same metrics.
        if (family != asked)
            QCOMPARE(family, drawn);
        QVERIFY(QFontInfo(platform::namedFont(asked, 12)).family().startsWith(family));
    }

    // In a letter, Windows' small sans-serif face prints in the wider face LibreOffice gives it; the
    // windows keep the face of its widths that their captions were fitted to.
    void smallSansSerifInLettersAndWindows() {
        for (const QString& face :
             {QStringLiteral("MS Sans Serif"), QStringLiteral("microsoft sans serif")}) {
            QCOMPARE(QFontInfo(platform::namedFont(platform::letterFamily(face), 12)).family(),
                     QStringLiteral("DejaVu Sans"));
            QCOMPARE(QFontInfo(platform::windowFont(face)).family(), QStringLiteral("Liberation Sans"));
        }
        QCOMPARE(platform::letterFamily(QStringLiteral("Arial")), QStringLiteral("Arial"));
    }

    // The stand-ins are installed, the default face is one of them too, and they carry the metrics of
    // the faces they stand for, which is what keeps the fitted list columns under their headers.
    void standInsAreInstalledWithWindowsMetrics() {
        for (const QString& face :
             QStringList{"Liberation Sans", "Liberation Serif", "Liberation Mono", "DejaVu Sans", "Carlito",
                         "Caladea", "P052", "Nimbus Sans Narrow"})
            QVERIFY2(QFontDatabase::hasFamily(face), qPrintable(face));
        QCOMPARE(QFontInfo(platform::applicationFont()).family(), QStringLiteral("DejaVu Sans"));
        // At one pixel per font unit the advances are Arial's and Times New Roman's own numbers.
        QFont arial = platform::namedFont("Arial", 8);
        arial.setPixelSize(2048);
        arial.setHintingPreference(QFont::PreferNoHinting);
        QCOMPARE(QFontMetricsF(arial).horizontalAdvance(QStringLiteral("W")), 1933.0);
        QCOMPARE(QFontMetricsF(arial).horizontalAdvance(QStringLiteral("a")), 1139.0);
        QFont times = platform::namedFont("Times New Roman", 8);
        times.setPixelSize(2048);
        times.setHintingPreference(QFont::PreferNoHinting);
        QCOMPARE(QFontMetricsF(times).horizontalAdvance(QStringLiteral("W")), 1933.0);
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
