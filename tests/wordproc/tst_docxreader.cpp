// Word 2007+ templates read into the template model: fields, headers, tables, pictures, styles,
// and files made to hurt. The documents are built here, part by part.
#include "DocxSamples.h"
#include "Samples.h"
#include "wordproc/DataSource.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Metafile.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QProcess>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>
#include <QtTest>

using namespace wordproc;
using namespace docxsamples;
using samples::failureNumber;

namespace {

Template read(const Parts& parts, const QString& name = QStringLiteral("t.dotx")) {
    return readDocx(zipParts(parts), name);
}

Template readBody(const QByteArray& body, const std::vector<Related>& related = {}) {
    return read(package(document(body), related));
}

// A story's text: paragraphs on lines, tabs as \t, fields as their stored result.
QString runsText(const Template& t, const std::vector<Run>& runs) {
    QString out;
    for (const Run& r : runs) {
        if (r.kind == Run::Text)
            out += r.text;
        else if (r.kind == Run::Tab)
            out += QLatin1Char('\t');
        else if (r.kind == Run::LineBreak)
            out += QLatin1Char('/');
        else if (r.kind == Run::Field)
            out += runsText(t, t.fields[size_t(r.index)].result);
    }
    return out;
}

QStringList paragraphs(const Template& t, const Story& s) {
    QStringList out;
    for (const Block& b : s.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            out << runsText(t, p->runs);
    return out;
}

const Paragraph& firstParagraph(const Story& s) {
    return std::get<Paragraph>(s.blocks.front());
}

QByteArray& partNamed(Parts& parts, const QByteArray& name) {
    for (auto& [n, data] : parts)
        if (n == name)
            return data;
    parts.emplace_back(name, QByteArray());
    return parts.back().second;
}

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
        QVERIFY(t.fields[1].mergeFormat);
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

    void nestedAndOtherFields() {
        // A field Word evaluates and this program does not shows its stored result, nested fields
        // included; a field without its end keeps its text; PAGE and NEXT are fields of their own.
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
        QCOMPARE(kinds, (std::vector<Field::Kind>{Field::Merge, Field::Page, Field::Next}));
        QCOMPARE(t.fields[0].name, QStringLiteral("Zip"));
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
        QCOMPARE(QList<int>({table.leftTwips, table.topTwips, table.widthTwips}),
                 QList<int>({12240 - 2 * 1440 - 2827, 334, 2827}));
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
        // A control bound to the document's properties or to a custom XML part shows the value there, as
        // Word refreshes it; a rich text control, an empty value or a path that leads nowhere keeps the
        // control's own text.
        const auto control = [](const QByteArray& kind, const QByteArray& store, const QByteArray& xpath,
                                const QByteArray& shown) {
            return "<w:sdt><w:sdtPr><w:dataBinding w:prefixMappings=\"xmlns:ns0='urn:x'\" w:xpath=\"" +
                   xpath + "\" w:storeItemID=\"" + store + "\"/>" + kind + "</w:sdtPr><w:sdtContent>" +
                   run(shown) + "</w:sdtContent></w:sdt>";
        };
        const QByteArray core = "{6C3C8BC8-F283-45AE-878A-BAB7291924A1}";
        const QByteArray own = "{0A1B2C3D-0000-4000-8000-000000000001}";
        const QByteArray dates = "<w:date><w:dateFormat w:val=\"MMMM d, yyyy\"/></w:date>";
        const QByteArray colours = "<w:dropDownList><w:listItem w:displayText=\"Red\" w:value=\"r\"/>"
                                   "<w:listItem w:displayText=\"Blue\" w:value=\"b\"/></w:dropDownList>";
        const QByteArray body =
            paragraph(run("a ") + control("<w:text/>", core, "/ns1:coreProperties[1]/ns0:title[1]", "Old")) +
            paragraph(run("b ") +
                      control("<w:text w:multiLine=\"1\"/>", own, "/ns0:order[1]/ns0:name[2]", "x")) +
            paragraph(run("c ") + control(colours, own, "/order[1]/colour[1]", "Blue") + run(" ") +
                      control(dates, own, "/order[1]/due[1]", "soon")) +
            paragraph(
                run("d ") + control({}, own, "/order[1]/name[1]", "Rich") +
                control("<w:text/>", own, "/order[1]/empty[1]", "Empty") +
                control("<w:text/>", own, "/order[1]/name[3]", "Nowhere") +
                control("<w:text/>", "{FFFFFFFF-0000-4000-8000-000000000009}", "/order[1]/name[1]", "None")) +
            "<w:sdt><w:sdtPr><w:dataBinding w:xpath=\"/order[1]/name[1]\" w:storeItemID=\"" + own +
            "\"/><w:text/></w:sdtPr><w:sdtContent>" + paragraph(run("Block ") + run("text", "<w:b/>")) +
            "</w:sdtContent></w:sdt>";
        Parts parts = package(document(body), {{"customXml", "../customXml/item1.xml", QByteArray()}});
        partNamed(parts, "_rels/.rels") = relationships(
            {{"officeDocument", "word/document.xml"}, {"metadata/core-properties", "docProps/core.xml"}});
        parts.emplace_back("docProps/core.xml",
                           "<cp:coreProperties xmlns:cp=\"urn:cp\" xmlns:dc=\"urn:dc\"><dc:title>Quarterly "
                           "<b>offer</b></dc:title></cp:coreProperties>");
        parts.emplace_back(
            "customXml/item1.xml",
            "<order xmlns=\"urn:x\"><name>First</name><name>Ann\nSmith</name><colour>r</colour>"
            "<due>2024-05-01T00:00:00Z</due><empty> </empty></order>");
        parts.emplace_back("customXml/_rels/item1.xml.rels",
                           relationships({{"customXmlProps", "itemProps1.xml"}}));
        parts.emplace_back(
            "customXml/itemProps1.xml",
            "<ds:datastoreItem ds:itemID=\"" + own.toLower() +
                "\" xmlns:ds=\"http://schemas.openxmlformats.org/officeDocument/2006/customXml\"/>");
        const Template t = read(parts);
        QCOMPARE(paragraphs(t, t.body), (QStringList{"a Quarterly offer", "b Ann/Smith", "c Red May 1, 2024",
                                                     "d RichEmptyNowhereNone", "First"}));
        // The block's value takes the format of the control's first text.
        const Paragraph& block = std::get<Paragraph>(t.body.blocks.back());
        QCOMPARE(block.runs.size(), size_t(1));
        QVERIFY(!t.formats[size_t(block.runs.front().format)].bold);
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
        QVERIFY(t.footer.empty() && t.evenHeader.empty() && t.firstFooter.empty());
        QCOMPARE(t.page.headerTwips, 500);
        QCOMPARE(t.page.leftTwips, 1800);
        QCOMPARE(t.page.defaultTabTwips, 360);
        QCOMPARE(paragraphs(t, t.body), QStringList{"Body"});
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

    void tables() {
        // Grid widths and spans make the cells' edges; a cell merged down keeps its text once and the
        // text left in the cell it covers is dropped; the
        // table's borders reach the cells; margins, heights, header rows and alignment come along.
        const QByteArray tbl =
            "<w:tbl><w:tblPr><w:tblInd w:w=\"200\" w:type=\"dxa\"/><w:tblBorders><w:top w:val=\"single\" "
            "w:sz=\"8\"/><w:insideH w:val=\"double\" w:sz=\"4\"/><w:insideV w:val=\"dotted\" "
            "w:sz=\"4\"/></w:tblBorders><w:tblCellMar><w:left w:w=\"100\" w:type=\"dxa\"/><w:right "
            "w:w=\"80\" "
            "w:type=\"dxa\"/></w:tblCellMar></w:tblPr><w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol "
            "w:w=\"3000\"/><w:gridCol w:w=\"1000\"/></w:tblGrid>"
            "<w:tr><w:trPr><w:tblHeader/><w:cantSplit/><w:trHeight w:val=\"400\" w:hRule=\"exact\"/></w:trPr>"
            "<w:tc><w:tcPr><w:vMerge w:val=\"restart\"/><w:vAlign w:val=\"center\"/></w:tcPr>" +
            paragraph(run("Merged")) +
            "</w:tc><w:tc><w:tcPr><w:gridSpan w:val=\"2\"/><w:shd w:val=\"clear\" "
            "w:fill=\"FF0000\"/></w:tcPr>" +
            paragraph(run("Wide")) + "</w:tc></w:tr><w:tr><w:tc><w:tcPr><w:vMerge/></w:tcPr>" +
            paragraph(run("Covered")) + paragraph(run("Covered too")) +
            "</w:tc><w:tc><w:tcPr><w:tcMar><w:top w:w=\"50\" w:type=\"dxa\"/></w:tcMar></w:tcPr>" +
            paragraph(run("B")) + "</w:tc><w:tc>" + paragraph(run("C")) + "</w:tc></w:tr></w:tbl>";
        const Template t = read(package(document(tbl + paragraph("")),
                                        {{"settings", "settings.xml",
                                          "<w:settings " + kW +
                                              "><w:compat><w:compatSetting w:name=\"compatibilityMode\" "
                                              "w:uri=\"x\" w:val=\"15\"/></w:compat></w:settings>"}}));
        std::vector<const Table*> tables;
        for (const Block& b : t.body.blocks)
            if (const Table* table = std::get_if<Table>(&b))
                tables.push_back(table);
        // Two cells, then three: one table still, its rows cutting the grid differently.
        QCOMPARE(tables.size(), size_t(1));
        QCOMPARE(tables[0]->rows.size(), size_t(2));
        const Row& head = tables[0]->rows.at(0);
        const Row& second = tables[0]->rows.at(1);
        QVERIFY(head.header);
        QVERIFY(head.keepTogether);
        QVERIFY(!second.keepTogether);
        QCOMPARE(head.heightTwips, -400);
        QCOMPARE(head.leftTwips, 200);
        QCOMPARE(head.cells.size(), size_t(2));
        // Inner edges as LibreOffice keeps them, ten-thousandths of the grid's 6000 twips taken down to
        // whole twips (3333 of them: 1999.8); the table's own edge as the grid gives it.
        QCOMPARE(head.cells[0].rightTwips, 2199);
        QCOMPARE(head.cells[1].rightTwips, 6200);
        QCOMPARE(second.cells[1].rightTwips, 5199);
        QCOMPARE(head.cells[0].vMerge, Cell::VMerge::Restart);
        QCOMPARE(second.cells[0].vMerge, Cell::VMerge::Continue);
        QCOMPARE(head.cells[0].vAlign, Cell::VAlign::Center);
        QCOMPARE(paragraphs(t, Story{{head.cells[0].paragraphs.front()}}), QStringList{"Merged"});
        QCOMPARE(second.cells[0].paragraphs.size(), size_t(1));
        QCOMPARE(paragraphs(t, Story{{second.cells[0].paragraphs.front()}}), QStringList{""});
        QCOMPARE(head.cells[1].shading, QColor(255, 0, 0));
        QCOMPARE(edge(head.cells[0].borders, Side::Top).style, Border::Single);
        QCOMPARE(edge(head.cells[0].borders, Side::Top).widthTwips, 20);
        QCOMPARE(edge(head.cells[0].borders, Side::Bottom).style, Border::Double);
        QCOMPARE(edge(head.cells[0].borders, Side::Right).style, Border::Dotted);
        QCOMPARE(edge(head.cells[0].borders, Side::Left).style, Border::None);
        QCOMPARE(head.cells[0].leftPadTwips, 100);
        QCOMPARE(head.cells[0].rightPadTwips, 80);
        QCOMPARE(second.cells[1].topPadTwips, 50);
        QCOMPARE(second.cells[2].topPadTwips, -1);
    }

    void tablesWithoutGrid() {
        // No grid: the columns share the text's width (12240 less two 1440 margins), or the table's own
        // width, a length or a share; a cell's own length stands. Word 2010's cells start a margin left.
        const auto cell = [](const QByteArray& props, const QByteArray& text) {
            return "<w:tc><w:tcPr>" + props + "</w:tcPr>" + paragraph(run(text)) + "</w:tc>";
        };
        const auto table = [&](const QByteArray& width, const QByteArray& cells) {
            return "<w:tbl><w:tblPr><w:tblW " + width + "/></w:tblPr><w:tr>" + cells + "</w:tr></w:tbl>" +
                   paragraph("");
        };
        const QByteArray four = cell("", "a") + cell("", "b") + cell("<w:gridSpan w:val=\"2\"/>", "cd");
        const Template t = readBody(
            table("w:w=\"0\" w:type=\"auto\"", four) + table("w:w=\"2500\" w:type=\"pct\"", four) +
            table("w:w=\"4000\" w:type=\"dxa\"",
                  cell("<w:tcW w:w=\"3000\" w:type=\"dxa\"/>", "wide") + cell("", "rest")) +
            table("w:w=\"0\" w:type=\"auto\"", cell("<w:textDirection w:val=\"btLr\"/>", "up") +
                                                   cell("<w:textDirection w:val=\"tbRl\"/>", "down") +
                                                   cell("<w:textDirection w:val=\"lrTb\"/>", "across")));
        std::vector<const Row*> rows;
        for (const Block& b : t.body.blocks)
            if (const Table* table = std::get_if<Table>(&b))
                rows.push_back(&table->rows.at(0));
        QCOMPARE(rows.size(), size_t(4));
        const auto rights = [](const Row& r) {
            QList<int> out;
            for (const Cell& c : r.cells)
                out << c.rightTwips - r.leftTwips;
            return out;
        };
        QCOMPARE(rows[0]->leftTwips, -108);
        QCOMPARE(rights(*rows[0]), (QList<int>{2340, 4680, 9360}));
        QCOMPARE(rights(*rows[1]), (QList<int>{1170, 2340, 4680}));
        QCOMPARE(rights(*rows[2]), (QList<int>{3000, 5000}));
        QCOMPARE(rows[0]->cells[0].direction, Cell::Direction::Across);
        QCOMPARE(rows[3]->cells[0].direction, Cell::Direction::Up);
        QCOMPARE(rows[3]->cells[1].direction, Cell::Direction::Down);
        QCOMPARE(rows[3]->cells[2].direction, Cell::Direction::Across);
    }

    void spaceBetweenParagraphs() {
        // A paragraph's space after and the next one's space before: the larger of the two stands
        // between them, not their sum; an RTF template adds them up.
        const QByteArray spaced = "<w:spacing w:before=\"480\" w:after=\"240\"/>";
        const auto t = std::make_shared<const Template>(readBody(
            paragraph(run("One"), spaced) + paragraph(run("Two"), spaced) +
            paragraph(run("Three"), "<w:spacing w:before=\"120\" w:after=\"0\"/>") + paragraph(run("Four"))));
        QVERIFY(t->largerSpaceBetween);
        QVERIFY(!readRtf("{\\rtf1 x\\par}", QStringLiteral("x.rtf")).largerSpaceBetween);
        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QStringList gaps;
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
            if (!b.text().isEmpty())
                gaps << b.text() + QLatin1Char(' ') +
                            QString::number(qRound(b.blockFormat().topMargin() * 15));
        QCOMPARE(gaps, (QStringList{"One 480", "Two 480", "Three 240", "Four 0"}));

        // Word's compatibility setting against HTML's spacing brings the sum back.
        const Template summed =
            read(package(document(paragraph(run("One"), spaced)),
                         {{"settings", "settings.xml",
                           "<w:settings " + kW +
                               "><w:compat><w:doNotUseHTMLParagraphAutoSpacing/></w:compat></w:settings>"}}));
        QVERIFY(!summed.largerSpaceBetween);
    }

    void tableStyleLook() {
        // A table style's first row and banded rows over its whole-table look.
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"table\" w:styleId=\"Grid\"><w:rPr><w:color "
            "w:val=\"0000FF\"/></w:rPr><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"EEEEEE\"/></w:tcPr><w:tblStylePr "
            "w:type=\"firstRow\"><w:rPr><w:b/></w:rPr><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"000080\"/></w:tcPr></w:tblStylePr><w:tblStylePr "
            "w:type=\"band1Horz\"><w:tcPr><w:shd "
            "w:val=\"clear\" w:fill=\"CCFFCC\"/></w:tcPr></w:tblStylePr></w:style></w:styles>";
        QByteArray rows;
        for (const char* text : {"Head", "One", "Two", "Three"})
            rows += "<w:tr><w:tc>" + paragraph(run(text)) + "</w:tc></w:tr>";
        const Template t =
            readBody("<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/><w:tblLook w:val=\"04A0\"/></w:tblPr>"
                     "<w:tblGrid><w:gridCol w:w=\"3000\"/></w:tblGrid>" +
                         rows + "</w:tbl>",
                     {{"styles", "styles.xml", styles}});
        const Table& table = std::get<Table>(t.body.blocks.front());
        QCOMPARE(table.rows.size(), size_t(4));
        QStringList fills;
        for (const Row& r : table.rows)
            fills << r.cells[0].shading.name();
        QCOMPARE(fills, (QStringList{"#000080", "#ccffcc", "#eeeeee", "#ccffcc"}));
        const auto runFormat = [&](size_t row) {
            return t.formats[size_t(
                firstParagraph(Story{{table.rows[row].cells[0].paragraphs.front()}}).runs[0].format)];
        };
        QVERIFY(runFormat(0).bold);
        QVERIFY(!runFormat(1).bold);
        QCOMPARE(runFormat(1).color, QColor(0, 0, 255));
    }

    // A chart prints from the values Word keeps with it: its title, the names of its categories and
    // series, and the value axis's round numbers are words on the page; each bar stands as high as its
    // value on that axis, in its series' colour.
    void chartFromItsValues() {
        const QByteArray chart =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?><c:chartSpace "
            "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/"
            "main\"><c:chart><c:title><c:tx><c:rich>"
            "<a:p><a:r><a:t>Sales by "
            "month</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea><c:barChart>"
            "<c:barDir val=\"col\"/><c:ser><c:tx><c:strRef><c:strCache><c:pt "
            "idx=\"0\"><c:v>Sedans</c:v></c:pt>"
            "</c:strCache></c:strRef></c:tx><c:spPr><a:solidFill><a:srgbClr val=\"C81E28\"/></a:solidFill>"
            "</c:spPr><c:cat><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>March</c:v></c:pt><c:pt idx=\"1\">"
            "<c:v>April</c:v></c:pt></c:strCache></c:strRef></c:cat><c:val><c:numRef><c:numCache><c:pt "
            "idx=\"0\"><c:v>40</c:v></c:pt><c:pt idx=\"1\"><c:v>80</c:v></c:pt></c:numCache></c:numRef>"
            "</c:val></c:ser></c:barChart></c:plotArea><c:legend><c:legendPos "
            "val=\"r\"/></c:legend></c:chart>"
            "</c:chartSpace>";
        const Template t = readBody(
            paragraph(
                "<w:r><w:drawing><wp:inline><wp:extent cx=\"5486400\" cy=\"3200400\"/><a:graphic>"
                "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
                "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rId1\"/>"
                "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>"),
            {{"chart", "charts/chart1.xml", chart}});
        QCOMPARE(t.pictures.size(), size_t(1));
        const Picture& pic = t.pictures.front();
        QCOMPARE(QSize(pic.widthTwips, pic.heightTwips), QSize(8640, 5040));
        QVERIFY(!pic.image.isNull());
        QStringList words;
        std::map<QString, QPointF> at;
        for (const MetafileText& text : metafileText(pic.image))
            for (const MetafileText::Piece& piece : text.pieces) {
                words << piece.text;
                at[piece.text] = text.place.map(piece.at);
            }
        for (const char* word : {"Sales by month", "Sedans", "March", "April", "0", "20", "40", "60", "80"})
            QVERIFY2(words.contains(QLatin1String(word)), qPrintable(words.join(QLatin1Char('|'))));
        // The axis runs to the round number above the highest value, and no further.
        QVERIFY2(!words.contains(QStringLiteral("100")) || !words.contains(QStringLiteral("120")),
                 qPrintable(words.join(QLatin1Char('|'))));
        // April's bar is twice as high as March's, from the axis's 0; each stands over its category.
        const QImage& image = pic.image;
        const auto barOver = [&](double x) {
            int top = -1, bottom = -1;
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(int(x), y) == QColor(0xC8, 0x1E, 0x28)) {
                    if (top < 0)
                        top = y;
                    bottom = y;
                }
            return std::make_pair(top, bottom);
        };
        const QPointF march = at.at(QStringLiteral("March")), april = at.at(QStringLiteral("April"));
        const double zero = at.at(QStringLiteral("0")).y();
        const auto [marchTop, marchFoot] = barOver(march.x() + 10);
        const auto [aprilTop, aprilFoot] = barOver(april.x() + 10);
        QVERIFY(marchTop > 0 && aprilTop > 0);
        QVERIFY2(qAbs(marchFoot - aprilFoot) <= 1 && qAbs(marchFoot - zero) < 20,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(marchFoot).arg(aprilFoot).arg(zero)));
        const double ratio = double(aprilFoot - aprilTop) / (marchFoot - marchTop);
        QVERIFY2(qAbs(ratio - 2) < 0.05, qPrintable(QString::number(ratio)));
        // The legend stands right of the plot, beyond the last bar.
        QVERIFY(at.at(QStringLiteral("Sedans")).x() > april.x());
    }

