// Word's lists in RTF: paragraphs numbered from \listtable and \listoverridetable, level by level, and
// the number Word wrote out as text used only where the tables give none.
#include "wordproc/RtfReader.h"

#include <QtTest>

using namespace wordproc;

namespace {

const QByteArray kFonts =
    "{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}{\\f1\\fnil\\fcharset2 Symbol;}"
    "{\\f2\\fnil\\fcharset2 Wingdings;}{\\f3\\fswiss\\fcharset0 Arial;}}";

// A level: its format (\levelnfc), its text (with its length and placeholders as bytes) and more words.
QByteArray level(int nfc, const QByteArray& text, const QByteArray& more = {}) {
    return "{\\listlevel\\levelnfc" + QByteArray::number(nfc) + "\\levelnfcn" + QByteArray::number(nfc) +
           "\\leveljc0\\levelfollow0\\levelstartat1" + more + "{\\leveltext\\leveltemplateid1" + text +
           ";}{\\levelnumbers;}\\fi-360\\li720}";
}

Template readList(const QByteArray& lists, const QByteArray& overrides, const QByteArray& body) {
    return readRtf("{\\rtf1\\ansi\\deff0" + kFonts + "{\\*\\listtable" + lists + "}{\\*\\listoverridetable" +
                       overrides + "}" + body + "}",
                   "t.rtf");
}

QByteArray override(int id, int ls, const QByteArray& levels = {}) {
    return "{\\listoverride\\listid" + QByteArray::number(id) + "\\listoverridecount" +
           QByteArray(levels.isEmpty() ? "0" : "1") + levels + "\\ls" + QByteArray::number(ls) + "}";
}

QByteArray item(int ls, int ilvl, const QByteArray& text) {
    return "\\pard\\plain\\fi-360\\li720\\ls" + QByteArray::number(ls) + "\\ilvl" + QByteArray::number(ilvl) +
           " " + text + "\\par ";
}

QStringList texts(const Template& t) {
    QStringList out;
    for (const Block& b : t.body.blocks) {
        QString s;
        for (const Run& r : std::get<Paragraph>(b).runs)
            s += r.kind == Run::Tab ? QStringLiteral("\t") : r.text;
        out << s;
    }
    return out;
}

const Run& firstRun(const Template& t, int paragraph) {
    return std::get<Paragraph>(t.body.blocks.at(size_t(paragraph))).runs.at(0);
}

} // namespace

class TestRtfLists : public QObject {
    Q_OBJECT

private slots:
    // 1., a., i.: each level counts on, a lower level starts anew under each new higher one, and a
    // second override of the list counts for itself from where its \lfolevel starts it.
    void threeLevelsNumberAndRestart() {
        const QByteArray list = "{\\list\\listtemplateid9" + level(0, "\\'02\\'00.") +
                                level(4, "\\'02\\'01.") + level(2, "\\'02\\'02.") + "\\listid7}";
        const Template t = readList(
            list, override(7, 1) + override(7, 2, "{\\lfolevel\\listoverridestartat\\levelstartat5}"),
            item(1, 0, "One") + item(1, 1, "Sub") + item(1, 1, "Sub") + item(1, 2, "Deep") +
                item(1, 2, "Deep") + item(1, 0, "Two") + item(1, 1, "Again") + item(2, 0, "Other"));
        QCOMPARE(texts(t), QStringList({"1.\tOne", "a.\tSub", "b.\tSub", "i.\tDeep", "ii.\tDeep", "2.\tTwo",
                                        "a.\tAgain", "5.\tOther"}));
    }

    // A level's text may show the numbers of the levels above it; \levelnorestart keeps a level counting
    // under a new higher one, and \levellegal shows the higher ones in arabic.
    void numbersOfHigherLevels() {
        const QByteArray list = "{\\list\\listtemplateid9" + level(1, "\\'02\\'00.") +
                                level(0, "\\'04\\'00.\\'01.", "\\levelnorestart") +
                                level(0, "\\'06\\'00.\\'01.\\'02.", "\\levellegal") + "\\listid3}";
        const Template t =
            readList(list, override(3, 4),
                     item(4, 0, "A") + item(4, 1, "B") + item(4, 0, "C") + item(4, 1, "D") + item(4, 2, "E"));
        QCOMPARE(texts(t), QStringList({"I.\tA", "I.1.\tB", "II.\tC", "II.2.\tD", "2.2.1.\tE"}));
    }

    // A Symbol bullet given as \u is the bullet it shows; a Wingdings byte prints as the
    // letter it is. What follows the number: a tab, a space or nothing. A
    // number is never underlined, raised or lowered with its paragraph's mark.
    void bulletsAndWhatFollows() {
        const QByteArray lists =
            "{\\list\\listtemplateid1" + level(23, "\\'01\\u-3913 ?", "\\f1") + "\\listid1}" +
            "{\\list\\listtemplateid2" + level(23, "\\'01o", "\\levelfollow1\\f2") + "\\listid2}" +
            "{\\list\\listtemplateid3" + level(0, "\\'02\\'00)", "\\levelfollow2\\fs32\\b") + "\\listid3}";
        const Template t =
            readList(lists, override(1, 1) + override(2, 2) + override(3, 3),
                     item(1, 0, "\\f3 Dot") + item(2, 0, "\\f3 Letter") + item(3, 0, "\\ul\\super Close"));
        QCOMPARE(texts(t), QStringList({QString::fromUtf8("•\tDot"), "o Letter", "1)Close"}));
        // Both print in LibreOffice's symbol face, as LibreOffice prints them.
        QCOMPARE(t.formats.at(size_t(firstRun(t, 0).format)).family, QStringLiteral("OpenSymbol"));
        QCOMPARE(t.formats.at(size_t(firstRun(t, 1).format)).family, QStringLiteral("OpenSymbol"));
        const CharFormat& number = t.formats.at(size_t(firstRun(t, 2).format));
        QCOMPARE(number.halfPoints, 32);
        QVERIFY(number.bold);
        QVERIFY(!number.underline);
        QCOMPARE(number.script, CharFormat::Script::Normal);
    }

