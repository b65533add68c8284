// The name list's model over Names.IDs: rows read only as a view shows them and only a bounded number
// kept, the row text, selection over scrolling, failures of the fill and of a later read, removing rows,
// and deleting names of a selection of any length.
#include "database/DbErrors.h"
#include "errors/ErrorNumbers.h"
#include "leads/LeadListModel.h"
#include "leads/LeadStore.h"
#include "tests/support/Installation.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr int Rows = 3000;
// The one data file's names by street, as the list first shows a source date.
leads::LeadQuery byStreet() {
    leads::LeadQuery query;
    query.dataFileIds = {1};
    query.sort = {leads::SortColumn::Street, true};
    return query;
}
const leads::LeadQuery ByStreet = byStreet();

struct View {
    explicit View(LeadListModel& model) {
        view.setUniformItemSizes(true);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        view.setModel(&model);
        view.resize(500, 200);
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            qWarning("view not exposed");
        QApplication::processEvents();
    }
    // The whole height of the row is in the viewport.
    bool onScreen(int row) const {
        const QRect rect = view.visualRect(view.model()->index(row, 0));
        return rect.top() >= 0 && rect.bottom() < view.viewport()->height();
    }
    void scrollTo(int value) {
        view.verticalScrollBar()->setValue(value);
        view.viewport()->repaint();
    }
    QListView view;
};

} // namespace

