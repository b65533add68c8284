#include "Samples.h"
#include "errors/Failure.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordErrors.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextTable>
#include <QtTest>

using namespace wordproc;

namespace {

std::shared_ptr<const Template> tmpl(const QByteArray& body, const QByteArray& mailMerge = {}) {
    return std::make_shared<const Template>(readRtf(samples::rtfHead(mailMerge) + body + "}", "t.dot"));
}

std::shared_ptr<const DataSource> data(const QStringList& header, const QList<QStringList>& records) {
    return DataSource::parse(samples::dataFile(header, records), "data.txt");
}

std::shared_ptr<const DataSource> names(int count) {
    QList<QStringList> records;
    for (int i = 1; i <= count; ++i)
        records << QStringList{QStringLiteral("NAME %1").arg(i), QStringLiteral("%1 ELM ST").arg(i)};
    return data({"Cust_Name", "Cust_Street"}, records);
}

QString merged(const std::shared_ptr<const Template>& t, const std::shared_ptr<const DataSource>& d) {
    Merger merger(t, d);
    return merger.all("m")->plainText();
}

// The texts of a table's cells, row by row.
QStringList cellTexts(QTextDocument& doc) {
    QTextTable* table = nullptr;
    for (QTextBlock b = doc.begin(); b.isValid() && !table; b = b.next())
        table = QTextCursor(b).currentTable();
    QStringList out;
    if (!table)
        return out;
    for (int r = 0; r < table->rows(); ++r)
        for (int c = 0; c < table->columns(); ++c) {
            QTextCursor cur = table->cellAt(r, c).firstCursorPosition();
            cur.setPosition(table->cellAt(r, c).lastCursorPosition().position(), QTextCursor::KeepAnchor);
            out << cur.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('|'));
        }
    return out;
}

} // namespace

class TestMerge : public QObject {
    Q_OBJECT

private slots:
    void dataFile() {
        // A value with a quote inside stays whole; Windows-1252 letters come out right; names ignore case.
        QByteArray bytes = "\"Cust_Name\"\t\"Cust_Street\"\t\"Dlr_Addr2\"\r\n"
                           "\"JOS\xc9 O\"BRIEN\"\t\"12 \"B\" ST\"\t\"\"\r\n"
                           "\"ANN\"\t\"1 A\tB ST\"\t\"x\"\r\n"
                           "\"LINE\"\t\"FIRST\r\nSECOND\"\t\"y\"\r\n"
                           "\"SHORT\"\r\n"
                           "\"LAST\"\t\"9 Z ST\"\t\"z\"\n";
        const auto d = DataSource::parse(bytes, "m.txt");
        QCOMPARE(d->fieldNames(), (QStringList{"Cust_Name", "Cust_Street", "Dlr_Addr2"}));
        QCOMPARE(d->recordCount(), 5);
        QCOMPARE(d->value(0, 0), QString::fromUtf8("JOSÉ O\"BRIEN"));
        QCOMPARE(d->value(0, 1), QStringLiteral("12 \"B\" ST"));
        QCOMPARE(d->value(0, 2), QString());
        QCOMPARE(d->value(1, 1), QStringLiteral("1 A\tB ST"));
        QCOMPARE(d->value(2, 1), QStringLiteral("FIRST\r\nSECOND"));
        QCOMPARE(d->value(3, 0), QStringLiteral("SHORT"));
        QCOMPARE(d->value(3, 2), QString());
        QCOMPARE(d->value(4, 1), QStringLiteral("9 Z ST"));
        QCOMPARE(d->value(9, 0), QString());
        QCOMPARE(d->fieldIndex("cust_street"), 1);
        QCOMPARE(d->fieldIndex("CUST_NAME"), 0);
        QCOMPARE(d->fieldIndex("Cust"), -1);

        QTemporaryDir dir;
        const QString path = dir.filePath("MergeData.txt");
        QVERIFY(
            samples::writeFile(path, samples::dataFile(samples::letterFields(),
                                                       {samples::letterRecord(QString::fromUtf8("RENÉE"))})));
        const auto fromFile = DataSource::read(path);
        QCOMPARE(fromFile->recordCount(), 1);
        QCOMPARE(fromFile->value(0, fromFile->fieldIndex("Cust_Name")), QString::fromUtf8("RENÉE"));
        QCOMPARE(fromFile->fieldNames().size(), 13);

        try {
            DataSource::read(dir.filePath("Nope.txt"));
            QFAIL("a missing data file was read");
        } catch (const Failure& f) {
            QCOMPARE(f.number(), errors::FileNotFound);
            QVERIFY(f.description().contains("Nope.txt"));
        }
        try {
            DataSource::parse("\r\n\r\n", "empty.txt");
            QFAIL("a data file without a header was read");
        } catch (const Failure& f) {
            QCOMPARE(f.number(), errors::DataSourceUnreadable);
        }
    }

