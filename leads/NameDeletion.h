#pragma once

#include <QtGlobal>
#include <vector>

namespace db {
class Connection;
}

// Deletes the names with these IDs (a selection of the name list, of any length) in one statement: all
// of them go or, on a failure, none. Their data files stay.
void DeleteNames(db::Connection& connection, const std::vector<qint32>& ids);