class TestLeadListModel : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestInstallation>();
        addLeads();
    }
    void cleanup() { m_env.reset(); }

    // Filling reads IDs only; showing reads the page on screen and a margin; a row's text is each
    // column's piece followed by a tab, a fitted one cut with "..."; scrolling to the end shows the last
    // name; going through the whole list keeps a bounded number of rows, so the first page is read again on
    // the way back.
    void readsRowsAsTheViewShowsThem() {
        LeadListModel model;
        model.fill(m_env->connection(), ByStreet);
        QCOMPARE(model.rowCount(), Rows);
        QCOMPARE(model.rowsRead(), 0);
        QCOMPARE(m_env->scalar(u"PRAGMA cache_size"_s).toInt(), -32768); // as the connection had it before
        QCOMPARE(model.id(0), idOfLead(Rows - 1));
        QCOMPARE(model.id(Rows - 1), idOfLead(0));

        View v(model);
        QVERIFY(model.rowsRead() > 0);
        QVERIFY(model.rowsRead() <= 2 * LeadListModel::BatchRows);
        QVERIFY(v.onScreen(0));
        QCOMPARE(model.data(model.index(0), Qt::DisplayRole).toString(),
                 u"C2999\tNAME 2999\t097001 OAK ST\tMIAMI, FL\t33101\t(305) 555-0100\t3/1/13\t\t"_s);
        QCOMPARE(model.data(model.index(0), Qt::UserRole).toInt(), idOfLead(Rows - 1));
        // Printed, with a discharge date; and "City, " with no state.
        QCOMPARE(model.text(Rows - 1),
                 u"C0\tNAME 0000\t100000 OAK ST\tMIAMI, FL\t33101\t(305) 555-0100\t3/1/13\t12/4/13\t+\t"_s);
        QVERIFY(model.text(Rows - 2).contains(u"\tMIAMI, \t"_s));
        const QString longStreet = model.text(Rows - 8).section(u'\t', 2, 2);
        QVERIFY2(longStreet.startsWith(u"099993 OAK ST"_s) && longStreet.endsWith(u"..."_s) &&
                     !longStreet.contains(u"EXTENSION"_s),
                 qPrintable(longStreet));

        v.view.scrollToBottom();
        v.view.viewport()->repaint();
        QVERIFY(v.onScreen(Rows - 1));
        QVERIFY(!v.onScreen(0));
        QVERIFY(model.text(Rows - 1).contains(u"\tNAME 0000\t"_s));

        for (int value = 0; value <= v.view.verticalScrollBar()->maximum();
             value += v.view.verticalScrollBar()->pageStep())
            v.scrollTo(value);
        QVERIFY(model.rowsRead() >= Rows);
        const qint64 before = model.rowsRead();
        v.scrollTo(0);
        QCOMPARE(model.rowsRead(), before + LeadListModel::BatchRows);
        QVERIFY(model.text(0).contains(u"NAME 2999"_s));
    }

    // A month or day of 10 or more keeps both its digits: the short date is written digit by digit.
    void shortDatesOfTwoDigits() {
        m_env->connection().execute(
            u"UPDATE [Names] SET File = '2010-10-10 00:00:00', Discharge = '2013-12-10 "
            "00:00:00' WHERE Name = 'NAME 0000'"_s);
        m_env->connection().execute(
            u"UPDATE [Names] SET File = '2013-10-01 00:00:00' WHERE Name = 'NAME 0002'"_s);
        LeadListModel model;
        model.fill(m_env->connection(), ByStreet);
        QVERIFY2(model.text(Rows - 1).endsWith(u"\t10/10/10\t12/10/13\t+\t"_s),
                 qPrintable(model.text(Rows - 1)));
        QVERIFY2(model.text(Rows - 3).endsWith(u"\t10/1/13\t12/4/13\t"_s), qPrintable(model.text(Rows - 3)));
    }

    // A selection of rows far apart stays what it was while the view scrolls and rows come and go from
    // memory; Select All is one range whatever the length.
    void selectionSurvivesScrolling() {
        LeadListModel model;
        model.fill(m_env->connection(), ByStreet);
        View v(model);
        QItemSelectionModel* selection = v.view.selectionModel();
        selection->select(model.index(3), QItemSelectionModel::Select);
        selection->select(model.index(2500), QItemSelectionModel::Select);
        v.view.scrollToBottom();
        v.view.viewport()->repaint();
        v.scrollTo(0);
        v.view.scrollTo(model.index(1500));
        v.view.viewport()->repaint();
        QCOMPARE(selection->selectedRows().size(), 2);
        QVERIFY(selection->isRowSelected(3) && selection->isRowSelected(2500));

        v.view.selectAll();
        QCOMPARE(selection->selection().size(), 1);
        QCOMPARE(selection->selection().first().height(), Rows);
    }

    // A Null Name stops the fill at its row with the rows before it kept; a rejected statement keeps
    // none. Rows that cannot be read when shown stay empty and the failure is passed on once, after the
    // paint.
    void failuresKeepTheRowsBefore() {
        LeadListModel model;
        m_env->connection().execute(u"UPDATE [Names] SET Name = NULL WHERE Name = 'NAME 1499'"_s);
        auto nullName = CaughtFailure([&] { model.fill(m_env->connection(), ByStreet); });
        QVERIFY(nullName);
        QCOMPARE(nullName->number(), ErrorNumbers::InvalidUseOfNull);
        QCOMPARE(model.rowCount(), 1500);

        m_env->connection().execute(u"UPDATE [Names] SET Name = 'NAME 1499' WHERE Name IS NULL"_s);
        // A table of that name without the list's columns hides the real one from the statement.
        m_env->connection().execute(u"CREATE TEMP VIEW [Names] AS SELECT 1 AS ID"_s);
        auto rejected = CaughtFailure([&] { model.fill(m_env->connection(), ByStreet); });
        QVERIFY(rejected);
        QCOMPARE(rejected->number(), DbErrors::StatementRejected);
        QCOMPARE(model.rowCount(), 0);

        m_env->connection().execute(u"DROP VIEW temp.[Names]"_s);
        model.fill(m_env->connection(), ByStreet);
        QSignalSpy failed(&model, &LeadListModel::readFailed);
        const int firstId = idOfLead(Rows - 1);
        m_env->connection().close();
        View v(model);
        v.view.scrollToBottom();
        v.view.viewport()->repaint();
        QCOMPARE(model.text(0), QString());
        QCOMPARE(model.id(0), firstId);
        QApplication::processEvents();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().toInt(), DbErrors::ObjectClosed);
    }

    // Removing spans keeps the other rows in their order, with their own texts.
    void removingSpansKeepsTheOrder() {
        LeadListModel model;
        model.fill(m_env->connection(), ByStreet);
        const std::vector<qint32> before = model.ids();
        (void)model.text(1);
        model.removeSpans({{0, 0}, {2, 1999}, {Rows - 1, Rows - 1}});
        QCOMPARE(model.rowCount(), Rows - 2000);
        QCOMPARE(model.id(0), before[1]);
        QCOMPARE(model.id(1), before[2000]);
        QCOMPARE(model.id(model.rowCount() - 1), before[Rows - 2]);
        QVERIFY(model.text(1).contains(u"\tNAME 0999\t"_s));
    }

    // Deleting a selection longer than any statement would hold removes exactly those names and leaves
    // their data file; a failure on the way removes none.
    void deletesSelectionsOfAnyLength() {
        LeadListModel model;
        model.fill(m_env->connection(), ByStreet);
        const std::vector<qint32> all = model.ids();
        const std::vector<qint32> doomed(all.begin() + 100, all.begin() + 2600);
        m_env->connection().execute(u"CREATE TEMP TRIGGER refuse BEFORE DELETE ON [Names] WHEN OLD.ID = %1 "
                                    "BEGIN SELECT RAISE(ABORT, 'refused'); END"_s.arg(doomed.back()));
        auto refused = CaughtFailure([&] { leads::deleteNames(m_env->connection(), doomed); });
        QVERIFY(refused);
        QCOMPARE(m_env->scalar(u"SELECT COUNT(*) FROM [Names]"_s).toInt(), Rows);
        m_env->connection().execute(u"DROP TRIGGER temp.refuse"_s);

        leads::deleteNames(m_env->connection(), doomed);
        QCOMPARE(m_env->scalar(u"SELECT COUNT(*) FROM [Names]"_s).toInt(), Rows - 2500);
        model.fill(m_env->connection(), ByStreet);
        std::vector<qint32> kept(all.begin(), all.begin() + 100);
        kept.insert(kept.end(), all.begin() + 2600, all.end());
        QVERIFY(model.ids() == kept);
        QCOMPARE(m_env->scalar(u"SELECT COUNT(*) FROM DataFiles"_s).toInt(), 1);
    }

