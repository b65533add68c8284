#include "DocxSamples.h"
#include "Samples.h"
#include "wordproc/DataSource.h"
#include "wordproc/DocxReader.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"

#include <QTextDocument>
#include <QtTest>

using namespace wordproc;
using samples::mergeField;

namespace {

std::shared_ptr<const Template> rtf(const QByteArray& body) {
    return std::make_shared<const Template>(
        readRtf(samples::rtfHead("\\mmmaintypeletters") + body + "}", QStringLiteral("t.dot")));
}

std::shared_ptr<const DataSource> data(const QStringList& header, const QList<QStringList>& records) {
    return DataSource::parse(samples::dataFile(header, records), "data.txt");
}

// An RTF field of `code`, "[" and "]" opening and closing fields nested in it, "@" the merge field V.
QByteArray rtfField(QByteArray code, const QByteArray& stored) {
    code.replace("@", mergeField("V"));
    code.replace("[", "{\\field{\\*\\fldinst ");
    code.replace("]", "}{\\fldrslt ?}}");
    return "{\\field{\\*\\fldinst " + code + "}{\\fldrslt " + stored + "}}";
}

// Each copy's text, one record each, without the breaks the layout allows after a hyphen.
QStringList copies(const std::shared_ptr<const Template>& t, const std::shared_ptr<const DataSource>& d) {
    QStringList out;
    const auto doc = Merger(t, d).all("m");
    for (const PageCopy& copy : doc->copies)
        out << copy.body->toPlainText().remove(QChar(0x200B));
    return out;
}

QByteArray fieldMark(const QByteArray& type) {
    return "<w:r><w:fldChar w:fldCharType=\"" + type + "\"/></w:r>";
}

QByteArray instr(const QByteArray& code, const QByteArray& rPr = {}) {
    return "<w:r>" + (rPr.isEmpty() ? QByteArray() : "<w:rPr>" + rPr + "</w:rPr>") +
           "<w:instrText xml:space=\"preserve\">" + code + "</w:instrText></w:r>";
}

} // namespace

class TestIfFields : public QObject {
    Q_OBJECT

private slots:
    void rtfLetterChoosesPerRecord() {
        // The choice takes the formats its text has in the code, and the fields nested in it their
        // record's values.
        const auto t = rtf("\\pard Dear " +
                           rtfField("IF " + mergeField("Gender") + " = \"M\" \"Mr.\" \"{\\b Ms.}\"", "Mr.") +
                           " " + mergeField("Last") + ",\\par " +
                           rtfField("IF " + mergeField("Phone") + " <> \"\" \"Call us at {\\i " +
                                        mergeField("Phone") + "}.\" \"Stop by soon.\"",
                                    "Call us at 555.") +
                           "\\par ");
        const auto d = data({"Gender", "Last", "Phone"}, {{"M", "Smith", "555-0100"}, {"F", "Jones", ""}});
        QCOMPARE(copies(t, d),
                 (QStringList{"Dear Mr. Smith,\nCall us at 555-0100.", "Dear Ms. Jones,\nStop by soon."}));
        const auto doc = Merger(t, d).all("m");
        QTextDocument& first = *doc->copies.at(0).body;
        QTextDocument& second = *doc->copies.at(1).body;
        QVERIFY(first.find("0100").charFormat().fontItalic());
        QVERIFY(!first.find("Call").charFormat().fontItalic());
        QCOMPARE(second.find("Ms.").charFormat().fontWeight(), int(QFont::Bold));

        // Without data the template shows what Word stored.
        QCOMPARE(Merger(t, nullptr).all("m")->plainText(),
                 QString::fromLatin1("Dear Mr. \xabLast\xbb,\nCall us at 555."));
    }

