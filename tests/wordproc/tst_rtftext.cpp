// Word's text as Word shows it: the code pages of its fonts and documents, the faces it names, its list
// numbers, its notes and its automatic paragraph spacing.
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"

#include <QAbstractTextDocumentLayout>
#include <QFontInfo>
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
    }

    // Symbol and Wingdings bytes are the symbols they show; a Unicode character stands where given,
    // and its fallback bytes are skipped whole.
    void symbolsAndUnicode() {
        const Template t = readWith(kFonts, "\\pard{\\f5 \\'b7\\tab a\\'b1}{\\f6 \\'a7\\'fc}\\par "
                                            "\\pard\\plain\\f1\\uc1 \\u268\\'c8x\\uc0 \\u269 y\\par ");
        QCOMPARE(paragraphTexts(t.body),
                 QStringList({QString::fromUtf8("•\tα±▪✔"), QString::fromUtf8("Čxčy")}));
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
            "{\\f11\\fnil Nowhere;}",
            "\\pard\\plain\\f31506\\fs22 Minor {\\f31500 Major}{\\f31504 Missing}{\\f9 Serif}{\\f10 "
            "Alt}{\\f11 Nil}\\par ");
        QCOMPARE(familyOf(t, "Minor"), QStringLiteral("Calibri"));
        QCOMPARE(familyOf(t, "Major"), QStringLiteral("Times New Roman"));
        QCOMPARE(familyOf(t, "Missing"), QStringLiteral("Calibri"));
        QCOMPARE(familyOf(t, "Serif"), QStringLiteral("DejaVu Serif"));
        QCOMPARE(familyOf(t, "Alt"), QStringLiteral("Arial"));
        QCOMPARE(familyOf(t, "Nil"), QStringLiteral("Nowhere"));
        const auto merged = Merger(std::make_shared<const Template>(t), nullptr).all(QStringLiteral("t"));
        QTextDocument& d = *merged->copies.at(0).body;
        QCOMPARE(QFontInfo(d.find("Minor").charFormat().font()).family(), QStringLiteral("Carlito"));
        QCOMPARE(QFontInfo(d.find("Major").charFormat().font()).family(), QStringLiteral("Liberation Serif"));
    }
};

QTEST_MAIN(TestRtfText)
#include "tst_rtftext.moc"
