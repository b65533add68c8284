#include "dealer/DealerStore.h"

namespace dealer {

std::vector<NamedRow> dealersByName(db::Connection& connection) {
    std::vector<NamedRow> rows;
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT ID, Name FROM Dlr_Info ORDER BY Name"), connection, db::adOpenForwardOnly,
            db::adLockReadOnly, db::adCmdText);
    for (; !rs.eof(); rs.moveNext())
        rows.push_back({rs.value(QStringLiteral("ID")).toInt(), rs.value(QStringLiteral("Name")).toString()});
    rs.close();
    return rows;
}

bool dealerNameMissing(db::Connection& connection) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT TOP 1 Name FROM Dlr_Info"), connection, db::adOpenForwardOnly,
            db::adLockReadOnly, db::adCmdText);
    const bool missing = rs.value(QStringLiteral("Name")).isNull();
    rs.close();
    return missing;
}

int dealerRowCount(db::Connection& connection) {
    db::Recordset rs;
    rs.open(QStringLiteral("Dlr_Info"), connection, db::adOpenStatic, db::adLockReadOnly,
            db::adCmdTableDirect);
    const int rows = rs.recordCount();
    rs.close();
    return rows;
}

void writeDealers(db::Connection& connection, const std::vector<DealerEntry>& entries) {
    static const char* const columns[] = {"Name", "Addr1", "Addr2", "City", "State", "Zip"};
    db::Recordset rs;
    rs.open(QStringLiteral("Dlr_Info"), connection, db::adOpenStatic, db::adLockOptimistic,
            db::adCmdTableDirect);
    rs.moveFirst();
    for (const DealerEntry& entry : entries) {
        for (size_t c = 0; c < entry.size(); ++c)
            rs.setValue(QLatin1String(columns[c]), entry[c].isNull() ? QStringLiteral("") : entry[c]);
        rs.update();
        rs.moveNext();
    }
    rs.close();
}

std::vector<NamedRow> contacts(db::Connection& connection) {
    std::vector<NamedRow> rows;
    db::Recordset rs;
    rs.open(QStringLiteral("Contact_Info"), connection, db::adOpenForwardOnly, db::adLockReadOnly,
            db::adCmdTableDirect);
    for (; !rs.eof(); rs.moveNext())
        rows.push_back({rs.value(QStringLiteral("ID")).toInt(), rs.value(QStringLiteral("Name")).toString()});
    rs.close();
    return rows;
}

QString contactPhone(db::Connection& connection, qint32 id) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT Phone FROM Contact_Info WHERE ID = ?"), {id}, connection,
            db::adOpenForwardOnly, db::adLockReadOnly);
    // A contact saved without a phone loads with an empty one rather than refusing to load.
    const QString phone = rs.value(QStringLiteral("Phone")).toString();
    rs.close();
    return phone;
}

std::optional<qint32> findContact(db::Connection& connection, const QString& name, const QString& phone) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT ID FROM Contact_Info WHERE Name = ? AND Phone = ?"), {name, phone},
            connection, db::adOpenForwardOnly, db::adLockReadOnly);
    if (rs.eof())
        return std::nullopt;
    const qint32 id = rs.value(QStringLiteral("ID")).toInt();
    rs.close();
    return id;
}

qint32 addContact(db::Connection& connection, const QString& name, const QString& phone) {
    db::Recordset rs;
    rs.open(QStringLiteral("Contact_Info"), connection, db::adOpenForwardOnly, db::adLockOptimistic,
            db::adCmdTableDirect);
    rs.addNew();
    rs.setValue(QStringLiteral("Name"), name);
    rs.setValue(QStringLiteral("Phone"), phone);
    rs.update();
    const qint32 id = rs.value(QStringLiteral("ID")).toInt();
    rs.close();
    return id;
}

void updateContact(db::Connection& connection, qint32 id, const QString& name, const QString& phone) {
    db::Recordset rs;
    rs.open(QStringLiteral("SELECT * FROM Contact_Info WHERE ID = ?"), {id}, connection,
            db::adOpenForwardOnly, db::adLockOptimistic);
    rs.setValue(QStringLiteral("Name"), name);
    rs.setValue(QStringLiteral("Phone"), phone);
    rs.update();
    rs.close();
}

} // namespace dealer