    // The chart area's outline goes round the picture, in its colour lightened as Word's theme shades
    // are (black, its lightness scaled and raised by 85%, is a light grey); a chart without one has none.
    void chartAreaOutline() {
        const auto chart = [](const QByteArray& area) {
            return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><c:chartSpace "
                   "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
                   "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><c:chart><c:plotArea>"
                   "<c:barChart><c:barDir val=\"col\"/><c:ser><c:val><c:numRef><c:numCache><c:pt idx=\"0\">"
                   "<c:v>4</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser></c:barChart></c:plotArea>"
                   "</c:chart>" +
                   area + "</c:chartSpace>";
        };
        const QByteArray inline_ =
            "<w:r><w:drawing><wp:inline><wp:extent cx=\"2743200\" cy=\"1828800\"/><a:graphic>"
            "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
            "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rId%1\"/>"
            "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
        const Template t = readBody(
            paragraph(QByteArray(inline_).replace("%1", "1") + QByteArray(inline_).replace("%1", "2")),
            {{"chart", "charts/chart1.xml",
              chart("<c:spPr><a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"000000\"><a:lumMod "
                    "val=\"15000\"/><a:lumOff val=\"85000\"/></a:srgbClr></a:solidFill></a:ln></c:spPr>")},
             {"chart", "charts/chart2.xml", chart("<c:spPr><a:ln><a:noFill/></a:ln></c:spPr>")}});
        QCOMPARE(t.pictures.size(), size_t(2));
        const QImage& outlined = t.pictures[0].image;
        const QImage& plain = t.pictures[1].image;
        QVERIFY(!outlined.isNull() && !plain.isNull());
        for (const QPoint at : {QPoint(outlined.width() / 2, 1), QPoint(1, outlined.height() / 2),
                                QPoint(outlined.width() - 2, outlined.height() / 2)}) {
            const QColor c = outlined.pixelColor(at);
            QVERIFY2(qAbs(c.red() - 217) <= 2 && c.red() == c.green() && c.green() == c.blue(),
                     qPrintable(c.name()));
            QCOMPARE(plain.pixelColor(at), QColor(Qt::white));
        }
        // Inside its line the area stays white.
        QCOMPARE(outlined.pixelColor(outlined.width() / 2, 12), QColor(Qt::white));
    }

