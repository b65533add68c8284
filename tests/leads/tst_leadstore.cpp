// The lead list's store against a real database: which names a query lists and in what order (source
// dates, display filter, header sort, name search), and the rows of a batch as the list shows them.
#include "errors/ErrorNumbers.h"
#include "leads/LeadStore.h"
#include "tests/support/Installation.h"

#include <QTest>
#include <set>

using namespace Qt::StringLiterals;

class TestLeadStore : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestInstallation>();
        m_march = addDataFile(u"2014-03-01"_s);
        m_april = addDataFile(u"2014-04-01"_s);
        m_adams = addLead(m_march, u"ADAMS"_s, u"3 OAK"_s, u"33602"_s);
        m_baker = addLead(m_march, u"BAKER"_s, u"1 OAK"_s, u"33601"_s, -1, 0);
        m_clark = addLead(m_april, u"CLARK"_s, u"2 OAK"_s, u"33603"_s, -1, -1);
        m_dubois = addLead(m_april, u"DU_BOIS"_s, u"4 OAK"_s, u"33600"_s);
    }
    void cleanup() { m_env.reset(); }

    // The chosen dates' names only, none for no date; each header's column sorts both ways.
    void datesAndOrder() {
        leads::LeadQuery query;
        QVERIFY(listed(query).empty());
        query.dataFileIds = {m_march};
        QVERIFY(listed(query) == (std::vector<qint32>{m_baker, m_adams})); // by street at first
        query.dataFileIds = {m_april, m_march};
        query.sort = {leads::SortColumn::Name, true};
        QVERIFY(listed(query) == (std::vector<qint32>{m_adams, m_baker, m_clark, m_dubois}));
        query.sort = {leads::SortColumn::Zip, false};
        QVERIFY(listed(query) == (std::vector<qint32>{m_clark, m_adams, m_baker, m_dubois}));
        query.sort = {leads::SortColumn::Printed, true};
        const std::vector<qint32> printedFirst = listed(query);
        QCOMPARE(std::set<qint32>(printedFirst.begin(), printedFirst.begin() + 2),
                 (std::set<qint32>{m_baker, m_clark}));
        QCOMPARE(query.sort.clause(), u"Printed ASC"_s);
    }

    // Not printed; printed and not followed up.
    void displayFilter() {
        leads::LeadQuery query;
        query.dataFileIds = {m_march, m_april};
        query.sort = {leads::SortColumn::Name, true};
        query.filter = leads::DisplayFilter::NotPrinted;
        QVERIFY(listed(query) == (std::vector<qint32>{m_adams, m_dubois}));
        query.filter = leads::DisplayFilter::PrintedOnly;
        QVERIFY(listed(query) == (std::vector<qint32>{m_baker}));
    }

    // Each term is found anywhere in the name in any letter case, whatever the dates; _ and % stay wildcards;
    // the filter holds for every term.
    void search() {
        leads::LeadQuery query;
        query.source = leads::ListSource::Search;
        query.sort = {leads::SortColumn::Name, true};
        query.searchTerms = {u"ar"_s, u"dam"_s};
        QVERIFY(listed(query) == (std::vector<qint32>{m_adams, m_clark}));
        query.searchTerms = {u"u_b"_s};
        QVERIFY(listed(query) == (std::vector<qint32>{m_dubois}));
        query.searchTerms = {u"b%r"_s};
        QVERIFY(listed(query) == (std::vector<qint32>{m_baker}));
        query.searchTerms = {u"ar"_s, u"dam"_s};
        query.filter = leads::DisplayFilter::NotPrinted;
        QVERIFY(listed(query) == (std::vector<qint32>{m_adams}));
        QCOMPARE(leads::leadListParameters(query), (QVariantList{u"%ar%"_s, u"%dam%"_s}));
    }

    // A name without a street stops the read after the names before it.
    void missingStreetStopsTheRead() {
        m_env->connection().execute(u"UPDATE [Names] SET Street = NULL WHERE ID = %1"_s.arg(m_clark));
        leads::LeadQuery query;
        query.dataFileIds = {m_march, m_april};
        query.sort = {leads::SortColumn::Name, true};
        std::vector<qint32> ids;
        auto failure = CaughtFailure([&] { leads::readLeadIds(m_env->connection(), query, ids); });
        QVERIFY(failure);
        QCOMPARE(failure->number(), ErrorNumbers::InvalidUseOfNull);
        QVERIFY(ids == (std::vector<qint32>{m_adams, m_baker}));
    }

    // A batch's rows come in the order asked for, each column's text from the table's fields; a gone ID
    // gives an empty row.
    void rowsOfABatch() {
        const std::vector<leads::LeadRow> rows =
            leads::leadRows(m_env->connection(), {m_clark, 999999, m_adams});
        QCOMPARE(rows.size(), size_t(3));
        QCOMPARE(rows[0].id, m_clark);
        QCOMPARE(rows[1].id, 0);
        QVERIFY(rows[1].cells[1].isEmpty());
        QCOMPARE(rows[2].id, m_adams);
        const auto cell = [](const leads::LeadRow& row, leads::SortColumn column) {
            for (int c = 0; c < leads::kListColumnCount; ++c)
                if (leads::kListColumns[c].sort == column)
                    return row.cells[static_cast<size_t>(c)];
            return QString();
        };
        QCOMPARE(cell(rows[0], leads::SortColumn::Name), u"CLARK"_s);
        QCOMPARE(cell(rows[0], leads::SortColumn::CityState), u"TAMPA, FL"_s);
        QCOMPARE(cell(rows[0], leads::SortColumn::FileDate), u"10/2/14"_s);
        QCOMPARE(cell(rows[0], leads::SortColumn::Printed), u"+"_s);
        QCOMPARE(cell(rows[2], leads::SortColumn::Printed), QString());
        QCOMPARE(cell(rows[2], leads::SortColumn::Discharge), QString());
        QCOMPARE(cell(rows[2], leads::SortColumn::Phone), QString());
    }

    // The header row is laid out left to right without overlaps, each column's sort field is a column of
    // the table, and the tab stops grow.
    void columnTable() {
        for (int c = 1; c < leads::kListColumnCount; ++c) {
            const leads::ListColumn& before = leads::kListColumns[c - 1];
            const leads::ListColumn& column = leads::kListColumns[c];
            QVERIFY(column.left >= before.left + before.width - 15);
            QVERIFY(column.tabStop > before.tabStop);
            QVERIFY(QByteArray(column.objectName).startsWith("sortBy"));
        }
        for (const leads::ListColumn& column : leads::kListColumns) {
            leads::LeadQuery query;
            query.dataFileIds = {m_march};
            query.sort = {column.sort, true};
            QCOMPARE(listed(query).size(), size_t(2));
            QCOMPARE(&leads::listColumn(column.sort), &column);
        }
    }