private:
    // Lead i (0..Rows-1) is "NAME i" at a street that sorts it to row Rows-1-i; every seventh is printed,
    // and lead 7 lives on a street far too long for its column.
    void addLeads() {
        m_env->connection().execute(
            u"INSERT INTO DataFiles (FileName, [Date]) VALUES ('03052013.lst', '2013-03-05')"_s);
        m_env->connection().execute(
            u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) INSERT INTO "
            u"[Names] "
            "(DataFile_ID, Court_ID, Name, Street, City, State, Zip, Phone, File, Discharge, Printed, "
            "Followed) "
            "SELECT 1, 'C' || i, printf('NAME %04d', i), printf('%06d OAK ST', 100000 - i) || CASE WHEN i = "
            "7 "
            "THEN ' NORTHWEST SOUTHERN BOULEVARD EXTENSION' ELSE '' END, 'MIAMI', CASE WHEN i = 1 THEN NULL "
            "ELSE 'FL' END, '33101', '(305) 555-0100', '2013-03-01 00:00:00', CASE WHEN i % 2 = 1 THEN NULL "
            "ELSE '2013-12-04 00:00:00' END, CASE WHEN i % 7 = 0 THEN -1 ELSE 0 END, 0 FROM n"_s.arg(Rows -
                                                                                                     1));
    }

    int idOfLead(int i) {
        db::Recordset rs;
        rs.open(u"SELECT ID FROM [Names] WHERE Name = 'NAME %1'"_s.arg(i, 4, 10, QChar(u'0')),
                m_env->connection(), db::adOpenForwardOnly, db::adLockReadOnly, db::adCmdText);
        return rs.value(0).toInt();
    }

    std::unique_ptr<TestInstallation> m_env;
};

QTEST_MAIN(TestLeadListModel)
#include "tst_leadlistmodel.moc"
