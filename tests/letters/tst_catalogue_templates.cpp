// The templates that come with the installation, read and merged by the built-in word processor with
// data shaped exactly as the merge data writers write it.

#include "errors/Failure.h"
#include "wordproc/DataSource.h"
#include "wordproc/Merge.h"
#include "wordproc/RtfReader.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>

using namespace wordproc;

namespace {

const QString kTemplates = QStringLiteral(QM_SOURCE_DIR "/templates/");

const QStringList kLetterFields = {"Cust_Name", "Cust_Street",  "Cust_City",    "Cust_State", "Cust_Zip",
                                   "Dlr_Name",  "Dlr_Addr1",    "Dlr_Addr2",    "Dlr_City",   "Dlr_State",
                                   "Dlr_Zip",   "Contact_Name", "Contact_Phone"};
const QStringList kCallFields = {"Cust_Name", "Cust_City", "Cust_State", "Cust_Phone"};

std::shared_ptr<const DataSource> data(const QStringList& header, const QList<QStringList>& records) {
    QString text;
    const auto line = [&](const QStringList& fields) {
        text += QLatin1Char('"') + fields.join(QStringLiteral("\"\t\"")) + QStringLiteral("\"\r\n");
    };
    line(header);
    for (const QStringList& r : records)
        line(r);
    QStringEncoder encoder("windows-1252");
    return DataSource::parse(encoder.encode(text), QStringLiteral("MergeData.txt"));
}

QStringList lead(int n, const QString& addr2 = QString()) {
    return {QStringLiteral("JOHN Q PUBLIC%1").arg(n),
            QStringLiteral("%1 OAK ST").arg(n),
            "SPRINGFIELD",
            "IL",
            "62701",
            "Acme Auto Sales",
            "1200 W Main St",
            addr2,
            "Springfield",
            "IL",
            "62704",
            "Pat Seller",
            "(217) 555-0199"};
}

QStringList templateFiles(const QString& folder) {
    QStringList out;
    for (const QString& name : QDir(folder).entryList(QDir::Files))
        if (name.right(4).toLower() == QStringLiteral(".dot"))
            out << folder + name;
    return out;
}

std::shared_ptr<MergedDocument> merge(const QString& file, std::shared_ptr<const DataSource> source) {
    auto tmpl = std::make_shared<Template>(readTemplateFile(file));
    Merger merger(tmpl, std::move(source));
    merger.setNow(QDateTime(QDate(2026, 3, 5), QTime(10, 0)));
    return merger.all(QStringLiteral("Letters1"));
}

} // namespace

class TestTemplates : public QObject {
    Q_OBJECT
private slots:
    // Every letter template is a one-record-per-letter document on US Letter that merges with the
    // letter data: the letter carries the lead, the dealership and the contact, and is dated.
    void letters() {
        QStringList files = templateFiles(kTemplates + QStringLiteral("Initials/"));
        QVERIFY(files.size() >= 2);
        const QStringList followUps = templateFiles(kTemplates + QStringLiteral("Follow-ups/"));
        QVERIFY(followUps.size() >= 1);
        files += followUps;
        for (const QString& file : files) {
            const Template t = readTemplateFile(file);
            QVERIFY2(t.type == MainType::Letters, qPrintable(file));
            QCOMPARE(t.page.widthTwips, 12240);
            QCOMPARE(t.page.heightTwips, 15840);
            QStringList used;
            bool dated = false;
            for (const Field& f : t.fields) {
                if (f.kind == Field::Merge)
                    used << f.name;
                dated = dated || f.kind == Field::Date;
            }
            QVERIFY2(dated, qPrintable(file));
            for (const QString& field : kLetterFields)
                QVERIFY2(used.contains(field), qPrintable(file + QStringLiteral(": ") + field));

            const auto merged = merge(file, data(kLetterFields, {lead(1, "Suite 4"), lead(2)}));
            QCOMPARE(int(merged->copies.size()), 2); // one letter per record
            const QString text = merged->plainText();
            QVERIFY2(text.contains(QStringLiteral("March 5, 2026")), qPrintable(file));
            QVERIFY(text.contains(QStringLiteral("John Q Public1")));
            QVERIFY(text.contains(QStringLiteral("John Q Public2")));
            QVERIFY(text.contains(QStringLiteral("1 Oak St")));
            QVERIFY(text.contains(QStringLiteral("ACME AUTO SALES")));
            QVERIFY(text.contains(QStringLiteral("1200 W Main St, Suite 4")));
            QVERIFY(text.contains(QStringLiteral("Pat Seller")));
            QVERIFY(text.contains(QStringLiteral("(217) 555-0199")));
            QVERIFY(!text.contains(QStringLiteral("Cust_")));
            QCOMPARE(text.count(QStringLiteral("1200 W Main St, ")), 1); // an empty second line adds nothing

            // The call-list data lacks the letter fields: such a merge is refused, not half done.
            QVERIFY_THROWS_EXCEPTION(Failure, merge(file, data(kCallFields, {{"A", "B", "C", "D"}})));
        }
    }

    // The label sheet: three across, ten down; thirty-one records fill one sheet and start another.
    void labels() {
        const QStringList files = templateFiles(kTemplates + QStringLiteral("MailAids/"));
        QVERIFY(files.size() >= 1);
        for (const QString& file : files) {
            const Template t = readTemplateFile(file);
            QCOMPARE(t.type, MainType::Labels);
            int nexts = 0;
            for (const Field& f : t.fields)
                nexts += f.kind == Field::Next ? 1 : 0;
            QCOMPARE(nexts, 29);
            QList<QStringList> records;
            for (int i = 1; i <= 31; ++i)
                records << lead(i);
            const auto merged = merge(file, data(kLetterFields, records));
            QCOMPARE(int(merged->copies.size()), 2);
            QCOMPARE(merged->pageCount(), 2);
            const QString text = merged->plainText();
            for (int i = 1; i <= 31; ++i)
                QVERIFY(text.contains(QRegularExpression(QStringLiteral("JOHN Q PUBLIC%1\\b").arg(i))));
        }
    }

    // The call list: one catalog of every record, with the call data's four fields only.
    void callList() {
        const QString file = kTemplates + QStringLiteral("CallList.dot");
        const Template t = readTemplateFile(file);
        QCOMPARE(t.type, MainType::Catalog);
        QList<QStringList> records;
        for (int i = 1; i <= 60; ++i)
            records << QStringList{QStringLiteral("MARY MAJOR%1").arg(i), "DECATUR", "IL",
                                   QStringLiteral("(217) 555-%1").arg(1000 + i)};
        const auto merged = merge(file, data(kCallFields, records));
        QCOMPARE(int(merged->copies.size()), 1);
        QVERIFY(merged->pageCount() >= 2);
        const QString text = merged->plainText();
        QVERIFY(text.contains(QStringLiteral("Mary Major1\tDecatur\tIL\t(217) 555-1001")));
        QVERIFY(text.contains(QStringLiteral("Mary Major60\tDecatur\tIL\t(217) 555-1060")));
        QVERIFY_THROWS_EXCEPTION(Failure, merge(file, data({"Cust_Name", "Cust_City", "Cust_State"}, {})));
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_catalogue_templates.moc"
