// Word's text as Word shows it: the code pages of its fonts and documents, the faces it names, its list
// numbers, its notes and its automatic paragraph spacing.
#include "platform/Fonts.h"
#include "tests/support/Glyphs.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
#include <QRawFont>
#include <QTextBlock>
#include <QtTest>

using namespace wordproc;

namespace {

// A document as Word writes its start, with the font table given.
Template readWith(const QByteArray& fonts, const QByteArray& body, const QByteArray& charset = "\\ansi") {
    return readRtf("{\\rtf1" + charset + "\\deff0{\\fonttbl" + fonts + "}" + body + "}", "t.rtf");
}

const QByteArray kFonts = "{\\f0\\froman\\fcharset0\\fprq2 Times New Roman;}"
                          "{\\f1\\fswiss\\fcharset238\\fprq2 Arial CE;}"
                          "{\\f2\\froman\\fcharset204\\fprq2 Times New Roman Cyr;}"
                          "{\\f3\\fswiss\\fcharset161 Arial Greek;}"
                          "{\\f4\\fnil\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}"
                          "{\\f5\\ftech\\fcharset2 Symbol;}{\\f6\\fnil\\fcharset2 Wingdings;}"
                          "{\\f7\\fswiss Arial;}{\\f8\\fswiss\\fcharset0\\cpg1250 Arial;}";

QStringList paragraphTexts(const Story& story) {
    QStringList texts;
    for (const Block& b : story.blocks) {
        QString s;
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            for (const Run& r : p->runs)
                s += r.kind == Run::Tab ? QStringLiteral("\t") : r.text;
        texts << s;
    }
    return texts;
}

const CharFormat* formatOf(const Template& t, const QString& text) {
    for (const Block& b : t.body.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            for (const Run& r : p->runs)
                if (r.text.contains(text))
                    return &t.formats.at(size_t(r.format));
    return nullptr;
}

QString familyOf(const Template& t, const QString& text) {
    for (const Block& b : t.body.blocks)
        if (const Paragraph* p = std::get_if<Paragraph>(&b))
            for (const Run& r : p->runs)
                if (r.text.contains(text))
                    return t.formats.at(size_t(r.format)).family;
    return QStringLiteral("(none)");
}

} // namespace

class TestRtfText : public QObject {
    Q_OBJECT

private slots:
    // Each font's character set decodes its bytes, escaped or raw; a font without one is in the
    // document's code page, and one in the ANSI set stays in Windows-1252 whatever the document says.
    void textDecodesByTheFontsCharacterSet() {
        const Template t = readWith(kFonts,
                                    "\\pard\\plain\\f1 \\'c8l\\'e1nek \xc8\xed\\par "
                                    "\\pard\\plain\\f2 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\par "
                                    "\\pard\\plain\\f3 \\'e1\\'e2\\'e3\\par "
                                    "\\pard\\plain\\f4 \\'82\\'a0\\'82\\'a2 \x82\xa4\\par "
                                    "\\pard\\plain\\f4\\uc2 \\u26085\\'93\\'fa\\u26412\\'96\\'7bx\\par "
                                    "\\pard\\plain\\f0 \\'c8\\'e9\\par "
                                    "\\pard\\plain\\f8 \\'b9\\'9c\\par ",
                                    "\\ansi\\ansicpg1251");
        QCOMPARE(paragraphTexts(t.body),
                 QStringList({QString::fromUtf8("Článek Čí"), QString::fromUtf8("Привет"),
                              QString::fromUtf8("αβγ"), QString::fromUtf8("あい う"),
                              QString::fromUtf8("日本x"), QString::fromUtf8("Èé"), QString::fromUtf8("ąś")}));
        // Word's names for a face in another character set name the face; names decode by their set.
        QCOMPARE(familyOf(t, QString::fromUtf8("Článek")), QStringLiteral("Arial"));
        QCOMPARE(familyOf(t, QString::fromUtf8("Привет")), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(t, QString::fromUtf8("あい")), QString::fromUtf8("ＭＳ 明朝"));
        // Older Windows set the suffix in capitals ("Times New Roman CYR").
        const Template upper = readWith("{\\f0\\froman\\fcharset204 Times New Roman CYR;}{\\f1 Arial CE;}",
                                        "\\pard\\plain\\f0 \\'cf{\\f1 x}\\par ");
        QCOMPARE(familyOf(upper, QString::fromUtf8("П")), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(upper, QStringLiteral("x")), QStringLiteral("Arial"));
    }

    void documentCodePages() {
        // Text in a font without a character set, or before any font, is in the document's code page.
        const Template cyr =
            readWith("{\\f7\\fswiss Arial;}", "\\pard \\'cf\\'f0\\'e8\\par\\pard\\plain\\f7 \\'e2\\par ",
                     "\\ansi\\ansicpg1251");
        QCOMPARE(paragraphTexts(cyr.body), QStringList({QString::fromUtf8("При"), QString::fromUtf8("в")}));
        // Mac Roman and the two DOS code pages.
        const Template mac =
            readWith("{\\f7\\fswiss Helvetica;}", "\\pard\\f7 Caf\\'8e \\'a5 \\'d2q\\'d3\\par ", "\\mac");
        QCOMPARE(paragraphTexts(mac.body), QStringList({QString::fromUtf8("Café • “q”")}));
        const Template pc = readWith("{\\f7\\fswiss Arial;}", "\\pard\\f7 \\'82\\'e1\\par ", "\\pc");
        QCOMPARE(paragraphTexts(pc.body), QStringList({QString::fromUtf8("éß")}));
        const Template pca = readWith("{\\f7\\fswiss Arial;}", "\\pard\\f7 \\'82\\'9d\\par ", "\\pca");
        QCOMPARE(paragraphTexts(pca.body), QStringList({QString::fromUtf8("éØ")}));
        // A file naming code pages by the dozen gets tables for the first few, Windows-1252 after.
        QByteArray many;
        for (int i = 0; i < 40; ++i)
            many += "{\\f" + QByteArray::number(i + 10) + "\\cpg" + QByteArray::number(2000 + i) + " Arial;}";
        const Template crowded = readWith(many + "{\\f60\\cpg1251 Arial;}{\\f61\\fcharset204 Arial;}",
                                          "\\pard\\f60 \\'cf{\\f61 \\'cf}\\par ");
        QCOMPARE(paragraphTexts(crowded.body), QStringList({QString::fromUtf8("ÏÏ")}));
    }