    void docxLetterChoosesPerRecord() {
        using namespace docxsamples;
        // Nested fields in begin, separate and end marks, and simple ones, in the code; a simple IF.
        const QByteArray gender = fieldMark("begin") + instr(" IF ") +
                                  complexField("MERGEFIELD Gender", "G") + instr(" = \"M\" \"Mr.\" \"") +
                                  instr("Ms.", "<w:b/>") + instr("\" ") + fieldMark("separate") + run("Mr.") +
                                  fieldMark("end");
        const QByteArray phone = fieldMark("begin") + instr(" IF ") + simpleField("MERGEFIELD Phone", "P") +
                                 instr(" &lt;&gt; \"\" \"Call us at ") +
                                 simpleField("MERGEFIELD Phone", "P") + instr(".\" \"Stop by soon.\"") +
                                 fieldMark("separate") + run("Call us.") + fieldMark("end");
        const QByteArray body =
            paragraph(run("Dear ") + gender + run(" ") + simpleField("MERGEFIELD Last", "L") + run(",")) +
            paragraph(phone) + paragraph(simpleField("IF 2 &gt; 10 big small", "big"));
        const auto t =
            std::make_shared<const Template>(readDocx(zipParts(package(document(body))), "t.docx"));
        const auto d = data({"Gender", "Last", "Phone"}, {{"M", "Smith", "555-0100"}, {"F", "Jones", ""}});
        QCOMPARE(copies(t, d), (QStringList{"Dear Mr. Smith,\nCall us at 555-0100.\nsmall",
                                            "Dear Ms. Jones,\nStop by soon.\nsmall"}));
        const auto doc = Merger(t, d).all("m");
        QCOMPARE(doc->copies.at(1).body->find("Ms.").charFormat().fontWeight(), int(QFont::Bold));
        QCOMPARE(Merger(t, nullptr).all("m")->plainText(), QStringLiteral("Dear Mr. L,\nCall us.\nbig"));
    }

