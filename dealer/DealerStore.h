#pragma once

#include "database/Database.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

// The dealerships and contacts as the windows read and write them. Qt Core alone.
namespace dealer {

// A row shown in a box: its ID and its name.
struct NamedRow {
    qint32 id = 0;
    QString name;
};

// The dealerships by name.
std::vector<NamedRow> dealersByName(db::Connection& connection);
// True at the first run: the first dealership has no name yet.
bool dealerNameMissing(db::Connection& connection);
// How many dealership rows the installation delivered.
int dealerRowCount(db::Connection& connection);

// The values of one dealership, in the order of the Dlr_Info columns Name, Addr1, Addr2, City, State, Zip.
using DealerEntry = std::array<QString, 6>;
// Writes `entries` into the dealership rows in their stored order, the first entry into the first row.
void writeDealers(db::Connection& connection, const std::vector<DealerEntry>& entries);

// The contacts in stored order.
std::vector<NamedRow> contacts(db::Connection& connection);
// The stored phone of contact `id` (empty for Null); a contact that is gone raises.
QString contactPhone(db::Connection& connection, qint32 id);
// The contact of exactly this name and phone (letter case aside), if there is one.
std::optional<qint32> findContact(db::Connection& connection, const QString& name, const QString& phone);
// Appends a contact; returns its ID.
qint32 addContact(db::Connection& connection, const QString& name, const QString& phone);
// Gives contact `id` this name and phone.
void updateContact(db::Connection& connection, qint32 id, const QString& name, const QString& phone);

} // namespace dealer
