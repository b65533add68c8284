#include "files/Files.h"
#include "letters/MergeData.h"
#include "tests/support/Installation.h"

#include <QTest>

class TestMergeData : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestInstallation>(2);
        auto& c = m_env->connection();
        c.execute(
            QStringLiteral("UPDATE Dlr_Info SET Name = 'Acme Auto', Addr1 = '1 Motor Way', Addr2 = NULL, "
                           "City = 'Springfield', State = 'IL', Zip = '62701' WHERE ID = 1"));
        c.execute(QStringLiteral("INSERT INTO Contact_Info (Name, Phone) VALUES ('Pat Seller', '555-0100')"));
        c.execute(
            QStringLiteral("INSERT INTO DataFiles (FileName, Date) VALUES ('01052026.lst', '2026-01-05')"));
        // IDs 1..4: a phone, no phone, a quote in the street, É and an empty phone.
        c.execute(
            QStringLiteral("INSERT INTO [Names] (DataFile_ID, Name, Street, City, State, Zip, Phone) VALUES "
                           "(1, 'ANN ZED', '5 ELM ST', 'PEORIA', 'IL', '61602', '(309) 555-0101'),"
                           "(1, 'BOB YOUNG', '1 ASH ST', 'MIAMI', 'FL', '33101', NULL),"
                           "(1, 'CY XU', '3 \"B\" ST', 'AURORA', 'IL', '60505', '(630) 555-0103'),"
                           "(1, 'D\u00c9SIR\u00c9E WU', '2 OAK ST', 'ELGIN', 'IL', '60120', '')"));
    }
    void cleanup() { m_env.reset(); }

    // The preview is two fixed lines whatever is selected; a call list holds only names with a phone,
    // in the list's order, or the header alone.
    void previewAndCallList() {
        const QString merge = m_env->folders().userDataFolder + letters::kMergeDataFile;
        files::TextWriter preview(merge, files::TextWriter::Create);
        letters::writePreviewData(preview);
        preview.close();
        QCOMPARE(
            FileBytes(merge),
            QByteArray(
                "\"Cust_Name\"\t\"Cust_Street\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Zip\"\t\"Dlr_Name\"\t"
                "\"Dlr_Addr1\"\t\"Dlr_Addr2\"\t\"Dlr_City\"\t\"Dlr_State\"\t\"Dlr_Zip\"\t\"Contact_Name\"\t"
                "\"Contact_Phone\"\r\n"
                "\"Customer Name\"\t\"Customer Address\"\t\"Customer City\"\t\"XX\"\t\"00000\"\t"
                "\"Dealer Name\"\t\"Dealer Address\"\t\"\"\t\"Dealer City\"\t\"XX\"\t\"00000\"\t"
                "\"Contact Name\"\t\"Contact Phone\"\r\n"));

        const QString calls = m_env->folders().userDataFolder + letters::kCallDataFile;
        const QByteArray header("\"Cust_Name\"\t\"Cust_City\"\t\"Cust_State\"\t\"Cust_Phone\"\r\n");
        files::TextWriter some(calls, files::TextWriter::Create);
        QCOMPARE(letters::writeCallListData(m_env->connection(), some, std::vector<qint32>{3, 1, 2, 4}), 2);
        some.close();
        QCOMPARE(FileBytes(calls), header + "\"CY XU\"\t\"AURORA\"\t\"IL\"\t\"(630) 555-0103\"\r\n"
                                            "\"ANN ZED\"\t\"PEORIA\"\t\"IL\"\t\"(309) 555-0101\"\r\n");
        files::TextWriter none(calls, files::TextWriter::Create);
        QCOMPARE(letters::writeCallListData(m_env->connection(), none, std::vector<qint32>{2, 4}), 0);
        none.close();
        QCOMPARE(FileBytes(calls), header);
    }

    // One record per name with the chosen dealer and contact; Null as "", a quote unescaped,
    // Windows-1252 on disk, in the order of the IDs given (the list's), however many there are; no such
    // contact is a failure.
    void printDataRecords() {
        const QString path = m_env->folders().userDataFolder + letters::kMergeDataFile;
        files::TextWriter out(path, files::TextWriter::Create);
        std::vector<qint32> ids{4, 3, 1};
        for (qint32 id = 100; id < 5100; ++id)
            ids.push_back(id); // names deleted since: no record, no failure
        letters::writePrintData(m_env->connection(), out, ids, 1, 1);
        out.close();
        const QList<QByteArray> lines = FileBytes(path).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(
            lines[1],
            QByteArray("\"D\xc9SIR\xc9\x45 WU\"\t\"2 OAK ST\"\t\"ELGIN\"\t\"IL\"\t\"60120\"\t\"Acme Auto\"\t"
                       "\"1 Motor Way\"\t\"\"\t\"Springfield\"\t\"IL\"\t\"62701\"\t\"Pat Seller\"\t"
                       "\"555-0100\"\r"));
        QVERIFY(lines[2].startsWith("\"CY XU\"\t\"3 \"B\" ST\"\t"));
        QVERIFY(lines[3].startsWith("\"ANN ZED\"\t"));

        files::TextWriter again(path, files::TextWriter::Create);
        QVERIFY(CaughtFailure(
            [&] { letters::writePrintData(m_env->connection(), again, std::vector<qint32>{1}, 99, 1); }));
    }

    void devenvFolder() {
        const Folders& folders = m_env->folders();
        QCOMPARE(folders.mergeDataFolder, folders.userDataFolder);
        const auto mergeDataWith = [&](const QString& arguments) {
            return Folders::of(folders.applicationFolder, folders.userDataFolder, arguments).mergeDataFolder;
        };
        QCOMPARE(mergeDataWith(QStringLiteral("DEVENV")), folders.applicationFolder);
        QCOMPARE(mergeDataWith(QStringLiteral("devenv x")), folders.userDataFolder);
    }

    // Not printed -> printed -> printed and followed, one step per run; a failure on the way changes no
    // name.
    void printedThenFollowed() {
        auto flags = [this] {
            return m_env
                ->scalar(QStringLiteral("SELECT group_concat(Printed * 10 + Followed) FROM "
                                        "(SELECT Printed, Followed FROM [Names] ORDER BY ID)"))
                .toString();
        };
        letters::updatePrintedStatus(m_env->connection(), std::vector<qint32>{1});
        QCOMPARE(flags(), QStringLiteral("-10,0,0,0"));
        m_env->connection().execute(
            QStringLiteral("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON [Names] WHEN OLD.ID = 4 "
                           "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        QVERIFY(CaughtFailure([&] {
            letters::updatePrintedStatus(m_env->connection(), std::vector<qint32>{1, 3, 4});
        }));
        QCOMPARE(flags(), QStringLiteral("-10,0,0,0"));
        m_env->connection().execute(QStringLiteral("DROP TRIGGER temp.refuse"));
        letters::updatePrintedStatus(m_env->connection(), std::vector<qint32>{1, 3, 4});
        QCOMPARE(flags(), QStringLiteral("-11,0,-10,-10"));
        letters::updatePrintedStatus(m_env->connection(), std::vector<qint32>{1});
        QCOMPARE(flags(), QStringLiteral("-11,0,-10,-10"));
    }

private:
    std::unique_ptr<TestInstallation> m_env;
};

QTEST_MAIN(TestMergeData)
#include "tst_mergedata.moc"