    // Word's own title where the chart gives no text: the series' name for one series, "Chart Title"
    // for more; a pie's legend names its categories.
    void chartTitlesAndLegends() {
        const auto chartOf = [](const QByteArray& plot, const QByteArray& title) {
            const QByteArray chart =
                "<?xml version=\"1.0\"?><c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/"
                "2006/chart\"><c:chart>" +
                title + "<c:autoTitleDeleted val=\"0\"/><c:plotArea>" + plot +
                "</c:plotArea><c:legend><c:legendPos val=\"b\"/></c:legend></c:chart></c:chartSpace>";
            const Template t = readBody(
                paragraph(
                    "<w:r><w:drawing><wp:inline><wp:extent cx=\"2743200\" cy=\"1828800\"/><a:graphic>"
                    "<a:graphicData><c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/"
                    "chart\" r:id=\"rId1\"/></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>"),
                {{"chart", "charts/chart1.xml", chart}});
            QStringList words;
            for (const MetafileText& text : metafileText(t.pictures.at(0).image))
                for (const MetafileText::Piece& piece : text.pieces)
                    words << piece.text;
            return words;
        };
        const auto series = [](const QByteArray& name, const QByteArray& values) {
            QByteArray points;
            int i = 0;
            for (const QByteArray& v : values.split(','))
                points += "<c:pt idx=\"" + QByteArray::number(i++) + "\"><c:v>" + v + "</c:v></c:pt>";
            return "<c:ser><c:tx><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>" + name +
                   "</c:v></c:pt></c:strCache></c:strRef></c:tx><c:cat><c:strLit><c:pt idx=\"0\"><c:v>North"
                   "</c:v></c:pt><c:pt idx=\"1\"><c:v>South</c:v></c:pt></c:strLit></c:cat><c:val><c:numRef>"
                   "<c:numCache>" +
                   points + "</c:numCache></c:numRef></c:val></c:ser>";
        };
        const QStringList pie = chartOf("<c:pieChart>" + series("Share", "3,1") + "</c:pieChart>", {});
        QCOMPARE(pie, (QStringList{"Share", "North", "South"}));
        const QStringList bars = chartOf("<c:barChart><c:barDir val=\"bar\"/>" + series("Vans", "1,2") +
                                             series("Trucks", "2,1") + "</c:barChart>",
                                         "<c:title><c:overlay val=\"0\"/></c:title>");
        for (const char* word : {"Chart Title", "Vans", "Trucks", "North", "South", "0", "1", "2"})
            QVERIFY2(bars.contains(QLatin1String(word)), qPrintable(bars.join(QLatin1Char('|'))));
        QVERIFY(!bars.contains(QStringLiteral("Share")));
    }

    void anchoredPicture() {
        // An anchored picture lies where its offsets say, from the page across and the paragraph down;
        // an inline one stands in its line at its extent.
        const auto drawing = [](const QByteArray& frame, const QByteArray& place) {
            return "<w:r><w:drawing><wp:" + frame + place +
                   "<wp:extent cx=\"1828800\" cy=\"914400\"/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
                   "picture\"><pic:pic><pic:blipFill><a:blip "
                   "r:embed=\"rId1\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:" +
                   frame.left(frame.indexOf(' ') < 0 ? frame.size() : frame.indexOf(' ')) +
                   "></w:drawing></w:r>";
        };
        const Template t = readBody(
            paragraph(
                drawing(
                    "anchor behindDoc=\"0\"",
                    ">"
                    "<wp:positionH relativeFrom=\"page\"><wp:posOffset>914400</wp:posOffset></wp:positionH>"
                    "<wp:positionV "
                    "relativeFrom=\"paragraph\"><wp:posOffset>457200</wp:posOffset></wp:positionV>"
                    "<wp:wrapSquare wrapText=\"bothSides\"/>") +
                run("Beside")) +
                paragraph(drawing(
                    "anchor behindDoc=\"1\"",
                    "><wp:positionH relativeFrom=\"margin\"><wp:align>center</wp:align></wp:positionH>"
                    "<wp:positionV "
                    "relativeFrom=\"page\"><wp:align>bottom</wp:align></wp:positionV><wp:wrapNone/>")) +
                paragraph(drawing("inline", ">")),
            {{"image", "media/image1.png", png(40, 20)}});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& f = t.floats[0];
        QCOMPARE(f.fromX, Floating::From::Page);
        QCOMPARE(f.fromY, Floating::From::Paragraph);
        QCOMPARE(f.leftTwips, 1440);
        QCOMPARE(f.topTwips, 720);
        QCOMPARE(f.widthTwips, 2880);
        QCOMPARE(f.heightTwips, 1440);
        QCOMPARE(f.wrap, Floating::Wrap::Around);
        QVERIFY(!f.behindText);
        QCOMPARE(t.pictures[size_t(f.picture)].image.size(), QSize(40, 20));
        // Centred in the margins' 9360 twips; at the page's foot.
        const Floating& g = t.floats[1];
        QCOMPARE(g.fromX, Floating::From::Margin);
        QCOMPARE(g.leftTwips, (9360 - 2880) / 2);
        QCOMPARE(g.fromY, Floating::From::Page);
        QCOMPARE(g.topTwips, 15840 - 1440);
        QVERIFY(g.behindText);
        QCOMPARE(g.wrap, Floating::Wrap::None);
        const Paragraph& third = std::get<Paragraph>(t.body.blocks.at(2));
        QCOMPARE(third.runs.size(), size_t(1));
        QCOMPARE(third.runs[0].kind, Run::Picture);
        QCOMPARE(t.pictures[size_t(third.runs[0].index)].widthTwips, 2880);
    }

