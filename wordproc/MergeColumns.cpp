#include "wordproc/MergeColumns.h"

#include "wordproc/Pages.h"

#include <algorithm>
#include <cmath>

namespace wordproc {

// Edges a few twips apart, as rows drawn by hand have them, are one.
std::vector<int> tableColumns(const Table& t) {
    constexpr int kSameEdge = 20;
    std::vector<int> edges;
    for (const Row& row : t.rows) {
        edges.push_back(row.leftTwips);
        for (const Cell& cell : row.cells)
            edges.push_back(cell.rightTwips);
    }
    std::sort(edges.begin(), edges.end());
    // No more columns than a row can have cells: Qt's layout of a table slows with each column, and
    // a file can give every row edges of its own.
    constexpr size_t kMaxColumns = 64;
    std::vector<int> columns;
    for (qint64 same = kSameEdge; columns.empty() || columns.size() > kMaxColumns + 1; same *= 2) {
        columns.clear();
        for (int e : edges)
            if (columns.empty() || e - qint64(columns.back()) > same)
                columns.push_back(e);
    }
    return columns;
}

int columnAt(const std::vector<int>& columns, int x) {
    const auto it = std::lower_bound(columns.begin(), columns.end(), x);
    if (it == columns.end())
        return int(columns.size()) - 1;
    if (it != columns.begin() && x - *std::prev(it) < *it - x)
        return int(it - columns.begin()) - 1;
    return int(it - columns.begin());
}

double qtColumnEdge(const std::vector<int>& columns, size_t i) {
    // Qt rounds each column's width to whole pixels, so that the rounding would add up across a wide
    // table: the widths it is given are whole pixels already, each edge the nearest pixel to its own.
    const double pixels = std::round(twipsToLayout(double(columns[i]) - columns.front()));
    return pixels * 1440 / kLayoutDpi;
}

} // namespace wordproc
