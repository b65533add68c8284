// Word 2007+ lists read into the template model: their numbers, how lists of one definition or one list
// style count on together, and where a restarted list starts again.
#include "DocxSamples.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"

#include <QBuffer>
#include <QImage>
#include <QtTest>

using namespace wordproc;
using namespace docxsamples;

namespace {

Template readBody(const QByteArray& body, const std::vector<Related>& related = {}) {
    return readDocx(zipParts(package(document(body), related)), QStringLiteral("t.dotx"));
}

// A paragraph's text: tabs as \t.
QStringList paragraphs(const Template&, const Story& s) {
    QStringList out;
    for (const Block& b : s.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b)) {
            QString text;
            for (const Run& r : p->runs)
                text += r.kind == Run::Text ? r.text : r.kind == Run::Tab ? QStringLiteral("\t") : QString();
            out << text;
        }
    return out;
}

const Paragraph& firstParagraph(const Story& s) {
    return std::get<Paragraph>(s.blocks.front());
}

} // namespace

class TestDocxLists : public QObject {
    Q_OBJECT

private slots:
    void numbering() {
        // Numbers per level, levels within levels, a list that starts over, bullets from Symbol.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt "
            "w:val=\"decimal\"/>"
            "<w:lvlText w:val=\"%1.\"/><w:pPr><w:ind w:left=\"720\" "
            "w:hanging=\"360\"/></w:pPr></w:lvl><w:lvl w:ilvl=\"1\">"
            "<w:start w:val=\"1\"/><w:numFmt w:val=\"lowerLetter\"/><w:lvlText "
            "w:val=\"%1.%2)\"/></w:lvl><w:lvl w:ilvl=\"2\">"
            "<w:start w:val=\"1\"/><w:numFmt w:val=\"upperRoman\"/><w:lvlText w:val=\"%3\"/><w:suff "
            "w:val=\"space\"/><w:lvlJc w:val=\"right\"/></w:lvl></w:abstractNum>"
            "<w:abstractNum w:abstractNumId=\"1\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/><w:lvlText "
            "w:val=\"\xef\x82\xb7\"/>"
            "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr></w:lvl></w:abstractNum>"
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num><w:num "
            "w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>"
            "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\"><w:startOverride "
            "w:val=\"7\"/></w:lvlOverride></w:num>"
            "</w:numbering>";
        const auto item = [](const char* num, const char* level, const char* text) {
            return paragraph(run(text), QByteArray("<w:numPr><w:ilvl w:val=\"") + level +
                                            "\"/><w:numId w:val=\"" + num + "\"/></w:numPr>");
        };
        const Template t = readBody(item("1", "0", "a") + item("1", "0", "b") + item("1", "1", "c") +
                                        item("1", "1", "d") + item("1", "2", "e") + item("1", "0", "f") +
                                        item("2", "0", "g") + item("3", "0", "h"),
                                    {{"numbering", "numbering.xml", numbering}});
        QCOMPARE(paragraphs(t, t.body), (QStringList{"1.\ta", "2.\tb", "2.a)\tc", "2.b)\td", "I e", "3.\tf",
                                                     QStringLiteral("\u2022\tg"), "7.\th"}));
        const Paragraph& first = firstParagraph(t.body);
        QCOMPARE(first.format.leftTwips, 720);
        QCOMPARE(first.format.firstTwips, -360);
        // The tab after the number stops at the hanging indent.
        QCOMPARE(first.format.tabs.size(), size_t(1));
        QCOMPARE(first.format.tabs[0].twips, 720);
        const Paragraph& bullet = std::get<Paragraph>(t.body.blocks.at(6));
        QCOMPARE(t.formats[size_t(bullet.runs[0].format)].family, QStringLiteral("OpenSymbol"));
        // A level's number set to end at the indent says so; the others start there.
        QCOMPARE(std::get<Paragraph>(t.body.blocks.at(4)).format.numberAlign, ParaFormat::Right);
        QCOMPARE(first.format.numberAlign, ParaFormat::Left);
    }

