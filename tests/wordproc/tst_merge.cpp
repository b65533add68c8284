#include "Samples.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/Pages.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QtTest>

using namespace wordproc;
using samples::failureNumber;
using samples::mergeField;

namespace {

std::shared_ptr<const Template> tmpl(const QByteArray& body, const QByteArray& mailMerge = {}) {
    return std::make_shared<const Template>(readRtf(samples::rtfHead(mailMerge) + body + "}", "t.dot"));
}

std::shared_ptr<const DataSource> data(const QStringList& header, const QList<QStringList>& records) {
    return DataSource::parse(samples::dataFile(header, records), "data.txt");
}

// `count` records NAME i / i ELM ST / TROY / NY / 1218(i mod 10).
std::shared_ptr<const DataSource> names(int count) {
    QList<QStringList> records;
    for (int i = 1; i <= count; ++i)
        records << QStringList{QStringLiteral("NAME %1").arg(i), QStringLiteral("%1 ELM ST").arg(i), "TROY",
                               "NY", QStringLiteral("1218%1").arg(i % 10)};
    return data({"Cust_Name", "Cust_Street", "Cust_City", "Cust_State", "Cust_Zip"}, records);
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

private slots:
    void dataFile() {
        // A quote inside a value stays; Windows-1252 letters come out right; field names ignore case.
        const auto d = DataSource::parse("\"Cust_Name\"\t\"Cust_Street\"\t\"Dlr_Addr2\"\r\n"
                                         "\"JOS\xc9 O\"BRIEN\"\t\"12 \"B\" ST\"\t\"\"\r\n"
                                         "\"ANN\"\t\"1 A\tB ST\"\t\"x\"\r\n"
                                         "\"LINE\"\t\"FIRST\r\nSECOND\"\t\"y\"\r\n"
                                         "\"SHORT\"\r\n"
                                         "\"LAST\"\t\"9 Z ST\"\t\"z\"\n",
                                         "m.txt");
        QCOMPARE(d->fieldNames(), (QStringList{"Cust_Name", "Cust_Street", "Dlr_Addr2"}));
        QCOMPARE(d->recordCount(), 5);
        QCOMPARE((QStringList{d->value(0, 0), d->value(0, 1), d->value(1, 1), d->value(2, 1), d->value(3, 0),
                              d->value(3, 2), d->value(4, 1), d->value(9, 0)}),
                 (QStringList{QString::fromUtf8("JOSÉ O\"BRIEN"), "12 \"B\" ST", "1 A\tB ST",
                              "FIRST\r\nSECOND", "SHORT", "", "9 Z ST", ""}));

        QString why;
        QCOMPARE(failureNumber([&] { DataSource::read("/nonexistent/Nope.txt"); }, &why),
                 errors::FileNotFound);
        QVERIFY(why.contains("Nope.txt"));
        QCOMPARE(failureNumber([&] { DataSource::parse("\r\n\r\n", "empty.txt"); }),
                 errors::DataSourceUnreadable);
    }

    void fieldSwitches() {
        // \b and \f only around a value that is not empty; names compare without regard to case.
        const QByteArray around = "\\\\b \"Apt \" \\\\f \", \"";
        const auto t =
            tmpl("\\pard " + mergeField("A", "\\\\* Upper") + "|" + mergeField("A", "\\\\* Lower") + "|" +
                 mergeField("A", "\\\\* Caps") + "|" + mergeField("A", "\\\\* FirstCap") + "|" +
                 mergeField("B", around) + "|" + mergeField("C", around) + "|" + mergeField("a") + "\\par ");
        QCOMPARE(
            Merger(t, data({"A", "B", "C"}, {{"jane DOE", "4", ""}, {"mary-jo o'neil", "", "7"}}))
                .all("m")
                ->plainText(),
            QStringLiteral("JANE DOE|jane doe|Jane DOE|Jane DOE|Apt 4, ||jane DOE\nMARY-JO O'NEIL|mary-jo "
                           "o'neil|Mary-Jo O'neil|Mary-jo o'neil||Apt 7, |mary-jo o'neil"));

        // With MERGEFORMAT the value takes the stored result's formatting, without it the code's.
        const auto formats =
            tmpl("\\pard {\\field{\\*\\fldinst { MERGEFIELD A \\\\* MERGEFORMAT }}{\\fldrslt "
                 "{\\b\\i\\fs40 \\'abA\\'bb}}} {\\field{\\*\\fldinst {\\ul  MERGEFIELD B }}"
                 "{\\fldrslt {\\b \\'abB\\'bb}}}\\par ");
        const auto doc = Merger(formats, data({"A", "B"}, {{"alpha", "beta"}})).all("m");
        QTextDocument& d = *doc->copies.at(0).body;
        QCOMPARE(d.toPlainText(), QStringLiteral("alpha beta"));
        const QTextCharFormat a = d.find("alpha").charFormat(), b = d.find("beta").charFormat();
        QVERIFY(a.fontWeight() == QFont::Bold && a.fontItalic() && a.fontPointSize() == 20.0);
        QVERIFY(b.fontWeight() == QFont::Normal && b.fontUnderline());

        // A field the data lacks fails before merging, naming the field.
        QString why;
        const auto lacking =
            tmpl("\\pard Dear " + mergeField("cust_name") + mergeField("Cust_Title") + "\\par ");
        QCOMPARE(failureNumber([&] { Merger(lacking, names(2)); }, &why), errors::MergeFieldMissing);
        QVERIFY2(why.contains("\"Cust_Title\""), qPrintable(why));
    }

    void datesAndOtherFields() {
        const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9));
        QCOMPARE(
            (QStringList{formatDatePicture(when, "M/d/yy"), formatDatePicture(when, "dddd, MMM dd yyyy"),
                         formatDatePicture(when, "h:mm AM/PM"), formatDatePicture(when, "HH:mm:ss 'on' d"),
                         formatDatePicture(when, "MMMM\\ d', 'yyyy")}),
            (QStringList{"3/5/26", "Thursday, Mar 05 2026", "2:07 PM", "14:07:09 on 5", "March 5, 2026"}));
        Merger merger(tmpl("\\pard {\\field{\\*\\fldinst  DATE \\\\@ \"MMMM d, yyyy\" }{\\fldrslt old}} "
                           "{\\field{\\*\\fldinst  PAGE }{\\fldrslt 1}} {\\field{\\*\\fldinst HYPERLINK "
                           "\"http://x\"}{\\fldrslt {\\ul here}}}\\par "),
                      names(1));
        merger.setNow(when);
        QCOMPARE(merger.all("m")->plainText(), QStringLiteral("March 5, 2026 1 here"));
    }

    void lettersAndCatalog() {
        const QByteArray body = "\\pard Dear " + mergeField("Cust_Name") + ",\\par ";
        const QString text = "Dear NAME 1,\nDear NAME 2,\nDear NAME 3,\nDear NAME 4,\nDear NAME 5,";
        for (const auto& [type, pages] : {std::pair("\\mmmaintypeletters", 5), {"\\mmmaintypecatalog", 1}}) {
            const auto doc = Merger(tmpl(body, type), names(5)).all("m");
            QCOMPARE(doc->copies.size(), size_t(pages));
            QCOMPARE(doc->pageCount(), pages);
            QCOMPARE(doc->plainText(), text);
        }

        // A catalog longer than a page runs on to the next; its header stays.
        const auto list = Merger(tmpl("{\\header \\pard\\qc\\fs28\\b Call List\\par }\\pard\\tqr\\tx9360 " +
                                          mergeField("Cust_Name") + ", " + mergeField("Cust_City") +
                                          "\\tab " + mergeField("Cust_Zip") + "\\par ",
                                      "\\mmmaintypecatalog"),
                                 names(120))
                              .all("m");
        QCOMPARE(list->copies.size(), size_t(1));
        QCOMPARE(list->pageCount(), 3);
        QCOMPARE(list->copies.at(0).header->toPlainText(), QStringLiteral("Call List"));

        // So does a catalog of one table row per record: each page holds as many rows as fit, the one
        // after a page's last row included (it once went on alone, one record a page).
        const auto rows =
            Merger(tmpl("\\trowd\\trgaph108\\clbrdrb\\brdrs\\brdrw10\\cellx4000\\cellx8000\\pard\\intbl " +
                            mergeField("Cust_Name") + "\\cell " + mergeField("Cust_City") +
                            "\\cell\\row\\pard\\par ",
                        "\\mmmaintypecatalog"),
                   names(200))
                .all("m");
        QVERIFY2(rows->pageCount() >= 3 && rows->pageCount() <= 5,
                 qPrintable(QString::number(rows->pageCount())));
    }

    void spaceBeforeTheFirstParagraph() {
        // Space before a letter's first paragraph sets its first line's gap above the page's top; that
        // line once counted as lying on the page before the first, and the page break that came later
        // then pushed the rest of page 1 on to a page of its own.
        const auto doc =
            Merger(tmpl("\\pard\\sb240 Heading\\par \\pard Text\\par \\page Last\\par "), nullptr).all("m");
        QCOMPARE(doc->pageCount(), 2);
        const QTextDocument& body = *doc->copies.at(0).body;
        const double pageHeight = body.pageSize().height();
        for (QTextBlock b = body.begin(); b.isValid(); b = b.next()) {
            const double top = body.documentLayout()->blockBoundingRect(b).top();
            QCOMPARE(int(top / pageHeight), b.text() == "Last" ? 1 : 0);
        }
    }

    void lineHeightsFollowEachLettersText() {
        // A letter sets its paragraphs' line heights as the letter before set them only where their text
        // is of the same formats: a field in a larger face that one record leaves empty gives that
        // letter's line the spacing of the smaller face alone, and the next one the larger's again, as
        // each merged on its own.
        const auto t = tmpl("\\pard\\f0\\fs20 Dear {\\f1\\fs44 " + mergeField("A") +
                            "} friend\\par \\pard\\f1\\fs28 Same for all\\par ");
        const QList<QStringList> records{{"BIG"}, {""}, {"TALL"}, {""}};
        const auto together = Merger(t, data({"A"}, records)).all("m");
        QCOMPARE(int(together->copies.size()), records.size());
        // Per paragraph with text: how its lines are spaced, and how tall it is laid out.
        const auto spacing = [](const QTextDocument& doc) {
            QList<QVariantList> lines;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                const QTextBlockFormat f = b.blockFormat();
                if (!b.text().isEmpty())
                    lines << QVariantList{f.lineHeightType(), f.lineHeight(), f.property(kLeadingProperty),
                                          doc.documentLayout()->blockBoundingRect(b).height()};
            }
            return lines;
        };
        QList<QList<QVariantList>> merged;
        for (int i = 0; i < records.size(); ++i) {
            const auto alone = Merger(t, data({"A"}, {records.at(i)})).all("m");
            merged << spacing(*together->copies.at(size_t(i)).body);
            QCOMPARE(merged.last(), spacing(*alone->copies.at(0).body));
        }
        QCOMPARE(merged.at(0).size(), 2);
        QVERIFY(merged.at(0).at(0) != merged.at(1).at(0));
        QVERIFY(merged.at(0).at(0).at(3).toDouble() > merged.at(1).at(0).at(3).toDouble());
        QCOMPARE(merged.at(2), merged.at(0));
        QCOMPARE(merged.at(3), merged.at(1));
    }

    void lineHeightsFollowEachLettersLines() {
        // Heights that a letter's text sets are not handed on to the next letter, in paragraphs of more
        // than basic Latin too: a field in a larger face left empty, raised text on a line of its own,
        // and faces of two heights on one line or on several. Each letter is as if merged alone.
        const QString longText = QString("words that run on ").repeated(30);
        const QList<std::pair<QByteArray, QList<QStringList>>> cases{
            {"\\pard\\f0\\fs24 Caf\\'e9 {\\f1\\fs44 " + mergeField("A") + "} bar\\par ",
             {{"BIG"}, {""}, {"m\u00e9nu"}, {""}}},
            {"\\pard\\f0\\fs24 Caf\\'e9 " + mergeField("A") + " m{\\up12 2}\\par ",
             {{"short"}, {longText}, {"short"}}},
            {"\\pard\\f0\\fs20 Caf\\'e9 {\\f1\\fs36 " + mergeField("A") + "} end\\par ",
             {{"short"}, {longText}, {"short"}, {longText}}},
        };
        const auto heights = [](const QTextDocument& doc) {
            QList<QVariantList> lines;
            for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
                const QTextBlockFormat f = b.blockFormat();
                if (!b.text().isEmpty())
                    lines << QVariantList{f.lineHeightType(),
                                          f.lineHeight(),
                                          f.property(kLeadingProperty),
                                          f.property(kRaiseProperty),
                                          f.property(kFittedHeightProperty),
                                          doc.documentLayout()->blockBoundingRect(b).height()};
            }
            return lines;
        };
        for (const auto& [body, records] : cases) {
            const auto t = tmpl(body);
            const auto together = Merger(t, data({"A"}, records)).all("m");
            QCOMPARE(int(together->copies.size()), records.size());
            QSet<QString> differing;
            for (int i = 0; i < records.size(); ++i) {
                const auto alone = Merger(t, data({"A"}, {records.at(i)})).all("m");
                const auto mine = heights(*together->copies.at(size_t(i)).body);
                QCOMPARE(mine, heights(*alone->copies.at(0).body));
                QStringList shown;
                for (const QVariantList& line : mine)
                    for (const QVariant& v : line)
                        shown << v.toString();
                differing << shown.join(' ');
            }
            // Each case's records do set their paragraph apart.
            QVERIFY2(differing.size() > 1, body.constData());
        }
    }

    void emptyFieldsUnmerged() {
        // Without data, a merge field whose stored result is empty shows nothing, and the text around it
        // stays: its paragraph is not the field's to hide.
        const QByteArray empty = "{\\field{\\*\\fldinst  MERGEFIELD Cust_Zip }{\\fldrslt  }}";
        const auto t = tmpl("\\pard First\\par Gone " + empty + " too\\par Last\\par ");
        const QStringList lines = Merger(t, nullptr).all("m")->plainText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(1).simplified(), QStringLiteral("Gone too"));
        QVERIFY(Merger(t, names(1)).all("m")->plainText().contains("Gone 12181 too"));
    }

    void emptyMergeLinesLeftOut() {
        // A line of nothing but merge fields, spaces and tabs whose fields all come out empty is left
        // out, merged or shown as it stands; a line whose field has a value, or with other text, stays.
        const QByteArray zip = "{\\field{\\*\\fldinst  MERGEFIELD Cust_Zip }{\\fldrslt }}";
        const auto t = tmpl("\\pard First\\par " + mergeField("Cust_City") + "\\par " + zip + " \\tab " +
                            zip + "\\par To " + zip + "\\par Last\\par ");
        const auto lines = [](const MergedDocument& doc) {
            QStringList out;
            for (const PageCopy& copy : doc.copies)
                for (QTextBlock b = copy.body->begin(); b.isValid(); b = b.next())
                    out << b.text().simplified();
            return out;
        };
        QCOMPARE(lines(*Merger(t, nullptr).all("m")),
                 (QStringList{"First", QString::fromUtf8("«Cust_City»"), "To", "Last"}));
        const auto d = data({"Cust_City", "Cust_Zip"}, {{"", ""}, {"TROY", ""}, {"", "12180"}});
        QCOMPARE(lines(*Merger(t, d).all("m")),
                 (QStringList{"First", "To", "Last", "First", "TROY", "To", "Last", "First", "12180 12180",
                              "To 12180", "Last"}));
    }

    void nonBreakingHyphens() {
        // A non-breaking hyphen prints as a hyphen that keeps its words whole on the next line, where
        // typed hyphens let the line break after them.
        const auto doc =
            Merger(tmpl("\\paperw2600\\margl100\\margr100\\pard Our well\\_known\\_brand\\_name\\par "
                        "Our well-known-brand-name\\par "),
                   nullptr)
                .all("m");
        const QTextDocument& body = *doc->copies.at(0).body;
        QStringList texts;
        std::vector<int> firstLines;
        for (QTextBlock b = body.begin(); b.isValid(); b = b.next())
            if (!b.text().isEmpty()) {
                texts << b.text();
                QCOMPARE(b.layout()->lineCount(), 2);
                firstLines.push_back(b.layout()->lineAt(0).textLength());
            }
        QCOMPARE(texts, (QStringList{QString::fromUtf8("Our well-\u2060known-\u2060brand-\u2060name"),
                                     "Our well-known-brand-name"}));
        QCOMPARE(firstLines.front(), 4);
        QVERIFY2(firstLines.back() > 4, qPrintable(QString::number(firstLines.back())));
    }

    void labelsWithNext() {
        const auto t = std::make_shared<const Template>(readRtf(samples::labelTemplate(), "labels.dot"));
        QCOMPARE(t->type, MainType::Labels);
        const auto doc = Merger(t, names(11)).all("m");
        QCOMPARE(doc->copies.size(), size_t(2));
        QCOMPARE(doc->pageCount(), 2);
        const QStringList first = samples::cellTexts(*doc->copies.at(0).body);
        QCOMPARE(first.size(), 9);
        for (int i = 1; i <= 9; ++i)
            QCOMPARE(first.at(i - 1), QStringLiteral("NAME %1|%1 ELM ST|TROY, NY 1218%1").arg(i));
        // Records outlasting the sheet go on a second one; past the last record the labels stay blank.
        QCOMPARE(samples::cellTexts(*doc->copies.at(1).body),
                 QStringList({"NAME 10|10 ELM ST|TROY, NY 12180", "NAME 11|11 ELM ST|TROY, NY 12181", "||",
                              "||", "||", "||", "||", "||", "||"}));

        // A sheet whose rows fill the page exactly: 30 labels a page, nothing spills over.
        const auto sheet = std::make_shared<const Template>(readRtf(samples::labelTemplate(10), "full.dot"));
        QCOMPARE(sheet->page.heightTwips - sheet->page.topTwips - sheet->page.bottomTwips, 10 * 1440);
        const auto sheets = Merger(sheet, names(61)).all("m");
        QCOMPARE(sheets->copies.size(), size_t(3));
        QCOMPARE(sheets->pageCount(), 3);
        QCOMPARE(samples::cellTexts(*sheets->copies.at(2).body).at(0),
                 QStringLiteral("NAME 61|61 ELM ST|TROY, NY 12181"));
    }
};

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
