// Word 2007+ templates read into the template model: fields, equations, frames, content controls,
// revisions, headers and sections, packages, and files made to hurt. The documents are built here,
// part by part.
#include "DocxReading.h"
#include "Samples.h"
#include "wordproc/DataSource.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Metafile.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QtTest>

using namespace wordproc;
using namespace docxsamples;
using samples::failureNumber;

namespace {

QString description(const QByteArray& zipped, const QString& name = QStringLiteral("hostile.docx")) {
    QString why;
    const qint32 number = failureNumber([&] { readDocx(zipped, name); }, &why);
    return number == errors::UnreadableDocument ? why : QStringLiteral("number %1: %2").arg(number).arg(why);
}

} // namespace

class TestDocxReader : public QObject {
    Q_OBJECT

private slots:
    void mergeFields() {
        // Both of Word's forms of a field, with their switches; names match the data's columns whatever
        // their case.
        const Template t = readBody(paragraph(
            run("Dear ") + simpleField("MERGEFIELD first_name \\* Upper", "«First_Name»") + run(" ") +
            complexField("MERGEFIELD  Last_Name \\b \"Mr. \" \\f \"!\" \\* MERGEFORMAT", "«Last_Name»") +
            run(" on ") + complexField("DATE \\@ \"MMMM d, yyyy\"", "May 1, 2020")));
        QCOMPARE(t.fields.size(), size_t(3));
        QCOMPARE(t.fields[0].kind, Field::Merge);
        QCOMPARE(t.fields[0].name, QStringLiteral("first_name"));
        QCOMPARE(t.fields[0].caseSwitches, QStringList{"Upper"});
        QCOMPARE(t.fields[1].name, QStringLiteral("Last_Name"));
        QCOMPARE(t.fields[1].before, QStringLiteral("Mr. "));
        QCOMPARE(t.fields[1].after, QStringLiteral("!"));
        // The closing run sets the value's looks in these files, MERGEFORMAT or not.
        QVERIFY(!t.fields[1].mergeFormat);
        QCOMPARE(t.fields[2].kind, Field::Date);
        QCOMPARE(t.fields[2].datePicture, QStringLiteral("MMMM d, yyyy"));
        // Unmerged, each shows what Word last showed.
        QCOMPARE(paragraphs(t, t.body), QStringList{"Dear «First_Name» «Last_Name» on May 1, 2020"});

        auto data = DataSource::parse(
            samples::dataFile({"First_Name", "LAST_NAME"}, {{"anna", "Smith"}, {"bo", ""}}), "data.txt");
        Merger merger(std::make_shared<const Template>(t), data);
        merger.setNow(QDateTime(QDate(2026, 3, 5), QTime(9, 0)));
        QCOMPARE(merger.all("m")->plainText(),
                 QStringLiteral("Dear ANNA Mr. Smith! on March 5, 2026\nDear BO  on March 5, 2026"));
    }

    void fieldValueInItsClosingRun() {
        // A page number or a merged value prints as the run that closes its field looks (here bold,
        // 16 points), not as its opening run or its stored result (italic), MERGEFORMAT or not.
        const auto field = [](const QByteArray& code, const QByteArray& shown) {
            return "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText "
                   "xml:space=\"preserve\"> " +
                   code +
                   " </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:rPr><w:i/>"
                   "</w:rPr><w:t>" +
                   shown +
                   "</w:t></w:r><w:r><w:rPr><w:b/><w:sz w:val=\"32\"/></w:rPr><w:fldChar "
                   "w:fldCharType=\"end\"/></w:r>";
        };
        const Template t = readBody(paragraph(run("Page ") + field("PAGE", "1") + run(" to ") +
                                              field("MERGEFIELD Name \\* MERGEFORMAT", "«Name»")));
        const std::vector<Run>& runs = firstParagraph(t.body).runs;
        int fields = 0;
        for (const Run& r : runs)
            if (r.kind == Run::Field) {
                ++fields;
                const CharFormat& f = t.formats[size_t(r.format)];
                QVERIFY(f.bold && !f.italic);
                QCOMPARE(f.halfPoints, 32);
            }
        QCOMPARE(fields, 2);
        auto data = DataSource::parse(samples::dataFile({"Name"}, {{"Smith"}}), "data.txt");
        Merger merger(std::make_shared<const Template>(t), data);
        const PageCopy copy = merger.next();
        const QTextCursor at = copy.body->find(QStringLiteral("Smith"));
        QVERIFY(!at.isNull());
        QVERIFY(at.charFormat().fontWeight() >= QFont::Bold && !at.charFormat().fontItalic());
    }