    void hiddenMarksAndHiddenParagraphs() {
        // A hidden paragraph mark hides no number while the paragraph shows text. A paragraph that
        // shows nothing, its mark or its text hidden, is no paragraph; its number still counts.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt "
            "w:val=\"decimal\"/>"
            "<w:lvlText w:val=\"%1.\"/></w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId "
            "w:val=\"0\"/></w:num></w:numbering>";
        const QByteArray numbered = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
        const QByteArray hiddenMark = "<w:rPr><w:vanish/><w:specVanish/></w:rPr>";
        const QByteArray hiddenRun = "<w:r><w:rPr><w:vanish/></w:rPr><w:t>Hidden</w:t></w:r>";
        const Template t =
            readBody(paragraph(run("Heading"), numbered + hiddenMark) + paragraph(run("Body")) +
                         paragraph("", "<w:rPr><w:vanish/></w:rPr>") + paragraph(hiddenRun) +
                         paragraph(hiddenRun, numbered + hiddenMark) + paragraph(run("Next"), numbered) +
                         paragraph("") + paragraph(run("Shown") + hiddenRun, hiddenMark),
                     {{"numbering", "numbering.xml", numbering}});
        QCOMPARE(paragraphs(t, t.body), (QStringList{"1.\tHeading", "Body", "3.\tNext", "", "Shown"}));
    }

    void numbersByExample() {
        // Word 2010 gives some formats by example, behind a choice older readers skip: numbers padded
        // with zeros print so; one that cannot be printed numbers its level "1.", its own text unused.
        const auto level = [](const char* example, const char* text) {
            return QByteArray("<w:lvl w:ilvl=\"0\"><w:start w:val=\"9\"/><mc:AlternateContent><mc:Choice "
                              "Requires=\"w14\"><w:numFmt w:val=\"custom\" w:format=\"") +
                   example +
                   "\"/></mc:Choice><mc:Fallback><w:numFmt w:val=\"decimal\"/></mc:Fallback>"
                   "</mc:AlternateContent><w:lvlText w:val=\"" +
                   text + "\"/></w:lvl>";
        };
        QByteArray numbering = "<w:numbering " + kW + ">";
        const char* examples[] = {"01, 02, 03, ...", "001, 002, 003, ...", "0001, 0002, 0003, ...",
                                  "\xce\xb1, \xce\xb2, \xce\xb3, ..."};
        QByteArray body;
        for (int i = 0; i < 4; ++i) {
            const QByteArray id = QByteArray::number(i + 1);
            numbering += "<w:abstractNum w:abstractNumId=\"" + id + "\">" + level(examples[i], "No-%1") +
                         "</w:abstractNum><w:num w:numId=\"" + id + "\"><w:abstractNumId w:val=\"" + id +
                         "\"/></w:num>";
            body += paragraph(run("x"),
                              "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + id + "\"/></w:numPr>");
        }
        numbering += "</w:numbering>";
        const Template t = readBody(body, {{"numbering", "numbering.xml", numbering}});
        QCOMPARE(paragraphs(t, t.body), (QStringList{"No-09\tx", "No-009\tx", "No-0009\tx", "9.\tx"}));
    }

    void numberingAcrossLists() {
        // Word's own counting, as the numbers a Word user typed beside each item show it.
        const auto lvl = [](int i, const QByteArray& inner) {
            return "<w:lvl w:ilvl=\"" + QByteArray::number(i) + "\">" + inner + "</w:lvl>";
        };
        const QByteArray numbering =
            "<w:numbering " + kW + ">" +
            // No start: counts from zero.
            "<w:abstractNum w:abstractNumId=\"0\">" +
            lvl(0, "<w:numFmt w:val=\"decimalZero\"/><w:lvlText w:val=\"%1\"/>") + "</w:abstractNum>" +
            // Level 2 starts again only after level 0; level 3 shows every number in Arabic numerals;
            // level 4 is a bullet that level 5's text passes over.
            "<w:abstractNum w:abstractNumId=\"1\">" +
            lvl(0, "<w:start w:val=\"2\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1\"/>") +
            lvl(1, "<w:start w:val=\"1\"/><w:numFmt w:val=\"lowerLetter\"/><w:lvlText w:val=\"%1.%2\"/>") +
            lvl(2, "<w:start w:val=\"1\"/><w:numFmt w:val=\"upperRoman\"/><w:lvlRestart w:val=\"1\"/>"
                   "<w:lvlText w:val=\"%1.%2.%3\"/>") +
            lvl(3, "<w:start w:val=\"1\"/><w:isLgl/><w:numFmt w:val=\"decimal\"/>"
                   "<w:lvlText w:val=\"%1.%2.%3.%4\"/>") +
            lvl(4, "<w:start w:val=\"1\"/><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"o\"/>") +
            lvl(5, "<w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.%5.%6\"/>") +
            "</w:abstractNum>" + "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>" +
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>" +
            // Another list of the same definition goes on counting, in a format of its own.
            "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"1\"/><w:lvlOverride w:ilvl=\"0\">" +
            lvl(0, "<w:start w:val=\"1\"/><w:numFmt w:val=\"upperLetter\"/><w:lvlText w:val=\"%1\"/>") +
            "</w:lvlOverride></w:num>" +
            // One that starts anew starts the count of its definition again, and the others count on.
            "<w:num w:numId=\"4\"><w:abstractNumId w:val=\"1\"/><w:lvlOverride w:ilvl=\"0\">"
            "<w:startOverride w:val=\"10\"/></w:lvlOverride></w:num>" +
            "</w:numbering>";
        const auto item = [](const char* num, const char* level) {
            return paragraph(run("x"), QByteArray("<w:numPr><w:ilvl w:val=\"") + level +
                                           "\"/><w:numId w:val=\"" + num + "\"/></w:numPr>");
        };
        const Template t =
            readBody(item("1", "0") + item("1", "0") + item("2", "0") + item("2", "1") + item("2", "2") +
                         item("2", "1") + item("2", "2") + item("2", "3") + item("2", "4") + item("2", "5") +
                         item("3", "0") + item("4", "0") + item("4", "0") + item("2", "0") + item("2", "2"),
                     {{"numbering", "numbering.xml", numbering}});
        QStringList numbers;
        for (const QString& p : paragraphs(t, t.body))
            numbers << p.section(QLatin1Char('\t'), 0, 0);
        QCOMPARE(numbers, (QStringList{"00", "01", "2", "2.a", "2.a.I", "2.b", "2.b.II", "2.2.2.1", "o",
                                       "2..1", "C", "10", "11", "12", "12.a.I"}));
    }