    // The number Word wrote out (\\listtext) gives way to the list's own, wherever it stands; it prints
    // only when the paragraph's list is not in the tables. The list's number takes the look of the
    // paragraph's last text, as LibreOffice sets it: neither the written number's nor the mark's.
    void writtenNumberGivesWayToTheList() {
        const QByteArray list = "{\\list\\listtemplateid9" + level(0, "\\'02\\'00.") + "\\listid5}";
        const Template t =
            readList(list, override(5, 1),
                     "{\\listtext\\pard\\plain\\f3\\fs18 7.\\tab}" + item(1, 0, "Listed") +
                         "\\pard\\plain\\ls1{\\listtext\\pard\\plain 9.\\tab}Inside\\par " +
                         "{\\listtext\\pard\\plain 4.\\tab}" + item(6, 0, "Unknown") + "Plain\\par " +
                         "\\pard\\plain\\ls1 {\\b Term} {\\f3\\fs36 said}{\\i\\par}" +
                         item(1, 0, "plain {\\b\\i Bold}") + "{\\listtext\\pard\\plain\\b 9.\\tab}" +
                         "\\pard\\plain\\ls1 {\\b Bold} rest{\\b\\par}");
        QCOMPARE(texts(t), QStringList({"1.\tListed", "2.\tInside", "4.\tUnknown", "Plain", "3.\tTerm said",
                                        "4.\tplain Bold", "5.\tBold rest"}));
        const auto number = [&](int paragraph) {
            return t.formats.at(size_t(firstRun(t, paragraph).format));
        };
        QCOMPARE(number(0).family, QStringLiteral("Times New Roman"));
        QCOMPARE(number(0).halfPoints, 24);
        QCOMPARE(number(1).halfPoints, 24);
        QCOMPARE(number(4).family, QStringLiteral("Arial"));
        QCOMPARE(number(4).halfPoints, 36);
        QVERIFY(!number(4).bold && !number(4).italic);
        QVERIFY(number(5).bold && number(5).italic);
        QVERIFY(!number(6).bold);
    }

    // A level's font may be given only as the font of its Latin characters (\loch\af, \hich\af), as
    // Word writes some bullets; the font of right-to-left text (\rtlch\af) is not the number's.
    void levelFontGivenForLatinText() {
        const QByteArray lists = "{\\list\\listtemplateid1" +
                                 level(23, "\\'01\\u-3913 ?", "\\loch\\af1\\hich\\af1\\dbch\\af0") +
                                 "\\listid1}" + "{\\list\\listtemplateid2" +
                                 level(23, "\\'01\\u-3913 ?", "\\rtlch\\af1\\ltrch") + "\\listid2}";
        const Template t =
            readList(lists, override(1, 1) + override(2, 2), item(1, 0, "\\f3 Dot") + item(2, 0, "\\f3 Not"));
        QCOMPARE(texts(t), QStringList({QString::fromUtf8("•\tDot"), QString(QChar(0xF0B7)) + "\tNot"}));
        QCOMPARE(t.formats.at(size_t(firstRun(t, 0).format)).family, QStringLiteral("OpenSymbol"));
        QVERIFY(t.formats.at(size_t(firstRun(t, 1).format)).family != QStringLiteral("OpenSymbol"));
    }

    // The document's last paragraph may end without \par: it is numbered and laid out by the
    // properties in force where the document ends.
    void lastParagraphWithoutMark() {
        const QByteArray list =
            "{\\list\\listtemplateid9" + level(0, "\\'02\\'00.") + level(4, "\\'02\\'01.") + "\\listid5}";
        const Template t = readList(list, override(5, 1),
                                    item(1, 0, "One") + item(1, 1, "Sub") +
                                        "\\pard\\plain\\qc\\fi-360\\li1440\\ls1\\ilvl1 {Last}");
        QCOMPARE(texts(t), QStringList({"1.\tOne", "a.\tSub", "b.\tLast"}));
        const ParaFormat& last = std::get<Paragraph>(t.body.blocks.back()).format;
        QCOMPARE(last.align, ParaFormat::Center);
        QCOMPARE(last.leftTwips, 1440);
    }

    void definitionOutsideTheListTablePrintsNothing() {
        // A list or a level given in the body, out of its table, is no text of the document.
        const QByteArray stray =
            "{\\list\\listtemplateid7" + level(0, "\\'02\\'00.") + "{\\listname Stray;}\\listid7}";
        const Template t =
            readList({}, {}, "\\pard Before\\par " + stray + level(23, "\\'01\\'b7") + "\\pard After\\par ");
        QCOMPARE(texts(t), QStringList({"Before", "After"}));
    }
};

QTEST_MAIN(TestRtfLists)
#include "tst_rtflists.moc"
