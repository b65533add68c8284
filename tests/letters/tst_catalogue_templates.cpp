// The templates that come with the installation, read and merged by the built-in word processor with
// data shaped exactly as the merge data writers write it.

#include "errors/Failure.h"
#include "platform/Platform.h"
#include "tests/support/Installation.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"
#include "wordproc/WordProcessor.h"

#include <QDirIterator>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTest>

using namespace wordproc;

namespace {

const QStringList kLetterFields = {"Cust_Name", "Cust_Street",  "Cust_City",    "Cust_State", "Cust_Zip",
                                   "Dlr_Name",  "Dlr_Addr1",    "Dlr_Addr2",    "Dlr_City",   "Dlr_State",
                                   "Dlr_Zip",   "Contact_Name", "Contact_Phone"};
const QStringList kCallFields = {"Cust_Name", "Cust_City", "Cust_State", "Cust_Phone"};

// Tab-separated quoted fields with CR LF, in Windows-1252, a header line first.
QByteArray dataText(const QStringList& header, const QList<QStringList>& records) {
    QString text;
    for (const QStringList& r : QList<QStringList>{header} + records)
        text += "\"" + r.join("\"\t\"") + "\"\r\n";
    return QStringEncoder("windows-1252").encode(text);
}

std::shared_ptr<const DataSource> data(const QStringList& header, const QList<QStringList>& records) {
    return DataSource::parse(dataText(header, records), "MergeData.txt");
}

QStringList record(bool callList, int n) {
    const QString k = QString::number(n);
    if (callList)
        return {"MARY MAJOR" + k, "DECATUR", "IL", "(217) 555-" + QString::number(1000 + n)};
    return {"JOHN Q PUBLIC" + k, k + " OAK ST",           "SPRINGFIELD", "IL", "62701", "Acme Auto Sales",
            "1200 W Main St",    n == 1 ? "Suite 4" : "", "Springfield", "IL", "62704", "Pat Seller",
            "(217) 555-0199"};
}

std::shared_ptr<MergedDocument> merge(const QString& file, std::shared_ptr<const DataSource> source) {
    Merger merger(std::make_shared<Template>(readTemplateFile(file)), std::move(source));
    merger.setNow(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    return merger.all("Letters1");
}

} // namespace

class TestTemplates : public QObject {
    Q_OBJECT
private slots:
    // Letters (one per record, dated, with lead, dealership and contact), the label sheet (three across,
    // ten down) and the call list (one catalog) each use every field of their data and merge it; data
    // lacking a field is refused rather than half merged.
    void shippedTemplates() {
        QStringList kinds;
        QDirIterator it(QM_SOURCE_DIR "/templates", {"*.dot"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const Template t = readTemplateFile(file);
            const bool callList = t.type == MainType::Catalog;
            const QStringList& fields = callList ? kCallFields : kLetterFields;
            QStringList used;
            int nexts = 0, rows = 0, dates = 0;
            for (const Field& f : t.fields) {
                used << f.name;
                nexts += f.kind == Field::Next;
                dates += f.kind == Field::Date;
            }
            // Labels carry only the customer's address.
            for (const QString& field : t.type == MainType::Labels ? kLetterFields.mid(0, 5) : fields)
                QVERIFY2(used.contains(field), qPrintable(file + ": " + field));
            QList<QStringList> records;
            for (int i = 1; i <= 31; ++i)
                records << record(callList, i);
            const auto merged = merge(file, data(fields, records));
            const QString text = merged->plainText();
            QVERIFY2(!text.contains("Cust_"), qPrintable(file));
            if (t.type == MainType::Letters) {
                kinds << "letter";
                QCOMPARE(QSize(t.page.widthTwips, t.page.heightTwips), QSize(12240, 15840));
                QVERIFY(dates > 0);
                QCOMPARE(int(merged->copies.size()), 31);
                for (const char* s : {"March 5, 2026", "John Q Public31", "31 Oak St", "ACME AUTO SALES",
                                      "1200 W Main St, Suite 4", "Pat Seller", "(217) 555-0199"})
                    QVERIFY2(text.contains(s), qPrintable(file + ": " + s));
                QCOMPARE(text.count("1200 W Main St, "), 1); // an empty second line adds nothing
            } else if (t.type == MainType::Labels) {
                kinds << "labels";
                for (const Block& b : t.body.blocks)
                    if (const Table* table = std::get_if<Table>(&b))
                        for (const Row& row : table->rows) {
                            QCOMPARE(int(row.cells.size()), 3);
                            ++rows;
                        }
                QCOMPARE(rows, 10);
                QCOMPARE(nexts, 29);
                QCOMPARE(int(merged->copies.size()), 2); // 31 labels: a full sheet and one more
                QVERIFY(text.contains("JOHN Q PUBLIC31"));
            } else {
                kinds << "call list";
                QCOMPARE(int(merged->copies.size()), 1);
                QVERIFY(text.contains("Mary Major1\tDecatur\tIL\t(217) 555-1001"));
                QVERIFY(text.contains("Mary Major31\tDecatur\tIL\t(217) 555-1031"));
            }
            QVERIFY_THROWS_EXCEPTION(Failure, merge(file, data(fields.mid(1), {records[0].mid(1)})));
        }
        kinds.sort();
        QCOMPARE(kinds, (QStringList{"call list", "labels", "letter", "letter", "letter"}));
    }

    // Court lists give names as "LAST, FIRST": a printed letter greets without the name, which
    // appears only where it reads as a record, in the address block.
    void lettersGreetWithoutTheReversedName() {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext (poppler-utils) is needed to read the printed pages back");
        QTemporaryDir dir;
        QStringList lead = record(false, 1);
        lead[0] = "LEE, LINDA";
        QFile dataFile(dir.filePath("MergeData.txt"));
        QVERIFY(dataFile.open(QIODevice::WriteOnly));
        dataFile.write(dataText(kLetterFields, {lead}));
        dataFile.close();
        const QStringList greetings = {"Follow-ups/Checking In.dot|Hello again,",
                                       "Initials/Fresh Start Invitation.dot|Dear Neighbor:",
                                       "Initials/Second Chance Welcome.dot|Dear Neighbor:"};
        for (const QString& expected : greetings) {
            const QString pdf = dir.filePath("letter.pdf");
            platform::ScriptedAnswerer answers;
            answers.setNextPrintFile(pdf);
            auto app = std::make_shared<Application>();
            Document& letter =
                app->documents().add(QM_SOURCE_DIR "/templates/" + expected.section('|', 0, 0));
            letter.mailMerge().openDataSource(dataFile.fileName());
            letter.mailMerge().setDestination(Printer);
            letter.mailMerge().execute(true);
            const QStringList lines = PdfText(pdf).split('\n');
            QCOMPARE(lines.filter("Lee").join('|'), QString("Lee, Linda"));
            QVERIFY2(lines.indexOf(expected.section('|', 1)) > lines.indexOf("Lee, Linda"),
                     qPrintable(expected));
        }
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_catalogue_templates.moc"
