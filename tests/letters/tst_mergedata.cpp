#include "database/Database.h"
#include "files/Files.h"
#include "letters/MergeData.h"
#include "startup/Globals.h"
#include "tests/support/Installation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool flag(int id, const char* column) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT %1 FROM [Names] WHERE ID = %2").arg(QLatin1String(column)).arg(id),
            *DbConnection, db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
    return rs.value(0).toBool();
}
} // namespace

class TestMergeData : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestInstallation>(2);
        auto& c = *DbConnection;
        c.execute(
            QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto', Addr1 = '1 Motor Way', Addr2 = NULL, "
                           "City = 'Springfield', State = 'IL', Zip = '62701' WHERE ID = 1"));
        c.execute(
            QStringLiteral("UPDATE Dlr_Info SET Name = 'Zenith Cars', Addr1 = '9 Elm', Addr2 = 'Suite 2', "
                           "City = 'Peoria', State = 'IL', Zip = '61602' WHERE ID = 2"));
        c.execute(QStringLiteral("INSERT INTO Contact_Info (Name, Phone) VALUES ('Pat Seller', '555-0100')"));
        c.execute(QStringLiteral(
            "INSERT INTO DataFiles (FileName, Date) VALUES ('01052026.lst', '2026-01-05 00:00:00')"));
        // IDs 1..4: one without phone, one with an empty phone, one with a quote in the street, one é.
        c.execute(
            QStringLiteral("INSERT INTO [Names] (DataFile_ID, Name, Street, City, State, Zip, Phone) VALUES "
                           "(1, 'ANN ZED', '5 ELM ST', 'PEORIA', 'IL', '61602', '(309) 555-0101'),"
                           "(1, 'BOB YOUNG', '1 ASH ST', 'MIAMI', 'FL', '33101', NULL),"
                           "(1, 'CY XU', '3 \"B\" ST', 'AURORA', 'IL', '60505', '(630) 555-0103'),"
                           "(1, 'D\u00c9SIR\u00c9E WU', '2 OAK ST', 'ELGIN', 'IL', '60120', '')"));
    }

    void cleanup() { m_env.reset(); }

    void previewIsTwoFixedLines() {
        const QString path = UserDataFolder + letters::kMergeDataFile;
        files::TextWriter out(path, files::TextWriter::Create);
        letters::WritePreviewData(out);
        out.close();
        QCOMPARE(
            readAll(path),
            QByteArray(
                "\"Cust_Name\"\t\"Cust_Street\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Zip\"\t\"Dlr_Name\"\t"
                "\"Dlr_Addr1\"\t\"Dlr_Addr2\"\t\"Dlr_City\"\t\"Dlr_State\"\t\"Dlr_Zip\"\t\"Contact_Name\"\t"
                "\"Contact_Phone\"\r\n"
                "\"Customer Name\"\t\"Customer Address\"\t\"Customer City\"\t\"XX\"\t\"00000\"\t"
                "\"Dealer Name\"\t\"Dealer Address\"\t\"\"\t\"Dealer City\"\t\"XX\"\t\"00000\"\t"
                "\"Contact Name\"\t\"Contact Phone\"\r\n"));
    }

    // Only names with a phone, in the list's order; none at all leaves the header alone.
    void callListOnlyNamesWithPhones() {
        const QString path = UserDataFolder + letters::kCallDataFile;
        files::TextWriter out(path, files::TextWriter::Create);
        QCOMPARE(letters::WriteCallListData(out, QStringLiteral("(1,2,3,4)"), QStringLiteral("Street ASC")),
                 2);
        out.close();
        QCOMPARE(readAll(path), QByteArray("\"Cust_Name\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Phone\"\r\n"
                                           "\"CY XU\"\t\"AURORA\"\t\"IL\"\t\"(630) 555-0103\"\r\n"
                                           "\"ANN ZED\"\t\"PEORIA\"\t\"IL\"\t\"(309) 555-0101\"\r\n"));

        files::TextWriter none(path, files::TextWriter::Create);
        QCOMPARE(letters::WriteCallListData(none, QStringLiteral("(2,4)"), QStringLiteral("Street ASC")), 0);
        none.close();
        QCOMPARE(readAll(path),
                 QByteArray("\"Cust_Name\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Phone\"\r\n"));
    }

    // One record per name with the chosen dealer and contact; Null as "", a quote unescaped,
    // Windows-1252 on disk, ordered like the list.
    void printDataRecords() {
        const QString path = UserDataFolder + letters::kMergeDataFile;
        files::TextWriter out(path, files::TextWriter::Create);
        letters::WritePrintData(out, QStringLiteral("(1,3,4)"), QStringLiteral("Name DESC"), 1, 1);
        out.close();
        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.size(), 5);
        QVERIFY(lines[0].startsWith("\"Cust_Name\"\t\"Cust_Street\""));
        QCOMPARE(
            lines[1],
            QByteArray("\"D\xc9SIR\xc9\x45 WU\"\t\"2 OAK ST\"\t\"ELGIN\"\t\"IL\"\t\"60120\"\t\"Acme Auto\"\t"
                       "\"1 Motor Way\"\t\"\"\t\"Springfield\"\t\"IL\"\t\"62701\"\t\"Pat Seller\"\t"
                       "\"555-0100\"\r"));
        QVERIFY(lines[2].startsWith("\"CY XU\"\t\"3 \"B\" ST\"\t"));
        QVERIFY(lines[3].startsWith("\"ANN ZED\"\t"));
        QCOMPARE(lines[4], QByteArray());

        // Another dealership and no such contact: the query finds nothing, which is a failure.
        files::TextWriter again(path, files::TextWriter::Create);
        QVERIFY_THROWS_EXCEPTION(Failure, letters::WritePrintData(again, QStringLiteral("(1)"),
                                                                  QStringLiteral("Street ASC"), 99, 2));
    }

    void devenvFolder() {
        QCOMPARE(letters::MergeDataFolder(), UserDataFolder);
        SetCommandLineArguments(QStringLiteral("DEVENV"));
        QCOMPARE(letters::MergeDataFolder(), ApplicationFolder());
        SetCommandLineArguments(QStringLiteral("devenv x"));
        QCOMPARE(letters::MergeDataFolder(), UserDataFolder);
        SetCommandLineArguments(QString());
    }

    // Not printed -> printed -> printed and followed, one step per run.
    void printedThenFollowed() {
        letters::UpdatePrintedStatus(QStringLiteral("(1)"));
        QVERIFY(flag(1, "Printed"));
        QVERIFY(!flag(1, "Followed"));
        letters::UpdatePrintedStatus(QStringLiteral("(1,3)"));
        QVERIFY(flag(1, "Printed") && flag(1, "Followed"));
        QVERIFY(flag(3, "Printed") && !flag(3, "Followed"));
        letters::UpdatePrintedStatus(QStringLiteral("(1)"));
        QVERIFY(flag(1, "Printed") && flag(1, "Followed"));
        QVERIFY(!flag(2, "Printed") && !flag(2, "Followed"));
    }

private:
    std::unique_ptr<TestInstallation> m_env;
};

QTEST_MAIN(TestMergeData)
#include "tst_mergedata.moc"