    void comparisons_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        // Text compares whole and with capitals apart.
        QTest::newRow("equal") << QByteArray("IF @ = \"M\" yes no") << "M"
                               << "yes";
        QTest::newRow("case") << QByteArray("IF @ = \"M\" yes no") << "m"
                              << "no";
        QTest::newRow("longer") << QByteArray("IF @ = \"M\" yes no") << "Ms"
                                << "no";
        QTest::newRow("not equal") << QByteArray("IF @ <> \"\" yes no") << "x"
                                   << "yes";
        QTest::newRow("empty") << QByteArray("IF @ <> \"\" yes no") << ""
                               << "no";
        QTest::newRow("text order") << QByteArray("IF @ < \"abd\" yes no") << "abc"
                                    << "yes";
        QTest::newRow("no false text") << QByteArray("IF @ = \"M\" \"yes\"") << "F"
                                       << "";
        QTest::newRow("switch after") << QByteArray("IF @ = \"M\" \"yes\" \\\\* MERGEFORMAT") << "F"
                                      << "";
        QTest::newRow("words in quotes")
            << QByteArray("IF @ = \"New York\" \"in the city\" \"out\"") << "New York"
            << "in the city";
        QTest::newRow("escaped quote") << QByteArray("IF @ = \"M\" \"say \\\\\"hi\\\\\"\" no") << "M"
                                       << "say \"hi\"";
        // Numbers compare as numbers, where text would order them otherwise.
        QTest::newRow("numbers") << QByteArray("IF @ > 9 yes no") << "10"
                                 << "yes";
        QTest::newRow("zeros") << QByteArray("IF @ = 7 yes no") << "007"
                               << "yes";
        QTest::newRow("grouped") << QByteArray("IF @ >= \"1,000\" yes no") << "1,500.50"
                                 << "yes";
        QTest::newRow("less or equal") << QByteArray("IF @ <= 5 yes no") << "5.0"
                                       << "yes";
        QTest::newRow("not a number") << QByteArray("IF @ > 9 yes no") << "12b"
                                      << "no";
        // Wildcards in the second expression of = and <>.
        QTest::newRow("star") << QByteArray("IF @ = \"D*\" yes no") << "Dover"
                              << "yes";
        QTest::newRow("star case") << QByteArray("IF @ = \"d*\" yes no") << "Dover"
                                   << "no";
        QTest::newRow("question") << QByteArray("IF @ = \"D?ver\" yes no") << "Dover"
                                  << "yes";
        QTest::newRow("question short") << QByteArray("IF @ = \"D?v\" yes no") << "Dover"
                                        << "no";
        QTest::newRow("star inside") << QByteArray("IF @ <> \"*ov*r\" yes no") << "Dover"
                                     << "no";
        QTest::newRow("no wildcard for <") << QByteArray("IF @ < \"D*\" yes no") << "Dover"
                                           << "no";
        // Nested fields: an IF as an expression, an IF in the text shown, a merge field with switches.
        QTest::newRow("if in expression") << QByteArray("IF [IF @ = \"A*\" x y] = x yes no") << "Anna"
                                          << "yes";
        QTest::newRow("if in text") << QByteArray("IF @ = \"A*\" \"a [IF @ = Anna b c]\" no") << "Annie"
                                    << "a c";
        QTest::newRow("switches") << QByteArray("IF [MERGEFIELD V \\\\* Upper] = ANNA yes no") << "anna"
                                  << "yes";
        QTest::newRow("value of words") << QByteArray("IF @ = \"Ann Lee\" yes no") << "Ann Lee"
                                        << "yes";
    }

    void comparisons() {
        QFETCH(QByteArray, code);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        const auto t = rtf("\\pard <" + rtfField(code, "stored") + ">\\par ");
        QCOMPARE(copies(t, data({"V"}, {{value}})), QStringList{"<" + shown + ">"});
    }

    void malformedKeepStoredResult() {
        // Whatever Word could not evaluate shows what Word stored, and the merge goes on.
        for (const QByteArray& code :
             {QByteArray("IF @ = \"M\" \"Mr."), QByteArray("IF @"), QByteArray("IF @ ="),
              QByteArray("IF @ = \"M\""), QByteArray("IF @ ~ \"M\" yes no"), QByteArray("IF @ \"M\" yes no"),
              QByteArray("IF"), QByteArray("")}) {
            const auto t = rtf("\\pard <" + rtfField(code, "stored") + ">\\par ");
            QCOMPARE(copies(t, data({"V"}, {{"M"}})), QStringList{"<stored>"});
        }
        // A locked IF keeps its result too.
        const auto locked =
            rtf("\\pard {\\field\\fldlock{\\*\\fldinst IF 1 = 1 yes no}{\\fldrslt stored}}\\par ");
        QCOMPARE(copies(locked, data({"V"}, {{"M"}})), QStringList{"stored"});
        // So does one whose nesting runs too deep to keep, not what is left of its code ("IF x = x  no"):
        // the IFs outside it pass that result on.
        const auto nested = [](int depth) {
            QByteArray code = "IF 1 = 1 ok no";
            for (int i = 1; i < depth; ++i)
                code = "IF x = x [" + code + "] no";
            return rtf("\\pard " + rtfField(code, "stored") + "\\par ");
        };
        QCOMPARE(copies(nested(32), data({"V"}, {{"M"}})), QStringList{"ok"});
        QCOMPARE(copies(nested(40), data({"V"}, {{"M"}})), QStringList{"?"});
        // A quote left open in a Word 2007+ code.
        using namespace docxsamples;
        const QByteArray open = fieldMark("begin") + instr(" IF ") + simpleField("MERGEFIELD V", "P") +
                                instr(" = \"M\" \"yes") + fieldMark("separate") + run("stored") +
                                fieldMark("end");
        const auto t = std::make_shared<const Template>(
            readDocx(zipParts(package(document(paragraph(open)))), "t.docx"));
        QCOMPARE(copies(t, data({"V"}, {{"M"}})), QStringList{"stored"});
    }
};

QTEST_MAIN(TestIfFields)
#include "tst_iffields.moc"