    void listsOfAListStyle() {
        // A multilevel list of a list style keeps no levels of its own: the style names the list that
        // holds them, and its items show that list's numbers and indents. Lists of the style count on
        // together, as LibreOffice counts them.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:styleLink w:val=\"Steps\"/><w:lvl w:ilvl=\"0\">"
            "<w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"Step %1:\"/><w:pPr><w:ind "
            "w:left=\"900\" w:hanging=\"900\"/></w:pPr></w:lvl></w:abstractNum>"
            "<w:abstractNum w:abstractNumId=\"1\"><w:numStyleLink w:val=\"Steps\"/></w:abstractNum>"
            "<w:abstractNum w:abstractNumId=\"2\"><w:numStyleLink w:val=\"Steps\"/></w:abstractNum>"
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>"
            "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"2\"/></w:num></w:numbering>";
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"numbering\" w:styleId=\"Steps\"><w:pPr><w:numPr><w:numId "
            "w:val=\"1\"/></w:numPr></w:pPr></w:style></w:styles>";
        const auto item = [](const char* num, const char* text) {
            return paragraph(run(text), QByteArray("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"") + num +
                                            "\"/></w:numPr>");
        };
        const Template t =
            readBody(item("2", "Check") + item("2", "Sign") + item("3", "Pay") + item("1", "Drive"),
                     {{"numbering", "numbering.xml", numbering}, {"styles", "styles.xml", styles}});
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"Step 1:\tCheck", "Step 2:\tSign", "Step 3:\tPay", "Step 4:\tDrive"}));
        QCOMPARE(firstParagraph(t.body).format.leftTwips, 900);
    }

    void restartedListsCountOn() {
        // Word's "restart at 1" gives the first item a list of its own that starts again; the items after
        // it keep the list their style names, and LibreOffice numbers them on from the restarted count.
        // A list that starts again does so at its first item only.
        const auto restart = [](int num, int start) {
            return "<w:num w:numId=\"" + QByteArray::number(num) +
                   "\"><w:abstractNumId w:val=\"5\"/><w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"" +
                   QByteArray::number(start) + "\"/></w:lvlOverride></w:num>";
        };
        const QByteArray numbering = "<w:numbering " + kW +
                                     "><w:abstractNum w:abstractNumId=\"5\"><w:lvl w:ilvl=\"0\"><w:start "
                                     "w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/>"
                                     "</w:lvl></w:abstractNum>"
                                     "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"5\"/></w:num>" +
                                     restart(2, 1) + restart(3, 10) + "</w:numbering>";
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"paragraph\" w:styleId=\"Item\"><w:pPr><w:numPr><w:numId "
            "w:val=\"1\"/></w:numPr></w:pPr></w:style></w:styles>";
        const auto item = [](int num, const char* text) {
            return paragraph(run(text), "<w:pStyle w:val=\"Item\"/>" +
                                            (num ? "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" +
                                                       QByteArray::number(num) + "\"/></w:numPr>"
                                                 : QByteArray()));
        };
        const Template t =
            readBody(item(0, "a") + item(0, "b") + item(2, "c") + item(0, "d") + item(3, "e") + item(0, "f") +
                         item(2, "g") + item(0, "h"),
                     {{"numbering", "numbering.xml", numbering}, {"styles", "styles.xml", styles}});
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"1.\ta", "2.\tb", "1.\tc", "2.\td", "10.\te", "11.\tf", "12.\tg", "13.\th"}));
    }

    // A bullet in Monotype Sorts, Windows' Zapf Dingbats, is the picture that font's encoding gives its
    // byte, not Word's usual bullet, and prints in the symbol face as the other symbol fonts' bullets.
    void dingbatBullets() {
        const auto level = [](const char* abstract, const QByteArray& text) {
            return "<w:abstractNum w:abstractNumId=\"" + QByteArray(abstract) +
                   "\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"" + text +
                   "\"/><w:rPr><w:rFonts w:ascii=\"Monotype Sorts\" w:hAnsi=\"Monotype Sorts\"/></w:rPr>"
                   "</w:lvl></w:abstractNum>";
        };
        const QByteArray numbering =
            "<w:numbering " + kW + ">" + level("0", "\xef\x83\xaa") + level("1", "\xef\x80\xb3") +
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num></w:numbering>";
        const auto item = [](const char* num, const char* text) {
            return paragraph(run(text), "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + QByteArray(num) +
                                            "\"/></w:numPr>");
        };
        const Template t =
            readBody(item("1", "a") + item("2", "b"), {{"numbering", "numbering.xml", numbering}});
        QCOMPARE(paragraphs(t, t.body), (QStringList{QString::fromUtf8("➪\ta"), QString::fromUtf8("✓\tb")}));
        QCOMPARE(t.formats.at(size_t(firstParagraph(t.body).runs.front().format)).family,
                 QStringLiteral("OpenSymbol"));
        // A picture the symbol face has prints at its private-use code, as in LibreOffice's PDF.
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        QVERIFY(merged->copies.at(0).body->toPlainText().endsWith(QString(QChar(0xF033)) +
                                                                  QStringLiteral("\tb")));
    }

    // A bullet that is a picture (its level's w:lvlPicBulletId) shows that picture, 7.9 points tall and
    // as wide as its shape makes it, in place of its text; one whose picture is missing keeps the text.
    void pictureBullets() {
        QImage wide(20, 10, QImage::Format_ARGB32);
        wide.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        wide.save(&buffer, "PNG");
        const auto bullet = [](const char* id, const char* rel) {
            return "<w:numPicBullet w:numPicBulletId=\"" + QByteArray(id) +
                   "\"><w:pict><v:shape style=\"width:20pt;height:20pt\" o:bullet=\"t\"><v:imagedata "
                   "r:id=\"" +
                   rel + "\"/></v:shape></w:pict></w:numPicBullet>";
        };
        const auto level = [](const char* abstract, const char* picture) {
            return "<w:abstractNum w:abstractNumId=\"" + QByteArray(abstract) +
                   "\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"o\"/>"
                   "<w:lvlPicBulletId w:val=\"" +
                   picture + "\"/></w:lvl></w:abstractNum>";
        };
        const QByteArray numbering =
            "<w:numbering " + kW + " xmlns:o=\"urn:schemas-microsoft-com:office:office\">" +
            bullet("0", "rId1") + bullet("1", "rId9") + level("0", "0") + level("1", "1") + level("2", "5") +
            "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"1\"/></w:num>"
            "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"2\"/></w:num></w:numbering>";
        const auto item = [](const char* num, const char* text) {
            return paragraph(run(text), "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + QByteArray(num) +
                                            "\"/></w:numPr>");
        };
        Parts parts = package(document(item("1", "a") + item("2", "b") + item("3", "c")),
                              {{"numbering", "numbering.xml", numbering}});
        parts.emplace_back("word/_rels/numbering.xml.rels", relationships({{"image", "media/bullet.png"}}));
        parts.emplace_back("word/media/bullet.png", png);
        const Template t = readDocx(zipParts(parts), QStringLiteral("t.docx"));
        const Paragraph& pictured = firstParagraph(t.body);
        QCOMPARE(pictured.runs.size(), size_t(3));
        QCOMPARE(pictured.runs[0].kind, Run::Picture);
        const Picture& shown = t.pictures.at(size_t(pictured.runs[0].index));
        QCOMPARE(shown.heightTwips, 158);
        QCOMPARE(shown.widthTwips, 316);
        QCOMPARE(shown.image.size(), QSize(20, 10));
        QCOMPARE(pictured.runs[1].kind, Run::Tab);
        QCOMPARE(paragraphs(t, t.body).mid(1), (QStringList{"o\tb", "o\tc"}));
    }
};

QTEST_MAIN(TestDocxLists)
#include "tst_docxlists.moc"
