#include "leads/NameDeletion.h"

#include "database/Database.h"
#include "database/IdTable.h"

void DeleteNames(db::Connection& connection, const std::vector<qint32>& ids) {
    const db::IdTable doomed(connection, QStringLiteral("DeletedNames"), ids);
    connection.execute(QStringLiteral("DELETE * FROM [Names] WHERE ID IN ") + doomed.subquery());
}