    void nestedAndOtherFields() {
        // An IF keeps its stored result, nested fields included, and its code with the merge field
        // nested in it, for the merge to evaluate; a field without its end keeps its text; PAGE and NEXT
        // are fields of their own.
        const Template t = readBody(
            paragraph(
                "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>IF </w:instrText></w:r>" +
                complexField("MERGEFIELD City", "«City»") +
                "<w:r><w:instrText> = \"\" \"x\" \"y\"</w:instrText></w:r><w:r><w:fldChar "
                "w:fldCharType=\"separate\"/></w:r>" +
                run("shown ") + complexField("MERGEFIELD Zip", "«Zip»") +
                "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" + run(" p") + simpleField("PAGE", "1") +
                simpleField("NEXT", "")) +
            paragraph("<w:hyperlink r:id=\"rId9\">" + run("link text") + "</w:hyperlink>") +
            paragraph(run("open ") +
                      "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>TOC "
                      "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                      run("entry")));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"shown «Zip» p1", "link text", "open entry"}));
        std::vector<Field::Kind> kinds;
        for (const Field& f : t.fields)
            kinds.push_back(f.kind);
        QCOMPARE(kinds,
                 (std::vector<Field::Kind>{Field::Merge, Field::Merge, Field::If, Field::Page, Field::Next}));
        QCOMPARE(t.fields[0].name, QStringLiteral("City"));
        QCOMPARE(t.fields[1].name, QStringLiteral("Zip"));
        const std::vector<Run>& code = t.fields[2].code;
        QVERIFY(code.size() == 3 && code[1].kind == Run::Field && code[1].index == 0);
        QCOMPARE(code[0].text + code[2].text, QStringLiteral("IF  = \"\" \"x\" \"y\""));
    }

    void storedResultsKeepTheirParagraphs() {
        // A form field's or a table of contents' result that runs over paragraphs keeps them, each with
        // its own spacing; a merge field's result, which the merge replaces, stays one paragraph of lines.
        const QByteArray begin = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>";
        const QByteArray separate = "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>";
        const QByteArray end = "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
        const auto code = [](const QByteArray& c) {
            return "<w:r><w:instrText>" + c + "</w:instrText></w:r>";
        };
        const QByteArray before = "<w:spacing w:before=\"120\"/>";
        const Template t = readBody(
            paragraph("<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"T\"/><w:textInput/>"
                      "</w:ffData></w:fldChar></w:r>" +
                          code(" FORMTEXT ") + separate + run("EPSRC"),
                      before) +
            paragraph(run("Polaris House"), before) + paragraph(run("Swindon") + end + run(" UK"), before) +
            paragraph(begin + code("TOC \\o") + separate + run("One\t") +
                      complexField("PAGEREF _Toc1", "1")) +
            paragraph(run("Two\t2") + end) +
            paragraph(begin + code("MERGEFIELD Address") + separate + run("Line 1")) +
            paragraph(run("Line 2") + end));
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"EPSRC", "Polaris House", "Swindon UK", "One\t1", "Two\t2", "Line 1/Line 2"}));
        for (int i : {1, 2})
            QCOMPARE(std::get<Paragraph>(t.body.blocks[size_t(i)]).format.beforeTwips, 120);
        QCOMPARE(t.fields.size(), size_t(1));
        QCOMPARE(t.fields.back().kind, Field::Merge);
    }

    void lastEmptyParagraphInItsStylesLetters() {
        // The document's last paragraph, empty, is as tall as its style's letters whatever size its mark
        // has; an empty paragraph before it keeps its mark's size.
        const auto empty = [](const QByteArray& size) {
            return paragraph({}, "<w:rPr><w:sz w:val=\"" + size + "\"/></w:rPr>");
        };
        const Template plain = readBody(paragraph(run("Text")));
        const int own = plain.formats[size_t(firstParagraph(plain.body).markFormat)].halfPoints;
        for (const QByteArray& size : {QByteArray("12"), QByteArray("40")}) {
            const Template t = readBody(paragraph(run("Text")) + empty("12") + empty(size));
            QCOMPARE(t.body.blocks.size(), size_t(3));
            QCOMPARE(t.formats[size_t(std::get<Paragraph>(t.body.blocks[1]).markFormat)].halfPoints, 12);
            QCOMPARE(t.formats[size_t(std::get<Paragraph>(t.body.blocks[2]).markFormat)].halfPoints, own);
        }
    }

    void fieldsShownByTheirCode() {
        // A macro button shows its prompt and a symbol its character, whatever result is stored or none;
        // ASK and SET show nothing.
        const QByteArray codeOnly = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText "
                                    "xml:space=\"preserve\"> %1 </w:instrText></w:r><w:r><w:fldChar "
                                    "w:fldCharType=\"end\"/></w:r>";
        const auto bare = [&](const char* code) { return QByteArray(codeOnly).replace("%1", code); };
        const Template t = readBody(
            paragraph(run("a ") + bare("MACROBUTTON NoMacro [Click  here to type]") + run(" b")) +
            paragraph(run("c ") + simpleField("MACROBUTTON AcceptAllChangesInDoc Sign here", "old")) +
            paragraph(run("d ") + bare("SYMBOL 183 \\f Symbol \\s 14") + complexField("SYMBOL 0x41", "Z") +
                      bare("SYMBOL 169") + bare("SYMBOL 128 \\f \"Times New Roman\"")) +
            paragraph(run("e ") + complexField("ASK name \"Your name?\"", "Ann") +
                      complexField("SET total \"12\"", "12") + run("f")));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"a [Click  here to type] b", "c Sign here",
                                                     QString::fromUtf8("d \u2022A\u00a9\u20ac"), "e f"}));
        // The symbol takes the size the code gives it, and a font of text keeps its name.
        const auto& fields = t.fields;
        QVERIFY(fields.empty());
        const std::vector<Run>& runs = std::get<Paragraph>(t.body.blocks[2]).runs;
        QCOMPARE(runs.size(), size_t(4));
        QCOMPARE(t.formats[size_t(runs[1].format)].halfPoints, 28);
        QCOMPARE(t.formats[size_t(runs[3].format)].family, QStringLiteral("Times New Roman"));
    }

    void fileNameFieldsShowTheTemplate() {
        // Word stored the name the letter had when it was written; it prints under the template's own.
        const QString path = QStringLiteral("/letters/Trade In Offer.dotx");
        const Template t =
            read(package(document(paragraph(run("a ") + complexField("FILENAME", "Document1")) +
                                  paragraph(simpleField("FILENAME \\* Upper \\p", "old")))),
                 path);
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"a Trade In Offer.dotx", QDir::toNativeSeparators(path).toUpper()}));
    }

    void equations() {
        // An equation prints as a line of its text: scripts raised and lowered, a fraction with a slash,
        // brackets with a bar between their parts, a root's and a sum's signs.
        const QByteArray m = "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\"";
        const auto r = [](const QByteArray& t) { return "<m:r><m:t>" + t + "</m:t></m:r>"; };
        const Template t = readBody(
            paragraph(run("Area ") + "<m:oMathPara " + m + "><m:oMath>" + r("A=\xcf\x80") +
                      "<m:sSup><m:sSupPr><m:ctrlPr><w:rPr><w:i/></w:rPr></m:ctrlPr></m:sSupPr><m:e>" +
                      r("r") + "</m:e><m:sup>" + r("2") + "</m:sup></m:sSup></m:oMath></m:oMathPara>" +
                      run(" end")) +
            paragraph("<m:oMath " + m + "><m:f><m:num>" + r("x") + "</m:num><m:den>" + r("2") +
                      "</m:den></m:f><m:rad><m:deg/><m:e>" + r("y") + "</m:e></m:rad><m:d><m:e>" + r("a") +
                      "</m:e><m:e>" + r("b") +
                      "</m:e></m:d><m:nary><m:naryPr><m:chr m:val=\"\xe2\x88\x91\"/></m:naryPr><m:sub>" +
                      r("i") + "</m:sub><m:sup/><m:e>" + r("k") +
                      "</m:e></m:nary><m:sSub><m:e><m:r><w:rPr><w:vanish/></w:rPr><m:t>h</m:t></m:r>" +
                      r("z") + "</m:e><m:sub>" + r("0") + "</m:sub></m:sSub></m:oMath>"));
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{QString::fromUtf8("Area A=\xcf\x80r2 end"),
                              QString::fromUtf8("x/2\xe2\x88\x9ay(a|b)\xe2\x88\x91ikz0")}));
        const auto scripts = [&](const Paragraph& p) {
            QString out;
            for (const Run& run : p.runs)
                out +=
                    QString(run.text.size(), QLatin1Char("nsb"[int(t.formats[size_t(run.format)].script)]));
            return out;
        };
        QCOMPARE(scripts(std::get<Paragraph>(t.body.blocks[0])), QStringLiteral("nnnnnnnnnsnnnn"));
        QCOMPARE(scripts(std::get<Paragraph>(t.body.blocks[1])), QStringLiteral("nnnnnnnnnnnbnnb"));
    }

    void equationLettersAndPlace() {
        // An equation's letters are italic and its digits and signs upright, unless a run is plain or
        // ordinary text; a display equation alone in its paragraph is centred unless it or the
        // document's settings place it elsewhere, while one beside text leaves the paragraph as it is.
        const QByteArray m = "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\"";
        const auto r = [](const QByteArray& t, const QByteArray& pr = {}) {
            return "<m:r>" + (pr.isEmpty() ? QByteArray() : "<m:rPr>" + pr + "</m:rPr>") + "<m:t>" + t +
                   "</m:t></m:r>";
        };
        const auto display = [&](const QByteArray& inside, const QByteArray& jc = {}) {
            return "<m:oMathPara " + m + ">" +
                   (jc.isEmpty() ? QByteArray()
                                 : "<m:oMathParaPr><m:jc m:val=\"" + jc + "\"/></m:oMathParaPr>") +
                   "<m:oMath>" + inside + "</m:oMath></m:oMathPara>";
        };
        const QByteArray body =
            paragraph(display(r("x2=y") + r("sin", "<m:sty m:val=\"p\"/>") + r("ab", "<m:nor/>")),
                      "<w:jc w:val=\"right\"/>") +
            paragraph(display(r("z"), "left")) + paragraph(run("Area ") + display(r("A"))) +
            paragraph("<w:bookmarkStart w:id=\"0\" w:name=\"b\"/>" + display(r("w")) +
                      "<w:bookmarkEnd w:id=\"0\"/>");
        const Template t = readBody(body);
        QCOMPARE(paragraphs(t, t.body), (QStringList{"x2=ysinab", "z", "Area A", "w"}));
        const auto italics = [&](const Paragraph& p) {
            QString out;
            for (const Run& run : p.runs)
                out +=
                    QString(run.text.size(), QLatin1Char(t.formats[size_t(run.format)].italic ? 'i' : '-'));
            return out;
        };
        const auto para = [&](size_t i) { return std::get<Paragraph>(t.body.blocks[i]); };
        QCOMPARE(italics(para(0)), QStringLiteral("i--i-----"));
        QCOMPARE(para(0).format.align, ParaFormat::Center);
        QCOMPARE(para(1).format.align, ParaFormat::Left);
        QCOMPARE(para(2).format.align, ParaFormat::Left);
        QCOMPARE(para(3).format.align, ParaFormat::Center);

        const Template settled =
            read(package(document(paragraph(display(r("v")))),
                         {{"settings", "settings.xml",
                           "<w:settings " + kW + " " + m +
                               "><m:mathPr><m:defJc m:val=\"right\"/></m:mathPr></w:settings>"}}));
        QCOMPARE(firstParagraph(settled.body).format.align, ParaFormat::Right);
    }

    void droppedCapital() {
        // A dropped capital's letters begin the next paragraph's first word, in that paragraph's size; a
        // frame that is no dropped capital is a box of its own, anchored after the story's last
        // paragraph when nothing follows it.
        const Template t = readBody(
            paragraph(run("W", "<w:sz w:val=\"110\"/>"),
                      "<w:framePr w:dropCap=\"drop\" w:lines=\"3\" w:wrap=\"around\" w:vAnchor=\"text\"/>") +
            paragraph(run("ord of mouth"), "<w:rPr><w:sz w:val=\"22\"/></w:rPr>") +
            paragraph(run("Boxed"), "<w:framePr w:w=\"2000\" w:x=\"100\" w:y=\"100\"/>") +
            paragraph(run("M"), "<w:framePr w:dropCap=\"margin\" w:lines=\"2\"/>"));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"Word of mouth", "M", ""}));
        QCOMPARE(t.textBoxes.size(), size_t(1));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), QStringList{"Boxed"});
        const Paragraph& anchor = std::get<Paragraph>(t.body.blocks.back());
        QVERIFY(anchor.runs.size() == 1 && anchor.runs[0].kind == Run::Floating);
        const Paragraph& first = firstParagraph(t.body);
        QCOMPARE(t.formats[size_t(first.runs.front().format)].halfPoints, 22);
    }

    void frameFromTheParagraphsStyle() {
        // Word's envelope: the address style holds the frame's size and place, each address paragraph
        // only how text goes round it; the frame stands from the margin down, as none is named. A
        // paragraph of that style with no frame of its own stays in the text.
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"paragraph\" w:styleId=\"EnvelopeAddress\"><w:name w:val=\"envelope "
            "address\"/><w:pPr><w:framePr w:w=\"7920\" w:h=\"1980\" w:hRule=\"exact\" w:hSpace=\"180\" "
            "w:wrap=\"auto\" w:hAnchor=\"page\" w:xAlign=\"center\" w:yAlign=\"bottom\"/><w:ind "
            "w:left=\"2880\"/></w:pPr></w:style></w:styles>";
        const QByteArray own = "<w:pStyle w:val=\"EnvelopeAddress\"/><w:framePr w:wrap=\"auto\"/>";
        const QByteArray envelope =
            "<w:sectPr><w:pgSz w:w=\"13680\" w:h=\"5940\" w:orient=\"landscape\"/><w:pgMar w:top=\"360\" "
            "w:right=\"720\" w:bottom=\"720\" w:left=\"936\" w:header=\"720\" w:footer=\"720\"/></w:sectPr>";
        const Template t =
            read(package(document(paragraph(run("Dealer")) + paragraph(run("Anna Smith"), own) +
                                      paragraph(run("1 Elm Street"), own) +
                                      paragraph(run("Not framed"), "<w:pStyle w:val=\"EnvelopeAddress\"/>"),
                                  envelope),
                         {{"styles", "styles.xml", styles}}));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"Dealer", "Not framed"}));
        QCOMPARE(t.textBoxes.size(), size_t(1));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), (QStringList{"Anna Smith", "1 Elm Street"}));
        const Floating& address = t.floats.at(0);
        QVERIFY(address.fromX == Floating::From::Page && address.fromY == Floating::From::Margin);
        QCOMPARE(QList<int>({address.leftTwips, address.topTwips, address.widthTwips, address.heightTwips}),
                 QList<int>({(13680 - 7920) / 2, 5940 - 360 - 720 - 1980, 7920, 1980}));
    }

    void framesAndFloatingTables() {
        // Paragraphs of one frame share a box at the frame's place, anchored in the paragraph after
        // them; a frame as wide as its text keeps its text to the side it is aligned to; a frame ruled
        // all round has the rules round the box; a floating table is a box holding the table.
        const QByteArray onPage = "<w:framePr w:w=\"2880\" w:h=\"720\" w:hRule=\"exact\" w:wrap=\"around\" "
                                  "w:vAnchor=\"page\" w:hAnchor=\"page\" w:x=\"7920\" w:y=\"720\"/>";
        const QByteArray rule = "w:val=\"single\" w:sz=\"6\" w:space=\"1\" w:color=\"FF0000\"/>";
        const Template t = readBody(
            paragraph(run("Dealer"), onPage) + paragraph(run("Main Street"), onPage) +
            paragraph(run("Customer")) +
            paragraph(run("7"), "<w:framePr w:wrap=\"around\" w:vAnchor=\"text\" w:hAnchor=\"margin\" "
                                "w:xAlign=\"right\" w:y=\"1\"/><w:jc w:val=\"left\"/>") +
            paragraph({}, "<w:framePr w:w=\"1440\" w:h=\"1440\" w:wrap=\"around\" w:vAnchor=\"text\" "
                          "w:hAnchor=\"text\" w:y=\"1\"/><w:pBdr><w:top " +
                              rule + "<w:left " + rule + "<w:bottom " + rule + "<w:right " + rule +
                              "</w:pBdr>") +
            paragraph(run("Terms")) +
            "<w:tbl><w:tblPr><w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"180\" "
            "w:vertAnchor=\"page\" w:horzAnchor=\"margin\" w:tblpXSpec=\"right\" w:tblpY=\"334\"/>"
            "</w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"827\"/></w:tblGrid><w:tr><w:tc>" +
            paragraph(run("Ref")) + "</w:tc><w:tc>" + paragraph(run("599")) + "</w:tc></w:tr></w:tbl>" +
            paragraph(run("After")));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"Customer", "Terms", "After"}));
        QCOMPARE(t.textBoxes.size(), size_t(4));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), (QStringList{"Dealer", "Main Street"}));
        QCOMPARE(t.floats.size(), size_t(4));
        const auto anchored = [&](int block) {
            QStringList out;
            for (const Run& r : std::get<Paragraph>(t.body.blocks[size_t(block)]).runs)
                if (r.kind == Run::Floating)
                    out << QString::number(t.floats[size_t(r.index)].text);
            return out;
        };
        QCOMPARE(anchored(0), QStringList{"0"});
        QCOMPARE(anchored(1), (QStringList{"1", "2"}));
        QCOMPARE(anchored(2), QStringList{"3"});

        const Floating& dealer = t.floats[0];
        QCOMPARE(QList<int>({dealer.leftTwips, dealer.topTwips, dealer.widthTwips, dealer.heightTwips}),
                 QList<int>({7920, 720, 2880, 720}));
        QVERIFY(dealer.fromX == Floating::From::Page && dealer.fromY == Floating::From::Page);
        QCOMPARE(dealer.insetTwips, (std::array<int, 4>{0, 0, 0, 0}));
        // Placed on the page with room beside it, the lines keep their place.
        QCOMPARE(dealer.wrap, Floating::Wrap::None);
        QVERIFY(!dealer.line.isValid() && !dealer.fill.isValid());

        const Floating& number = t.floats[1];
        QVERIFY(number.fromX == Floating::From::Margin && number.fromY == Floating::From::Paragraph);
        QCOMPARE(QList<int>({number.leftTwips, number.topTwips, number.widthTwips, number.heightTwips}),
                 QList<int>({0, 1, 12240 - 2 * 1440, 0}));
        QCOMPARE(firstParagraph(t.textBoxes[1]).format.align, ParaFormat::Right);
        QCOMPARE(number.wrap, Floating::Wrap::None);

        const Floating& ruled = t.floats[2];
        QCOMPARE(QList<int>({ruled.widthTwips, ruled.heightTwips, ruled.lineTwips}),
                 QList<int>({1440, 1440, 15}));
        QCOMPARE(ruled.line, QColor(255, 0, 0));
        QCOMPARE(ruled.wrap, Floating::Wrap::Around);
        for (const Border& b : firstParagraph(t.textBoxes[2]).format.borders)
            QVERIFY(!b.visible());

        const Floating& table = t.floats[3];
        QVERIFY(table.fromX == Floating::From::Margin && table.fromY == Floating::From::Page);
        // Its rule in from the margin by its distance from the text, its text a cell's margin further.
        QCOMPARE(QList<int>({table.leftTwips, table.topTwips, table.widthTwips}),
                 QList<int>({12240 - 2 * 1440 - 2827 - 180 + 108, 334, 2827}));
        QCOMPARE(t.textBoxes[3].blocks.size(), size_t(1));
        QVERIFY(std::holds_alternative<Table>(t.textBoxes[3].blocks.front()));
    }

    void alternateContent() {
        // Word 2010's text is read from its choice; what the reader does not know, from the fallback.
        const auto choose = [](const QByteArray& needs, const QByteArray& choice,
                               const QByteArray& fallback) {
            return "<mc:AlternateContent><mc:Choice Requires=\"" + needs + "\">" + run(choice) +
                   "</mc:Choice><mc:Fallback>" + run(fallback) + "</mc:Fallback></mc:AlternateContent>";
        };
        const Template t = readBody(paragraph(run("a ") + choose("w14", "new", "old")) +
                                    paragraph(run("b ") + choose("w15", "newer", "older")) +
                                    paragraph(run("c ") + choose("w14 zz", "both", "plain")));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"a new", "b older", "c plain"}));
    }

    void boundContentControls() {
        // As LibreOffice prints them: a plain text control bound to the document's properties or a
        // custom XML part shows the value there, word for word; the store it names is looked in first,
        // then the others. Paths name elements by the namespaces the control maps its prefixes to; a
        // value that is missing or empty, a date, a list or rich text within a line keeps the control's
        // own text. A control around paragraphs gives its value to the first of them only.
        const QByteArray core = "{6C3C8BC8-F283-45AE-878A-BAB7291924A1}";
        const QByteArray own = "{0A1B2C3D-0000-4000-8000-000000000001}";
        const QByteArray other = "{0A1B2C3D-0000-4000-8000-000000000002}";
        const QByteArray coreNs = "xmlns:ns0='http://purl.org/dc/elements/1.1/' "
                                  "xmlns:ns1='http://schemas.openxmlformats.org/package/2006/metadata/"
                                  "core-properties'";
        const QByteArray orderNs = "xmlns:ns0='urn:order'";
        const auto binding = [](const QByteArray& store, const QByteArray& xpath,
                                const QByteArray& mappings) {
            return "<w:dataBinding w:prefixMappings=\"" + mappings + "\" w:xpath=\"" + xpath +
                   "\" w:storeItemID=\"" + store + "\"/>";
        };
        const auto control = [&](const QByteArray& store, const QByteArray& xpath, const QByteArray& mappings,
                                 const QByteArray& shown, const QByteArray& kind = "<w:text/>") {
            return "<w:sdt><w:sdtPr>" + binding(store, xpath, mappings) + "<w:showingPlcHdr/>" + kind +
                   "</w:sdtPr><w:sdtContent>" + run(shown) + "</w:sdtContent></w:sdt>";
        };
        const QByteArray dates = "<w:date><w:dateFormat w:val=\"MMMM d, yyyy\"/></w:date>";
        const QByteArray colours = "<w:dropDownList><w:listItem w:displayText=\"Red\" w:value=\"r\"/>"
                                   "</w:dropDownList>";
        const QByteArray body =
            paragraph(run("a ") + control(core, "/ns1:coreProperties[1]/ns0:creator[1]", coreNs, "[Name]") +
                      run("|") + control(core, "/ns1:coreProperties[1]/ns0:title[1]", coreNs, "[Title]") +
                      run("|") + control(core, "/ns1:coreProperties[1]/ns0:subject[1]", coreNs, "[Subject]") +
                      run("|") +
                      control(core, "/ns1:coreProperties[1]/ns0:creator[1]", orderNs, "[Mapped]")) +
            paragraph(run("b ") + control(own, "/ns0:order[1]/ns0:name[2]", orderNs, "x") + run("|") +
                      control(own, "/ns0:order[1]/ns0:empty[1]", orderNs, "Empty") + run("|") +
                      control(own, "/ns0:order[1]/ns0:missing[1]", orderNs, "Missing") + run("|") +
                      control(own, "/order[1]/name[1]", {}, "Unprefixed") + run("|") +
                      control(own, "/ns0:order[1]/@id", orderNs, "Attribute")) +
            paragraph(run("c ") + control(own, "/ns0:order[1]/ns0:colour[1]", orderNs, "Blue", colours) +
                      run("|") + control(own, "/ns0:order[1]/ns0:due[1]", orderNs, "soon", dates) + run("|") +
                      control(own, "/ns0:order[1]/ns0:name[1]", orderNs, "Rich", {})) +
            paragraph(run("d ") + control(own, "/ns0:order[1]/ns0:shared[1]", orderNs, "Shared") + run("|") +
                      control("{FFFFFFFF-0000-4000-8000-000000000009}", "/ns0:order[1]/ns0:shared[1]",
                              orderNs, "Unknown") +
                      run("|") + control(core, "//Phone", {}, "Phone")) +
            "<w:sdt><w:sdtPr>" + binding(own, "/ns0:order[1]/ns0:name[1]", orderNs) +
            "</w:sdtPr><w:sdtContent>" + paragraph(run("Block ") + run("text", "<w:b/>")) +
            paragraph(run("Second")) + "</w:sdtContent></w:sdt>";
        Parts parts = package(document(body), {{"customXml", "../customXml/item2.xml", QByteArray()},
                                               {"customXml", "../customXml/item1.xml", QByteArray()},
                                               {"customXml", "../customXml/item3.xml", QByteArray()}});
        partNamed(parts, "_rels/.rels") = relationships(
            {{"officeDocument", "word/document.xml"}, {"metadata/core-properties", "docProps/core.xml"}});
        parts.emplace_back(
            "docProps/core.xml",
            "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/"
            "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:creator>Ann "
            "<b>Smith</b></dc:creator><dc:title></dc:title><dc:subject>  </dc:subject></cp:coreProperties>");
        const auto store = [&](int n, const QByteArray& id, const QByteArray& xml) {
            const QByteArray item = "customXml/item" + QByteArray::number(n);
            parts.emplace_back(item + ".xml", xml);
            parts.emplace_back(
                "customXml/_rels/item" + QByteArray::number(n) + ".xml.rels",
                relationships({{"customXmlProps", "itemProps" + QByteArray::number(n) + ".xml"}}));
            parts.emplace_back(
                "customXml/itemProps" + QByteArray::number(n) + ".xml",
                "<ds:datastoreItem ds:itemID=\"" + id +
                    "\" xmlns:ds=\"http://schemas.openxmlformats.org/officeDocument/2006/customXml\"/>");
        };
        store(1, own.toLower(),
              "<order xmlns=\"urn:order\" "
              "id=\"A-7\"><name>First</name><name>Ann\nSmith</name><colour>r</colour>"
              "<due>2024-05-01T00:00:00Z</due><empty/><shared></shared></order>");
        store(2, other, "<order xmlns=\"urn:order\"><shared>From the other</shared></order>");
        store(3, "{0A1B2C3D-0000-4000-8000-000000000003}", "<Props><Phone>555 0100</Phone></Props>");
        const Template t = read(parts);
        QCOMPARE(
            paragraphs(t, t.body),
            (QStringList{"a Ann Smith|[Title]|  |[Mapped]", "b Ann/Smith|Empty|Missing|Unprefixed|A-7",
                         "c Blue|soon|Rich", "d From the other|From the other|555 0100", "First", "Second"}));
    }

    void plainTextControlsTakeTheParagraphsStyle() {
        // LibreOffice prints a plain text control's text, or the value it is bound to, in what the
        // paragraph's style gives, whatever its runs, their character styles or the control ask; a rich
        // text control's runs keep theirs. Around paragraphs or a table's cell, the control is its first
        // paragraph's.
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"character\" w:styleId=\"PlaceholderText\"><w:name w:val=\"Placeholder "
            "Text\"/><w:rPr><w:color w:val=\"808080\"/></w:rPr></w:style><w:style w:type=\"paragraph\" "
            "w:styleId=\"Big\"><w:name w:val=\"Big\"/><w:rPr><w:sz "
            "w:val=\"32\"/></w:rPr></w:style></w:styles>";
        const auto control = [](const QByteArray& kind, const QByteArray& content) {
            return "<w:sdt><w:sdtPr><w:rPr><w:color w:val=\"FF0000\"/></w:rPr><w:showingPlcHdr/>" + kind +
                   "</w:sdtPr><w:sdtContent>" + content + "</w:sdtContent></w:sdt>";
        };
        const QByteArray shown =
            run("shown", "<w:rStyle w:val=\"PlaceholderText\"/><w:b/><w:sz w:val=\"18\"/>");
        const QByteArray body =
            paragraph(run("lead ", "<w:i/>") + control("<w:text/>", shown) + run(" rich ") +
                          control({}, shown),
                      "<w:pStyle w:val=\"Big\"/><w:rPr><w:u w:val=\"single\"/></w:rPr>") +
            control("<w:text/>", paragraph(shown) + paragraph(shown)) +
            "<w:tbl><w:tblGrid><w:gridCol w:w=\"3000\"/><w:gridCol w:w=\"3000\"/></w:tblGrid><w:tr><w:tc>" +
            paragraph(shown) + "</w:tc>" + control("<w:text/>", "<w:tc>" + paragraph(shown) + "</w:tc>") +
            "</w:tr></w:tbl>";
        const Template t = read(package(document(body), {{"styles", "styles.xml", styles}}));
        const auto formatOf = [&](size_t block, size_t run) {
            return t.formats[size_t(std::get<Paragraph>(t.body.blocks[block]).runs[run].format)];
        };
        QCOMPARE(std::get<Paragraph>(t.body.blocks[0]).runs.size(), size_t(3));
        QCOMPARE(paragraphs(t, t.body), (QStringList{"lead shown rich shown", "shown", "shown"}));
        // "lead ", then "shown rich " in the paragraph's style, then the rich control's "shown".
        const CharFormat lead = formatOf(0, 0), plain = formatOf(0, 1), rich = formatOf(0, 2);
        QVERIFY(lead.italic);
        QVERIFY(!plain.italic && !plain.bold && !plain.underline && !plain.color.isValid());
        QCOMPARE(plain.halfPoints, 32);
        QVERIFY(rich.bold);
        QCOMPARE(rich.halfPoints, 18);
        QCOMPARE(rich.color, QColor(0x80, 0x80, 0x80));
        QVERIFY(!formatOf(1, 0).bold && !formatOf(1, 0).color.isValid());
        QVERIFY(formatOf(2, 0).bold);
        // A control around a table's cell is one around the cell's paragraphs.
        const Row& row = std::get<Table>(t.body.blocks[3]).rows.at(0);
        const auto cellFormat = [&](size_t c) {
            return t.formats[size_t(row.cells.at(c).paragraphs.at(0).runs.at(0).format)];
        };
        QVERIFY(cellFormat(0).bold);
        QVERIFY(!cellFormat(1).bold && !cellFormat(1).color.isValid());
    }

    void legacyFormFields() {
        // A drop-down shows the entry chosen, else its default, else its first; one without entries,
        // nothing; a text field, its stored result; a check box, its box.
        const auto dropDown = [](const QByteArray& list) {
            return "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"D\"/><w:ddList>" +
                   list +
                   "</w:ddList></w:ffData></w:fldChar></w:r><w:r><w:instrText xml:space=\"preserve\"> "
                   "FORMDROPDOWN </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
        };
        // A check box shows its box, ticked as it was left, else as its default; Word stores no result.
        const auto checkBox = [](const QByteArray& props) {
            return "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:checkBox>" + props +
                   "</w:checkBox></w:ffData></w:fldChar></w:r><w:r><w:instrText> FORMCHECKBOX </w:instrText>"
                   "</w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
        };
        const QByteArray entries = "<w:listEntry w:val=\"Red\"/><w:listEntry w:val=\"Green\"/><w:listEntry "
                                   "w:val=\"Blue\"/>";
        const Template t = readBody(
            paragraph(run("a ") + dropDown("<w:result w:val=\"2\"/><w:default w:val=\"1\"/>" + entries)) +
            paragraph(run("b ") + dropDown("<w:default w:val=\"1\"/>" + entries)) +
            paragraph(run("c ") + dropDown(entries)) + paragraph(run("d ") + dropDown({})) +
            paragraph(run("e ") + dropDown("<w:result w:val=\"7\"/>" + entries)) +
            paragraph(
                run("f ") +
                "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:textInput/></w:ffData></w:fldChar>"
                "</w:r><w:r><w:instrText> FORMTEXT </w:instrText></w:r><w:r><w:fldChar "
                "w:fldCharType=\"separate\"/></w:r>" +
                run("typed") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>") +
            paragraph(checkBox("<w:sizeAuto/><w:default w:val=\"0\"/>") + run("g") +
                      checkBox("<w:size w:val=\"30\"/><w:default/>") +
                      checkBox("<w:default w:val=\"1\"/><w:checked w:val=\"0\"/>") +
                      checkBox("<w:default w:val=\"0\"/><w:checked/>")));
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"a Blue", "b Green", "c Red", "d ", "e ", "f typed", "g"}));
        // A box of a size of its own is that size; one of the automatic size, the text's.
        const std::vector<Run>& boxes = std::get<Paragraph>(t.body.blocks.back()).runs;
        QList<int> ticked;
        for (const Run& r : boxes)
            ticked << (r.kind == Run::CheckBox ? r.index : -1);
        QCOMPARE(ticked, QList<int>({0, -1, 1, 0, 1}));
        QCOMPARE(t.formats[size_t(boxes.at(0).format)].halfPoints,
                 t.formats[size_t(boxes.at(1).format)].halfPoints);
        QCOMPARE(t.formats[size_t(boxes.at(2).format)].halfPoints, 30);
    }

    void trackedChanges() {
        // Shown with their changes marked: insertions underlined and deletions struck through, each in
        // its author's colour over the run's own; with the settings hiding them, the text as changed.
        const QByteArray red = "<w:r><w:rPr><w:color w:val=\"FF0000\"/></w:rPr><w:t xml:space=\"preserve\"> "
                               "added</w:t></w:r>";
        const QByteArray body = paragraph(
            run("Kept") + "<w:ins w:id=\"1\" w:author=\"a\">" + red +
            "</w:ins><w:del w:id=\"2\" w:author=\"b\"><w:r><w:delText "
            "xml:space=\"preserve\"> gone</w:delText></w:r></w:del><w:ins w:id=\"3\" w:author=\"a\">" +
            run(" more") + "</w:ins>" + run("."));
        const Template shown = readBody(body);
        QCOMPARE(paragraphs(shown, shown.body), QStringList{"Kept added gone more."});
        const std::vector<Run>& runs = firstParagraph(shown.body).runs;
        QCOMPARE(runs.size(), size_t(5));
        const auto look = [&](size_t i) { return shown.formats[size_t(runs[i].format)]; };
        QVERIFY(!look(0).strike && !look(0).underline && !look(0).color.isValid());
        QVERIFY(look(1).underline && !look(1).strike);
        QCOMPARE(look(1).color, QColor(198, 146, 0));
        QCOMPARE(runs[2].text, QStringLiteral(" gone"));
        QVERIFY(look(2).strike && !look(2).underline);
        QCOMPARE(look(2).color, QColor(6, 70, 162));
        QCOMPARE(look(3).color, look(1).color);
        QVERIFY(!look(4).strike && !look(4).underline && !look(4).color.isValid());

        const Template hidden = read(package(
            document(body), {{"settings", "settings.xml",
                              "<w:settings " + kW + "><w:revisionView w:insDel=\"0\"/></w:settings>"}}));
        QCOMPARE(paragraphs(hidden, hidden.body), QStringList{"Kept added more."});
        const std::vector<Run>& plain = firstParagraph(hidden.body).runs;
        QVERIFY(std::none_of(plain.begin(), plain.end(),
                             [&](const Run& r) { return hidden.formats[size_t(r.format)].underline; }));
    }

    void headersAndSections() {
        // A first-page header apart from the rest, even pages' headers, margins and header distances.
        const QByteArray hdr = "<?xml version=\"1.0\"?><w:hdr " + kW + ">";
        const Template t = read(package(
            document(
                paragraph(run("Body")),
                section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/><w:headerReference "
                        "w:type=\"first\" r:id=\"rId2\"/><w:footerReference w:type=\"even\" r:id=\"rId3\"/>"
                        "<w:titlePg/>")
                    .replace("w:header=\"720\"", "w:header=\"500\"")
                    .replace("w:left=\"1440\"", "w:left=\"1800\"")),
            {{"header", "header1.xml", hdr + paragraph(run("Every page")) + "</w:hdr>"},
             {"header", "header2.xml", hdr + paragraph(run("First page")) + "</w:hdr>"},
             {"footer", "footer1.xml",
              "<w:ftr " + kW + ">" + paragraph(run("Page ") + simpleField("PAGE", "1")) + "</w:ftr>"},
             {"settings", "settings.xml",
              "<w:settings " + kW +
                  "><w:evenAndOddHeaders/><w:defaultTabStop w:val=\"360\"/></w:settings>"}}));
        QVERIFY(t.titlePage);
        QVERIFY(t.evenPages);
        QCOMPARE(paragraphs(t, t.header), QStringList{"Every page"});
        QCOMPARE(paragraphs(t, t.firstHeader), QStringList{"First page"});
        QCOMPARE(paragraphs(t, t.evenFooter), QStringList{"Page 1"});
        // An even footer with no default one leaves an empty footer on the other pages.
        QCOMPARE(paragraphs(t, t.footer), QStringList{QString()});
        QVERIFY(t.evenHeader.empty() && t.firstFooter.empty());
        QCOMPARE(t.page.headerTwips, 500);
        QCOMPARE(t.page.leftTwips, 1800);
        QCOMPARE(t.page.defaultTabTwips, 360);
        QCOMPARE(paragraphs(t, t.body), QStringList{"Body"});
    }

    void bandsWordLeavesToOtherPages() {
        // A section naming only an even header: the other pages print no header, but an empty one in
        // the "header" style still takes its room above the body.
        const QByteArray hdr = "<?xml version=\"1.0\"?><w:hdr " + kW + ">";
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"paragraph\" w:styleId=\"Kopf\"><w:name w:val=\"header\"/>"
            "<w:rPr><w:sz w:val=\"96\"/></w:rPr></w:style></w:styles>";
        const auto printed = [&](const QByteArray& refs) {
            auto t = std::make_shared<const Template>(
                read(package(document(paragraph(run("Body")), section(refs)),
                             {{"header", "header1.xml", hdr + paragraph(run("Even page")) + "</w:hdr>"},
                              {"styles", "styles.xml", styles}})));
            Merger merger(t, nullptr);
            return std::pair{t, merger.next()};
        };
        const auto [bare, bareCopy] = printed({});
        const auto [even, evenCopy] = printed("<w:headerReference w:type=\"even\" r:id=\"rId1\"/>");
        const QTextDocument* band = bandOn(evenCopy, 0, true);
        QVERIFY(band && band->toPlainText().trimmed().isEmpty());
        // 48pt letters: the body starts below the header distance and a 48pt line, well past the margin.
        const double margin = bodyTopOn(bareCopy, 0, bare->page);
        const double top = bodyTopOn(evenCopy, 0, even->page);
        QVERIFY2(top > margin + twipsToLayout(240), qPrintable(QString::number(top - margin)));
        // A first-page header without titlePg prints nowhere and leaves no band.
        const auto [first, firstCopy] = printed("<w:headerReference w:type=\"first\" r:id=\"rId1\"/>");
        QCOMPARE(bodyTopOn(firstCopy, 0, first->page), margin);
    }

    void sectionRunningOnHasNoTitlePageOfItsOwn() {
        // The second section runs on from page 1 and asks for a first page of its own: its first page is
        // page 1, so page 2 keeps the default header, as Word and LibreOffice print it.
        const QByteArray hdr = "<?xml version=\"1.0\"?><w:hdr " + kW + ">";
        QByteArray body =
            paragraph(run("Opening"), section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>"
                                              "<w:headerReference w:type=\"first\" r:id=\"rId2\"/>"));
        for (int i = 0; i < 80; ++i)
            body += paragraph(run("Line " + QByteArray::number(i)));
        const auto t = std::make_shared<const Template>(
            read(package(document(body, section("<w:type w:val=\"continuous\"/><w:titlePg/>")),
                         {{"header", "header1.xml", hdr + paragraph(run("Every page")) + "</w:hdr>"},
                          {"header", "header2.xml",
                           hdr + paragraph(run("Title page")) +
                               QByteArray(paragraph(run("Tall"))).repeated(8) + "</w:hdr>"}})));
        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QVERIFY(copy.pageCount() >= 2);
        for (int page : {0, 1}) {
            const QTextDocument* band = bandOn(copy, page, true);
            QVERIFY(band);
            QCOMPARE(band->toPlainText().trimmed(), QStringLiteral("Every page"));
        }
        // Nor does its tall first-page header push the text of any page down.
        QCOMPARE(bodyTopOn(copy, 1, t->page), bodyTopOn(copy, 0, t->page));
    }

    void laterSections() {
        // Three sections: the second names only its default header and has a first page of its own,
        // the third runs on from the second, wrapped in a content control, and names nothing.
        const QByteArray hdr = "<?xml version=\"1.0\"?><w:hdr " + kW + ">";
        const QByteArray first =
            section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/><w:footerReference "
                    "w:type=\"default\" r:id=\"rId2\"/>");
        const QByteArray second =
            section("<w:headerReference w:type=\"default\" r:id=\"rId3\"/><w:headerReference "
                    "w:type=\"first\" r:id=\"rId4\"/><w:titlePg/>")
                .replace("w:left=\"1440\"", "w:left=\"2000\"");
        const QByteArray third = section("<w:type w:val=\"continuous\"/>");
        const auto shared = std::make_shared<const Template>(read(package(
            document(paragraph(run("One"), first) + paragraph(run("Two")) + "<w:sdt><w:sdtContent>" +
                         paragraph(run("Three"), second) + "</w:sdtContent></w:sdt>" + paragraph(run("Four")),
                     third),
            {{"header", "header1.xml", hdr + paragraph(run("Head one")) + "</w:hdr>"},
             {"footer", "footer1.xml", "<w:ftr " + kW + ">" + paragraph(run("Foot one")) + "</w:ftr>"},
             {"header", "header2.xml", hdr + paragraph(run("Head two")) + "</w:hdr>"},
             {"header", "header3.xml", hdr + paragraph(run("Title two")) + "</w:hdr>"}})));
        const Template& t = *shared;
        QCOMPARE(paragraphs(t, t.body), (QStringList{"One", "Two", "Three", "Four"}));
        QCOMPARE(paragraphs(t, t.header), QStringList{"Head one"});
        QVERIFY(!t.titlePage);
        QCOMPARE(t.sections.size(), size_t(2));
        const Section& two = t.sections[0];
        QCOMPARE(two.firstBlock, 1);
        QVERIFY(two.newPage);
        QVERIFY(two.titlePage);
        QCOMPARE(two.page.leftTwips, 2000);
        QCOMPARE(paragraphs(t, two.header), QStringList{"Head two"});
        QCOMPARE(paragraphs(t, two.firstHeader), QStringList{"Title two"});
        QCOMPARE(paragraphs(t, two.footer), QStringList{"Foot one"});
        QVERIFY(std::get<Paragraph>(t.body.blocks[1]).format.pageBreakBefore);
        const Section& three = t.sections[1];
        QCOMPARE(three.firstBlock, 3);
        QVERIFY(!three.newPage);
        QVERIFY(!three.titlePage);
        QCOMPARE(paragraphs(t, three.header), QStringList{"Head two"});
        QCOMPARE(paragraphs(t, three.footer), QStringList{"Foot one"});
        QVERIFY(!std::get<Paragraph>(t.body.blocks[3]).format.pageBreakBefore);

        // Printed: the second section starts page 2 under its own first-page header, and no first-page
        // footer, as none came before it; the third runs on below it.
        Merger merger(shared, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pageCount(), 2);
        const auto band = [&](int page, bool header) {
            const QTextDocument* d = bandOn(copy, page, header);
            return d ? d->toPlainText().trimmed() : QString();
        };
        QCOMPARE(band(0, true), QStringLiteral("Head one"));
        QCOMPARE(band(1, true), QStringLiteral("Title two"));
        QCOMPARE(band(0, false), QStringLiteral("Foot one"));
        QCOMPARE(band(1, false), QString());
    }

    void packages() {
        // The main part is whatever the package's relationships name; a template alike.
        Parts parts = package(document(paragraph(run("Elsewhere"))), {}, "content/main.xml");
        std::erase_if(parts, [](const auto& p) { return p.first == "word/_rels/document.xml.rels"; });
        const Template t = read(parts);
        QCOMPARE(paragraphs(t, t.body), QStringList{"Elsewhere"});
        // The package's relationships alone name it, or the content types alone.
        Parts relsOnly = parts;
        std::erase_if(relsOnly, [](const auto& p) { return p.first == "[Content_Types].xml"; });
        QCOMPARE(paragraphs(t, read(relsOnly).body), QStringList{"Elsewhere"});
        Parts typesOnly = parts;
        std::erase_if(typesOnly, [](const auto& p) { return p.first == "_rels/.rels"; });
        QCOMPARE(paragraphs(t, read(typesOnly).body), QStringList{"Elsewhere"});
        QCOMPARE(t.fileName, QStringLiteral("t.dotx"));
        // readTemplateFile tells a zip from RTF by its content, whatever its name.
        QTemporaryDir dir;
        const QString path = dir.filePath("Letter.dot");
        QVERIFY(samples::writeFile(path, zipParts(package(document(paragraph(run("Zipped")))))));
        const Template fromFile = readTemplateFile(path);
        QCOMPARE(paragraphs(fromFile, fromFile.body), QStringList{"Zipped"});
    }

    void wordBinaryConverted() {
        // A Word 97 document goes through LibreOffice, where it is installed, and is read as it converts.
        QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (office.isEmpty())
            QSKIP("LibreOffice (soffice) is needed to make and convert a Word 97 document");
        QTemporaryDir dir;
        const QString source = dir.filePath("letter.docx");
        QVERIFY(samples::writeFile(
            source, zipParts(package(document(
                        paragraph(run("Dear ") + simpleField("MERGEFIELD Cust_Name", "«Cust_Name»")) +
                        paragraph(run("Second paragraph")))))));
        QProcess convert;
        convert.start(office,
                      {"--headless",
                       "-env:UserInstallation=" + QUrl::fromLocalFile(dir.filePath("profile")).toString(),
                       "--convert-to", "doc", "--outdir", dir.path(), source});
        QVERIFY(convert.waitForFinished(120000));
        const QString doc = dir.filePath("letter.doc");
        QFile made(doc);
        QVERIFY(made.open(QIODevice::ReadOnly));
        QVERIFY(made.read(8) == QByteArray::fromHex("D0CF11E0A1B11AE1"));
        made.close();
        const Template t = readTemplateFile(doc, ConversionWatch{{}, 120});
        QCOMPARE(paragraphs(t, t.body), (QStringList{"Dear «Cust_Name»", "Second paragraph"}));
        QCOMPARE(t.fields.size(), size_t(1));
        QCOMPARE(t.fields[0].name, QStringLiteral("Cust_Name"));
    }

    void hostileFiles() {
        // Each fails with the file named and the cause, without a crash.
        const QByteArray doc = document(paragraph(run("x")));
        // A part that inflates past its limit, and one whose container lies about its size.
        QByteArray huge(70 << 20, ' ');
        huge.prepend("<?xml version=\"1.0\"?>");
        Parts bomb = package(doc);
        bomb.emplace_back("word/styles.xml", huge);
        partNamed(bomb, "word/_rels/document.xml.rels") = relationships({{"styles", "styles.xml"}});
        const QByteArray zipped = zipParts(bomb);
        QVERIFY(zipped.size() < (1 << 20));
        QString why = description(zipped);
        QVERIFY2(why.contains("\"hostile.docx\"") && why.contains("word/styles.xml") && why.contains("64 MB"),
                 qPrintable(why));
        // The declared size patched to 100 bytes in both headers: inflating stops at the limit anyway.
        QByteArray lying = zipped;
        const qsizetype local = lying.indexOf("word/styles.xml") - 30;
        const qsizetype central = lying.lastIndexOf("word/styles.xml") - 46;
        QVERIFY(local > 0 && central > local);
        for (qsizetype at : {local + 22, central + 24}) {
            lying[at] = 100;
            lying[at + 1] = lying[at + 2] = lying[at + 3] = 0;
        }
        why = description(lying);
        QVERIFY2(why.contains("\"hostile.docx\"") && why.contains("word/styles.xml"), qPrintable(why));

        // Many parts that each stay under the limit but not together.
        Parts many = package(doc);
        QByteArray big(52 << 20, ' ');
        big.prepend("<x>").append("</x>");
        std::vector<std::pair<QByteArray, QByteArray>> rels;
        for (int i = 0; i < 5; ++i) {
            many.emplace_back("word/header" + QByteArray::number(i) + ".xml", big);
            rels.emplace_back("header", "header" + QByteArray::number(i) + ".xml");
        }
        QByteArray refs;
        for (int i = 0; i < 5; ++i)
            refs += "<w:headerReference w:type=\"default\" r:id=\"rId" + QByteArray::number(i + 1) + "\"/>";
        partNamed(many, "word/document.xml") = document(paragraph(run("x")), section(refs));
        partNamed(many, "word/_rels/document.xml.rels") = relationships(rels);
        why = description(zipParts(many));
        QVERIFY2(why.contains("256 MB together"), qPrintable(why));

        // Parts missing, outside the package, or the part itself.
        Parts noMain = package(doc);
        noMain.erase(noMain.begin() + 2);
        why = description(zipParts(noMain));
        QVERIFY2(why.contains("word/document.xml") && why.contains("missing"), qPrintable(why));
        const auto headerRef =
            document(paragraph(run("x")), section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>"));
        why = description(zipParts(package(headerRef, {{"header", "../../etc/passwd", {}}})));
        QVERIFY2(why.contains("outside the document"), qPrintable(why));
        why = description(zipParts(package(headerRef, {{"header", "document.xml", {}}})));
        QVERIFY2(why.contains("itself"), qPrintable(why));
        why = description(zipParts(package(headerRef, {{"header", "nowhere.xml", {}}})));
        QVERIFY2(why.contains("word/nowhere.xml") && why.contains("missing"), qPrintable(why));
        why = description(zipParts(package(headerRef)));
        QVERIFY2(why.contains("\"rId1\"") && why.contains("missing"), qPrintable(why));

        // XML nested deeper than any document, and entities declared to multiply.
        QByteArray deep = "<w:document " + kW + "><w:body>";
        for (int i = 0; i < 100000; ++i)
            deep += "<w:customXml>";
        why = description(zipParts(package(deep)));
        QVERIFY2(why.contains("nests XML elements more than"), qPrintable(why));
        const QByteArray laughs =
            "<?xml version=\"1.0\"?><!DOCTYPE w:document [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
            "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
            "<w:document " +
            kW + "><w:body>" + paragraph(run("&c;&c;&c;&c;")) + "</w:body></w:document>";
        why = description(zipParts(package(laughs)));
        QVERIFY2(why.contains("document type"), qPrintable(why));

        // Not a package at all, or not a Word one; damaged.
        why = description(zipParts({{"mimetype", "application/vnd.oasis.opendocument.text"}}));
        QVERIFY2(why.contains("not a Word document"), qPrintable(why));
        why = description(zipParts(package(doc)).left(200));
        QVERIFY2(why.contains("\"hostile.docx\""), qPrintable(why));
        why = description(zipParts(package("<w:document " + kW + "><w:body><w:p>")));
        QVERIFY2(why.contains("not well-formed"), qPrintable(why));

        // A picture too large to decode is left out; the rest of the letter stays.
        const QByteArray pic =
            "<w:r><w:drawing><wp:inline><wp:extent cx=\"914400\" cy=\"914400\"/><a:graphic><a:graphicData>"
            "<pic:pic><pic:blipFill><a:blip r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData>"
            "</a:graphic></wp:inline></w:drawing></w:r>";
        const Template t = readBody(paragraph(pic + run("text")),
                                    {{"image", "media/huge.png", png(9000, 6000, QImage::Format_Mono)}});
        QCOMPARE(paragraphs(t, t.body), QStringList{"text"});
        QVERIFY(t.pictures.empty());
        // A metafile is kept for its own drawing, undecoded.
        QByteArray emf(88, '\0');
        emf[0] = 1;
        emf.replace(40, 4, " EMF");
        const Template m = readBody(paragraph(pic), {{"image", "media/logo.emf", emf}});
        QCOMPARE(m.pictures.size(), size_t(1));
        QVERIFY(m.pictures[0].enhanced && m.pictures[0].image.isNull() && m.pictures[0].metafile == emf);
    }
};

QTEST_MAIN(TestDocxReader)
#include "tst_docxreader.moc"