    void caseSwitchesAndTexts() {
        QCOMPARE(applyCaseSwitches("mary-jo o'neil", {"Caps"}), QStringLiteral("Mary-Jo O'neil"));
        QCOMPARE(applyCaseSwitches("JOHN SMITH", {"Lower", "Caps"}), QStringLiteral("John Smith"));
        QCOMPARE(applyCaseSwitches("JOHN SMITH", {"Caps"}), QStringLiteral("JOHN SMITH"));
        QCOMPARE(applyCaseSwitches("  john smith", {"FirstCap"}), QStringLiteral("  John smith"));
        QCOMPARE(applyCaseSwitches("MiXeD", {"Upper"}), QStringLiteral("MIXED"));
        QCOMPARE(applyCaseSwitches("MiXeD", {"Lower"}), QStringLiteral("mixed"));

        const auto t =
            tmpl("\\pard " + samples::mergeField("A", "\\\\* Upper") + "|" +
                 samples::mergeField("A", "\\\\* Lower") + "|" + samples::mergeField("A", "\\\\* Caps") +
                 "|" + samples::mergeField("A", "\\\\* FirstCap") + "|" +
                 samples::mergeField("B", "\\\\b \"Apt \" \\\\f \", \"") + "|" +
                 samples::mergeField("C", "\\\\b \"Apt \" \\\\f \", \"") + "|" + samples::mergeField("a") +
                 "\\par ");
        const auto d = data({"A", "B", "C"}, {{"jane DOE", "4", ""}, {"al", "", "7"}});
        QCOMPARE(merged(t, d), QStringLiteral("JANE DOE|jane doe|Jane DOE|Jane DOE|Apt 4, ||jane DOE\n"
                                              "AL|al|Al|Al||Apt 7, |al"));
    }

    void mergeFormat() {
        // With MERGEFORMAT the value takes the stored result's formatting, without it the code's.
        const auto t =
            tmpl("\\pard {\\field{\\*\\fldinst { MERGEFIELD A \\\\* MERGEFORMAT }}"
                 "{\\fldrslt {\\b\\i\\fs40 \\'abA\\'bb}}} {\\field{\\*\\fldinst {\\ul  MERGEFIELD B }}"
                 "{\\fldrslt {\\b \\'abB\\'bb}}}\\par ");
        Merger merger(t, data({"A", "B"}, {{"alpha", "beta"}}));
        const auto doc = merger.all("m");
        QTextDocument& d = *doc->copies.at(0).body;
        QCOMPARE(d.toPlainText(), QStringLiteral("alpha beta"));
        const QTextCharFormat a = d.find("alpha").charFormat();
        QCOMPARE(a.fontWeight(), int(QFont::Bold));
        QVERIFY(a.fontItalic());
        QCOMPARE(a.fontPointSize(), 20.0);
        const QTextCharFormat b = d.find("beta").charFormat();
        QCOMPARE(b.fontWeight(), int(QFont::Normal));
        QVERIFY(b.fontUnderline());
    }

    void datesAndOtherFields() {
        const QDateTime when(QDate(2026, 3, 5), QTime(14, 7, 9));
        QCOMPARE(formatDatePicture(when, "MMMM d, yyyy"), QStringLiteral("March 5, 2026"));
        QCOMPARE(formatDatePicture(when, "M/d/yy"), QStringLiteral("3/5/26"));
        QCOMPARE(formatDatePicture(when, "dddd, MMM dd yyyy"), QStringLiteral("Thursday, Mar 05 2026"));
        QCOMPARE(formatDatePicture(when, "h:mm AM/PM"), QStringLiteral("2:07 PM"));
        QCOMPARE(formatDatePicture(when, "HH:mm:ss 'on' d"), QStringLiteral("14:07:09 on 5"));

        const auto t = tmpl("\\pard {\\field{\\*\\fldinst  DATE \\\\@ \"MMMM d, yyyy\" }{\\fldrslt old}} "
                            "{\\field{\\*\\fldinst  PAGE }{\\fldrslt 1}} {\\field{\\*\\fldinst HYPERLINK "
                            "\"http://x\"}{\\fldrslt {\\ul here}}}\\par ");
        Merger merger(t, names(1));
        merger.setNow(when);
        QCOMPARE(merger.all("m")->plainText(), QStringLiteral("March 5, 2026 1 here"));
    }

    void missingField() {
        const auto t = tmpl("\\pard Dear " + samples::mergeField("cust_name") +
                            samples::mergeField("Cust_Title") + "\\par ");
        try {
            Merger merger(t, names(2));
            QFAIL("a template with a field the data lacks was merged");
        } catch (const Failure& f) {
            QCOMPARE(f.number(), errors::MergeFieldMissing);
            QVERIFY2(f.description().contains("\"Cust_Title\""), qPrintable(f.description()));
        }
        // Field names compare without regard to case.
        QCOMPARE(merged(tmpl("\\pard " + samples::mergeField("cust_NAME") + "\\par "), names(1)),
                 QStringLiteral("NAME 1"));
    }

