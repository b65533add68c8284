#include "DocxSamples.h"
#include "Sheets.h"
#include "wordproc/DocxReader.h"
#include "wordproc/RtfReader.h"

#include <QtTest>

using namespace wordproc;
using namespace docxsamples;
using namespace sheets;

namespace {

// A one-paragraph document whose pages have `background` (an empty one: none), with `settings` as
// its settings part (null: no settings part).
Template docxOnPaper(const QByteArray& background, const QByteArray& settings,
                     const QByteArray& sectPr = section()) {
    QByteArray xml = document(paragraph(run("On coloured paper")), sectPr);
    xml.replace("<w:body>", background + "<w:body>");
    std::vector<Related> related;
    if (!settings.isNull())
        related.push_back(
            {"settings", "settings.xml", "<w:settings " + kW + ">" + settings + "</w:settings>"});
    return readDocx(zipParts(package(xml, related)), QStringLiteral("paper.docx"));
}

// Word's RTF background: a shape whose fill (0xBBGGRR) is the paper's colour.
QByteArray rtfOnPaper(const QByteArray& view, const QByteArray& fill = "13434879") {
    return "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}" + view +
           "{\\*\\background {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright0\\shpbottom0\\shpfblwtxt1"
           "{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fillColor}{\\sv " +
           fill +
           "}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn fBackground}{\\sv 1}}}}}"
           "\\pard On coloured paper\\par}";
}

QColor corner(const Template& t) {
    const Printed p = printTemplate(t);
    return sheet(p).pixelColor(3, 3);
}

} // namespace

class TestPaper : public QObject {
    Q_OBJECT

private slots:
    // The document's background colour fills every page, to its edges, but only where the file says the
    // pages show it, as LibreOffice prints them; a theme colour prints as the plain value beside it.
    void backgroundColourFillsThePages() {
        const QColor paper(0xFF, 0xFF, 0xCC);
        const QByteArray shown = "<w:displayBackgroundShape/>";
        QCOMPARE(corner(docxOnPaper("<w:background w:color=\"FFFFCC\"/>", shown)), paper);
        QCOMPARE(corner(docxOnPaper("<w:background w:color=\"FFFFCC\" w:themeColor=\"accent1\" "
                                    "w:themeTint=\"33\"/>",
                                    shown)),
                 paper);
        QCOMPARE(corner(docxOnPaper("<w:background w:color=\"FFFFCC\"/>", "")), QColor(Qt::white));
        QCOMPARE(corner(docxOnPaper("<w:background w:color=\"auto\"/>", shown)), QColor(Qt::white));
        QCOMPARE(corner(docxOnPaper({}, shown)), QColor(Qt::white));

        // RTF: the background shape's fill, shown with \viewbksp; the shape itself is not drawn as one.
        const Template rtf = readRtf(rtfOnPaper("\\viewbksp1"), QStringLiteral("paper.rtf"));
        QCOMPARE(corner(rtf), paper);
        QVERIFY(rtf.floats.empty());
        QCOMPARE(corner(readRtf(rtfOnPaper("\\viewbksp1", "16711680"), QStringLiteral("paper.rtf"))),
                 QColor(0, 0, 0xFF));
        QCOMPARE(corner(readRtf(rtfOnPaper({}), QStringLiteral("paper.rtf"))), QColor(Qt::white));
        // The text stands on the paper as before.
        const Printed p = printTemplate(rtf);
        QVERIFY(p.copy.body->toPlainText().contains(QStringLiteral("On coloured paper")));
    }

    // Word's art borders (apples, muffins...) are pictures LibreOffice leaves out; line styles beside
    // them still print.
    void artPageBordersAreLeftOut() {
        const Template t = docxOnPaper(
            {}, {},
            section("<w:pgBorders w:offsetFrom=\"page\"><w:top w:val=\"apples\" w:sz=\"12\" w:space=\"24\"/>"
                    "<w:left w:val=\"single\" w:sz=\"12\" w:space=\"24\"/><w:bottom w:val=\"mapleMuffins\" "
                    "w:sz=\"12\" w:space=\"24\"/><w:right w:val=\"thinThickSmallGap\" w:sz=\"12\" "
                    "w:space=\"24\"/></w:pgBorders>"));
        QVERIFY(!edge(t.page.pageBorders, Side::Top).visible());
        QVERIFY(!edge(t.page.pageBorders, Side::Bottom).visible());
        QCOMPARE(edge(t.page.pageBorders, Side::Left).style, Border::Single);
        QCOMPARE(edge(t.page.pageBorders, Side::Right).style, Border::Double);
        // The top of the page, where the art would be, stays blank.
        const QImage page = sheet(printTemplate(t));
        const int y = qRound(kDpi * 24.75 / 72);
        int dark = 0;
        for (int x = page.width() / 4; x < page.width() * 3 / 4; ++x)
            dark += qGray(page.pixel(x, y)) < 128;
        QCOMPARE(dark, 0);
    }
};

QTEST_MAIN(TestPaper)
#include "tst_paper.moc"