private:
    int addDataFile(const QString& date) {
        m_env->connection().execute(
            u"INSERT INTO DataFiles (FileName, [Date]) VALUES ('%1.lst', '%1')"_s.arg(date));
        return m_env->scalar(u"SELECT MAX(ID) FROM DataFiles"_s).toInt();
    }

    std::vector<qint32> listed(const leads::LeadQuery& query) {
        std::vector<qint32> ids;
        leads::readLeadIds(m_env->connection(), query, ids);
        return ids;
    }

    int addLead(int file, const QString& name, const QString& street, const QString& zip, int printed = 0,
                int followed = 0) {
        m_env->connection().execute(
            u"INSERT INTO [Names] (DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, File, "
            u"Discharge, "
            "Printed, Followed) VALUES (%1, 'C', '%2', '%3', 'TAMPA', 'FL', '%4', NULL, '2014-10-02 "
            "00:00:00', "
            "NULL, %5, %6)"_s.arg(file)
                .arg(name, street, zip)
                .arg(printed)
                .arg(followed));
        return m_env->scalar(u"SELECT MAX(ID) FROM [Names]"_s).toInt();
    }

    std::unique_ptr<TestInstallation> m_env;
    int m_march = 0, m_april = 0, m_adams = 0, m_baker = 0, m_clark = 0, m_dubois = 0;
};

QTEST_GUILESS_MAIN(TestLeadStore)
#include "tst_leadstore.moc"