    void pictureBehindTextWrapped() {
        // A picture behind the text that the text wraps around all the same: the lines level with it end
        // before its left edge; no line runs under it.
        const QByteArray anchor =
            "<w:r><w:drawing><wp:anchor behindDoc=\"1\"><wp:positionH relativeFrom=\"column\"><wp:posOffset>"
            "3657600</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"1828800\" cy=\"914400\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/"
            "drawingml/2006/picture\"><pic:pic><pic:blipFill><a:blip r:embed=\"rId1\"/></pic:blipFill>"
            "</pic:pic></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        QByteArray words;
        for (int i = 0; i < 60; ++i)
            words += "wrapped words ";
        const auto t = std::make_shared<const Template>(
            readBody(paragraph(anchor + run(words)), {{"image", "media/image1.png", png(40, 20)}}));
        QCOMPARE(t->floats.size(), size_t(1));
        QVERIFY(t->floats[0].behindText);
        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(1));
        const QRectF picture = copy.pictures[0].rect;
        QVERIFY(qAbs(picture.left() - twipsToLayout(1440 + 5760)) < 2);
        int level = 0, below = 0;
        for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next()) {
            const QRectF r = copy.body->documentLayout()->blockBoundingRect(b).translated(twipsToLayout(1440),
                                                                                          copy.bodyTop);
            for (int i = 0; i < b.layout()->lineCount(); ++i) {
                const QTextLine line = b.layout()->lineAt(i);
                if (line.textLength() == 0 || !b.text().contains(QStringLiteral("wrapped")))
                    continue;
                const double top = r.top() + line.y();
                if (top < picture.bottom() && top + line.height() > picture.top()) {
                    ++level;
                    QVERIFY(r.left() + line.x() + line.naturalTextWidth() <= picture.left());
                } else {
                    ++below;
                }
            }
        }
        QVERIFY(level >= 2);
        QVERIFY(below >= 1);
    }

    void textBoxes() {
        // A text box from Word's drawing shapes, never also from its VML fallback; an older VML one.
        const QByteArray txbx = "<w:txbxContent>" + paragraph(run("In the box")) + "</w:txbxContent>";
        const Template t = readBody(paragraph(
            "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor "
            "behindDoc=\"0\"><wp:positionH "
            "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
            "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
            "cx=\"914400\" "
            "cy=\"457200\"/><wp:wrapTopAndBottom/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/"
            "wordprocessingShape\"><wps:wsp><wps:spPr><a:solidFill><a:srgbClr "
            "val=\"FFFF00\"/></a:solidFill><a:ln w=\"12700\"><a:solidFill><a:srgbClr "
            "val=\"000000\"/></a:solidFill></a:ln></wps:spPr><wps:txbx>" +
            txbx +
            "</wps:txbx><wps:bodyPr lIns=\"0\" tIns=\"0\" rIns=\"0\" "
            "bIns=\"0\"/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice>"
            "<mc:Fallback><w:pict><v:shape style=\"position:absolute;width:72pt;height:36pt\"><v:textbox>" +
            txbx + "</v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r>" +
            "<w:r><w:pict><v:shape "
            "style=\"position:absolute;margin-left:36pt;margin-top:18pt;width:144pt;height:72pt;"
            "mso-position-horizontal-relative:page\" fillcolor=\"#00ff00\" stroked=\"f\"><v:textbox>"
            "<w:txbxContent>" +
            paragraph(run("Old box")) + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>"));
        QCOMPARE(t.textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), QStringList{"In the box"});
        QCOMPARE(paragraphs(t, t.textBoxes[1]), QStringList{"Old box"});
        QCOMPARE(t.floats.size(), size_t(2));
        QCOMPARE(t.floats[0].fill, QColor(255, 255, 0));
        QCOMPARE(t.floats[0].lineTwips, 20);
        QCOMPARE(t.floats[0].widthTwips, 1440);
        QCOMPARE(t.floats[0].insetTwips, (std::array<int, 4>{0, 0, 0, 0}));
        QCOMPARE(t.floats[0].wrap, Floating::Wrap::TopBottom);
        const Floating& old = t.floats[1];
        QCOMPARE(old.fromX, Floating::From::Page);
        QCOMPARE(old.leftTwips, 720);
        QCOMPARE(old.topTwips, 360);
        QCOMPARE(old.widthTwips, 2880);
        QCOMPARE(old.fill, QColor(0, 255, 0));
        QVERIFY(!old.line.isValid());
    }

    void drawnShapes() {
        // Boxes, ellipses and lines drawn in Word, in their fill and outline; a shape in neither draws
        // nothing, and one of another geometry is left out.
        const auto shape = [](const QByteArray& geometry, const QByteArray& spPr,
                              const QByteArray& xfrm = {}) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>635000</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"914400\" cy=\"457200\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:spPr>" +
                   xfrm + "<a:prstGeom prst=\"" + geometry + "\"/>" + spPr +
                   "</wps:spPr><wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></"
                   "w:r>";
        };
        const QByteArray red = "<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>";
        const QByteArray blueLine =
            "<a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:ln>";
        const Template t = readBody(paragraph(
            shape("rect", red + blueLine) + shape("ellipse", red) +
            shape("line", blueLine, "<a:xfrm flipH=\"1\"/>") + shape("rect", "<a:noFill/>") +
            shape("heart", red) +
            "<w:r><w:pict><v:rect style=\"position:absolute;margin-left:18.75pt;margin-top:9.9pt;"
            "width:198.75pt;height:48.75pt;z-index:1\" fillcolor=\"#fde9d9 [665]\" strokecolor=\"#9bbb59\" "
            "strokeweight=\"5pt\"/><v:oval style=\"position:absolute;width:36pt;height:36pt\" "
            "filled=\"f\"/><v:rect style=\"width:36pt;height:36pt\"/></w:pict></w:r>"));
        QCOMPARE(t.floats.size(), size_t(5));
        QVERIFY(t.textBoxes.empty() && t.pictures.empty());
        const Floating& box = t.floats[0];
        QCOMPARE(box.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({box.leftTwips, box.widthTwips, box.heightTwips, box.lineTwips}),
                 QList<int>({1000, 1440, 720, 40}));
        QVERIFY(box.fill == QColor(255, 0, 0) && box.line == QColor(0, 0, 255));
        QCOMPARE(box.wrap, Floating::Wrap::None);
        QCOMPARE(t.floats[1].shape, Floating::Shape::Ellipse);
        QVERIFY(t.floats[1].fill == QColor(255, 0, 0) && !t.floats[1].line.isValid());
        const Floating& line = t.floats[2];
        QCOMPARE(line.shape, Floating::Shape::Lines);
        QVERIFY(!line.fill.isValid() && line.line == QColor(0, 0, 255));
        QCOMPARE(line.points, (std::vector<QPoint>{QPoint(1440, 0), QPoint(0, 720)}));
        const Floating& old = t.floats[3];
        QCOMPARE(old.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({old.leftTwips, old.topTwips, old.widthTwips, old.heightTwips, old.lineTwips}),
                 QList<int>({375, 198, 3975, 975, 100}));
        QVERIFY(old.fill == QColor(0xfd, 0xe9, 0xd9) && old.line == QColor(0x9b, 0xbb, 0x59));
        QCOMPARE(t.floats[4].shape, Floating::Shape::Ellipse);
        QVERIFY(!t.floats[4].fill.isValid() && t.floats[4].line == QColor(Qt::black));
    }

    void themeColoursLightenedAndDarkened() {
        // Office's default blue (4472C4) darkened: a shape's fill by a quarter of its luminance, its
        // outline by the half shade Word's shape style gives it, and text named only by the theme colour
        // as Word's headings have it. Word shows 2F5597, 2F528F and 2F5496 for these.
        const QByteArray theme = "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                 "name=\"T\"><a:themeElements><a:clrScheme name=\"O\"><a:accent1><a:srgbClr "
                                 "val=\"4472C4\"/></a:accent1></a:clrScheme></a:themeElements></a:theme>";
        const QByteArray shape =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\" simplePos=\"0\" relativeHeight=\"1\" "
            "allowOverlap=\"1\"><wp:simplePos x=\"0\" y=\"0\"/><wp:positionH "
            "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
            "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
            "cx=\"914400\" "
            "cy=\"457200\"/><wp:wrapNone/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingShape\"><wps:wsp><wps:spPr>"
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:schemeClr val=\"accent1\"><a:lumMod "
            "val=\"75000\"/></a:schemeClr></a:solidFill><a:ln w=\"12700\"><a:solidFill><a:schemeClr "
            "val=\"accent1\"><a:shade val=\"50000\"/></a:schemeClr></a:solidFill></a:ln></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        const Template t = readBody(
            paragraph(shape + run("Heading", "<w:color w:themeColor=\"accent1\" w:themeShade=\"BF\"/>") +
                      run("Light", "<w:color w:val=\"auto\" w:themeColor=\"accent1\" w:themeTint=\"99\"/>")),
            {{"theme", "theme/theme1.xml", theme}});
        const auto near = [](const QColor& c, QRgb want) {
            const QColor w(want);
            return qAbs(c.red() - w.red()) <= 1 && qAbs(c.green() - w.green()) <= 1 &&
                   qAbs(c.blue() - w.blue()) <= 1;
        };
        QCOMPARE(t.floats.size(), size_t(1));
        QVERIFY2(near(t.floats[0].fill, 0x2F5597), qPrintable(t.floats[0].fill.name()));
        QVERIFY2(near(t.floats[0].line, 0x2F528F), qPrintable(t.floats[0].line.name()));
        const std::vector<Run>& runs = firstParagraph(t.body).runs;
        QColor heading, light;
        for (const Run& r : runs) {
            if (r.text == QLatin1String("Heading"))
                heading = t.formats[size_t(r.format)].color;
            if (r.text == QLatin1String("Light"))
                light = t.formats[size_t(r.format)].color;
        }
        QVERIFY2(near(heading, 0x2F5496), qPrintable(heading.name()));
        // A tint of 99 (60%) keeps three fifths of the luminance and takes the rest from white: 8EAADB.
        QVERIFY2(near(light, 0x8EAADB), qPrintable(light.name()));
    }

    void vmlGroups() {
        // Older drawings group their text boxes in VML: a piece's box is in the group's own units, from
        // coordorigin over coordsize, laid onto the group's box; an inline group stands in the text, one
        // placed absolutely where its style puts it, and a group within a group maps twice.
        const auto box = [](const QByteArray& style, const QByteArray& text) {
            return "<v:shape type=\"#_x0000_t202\" style=\"position:absolute;" + style +
                   "\"><v:textbox><w:txbxContent>" + paragraph(run(text)) +
                   "</w:txbxContent></v:textbox></v:shape>";
        };
        const Template t = readBody(
            paragraph(
                "<w:r><w:pict><v:group style=\"width:144pt;height:72pt;mso-position-horizontal-relative:char;"
                "mso-position-vertical-relative:line\" coordorigin=\"1000,2000\" coordsize=\"2000,1000\">" +
                box("left:1500;top:2500;width:1000;height:500", "Inline piece") +
                "</v:group></w:pict></w:r>") +
            paragraph(
                "<w:r><w:pict><v:group style=\"position:absolute;margin-left:36pt;margin-top:18pt;"
                "width:144pt;height:144pt;mso-position-horizontal-relative:page\" coordsize=\"100,100\">"
                "<v:group style=\"position:absolute;left:50;top:50;width:50;height:50\" "
                "coordorigin=\"0,0\" coordsize=\"10,10\">" +
                box("left:5;top:0;width:5;height:10", "Nested piece") +
                "</v:group></v:group></w:pict></w:r>"));
        QCOMPARE(t.textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(t, t.textBoxes[0]), QStringList{"Inline piece"});
        QCOMPARE(paragraphs(t, t.textBoxes[1]), QStringList{"Nested piece"});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& inline_ = t.floats[0];
        QCOMPARE(inline_.fromY, Floating::From::Paragraph);
        QCOMPARE(inline_.wrap, Floating::Wrap::TopBottom);
        QCOMPARE(inline_.leftTwips, 720);
        QCOMPARE(inline_.topTwips, 720);
        QCOMPARE(inline_.widthTwips, 1440);
        QCOMPARE(inline_.heightTwips, 720);
        // 2880 twips over 100 units, then half of that over 10: the piece is 720 wide from 720 + 2160.
        const Floating& nested = t.floats[1];
        QCOMPARE(nested.fromX, Floating::From::Page);
        QCOMPARE(nested.leftTwips, 720 + 1440 + 720);
        QCOMPARE(nested.topTwips, 360 + 1440);
        QCOMPARE(nested.widthTwips, 720);
        QCOMPARE(nested.heightTwips, 1440);
    }

    void groupInTheMargin() {
        // A group of two text boxes, from Word's drawing group rather than its VML fallback, placed by
        // the fallback offset of a Word 2010 position, down the left margin from the text area's top:
        // the letter's text stays at the top, beside it.
        const auto box = [](const QByteArray& y, const QByteArray& text) {
            return "<wps:wsp><wps:spPr><a:xfrm><a:off x=\"0\" y=\"" + y +
                   "\"/><a:ext cx=\"457200\" cy=\"914400\"/></a:xfrm></wps:spPr><wps:txbx><w:txbxContent>" +
                   paragraph(run(text)) + "</w:txbxContent></wps:txbx><wps:bodyPr/></wps:wsp>";
        };
        const QByteArray group =
            "<w:r><mc:AlternateContent><mc:Choice Requires=\"wpg\"><w:drawing><wp:anchor "
            "behindDoc=\"0\" "
            "xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\">"
            "<mc:AlternateContent><mc:Choice Requires=\"wp14\"><wp:positionH "
            "relativeFrom=\"page\"><wp14:pctPosHOffset>5000</wp14:pctPosHOffset></wp:positionH></mc:Choice>"
            "<mc:Fallback><wp:positionH relativeFrom=\"page\"><wp:posOffset>228600</wp:posOffset>"
            "</wp:positionH></mc:Fallback></mc:AlternateContent><wp:positionV relativeFrom=\"margin\">"
            "<wp:align>top</wp:align></wp:positionV><wp:extent cx=\"457200\" cy=\"2743200\"/><wp:wrapSquare "
            "wrapText=\"bothSides\"/><a:graphic><a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:wgp "
            "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:grpSpPr>"
            "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"457200\" cy=\"2743200\"/><a:chOff x=\"0\" y=\"0\"/>"
            "<a:chExt cx=\"457200\" cy=\"2743200\"/></a:xfrm></wpg:grpSpPr>" +
            box("0", "Top box") + box("1828800", "Lower box") +
            "</wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict>"
            "<v:shape style=\"position:absolute;width:36pt;height:216pt\"><v:textbox><w:txbxContent>" +
            paragraph(run("Fallback")) +
            "</w:txbxContent></v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r>";
        const auto t = std::make_shared<const Template>(
            readBody(paragraph(group + run("Letter text")) + paragraph(run("More text"))));
        QCOMPARE(t->textBoxes.size(), size_t(2));
        QCOMPARE(paragraphs(*t, t->textBoxes[1]), QStringList{"Lower box"});
        QCOMPARE(t->floats.size(), size_t(2));
        QCOMPARE(t->floats[0].fromX, Floating::From::Page);
        QCOMPARE(t->floats[0].leftTwips, 360);
        QCOMPARE(t->floats[1].topTwips, 2880);
        QCOMPARE(t->floats[1].fromY, Floating::From::Margin);

        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(2));
        QTextBlock first = copy.body->begin();
        while (first.isValid() && !first.text().contains(QStringLiteral("Letter text")))
            first = first.next();
        QVERIFY(first.isValid());
        QVERIFY(copy.body->documentLayout()->blockBoundingRect(first).top() < twipsToLayout(360));
    }

    void textAnchoredInItsBox() {
        // Text set at the top, middle or foot of a box two inches tall, from Word's drawing shapes and
        // from VML: the room its lines leave goes above them, half of it or all.
        const auto box = [](const QByteArray& anchor, const QByteArray& text) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH "
                   "relativeFrom=\"column\"><wp:posOffset>0</wp:posOffset></wp:positionH><wp:positionV "
                   "relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent "
                   "cx=\"914400\" cy=\"1828800\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:txbx>"
                   "<w:txbxContent>" +
                   paragraph(run(text)) +
                   "</w:txbxContent></wps:txbx><wps:bodyPr tIns=\"91440\" bIns=\"45720\"" + anchor +
                   "/></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        };
        const auto t = std::make_shared<const Template>(readBody(paragraph(
            box({}, "Top") + box(" anchor=\"ctr\"", "Middle") + box(" anchor=\"b\"", "Foot") +
            "<w:r><w:pict><v:shape style=\"position:absolute;width:72pt;height:144pt;v-text-anchor:bottom\">"
            "<v:textbox inset=\"7.2pt,7.2pt,7.2pt,3.6pt\"><w:txbxContent>" +
            paragraph(run("Old foot")) + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>")));
        QCOMPARE(t->floats.size(), size_t(4));
        QCOMPARE(t->floats[0].textAnchor, Floating::TextAnchor::Top);
        QCOMPARE(t->floats[1].textAnchor, Floating::TextAnchor::Middle);
        QCOMPARE(t->floats[2].textAnchor, Floating::TextAnchor::Bottom);
        QCOMPARE(t->floats[3].textAnchor, Floating::TextAnchor::Bottom);

        Merger merger(t, nullptr);
        const PageCopy copy = merger.next();
        QCOMPARE(copy.pictures.size(), size_t(4));
        for (const PlacedPicture& p : copy.pictures)
            QVERIFY(p.text);
        const double lines = copy.pictures[0].text->documentLayout()->documentSize().height();
        const double top = twipsToLayout(144), bottom = twipsToLayout(72);
        const double room = twipsToLayout(2880) - top - bottom - lines;
        QVERIFY(room > twipsToLayout(2000));
        QCOMPARE(copy.pictures[0].textOffset.y(), top);
        QVERIFY(qAbs(copy.pictures[1].textOffset.y() - (top + room / 2)) < 1);
        QVERIFY(qAbs(copy.pictures[2].textOffset.y() - (top + room)) < 1);
        // The box's foot less its bottom inset is where its last line ends.
        const PlacedPicture& old = copy.pictures[3];
        QVERIFY(qAbs(old.textOffset.y() + old.text->documentLayout()->documentSize().height() -
                     (old.rect.height() - twipsToLayout(72))) < 1);
    }

    void groupInItsOwnUnits() {
        // Word's groups converted from older drawings count their pieces in small units of their own
        // (here 1104 by 736 to a group of 2.5 by 1.6 inches): a picture and a box keep their share of it.
        const auto piece = [](const QByteArray& x, const QByteArray& y, const QByteArray& cx,
                              const QByteArray& cy) {
            return "<a:xfrm><a:off x=\"" + x + "\" y=\"" + y + "\"/><a:ext cx=\"" + cx + "\" cy=\"" + cy +
                   "\"/></a:xfrm>";
        };
        const QByteArray group =
            "<w:r><w:drawing><wp:anchor behindDoc=\"0\"><wp:positionH relativeFrom=\"column\"><wp:posOffset>"
            "-635000</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0"
            "</wp:posOffset></wp:positionV><wp:extent cx=\"2286000\" "
            "cy=\"1463040\"/><wp:wrapNone/><a:graphic>"
            "<a:graphicData "
            "uri=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:wgp "
            "xmlns:wpg=\"http://schemas.microsoft.com/office/word/2010/wordprocessingGroup\"><wpg:grpSpPr>"
            "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"2286000\" cy=\"1463040\"/><a:chOff x=\"1920\" "
            "y=\"2400\"/><a:chExt cx=\"1104\" cy=\"736\"/></a:xfrm></wpg:grpSpPr><pic:pic><pic:blipFill>"
            "<a:blip r:embed=\"rId1\"/></pic:blipFill><pic:spPr>" +
            piece("2196", "2584", "552", "368") + "</pic:spPr></pic:pic><wps:wsp><wps:spPr>" +
            piece("2472", "2400", "552", "184") +
            "<a:prstGeom prst=\"rect\"/><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill></wps:spPr>"
            "<wps:bodyPr/></wps:wsp></wpg:wgp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>";
        const Template t =
            readBody(paragraph(group + run("Heading")), {{"image", "media/image1.png", png(40, 20)}});
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& picture = t.floats[0];
        QVERIFY(picture.picture >= 0);
        // A quarter of the group's width in from its left, 1000 twips left of the margin; a quarter
        // down; half its width and height.
        QCOMPARE(QList<int>({picture.leftTwips, picture.topTwips, picture.widthTwips, picture.heightTwips}),
                 QList<int>({-1000 + 900, 576, 1800, 1152}));
        const Floating& box = t.floats[1];
        QCOMPARE(box.shape, Floating::Shape::Box);
        QCOMPARE(QList<int>({box.leftTwips, box.topTwips, box.widthTwips, box.heightTwips}),
                 QList<int>({-1000 + 1800, 0, 1800, 576}));
    }

    void sizeByShareOfThePage() {
        // A rule down the page Word 2010 sizes at 105% of the margins' height and a box at half the
        // page's width: the extents it wrote are stale. The page is Letter with one-inch margins.
        const auto shape = [](const QByteArray& sizes, const QByteArray& geometry) {
            return "<w:r><w:drawing><wp:anchor behindDoc=\"1\" "
                   "xmlns:wp14=\"http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing\">"
                   "<wp:positionH relativeFrom=\"page\"><wp:posOffset>2642235</wp:posOffset></wp:positionH>"
                   "<wp:positionV relativeFrom=\"page\"><wp:align>center</wp:align></wp:positionV><wp:extent "
                   "cx=\"27432\" cy=\"1257300\"/><wp:wrapNone/><a:graphic><a:graphicData "
                   "uri=\"http://schemas.microsoft.com/office/word/2010/"
                   "wordprocessingShape\"><wps:wsp><wps:spPr>"
                   "<a:prstGeom prst=\"" +
                   geometry +
                   "\"/><a:ln w=\"6350\"><a:solidFill><a:srgbClr "
                   "val=\"B2B2B2\"/></a:solidFill></a:ln></wps:spPr>"
                   "<wps:bodyPr/></wps:wsp></a:graphicData></a:graphic>" +
                   sizes + "</wp:anchor></w:drawing></w:r>";
        };
        const Template t = readBody(paragraph(
            shape("<wp14:sizeRelV "
                  "relativeFrom=\"margin\"><wp14:pctHeight>105000</wp14:pctHeight></wp14:sizeRelV>",
                  "line") +
            shape("<wp14:sizeRelH relativeFrom=\"page\"><wp14:pctWidth>50000</wp14:pctWidth></wp14:sizeRelH>",
                  "rect") +
            run("Text")));
        QCOMPARE(t.floats.size(), size_t(2));
        const Floating& rule = t.floats[0];
        QCOMPARE(rule.heightTwips, (15840 - 2880) * 105 / 100);
        // Centred on the page at its own height.
        QCOMPARE(rule.topTwips, (15840 - rule.heightTwips) / 2);
        QCOMPARE(rule.widthTwips, 43);
        QCOMPARE(t.floats[1].widthTwips, 12240 / 2);
        QCOMPARE(t.floats[1].heightTwips, 1980);
    }

    // A paragraph names a style by its name where no style has that id, and a style without an id
    // (as reporting tools write a style for empty layout cells, with no type either) goes by its name:
    // its empty paragraphs are a point high, not a line of the default size.
    void stylesFoundByName() {
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "</w:style><w:style><w:name w:val=\"EmptyCellLayoutStyle\"/><w:basedOn w:val=\"Normal\"/><w:rPr>"
            "<w:sz w:val=\"2\"/></w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Wide\"><w:name "
            "w:val=\"Wide Spacing\"/><w:pPr><w:spacing w:after=\"480\"/></w:pPr></w:style></w:styles>";
        const Template t = readBody(paragraph({}, "<w:pStyle w:val=\"EmptyCellLayoutStyle\"/>") +
                                        paragraph(run("Wide"), "<w:pStyle w:val=\"Wide Spacing\"/>") +
                                        paragraph(run("Unknown"), "<w:pStyle w:val=\"Nowhere\"/>"),
                                    {{"styles", "styles.xml", styles}});
        QCOMPARE(t.body.blocks.size(), size_t(3));
        const auto at = [&](size_t i) -> const Paragraph& {
            return std::get<Paragraph>(t.body.blocks.at(i));
        };
        QCOMPARE(t.formats[size_t(at(0).markFormat)].halfPoints, 2);
        QCOMPARE(at(1).format.afterTwips, 480);
        QCOMPARE(at(2).format.afterTwips, 0);
        QCOMPARE(t.formats[size_t(at(2).runs.front().format)].halfPoints, 22);
    }

    void characterDefaultsWhereTheStylesGiveNone() {
        // LibreOffice prints Calibri at 11 points where the styles give no character defaults, or there
        // are no styles, but Word's Times New Roman at 10 where the defaults are there and leave them out.
        const QByteArray normal =
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "</w:style>";
        const auto styles = [&](const QByteArray& defaults) {
            return std::vector<Related>{
                {"styles", "styles.xml", "<w:styles " + kW + ">" + defaults + normal + "</w:styles>"}};
        };
        const struct {
            std::vector<Related> related;
            int halfPoints;
            const char* family;
        } cases[] = {
            {{}, 22, "Calibri"},
            {styles({}), 22, "Calibri"},
            {styles("<w:docDefaults><w:pPrDefault><w:pPr/></w:pPrDefault></w:docDefaults>"), 22, "Calibri"},
            {styles("<w:docDefaults><w:rPrDefault><w:rPr/></w:rPrDefault></w:docDefaults>"), 20,
             "Times New Roman"},
            {styles("<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\"/>"
                    "</w:rPr></w:rPrDefault></w:docDefaults>"),
             20, "Arial"},
        };
        for (const auto& c : cases) {
            const Template t = readBody(paragraph(run("Text")), c.related);
            const Paragraph& p = std::get<Paragraph>(t.body.blocks.at(0));
            QCOMPARE(t.formats[size_t(p.runs.front().format)].halfPoints, c.halfPoints);
            QCOMPARE(t.defaultFamily, QLatin1String(c.family));
        }
    }

    void stylesAndThemeFonts() {
        // Defaults, then a style chain: each style over the one it is based on, theme fonts by name.
        const QByteArray theme = "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                                 "name=\"T\"><a:themeElements>"
                                 "<a:fontScheme name=\"F\"><a:majorFont><a:latin typeface=\"Liberation "
                                 "Serif\"/></a:majorFont><a:minorFont>"
                                 "<a:latin typeface=\"Liberation "
                                 "Sans\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>";
        const QByteArray styles =
            "<w:styles " + kW +
            "><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\" "
            "w:hAnsiTheme=\"minorHAnsi\"/>"
            "<w:sz w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" "
            "w:line=\"259\" "
            "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
            "w:val=\"Normal\"/></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Base\"><w:basedOn w:val=\"Normal\"/><w:pPr><w:jc "
            "w:val=\"center\"/>"
            "<w:spacing w:before=\"240\" w:line=\"300\" "
            "w:lineRule=\"exact\"/><w:contextualSpacing/></w:pPr><w:rPr><w:b/><w:sz "
            "w:val=\"28\"/></w:rPr></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Derived\"><w:basedOn w:val=\"Base\"/><w:pPr><w:ind "
            "w:left=\"720\" "
            "w:hanging=\"360\"/><w:tabs><w:tab w:val=\"right\" w:leader=\"dot\" "
            "w:pos=\"9000\"/></w:tabs><w:pBdr><w:bottom "
            "w:val=\"single\" w:sz=\"4\" w:space=\"1\" w:color=\"FF0000\"/></w:pBdr></w:pPr>"
            "<w:rPr><w:i/><w:rFonts w:asciiTheme=\"majorHAnsi\" "
            "w:hAnsiTheme=\"majorHAnsi\"/></w:rPr></w:style>"
            "<w:style w:type=\"character\" w:styleId=\"Loud\"><w:rPr><w:caps/><w:color "
            "w:val=\"C00000\"/></w:rPr></w:style>"
            "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn "
            "w:val=\"Loop\"/></w:style></w:styles>";
        const Template t = readBody(
            paragraph(run("Plain")) +
                paragraph(run("Derived") + run("loud", "<w:rStyle w:val=\"Loud\"/>"),
                          "<w:pStyle w:val=\"Derived\"/>") +
                paragraph(run("again"), "<w:pStyle w:val=\"Derived\"/>") +
                paragraph(run("circle"),
                          "<w:pStyle w:val=\"Loop\"/><w:spacing w:line=\"360\" w:lineRule=\"atLeast\"/>"),
            {{"theme", "theme/theme1.xml", theme}, {"styles", "styles.xml", styles}});
        QCOMPARE(t.defaultFamily, QStringLiteral("Liberation Sans"));
        const auto paragraphAt = [&](size_t i) -> const Paragraph& {
            return std::get<Paragraph>(t.body.blocks.at(i));
        };
        const CharFormat& plain = t.formats[size_t(paragraphAt(0).runs[0].format)];
        QCOMPARE(plain.family, QStringLiteral("Liberation Sans"));
        QCOMPARE(plain.halfPoints, 22);
        QVERIFY(!plain.bold);
        QCOMPARE(paragraphAt(0).format.afterTwips, 160);
        QVERIFY(paragraphAt(0).format.lineMultiple);
        // Word's 1.08 lines, kept as the twips of the 108% LibreOffice reads them as.
        QCOMPARE(paragraphAt(0).format.lineTwips, 260);
        const CharFormat& derived = t.formats[size_t(paragraphAt(1).runs[0].format)];
        QCOMPARE(derived.family, QStringLiteral("Liberation Serif"));
        QVERIFY(derived.bold && derived.italic);
        QCOMPARE(derived.halfPoints, 28);
        const CharFormat& loud = t.formats[size_t(paragraphAt(1).runs[1].format)];
        QVERIFY(loud.bold && loud.caps == CharFormat::Caps::All);
        QCOMPARE(loud.color, QColor(0xC0, 0, 0));
        const ParaFormat& f = paragraphAt(1).format;
        QCOMPARE(f.align, ParaFormat::Center);
        QCOMPARE(f.leftTwips, 720);
        QCOMPARE(f.firstTwips, -360);
        QCOMPARE(f.lineTwips, -300);
        QCOMPARE(f.tabs.size(), size_t(1));
        QCOMPARE(f.tabs[0].twips, 9000);
        QCOMPARE(f.tabs[0].kind, TabStop::Right);
        QCOMPARE(f.tabs[0].leader, TabStop::Dots);
        QCOMPARE(edge(f.borders, Side::Bottom).color, QColor(255, 0, 0));
        QCOMPARE(edge(f.borders, Side::Bottom).spaceTwips, 20);
        // Contextual spacing: no space between the two paragraphs of one style.
        QCOMPARE(paragraphAt(1).format.beforeTwips, 240);
        QCOMPARE(paragraphAt(1).format.afterTwips, 0);
        QCOMPARE(paragraphAt(2).format.beforeTwips, 0);
        QCOMPARE(paragraphAt(3).format.lineTwips, 360);
        QVERIFY(!paragraphAt(3).format.lineMultiple);
    }

    void automaticSpacingInLists() {
        // Paragraphs spaced automatically (as a web page's) keep their 14 points around a list, but
        // none between the items of one list; an item of another list keeps its space.
        const QByteArray numbering =
            "<w:numbering " + kW +
            "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt "
            "w:val=\"decimal\"/><w:lvlText "
            "w:val=\"%1.\"/></w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId "
            "w:val=\"0\"/></w:num>"
            "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
        const QByteArray spacing = "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:after=\"100\" "
                                   "w:afterAutospacing=\"1\"/>";
        const auto item = [&](const char* num, const char* text) {
            return paragraph(run(text), QByteArray("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"") + num +
                                            "\"/></w:numPr>" + spacing);
        };
        const Template t = readBody(paragraph(run("Intro"), spacing) + item("1", "a") + item("1", "b") +
                                        item("2", "c") + paragraph(run("After"), spacing),
                                    {{"numbering", "numbering.xml", numbering}});
        const auto at = [&](size_t i) { return std::get<Paragraph>(t.body.blocks.at(i)).format; };
        QCOMPARE(at(0).afterTwips, 280);
        QCOMPARE(at(1).beforeTwips, 280);
        QCOMPARE(at(1).afterTwips, 0);
        QCOMPARE(at(2).beforeTwips, 0);
        QCOMPARE(at(2).afterTwips, 280);
        QCOMPARE(at(3).beforeTwips, 280);
        QCOMPARE(at(3).afterTwips, 280);
        QCOMPARE(at(4).beforeTwips, 280);
    }

    void absoluteAndBarTabs() {
        // LibreOffice sets an absolute tab at the paragraph's own stops, whatever its alignment, and
        // gives it no stop of its own; one aligned left starts a new line after text, and is a plain
        // tab where the paragraph starts. A bar tab is a rule, never a stop.
        const QByteArray ptab = "<w:r><w:ptab w:relativeTo=\"%1\" w:alignment=\"%2\" w:leader=\"%3\"/></w:r>";
        const auto tab = [&](const char* relative, const char* align, const char* leader) {
            return QString::fromLatin1(ptab)
                .arg(QLatin1String(relative), QLatin1String(align), QLatin1String(leader))
                .toLatin1();
        };
        const Template t = read(package(
            document(paragraph(run("Offer") + tab("indent", "center", "hyphen") + run("Mid") +
                                   tab("indent", "right", "none") + run("End"),
                               "<w:ind w:left=\"1000\" w:right=\"2000\"/>") +
                         paragraph(run("Name") + "<w:r><w:tab/></w:r>" + run("Dealer"),
                                   "<w:tabs><w:tab w:val=\"bar\" w:pos=\"2880\"/><w:tab w:val=\"left\" "
                                   "w:pos=\"3600\"/></w:tabs>") +
                         paragraph(tab("margin", "left", "none") + run("Model") +
                                   tab("indent", "left", "dot") + run("Price") +
                                   tab("margin", "left", "none") + run("Term")),
                     section("<w:headerReference w:type=\"default\" r:id=\"rId1\"/>")),
            {{"header", "header1.xml",
              "<w:hdr " + kW + ">" +
                  paragraph(run("Ford City") + tab("margin", "center", "none") + run("Service") +
                                tab("margin", "right", "dot") + run("Page 1"),
                            "<w:tabs><w:tab w:val=\"center\" w:pos=\"4680\"/></w:tabs>") +
                  "</w:hdr>"}}));
        const Paragraph& header = firstParagraph(t.header);
        QCOMPARE(paragraphs(t, t.header), QStringList{"Ford City\tService\tPage 1"});
        QCOMPARE(header.format.tabs.size(), size_t(1));
        QCOMPARE(header.format.tabs[0].twips, 4680);
        QCOMPARE(header.format.tabs[0].leader, TabStop::NoLeader);
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"Offer\tMid\tEnd", "Name\tDealer", "\tModel/Price/Term"}));
        QVERIFY(firstParagraph(t.body).format.tabs.empty());
        const Paragraph& barred = std::get<Paragraph>(t.body.blocks.at(1));
        QCOMPARE(barred.format.barTabs, std::vector<int>{2880});
        QCOMPARE(barred.format.tabs.size(), size_t(1));
        QCOMPARE(barred.format.tabs[0].twips, 3600);
    }

    void paragraphsAndRuns() {
        // Page breaks inside a paragraph, hidden text, content controls, symbols, run properties.
        const Template t = readBody(
            paragraph(
                run("before") + "<w:r><w:br w:type=\"page\"/><w:t>after</w:t><w:br/><w:t>line</w:t></w:r>" +
                    run("hidden", "<w:vanish/>") + "<w:sdt><w:sdtContent>" + run(" control") +
                    "</w:sdtContent></w:sdt><w:r><w:sym w:font=\"Wingdings\" w:char=\"F0FC\"/></w:r>" +
                    run("x", "<w:vertAlign w:val=\"superscript\"/><w:u "
                             "w:val=\"single\"/><w:strike/><w:smallCaps/><w:spacing w:val=\"-15\"/>"
                             "<w:position w:val=\"4\"/><w:w w:val=\"80\"/>") +
                    "<w:del><w:r><w:delText>gone</w:delText></w:r></w:del><w:ins>" + run("new") + "</w:ins>",
                "<w:keepNext/><w:keepLines/><w:shd w:val=\"clear\" w:fill=\"FFFF00\"/><w:spacing "
                "w:beforeAutospacing=\"1\"/>") +
            "<w:sdt><w:sdtContent>" + paragraph(run("block control")) + "</w:sdtContent></w:sdt>" +
            paragraph("<w:r><w:ruby><w:rubyPr/><w:rt>" + run("guide") + "</w:rt><w:rubyBase>" + run("base") +
                      "</w:rubyBase></w:ruby></w:r>"));
        QCOMPARE(paragraphs(t, t.body),
                 (QStringList{"before", QStringLiteral("after/line control\u2714xgonenew"), "block control",
                              "base"}));
        const Paragraph& second = std::get<Paragraph>(t.body.blocks.at(1));
        QVERIFY(second.format.pageBreakBefore);
        QVERIFY(!firstParagraph(t.body).format.pageBreakBefore);
        QVERIFY(second.format.keepWithNext && second.format.keepTogether);
        QCOMPARE(second.format.shading, QColor(255, 255, 0));
        QCOMPARE(second.format.beforeTwips, 280);
        const CharFormat* x = nullptr;
        for (const Run& r : second.runs)
            if (r.kind == Run::Text && r.text == QLatin1String("x"))
                x = &t.formats[size_t(r.format)];
        QVERIFY(x);
        QVERIFY(x->script == CharFormat::Script::Super && x->underline && x->strike &&
                x->caps == CharFormat::Caps::Small);
        QCOMPARE(QList<int>({x->spacingTwips, x->raiseHalfPoints, x->widthPercent}),
                 QList<int>({-15, 4, 80}));
    }

    // A character of Word's symbol fonts is the symbol it pictures (a letterhead's telephone and
    // envelope, a form's check box), printed in the symbol face; one of another font prints as written.
    void symbolsOfNamedFonts() {
        const auto sym = [](const char* font, const char* code) {
            return QByteArray("<w:r><w:sym w:font=\"") + font + "\" w:char=\"" + code + "\"/></w:r>";
        };
        const Template t = readBody(paragraph(sym("Wingdings", "F028") + sym("Wingdings", "F02A") +
                                              sym("Wingdings", "F0FE") + sym("Wingdings", "004A") +
                                              sym("Symbol", "F061") + sym("Arial", "2605")));
        const Paragraph& p = firstParagraph(t.body);
        QCOMPARE(paragraphs(t, t.body), QStringList{QString::fromUtf8("☎✉☑☺α★")});
        QStringList families;
        for (const Run& r : p.runs)
            families << r.text + QLatin1Char('=') + t.formats.at(size_t(r.format)).family;
        QCOMPARE(families.size(), 2);
        QVERIFY(families.front().endsWith(QLatin1String("=OpenSymbol")));
        QVERIFY(!families.back().endsWith(QLatin1String("=OpenSymbol")));
    }

    void underlineAndStrikeKinds() {
        const Template t = readBody(
            paragraph(run("twice", "<w:u w:val=\"double\"/>") + run("heavy", "<w:u w:val=\"thick\"/>") +
                      run("dots", "<w:u w:val=\"dotted\"/>") + run("dashes", "<w:u w:val=\"dashLong\"/>") +
                      run("waves", "<w:u w:val=\"wave\"/>") + run("words", "<w:u w:val=\"words\"/>") +
                      run("plain", "<w:u w:val=\"single\"/>") + run("none", "<w:u w:val=\"none\"/>") +
                      run("struck", "<w:dstrike/>") + run("once", "<w:strike/>")));
        using Line = CharFormat::Line;
        std::map<QString, CharFormat> f;
        for (const Run& r : firstParagraph(t.body).runs)
            f[r.text] = t.formats[size_t(r.format)];
        const std::vector<std::pair<QString, Line>> kinds = {
            {"twice", Line::Double}, {"heavy", Line::Thick}, {"dots", Line::Dotted}, {"dashes", Line::Dashed},
            {"waves", Line::Wave},   {"words", Line::Words}, {"plain", Line::Single}};
        for (const auto& [text, kind] : kinds) {
            QVERIFY2(f[text].underline, qPrintable(text));
            QVERIFY2(f[text].underlineStyle == kind, qPrintable(text));
        }
        QVERIFY(!f["none"].underline);
        QVERIFY(f["struck"].strike && f["struck"].doubleStrike);
        QVERIFY(f["once"].strike && !f["once"].doubleStrike);
    }

    void pairedAndTripleRules() {
        const Template t = readBody(
            paragraph(run("Ruled"), "<w:pBdr><w:top w:val=\"thinThickSmallGap\" w:sz=\"12\"/><w:left "
                                    "w:val=\"thickThinLargeGap\" w:sz=\"12\"/><w:bottom w:val=\"triple\" "
                                    "w:sz=\"6\"/><w:right w:val=\"single\" w:sz=\"12\"/></w:pBdr>"));
        const Borders& b = firstParagraph(t.body).format.borders;
        QCOMPARE(edge(b, Side::Top).style, Border::Double);
        QCOMPARE(edge(b, Side::Top).widthTwips, 18);
        QCOMPARE(edge(b, Side::Left).widthTwips, 30);
        QCOMPARE(edge(b, Side::Bottom).style, Border::Double);
        QCOMPARE(edge(b, Side::Bottom).widthTwips, 25);
        QCOMPARE(edge(b, Side::Right).style, Border::Single);
        QCOMPARE(edge(b, Side::Right).widthTwips, 30);
    }

    void pageBordersAndLineNumbers() {
        const Template t = read(package(document(
            paragraph(run("Ruled")),
            section("<w:pgBorders w:offsetFrom=\"page\"><w:top w:val=\"double\" w:sz=\"6\" w:space=\"24\"/>"
                    "<w:left w:val=\"single\" w:sz=\"8\" w:space=\"20\" w:color=\"FF0000\"/></w:pgBorders>"
                    "<w:lnNumType w:countBy=\"5\" w:start=\"9\" w:distance=\"567\" "
                    "w:restart=\"continuous\"/>"))));
        const Border& top = edge(t.page.pageBorders, Side::Top);
        QCOMPARE(top.style, Border::Double);
        QCOMPARE(top.spaceTwips, 480);
        QCOMPARE(edge(t.page.pageBorders, Side::Left).color, QColor(255, 0, 0));
        QVERIFY(!edge(t.page.pageBorders, Side::Bottom).visible());
        QVERIFY(!t.page.pageBordersFromText);
        QCOMPARE(t.page.lineNumberStep, 5);
        QCOMPARE(t.page.lineNumberStart, 10);
        QCOMPARE(t.page.lineNumberGapTwips, 567);
        QVERIFY(t.page.lineNumberRestart == PageSetup::Restart::Continuous);
        const Template plain = readBody(paragraph(run("Plain")));
        QCOMPARE(plain.page.lineNumberStep, 0);
        QVERIFY(!edge(plain.page.pageBorders, Side::Top).visible());
    }

    void kerningOfRuns() {
        // Not said, turned off, from a size on.
        const Template t = readBody(paragraph(run("said") + run("off", "<w:kern w:val=\"0\"/>") +
                                              run("from", "<w:kern w:val=\"28\"/>")));
        QList<int> kerning;
        for (const Run& r : firstParagraph(t.body).runs)
            kerning << t.formats[size_t(r.format)].kerningFrom;
        QCOMPARE(kerning, (QList<int>{-1, 0, 28}));
        // Defaults of the document's own leave it off where they do not say.
        const Template given =
            readBody(paragraph(run("off") + run("from", "<w:kern w:val=\"28\"/>")),
                     {{"styles", "styles.xml",
                       QByteArray("<w:styles ") + kW +
                           "><w:docDefaults><w:rPrDefault><w:rPr/></w:rPrDefault></w:docDefaults>"
                           "</w:styles>"}});
        kerning.clear();
        for (const Run& r : firstParagraph(given.body).runs)
            kerning << given.formats[size_t(r.format)].kerningFrom;
        QCOMPARE(kerning, (QList<int>{0, 28}));
    }

    void highlightAndShadingBehindLetters() {
        // A highlight shows over the run's shading, whichever comes first; a paragraph mark's shows on no
        // letter; the letters are printed on the colour.
        const Template t = readBody(paragraph(
            run("Marked", "<w:highlight w:val=\"yellow\"/><w:shd w:val=\"clear\" w:fill=\"00FF00\"/>") +
                run("Shaded", "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"D9D9D9\"/>") +
                run("Plain", "<w:highlight w:val=\"none\"/><w:shd w:val=\"clear\" w:fill=\"auto\"/>"),
            "<w:rPr><w:highlight w:val=\"red\"/></w:rPr>"));
        const auto background = [&](const QString& text) {
            for (const Run& r : firstParagraph(t.body).runs)
                if (r.kind == Run::Text && r.text == text)
                    return t.formats[size_t(r.format)].background;
            return QColor(Qt::magenta);
        };
        QCOMPARE(background(QStringLiteral("Marked")), QColor(255, 255, 0));
        QCOMPARE(background(QStringLiteral("Shaded")), QColor(0xD9, 0xD9, 0xD9));
        QVERIFY(!background(QStringLiteral("Plain")).isValid());
        QVERIFY(!t.formats[size_t(firstParagraph(t.body).markFormat)].background.isValid());

        Merger merger(std::make_shared<const Template>(t), nullptr);
        const PageCopy copy = merger.next();
        QSet<QRgb> behind;
        for (auto it = copy.body->begin().begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (it.fragment().text() == QLatin1String("Marked"))
                QCOMPARE(f.background().color(), QColor(255, 255, 0));
            if (f.background().style() != Qt::NoBrush)
                behind.insert(f.background().color().rgb());
        }
        QCOMPARE(behind, (QSet<QRgb>{QColor(255, 255, 0).rgb(), QColor(0xD9, 0xD9, 0xD9).rgb()}));
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
