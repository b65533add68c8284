// The dealerships' and contacts' store against a real database, without a window: the first run's
// missing dealer name, writing the delivered rows, and finding, adding and updating contacts.
#include "dealer/DealerStore.h"
#include "tests/support/Installation.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestDealerStore : public QObject {
    Q_OBJECT
private slots:
    void init() { m_env = std::make_unique<TestInstallation>(3); }
    void cleanup() { m_env.reset(); }

    // The delivered rows have no names until the first run writes them, in stored order; the box lists
    // them by name; a short list of entries leaves the other rows alone.
    void dealerships() {
        db::Connection& c = m_env->connection();
        QVERIFY(dealer::dealerNameMissing(c));
        QCOMPARE(dealer::dealerRowCount(c), 3);
        dealer::writeDealers(c,
                             {{u"ZED MOTORS"_s, u"1 A ST"_s, {}, u"TAMPA"_s, u"FL"_s, u"33601"_s},
                              {u"ACME AUTO"_s, u"2 B ST"_s, u"SUITE 5"_s, u"MIAMI"_s, u"FL"_s, u"33101"_s}});
        QVERIFY(!dealer::dealerNameMissing(c));
        const std::vector<dealer::NamedRow> byName = dealer::dealersByName(c);
        QCOMPARE(byName.size(), size_t(3));
        QCOMPARE(byName[0].name, QString()); // the unwritten row: Null sorts first
        QCOMPARE(byName[1].name, u"ACME AUTO"_s);
        QCOMPARE(byName[2].name, u"ZED MOTORS"_s);
        QVERIFY(byName[2].id < byName[1].id);
        QCOMPARE(m_env->scalar(u"SELECT Addr2 FROM Dlr_Info WHERE ID = %1"_s.arg(byName[2].id)),
                 QVariant(u""_s));
        QCOMPARE(m_env->scalar(u"SELECT Addr2 FROM Dlr_Info WHERE ID = %1"_s.arg(byName[1].id)).toString(),
                 u"SUITE 5"_s);
    }

    // Added contacts keep their order; one is found by name and phone in any letter case; an update
    // changes only its own row; a phone saved as Null loads empty; a gone contact fails to load.
    void contacts() {
        db::Connection& c = m_env->connection();
        QVERIFY(dealer::contacts(c).empty());
        const qint32 jane = dealer::addContact(c, u"JANE DOE"_s, u"(555) 111-2222"_s);
        const qint32 bob = dealer::addContact(c, u"BOB O'NEIL"_s, u"555"_s);
        QVERIFY(jane > 0 && bob > jane);
        const std::vector<dealer::NamedRow> listed = dealer::contacts(c);
        QCOMPARE(listed.size(), size_t(2));
        QCOMPARE(listed[0].id, jane);
        QCOMPARE(listed[1].name, u"BOB O'NEIL"_s);

        QCOMPARE(dealer::findContact(c, u"jane doe"_s, u"(555) 111-2222"_s), std::optional<qint32>(jane));
        QCOMPARE(dealer::findContact(c, u"JANE DOE"_s, u"555"_s), std::optional<qint32>());
        dealer::updateContact(c, bob, u"BOB ONEIL"_s, u"555-0000"_s);
        QCOMPARE(dealer::contactPhone(c, bob), u"555-0000"_s);
        QCOMPARE(dealer::contactPhone(c, jane), u"(555) 111-2222"_s);
        QCOMPARE(dealer::contacts(c)[1].name, u"BOB ONEIL"_s);

        c.execute(u"INSERT INTO Contact_Info (Name, Phone) VALUES ('NO PHONE', NULL)"_s);
        QCOMPARE(dealer::contactPhone(c, dealer::contacts(c).back().id), QString());
        QVERIFY(CaughtFailure([&] { (void)dealer::contactPhone(c, 424242); }));
    }

private:
    std::unique_ptr<TestInstallation> m_env;
};

QTEST_GUILESS_MAIN(TestDealerStore)
#include "tst_dealerstore.moc"