    // Symbol and Wingdings bytes are the symbols they show; a Unicode character stands where given,
    // and its fallback bytes are skipped whole.
    void symbolsAndUnicode() {
        const Template t =
            readWith(kFonts, "\\pard{\\f5 \\'b7\\tab a\\'b1}{\\f6 \\'a7\\'fc(*J}{\\f5 \\u-3913 ?}\\par "
                             "\\pard\\plain\\f1\\uc1 \\u268\\'c8x\\uc0 \\u269 y\\par ");
        QCOMPARE(paragraphTexts(t.body),
                 QStringList({QString::fromUtf8("•\tα±▪✔☎✉☺•"), QString::fromUtf8("Čxčy")}));
    }

    // A character beyond the first 65536 comes as two \u, each with its fallback; half a pair alone is
    // no character.
    void charactersBeyondTheBasicPlane() {
        const Template t = readWith(kFonts, "\\pard\\uc1 a\\u-10240?\\u-8398?b\\u-8398?c\\u-10240?\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({QString::fromUtf8("a\U00010332bc")}));
    }

    // Word works out what a SYMBOL field shows from its code (the character, in decimal or hex, its
    // font and size), and what a check box shows from its state; neither waits for the merge.
    void symbolAndCheckBoxFieldsShowTheirCharacter() {
        const auto field = [](const QByteArray& code, const QByteArray& result = {}) {
            return "{\\field{\\*\\fldinst " + code + "}{\\fldrslt " + result + "}}";
        };
        const Template t = readWith(
            kFonts, "\\pard " + field("SYMBOL 183 \\\\f \"Symbol\" \\\\s 14") +
                        field("SYMBOL 0x61 \\\\f Symbol") + field("SYMBOL 8364 \\\\u", "{\\f5 x}") +
                        field("SYMBOL 200") + field("SYMBOL 74 \\\\f \"Wingdings\"") + "\\par \\pard " +
                        field("FORMCHECKBOX {\\*\\formfield{\\fftype1\\ffres25\\ffdefres0{\\*\\ffname A}}}") +
                        field("FORMCHECKBOX {\\*\\formfield{\\fftype1\\ffres1\\ffdefres0}}") +
                        field("FORMCHECKBOX {\\*\\formfield{\\fftype1\\ffres25\\ffdefres1}}") + "\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({QString::fromUtf8("•α€È☺"), QString()}));
        QVERIFY(t.fields.empty());
        // A check box is a box, ticked or not, not a character.
        QList<int> boxes;
        for (const Run& r : std::get<Paragraph>(t.body.blocks.at(1)).runs)
            boxes << (r.kind == Run::CheckBox ? r.index : -1);
        QCOMPARE(boxes, QList<int>({0, 1, 1}));
        QCOMPARE(familyOf(t, QString::fromUtf8("•")), QStringLiteral("Symbol"));
        QCOMPARE(familyOf(t, QString::fromUtf8("☺")), QStringLiteral("Wingdings"));
        const Paragraph& p = std::get<Paragraph>(t.body.blocks.front());
        QCOMPARE(t.formats.at(size_t(p.runs.front().format)).halfPoints, 28);
    }

    // A button shows the text its code gives after the macro's name, where Word stored no result; a
    // stored result stands.
    void automaticNumberFieldsCount() {
        // AUTONUM and AUTONUMLGL count on together, each number with a period or the separator \s gives;
        // other fields stay fields.
        const Template t =
            readWith(kFonts, "\\pard{\\field{\\*\\fldinst AUTONUM }{\\fldrslt }} One\\par "
                             "\\pard{\\field{\\*\\fldinst {AUTONUMLGL }}{\\fldrslt }} Two\\par "
                             "\\pard{\\field{\\*\\fldinst AUTONUM \\\\s ) }{\\fldrslt }} Three\\par "
                             "\\pard{\\field{\\*\\fldinst DATE }{\\fldrslt 5.1.2024}} Four\\par ");
        QCOMPARE(paragraphTexts(t.body), (QStringList{"1. One", "2. Two", "3) Three", " Four"}));
        QCOMPARE(t.fields.size(), size_t(1));
    }

    void dropDownFieldsShowTheirChoice() {
        // The entry \ffres chooses, the default one (\ffdefres) when it says 25; no entry, no text.
        const QByteArray drop = "\\pard{\\field{\\*\\fldinst {FORMDROPDOWN {\\*\\formfield{\\fftype2";
        const Template t = readWith(
            kFonts,
            drop +
                "\\ffres1\\ffname A{\\*\\ffl Alpha}{\\*\\ffl Beta}{\\*\\ffl Gamma}}}}}{\\fldrslt }}\\par " +
                drop +
                "\\ffres25\\ffdefres2{\\*\\ffl One}{\\*\\ffl Two}{\\*\\ffl Three}}}}}{\\fldrslt }}\\par " +
                drop + "\\ffres25{\\*\\ffl First}{\\*\\ffl Second}}}}}{\\fldrslt }}\\par " + drop +
                "\\ffres4{\\*\\ffl Only}}}}}{\\fldrslt }} after\\par ");
        QCOMPARE(paragraphTexts(t.body), (QStringList{"Beta", "Three", "First", " after"}));
    }

    void dropDownEntriesKeepTheirLetters() {
        // Entries with letters outside ASCII, as \'xx in the code page or as \u with a fallback to skip.
        const QByteArray drop = "\\pard{\\field{\\*\\fldinst {FORMDROPDOWN {\\*\\formfield{\\fftype2";
        const QByteArray entries = "{\\*\\ffl Caf\\'e9 cr\\'e8me}{\\*\\ffl \\uc1\\u268 Cl\\u225 ?nek}}}}}";
        const Template t = readWith(kFonts, drop + "\\ffres0" + entries + "{\\fldrslt }}\\par " + drop +
                                                "\\ffres1" + entries + "{\\fldrslt }}\\par ");
        QCOMPARE(paragraphTexts(t.body),
                 (QStringList{QStringLiteral("Caf\u00e9 cr\u00e8me"), QStringLiteral("\u010cl\u00e1nek")}));
    }

    void underlineAndStrikeKinds() {
        // Each kind as Word names it; \ulnone ends the underline, \striked0 the double strike.
        const Template t =
            readWith(kFonts, "\\pard{\\uldb twice}{\\ulth heavy}{\\uld dots}{\\uldashd dashes}"
                             "{\\ulwave waves}{\\ulw words}{\\ul plain}{\\ulw\\ulnone none}"
                             "{\\striked1 struck}{\\striked1\\striked0 unstruck}{\\strike once}\\par ");
        using Line = CharFormat::Line;
        const std::vector<std::pair<const char*, Line>> kinds = {
            {"twice", Line::Double}, {"heavy", Line::Thick}, {"dots", Line::Dotted}, {"dashes", Line::Dashed},
            {"waves", Line::Wave},   {"words", Line::Words}, {"plain", Line::Single}};
        for (const auto& [text, kind] : kinds) {
            const CharFormat* f = formatOf(t, QLatin1String(text));
            QVERIFY2(f && f->underline, text);
            QVERIFY2(f->underlineStyle == kind, text);
        }
        QVERIFY(!formatOf(t, QStringLiteral("none"))->underline);
        QVERIFY(formatOf(t, QStringLiteral("struck"))->strike &&
                formatOf(t, QStringLiteral("struck"))->doubleStrike);
        QVERIFY(!formatOf(t, QStringLiteral("unstruck"))->strike);
        QVERIFY(!formatOf(t, QStringLiteral("unstruck"))->doubleStrike);
        QVERIFY(formatOf(t, QStringLiteral("once"))->strike &&
                !formatOf(t, QStringLiteral("once"))->doubleStrike);
    }

    void buttonFieldsShowTheirText() {
        const Template t =
            readWith(kFonts, "\\pard ({\\field{\\*\\fldinst MACROBUTTON NoMacro [Click here and type "
                             "name] }{\\fldrslt }})({\\field{\\*\\fldinst {MACROBUTTON  Go [Name]}}"
                             "{\\fldrslt {\\b Stored}}})\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({"([Click here and type name])()"}));
        QCOMPARE(t.fields.size(), size_t(1));
        QCOMPARE(t.fields.at(0).result.at(0).text, QStringLiteral("Stored"));
    }

    // A FILENAME field names the template being printed, unless it is locked.
    void fileNameFieldsShowTheTemplate() {
        const QByteArray body = "{\\fonttbl{\\f0 Arial;}}\\pard {\\field{\\*\\fldinst FILENAME \\\\* Caps}"
                                "{\\fldrslt {\\b OLD.DOC}}} {\\field\\fldlock{\\*\\fldinst FILENAME}"
                                "{\\fldrslt kept.doc}}\\par ";
        const Template t =
            readRtf("{\\rtf1\\ansi\\deff0" + body + "}", QStringLiteral("/dealer/spring sale.rtf"));
        QCOMPARE(t.fields.size(), size_t(1));
        QCOMPARE(t.fields.at(0).result.size(), size_t(1));
        QCOMPARE(t.fields.at(0).result.at(0).text, QStringLiteral("Spring Sale.rtf"));
        QVERIFY(t.formats.at(size_t(t.fields.at(0).result.at(0).format)).bold);
        QVERIFY(paragraphTexts(t.body).at(0).endsWith(QStringLiteral(" kept.doc")));
    }

    // Tracked changes print marked: insertions underlined, deletions struck through, each in its
    // author's colour, the first author to appear taking the first colour.
    void trackedChanges() {
        const Template t =
            readWith(kFonts, "\\pard Kept{\\revised\\revauth2 added}{\\deleted\\revauthdel1 gone}"
                             "{\\revised\\revauth1 more}.\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({"Keptaddedgonemore."}));
        const CharFormat* added = formatOf(t, QStringLiteral("added"));
        const CharFormat* gone = formatOf(t, QStringLiteral("gone"));
        const CharFormat* more = formatOf(t, QStringLiteral("more"));
        QVERIFY(added && gone && more);
        QVERIFY(added->underline && !added->strike && gone->strike && !gone->underline);
        QCOMPARE(added->color, QColor(198, 146, 0));
        QCOMPARE(gone->color, QColor(6, 70, 162));
        QCOMPARE(more->color, gone->color);
        QVERIFY(!formatOf(t, QStringLiteral("Kept"))->color.isValid());
    }

    // A locked field (\fldlock) prints its stored result as it stands; a locked merge field still merges.
    void lockedFieldKeepsItsResult() {
        const Template t =
            readWith(kFonts, "\\pard {\\field\\fldlock{\\*\\fldinst DATE}{\\fldrslt 1/2/2000}} "
                             "{\\field{\\*\\fldinst DATE}{\\fldrslt 3/4/2001}} "
                             "{\\field\\fldlock{\\*\\fldinst MERGEFIELD Name}{\\fldrslt Bob}}\\par ");
        QCOMPARE(t.fields.size(), size_t(2));
        QCOMPARE(t.fields.at(0).kind, Field::Date);
        QCOMPARE(t.fields.at(1).kind, Field::Merge);
        QVERIFY(paragraphTexts(t.body).at(0).startsWith(QStringLiteral("1/2/2000 ")));
    }

    // A field in hidden text prints nothing, neither its value nor its stored result.
    void hiddenFieldsPrintNothing() {
        const Template t = readWith(kFonts, "\\pard A{\\v {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}"
                                            "{\\field{\\fldrslt plain}}}B\\par ");
        QVERIFY(t.fields.empty());
        QCOMPARE(paragraphTexts(t.body), QStringList({"AB"}));
    }

    // Word 2007 and later name the theme's fonts in slots of their own; text in them is set in the named
    // face, drawn in the face of the same widths.
    void themeFontSlotsResolveToTheirFaces() {
        const Template t = readWith(
            "{\\f0\\froman\\fcharset0 Times New Roman;}"
            "{\\flomajor\\f31500\\fbidi \\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times "
            "New Roman;}"
            "{\\fhiminor\\f31506\\fbidi \\fswiss\\fcharset0\\fprq2{\\*\\panose 020f0502020204030204}Calibri;}"
            "{\\f9\\froman\\fcharset0 Nowhere Antiqua;}{\\f10\\fswiss Nowhere Grotesk{\\*\\falt Arial};}"
            "{\\f11\\fnil Nowhere;}{\\f12\\fnil{\\*\\falt Courier New};}",
            "\\pard\\plain\\f31506\\fs22 Minor {\\f31500 Major}{\\f31504 Missing}{\\f9 Serif}{\\f10 "
            "Alt}{\\f11 Nil}{\\f12 Only}\\par ");
        QCOMPARE(familyOf(t, "Minor"), QStringLiteral("Calibri"));
        QCOMPARE(familyOf(t, "Major"), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(t, "Missing"), QStringLiteral("Calibri"));
        // An unknown face keeps its name whatever its family or alternative: LibreOffice draws it in the
        // sans-serif that the font matching gives.
        QCOMPARE(familyOf(t, "Serif"), QStringLiteral("Nowhere Antiqua"));
        QCOMPARE(familyOf(t, "Alt"), QStringLiteral("Nowhere Grotesk"));
        QCOMPARE(familyOf(t, "Nil"), QStringLiteral("Nowhere"));
        QCOMPARE(familyOf(t, "Only"), QStringLiteral("Courier New"));
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        QTextDocument& d = *merged->copies.at(0).body;
        QCOMPARE(QFontInfo(d.find("Minor").charFormat().font()).family(), QStringLiteral("Carlito"));
        QCOMPARE(QFontInfo(d.find("Major").charFormat().font()).family(), QStringLiteral("Liberation Serif"));
    }

    // Asian text's own font (\\dbch with \\af or \\f) is the one its lines are measured in, in the run's
    // language (\\lang or \\langfe, the later winning), never the one its character set writes nor
    // the document's (\\deflangfe); the Latin font stays, and a right-to-left font (\\rtlch\\af) is not
    // an Asian one.
    void asianTextKeepsItsOwnFont() {
        const QByteArray ja = "\\'82\\'a9\\'82\\'c8\\'82\\'a9\\'82\\'c8";
        const Template t = readWith(
            kFonts,
            "\\pard\\plain\\fs22 {\\loch\\af7\\hich\\af7\\dbch\\af4\\langfe1041 " + ja +
                "}\\par \\pard\\plain\\fs22 {\\rtlch\\af1 \\ltrch Plain}{\\dbch\\f4 " + ja +
                "}\\par \\pard\\plain\\fs22 {\\f4 " + ja + "}\\par " +
                "\\pard\\plain\\fs22 {\\dbch\\f4\\langfe1041\\lang1033 " + ja +
                "}{\\dbch\\f4\\lang1033\\langfe1041 " + ja + "}{\\dbch\\f4\\b\\lang1041 " + ja + "}\\par ",
            "\\ansi\\deflangfe1041");
        QCOMPARE(t.body.blocks.size(), size_t(4));
        const auto formatOfBlock = [&](size_t block, int run) -> const CharFormat& {
            const auto& runs = std::get<Paragraph>(t.body.blocks.at(block)).runs;
            // -1: the last run (Latin and Asian letters meeting split a run for the room between them).
            return t.formats.at(size_t(runs.at(run < 0 ? runs.size() - 1 : size_t(run)).format));
        };
        const CharFormat& first = formatOfBlock(0, 0);
        QCOMPARE(first.family, QStringLiteral("Arial"));
        QCOMPARE(first.asianFamily, QString::fromUtf8("\uFF2D\uFF33 \u660E\u671D"));
        QCOMPARE(first.asianLanguage, QStringLiteral("ja"));
        QVERIFY(formatOfBlock(1, 0).asianFamily.isEmpty());
        QCOMPARE(formatOfBlock(1, -1).asianFamily, first.asianFamily);
        QVERIFY(formatOfBlock(1, -1).asianLanguage.isEmpty());
        QVERIFY(formatOfBlock(2, 0).asianFamily.isEmpty());
        QCOMPARE(formatOfBlock(2, 0).family, formatOfBlock(1, -1).family);
        QVERIFY(formatOfBlock(3, 0).asianLanguage.isEmpty());
        QCOMPARE(formatOfBlock(3, 1).asianLanguage, QStringLiteral("ja"));
        QCOMPARE(formatOfBlock(3, 2).asianLanguage, QStringLiteral("ja"));
        // The merge measures Japanese lines in the face the system gives for that font in Japanese, and
        // the others in the one it gives for the name alone.
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        const QTextDocument& d = *merged->copies.at(0).body;
        const auto asianFaceOf = [&](int block, int piece) {
            auto it = d.findBlockByNumber(block).begin();
            for (int i = 0; i < piece; ++i)
                ++it;
            return it.fragment().charFormat().stringProperty(kAsianFaceProperty);
        };
        const QString face = platform::asianFace(first.asianFamily, QStringLiteral("ja"));
        QVERIFY(!face.isEmpty());
        QCOMPARE(asianFaceOf(0, 0), face);
        QCOMPARE(asianFaceOf(1, 2), platform::asianFace(first.asianFamily, QString()));
        QVERIFY(asianFaceOf(2, 0).isEmpty());
    }

    // Files made from PDFs name a face with its style after a comma: LibreOffice prints the text in the
    // family before it, in the text's own style, not in the fallback face the whole name would match.
    void facesNamedWithTheirStyleAfterAComma() {
        const Template t = readWith("{\\f0\\fswiss Calibri,Italic;}{\\f1\\froman Times New Roman,Bold;}",
                                    "\\pard\\plain\\f0 Slanted {\\f1 Heavy}{\\f1\\b Bold}\\par ");
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        const QTextDocument& d = *merged->copies.at(0).body;
        const auto face = [&](const char* word) { return QFontInfo(d.find(word).charFormat().font()); };
        QVERIFY(face("Slanted").family() == QLatin1String("Carlito") && !face("Slanted").italic());
        QVERIFY(face("Heavy").family() == QLatin1String("Liberation Serif") && !face("Heavy").bold());
        QVERIFY(face("Bold").bold());
    }

    // A symbol font's pictures print at their private-use codes (U+F000 and the byte), as in Word's and
    // LibreOffice's PDFs, where a bullet of Symbol reads back as U+F0B7: each by a face that maps those
    // codes only, to the very glyph the face it is otherwise printed in shows for the symbol; in
    // LibreOffice's symbol face, Word's usual bullets are that face's own larger pictures of them.
    void symbolsPrintAtTheirPrivateCodes() {
        const Template t = readWith(
            kFonts,
            "\\pard{\\pntext\\f5 \\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf5{\\pntxtb "
            "\\'b7}}\\fi-360\\li720 Listed\\par \\pard\\kerning0 Text {\\f5 \\'b7\\'ae} {\\f6 \\'a7}\\par "
            "\\pard{\\pntext\\f6 \\'d8\\tab}{\\*\\pn\\pnlvlblt\\pnf6{\\pntxtb \\'d8}}\\fi-360\\li720 "
            "Arrow\\par ");
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        const QTextDocument& d = *merged->copies.at(0).body;
        const QString text = d.toPlainText();
        QVERIFY2(!text.contains(QChar(0x2022)) && !text.contains(QChar(0x25AA)), qPrintable(text));
        QCOMPARE(text.count(QChar(0xF0B7)), 2);
        QVERIFY2(text.contains(QStringLiteral("\uF0B7\uF0AE")) && text.contains(QChar(0xF0A7)),
                 qPrintable(text));
        // The faces behind: the list's bullet in LibreOffice's symbol face, the text's in the one Symbol
        // and Wingdings stand for.
        const auto check = [&](QChar code, QChar symbol, const QString& shownIn, QChar drawn = QChar()) {
            const QTextCursor at = d.find(QString(code));
            QVERIFY(!at.isNull());
            const QFont face = at.charFormat().font();
            QVERIFY2(face.families().front().startsWith(QLatin1String("Quillmark ")),
                     qPrintable(face.families().join(',')));
            const QRawFont raw = QRawFont::fromFont(face), shown = QRawFont::fromFont(QFont(shownIn, 12));
            QVERIFY(raw.supportsCharacter(code) && !raw.supportsCharacter(symbol));
            QVERIFY(!raw.supportsCharacter(QLatin1Char('a')));
            QCOMPARE(raw.glyphIndexesForString(QString(code)),
                     shown.glyphIndexesForString(QString(drawn.isNull() ? symbol : drawn)));
            // And laid out as a letter lays it out, shaped or not, it is that glyph.
            QCOMPARE(glyphsOf(QString(code), face), raw.glyphIndexesForString(QString(code)));
        };
        check(QChar(0xF0B7), QChar(0x2022), QStringLiteral("OpenSymbol"), QChar(0xE12C));
        check(QChar(0xF0D8), QChar(0x27A2), QStringLiteral("OpenSymbol"), QChar(0xE49E));
        check(QChar(0xF0AE), QChar(0x2192), platform::letterFamily(QStringLiteral("Symbol")));
        check(QChar(0xF0A7), QChar(0x25AA), platform::letterFamily(QStringLiteral("Wingdings")));
    }

    // Word names the font of Latin text and of a paragraph mark by \af after \loch or \hich (or after
    // \plain); after \rtlch or \dbch, \af is the font of other scripts and the Latin one stays.
    void associatedFontsOfLatinText() {
        const Template t = readWith(kFonts, "\\pard\\plain\\f0\\loch\\af7\\hich\\af7\\dbch\\af4 Latin\\par "
                                            "\\pard\\plain\\f0\\rtlch\\af7\\ltrch Kept\\par "
                                            "\\pard\\plain\\f0\\hich\\af7\\dbch\\af4\\loch\\f0 Given\\par "
                                            "\\pard\\plain\\f0\\af7 Plain\\par "
                                            "\\pard\\plain\\f0\\loch\\af7 \\par ");
        QCOMPARE(familyOf(t, "Latin"), QStringLiteral("Arial"));
        QCOMPARE(familyOf(t, "Kept"), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(t, "Given"), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(t, "Plain"), QStringLiteral("Arial"));
        const Paragraph* empty = std::get_if<Paragraph>(&t.body.blocks.at(4));
        QVERIFY(empty && empty->runs.empty());
        QCOMPARE(t.formats.at(size_t(empty->markFormat)).family, QStringLiteral("Arial"));
        // A Central European font given so decodes its bytes as well.
        const Template ce = readWith(kFonts, "\\pard\\plain\\f0\\loch\\af1 \\'c8l\\'e1nek\\par ");
        QCOMPARE(familyOf(ce, QString::fromUtf8("Článek")), QStringLiteral("Arial"));
    }

    // A reference prints the note's number, raised as its characters are; the note's text goes into a
    // note of its own, which starts with the same number. Endnotes count on their own, in lower-case
    // roman numerals unless the document says.
    void footnoteReferencesAndTheirNotes() {
        const Template t = readWith(
            kFonts,
            "\\ftnnar\\aftnnrlc\\pard\\plain See{\\super\\chftn}{\\footnote\\pard\\plain{\\super\\chftn} "
            "Foot "
            "note.} and{\\super\\chftn}{\\footnote \\ftnalt\\pard\\plain{\\super\\chftn} End note.} "
            "then{\\super\\chftn}{\\footnote\\pard Plain note.}.\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({QStringLiteral("See1 andi then2.")}));
        const Paragraph& p = std::get<Paragraph>(t.body.blocks.at(0));
        QCOMPARE(p.runs.size(), size_t(10));
        QCOMPARE(p.runs.at(2).kind, Run::Note);
        QCOMPARE(p.runs.at(2).index, 0);
        QCOMPARE(t.notes.size(), size_t(3));
        QCOMPARE(paragraphTexts(t.notes[0].text), QStringList({QStringLiteral("1 Foot note.")}));
        QCOMPARE(paragraphTexts(t.notes[1].text), QStringList({QStringLiteral("i End note.")}));
        QCOMPARE(paragraphTexts(t.notes[2].text), QStringList({QStringLiteral("Plain note.")}));
        QVERIFY(!t.notes[0].endnote);
        QVERIFY(t.notes[1].endnote);
        QVERIFY(!t.notes[2].endnote);
        QCOMPARE(p.runs.at(1).text, QStringLiteral("1"));
        QCOMPARE(t.formats.at(size_t(p.runs.at(1).format)).script, CharFormat::Script::Super);
        QCOMPARE(t.formats.at(size_t(p.runs.at(0).format)).script, CharFormat::Script::Normal);
        const Template chicago =
            readWith(kFonts, "\\ftnnchi\\ftnstart3\\pard A\\chftn{\\footnote x}B\\chftn{\\footnote y}\\par ");
        QCOMPARE(paragraphTexts(chicago.body), QStringList({QString::fromUtf8("A‡B§")}));
    }

    // Word 97's list numbers stand in \\pntext, its numbering rules in \\pn groups that show nothing;
    // a bullet in the Symbol font is the bullet character.
    void word97ListNumbers() {
        const Template t = readWith(
            kFonts,
            "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang{\\pntxta .}}"
            "{\\pntext\\pard\\plain\\f5\\loch\\af5\\hich\\f5 \\'b7\\tab}\\pard\\plain\\fi-360\\li360"
            "{\\*\\pn \\pnlvlblt\\ilvl0\\pnf5\\pnindent360{\\pntxtb \\'b7}}First\\par "
            "{\\pntext\\pard\\plain\\f0 2.\\tab}\\pard\\plain{\\pn\\pnlvlbody\\pndec{\\pntxta .}}Second\\par "
            "{\\listtext\\pard\\plain\\f0 3.\\tab}\\pard\\plain\\ls1 Third\\par ");
        QCOMPARE(paragraphTexts(t.body),
                 QStringList({QString::fromUtf8("•\tFirst"), QStringLiteral("2.\tSecond"),
                              QStringLiteral("3.\tThird")}));
        QCOMPARE(std::get<Paragraph>(t.body.blocks.at(0)).format.firstTwips, -360);
    }

    // A table of contents prints its stored entries as paragraphs of their own, each with its indent and
    // its dotted tab stop; the page references in it and a merge field beside it stay fields.
    void tableOfContentsEntriesAreParagraphs() {
        const Template t = readWith(
            kFonts,
            "\\pard\\tqr\\tldot\\tx8630 {\\field{\\*\\fldinst { TOC \\\\o }}{\\fldrslt {Heading one\\tab }"
            "{\\field{\\*\\fldinst { PAGEREF _Toc1 \\\\h }}{\\fldrslt {1}}}\\par "
            "\\pard\\li240\\tqr\\tldot\\tx8630 Heading two\\tab 2\\par }}"
            "\\pard {\\field{\\*\\fldinst MERGEFIELD Name}{\\fldrslt Name}}\\par ");
        QCOMPARE(paragraphTexts(t.body), QStringList({"Heading one\t", "Heading two\t2", QString()}));
        const ParaFormat& second = std::get<Paragraph>(t.body.blocks.at(1)).format;
        QCOMPARE(second.leftTwips, 240);
        QCOMPARE(second.tabs.size(), size_t(1));
        QCOMPARE(second.tabs.front().leader, TabStop::Dots);
        QCOMPARE(t.fields.size(), size_t(2));
        QCOMPARE(t.fields.front().instruction.trimmed(), QStringLiteral("PAGEREF _Toc1 \\h"));
        QCOMPARE(t.fields.back().kind, Field::Merge);
    }

    // A table of contents right after another starts on a line of its own: the empty paragraph the first
    // one leaves open is a line, and so is the one the second one's result begins by ending. A table of
    // contents at a paragraph's start, or after one that ends with its paragraph, starts no line.
    void tablesOfContentsOneAfterAnother() {
        const QByteArray toc = "{\\field{\\*\\fldinst { TOC \\\\o }}{\\fldrslt {Entry\\tab 1\\par }"
                               "\\pard\\plain\\f0 }}";
        const Template t =
            readWith(kFonts, "\\pard " + toc +
                                 "\\pard {\\field{\\*\\fldinst { TOC \\\\f }}{\\fldrslt {\\par }"
                                 "Other\\tab 2\\par \\pard\\plain\\f0 }}{\\par After\\par }");
        QCOMPARE(paragraphTexts(t.body),
                 QStringList({"Entry\t1", QString(), QString(), "Other\t2", QString(), "After"}));
        const Template once = readWith(kFonts, "\\pard Before\\par " + toc + "\\pard After\\par ");
        QCOMPARE(paragraphTexts(once.body), QStringList({"Before", "Entry\t1", "After"}));
    }

    // Where Japanese meets Western letters or digits, the character before the meeting is followed by a
    // fifth of its size; not beside punctuation. As LibreOffice sets it, a paragraph need not ask for it
    // (\\aspalpha).
    void asianAndWesternTextSpacedApart() {
        const Template t = readWith(kFonts, "\\pard\\aspalpha {\\f4 \\'82\\'a9}ka{\\f4 \\'82\\'a9}\\fs20 7 "
                                            "\\'93x\\'94{\\f4 \\'82\\'a9}5{\\f4 \\'81\\'45}\\par "
                                            "\\pard {\\f4 \\'82\\'a9}ka\\par ");
        QStringList pieces;
        for (const Block& b : t.body.blocks)
            for (const Run& r : std::get<Paragraph>(b).runs)
                pieces << r.text + QLatin1Char('/') +
                              QString::number(t.formats.at(size_t(r.format)).spacingTwips);
        QCOMPARE(pieces, QStringList({QString::fromUtf8("か/48"), "k/0", "a/48", QString::fromUtf8("か/48"),
                                      QString::fromUtf8("7 \u201cx\u201d/0"), QString::fromUtf8("か/40"),
                                      "5/0", QString::fromUtf8("・/0"), QString::fromUtf8("か/40"), "ka/0"}));
    }

    // Automatic spacing: 5 points above and below; as HTML's, 14 points, none above the document's or a
    // cell's first paragraph and one space only between two paragraphs spaced so, automatically or not.
    void letterSpacingRaisingAndWidth() {
        // Spacing in twips or quarter points, raising and lowering in half-points at the letters' own size
        // (six when not said), a width in percent; \\plain and \\nosupersub set them back.
        const Template t = readWith(kFonts, "\\pard{\\expndtw40 Wide}{\\expnd-2 Tight}{\\up8 High}{\\dn Low}"
                                            "{\\charscalex80 Narrow}{\\super Small}{\\up4\\nosupersub Back}"
                                            "{\\expndtw20\\charscalex90\\plain Plain}\\par ");
        const auto of = [&](const char* text) {
            const CharFormat* f = formatOf(t, QLatin1String(text));
            return f ? QList<int>({f->spacingTwips, f->raiseHalfPoints, f->widthPercent, int(f->script)})
                     : QList<int>();
        };
        QCOMPARE(of("Wide"), QList<int>({40, 0, 100, 0}));
        QCOMPARE(of("Tight"), QList<int>({-10, 0, 100, 0}));
        QCOMPARE(of("High"), QList<int>({0, 8, 100, 0}));
        QCOMPARE(of("Low"), QList<int>({0, -6, 100, 0}));
        QCOMPARE(of("Narrow"), QList<int>({0, 0, 80, 0}));
        QCOMPARE(of("Small"), QList<int>({0, 0, 100, int(CharFormat::Script::Super)}));
        QCOMPARE(of("Back"), QList<int>({0, 0, 100, 0}));
        QCOMPARE(of("Plain"), QList<int>({0, 0, 100, 0}));
    }

    // Capitals win over small capitals: \\scaps0 beside \\caps leaves capitals, as does \\scaps after
    // \\caps; \\caps0 ends small capitals too, as LibreOffice prints them.
    void capitalsOverSmallCapitals() {
        const Template t =
            readWith(kFonts, "\\pard{\\caps\\scaps0 One}{\\caps\\scaps Two}{\\scaps\\caps Three}"
                             "{\\scaps\\caps0 Four}{\\scaps Five}{\\caps\\caps0\\scaps Six}\\par ");
        const auto of = [&](const char* text) {
            const CharFormat* f = formatOf(t, QLatin1String(text));
            return f ? int(f->caps) : -1;
        };
        QCOMPARE(QList<int>({of("One"), of("Two"), of("Three"), of("Four"), of("Five"), of("Six")}),
                 QList<int>({int(CharFormat::Caps::All), int(CharFormat::Caps::All),
                             int(CharFormat::Caps::All), int(CharFormat::Caps::None),
                             int(CharFormat::Caps::Small), int(CharFormat::Caps::Small)}));
    }

    void highlightAndShadingBehindLetters() {
        // \\highlight and \\chcbpat name colour table entries; a shading percentage mixes the pattern
        // colour into the background; a highlight shows over the shading; \\highlight0 and \\plain end it.
        const Template t =
            readWith(kFonts, "{\\colortbl;\\red255\\green255\\blue0;\\red0\\green0\\blue255;}"
                             "\\pard{\\highlight1 Marked}{\\chshdng0\\chcbpat2 Blue}"
                             "{\\chshdng5000\\chcfpat2 Mixed}{\\chcbpat2\\highlight1 Over}"
                             "{\\highlight1\\highlight0 Gone}{\\highlight1\\plain Plain} Bare\\par ");
        const auto of = [&](const char* text) {
            const CharFormat* f = formatOf(t, QLatin1String(text));
            return f ? f->background : QColor(1, 2, 3);
        };
        QCOMPARE(of("Marked"), QColor(255, 255, 0));
        QCOMPARE(of("Blue"), QColor(0, 0, 255));
        QCOMPARE(of("Mixed"), QColor(128, 128, 255));
        QCOMPARE(of("Over"), QColor(255, 255, 0));
        QVERIFY(!of("Gone").isValid());
        QVERIFY(!of("Plain").isValid());
        QVERIFY(!of("Bare").isValid());
    }

    void automaticParagraphSpacing() {
        const QByteArray body = "\\pard\\sb100\\sbauto1\\sa100\\saauto1 A\\par "
                                "\\pard\\sb0\\sbauto1\\sa0\\saauto1 B\\par \\pard\\sb60\\sa60 C\\par "
                                "\\pard\\sbauto1\\saauto1 D\\par "
                                "\\trowd\\cellx3000\\pard\\intbl\\sbauto1\\saauto1 E\\par F\\cell\\row ";
        const auto spacing = [](const Template& t) {
            QList<int> s;
            for (const Block& b : t.body.blocks) {
                if (const Paragraph* p = std::get_if<Paragraph>(&b))
                    s << p->format.beforeTwips << p->format.afterTwips;
                else
                    for (const Paragraph& p : std::get<Table>(b).rows.at(0).cells.at(0).paragraphs)
                        s << p.format.beforeTwips << p.format.afterTwips;
            }
            return s;
        };
        QCOMPARE(spacing(readWith(kFonts, body)),
                 QList<int>({100, 100, 100, 100, 60, 60, 100, 100, 100, 100, 100, 100}));
        // Under HTML's spacing two paragraphs stand the larger of their two spaces apart.
        QCOMPARE(spacing(readWith(kFonts, "\\htmautsp" + body)),
                 QList<int>({0, 280, 0, 280, 0, 60, 220, 280, 0, 280, 0, 280}));
        const QByteArray plain = "\\pard\\sa120 A\\par \\pard\\sb480 B\\par \\pard\\sa240 C\\par "
                                 "\\pard\\sb120\\sa100 D\\par \\page\\pard\\sb200 E\\par "
                                 "\\pard\\pagebb\\sb300 F\\par ";
        QCOMPARE(spacing(readWith(kFonts, "\\htmautsp" + plain)),
                 QList<int>({0, 120, 360, 0, 0, 240, 0, 100, 200, 0, 300, 0}));
        QCOMPARE(spacing(readWith(kFonts, plain)),
                 QList<int>({0, 120, 480, 0, 0, 240, 120, 100, 200, 0, 300, 0}));
        // Paragraphs of one style that ask for it drop their spacing between them, not beside another.
        const Template c = readWith(kFonts, "\\pard\\s1\\contextualspace\\sb200\\sa400 A\\par "
                                            "\\pard\\s1\\contextualspace\\sb200\\sa400 B\\par "
                                            "\\pard\\s2\\sb200\\sa400 C\\par ");
        QCOMPARE(spacing(c), QList<int>({200, 0, 0, 400, 200, 400}));
    }

    // Automatic spacing keeps around a list, not between its items at any level; an item of another list
    // keeps its space. An item's own space below stays; its space above goes below an item spaced so.
    void automaticSpacingInLists() {
        const QByteArray lists =
            "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}"
            "{\\levelnumbers\\'01;}}{\\listlevel\\levelnfc0{\\leveltext\\'02\\'01.;}"
            "{\\levelnumbers\\'01;}}\\listid7}}{\\*\\listoverridetable{\\listoverride\\listid7"
            "\\listoverridecount0\\ls1}{\\listoverride\\listid7\\listoverridecount0\\ls2}}";
        const QByteArray autoSpaced = "\\sb100\\sa100\\sbauto1\\saauto1 ";
        const Template t =
            readWith(kFonts, lists + "\\pard" + autoSpaced + "Intro\\par \\pard\\ls1" + autoSpaced +
                                 "A\\par \\pard\\ls1\\ilvl1" + autoSpaced + "B\\par \\pard\\ls2" +
                                 autoSpaced + "C\\par \\pard\\ls2\\sb100\\sa100 D\\par \\pard\\ls2" +
                                 autoSpaced + "E\\par \\pard" + autoSpaced + "After\\par ");
        QList<int> spacing;
        for (const Block& b : t.body.blocks)
            if (const Paragraph* p = std::get_if<Paragraph>(&b))
                spacing << p->format.beforeTwips << p->format.afterTwips;
        QCOMPARE(spacing, QList<int>({100, 100, 100, 0, 0, 100, 100, 0, 0, 100, 0, 100, 100, 100}));
    }

    // Text after \\plain takes what the styles its paragraph's style is based on give, unless the
    // style gives the same property itself or the text does: then its own or the default stands.
    void paragraphStylesGiveTheirBasesCharacters() {
        const QByteArray sheet =
            "{\\stylesheet{\\fs40\\cf1 Normal;}{\\s1\\sbasedon0 \\b Strong;}"
            "{\\s2 \\i\\fs16 Small;}{\\s3\\sbasedon2 Derived;}{\\*\\cs10 \\fs60 Chars;}}";
        const Template t =
            readWith(kFonts, "{\\colortbl;\\red255\\green0\\blue0;}" + sheet +
                                 "\\pard\\plain Alpha\\par \\pard\\plain\\s1 Beta\\par "
                                 "\\pard\\plain\\s1\\fs24 Gamma\\par \\pard\\plain\\s3 Delta\\par "
                                 "\\pard\\plain\\s2 Epsilon\\par \\pard\\s1 Zeta\\par "
                                 "\\pard\\plain\\s3\\b Eta\\par \\pard\\plain Theta\\par ");
        const auto props = [&t](const char* text) {
            const CharFormat* f = formatOf(t, QLatin1String(text));
            if (!f)
                return QList<int>();
            return QList<int>({f->halfPoints, int(f->bold), int(f->italic), int(f->color.isValid())});
        };
        QCOMPARE(props("Alpha"), QList<int>({24, 0, 0, 0}));
        QCOMPARE(props("Beta"), QList<int>({40, 0, 0, 1}));
        QCOMPARE(props("Gamma"), QList<int>({24, 0, 0, 1}));
        QCOMPARE(props("Delta"), QList<int>({16, 0, 1, 0}));
        QCOMPARE(props("Epsilon"), QList<int>({24, 0, 0, 0}));
        QCOMPARE(props("Zeta"), QList<int>({40, 0, 0, 1}));
        QCOMPARE(props("Eta"), QList<int>({16, 1, 1, 0}));
        QCOMPARE(props("Theta"), QList<int>({24, 0, 0, 0}));
        // Without a style sheet nothing changes what the words give.
        const Template bare = readWith(kFonts, "\\pard\\plain\\s1\\fs30 Iota\\par \\pard\\s2 Kappa\\par ");
        QCOMPARE(formatOf(bare, QStringLiteral("Iota"))->halfPoints, 30);
        QCOMPARE(formatOf(bare, QStringLiteral("Kappa"))->halfPoints, 30);
    }

    // A paragraph that gives no line spacing takes its style's (Normal's without \\s), not its style's
    // base's: a style without its own is of single lines. Spacing given after the style stands.
    void paragraphStylesGiveTheirLineSpacing() {
        const QByteArray sheet =
            "{\\stylesheet{\\sl276\\slmult1 Normal;}{\\s1\\sbasedon0 Body;}"
            "{\\s2\\fi851\\sl360\\slmult1\\sbasedon0 Wide;}{\\s3\\sl-300\\slmult0 Exact;}"
            "{\\s4 Plain;}}";
        const Template t =
            readWith(kFonts, sheet + "\\pard\\plain\\s2 Alpha\\par \\pard\\s2\\li0 Beta\\par "
                                     "\\pard\\s1 Gamma\\par \\pard\\s3 Delta\\par "
                                     "\\pard\\s2\\sl240\\slmult1 Epsilon\\par \\pard\\s4 Zeta\\par "
                                     "\\pard Eta\\par ");
        QList<QList<int>> lines;
        for (const Block& b : t.body.blocks)
            if (const Paragraph* p = std::get_if<Paragraph>(&b))
                lines << QList<int>({p->format.lineTwips, int(p->format.lineMultiple)});
        QCOMPARE(lines,
                 QList<QList<int>>({{360, 1}, {360, 1}, {0, 0}, {-300, 0}, {240, 1}, {0, 0}, {276, 1}}));
    }
};

QTEST_MAIN(TestRtfText)
#include "tst_rtftext.moc"
