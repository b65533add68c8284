#pragma once

// Where a table's columns fall, in the template's twips and on Qt's layout device (MergeColumns.cpp),
// for the merger's tables (MergeTables.cpp).

#include "wordproc/Template.h"

#include <cstddef>
#include <vector>

namespace wordproc {

// The columns' edges, left to right, in twips: where any row has a cell edge.
std::vector<int> tableColumns(const Table& t);

// The column whose left edge lies nearest to `x`.
int columnAt(const std::vector<int>& columns, int x);

// Where Qt sets edge `i` of `columns`, in twips from the first: Qt makes each column whole pixels of
// the layout device wide.
double qtColumnEdge(const std::vector<int>& columns, size_t i);

} // namespace wordproc