    void lettersAndCatalog() {
        const QByteArray body = "\\pard Dear " + samples::mergeField("Cust_Name") + ",\\par ";
        {
            Merger merger(tmpl(body, "\\mmmaintypeletters"), names(5));
            const auto doc = merger.all("m");
            QCOMPARE(doc->copies.size(), size_t(5));
            QCOMPARE(doc->pageCount(), 5);
            QCOMPARE(doc->plainText(),
                     QStringLiteral("Dear NAME 1,\nDear NAME 2,\nDear NAME 3,\nDear NAME 4,\nDear NAME 5,"));
        }
        {
            Merger merger(tmpl(body, "\\mmmaintypecatalog"), names(5));
            const auto doc = merger.all("m");
            QCOMPARE(doc->copies.size(), size_t(1));
            QCOMPARE(doc->pageCount(), 1);
            QCOMPARE(doc->plainText(),
                     QStringLiteral("Dear NAME 1,\nDear NAME 2,\nDear NAME 3,\nDear NAME 4,\nDear NAME 5,"));
        }
        {
            // A catalog longer than a page runs on to the next; the header repeats on each copy.
            Merger merger(std::make_shared<const Template>(readRtf(samples::callListTemplate(), "c.dot")),
                          data({"Cust_Name", "Cust_City", "Cust_State", "Cust_Phone"},
                               QList<QStringList>(120, QStringList{"N", "C", "S", "555"})));
            const auto doc = merger.all("m");
            QCOMPARE(doc->copies.size(), size_t(1));
            QCOMPARE(doc->pageCount(), 3);
            QCOMPARE(doc->copies.at(0).header->toPlainText(), QStringLiteral("Call List"));
        }
        // Letters stream one copy at a time.
        Merger merger(tmpl(body), names(3));
        int copies = 0;
        while (!merger.atEnd()) {
            const PageCopy c = merger.next();
            QCOMPARE(c.body->toPlainText(), QStringLiteral("Dear NAME %1,").arg(++copies));
        }
        QCOMPARE(copies, 3);
    }

    void labelsWithNext() {
        const auto t = std::make_shared<const Template>(readRtf(samples::labelTemplate(), "labels.dot"));
        QCOMPARE(t->type, MainType::Labels);
        QList<QStringList> records;
        for (int i = 1; i <= 11; ++i)
            records << QStringList{QStringLiteral("NAME %1").arg(i), QStringLiteral("%1 ELM ST").arg(i),
                                   "TROY", "NY", QStringLiteral("1218%1").arg(i % 10)};
        Merger merger(t, data({"Cust_Name", "Cust_Street", "Cust_City", "Cust_State", "Cust_Zip"}, records));
        const auto doc = merger.all("m");
        QCOMPARE(doc->copies.size(), size_t(2));
        QCOMPARE(doc->pageCount(), 2);
        QStringList first = cellTexts(*doc->copies.at(0).body);
        QCOMPARE(first.size(), 9);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(first.at(i),
                     QStringLiteral("NAME %1|%1 ELM ST|TROY, NY 1218%2").arg(i + 1).arg((i + 1) % 10));
        const QStringList second = cellTexts(*doc->copies.at(1).body);
        QCOMPARE(second.at(0), QStringLiteral("NAME 10|10 ELM ST|TROY, NY 12180"));
        QCOMPARE(second.at(1), QStringLiteral("NAME 11|11 ELM ST|TROY, NY 12181"));
        // Past the last record the labels stay blank.
        for (int i = 2; i < 9; ++i)
            QCOMPARE(second.at(i), QStringLiteral("||"));

        // A sheet whose rows fill the page exactly: 30 labels a page, nothing spills over.
        QByteArray full = samples::labelTemplate(10);
        const auto sheet = std::make_shared<const Template>(readRtf(full, "full.dot"));
        QCOMPARE(sheet->page.heightTwips - sheet->page.topTwips - sheet->page.bottomTwips, 10 * 1440);
        QList<QStringList> many;
        for (int i = 1; i <= 61; ++i)
            many << QStringList{QStringLiteral("N%1").arg(i), "S", "C", "ST", "Z"};
        Merger fullMerger(sheet,
                          data({"Cust_Name", "Cust_Street", "Cust_City", "Cust_State", "Cust_Zip"}, many));
        const auto sheets = fullMerger.all("m");
        QCOMPARE(sheets->copies.size(), size_t(3));
        QCOMPARE(sheets->pageCount(), 3);
        QCOMPARE(cellTexts(*sheets->copies.at(2).body).at(0), QStringLiteral("N61|S|C, ST Z"));
    }
};

QTEST_MAIN(TestMerge)
#include "tst_merge.moc"
