// Tables read right to left, turned into the left-to-right cells the layout sets.

#include "wordproc/Template.h"

#include <algorithm>
#include <limits>

namespace wordproc {

void mirrorColumns(Table& table) {
    // Rows of different widths keep their edges against each other: they turn about the table's middle.
    int left = std::numeric_limits<int>::max(), right = std::numeric_limits<int>::min();
    for (const Row& row : table.rows) {
        if (row.cells.empty())
            continue;
        left = std::min(left, row.leftTwips);
        right = std::max(right, row.cells.back().rightTwips);
    }
    if (left > right)
        return;
    const qint64 axis = qint64(left) + right;
    for (Row& row : table.rows) {
        if (row.cells.empty())
            continue;
        std::vector<int> lefts;
        int edgeAt = row.leftTwips;
        for (const Cell& c : row.cells) {
            lefts.push_back(edgeAt);
            edgeAt = c.rightTwips;
        }
        row.leftTwips = int(axis - row.cells.back().rightTwips);
        for (size_t i = 0; i < row.cells.size(); ++i) {
            Cell& c = row.cells[i];
            c.rightTwips = int(axis - lefts[i]);
            std::swap(edge(c.borders, Side::Left), edge(c.borders, Side::Right));
        }
        std::reverse(row.cells.begin(), row.cells.end());
    }
}

} // namespace wordproc
